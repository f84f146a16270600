// What the script may create: every layer type and scene modifier with its parameters, read from the registries.
#pragma once
#include <string>
#include <vector>
#include "engine/layers/ParameterSet.h"

class RenderDevice;

// What a parameter's text names, beyond its kind; checks and references use it.
enum class ParameterRole {
    Plain,
    Time,       // seconds, never negative (LifeTime also takes -1: unlimited)
    Count,      // an "NB" count, never negative
    File,       // a data file (image) the type opens
    FileList,   // several data files
    SceneFile,  // an MDL scene
    Camera,     // a camera of the layer's scene
    Object,     // an object of the player's scene
};

struct ParameterInfo {
    std::string name;
    ParameterKind kind = ParameterKind::String;
    bool bound = false;  // bound parameters read plain decimal numbers (no hex or octal)
    std::string defaultValue;
    ParameterRole role = ParameterRole::Plain;
};

enum class TypeFamily { Layer, Modifier };

struct TypeInfo {
    std::string name;
    TypeFamily family = TypeFamily::Layer;
    bool fading = false;          // rising / stable / falling envelope; LifeTime is their sum
    bool takesModifiers = false;  // nested CREATE bodies become scene modifiers
    std::vector<ParameterInfo> parameters;  // in byte order of the names
    std::vector<std::string> ownFiles;      // files the type opens by itself, whatever is set

    const ParameterInfo* Find(const std::string& parameter) const;
};

class TypeCatalog {
public:
    // Makes one object of every registered type on device (nothing is drawn or loaded).
    explicit TypeCatalog(RenderDevice& device);

    const std::vector<TypeInfo>& GetTypes() const { return types_; }
    // Exact, case-sensitive, as the script's lookups are; nullptr when unknown.
    const TypeInfo* Find(const std::string& name, TypeFamily family) const;

private:
    std::vector<TypeInfo> types_;
};

// A name of the list that equals text ignoring letter case (the usual slip), else empty.
std::string SameIgnoringCase(const std::string& text, const std::vector<std::string>& names);
// Files every production needs, whatever its script says.
const std::vector<std::string>& PlayerFiles();

// "--describe": every type, one line each; and one type's parameters in full.
std::string DescribeAllTypes(const TypeCatalog& catalog);
std::string DescribeType(const TypeInfo& type);
// The accepted values of a parameter, as the reference states them.
std::string AcceptedValues(const ParameterInfo& parameter);
