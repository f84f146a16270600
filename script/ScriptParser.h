// The lenient, line-oriented reader of "Script.txt": never reports a syntax error.
#pragma once
#include <string>
#include <string_view>
#include "script/ScriptData.h"

// Splits one line into keyword and value (the one routine for every level of the script).
// False for comments, closing lines and keywords that no separator ends.
// valueEnd, when given, receives the index just past the value (where the ignored rest begins).
bool SplitScriptLine(std::string_view line, std::string& keyword, std::string& value,
                     size_t* valueEnd = nullptr);

// Where a line was read and what the parser made of it, for tools that judge a script
// exactly as it is read (the parser itself never complains).
enum class ScriptLevel { Top, Block, Operation };
enum class LineOutcome {
    Skipped,   // empty after its CR was removed
    Ignored,   // not understood at this level: dropped without a trace
    Used,      // a keyword the parser acted on (header, DESC, END, NAME, an assignment...)
    Opens,     // starts a TIME block or an operation body
    Closes,    // ends the body being read
    BareLine,  // a bare LF: ends the body being read (at top level: the parsing)
};
struct ScriptLineEvent {
    int line = 0;  // 1-based
    ScriptLevel level = ScriptLevel::Top;
    OperationKind operation = OperationKind::Other;  // at ScriptLevel::Operation
    int depth = 0;                                   // operations open around the line
    std::string_view text;                           // without LF and without its last byte
    bool endsWithCR = true;  // the byte dropped was a CR (false: a line saved with LF alone)
    bool split = false;      // SplitScriptLine succeeded
    std::string keyword, value;
    size_t valueEnd = 0;
    LineOutcome outcome = LineOutcome::Ignored;
};
class ScriptParseObserver {
public:
    virtual ~ScriptParseObserver() = default;
    virtual void OnLine(const ScriptLineEvent& event) = 0;
    // The text ended with bodies still open (their closing lines are missing).
    virtual void OnEndOfText(int lastLine, ScriptLevel level) = 0;
};

// Parses script text into script (blocks are appended) and sorts the blocks by time.
// Every line read is reported to observer when one is given.
void ParseScriptText(std::string_view text, Script& script, ScriptParseObserver* observer = nullptr);

// Reads the file through the library's file access ("Cannot open file [%s]." when it
// cannot be opened), parses it, and writes "ScriptLog.html" when the script asks for it.
void ParseScriptFile(const std::string& fileName, Script& script);
