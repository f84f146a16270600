// The timeline: runs the parsed script against the layer stack, frame by frame, with the music.
#pragma once
#include <cstdint>
#include <functional>
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
    // Seeking, once after Parse instead of Start: starts as Start does but without the
    // music (and without the loading image unless asked), then plays `frames` frames
    // without drawing: each runs its due blocks, layer restarts, expiry sweep and
    // description expiry exactly as Step does, then advanceFrame moves the demo clock on
    // by one frame. False when an END operation ran (the production is over).
    bool StartAt(long frames, const std::function<void()>& advanceFrame, bool loadingImage);
    // Starts the music (when the script names one) `position` seconds into the stream.
    // From then on (as after Start) the sound output is this timeline's: its end stops it.
    void StartMusic(float position);
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
    const LayerStack& GetLayers() const { return layers_; }
    // (text, expiry as elapsed seconds), oldest first.
    const std::vector<std::pair<std::string, float>>& GetDescriptions() const { return descriptions_; }
    float GetStartTime() const { return startTime_; }
    uint32_t GetMusicStream() const { return musicStream_; }
    // The music file's bytes as the stream plays them (empty without music).
    const std::vector<uint8_t>& GetMusicData() const { return musicData_; }

private:
    Layer* ApplyCreate(const LayerOperation& operation);
    // The operation's assignments in order; an error names the layer and the assignment's line.
    void SetParameters(Layer& layer, const LayerOperation& operation);
    // ", FILE line N" for a script line, empty for 0.
    std::string Where(int line) const;
    // Start without the music; the loading image when asked and the script names one
    // (left on screen and in memory until DestroyLoadingTexture).
    void Begin(bool loadingImage);
    void DestroyLoadingTexture();
    // One frame of Step; draws the layers and descriptions only when draw is set.
    bool RunFrame(bool draw);
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
    bool ownsOutput_ = false;  // Start or StartMusic ran
};
