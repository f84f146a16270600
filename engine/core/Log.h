// Log lines: printf-style text handed to the one process-wide log callback.
#pragma once

// Receives every formatted log line (without a trailing newline added).
using LogCallback = void (*)(const char* text);

// Installs the process-wide callback; nullptr drops every line.
void SetLogCallback(LogCallback callback);
LogCallback GetLogCallback();

// Formats into a 1024-byte buffer (at most 1023 characters, longer text is cut)
// and passes the text to the callback, or drops it when none is set.
void LogLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
