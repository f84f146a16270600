// The strict check: a parse observer judging each line, then the parsed script against the type catalog and the files.
#include "script/ScriptChecker.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <strings.h>
#include "engine/core/Fatal.h"
#include "engine/core/File.h"
#include "engine/effects/WaterSurface.h"
#include "engine/scene/Scene.h"
#include "engine/scene/SceneObject.h"
#include "engine/scene/TypeCatalog.h"
#include "script/ScriptParser.h"

namespace {

const std::vector<std::string> kHeaderKeywords = {"MUSICSTREAM", "LOADINGIMG", "SHOWFPS", "SHOWTIME",
                                                   "SHOWDESC",    "LOGSCRIPT",  "TIMESTRETCH"};
const std::vector<std::string> kBlockKeywords = {"CREATE", "UPDATE", "DELETE", "END", "DESC"};
const std::vector<std::string> kCreateKeywords = {"NAME", "INSERT", "CREATE"};
const std::vector<std::string> kUpdateKeywords = {"MOVE", "RESTART"};

std::string Quoted(const std::string& text)
{
    return "[" + text + "]";
}

std::string Trimmed(std::string_view text)
{
    const size_t first = text.find_first_not_of(" \t;{");
    if (first == std::string_view::npos)
        return {};
    const size_t last = text.find_last_not_of(" \t;");
    return std::string(text.substr(first, last - first + 1));
}

bool IsComment(std::string_view text)
{
    const size_t first = text.find_first_not_of(" \t");
    return first != std::string_view::npos && text.substr(first, 2) == "//";
}

bool StartsWithBrace(std::string_view text)
{
    const size_t first = text.find_first_not_of(" \t;");
    return first != std::string_view::npos && text[first] == '}';
}

// What "%f" makes of a TIME value, and whether it took all of it.
bool ReadNumber(const std::string& text, double& value, bool& whole)
{
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    value = std::strtod(begin, &end);
    if (end == begin)
        return false;
    std::string rest(end);
    if (rest == "f" || rest == "F")  // a C float literal reads the same
        rest.clear();
    whole = rest.empty();
    return true;
}

std::string FormatNumber(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// Text after the value that the reading drops, comments and the closing ";" aside.
std::string IgnoredRest(const ScriptLineEvent& event)
{
    std::string_view rest = event.text.substr(std::min(event.valueEnd, event.text.size()));
    const size_t comment = rest.find("//");
    if (comment != std::string_view::npos)
        rest = rest.substr(0, comment);
    return Trimmed(rest);
}

class LineJudge : public ScriptParseObserver {
public:
    explicit LineJudge(std::vector<CheckFinding>& findings) : findings_(findings) {}

    void OnLine(const ScriptLineEvent& event) override
    {
        if (event.level != ScriptLevel::Top || (event.outcome != LineOutcome::Ignored && event.outcome != LineOutcome::Skipped))
            EndStrayRun();
        if (!event.endsWithCR && event.outcome != LineOutcome::BareLine) {
            ++lineFeedOnly_;
            if (firstLineFeedOnly_ == 0)
                firstLineFeedOnly_ = event.line;
        }
        switch (event.outcome) {
        case LineOutcome::Skipped:
            return;
        case LineOutcome::BareLine:
            OnBareLine(event);
            return;
        case LineOutcome::Closes:
            if (!open_.empty())
                open_.pop_back();
            return;
        case LineOutcome::Opens:
            JudgeRest(event);
            if (event.level == ScriptLevel::Top)
                JudgeTime(event);
            open_.push_back({event.line, event.keyword + " " + event.value});
            return;
        case LineOutcome::Used:
            JudgeUsed(event);
            return;
        case LineOutcome::Ignored:
            JudgeIgnored(event);
            return;
        }
    }

    void OnEndOfText(int, ScriptLevel) override
    {
        if (open_.empty())
            return;
        const OpenBody body = open_.back();
        open_.pop_back();
        Add(body.line, body.what + " is never closed: its \"};\" line is missing, so it runs to the end of the file");
    }

    void Finish()
    {
        EndStrayRun();
        if (lineFeedOnly_ > 0)
            findings_.insert(findings_.begin(),
                             {firstLineFeedOnly_,
                              std::to_string(lineFeedOnly_) +
                                  " line(s) end with LF alone, from this one on: every line is read as "
                                  "ending in CR LF, so each such line loses its last character (END; "
                                  "reads as END). Save the script with CR LF line ends"});
    }

private:
    struct OpenBody {
        int line;
        std::string what;
    };

    void Add(int line, std::string text) { findings_.push_back({line, std::move(text)}); }

    // Lines outside any block come in runs after a block ended early: one finding per run.
    void AddStray(int line, std::string text)
    {
        if (strayCount_++ == 0)
            stray_ = {line, std::move(text)};
        strayLast_ = line;
    }
    void EndStrayRun()
    {
        if (strayCount_ == 0)
            return;
        if (strayCount_ > 1)
            stray_.text += "; the " + std::to_string(strayCount_ - 1) + " more line(s) up to line " +
                           std::to_string(strayLast_) + " are outside any TIME block too and are ignored";
        findings_.push_back(stray_);
        strayCount_ = 0;
    }

    void OnBareLine(const ScriptLineEvent& event)
    {
        if (event.level == ScriptLevel::Top) {
            Add(event.line, "an empty line without CR ends the reading of the whole script here: every "
                            "line after it is ignored");
            return;
        }
        std::string what = open_.empty() ? "the body" : open_.back().what;
        if (!open_.empty())
            open_.pop_back();
        Add(event.line, "an empty line without CR ends " + what + " here, as a \"};\" would");
    }

    void JudgeRest(const ScriptLineEvent& event)
    {
        const std::string rest = IgnoredRest(event);
        if (rest.empty())
            return;
        if (rest.find('}') != std::string::npos)
            Add(event.line, "the \"}\" after " + event.keyword + " does not close anything: a closing line "
                            "must start with \"}\"; put \"};\" on a line of its own");
        else
            Add(event.line, "only " + Quoted(event.value) + " of the value of " + event.keyword +
                                " is read; " + Quoted(rest) + " is ignored. Quote a value that holds spaces: \"" +
                                event.value + " " + rest + "\"");
    }

    void JudgeTime(const ScriptLineEvent& event)
    {
        double value = 0.0;
        bool whole = false;
        if (!ReadNumber(event.value, value, whole)) {
            Add(event.line, "TIME " + Quoted(event.value) + " is not a number: the block plays at 0 s");
        } else if (!whole) {
            std::string hint;
            if (event.value.find(':') != std::string::npos)
                hint = " (minutes:seconds is not read; write the time in seconds)";
            Add(event.line, "TIME " + Quoted(event.value) + " reads as " + FormatNumber(value) + " s" + hint);
        }
    }

    void JudgeFlag(const ScriptLineEvent& event)
    {
        if (event.value != "Yes" && event.value != "No")
            Add(event.line, event.keyword + " " + Quoted(event.value) + " reads as off: only Yes (exactly) turns it on");
    }

    void JudgeUsed(const ScriptLineEvent& event)
    {
        JudgeRest(event);
        if (event.level == ScriptLevel::Top) {
            if (event.keyword != "MUSICSTREAM" && event.keyword != "LOADINGIMG")
                JudgeFlag(event);
            return;
        }
        if (event.level != ScriptLevel::Operation)
            return;
        if (event.operation == OperationKind::Create && event.keyword == "INSERT" && event.value != "Bottom" &&
            event.value != "Top")
            Add(event.line, "INSERT " + Quoted(event.value) + " puts the layer on top: only Bottom (exactly) inserts it at the bottom");
        if (event.operation == OperationKind::Update && event.keyword == "MOVE" && event.value != "Bottom" &&
            event.value != "Top")
            Add(event.line, "MOVE " + Quoted(event.value) + " does not move the layer: write Top or Bottom");
        if (event.operation == OperationKind::Update && event.keyword == "RESTART" && event.value != "Yes" &&
            event.value != "No")
            Add(event.line, "RESTART " + Quoted(event.value) + " does not restart: only Yes (exactly) does");
    }

    void JudgeIgnored(const ScriptLineEvent& event)
    {
        if (!event.split) {
            if (IsComment(event.text))
                return;
            if (StartsWithBrace(event.text)) {
                if (event.level == ScriptLevel::Top)
                    AddStray(event.line, "this \"}\" closes nothing: no TIME block is open here (one \"};\" too many, "
                                    "or the block's TIME line was not read)");
                return;  // a closing line after "//" inside a body: a comment
            }
            const std::string word = Trimmed(event.text);
            if (word.empty())
                return;
            std::string text = Quoted(word) + " is ignored: a keyword alone on its line needs a following \";\" or space";
            if (event.level == ScriptLevel::Top)
                AddStray(event.line, std::move(text));
            else
                Add(event.line, std::move(text));
            return;
        }
        if (event.level == ScriptLevel::Top) {
            if (event.keyword == "TIME") {
                Add(event.line, "TIME without \"{\" on its line is ignored, and so is its body");
                return;
            }
            std::vector<std::string> known = kHeaderKeywords;
            known.push_back("TIME");
            const std::string right = SameIgnoringCase(event.keyword, known);
            if (!right.empty())
                Add(event.line, Quoted(event.keyword) + " is not recognised: keywords are upper case (" + right + ")");
            else if (event.text.find('{') != std::string_view::npos)
                AddStray(event.line, Quoted(event.keyword) + " does not open a block (only TIME does): its body is read "
                                "as top-level lines and ignored");
            else
                AddStray(event.line, "unknown keyword " + Quoted(event.keyword) + " outside a TIME block: ignored");
            return;
        }
        if (event.level == ScriptLevel::Block) {
            const std::string right = SameIgnoringCase(event.keyword, kBlockKeywords);
            if (event.keyword == "CREATE" || event.keyword == "UPDATE" || event.keyword == "DELETE") {
                Add(event.line, event.keyword + " without \"{\" on its line is ignored; its body is read as lines "
                                "of the TIME block and its \"};\" ends the block");
            } else if (!right.empty()) {
                Add(event.line, Quoted(event.keyword) + " is not recognised: operations are upper case (" + right +
                                    ")" +
                                    (right == "CREATE" || right == "UPDATE" || right == "DELETE"
                                         ? "; its body is read as lines of the TIME block and its \"};\" ends the block"
                                         : ""));
            } else if (event.keyword == "TIME") {
                Add(event.line, "TIME inside a TIME block is ignored: the \"};\" of the block above is missing");
            } else {
                Add(event.line, "unknown operation " + Quoted(event.keyword) +
                                    " in a TIME block: ignored (a block takes CREATE, UPDATE, DELETE, END and DESC)");
            }
        }
    }

    std::vector<CheckFinding>& findings_;
    std::vector<OpenBody> open_;
    int lineFeedOnly_ = 0;
    int firstLineFeedOnly_ = 0;
    CheckFinding stray_;
    int strayCount_ = 0;
    int strayLast_ = 0;
};

// The value text as the parameter's kind reads it; empty when it reads as meant.
std::string JudgeValue(const ParameterInfo& parameter, const std::string& value)
{
    const char* begin = value.c_str();
    char* end = nullptr;
    switch (parameter.kind) {
    case ParameterKind::Int: {
        errno = 0;
        const long number = std::strtol(begin, &end, parameter.bound ? 10 : 0);
        if (end == begin)
            return Quoted(value) + " is not a whole number: " +
                   (parameter.bound ? "it becomes 0" : "the parameter keeps its value (" + parameter.defaultValue + ")");
        if (*end != '\0')
            return Quoted(value) + " reads as " + std::to_string(number);
        if (!parameter.bound && value.size() > 1 && value[0] == '0' && value[1] != 'x' && value[1] != 'X')
            return Quoted(value) + " reads as " + std::to_string(number) + " (a leading 0 means octal)";
        if (number < 0 && parameter.role == ParameterRole::Count)
            return "a count cannot be negative";
        return {};
    }
    case ParameterKind::Float: {
        double number = 0.0;
        bool whole = false;
        if (!ReadNumber(value, number, whole))
            return Quoted(value) + " is not a number: " +
                   (parameter.bound ? "it becomes 0" : "the parameter keeps its value (" + parameter.defaultValue + ")");
        if (!whole)
            return Quoted(value) + " reads as " + FormatNumber(number) +
                   (value.find(',') != std::string::npos ? " (the decimal separator is a point)" : "");
        if (parameter.role == ParameterRole::Time && number < 0.0 && !(parameter.name == "LifeTime" && number == -1.0))
            return "a negative time" + std::string(parameter.name == "LifeTime" ? " (only -1, unlimited, is allowed)" : "");
        return {};
    }
    case ParameterKind::Bool:
        if (value != "Yes" && value != "No")
            return Quoted(value) + " reads as No: only Yes (exactly) turns it on";
        return {};
    case ParameterKind::String:
        break;
    }
    return {};
}

std::string LayerLabel(const TypeInfo* type, const std::string& typeName, const std::string& name)
{
    std::string label = type && type->family == TypeFamily::Modifier ? "modifier " : "layer ";
    label += typeName;
    if (!name.empty())
        label += " " + Quoted(name);
    return label;
}

class ScriptJudge {
public:
    ScriptJudge(const TypeCatalog& catalog, std::vector<CheckFinding>& findings)
        : catalog_(catalog), findings_(findings)
    {
    }

    void Judge(const Script& script)
    {
        // Names and the time of the first block creating them: UPDATE and DELETE look them up.
        for (const TimeBlock& block : script.blocks)
            for (const LayerOperation& operation : block.operations)
                if (operation.kind == OperationKind::Create && !operation.newName.empty()) {
                    auto found = created_.find(operation.newName);
                    if (found == created_.end() || block.time < found->second.time)
                        created_[operation.newName] = {block.time, operation.target};
                }
        const TimeBlock* preload = nullptr;
        for (const TimeBlock& block : script.blocks)
            if (block.time < 0.0f) {
                preload = &block;
                break;
            }
        for (const TimeBlock& block : script.blocks)
            for (const LayerOperation& operation : block.operations)
                JudgeOperation(block, operation, &block == preload);
    }

private:
    struct Creation {
        float time;
        std::string type;
    };

    void Add(int line, std::string text) { findings_.push_back({line, std::move(text)}); }

    void JudgeOperation(const TimeBlock& block, const LayerOperation& operation, bool preload)
    {
        switch (operation.kind) {
        case OperationKind::Create:
            JudgeCreate(operation, TypeFamily::Layer, nullptr);
            return;
        case OperationKind::Update:
        case OperationKind::Delete: {
            const char* what = operation.kind == OperationKind::Update ? "UPDATE" : "DELETE";
            if (preload) {
                Add(operation.line, std::string(what) + " in the first block before 0 s (the preload block) is skipped: "
                                                        "only its CREATEs run");
                return;
            }
            auto found = created_.find(operation.target);
            if (found == created_.end()) {
                Add(operation.line, std::string(what) + " of " + Quoted(operation.target) +
                                        ", a name no CREATE gives (NAME) " +
                                        (operation.kind == OperationKind::Update
                                             ? "- the player stops with \"Could not find any layer named\""
                                             : "- it does nothing"));
                return;
            }
            if (found->second.time >= block.time)
                Add(operation.line, std::string(what) + " of " + Quoted(operation.target) + " at " +
                                        FormatNumber(block.time) + " s, before the CREATE that names it (at " +
                                        FormatNumber(found->second.time) + " s)");
            if (operation.kind == OperationKind::Update) {
                const TypeInfo* type = catalog_.Find(found->second.type, TypeFamily::Layer);
                if (type)
                    JudgeAssignments(operation, *type, found->second.type, operation.target, kUpdateKeywords);
            }
            return;
        }
        case OperationKind::End:
            if (preload)
                Add(operation.line, "END in the first block before 0 s (the preload block) is skipped");
            return;
        case OperationKind::Other:
            return;
        }
    }

    void JudgeCreate(const LayerOperation& operation, TypeFamily family, const TypeInfo* parent)
    {
        const TypeInfo* type = catalog_.Find(operation.target, family);
        if (type == nullptr) {
            ReportUnknownType(operation, family, parent);
        } else {
            JudgeAssignments(operation, *type, operation.target, operation.newName, kCreateKeywords);
        }
        for (const LayerOperation& child : operation.children) {
            if (type && !type->takesModifiers) {
                Add(child.line, "CREATE " + child.target + " inside " + LayerLabel(type, operation.target, operation.newName) +
                                    " is ignored: only scene players take modifiers" +
                                    (catalog_.Find(child.target, TypeFamily::Layer)
                                         ? "; is the \"};\" of the CREATE at line " + std::to_string(operation.line) +
                                               " missing?"
                                         : ""));
                continue;
            }
            JudgeCreate(child, TypeFamily::Modifier, type);
        }
    }

    void ReportUnknownType(const LayerOperation& operation, TypeFamily family, const TypeInfo* parent)
    {
        std::vector<std::string> names;
        for (const TypeInfo& type : catalog_.GetTypes())
            if (type.family == family)
                names.push_back(type.name);
        const std::string right = SameIgnoringCase(operation.target, names);
        std::string text = "unknown " + std::string(family == TypeFamily::Layer ? "layer type " : "modifier ") +
                           Quoted(operation.target);
        if (!right.empty())
            text += ": names are case-sensitive (" + right + ")";
        else if (family == TypeFamily::Layer && catalog_.Find(operation.target, TypeFamily::Modifier))
            text += ": it is a scene modifier and belongs inside the CREATE of a scene player";
        else if (family == TypeFamily::Modifier && catalog_.Find(operation.target, TypeFamily::Layer))
            text += ": it is a layer type, read here as a modifier of " + (parent ? parent->name : std::string("the layer")) +
                    " - the \"};\" closing the layer above is missing";
        else
            text += " (starfall --describe lists them)";
        Add(operation.line, text);
    }

    void JudgeAssignments(const LayerOperation& operation, const TypeInfo& type, const std::string& typeName,
                          const std::string& name, const std::vector<std::string>& keywords)
    {
        for (const ParameterAssignment& assignment : operation.assignments) {
            const ParameterInfo* parameter = type.Find(assignment.name);
            const std::string where = " (" + LayerLabel(&type, typeName, name) + ")";
            if (parameter == nullptr) {
                std::vector<std::string> names;
                for (const ParameterInfo& info : type.parameters)
                    names.push_back(info.name);
                std::string text = "unknown parameter " + Quoted(assignment.name) + where;
                const std::string keyword = SameIgnoringCase(assignment.name, keywords);
                const std::string right = SameIgnoringCase(assignment.name, names);
                if (!keyword.empty())
                    text += ": the keyword is upper case (" + keyword + ")";
                else if (!right.empty())
                    text += ": names are case-sensitive (" + right + ")";
                else if (assignment.name == "CREATE" || assignment.name == "UPDATE" || assignment.name == "DELETE" ||
                         assignment.name == "TIME")
                    text += ": an operation inside another - a \"};\" is missing above";
                else
                    text += "; the player stops with \"Could not find Parameter\" (starfall --describe " + typeName + ")";
                Add(assignment.line, text);
                continue;
            }
            const std::string verdict = JudgeValue(*parameter, assignment.value);
            if (!verdict.empty())
                Add(assignment.line, assignment.name + ": " + verdict + where);
            if (assignment.name == "LifeTime" && type.fading && operation.kind == OperationKind::Create)
                Add(assignment.line, "LifeTime of a fading layer is replaced by RisingTime + StableTime + FallingTime" + where);
        }
    }

    const TypeCatalog& catalog_;
    std::vector<CheckFinding>& findings_;
    std::map<std::string, Creation> created_;
};

// Who needs which file, for the missing-file findings.
struct FileNeed {
    int line;
    std::string file;
    std::string who;
};

const ParameterAssignment* AssignmentOf(const LayerOperation& operation, const std::string& name)
{
    const ParameterAssignment* found = nullptr;
    for (const ParameterAssignment& assignment : operation.assignments)
        if (assignment.name == name)
            found = &assignment;  // the last one counts
    return found;
}

bool FileExists(const std::string& name)
{
    File file;
    return file.Open(name.c_str());
}

std::string ListNames(const std::vector<std::string>& names)
{
    if (names.empty())
        return "none";
    std::string text;
    const size_t shown = std::min<size_t>(names.size(), 40);
    for (size_t i = 0; i < shown; ++i)
        text += (i ? ", " : "") + names[i];
    if (shown < names.size())
        text += ", ... (" + std::to_string(names.size()) + " in all)";
    return text;
}

class FileJudge {
public:
    FileJudge(const TypeCatalog& catalog, RenderDevice& device, std::vector<CheckFinding>& findings)
        : catalog_(catalog), device_(device), findings_(findings)
    {
    }

    void Judge(const Script& script)
    {
        for (const std::string& file : PlayerFiles())
            Need(0, file, "the player (read-outs and descriptions)");
        if (!script.loadingImage.empty())
            Need(0, script.loadingImage, "LOADINGIMG (the loading image)");
        if (!script.musicFile.empty())
            Need(0, script.musicFile, "MUSICSTREAM (the music)");
        for (const TimeBlock& block : script.blocks)
            for (const LayerOperation& operation : block.operations)
                if (operation.kind == OperationKind::Create)
                    JudgeLayer(operation);
        std::sort(needs_.begin(), needs_.end(), [](const FileNeed& a, const FileNeed& b) { return a.line < b.line; });
        std::map<std::string, bool> known;
        for (const FileNeed& need : needs_) {
            auto found = known.find(need.file);
            if (found == known.end())
                found = known.emplace(need.file, FileExists(need.file)).first;
            if (!found->second)
                findings_.push_back({need.line, "missing file " + Quoted(need.file) + ", needed by " + need.who});
        }
    }

private:
    void Need(int line, const std::string& file, const std::string& who) { needs_.push_back({line, file, who}); }

    void NeedFiles(const LayerOperation& operation, const TypeInfo& type, const std::string& who)
    {
        for (const std::string& file : type.ownFiles)
            Need(operation.line, file, who + " (it opens it by itself)");
        for (const ParameterAssignment& assignment : operation.assignments) {
            const ParameterInfo* parameter = type.Find(assignment.name);
            if (!parameter || assignment.value.empty())
                continue;
            if (parameter->role == ParameterRole::File)
                Need(assignment.line, assignment.value, assignment.name + " of " + who);
            if (parameter->role == ParameterRole::FileList)
                for (const std::string& file : SplitTextMapList(assignment.value))
                    Need(assignment.line, file, assignment.name + " of " + who);
        }
    }

    void JudgeLayer(const LayerOperation& operation)
    {
        const TypeInfo* type = catalog_.Find(operation.target, TypeFamily::Layer);
        if (type == nullptr)
            return;  // reported with the script
        const std::string who = LayerLabel(type, operation.target, operation.newName);
        NeedFiles(operation, *type, who);
        std::unique_ptr<Scene> scene;
        if (const ParameterAssignment* file = AssignmentOf(operation, "MDLFile"); file && type->Find("MDLFile"))
            scene = LoadScene(operation, *file, who);
        if (type->takesModifiers)
            for (const LayerOperation& child : operation.children) {
                const TypeInfo* modifier = catalog_.Find(child.target, TypeFamily::Modifier);
                if (modifier == nullptr)
                    continue;
                const std::string childWho = LayerLabel(modifier, child.target, child.newName) + " of " + who;
                NeedFiles(child, *modifier, childWho);
                const ParameterAssignment* object = AssignmentOf(child, "ObjetName");
                if (scene && object && !object->value.empty() && scene->FindObject(object->value) == nullptr) {
                    std::vector<std::string> names;
                    for (const SceneObject* found : scene->GetObjects())
                        if (!found->GetName().empty())
                            names.push_back(found->GetName());
                    findings_.push_back({object->line, "ObjetName " + Quoted(object->value) + " of " + childWho +
                                                         ": the scene has no such object (it follows (0, 0, 0)); "
                                                         "its objects: " + ListNames(names)});
                }
            }
    }

    std::unique_ptr<Scene> LoadScene(const LayerOperation& operation, const ParameterAssignment& assignment,
                                     const std::string& who)
    {
        const int line = assignment.line;
        const std::string& file = assignment.value;
        QuietFatalErrors quiet;
        auto scene = std::make_unique<Scene>(device_);
        try {
            scene->Load(file.c_str());
        } catch (const std::exception& error) {
            findings_.push_back({line, "the scene " + Quoted(file) + " of " + who + " does not load: " + error.what()});
            return nullptr;
        }
        try {
            scene->LoadTextures();
        } catch (const std::exception& error) {
            findings_.push_back({line, "the textures of the scene " + Quoted(file) + " of " + who +
                                           " do not load: " + error.what()});
        }
        if (const ParameterAssignment* camera = AssignmentOf(operation, "CurrentCamera"); camera && !camera->value.empty()) {
            std::vector<std::string> names;
            for (const Camera* found : scene->GetCameras())
                names.push_back(found->GetName());
            try {
                scene->SelectCamera(camera->value.c_str());
            } catch (const std::exception& error) {
                findings_.push_back({camera->line, "CurrentCamera " + Quoted(camera->value) + " of " + who + ": " + error.what() +
                                               " - the scene's cameras: " + ListNames(names)});
            }
        }
        return scene;
    }

    const TypeCatalog& catalog_;
    RenderDevice& device_;
    std::vector<CheckFinding>& findings_;
    std::vector<FileNeed> needs_;
};

}  // namespace

std::vector<CheckFinding> CheckScriptText(std::string_view text, const TypeCatalog& catalog, Script& script)
{
    std::vector<CheckFinding> findings;
    LineJudge lines(findings);
    ParseScriptText(text, script, &lines);
    lines.Finish();
    ScriptJudge(catalog, findings).Judge(script);
    return findings;
}

void CheckScriptFiles(const Script& script, const TypeCatalog& catalog, RenderDevice& device,
                      std::vector<CheckFinding>& findings)
{
    FileJudge(catalog, device, findings).Judge(script);
}

std::string FormatFindings(const std::string& fileName, std::vector<CheckFinding> findings)
{
    std::stable_sort(findings.begin(), findings.end(),
                     [](const CheckFinding& a, const CheckFinding& b) { return a.line < b.line; });
    std::string text;
    for (const CheckFinding& finding : findings) {
        text += fileName;
        if (finding.line > 0)
            text += ":" + std::to_string(finding.line);
        text += ": " + finding.text + "\n";
    }
    return text;
}
