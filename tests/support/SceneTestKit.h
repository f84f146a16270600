// Shared helpers of the scene tests: scenes written to a test archive, fatal texts, a stepped clock.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>
#include "engine/device/Font.h"
#include "engine/scene/Scene.h"
#include "support/FakeClock.h"
#include "support/FatalText.h"
#include "support/RecordingDevice.h"
#include "support/TestImages.h"
#include "support/TestPak.h"
#include "tools/mdltool/MdlWriter.h"

inline std::string MdlBytes(const MdlFile& file)
{
    const std::vector<uint8_t> bytes = WriteMdl(file);
    return std::string(bytes.begin(), bytes.end());
}

// A camera with position and target tracks, keys every 10 frames moving along x.
inline void AddTrackedCamera(MdlFile& file, const std::string& name, Vector3 eye, Vector3 target, int frames = 100)
{
    MdlCameraRecord camera;
    camera.name = name;
    camera.position = eye;
    camera.target = target;
    camera.fieldOfView = 0.785398f;
    file.cameras.push_back(camera);
    std::vector<MdlVectorKey> eyeKeys, targetKeys;
    for (int f = 0; f <= frames; f += 10) {
        eyeKeys.push_back({f, eye});
        targetKeys.push_back({f, target});
    }
    file.tracks.push_back(MakePositionTrack(name, eyeKeys));
    file.tracks.push_back(MakePositionTrack(name + ".Target", targetKeys));
}

// A material named name with the given texture file names.
inline MdlMaterialRecord MakeMaterial(const std::string& name, std::vector<std::string> textures = {})
{
    MdlMaterialRecord material;
    material.name = name;
    material.textures = std::move(textures);
    return material;
}

// A font sheet for "font1.png" (the scene's mesh-count font): every glyph 3 pixels wide.
inline std::string SceneTestFont()
{
    std::vector<std::vector<int>> rows;
    for (int k = 0; k < Font::kGlyphCount; ++k) {
        if (k % 16 == 0)
            rows.emplace_back();
        rows.back().push_back(3);
    }
    int w = 0, h = 0;
    const std::vector<uint8_t> sheet = DrawFontSheet(5, rows, w, h);
    return EncodePng(w, h, sheet);
}

// One scene file "scene.mdl" (plus any other files) in a test archive, loaded on a
// recording device.
class LoadedScene {
public:
    explicit LoadedScene(const MdlFile& file, std::vector<std::pair<std::string, std::string>> extra = {})
    {
        extra.emplace_back("scene.mdl", MdlBytes(file));
        pak = std::make_unique<ScopedTestPak>(extra);
        device.Open(640, 480, 32);
        scene = std::make_unique<Scene>(device);
        scene->Load("scene.mdl");
    }
    std::unique_ptr<ScopedTestPak> pak;
    RecordingDevice device;
    std::unique_ptr<Scene> scene;
};

// The demo clock stepped forward by hand.
class SteppedClock : public FakeClock {
public:
    void Advance(double seconds)
    {
        now_ += seconds;
        Set(now_);
    }

private:
    double now_ = 0;
};
