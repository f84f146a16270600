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
    LineReader(std::string_view text, ScriptParseObserver* observer) : text_(text), observer_(observer) {}

    // False for a bare LF or the end of the text: the body being read ends there.
    // Otherwise the line without its LF and without its last byte (taken to be the CR).
    bool Read(std::string& line) {
        line.clear();
        size_t count = 0;
        lineNumber_ = nextLine_;
        bool sawLineFeed = false;
        while (position_ < text_.size()) {
            const char c = text_[position_++];
            if (c == '\n') {
                sawLineFeed = true;
                break;
            }
            if (count < kMaxLineLength) line.push_back(c);
            ++count;
        }
        if (sawLineFeed) ++nextLine_;
        endsWithCR_ = true;
        if (count == 0) {
            atEnd_ = !sawLineFeed;
            return false;
        }
        endsWithCR_ = !line.empty() && line.back() == '\r';
        if (!line.empty()) line.pop_back();
        return true;
    }

    bool AtEnd() const { return atEnd_; }
    int LineNumber() const { return lineNumber_; }

    // Tells the observer what became of the line just read.
    void Report(ScriptLevel level, const LayerOperation* operation, int depth, const std::string& line,
                bool split, const std::string& keyword, const std::string& value, size_t valueEnd,
                LineOutcome outcome) const {
        if (observer_ == nullptr) return;
        ScriptLineEvent event;
        event.line = lineNumber_;
        event.level = level;
        event.operation = operation ? operation->kind : OperationKind::Other;
        event.depth = depth;
        event.text = line;
        event.endsWithCR = endsWithCR_;
        event.split = split;
        event.keyword = keyword;
        event.value = value;
        event.valueEnd = valueEnd;
        event.outcome = outcome;
        observer_->OnLine(event);
    }
    // A bare LF or the end of the text ended a body.
    void ReportBreak(ScriptLevel level, int depth) const {
        if (observer_ == nullptr) return;
        if (atEnd_) {
            observer_->OnEndOfText(lineNumber_, level);
            return;
        }
        ScriptLineEvent event;
        event.line = lineNumber_;
        event.level = level;
        event.depth = depth;
        event.outcome = LineOutcome::BareLine;
        observer_->OnLine(event);
    }

private:
    std::string_view text_;
    ScriptParseObserver* observer_;
    size_t position_ = 0;
    int nextLine_ = 1;
    int lineNumber_ = 0;
    bool endsWithCR_ = true;
    bool atEnd_ = false;
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

// Reads the lines of one body (the whole text at the top level) and tells the observer of
// each. Empty lines are skipped; a line that does not split is ignored, or, inside a block or
// an operation, closes the body when it holds a "}" before any "//". Every line that splits
// goes to handle(line, keyword, value, report), which acts on it and calls report with what
// it made of it. A bare LF or the end of the text ends the body as well; at the top level the
// end of the text is the normal end and is not reported.
template <class Handle>
void ReadBody(LineReader& reader, ScriptLevel level, const LayerOperation* operation, int depth, Handle&& handle) {
    std::string line, keyword, value;
    size_t valueEnd = 0;
    while (reader.Read(line)) {
        const auto report = [&](bool split, LineOutcome outcome) {
            reader.Report(level, operation, depth, line, split, keyword, value, valueEnd, outcome);
        };
        if (line.empty()) {
            report(false, LineOutcome::Skipped);
            continue;
        }
        if (!SplitScriptLine(line, keyword, value, &valueEnd)) {
            const bool closes = level != ScriptLevel::Top && IsClosingLine(line);
            report(false, closes ? LineOutcome::Closes : LineOutcome::Ignored);
            if (closes) return;
            continue;
        }
        handle(line, keyword, value, [&](LineOutcome outcome) { report(true, outcome); });
    }
    if (level != ScriptLevel::Top || !reader.AtEnd()) reader.ReportBreak(level, depth);
}

