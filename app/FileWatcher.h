// Kernel file notifications (inotify) for the files a production reads, for --watch.
#pragma once
#include <map>
#include <set>
#include <string>
#include <vector>

class FileWatcher {
public:
    struct Change {
        std::string path;     // as given to Watch for a watched file, else the full path
        bool watched = false;  // one of the files given to Watch
    };

    // Raises an application error when the kernel refuses a notification queue.
    FileWatcher();
    ~FileWatcher();
    FileWatcher(const FileWatcher&) = delete;
    FileWatcher& operator=(const FileWatcher&) = delete;

    // Adds a file. Its folder is what the kernel watches, so a file that an editor
    // replaces (writing a new file and renaming it over the old) is still seen. False
    // when the folder cannot be watched.
    bool Watch(const std::string& path);
    // Adds a folder: changes of any file in it are reported (not as watched files).
    bool WatchFolder(const std::string& folder);

    // Without waiting: the files written, created, replaced, moved away or deleted since
    // the last call, each once, in the order first seen. A watched folder that is replaced
    // or moved away reports its watched files and is watched again under its name; when the
    // kernel lost events (its queue overflowed) one watched change with an empty path says so.
    std::vector<Change> TakeChanges();

private:
    // The watch descriptor of the folder (canonical path), adding it when new; -1 on failure.
    int AddFolder(const std::string& folder);
    void LoseFolder(int wd);
    // The lost folders that exist again, watched anew.
    std::vector<std::string> Rearm();

    int fd_ = -1;
    std::map<int, std::string> folders_;        // watch descriptor -> canonical folder
    std::map<std::string, int> folderWatches_;  // canonical folder -> watch descriptor
    std::map<std::string, std::string> files_;  // canonical path -> path as given
    std::set<std::string> lostFolders_;         // watched folders whose watch went with them
};
