// "ScriptLog.html": a dump of the parsed script for authors, written on request.
#pragma once
#include <string>
#include <vector>
#include "script/ScriptData.h"

// The page for the given blocks, with "\n" line ends.
std::string FormatScriptLog(const std::vector<TimeBlock>& blocks);

// Best effort: a file that cannot be created is skipped silently (returns false).
bool WriteScriptLog(const std::vector<TimeBlock>& blocks, const std::string& path = "ScriptLog.html");
