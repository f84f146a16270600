// Test helper: runs the real player binary in a folder and collects its exit status and output.
#include "support/PlayerProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

bool WriteTestFile(const std::string& path, const std::string& bytes)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream file(path, std::ios::binary);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

std::string ReadTestFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

PlayerRun RunProcess(const std::string& program, const std::vector<std::string>& args,
                     const std::string& folder, const std::map<std::string, std::string>& env,
                     double timeoutSeconds, void (*onStarted)(int pid, void* data), void* data)
{
    PlayerRun run;
    const std::string outPath = folder + "/.stdout.txt";
    const std::string errPath = folder + "/.stderr.txt";
    std::vector<std::string> argvStrings;
    argvStrings.push_back(program);
    argvStrings.insert(argvStrings.end(), args.begin(), args.end());

    const pid_t pid = fork();
    if (pid < 0)
        return run;
    if (pid == 0) {
        // Child: only async-signal-safe work would be strictly right, but the test process
        // is single-threaded at this point in practice; keep it minimal anyway.
        if (chdir(folder.c_str()) != 0)
            _exit(126);
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0)
            _exit(126);
        dup2(out, 1);
        dup2(err, 2);
        for (const auto& [name, value] : env) {
            if (value.empty())
                unsetenv(name.c_str());
            else
                setenv(name.c_str(), value.c_str(), 1);
        }
        std::vector<char*> argv;
        for (std::string& s : argvStrings)
            argv.push_back(s.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    if (onStarted)
        onStarted(pid, data);
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(static_cast<long>(timeoutSeconds * 1000));
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            run.timedOut = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!run.timedOut && WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    run.out = ReadTestFile(outPath);
    run.err = ReadTestFile(errPath);
    std::filesystem::remove(outPath);
    std::filesystem::remove(errPath);
    return run;
}
