// The author's keys (pause, seek, back to the start) and the overlay drawn over the picture.
#pragma once
#include <cstdint>
#include <string>

class Font;
class PlaybackController;

class AuthorKeys {
public:
    // enabled: --author (without it no key does anything and no time is shown).
    AuthorKeys(PlaybackController& playback, bool enabled) : playback_(playback), enabled_(enabled) {}

    // Space pauses and resumes; Left/Right seek 5 s, Page Down/Up 30 s, Home goes back to the
    // section's start. Presses before the next frame add up, so a held key seeks in steps.
    void OnKey(uintptr_t key);
    // The time read-out (author) and an error text (live reload; empty for none) on screen.
    void DrawOverlay(Font& font, const std::string& errorText) const;
    // The window title with the time (author), or the title as it is.
    std::string Title(const std::string& title) const;

private:
    PlaybackController& playback_;
    bool enabled_;
};
