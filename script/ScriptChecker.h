// The strict check of a script: everything the lenient parser and the player accept silently or fail on later.
#pragma once
#include <string>
#include <string_view>
#include <vector>
#include "script/ScriptData.h"

class RenderDevice;
class TypeCatalog;

struct CheckFinding {
    int line = 0;  // 0: the script as a whole
    std::string text;
};

// Reads text exactly as the player does (the parsed result goes to script) and reports,
// by line, what the reading makes of it that an author would not mean, and what the
// script asks of layer types, modifiers and parameters that they do not have.
std::vector<CheckFinding> CheckScriptText(std::string_view text, const TypeCatalog& catalog, Script& script);

// The data files the script and the player need, the scenes, and the cameras and objects
// named in them, looked up through the library's file access; scenes and textures are
// loaded on device. Appends to findings.
void CheckScriptFiles(const Script& script, const TypeCatalog& catalog, RenderDevice& device,
                      std::vector<CheckFinding>& findings);

// "FILE:LINE: text" per finding, in line order (findings about the whole script first).
std::string FormatFindings(const std::string& fileName, std::vector<CheckFinding> findings);
