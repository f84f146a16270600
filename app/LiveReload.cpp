// Live reload: changed files make a new script that the playback controller starts where it stands.
#include "app/LiveReload.h"

#include <cstdio>

#include "app/PlaybackController.h"
#include "engine/core/Fatal.h"
#include "engine/core/File.h"
#include "engine/core/Log.h"
#include "engine/device/RenderDevice.h"
#include "engine/device/Texture.h"
#include "script/ScriptParser.h"
#include "script/Timeline.h"

namespace {

// Editors write a file in several steps; a reload waits until the files were quiet this long.
constexpr uint32_t kQuietMilliseconds = 150;

}  // namespace

void LiveReload::WatchStart()
{
    watcher_.WatchFolder(GetDataFolder().empty() ? "." : GetDataFolder());
    WatchUsedFiles();
}

void LiveReload::WatchUsedFiles()
{
    for (const auto& [name, path] : GetUsedFilePaths()) {
        if (path.empty() || !watched_.insert(path).second)
            continue;
        watcher_.Watch(path);
    }
}

void LiveReload::ShowError(const std::string& text)
{
    error_ = text;
    std::fprintf(stderr, "starfall: %s\n", text.c_str());
    std::fflush(stderr);
}

void LiveReload::Poll(uint32_t nowMs)
{
    for (const FileWatcher::Change& change : watcher_.TakeChanges()) {
        changed_.insert(change.path);
        anyChangeWatched_ = anyChangeWatched_ || change.watched;
        lastChangeMs_ = nowMs;
    }
    if (changed_.empty() || nowMs - lastChangeMs_ < kQuietMilliseconds)
        return;
    // Other files in the folders matter only while an error waits for its fix.
    if (anyChangeWatched_ || !error_.empty())
        Reload();
    changed_.clear();
    anyChangeWatched_ = false;
}

void LiveReload::Reload()
{
    // A lost event (the kernel's queue overflowed) may stand for any file.
    const bool everything = changed_.count(std::string()) != 0;
    for (const auto& [name, path] : GetUsedFilePaths())
        if (everything || changed_.count(path) != 0) {
            ForgetCachedImage(device_, name);
            device_.RetireFont(name);
        }
    const double at = playback_.Now();
    const bool wasPlaying = playback_.GetTimeline() != nullptr;
    try {
        Script script;
        ParseScriptFile("Script.txt", script);
        Script previous = playback_.GetScript();
        if (!playback_.PlayAt(script, at)) {
            char text[96];
            std::snprintf(text, sizeof text, "The changed script ends before %.2f s.", at);
            ShowError(text);
        } else {
            if (wasPlaying)
                fallback_ = std::move(previous);
            error_.clear();
            LogLine("Reloaded at %.2f s.", at);
        }
    } catch (const CUserException& error) {
        ShowError(error.what());
    }
    WatchUsedFiles();
}

void LiveReload::TakeOver(const std::string& text)
{
    ShowError(text);
    if (!fallback_)
        return;
    try {
        if (playback_.PlayAt(*fallback_, playback_.Now()))
            fallback_.reset();
    } catch (const CUserException& error) {
        playback_.DropFailedTimeline();
        ShowError(error_ + "\n" + error.what());
    }
}
