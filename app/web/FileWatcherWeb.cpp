// File notifications in the browser: a page's files never change under it, so nothing is watched.
#include "app/FileWatcher.h"

FileWatcher::FileWatcher() = default;
FileWatcher::~FileWatcher() = default;

bool FileWatcher::Watch(const std::string&)
{
    return false;
}

bool FileWatcher::WatchFolder(const std::string&)
{
    return false;
}

std::vector<FileWatcher::Change> FileWatcher::TakeChanges()
{
    return {};
}

int FileWatcher::AddFolder(const std::string&)
{
    return -1;
}
