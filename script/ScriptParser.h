// The lenient, line-oriented reader of "Script.txt": never reports a syntax error.
#pragma once
#include <string>
#include <string_view>
#include "script/ScriptData.h"

// Splits one line into keyword and value (the one routine for every level of the script).
// False for comments, closing lines and keywords that no separator ends.
bool SplitScriptLine(std::string_view line, std::string& keyword, std::string& value);

// Parses script text into script (blocks are appended) and sorts the blocks by time.
void ParseScriptText(std::string_view text, Script& script);

// Reads the file through the library's file access ("Cannot open file [%s]." when it
// cannot be opened), parses it, and writes "ScriptLog.html" when the script asks for it.
void ParseScriptFile(const std::string& fileName, Script& script);
