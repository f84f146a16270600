// The type catalog: one throw-away object per registered type, its parameter tables read back.
#include "engine/scene/TypeCatalog.h"

#include <algorithm>
#include <cstdio>
#include <strings.h>
#include "engine/layers/LayerRegistry.h"
#include "engine/scene/MDLModifier.h"
#include "engine/scene/MDLPlayer.h"
#include "engine/scene/Scene.h"

namespace {

bool EndsWith(const std::string& text, const char* tail)
{
    const std::string end(tail);
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Parameter names follow fixed habits (NB counts, ...Texture/...Map/...File files), so the
// role is read from the name and new parameters get theirs without a table to keep up.
ParameterRole RoleOf(const std::string& name, ParameterKind kind)
{
    if (name == "StartTime" || name == "LifeTime" || name == "RisingTime" || name == "StableTime" ||
        name == "FallingTime")
        return ParameterRole::Time;
    if (name.rfind("NB", 0) == 0 && kind == ParameterKind::Int)
        return ParameterRole::Count;
    if (kind != ParameterKind::String)
        return ParameterRole::Plain;
    if (name == "MDLFile")
        return ParameterRole::SceneFile;
    if (name == "CurrentCamera")
        return ParameterRole::Camera;
    if (name == "ObjetName")
        return ParameterRole::Object;
    if (EndsWith(name, "MapList"))
        return ParameterRole::FileList;
    if (EndsWith(name, "Texture") || EndsWith(name, "Map") || EndsWith(name, "File"))
        return ParameterRole::File;
    return ParameterRole::Plain;
}

std::vector<ParameterInfo> ReadParameters(const ParameterSet& set)
{
    std::vector<ParameterInfo> parameters;
    for (const std::string& name : set.GetBoundNames()) {
        const ParameterSet::BoundParameter* bound = set.FindBound(name);
        parameters.push_back({name, bound->kind, true, ParameterSet::FormatBound(*bound), RoleOf(name, bound->kind)});
    }
    for (const std::string& name : set.GetAccessorNames()) {
        if (set.FindBound(name) != nullptr)
            continue;  // the bound one wins
        const ParameterSet::AccessorParameter* accessor = set.FindAccessor(name);
        parameters.push_back({name, accessor->kind, false, accessor->get ? accessor->get() : std::string(),
                              RoleOf(name, accessor->kind)});
    }
    std::sort(parameters.begin(), parameters.end(),
              [](const ParameterInfo& a, const ParameterInfo& b) { return a.name < b.name; });
    return parameters;
}

// Files a type opens by a fixed name of its own.
std::vector<std::string> OwnFilesOf(const std::string& type)
{
    if (type == "Flash")
        return {"white.jpg"};
    if (type == "FocalMDL")
        return {"chromic.jpg"};
    return {};
}

const char* KindName(ParameterKind kind)
{
    switch (kind) {
    case ParameterKind::Int: return "integer";
    case ParameterKind::Float: return "number";
    case ParameterKind::Bool: return "flag";
    case ParameterKind::String: break;
    }
    return "text";
}

}  // namespace

const ParameterInfo* TypeInfo::Find(const std::string& parameter) const
{
    for (const ParameterInfo& info : parameters)
        if (info.name == parameter)
            return &info;
    return nullptr;
}

TypeCatalog::TypeCatalog(RenderDevice& device)
{
    const std::vector<LayerOperation> none;
    for (const std::string& name : LayerRegistry::Instance().GetNames()) {
        std::unique_ptr<Layer> layer = LayerRegistry::Instance().CreateLayer(device, none, name);
        TypeInfo type;
        type.name = name;
        type.fading = dynamic_cast<FadingLayer*>(layer.get()) != nullptr;
        type.takesModifiers = dynamic_cast<MDLPlayer*>(layer.get()) != nullptr;
        type.parameters = ReadParameters(*layer);
        type.ownFiles = OwnFilesOf(name);
        types_.push_back(std::move(type));
    }
    Scene scene(device);
    for (const std::string& name : MDLModifierRegistry::Instance().GetNames()) {
        std::unique_ptr<MDLModifier> modifier = MDLModifierRegistry::Instance().Create(device, scene, name);
        TypeInfo type;
        type.name = name;
        type.family = TypeFamily::Modifier;
        type.parameters = ReadParameters(*modifier);
        types_.push_back(std::move(type));
    }
}

const TypeInfo* TypeCatalog::Find(const std::string& name, TypeFamily family) const
{
    for (const TypeInfo& type : types_)
        if (type.family == family && type.name == name)
            return &type;
    return nullptr;
}

std::string SameIgnoringCase(const std::string& text, const std::vector<std::string>& names)
{
    for (const std::string& name : names)
        if (strcasecmp(name.c_str(), text.c_str()) == 0)
            return name;
    return {};
}

const std::vector<std::string>& PlayerFiles()
{
    // The font of the read-outs, descriptions and scene statistics.
    static const std::vector<std::string> files = {"font1.png"};
    return files;
}

std::string AcceptedValues(const ParameterInfo& parameter)
{
    switch (parameter.role) {
    case ParameterRole::Time:
        return parameter.name == "LifeTime" ? "seconds, not negative; -1 = unlimited" : "seconds, not negative";
    case ParameterRole::Count:
        return "whole number, not negative";
    case ParameterRole::File: return "image file name";
    case ParameterRole::FileList: return "image file names separated by commas";
    case ParameterRole::SceneFile: return "MDL scene file name";
    case ParameterRole::Camera: return "camera name of the scene (any letter case)";
    case ParameterRole::Object: return "object name of the scene (exact)";
    case ParameterRole::Plain: break;
    }
    switch (parameter.kind) {
    case ParameterKind::Int:
        return parameter.bound ? "whole number (decimal)" : "whole number (decimal, 0x.. hex, 0.. octal)";
    case ParameterKind::Float: return "number with a decimal point (2.5, not 2,5)";
    case ParameterKind::Bool: return "Yes (exactly) turns it on; any other text turns it off";
    case ParameterKind::String: break;
    }
    return "text (quote it when it holds spaces)";
}

std::string DescribeAllTypes(const TypeCatalog& catalog)
{
    std::string text = "Layer types (CREATE TYPE { ... }; in a TIME block):\n";
    for (const TypeInfo& type : catalog.GetTypes()) {
        if (type.family != TypeFamily::Layer)
            continue;
        text += "  " + type.name + (type.fading ? "  (fades: RisingTime, StableTime, FallingTime)" : "") +
                (type.takesModifiers ? "  (plays a scene; takes modifiers)" : "") + "\n";
    }
    text += "Scene modifiers (CREATE TYPE { ... }; inside a scene player's CREATE):\n";
    for (const TypeInfo& type : catalog.GetTypes())
        if (type.family == TypeFamily::Modifier)
            text += "  " + type.name + "\n";
    text += "starfall --describe TYPE lists a type's parameters.\n";
    return text;
}

std::string DescribeType(const TypeInfo& type)
{
    std::string text = type.name + (type.family == TypeFamily::Layer ? " (layer type" : " (scene modifier");
    if (type.fading)
        text += ", fades in and out; LifeTime becomes RisingTime + StableTime + FallingTime";
    if (type.takesModifiers)
        text += ", plays a scene and takes modifiers";
    text += ")\n";
    size_t width = 4;
    for (const ParameterInfo& parameter : type.parameters)
        width = std::max(width, parameter.name.size());
    char line[512];
    std::snprintf(line, sizeof line, "  %-*s  %-7s  %-12s  %s\n", static_cast<int>(width), "Name", "Type",
                  "Default", "Accepted values");
    text += line;
    for (const ParameterInfo& parameter : type.parameters) {
        const std::string shown = parameter.defaultValue.empty() ? "(empty)" : parameter.defaultValue;
        std::snprintf(line, sizeof line, "  %-*s  %-7s  %-12s  %s\n", static_cast<int>(width),
                      parameter.name.c_str(), KindName(parameter.kind), shown.c_str(),
                      AcceptedValues(parameter).c_str());
        text += line;
    }
    for (const std::string& file : type.ownFiles)
        text += "  Also opens " + file + " by itself.\n";
    return text;
}
