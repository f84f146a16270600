// The layer registry of the linked program holds exactly the layer types the scripts may name.
#include <gtest/gtest.h>

#include <string>
#include <vector>
#include "engine/layers/LayerRegistry.h"
#include "support/RecordingDevice.h"

// Every layer type, one per line (byte order, as the registry lists them). A new type adds
// its line here; a type missing from the link (a registrar dropped by the linker) or an
// unexpected one fails.
const std::vector<std::string> kLayerTypes = {
    "CerclesLayer",
    "DotEffect",
    "Flash",
    "FocalGFX",
    "FocalMDL",
    "GFXLayer",
    "LineLayer",
    "MDLPlayer",
    "MetaballLayer",
    "OnduleGFXLayer",
    "ParasitesLayer",
    "TextLayer",
    "WaterText",
};

TEST(LayerTypes, TheRegistryHoldsExactlyTheExpectedTypesAndEachCreatesItsLayer)
{
    EXPECT_EQ(LayerRegistry::Instance().GetNames(), kLayerTypes);
    RecordingDevice device;
    device.Open();
    const std::vector<LayerOperation> nested;
    for (const std::string& type : kLayerTypes) {
        EXPECT_TRUE(LayerRegistry::Instance().Contains(type)) << type;
        EXPECT_NE(CreateLayer(device, nested, type), nullptr) << type;
    }
}
