// Log window: every log line of the run, in order, printed to the console (stderr).
#pragma once
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

class LogWindow {
public:
    // Lines go to the given stream (stderr in the player).
    explicit LogWindow(std::FILE* output = stderr);
    ~LogWindow();
    LogWindow(const LogWindow&) = delete;
    LogWindow& operator=(const LogWindow&) = delete;

    // Makes the window exist: from now on lines are kept and printed.
    void Create();
    // Formats one line (at most 1023 characters; longer text is cut) and shows it.
    // Does nothing while the window does not exist.
    void Log(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Stops showing lines; later lines are dropped.
    void Close();

    bool IsOpen() const { return open_; }
    const std::vector<std::string>& GetLines() const { return lines_; }
    // Sum over the lines of (length + 2), the size of the text with its line breaks.
    size_t GetTotalLength() const { return totalLength_; }

    // The library's log callback: the text is shown as it is, never used as a format.
    static void Callback(const char* text);

private:
    void Append(const char* text);

    std::FILE* output_;
    bool open_ = false;
    std::vector<std::string> lines_;
    size_t totalLength_ = 0;
};

// The one process-wide log window that the library callback reaches (nullptr when none).
LogWindow* GetLogWindow();
