// Shared helpers of the scene tests: scenes written to a test archive, fatal texts, a fake clock, recorder queries.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>
#include "engine/core/Clock.h"
#include "engine/core/Fatal.h"
#include "engine/scene/Scene.h"
#include "support/RecordingDevice.h"
#include "support/TestPak.h"
#include "tools/mdltool/MdlWriter.h"

inline std::string MdlBytes(const MdlFile& file)
{
    const std::vector<uint8_t> bytes = WriteMdl(file);
    return std::string(bytes.begin(), bytes.end());
}

// The text of the fatal error body raises ("" when it returns).
inline std::string FatalText(const std::function<void()>& body)
{
    try {
        body();
    } catch (const CUserException& error) {
        return error.what();
    }
    return "";
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

// The demo clock driven by hand.
struct ManualClock : ClockCounter {
    int64_t count = 0;
    bool Frequency(int64_t& ticksPerSecond) override
    {
        ticksPerSecond = 1000000;
        return true;
    }
    int64_t Count() override { return count; }
    void Advance(double seconds) { count += static_cast<int64_t>(seconds * 1e6); }
};

class ScopedManualClock {
public:
    ScopedManualClock()
    {
        ClockResetForTesting();
        ClockSetCounter(&clock);
        ClockStart();
    }
    ~ScopedManualClock()
    {
        ClockSetCounter(nullptr);
        ClockResetForTesting();
        ClockStart();
    }
    void Advance(double seconds) { clock.Advance(seconds); }
    ManualClock clock;
};

// Recorder queries go through these few helpers so a change of the recorder's form stays local.
inline std::vector<std::string> CallNames(const RecordingDevice& device)
{
    return device.Names();
}
inline int CallCount(const RecordingDevice& device, const std::string& name)
{
    return device.Count(name);
}
inline std::vector<const RecordedCall*> CallsNamed(const RecordingDevice& device, const std::string& name)
{
    return device.All(name);
}
// The names of the calls from the first call named from (inclusive) on, without the
// state-block bookkeeping of the recorder.
inline std::vector<std::string> NamesFrom(const RecordingDevice& device, const std::string& from)
{
    std::vector<std::string> names;
    bool started = false;
    for (const RecordedCall& call : device.calls) {
        started = started || call.name == from;
        if (started)
            names.push_back(call.name);
    }
    return names;
}
