// The two fatal-error dialogs: the exception dialog and the error dialog.
#pragma once
#include <string>

constexpr const char* kExceptionDialogCaption = "Starfall Trailer, By Vireo! - Exception";
constexpr const char* kErrorDialogCaption = "Starfall Trailer, By Vireo! - Error";

// With console-only reporting (headless, or no display) the texts go to stderr only.
void SetErrorDialogsConsoleOnly(bool consoleOnly);
bool AreErrorDialogsConsoleOnly();

// The texts the dialogs show, as written to stderr.
std::string FormatExceptionReport(const std::string& message, int systemError,
                                  const std::string& traceBack);
std::string FormatErrorReport(const std::string& message);

// Application error (an exception of the shell or a processor exception). systemError is
// the errno saved when the error was caught; an empty trace back shows "Not available".
void ShowExceptionDialog(const std::string& message, int systemError,
                         const std::string& traceBack = std::string());
// Library error.
void ShowErrorDialog(const std::string& message);
