// Live reload (--watch): the watched files, the quiet wait, the fallback script and the error shown.
#pragma once
#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "app/FileWatcher.h"
#include "script/ScriptData.h"

class PlaybackController;
class RenderDevice;

class LiveReload {
public:
    LiveReload(RenderDevice& device, PlaybackController& playback) : device_(device), playback_(playback) {}

    // After the first start, played or failed: until a script plays, any file that appears
    // in the data folder may be the fix; and every file the script read is watched.
    void WatchStart();
    // Each frame, with the system time: once files have been quiet for a moment, hands the
    // controller the changed script at the time playback stands at.
    void Poll(uint32_t nowMs);
    // A script error: shown on screen and on stderr, and the program goes on.
    void ShowError(const std::string& text);
    // The script failed inside a frame (its timeline already dropped): the one that played
    // before the last reload takes over where it stood.
    void TakeOver(const std::string& text);
    // The error shown; empty when none.
    const std::string& GetError() const { return error_; }

private:
    void Reload();
    void WatchUsedFiles();

    RenderDevice& device_;
    PlaybackController& playback_;
    FileWatcher watcher_;
    std::optional<Script> fallback_;    // what played before the last reload
    std::set<std::string> changed_;      // reported, not yet reloaded
    std::set<std::string> watched_;
    bool anyChangeWatched_ = false;
    uint32_t lastChangeMs_ = 0;
    std::string error_;
};
