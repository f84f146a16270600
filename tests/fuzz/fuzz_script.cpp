// Fuzz target: the script parser, then the script log of what it parsed.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include "FuzzSupport.h"
#include "script/ScriptLog.h"
#include "script/ScriptParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    IgnoringFatalErrors([&] {
        Script script;
        ParseScriptText(std::string_view(reinterpret_cast<const char*>(data), size), script);
        FormatScriptLog(script.blocks);
    });
    return 0;
}
