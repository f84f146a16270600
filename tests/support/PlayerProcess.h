// Test helper: runs the real player binary in a folder and collects its exit status and output.
#pragma once
#include <map>
#include <string>
#include <vector>

struct PlayerRun {
    int exitCode = -1;     // -1 when killed or not started
    bool timedOut = false;
    std::string out;       // standard output
    std::string err;       // standard error
};

// Runs program with args in folder. env overrides (an empty value unsets the variable);
// the process is killed after timeoutSeconds. onStarted, when set, runs in the test while
// the player is alive (its pid is passed) and before waiting for the end.
PlayerRun RunProcess(const std::string& program, const std::vector<std::string>& args,
                     const std::string& folder, const std::map<std::string, std::string>& env,
                     double timeoutSeconds, void (*onStarted)(int pid, void* data) = nullptr,
                     void* data = nullptr);

// Writes a file (creating folders); true on success.
bool WriteTestFile(const std::string& path, const std::string& bytes);
std::string ReadTestFile(const std::string& path);
