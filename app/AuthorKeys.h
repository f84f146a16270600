// The author's keys (pause, seek, back to the start) and the overlay drawn over the picture.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

class Font;
class PlaybackController;
class RenderDevice;
class StackOverlay;

class AuthorKeys {
public:
    // enabled: --author (without it no key does anything and no time is shown).
    // overlayShown: the layer-stack overlay is up from the start (--overlay).
    AuthorKeys(PlaybackController& playback, bool enabled, bool overlayShown = false);
    ~AuthorKeys();

    // Space pauses and resumes; Left/Right seek 5 s, Page Down/Up 30 s, Home goes back to the
    // section's start; Tab shows and hides the layer-stack overlay. Presses before the next
    // frame add up, so a held key seeks in steps.
    void OnKey(uintptr_t key);
    // The time read-out (author), the layer-stack overlay when shown, and an error text (live
    // reload; empty for none) on screen. layerTiming: the overlay may observe the layers' frames
    // (not while the benchmark times them itself).
    void DrawOverlay(Font& font, RenderDevice& device, const std::string& errorText, bool layerTiming);
    // The window title with the time (author), or the title as it is.
    std::string Title(const std::string& title) const;

private:
    PlaybackController& playback_;
    bool enabled_;
    std::unique_ptr<StackOverlay> overlay_;  // made on the first Tab (or by --overlay)
};
