// Kernel file notifications (inotify) on the folders of the watched files.
#include "app/FileWatcher.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "engine/core/Fatal.h"

namespace fs = std::filesystem;

namespace {

// A path in the one spelling the kernel's events are compared in.
std::string Canonical(const std::string& path)
{
    std::error_code error;
    fs::path absolute = fs::absolute(path, error);
    if (error)
        return path;
    fs::path canonical = fs::weakly_canonical(absolute, error);
    return (error ? absolute : canonical).lexically_normal().string();
}

// Every way an editor finishes a file: writing in place, renaming a new one over it,
// deleting it (a later reload then reports it missing).
constexpr uint32_t kEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE |
                             IN_DELETE_SELF | IN_MOVE_SELF;

}  // namespace

FileWatcher::FileWatcher()
{
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0)
        RaiseAppError("Cannot watch files for changes (%s).", std::strerror(errno));
}

FileWatcher::~FileWatcher()
{
    if (fd_ >= 0)
        close(fd_);
}

int FileWatcher::AddFolder(const std::string& folder)
{
    auto known = folderWatches_.find(folder);
    if (known != folderWatches_.end())
        return known->second;
    const int wd = inotify_add_watch(fd_, folder.c_str(), kEvents);
    if (wd < 0)
        return -1;
    folders_[wd] = folder;
    folderWatches_[folder] = wd;
    lostFolders_.erase(folder);
    return wd;
}

bool FileWatcher::Watch(const std::string& path)
{
    const std::string canonical = Canonical(path);
    if (AddFolder(fs::path(canonical).parent_path().string()) < 0)
        return false;
    files_.emplace(canonical, path);
    return true;
}

bool FileWatcher::WatchFolder(const std::string& folder)
{
    return AddFolder(Canonical(folder)) >= 0;
}

std::vector<std::string> FileWatcher::Rearm()
{
    std::vector<std::string> rearmed;
    // A folder replaced (a checkout, rsync) or moved away takes its watch with it; the
    // folder now under the name is watched again once it exists.
    for (auto lost = lostFolders_.begin(); lost != lostFolders_.end();) {
        const int wd = inotify_add_watch(fd_, lost->c_str(), kEvents);
        if (wd < 0) {
            ++lost;
            continue;
        }
        folders_[wd] = *lost;
        folderWatches_[*lost] = wd;
        rearmed.push_back(*lost);
        lost = lostFolders_.erase(lost);
    }
    return rearmed;
}

void FileWatcher::LoseFolder(int wd)
{
    auto folder = folders_.find(wd);
    if (folder == folders_.end())
        return;
    inotify_rm_watch(fd_, wd);  // a moved folder would keep reporting from its new place
    folderWatches_.erase(folder->second);
    lostFolders_.insert(folder->second);
    folders_.erase(folder);
}

std::vector<FileWatcher::Change> FileWatcher::TakeChanges()
{
    std::vector<Change> changes;
    std::set<std::string> seen;
    auto report = [&](const std::string& full) {
        if (!seen.insert(full).second)
            return;
        auto file = files_.find(full);
        if (file != files_.end())
            changes.push_back({file->second, true});
        else
            changes.push_back({full, false});
    };
    // Every watched file in a folder replaced or watched again may have changed with it.
    auto reportFolder = [&](const std::string& folder) {
        for (const auto& [canonical, given] : files_)
            if (fs::path(canonical).parent_path().string() == folder)
                report(canonical);
    };
    alignas(inotify_event) char buffer[8192];
    bool overflowed = false;
    for (;;) {
        const ssize_t got = read(fd_, buffer, sizeof buffer);
        if (got <= 0)
            break;  // EAGAIN: nothing more pending
        for (ssize_t offset = 0; offset + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                overflowed = true;
                continue;
            }
            auto folder = folders_.find(event->wd);
            if (folder == folders_.end())
                continue;
            if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
                const std::string gone = folder->second;
                LoseFolder(event->wd);
                reportFolder(gone);
                continue;
            }
            if (event->len != 0)
                report((fs::path(folder->second) / event->name).string());
        }
    }
    for (const std::string& folder : Rearm())
        reportFolder(folder);
    // Events were lost: any file may have changed, so the changes say so once.
    if (overflowed)
        changes.push_back({std::string(), true});
    return changes;
}
