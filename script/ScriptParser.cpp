// Script parsing: line reading with its CR/LF rules, the keyword/value split, blocks and operations.
#include "script/ScriptParser.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include "engine/core/Fatal.h"
#include "engine/core/File.h"
#include "script/ScriptLog.h"

namespace {

// Longest line kept; the rest of a longer line is dropped up to its LF.
constexpr size_t kMaxLineLength = 65535;
// Deepest CREATE nesting kept. Nested CREATE lines need no closing line of their own, so an
// unclosed run of them would otherwise nest as deep as the file is long and exhaust the
// stack here and wherever operations are copied or destroyed; deeper ones are ignored.
constexpr int kMaxNesting = 1000;

class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}

    // False for a bare LF or the end of the text: the body being read ends there.
    // Otherwise the line without its LF and without its last byte (taken to be the CR).
    bool Read(std::string& line) {
        line.clear();
        size_t count = 0;
        while (position_ < text_.size()) {
            const char c = text_[position_++];
            if (c == '\n') break;
            if (count < kMaxLineLength) line.push_back(c);
            ++count;
        }
        if (count == 0) return false;
        if (!line.empty()) line.pop_back();
        return true;
    }

private:
    std::string_view text_;
    size_t position_ = 0;
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == ';';
}

// A line whose split failed closes the body when it holds a "}" that comes before any "//".
bool IsClosingLine(const std::string& line) {
    const size_t brace = line.find('}');
    if (brace == std::string::npos) return false;
    const size_t comment = line.find("//");
    return comment == std::string::npos || brace < comment;
}

bool HasOpeningBrace(const std::string& line) {
    return line.find('{') != std::string::npos;
}

void ParseOperation(LineReader& reader, LayerOperation& operation, int depth) {
    std::string line, keyword, value;
    while (reader.Read(line)) {
        if (line.empty()) continue;
        if (!SplitScriptLine(line, keyword, value)) {
            if (IsClosingLine(line)) return;
            continue;
        }
        switch (operation.kind) {
        case OperationKind::Create:
            if (keyword == "NAME") {
                operation.newName = value;
            } else if (keyword == "INSERT") {
                operation.insertAtBottom = value == "Bottom";
            } else if (keyword == "CREATE") {
                if (depth >= kMaxNesting) break;
                LayerOperation child;
                child.kind = OperationKind::Create;
                child.target = value;
                ParseOperation(reader, child, depth + 1);
                operation.children.push_back(std::move(child));
            } else {
                operation.assignments.push_back({keyword, value});
            }
            break;
        case OperationKind::Update:
            if (keyword == "MOVE") {
                operation.move = value == "Bottom" ? MoveKind::Bottom : value == "Top" ? MoveKind::Top : MoveKind::None;
            } else if (keyword == "RESTART") {
                operation.restart = value == "Yes";
            } else {
                operation.assignments.push_back({keyword, value});
            }
            break;
        case OperationKind::Delete:
            if (keyword == "NAME")
                operation.newName = value;
            else
                operation.assignments.push_back({keyword, value});
            break;
        default:
            break;
        }
    }
}

void ParseBlock(LineReader& reader, TimeBlock& block) {
    std::string line, keyword, value;
    while (reader.Read(line)) {
        if (line.empty()) continue;
        if (!SplitScriptLine(line, keyword, value)) {
            if (IsClosingLine(line)) return;
            continue;
        }
        if (HasOpeningBrace(line) && (keyword == "CREATE" || keyword == "UPDATE" || keyword == "DELETE")) {
            LayerOperation operation;
            operation.kind = keyword == "CREATE"   ? OperationKind::Create
                             : keyword == "UPDATE" ? OperationKind::Update
                                                   : OperationKind::Delete;
            operation.target = value;
            ParseOperation(reader, operation, 1);
            block.operations.push_back(std::move(operation));
        } else if (keyword == "END") {
            LayerOperation operation;
            operation.kind = OperationKind::End;
            block.operations.push_back(std::move(operation));
        } else if (keyword == "DESC") {
            block.description = value;
        }
    }
}

float ReadBlockTime(const std::string& value) {
    float time = 0.0f;
    if (std::sscanf(value.c_str(), "%f", &time) != 1) return 0.0f;
    // "nan" reads as a number, but would break the ordering of the blocks.
    return std::isnan(time) ? 0.0f : time;
}

}  // namespace

bool SplitScriptLine(std::string_view line, std::string& keyword, std::string& value) {
    keyword.clear();
    value.clear();
    size_t i = 0;
    bool ended = false;
    for (; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '/' && i + 1 < line.size() && line[i + 1] == '/') return false;
        if (IsBlank(c) || c == '/') {
            if (!keyword.empty()) {
                ended = true;
                ++i;
                break;
            }
            continue;
        }
        if (c == '}') return false;
        keyword.push_back(c);
    }
    if (!ended) return false;

    bool quoted = false;
    bool begun = false;
    for (; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            quoted = !quoted;
            continue;
        }
        if (!quoted && (IsBlank(c) || c == '{')) {
            if (begun) break;
            continue;
        }
        value.push_back(c);
        begun = true;
    }
    return true;
}

void ParseScriptText(std::string_view text, Script& script) {
    LineReader reader(text);
    std::string line, keyword, value;
    while (reader.Read(line)) {
        if (line.empty()) continue;
        if (!SplitScriptLine(line, keyword, value)) continue;
        if (HasOpeningBrace(line)) {
            if (keyword == "TIME") {
                TimeBlock block;
                block.time = ReadBlockTime(value);
                ParseBlock(reader, block);
                script.blocks.push_back(std::move(block));
            }
            continue;
        }
        if (keyword == "MUSICSTREAM")
            script.musicFile = value;
        else if (keyword == "LOADINGIMG")
            script.loadingImage = value;
        else if (keyword == "SHOWFPS")
            script.showFrameRate = value == "Yes";
        else if (keyword == "SHOWTIME")
            script.showTime = value == "Yes";
        else if (keyword == "SHOWDESC")
            script.showDescriptions = value == "Yes";
        else if (keyword == "LOGSCRIPT")
            script.logScript = value == "Yes";
        else if (keyword == "TIMESTRETCH")
            script.timeStretch = value == "Yes";
    }
    // Blocks of equal time keep no particular order.
    std::sort(script.blocks.begin(), script.blocks.end(),
              [](const TimeBlock& a, const TimeBlock& b) { return a.time < b.time; });
}

void ParseScriptFile(const std::string& fileName, Script& script) {
    File file;
    if (!file.Open(fileName.c_str())) ReportFatal("Cannot open file [%s].", fileName.c_str());
    const std::vector<uint8_t> bytes = file.ReadAll();
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    // Lines are read as CR LF: saved with LF alone, each line loses its last character (an
    // END; turns into END). Read as before, but tell the author why the script misbehaves.
    for (size_t at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', at + 1)) {
        if (at == 0 || text[at - 1] != '\r') {
            char warning[512];
            std::snprintf(warning, sizeof warning,
                          "Warning: [%s] line %zu ends without CR: lines are read as CR LF, so the "
                          "last character of each line without CR is dropped.",
                          fileName.c_str(), static_cast<size_t>(std::count(text.begin(), text.begin() + at, '\n')) + 1);
            DebugOutput(warning);
            break;
        }
    }
    ParseScriptText(text, script);
    if (script.logScript) WriteScriptLog(script.blocks);
}
