// The ordered, owning list of live layers: front is the bottom of the picture.
#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <vector>
#include "engine/layers/Layer.h"

// Told around every layer's Frame (benchmarks time each layer type with it).
class LayerFrameObserver {
public:
    virtual ~LayerFrameObserver() = default;
    virtual void BeforeLayerFrame(const Layer& layer) = 0;
    virtual void AfterLayerFrame(const Layer& layer) = 0;
};

class LayerStack {
public:
    LayerStack() = default;
    // Releases and destroys the remaining layers, bottom to top.
    ~LayerStack();
    LayerStack(const LayerStack&) = delete;
    LayerStack& operator=(const LayerStack&) = delete;

    Layer* AddTop(std::unique_ptr<Layer> layer);
    Layer* AddBottom(std::unique_ptr<Layer> layer);
    // First layer from the bottom whose name equals text exactly; nullptr when none.
    Layer* Find(const std::string& text) const;
    void MoveTop(Layer* layer);
    void MoveBottom(Layer* layer);
    // Release, destroy and unlink; a layer not on the stack is ignored.
    void Remove(Layer* layer);
    // Releases and destroys every layer, bottom to top.
    void Clear();

    // Frame on every layer, bottom to top.
    void FrameAll();
    // Removes the lowest layer that is expired and auto-deleting; returns it was found.
    bool RemoveOneExpired();
    // One frame of the stack: FrameAll, then RemoveOneExpired.
    void RunFrame();

    size_t Size() const { return layers_.size(); }
    bool Empty() const { return layers_.empty(); }
    Layer* At(size_t index) const { return layers_[index].get(); }
    bool Contains(const Layer* layer) const;
    // Not owned; nullptr (the default) to stop.
    void SetFrameObserver(LayerFrameObserver* observer) { observer_ = observer; }

private:
    std::vector<std::unique_ptr<Layer>> layers_;
    LayerFrameObserver* observer_ = nullptr;
};
