// Name rules: suffix table, and numbers and file names read from object names.
#include "engine/scene/NameRules.h"
#include <cctype>
#include <cstdlib>
#include "engine/scene/ObjectFlags.h"

const std::vector<SuffixRule>& GetSuffixRules()
{
    using H = SuffixRule::Handler;
    static const std::vector<SuffixRule> rules = {
        {".Alpha", kFlagAlpha, true, H::None},
        {".AlphaMap", kFlagAlphaMap, true, H::None},
        {".EnvMap", kFlagEnvMap, false, H::None},
        {".Floor", kFlagFloor, true, H::None},
        {".Wire", kFlagWire, true, H::None},
        {".MorphSrc", 0, false, H::MorphSource},
        {".MorphDest", 0, false, H::MorphDestination},
        {".NoCull", kFlagNoCull, true, H::None},
        {".NoLight", 0, true, H::NoLight},
        {".NoDynaLight", kFlagNoDynaLight, true, H::None},
        {".Hide", kFlagHide, true, H::None},
        {".NoFog", kFlagNoFog, true, H::None},
    };
    return rules;
}

std::string ToLower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool NameHasSuffix(const std::string& name, const char* suffix)
{
    return name.find(suffix) != std::string::npos || name.find(ToLower(suffix)) != std::string::npos;
}

uint32_t FlagsFromName(const std::string& name)
{
    uint32_t flags = 0;
    for (const SuffixRule& rule : GetSuffixRules()) {
        if (!NameHasSuffix(name, rule.suffix))
            continue;
        flags |= rule.flag;
        if (rule.handler == SuffixRule::Handler::MorphSource) {
            flags |= kFlagMorph | kFlagRecomputeNormals;
            if (name.find(".Loop") != std::string::npos)
                flags |= kFlagMorphLoop;
        } else if (rule.handler == SuffixRule::Handler::MorphDestination) {
            flags = (flags & ~kFlagVisible) | kFlagMorphDest;
        }
    }
    return flags;
}

LightRoles LightRolesFromName(const std::string& name)
{
    const std::string lower = ToLower(name);
    auto has = [&lower](const char* word) { return lower.find(word) != std::string::npos; };
    LightRoles roles;
    roles.halo = has("halo");
    roles.dynamic = has("dyna");
    roles.particleSource = has("particlegensrc");
    roles.particleDestination = has("particlegendest");
    return roles;
}

bool IsAlphaTextureName(const std::string& name)
{
    return ToLower(name).find("alpha") != std::string::npos;
}

namespace {

// The field after marker at position: the text up to the next point.
std::string FieldAt(const std::string& name, size_t start)
{
    const size_t end = name.find('.', start);
    return name.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

}  // namespace

bool FindNameNumber(const std::string& name, const char* marker, long& value)
{
    const std::string m = marker;
    for (size_t at = name.find(m); at != std::string::npos; at = name.find(m, at + 1)) {
        const std::string field = FieldAt(name, at + m.size());
        const char* text = field.c_str();
        char* end = nullptr;
        const long number = std::strtol(text, &end, 10);
        if (end != text && std::isdigit(static_cast<unsigned char>(end[-1]))) {
            value = number;
            return true;
        }
    }
    return false;
}

bool FindNameFloat(const std::string& name, const char* marker, float& value)
{
    for (size_t at = name.find(marker); at != std::string::npos; at = name.find(marker, at + 1)) {
        std::string text;
        FindNameText(name.substr(at), marker, text);
        const char* start = text.c_str();
        char* end = nullptr;
        const float number = std::strtof(start, &end);
        if (end != start) {
            value = number;
            return true;
        }
    }
    return false;
}

bool FindNameText(const std::string& name, const char* marker, std::string& value)
{
    const size_t at = name.find(marker);
    if (at == std::string::npos)
        return false;
    value.clear();
    bool quoted = false;
    for (size_t i = at + std::char_traits<char>::length(marker); i < name.size(); ++i) {
        const char c = name[i];
        if (c == '"')
            quoted = !quoted;
        else if (c == '.' && !quoted)
            break;
        else
            value += c;
    }
    return true;
}

std::string NameKey(const std::string& name)
{
    bool quoted = false;
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '"')
            quoted = !quoted;
        else if (name[i] == '.' && !quoted)
            return name.substr(0, i);
    }
    return name;
}
