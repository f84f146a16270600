// MDL listing: records as stored, with the name rules applied the way the scene applies them.
#include "tools/mdltool/MdlDump.h"
#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include "engine/scene/NameRules.h"
#include "engine/scene/ObjectFlags.h"

namespace {

std::string Vec(Vector3 v)
{
    char text[96];
    std::snprintf(text, sizeof text, "(%g, %g, %g)", v.x, v.y, v.z);
    return text;
}

template <class Key>
std::string KeyRange(const std::vector<Key>& keys)
{
    if (keys.empty())
        return "0";
    char text[64];
    std::snprintf(text, sizeof text, "%zu [%d..%d]", keys.size(), keys.front().frame, keys.back().frame);
    return text;
}

}  // namespace

std::string DescribeFlags(uint32_t flags)
{
    static const std::pair<uint32_t, const char*> names[] = {
        {kFlagAlpha, "Alpha"}, {kFlagHide, "Hide"}, {kFlagNoFog, "NoFog"}, {kFlagEnvMap, "EnvMap"},
        {kFlagRecomputeNormals, "Normals"}, {kFlagWire, "Wire"}, {kFlagVisible, "Visible"},
        {kFlagAlphaMap, "AlphaMap"}, {kFlagNoCull, "NoCull"}, {kFlagDriven, "Driven"}, {kFlagFloor, "Floor"},
        {kFlagNoDynaLight, "NoDynaLight"}, {kFlagMorph, "MorphSrc"}, {kFlagMorphDest, "MorphDest"},
        {kFlagMorphLoop, "Loop"}, {kFlagMovedLast, "MovedLast"}};
    std::string text;
    for (const auto& [bit, name] : names) {
        if (!(flags & bit))
            continue;
        if (!text.empty())
            text += '|';
        text += name;
    }
    return text.empty() ? "-" : text;
}

