// The timeline: runs the parsed script against the layer stack, frame by frame, with the music.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>
#include "engine/core/LibObject.h"
#include "engine/layers/LayerStack.h"
#include "script/ScriptData.h"

class RenderDevice;
class Font;
class Texture;

class Timeline : public LibObject {
public:
    // Takes the description font ("font1.png") from the device's font cache.
    explicit Timeline(RenderDevice& device);
    // Stops the sound first, then releases and destroys every layer, bottom to top.
    ~Timeline() override;
    Timeline(const Timeline&) = delete;
    Timeline& operator=(const Timeline&) = delete;

    // Reads and parses the script file (see ParseScriptFile).
    void Parse(const std::string& fileName);
    // Once, after Parse: loading image, preload block, start time, music.
    void Start();
    // Once per frame between BeginScene and EndScene; false when an END operation ran.
    bool Step();
    // Demo clock now - start time.
    float GetElapsed() const;

    bool ShowFrameRate() const { return script_.showFrameRate; }
    bool ShowTime() const { return script_.showTime; }
    bool TimeStretch() const { return script_.timeStretch; }

    Script& GetScript() { return script_; }
    const Script& GetScript() const { return script_; }
    LayerStack& GetLayers() { return layers_; }
    // (text, expiry as elapsed seconds), oldest first.
    const std::vector<std::pair<std::string, float>>& GetDescriptions() const { return descriptions_; }
    float GetStartTime() const { return startTime_; }
    uint32_t GetMusicStream() const { return musicStream_; }
    // The music file's bytes as the stream plays them (empty without music).
    const std::vector<uint8_t>& GetMusicData() const { return musicData_; }

private:
    Layer* ApplyCreate(const LayerOperation& operation);
    void DrawLoadingImage();
    void DrawDescriptions();

    Script script_;
    RenderDevice& device_;
    std::vector<uint8_t> musicData_;  // the stream plays from it: freed only after the stream
    Font* font_ = nullptr;            // owned by the device's font cache
    LayerStack layers_;
    std::vector<std::pair<std::string, float>> descriptions_;
    float startTime_ = 0.0f;
    uint32_t musicStream_ = 0;
    Texture* loadingTexture_ = nullptr;
};
