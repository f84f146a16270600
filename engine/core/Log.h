// Log lines: printf-style text handed to the one process-wide log callback.
#pragma once
#include <string>
#include <vector>

// Receives every formatted log line (without a trailing newline added).
using LogCallback = void (*)(const char* text);

// Installs the process-wide callback; nullptr drops every line.
void SetLogCallback(LogCallback callback);
LogCallback GetLogCallback();

// Formats into a 1024-byte buffer (at most 1023 characters, longer text is cut)
// and passes the text to the callback, or drops it when none is set.
void LogLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

// While alive, the lines its thread logs are kept here instead of reaching the callback:
// a worker's lines are replayed later by the thread that uses its work, in that thread's order.
class DeferredLog {
public:
    DeferredLog();
    ~DeferredLog();
    DeferredLog(const DeferredLog&) = delete;
    DeferredLog& operator=(const DeferredLog&) = delete;
    void Add(const char* text) { lines_.emplace_back(text); }
    std::vector<std::string> Take() { return std::move(lines_); }

private:
    std::vector<std::string> lines_;
    DeferredLog* previous_;
};