void DumpMdl(const MdlFile& file, const char* path, std::ostream& out)
{
    out << "File " << path << ": MDL version 3.0, " << file.frameCount << " frames\n";
    out << "  meshes " << file.meshes.size() << ", materials " << file.materials.size() << ", tracks "
        << file.tracks.size() << ", cameras " << file.cameras.size() << ", lights " << file.lights.size()
        << ", markers " << file.markers.size() << "\n";

    out << "Cameras\n";
    for (const MdlCameraRecord& c : file.cameras)
        out << "  " << c.name << "  position " << Vec(c.position) << "  target " << Vec(c.target) << "  fov "
            << c.fieldOfView << "  roll " << c.roll << "\n";

    out << "Lights\n";
    for (const MdlLightRecord& l : file.lights) {
        const std::string name = ToLower(l.name);
        const LightRoles lightRoles = LightRolesFromName(l.name);
        std::string roles;
        if (lightRoles.halo)
            roles += " halo";
        if (lightRoles.dynamic)
            roles += " dynamic";
        if (lightRoles.particleSource)
            roles += " stream-source";
        if (lightRoles.particleDestination)
            roles += " stream-destination";
        if (name.find(".fog") != std::string::npos)
            roles += " fog";
        out << "  " << l.name << "  position " << Vec(l.position) << "  colour " << Vec(l.color) << "  range "
            << l.range << "  roles:" << (roles.empty() ? " -" : roles) << "\n";
    }

    std::map<std::string, int> materialUse;
    out << "Meshes\n";
    for (const MdlMeshRecord& m : file.meshes) {
        uint32_t flags = FlagsFromName(m.name);
        if (!(flags & kFlagMorphDest))
            flags |= kFlagVisible;
        bool isStatic = true;
        for (const SuffixRule& rule : GetSuffixRules())
            if (!rule.keepsStatic && NameHasSuffix(m.name, rule.suffix))
                isStatic = false;
        ++materialUse[m.material];
        out << "  " << m.name << "  material \"" << m.material << "\"  " << m.vertices.size() << " vertices, "
            << m.faces.size() << " faces, pivot " << Vec(m.pivot) << "  flags " << DescribeFlags(flags) << ", "
            << (isStatic ? "static" : "drawn from memory") << "\n";
        if (!m.children.empty()) {
            out << "    children:";
            for (const std::string& child : m.children)
                out << " " << child;
            out << "\n";
        }
    }

    out << "Markers\n";
    for (const MdlMarkerRecord& m : file.markers)
        out << "  " << m.name << "  value " << m.value << "  position " << Vec(m.position) << "\n";

    out << "Materials\n";
    std::map<std::string, bool> seen;
    for (const MdlMaterialRecord& m : file.materials) {
        const bool used = materialUse.count(m.name) && !seen[m.name];
        seen[m.name] = true;
        out << "  " << m.name << "  flag " << int(m.flag) << "  mode " << m.mode << "  colours " << Vec(m.colors[0])
            << " " << Vec(m.colors[1]) << " " << Vec(m.colors[2]) << (used ? "" : "  (unused: removed at loading)")
            << "\n";
        for (const std::string& texture : m.textures)
            out << "    texture " << texture
                << (IsAlphaTextureName(texture) ? "  (alpha of the one before)" : "") << "\n";
    }

    out << "Tracks\n";
    for (const MdlTrackRecord& t : file.tracks)
        out << "  " << t.name << "  position " << KeyRange(t.position) << ", roll " << KeyRange(t.roll) << ", fov "
            << KeyRange(t.fieldOfView) << ", rotation " << KeyRange(t.rotation) << ", scale " << KeyRange(t.scale)
            << "\n";

    out << "Morph sequences\n";
    for (const MdlMeshRecord& source : file.meshes) {
        if (!(FlagsFromName(source.name) & kFlagMorph))
            continue;
        long start = 0;
        out << "  " << source.name << "  starts at "
            << (FindNameNumber(source.name, ".f", start) ? std::to_string(start) : std::string("? (no .f)")) << "\n";
        const std::string prefix = source.name.substr(0, source.name.find('.'));
        std::vector<std::pair<long, const MdlMeshRecord*>> steps;
        for (const MdlMeshRecord& other : file.meshes) {
            if (&other == &source || other.name.find(prefix) == std::string::npos)
                continue;
            long c = -1;
            if (!(FlagsFromName(other.name) & kFlagMorphDest)) {
                out << "    (ignored, not a destination) " << other.name << "\n";
                continue;
            }
            FindNameNumber(other.name, ".c", c);
            steps.emplace_back(c, &other);
        }
        std::stable_sort(steps.begin(), steps.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& [c, mesh] : steps) {
            long f = 0, e = 0;
            const bool hasStart = FindNameNumber(mesh->name, ".f", f);
            const bool hasEnd = FindNameNumber(mesh->name, ".e", e);
            out << "    c " << c << "  " << mesh->name << "  from " << (hasStart ? std::to_string(f) : "?")
                << (hasEnd ? "  to " + std::to_string(e) : "") << "  " << mesh->vertices.size() << " vertices\n";
        }
    }

    out << "Halos\n";
    for (const MdlLightRecord& l : file.lights) {
        if (!LightRolesFromName(l.name).halo)
            continue;
        const std::string name = ToLower(l.name);
        std::string texture;
        out << "  " << name << "  texture "
            << (FindNameText(name, ".m", texture) ? texture : std::string("none (skipped)")) << "\n";
    }

    out << "Particle streams\n";
    for (const MdlLightRecord& source : file.lights) {
        if (!LightRolesFromName(source.name).particleSource)
            continue;
        const std::string name = ToLower(source.name);
        const std::string key = NameKey(name);
        for (const MdlLightRecord& destination : file.lights) {
            const std::string other = ToLower(destination.name);
            if (!LightRolesFromName(destination.name).particleDestination || other.find(key) == std::string::npos)
                continue;
            long count = 0;
            std::string texture;
            const bool complete = FindNameNumber(name, ".c", count) && FindNameText(name, ".m", texture);
            out << "  " << name << " -> " << other << "  "
                << (complete ? std::to_string(count) + " particles, texture " + texture
                             : std::string("no particle count or texture (skipped)"))
                << "\n";
        }
    }

    out << "Fog lights\n";
    for (const MdlLightRecord& l : file.lights) {
        const std::string name = ToLower(l.name);
        if (name.find(".fog") == std::string::npos)
            continue;
        float start = 0, end = 0, density = 0;
        FindNameFloat(name, ".s", start);
        FindNameFloat(name, ".e", end);
        FindNameFloat(name, ".d", density);
        out << "  " << name << "  linear from " << start << " to " << end << ", density " << density << ", colour "
            << Vec(l.color) << "\n";
    }
}
