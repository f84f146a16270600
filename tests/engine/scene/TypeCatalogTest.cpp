// Tests of the type catalog: what the registries hold, as the reference and the check read it, and the author's guide agreeing with it.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include "engine/scene/TypeCatalog.h"
#include "support/MemoryArchive.h"
#include "support/RecordingDevice.h"

namespace {

struct ParameterCase {
    const char* type;
    const char* parameter;
    ParameterKind kind;
    const char* defaultValue;
    ParameterRole role;
};

std::set<std::string> NamesOf(const TypeInfo& type)
{
    std::set<std::string> names;
    for (const ParameterInfo& parameter : type.parameters)
        names.insert(parameter.name);
    return names;
}

std::string Joined(const std::set<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += " " + name;
    return text;
}

}  // namespace

TEST(TypeCatalog, ReadsKindsDefaultsAndRolesFromTheParameterTables)
{
    RecordingDevice device;
    const TypeCatalog catalog(device);
    const ParameterCase cases[] = {
        {"GFXLayer", "XScale", ParameterKind::Float, "1.00", ParameterRole::Plain},
        {"GFXLayer", "AlphaType", ParameterKind::Int, "0", ParameterRole::Plain},
        {"GFXLayer", "Texture", ParameterKind::String, "", ParameterRole::File},
        {"GFXLayer", "StartTime", ParameterKind::Float, "0", ParameterRole::Time},
        {"GFXLayer", "LifeTime", ParameterKind::Float, "-1", ParameterRole::Time},
        {"CerclesLayer", "NBCercles", ParameterKind::Int, "1", ParameterRole::Count},
        {"LineLayer", "NBLines", ParameterKind::Int, "32", ParameterRole::Count},
        {"LineLayer", "Tracking", ParameterKind::Float, "0.10", ParameterRole::Plain},
        {"MDLPlayer", "MDLFile", ParameterKind::String, "", ParameterRole::SceneFile},
        {"MDLPlayer", "CurrentCamera", ParameterKind::String, "", ParameterRole::Camera},
        {"MDLPlayer", "FarPlane", ParameterKind::Float, "1000.00", ParameterRole::Plain},
        {"MDLPlayer", "ShowBBoxes", ParameterKind::Bool, "No", ParameterRole::Plain},
        {"WaterText", "TextMapList", ParameterKind::String, "", ParameterRole::FileList},
        {"WaterText", "EnvMapFile", ParameterKind::String, "", ParameterRole::File},
        {"TextLayer", "Text", ParameterKind::String, "", ParameterRole::Plain},
        {"FocalGFX", "OrigMap", ParameterKind::String, "", ParameterRole::File},
        {"Smoke", "ObjetName", ParameterKind::String, "", ParameterRole::Object},
        {"Smoke", "MaxIntensity", ParameterKind::Float, "255.00", ParameterRole::Plain},
        {"Smoke", "NBParticle", ParameterKind::Int, "1", ParameterRole::Count},
        {"Flies", "LifeTime", ParameterKind::Float, "-1.00", ParameterRole::Time},
    };
    for (const ParameterCase& c : cases) {
        const TypeInfo* type = catalog.Find(c.type, TypeFamily::Layer);
        if (type == nullptr)
            type = catalog.Find(c.type, TypeFamily::Modifier);
        ASSERT_NE(type, nullptr) << c.type;
        const ParameterInfo* parameter = type->Find(c.parameter);
        ASSERT_NE(parameter, nullptr) << c.type << "." << c.parameter;
        EXPECT_EQ(parameter->kind, c.kind) << c.type << "." << c.parameter;
        EXPECT_EQ(parameter->defaultValue, c.defaultValue) << c.type << "." << c.parameter;
        EXPECT_EQ(parameter->role, c.role) << c.type << "." << c.parameter;
    }
}

