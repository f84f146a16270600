// Helpers for data file names: the extension and the name without its folders.
#pragma once
#include <string>

// The extension after the last '.', upper-cased ("" when none).
std::string UpperExtension(const char* fileName);
// The text after the last '\\' (or '/').
std::string StripDirectory(const char* fileName);