void ParseOperation(LineReader& reader, LayerOperation& operation, int depth) {
    ReadBody(reader, ScriptLevel::Operation, &operation, depth,
             [&](const std::string&, const std::string& keyword, const std::string& value, const auto& report) {
        switch (operation.kind) {
        case OperationKind::Create:
            if (keyword == "NAME") {
                report(LineOutcome::Used);
                operation.newName = value;
            } else if (keyword == "INSERT") {
                report(LineOutcome::Used);
                operation.insertAtBottom = value == "Bottom";
            } else if (keyword == "CREATE") {
                if (depth >= kMaxNesting) {
                    report(LineOutcome::Ignored);
                    break;
                }
                report(LineOutcome::Opens);
                LayerOperation child;
                child.kind = OperationKind::Create;
                child.target = value;
                child.line = reader.LineNumber();
                ParseOperation(reader, child, depth + 1);
                operation.children.push_back(std::move(child));
            } else {
                report(LineOutcome::Used);
                operation.assignments.push_back({keyword, value, reader.LineNumber()});
            }
            break;
        case OperationKind::Update:
            report(LineOutcome::Used);
            if (keyword == "MOVE") {
                operation.move = value == "Bottom" ? MoveKind::Bottom : value == "Top" ? MoveKind::Top : MoveKind::None;
            } else if (keyword == "RESTART") {
                operation.restart = value == "Yes";
            } else {
                operation.assignments.push_back({keyword, value, reader.LineNumber()});
            }
            break;
        case OperationKind::Delete:
            report(LineOutcome::Used);
            if (keyword == "NAME")
                operation.newName = value;
            else
                operation.assignments.push_back({keyword, value, reader.LineNumber()});
            break;
        default:
            report(LineOutcome::Ignored);
            break;
        }
    });
}

void ParseBlock(LineReader& reader, TimeBlock& block) {
    ReadBody(reader, ScriptLevel::Block, nullptr, 0,
             [&](const std::string& line, const std::string& keyword, const std::string& value, const auto& report) {
        if (HasOpeningBrace(line) && (keyword == "CREATE" || keyword == "UPDATE" || keyword == "DELETE")) {
            report(LineOutcome::Opens);
            LayerOperation operation;
            operation.kind = keyword == "CREATE"   ? OperationKind::Create
                             : keyword == "UPDATE" ? OperationKind::Update
                                                   : OperationKind::Delete;
            operation.target = value;
            operation.line = reader.LineNumber();
            ParseOperation(reader, operation, 1);
            block.operations.push_back(std::move(operation));
        } else if (keyword == "END") {
            report(LineOutcome::Used);
            LayerOperation operation;
            operation.kind = OperationKind::End;
            operation.line = reader.LineNumber();
            block.operations.push_back(std::move(operation));
        } else if (keyword == "DESC") {
            report(LineOutcome::Used);
            block.description = value;
        } else {
            report(LineOutcome::Ignored);
        }
    });
}

float ReadBlockTime(const std::string& value) {
    float time = 0.0f;
    if (std::sscanf(value.c_str(), "%f", &time) != 1) return 0.0f;
    // "nan" reads as a number, but would break the ordering of the blocks.
    return std::isnan(time) ? 0.0f : time;
}

}  // namespace

bool SplitScriptLine(std::string_view line, std::string& keyword, std::string& value, size_t* valueEnd) {
    keyword.clear();
    value.clear();
    if (valueEnd) *valueEnd = 0;
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
    if (valueEnd) *valueEnd = i;
    return true;
}

void ParseScriptText(std::string_view text, Script& script, ScriptParseObserver* observer) {
    LineReader reader(text, observer);
    ReadBody(reader, ScriptLevel::Top, nullptr, 0,
             [&](const std::string& line, const std::string& keyword, const std::string& value, const auto& report) {
        if (HasOpeningBrace(line)) {
            if (keyword == "TIME") {
                report(LineOutcome::Opens);
                TimeBlock block;
                block.time = ReadBlockTime(value);
                block.line = reader.LineNumber();
                ParseBlock(reader, block);
                script.blocks.push_back(std::move(block));
            } else {
                report(LineOutcome::Ignored);
            }
            return;
        }
        bool used = true;
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
        else
            used = false;
        report(used ? LineOutcome::Used : LineOutcome::Ignored);
    });
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
    script.fileName = fileName;
    ParseScriptText(text, script);
    if (script.logScript) WriteScriptLog(script.blocks);
}