TEST(TypeCatalog, KnowsEveryTypeItsFamilyEnvelopeAndModifiers)
{
    RecordingDevice device;
    const TypeCatalog catalog(device);
    std::set<std::string> layers, modifiers;
    for (const TypeInfo& type : catalog.GetTypes())
        (type.family == TypeFamily::Layer ? layers : modifiers).insert(type.name);
    EXPECT_EQ(Joined(layers), " CerclesLayer DotEffect Flash FocalGFX FocalMDL GFXLayer LineLayer MDLPlayer "
                              "MetaballLayer OnduleGFXLayer ParasitesLayer TextLayer WaterText");
    EXPECT_EQ(Joined(modifiers), " Flies GlowEffect OndesRadio ParticlesCollision Smoke");

    const TypeInfo* flash = catalog.Find("Flash", TypeFamily::Layer);
    ASSERT_NE(flash, nullptr);
    EXPECT_TRUE(flash->fading);
    EXPECT_FALSE(flash->takesModifiers);
    EXPECT_EQ(Joined(NamesOf(*flash)), " FallingTime LifeTime RisingTime StableTime StartTime");
    EXPECT_EQ(flash->ownFiles, std::vector<std::string>{"white.jpg"});
    const TypeInfo* dots = catalog.Find("DotEffect", TypeFamily::Layer);
    ASSERT_NE(dots, nullptr);
    EXPECT_TRUE(dots->takesModifiers);  // a scene player
    EXPECT_FALSE(dots->fading);
    EXPECT_FALSE(catalog.Find("FocalMDL", TypeFamily::Layer)->takesModifiers);
    EXPECT_EQ(catalog.Find("Smoke", TypeFamily::Layer), nullptr);  // families are apart
    EXPECT_EQ(catalog.Find("gfxlayer", TypeFamily::Layer), nullptr);
    EXPECT_EQ(SameIgnoringCase("gfxlayer", {"Flash", "GFXLayer"}), "GFXLayer");
    EXPECT_EQ(SameIgnoringCase("gfx", {"Flash", "GFXLayer"}), "");
}

TEST(TypeCatalog, DescribesATypeWithTypeDefaultAndAcceptedValues)
{
    RecordingDevice device;
    const TypeCatalog catalog(device);
    const std::string text = DescribeType(*catalog.Find("CerclesLayer", TypeFamily::Layer));
    EXPECT_NE(text.find("CerclesLayer (layer type, fades in and out; LifeTime becomes RisingTime + StableTime + "
                        "FallingTime)"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("NBCercles     integer  1             whole number, not negative"), std::string::npos) << text;
    EXPECT_NE(text.find("LifeTime      number   -1            seconds, not negative; -1 = unlimited"), std::string::npos)
        << text;
    EXPECT_NE(text.find("Texture       text     (empty)       image file name"), std::string::npos) << text;
    const std::string all = DescribeAllTypes(catalog);
    EXPECT_NE(all.find("  MDLPlayer  (plays a scene; takes modifiers)\n"), std::string::npos) << all;
    EXPECT_NE(all.find("Scene modifiers"), std::string::npos) << all;
    EXPECT_LT(all.find("  WaterText\n"), all.find("  Flies\n"));
}

// The guide lists, per type, its own parameters and the shared groups it takes; together
// they must be exactly what the registries hold.
TEST(TypeCatalog, AuthorsGuideNamesEveryParameterOfEveryTypeAndNoOther)
{
    const std::string guide = SourceFile("docs/AuthorsGuide.md");
    ASSERT_FALSE(guide.empty());
    std::map<std::string, std::set<std::string>> groups, own;
    std::map<std::string, std::set<std::string>> shares;
    std::istringstream lines(guide);
    std::string line, section;
    bool isGroup = false;
    while (std::getline(lines, line)) {
        if (line.rfind("### ", 0) == 0) {
            section.clear();
            if (line.rfind("### Shared: ", 0) == 0) {
                section = line.substr(12);
                isGroup = true;
            } else if (line.size() > 6 && line[4] == '`') {
                section = line.substr(5, line.find('`', 5) - 5);
                isGroup = false;
                own[section];
            }
            continue;
        }
        if (section.empty())
            continue;
        if (line.rfind("| `", 0) == 0) {
            const std::string name = line.substr(3, line.find('`', 3) - 3);
            (isGroup ? groups : own)[section].insert(name);
        }
        if (!isGroup) {
            const size_t at = line.find("Shares: ");
            if (at != std::string::npos) {
                std::string list = line.substr(at + 8);
                for (size_t start = 0; start < list.size();) {
                    size_t end = list.find_first_of(",.", start);
                    if (end == std::string::npos)
                        end = list.size();
                    std::string word = list.substr(start, end - start);
                    word.erase(0, word.find_first_not_of(' '));
                    if (!word.empty())
                        shares[section].insert(word);
                    start = end + 1;
                }
            }
        }
    }
    RecordingDevice device;
    const TypeCatalog catalog(device);
    std::set<std::string> registered;
    for (const TypeInfo& type : catalog.GetTypes()) {
        registered.insert(type.name);
        ASSERT_EQ(own.count(type.name), 1u) << "the guide has no section for " << type.name;
        std::set<std::string> documented = own[type.name];
        for (const std::string& group : shares[type.name]) {
            ASSERT_EQ(groups.count(group), 1u) << type.name << " shares an unknown group " << group;
            documented.insert(groups[group].begin(), groups[group].end());
        }
        EXPECT_EQ(Joined(documented), Joined(NamesOf(type))) << "parameters of " << type.name;
    }
    for (const auto& [name, parameters] : own)
        EXPECT_EQ(registered.count(name), 1u) << "the guide describes " << name << ", which is not registered";
}
