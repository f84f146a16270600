// Shared helpers of the scene player and modifier tests: a test scene in an archive, modifier operations, a hand-driven clock.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>
#include "engine/scene/MDLPlayer.h"
#include "script/ScriptData.h"
#include "support/FakeClock.h"
#include "support/SceneTestKit.h"
#include "support/TestImages.h"

// A box "Box" at pivot (2, 0, 0) with material "Mat" (texture "box.png"), a light
// "Omni01", two tracked cameras looking at the origin (Camera01 from -z at distance 10,
// Camera02 from +x), 200 frames.
inline MdlFile PlayerScene()
{
    MdlFile file;
    file.frameCount = 200;
    AddTrackedCamera(file, "Camera01", {0, 0, -10}, {0, 0, 0}, 200);
    AddTrackedCamera(file, "Camera02", {10, 0, 0}, {0, 0, 0}, 200);
    file.meshes.push_back(MakeBoxMesh("Box", "Mat", {1, -1, -1}, {3, 1, 1}, {2, 0, 0}));
    file.materials.push_back(MakeMaterial("Mat", {"box.png"}));
    file.lights.push_back({"Omni01", {0, 5, 0}, {1, 1, 1}, 10});
    return file;
}

// A CREATE operation for a modifier nested in a player's CREATE.
inline LayerOperation ModifierOperation(const std::string& type, const std::string& name = "",
                                        std::vector<ParameterAssignment> assignments = {}, bool bottom = false)
{
    LayerOperation operation;
    operation.kind = OperationKind::Create;
    operation.target = type;
    operation.newName = name;
    operation.insertAtBottom = bottom;
    operation.assignments = std::move(assignments);
    return operation;
}

// Images every player test may load.
inline std::vector<std::pair<std::string, std::string>> PlayerTestImages()
{
    return {{"font1.png", SceneTestFont()},
            {"box.png", EncodePng(4, 4, SolidRgb(4, 4, 200, 50, 50))},
            {"spark.png", EncodePng(4, 4, SolidRgb(4, 4, 255, 255, 255))},
            {"sparka.png", EncodePng(4, 4, SolidRgb(4, 4, 128, 128, 128))},
            {"glow.png", EncodePng(4, 4, SolidRgb(4, 4, 0, 255, 0))},
            {"dot.png", EncodePng(4, 4, SolidRgb(4, 4, 255, 255, 255))},
            {"chromic.jpg", EncodeJpeg(8, 8, 3, SolidRgb(8, 8, 255, 255, 255))}};
}

// A scene file and images in a test archive, a recording device and a hand-driven clock.
class PlayerTest : public ::testing::Test {
protected:
    explicit PlayerTest(const MdlFile& file = PlayerScene(), int bits = 32)
    {
        UseScene(file);
        device.Open(640, 480, bits);
    }

    // Makes file the "scene.mdl" of the test archive (the images stay).
    void UseScene(const MdlFile& file)
    {
        pak_.reset();  // the old archive must be gone before the new one is installed
        auto files = PlayerTestImages();
        files.emplace_back("scene.mdl", MdlBytes(file));
        pak_ = std::make_unique<ScopedTestPak>(files);
    }

    // A player (or derived type) on "scene.mdl" with the given modifiers and parameters, initialised.
    template <class PlayerType = MDLPlayer>
    std::unique_ptr<PlayerType> Make(std::vector<LayerOperation> modifiers = {},
                                     const std::vector<std::pair<std::string, std::string>>& parameters = {})
    {
        nested_ = std::move(modifiers);
        auto player = std::make_unique<PlayerType>(device, nested_);
        player->SetParameter("MDLFile", "scene.mdl");
        for (const auto& [name, value] : parameters)
            player->SetParameter(name, value);
        player->Init();
        return player;
    }

    // Moves the clock to seconds after the player's Init and draws one frame.
    void FrameAt(Layer& layer, double seconds)
    {
        SetClock(layer.GetClockOrigin() + seconds);
        device.ClearCalls();
        layer.Frame();
    }

    // The demo clock reads exactly seconds (to the microsecond) from now on.
    void SetClock(double seconds) { clock.Set(seconds); }

    FakeClock clock{1000000};
    std::unique_ptr<ScopedTestPak> pak_;
    RecordingDevice device;
    std::vector<LayerOperation> nested_;
};
