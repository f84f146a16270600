// NameRules: how object names choose behaviour: mesh suffixes, and numbers and file names carried in names.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct SuffixRule {
    enum class Handler { None, MorphSource, MorphDestination, NoLight };
    const char* suffix;
    uint32_t flag;     // ORed in when the rule matches (0: none)
    bool keepsStatic;  // false: a matching mesh is drawn from memory
    Handler handler;
};

// The rules in the order they are tried.
const std::vector<SuffixRule>& GetSuffixRules();
// True when name contains suffix as written or in lower case, anywhere.
bool NameHasSuffix(const std::string& name, const char* suffix);
// The flags the rules alone give a name (handlers' flags included, no fatal checks).
uint32_t FlagsFromName(const std::string& name);

// What a light's name makes of it, each role from a word anywhere in the name, any case.
struct LightRoles {
    bool halo = false;                 // "halo"
    bool dynamic = false;              // "dyna"
    bool particleSource = false;       // "particlegensrc"
    bool particleDestination = false;  // "particlegendest"
};
LightRoles LightRolesFromName(const std::string& name);
// True for a texture name that is the alpha map of the colour map before it ("alpha", any case).
bool IsAlphaTextureName(const std::string& name);

// The decimal number after marker (e.g. ".f"), read up to the next point or the end.
// Looks at every occurrence of marker in turn; false when none is followed by a number.
bool FindNameNumber(const std::string& name, const char* marker, long& value);
// The same for a float up to the next unquoted point (fog markers ".s", ".e", ".d"), so
// ".d" in a word such as ".dyna" does not hide a later ".d10".
bool FindNameFloat(const std::string& name, const char* marker, float& value);
// The text after the first occurrence of marker up to the next point that is not inside
// double quotes; the quotes are dropped ("m\"a.png\"" gives a.png). False without marker.
bool FindNameText(const std::string& name, const char* marker, std::string& value);
// The name up to its first point outside double quotes.
std::string NameKey(const std::string& name);
std::string ToLower(std::string text);
