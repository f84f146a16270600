// Tests that the wave, flicker, circle, line, metaball and water layers are registered with their parameter tables.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include "engine/effects/CerclesLayer.h"
#include "engine/effects/LineLayer.h"
#include "engine/effects/MetaballLayer.h"
#include "engine/effects/OnduleGFXLayer.h"
#include "engine/effects/ParasitesLayer.h"
#include "engine/effects/WaterText.h"
#include "engine/layers/LayerRegistry.h"
#include "support/RecordingDevice.h"

namespace {

struct Expected {
    const char* type;
    std::map<std::string, int> accessors;  // name -> id
    const char* namePrefix;                // default name, up to the random number
    std::function<bool(Layer*)> isType;
};

}  // namespace

TEST(RemainingLayersRegistry, EachTypeIsCreatedByNameWithItsParametersAndDefaultName)
{
    const std::vector<Expected> table{
        {"OnduleGFXLayer",
         {{"Effect", 6}, {"AlphaTexture", 0}, {"Texture", 1}, {"XOffset", 2}, {"YOffset", 3}, {"XScale", 4}, {"YScale", 5}},
         "Ondule Gfx Layer [",
         [](Layer* l) { return dynamic_cast<OnduleGFXLayer*>(l) != nullptr; }},
        {"ParasitesLayer",
         {{"AlphaType", 0}, {"AlphaTexture", 1}, {"Texture", 2}, {"Effect", 3}},
         "Parasites Layer [",
         [](Layer* l) { return dynamic_cast<ParasitesLayer*>(l) != nullptr; }},
        {"CerclesLayer",
         {{"NBCercles", 6}, {"AlphaTexture", 0}, {"Texture", 1}, {"XOffset", 2}, {"YOffset", 3}, {"XScale", 4}, {"YScale", 5}},
         "Cercles Layer [",
         [](Layer* l) { return dynamic_cast<CerclesLayer*>(l) != nullptr; }},
        {"LineLayer",
         {{"AlphaTexture", 0}, {"Texture", 1}, {"XOffset", 2}, {"YOffset", 3}, {"XScale", 4}, {"YScale", 5},
          {"XOffsetDelta", 6}, {"YOffsetDelta", 7}, {"XScaleDelta", 8}, {"YScaleDelta", 9}, {"NBLines", 10},
          {"Tracking", 11}, {"Sens", 12}, {"IntensityMax", 13}},
         "Gfx Layer [",
         [](Layer* l) { return dynamic_cast<LineLayer*>(l) != nullptr; }},
        {"MetaballLayer",
         {{"NBMeta", 0}, {"AlphaTexture", 1}, {"Texture", 2}, {"XOffset", 3}, {"YOffset", 4}, {"ZOffset", 5},
          {"XScale", 6}, {"YScale", 7}, {"ZScale", 8}},
         "",
         [](Layer* l) { return dynamic_cast<MetaballLayer*>(l) != nullptr; }},
        {"WaterText",
         {{"TextureFile", 0}, {"EnvMapFile", 1}, {"TextMapList", 2}, {"UpdateInterval", 3}},
         "",
         [](Layer* l) { return dynamic_cast<WaterText*>(l) != nullptr; }},
    };
    RecordingDevice device;
    const std::vector<LayerOperation> nested;
    for (const Expected& e : table) {
        SCOPED_TRACE(e.type);
        std::unique_ptr<Layer> layer = CreateLayer(device, nested, e.type);
        ASSERT_NE(layer, nullptr);
        EXPECT_TRUE(e.isType(layer.get()));
        EXPECT_EQ(layer->GetAccessorCount(), e.accessors.size());
        for (const auto& [name, id] : e.accessors) {
            const ParameterSet::AccessorParameter* p = layer->FindAccessor(name);
            ASSERT_NE(p, nullptr) << name;
            EXPECT_EQ(p->id, id) << name;
        }
        if (*e.namePrefix) {
            EXPECT_EQ(layer->GetName().rfind(e.namePrefix, 0), 0u) << layer->GetName();
            EXPECT_EQ(layer->GetName().back(), ']');
        } else {
            EXPECT_TRUE(layer->GetName().empty());
        }
    }
    // Defaults that scripts rely on, read back through the parameter text.
    std::unique_ptr<Layer> water = CreateLayer(device, nested, "WaterText");
    EXPECT_EQ(water->FindAccessor("UpdateInterval")->get(), "1.00");
    std::unique_ptr<Layer> lines = CreateLayer(device, nested, "LineLayer");
    EXPECT_EQ(lines->FindAccessor("NBLines")->get(), "32");
    EXPECT_EQ(lines->FindAccessor("Tracking")->get(), "0.10");
    std::unique_ptr<Layer> balls = CreateLayer(device, nested, "MetaballLayer");
    EXPECT_EQ(balls->FindAccessor("NBMeta")->get(), "3");
    std::unique_ptr<Layer> circles = CreateLayer(device, nested, "CerclesLayer");
    EXPECT_EQ(circles->FindAccessor("NBCercles")->get(), "1");
}
