// Formats the parsed script as the HTML page authors read to check how it was understood.
#include "script/ScriptLog.h"

#include <cstdio>
#include <fstream>

namespace {

std::string FormatTime(float time) {
    // Six significant digits without trailing zeros, like a default text stream.
    char text[64];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(time));
    return text;
}

void AppendOperation(std::string& page, const LayerOperation& operation) {
    page += "Layer name : " + operation.target + "<BR>\n";
    page += "Parameters count : " + std::to_string(operation.assignments.size()) + "<BR>\n";
    page += "<BLOCKQUOTE>\n<TABLE>\n";
    for (const ParameterAssignment& assignment : operation.assignments) {
        page += "<TR>\n<TD WIDTH=150>\n" + assignment.name + "</TD>\n<TD>\n" + assignment.value + "</TD>\n</TR>\n";
    }
    page += "</TABLE>\n</BLOCKQUOTE>\n";
    page += "Nested blocks : " + std::to_string(operation.children.size()) + "<BR>\n";
    page += "<BLOCKQUOTE>\n<UL>\n";
    for (const LayerOperation& child : operation.children) {
        page += "<LI>\n";
        AppendOperation(page, child);
        page += "</LI>\n";
    }
    page += "</UL>\n</BLOCKQUOTE>\n<BR>\n";
}

}  // namespace

std::string FormatScriptLog(const std::vector<TimeBlock>& blocks) {
    std::string page = "<HTML><HEAD><TITLE>Script stored in memory</TITLE><HEAD>\n";
    page += "<BR><BR>";
    page += "Time blocks : <I>" + std::to_string(blocks.size()) + " </I><BR>\n";
    page += "<UL>\n";
    for (const TimeBlock& block : blocks) {
        page += "<LI>\n";
        page += "Time : " + FormatTime(block.time) + "<BR>\n";
        page += "Layer operation count : " + std::to_string(block.operations.size()) + "\n";
        page += "<BLOCKQUOTE>\n<UL>\n";
        for (const LayerOperation& operation : block.operations) {
            page += "<LI>\n";
            AppendOperation(page, operation);
            page += "</LI>\n";
        }
        page += "</UL>\n</BLOCKQUOTE>\n</LI>\n";
    }
    page += "</UL>\n";
    return page;
}

bool WriteScriptLog(const std::vector<TimeBlock>& blocks, const std::string& path) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    const std::string page = FormatScriptLog(blocks);
    out.write(page.data(), static_cast<std::streamsize>(page.size()));
    return static_cast<bool>(out);
}
