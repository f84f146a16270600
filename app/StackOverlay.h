// The author's overlay (Tab with --author): the timeline as a bar, and the layer stack with each layer's cost.
#pragma once
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include "engine/layers/LayerStack.h"

class Font;
class RenderDevice;
class Timeline;
class TypeCatalog;

class StackOverlay : public LayerFrameObserver {
public:
    StackOverlay();
    ~StackOverlay() override;

    void Toggle() { shown_ = !shown_; }
    bool IsShown() const { return shown_; }

    // The lines of the overlay for the timeline as it stands, cost per layer from the last
    // frames measured (the parameters of the visible layers included).
    std::string Text(const Timeline& timeline, RenderDevice& device);
    // Prints Text at the top left, under the read-outs, and starts measuring the next frame.
    void Draw(Timeline& timeline, RenderDevice& device, Font& font, int top);

    void BeforeLayerFrame(const Layer& layer) override;
    void AfterLayerFrame(const Layer& layer) override;

private:
    bool shown_ = false;
    std::unique_ptr<TypeCatalog> catalog_;  // made on first use: it builds one layer of every type
    std::chrono::steady_clock::time_point started_;
    std::map<const Layer*, double> milliseconds_;  // the last frame's cost of each layer
};

// "|----+--*---|": the production from 0 to its last block across width characters, '+' at
// each block, '*' where now is (past the end it stands on the last place).
std::string TimelineBar(const std::vector<float>& blockTimes, float now, int width);
