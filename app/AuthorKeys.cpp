// Author keys and overlay: they only ask the playback controller to pause or seek.
#include "app/AuthorKeys.h"

#include <algorithm>
#include <cstdio>

#include "app/PlaybackController.h"
#include "engine/device/Font.h"

namespace {

// Virtual-key codes.
constexpr uintptr_t kKeySpace = 32;
constexpr uintptr_t kKeyPageUp = 33;
constexpr uintptr_t kKeyPageDown = 34;
constexpr uintptr_t kKeyHome = 36;
constexpr uintptr_t kKeyLeft = 37;
constexpr uintptr_t kKeyRight = 39;
constexpr double kShortSeek = 5.0;
constexpr double kLongSeek = 30.0;

// Lines of an error text shown at most.
constexpr int kErrorLines = 24;

}  // namespace

void AuthorKeys::OnKey(uintptr_t key)
{
    if (!enabled_)
        return;
    const double from = playback_.PendingSeek().value_or(playback_.Now());
    switch (key) {
    case kKeySpace: playback_.TogglePause(); break;
    case kKeyLeft: playback_.RequestSeek(std::max(0.0, from - kShortSeek)); break;
    case kKeyRight: playback_.RequestSeek(from + kShortSeek); break;
    case kKeyPageDown: playback_.RequestSeek(std::max(0.0, from - kLongSeek)); break;
    case kKeyPageUp: playback_.RequestSeek(from + kLongSeek); break;
    case kKeyHome: playback_.RequestSeek(playback_.GetSection().start); break;
    default: break;
    }
}

void AuthorKeys::DrawOverlay(Font& font, const std::string& errorText) const
{
    if (enabled_)
        font.Print(nullptr, 10, 40, "%.2f s%s", playback_.Now(), playback_.IsPaused() ? "  paused" : "");
    int y = 60;
    size_t begin = 0;
    for (int line = 0; line < kErrorLines && begin < errorText.size(); ++line) {
        size_t end = errorText.find('\n', begin);
        if (end == std::string::npos)
            end = errorText.size();
        std::string text = errorText.substr(begin, end - begin);
        if (!text.empty() && text.back() == '\r')
            text.pop_back();
        font.PrintText(nullptr, 10, y, text.c_str());
        y += font.GetHeight() + 2;
        begin = end + 1;
    }
}

std::string AuthorKeys::Title(const std::string& title) const
{
    if (!enabled_)
        return title;
    char text[160];
    std::snprintf(text, sizeof text, "%s - %.1f s%s", title.c_str(), playback_.Now(),
                  playback_.IsPaused() ? " (paused)" : "");
    return text;
}
