// The layer stack: ordering, lookup by name, removal and the per-frame pass.
#include "engine/layers/LayerStack.h"

#include "engine/core/Fatal.h"

#include <algorithm>

LayerStack::~LayerStack() {
    Clear();
}

Layer* LayerStack::AddTop(std::unique_ptr<Layer> layer) {
    layers_.push_back(std::move(layer));
    return layers_.back().get();
}

Layer* LayerStack::AddBottom(std::unique_ptr<Layer> layer) {
    layers_.insert(layers_.begin(), std::move(layer));
    return layers_.front().get();
}

Layer* LayerStack::Find(const std::string& text) const {
    for (const auto& layer : layers_)
        if (layer->GetName() == text) return layer.get();
    return nullptr;
}

bool LayerStack::Contains(const Layer* layer) const {
    return std::any_of(layers_.begin(), layers_.end(), [layer](const auto& entry) { return entry.get() == layer; });
}

void LayerStack::MoveTop(Layer* layer) {
    auto found = std::find_if(layers_.begin(), layers_.end(), [layer](const auto& entry) { return entry.get() == layer; });
    if (found == layers_.end()) return;
    std::unique_ptr<Layer> owned = std::move(*found);
    layers_.erase(found);
    layers_.push_back(std::move(owned));
}

void LayerStack::MoveBottom(Layer* layer) {
    auto found = std::find_if(layers_.begin(), layers_.end(), [layer](const auto& entry) { return entry.get() == layer; });
    if (found == layers_.end()) return;
    std::unique_ptr<Layer> owned = std::move(*found);
    layers_.erase(found);
    layers_.insert(layers_.begin(), std::move(owned));
}

void LayerStack::Remove(Layer* layer) {
    auto found = std::find_if(layers_.begin(), layers_.end(), [layer](const auto& entry) { return entry.get() == layer; });
    if (found == layers_.end()) return;
    (*found)->Release();
    found->reset();
    layers_.erase(found);
}

void LayerStack::Clear() {
    // Bottom to top; each layer leaves the list as it is destroyed, so a failing
    // Release never leaves a destroyed layer behind.
    while (!layers_.empty()) {
        std::unique_ptr<Layer> layer = std::move(layers_.front());
        layers_.erase(layers_.begin());
        layer->Release();
    }
}

void LayerStack::FrameAll() {
    for (const auto& layer : layers_) {
        if (observer_) observer_->BeforeLayerFrame(*layer);
        // An error while drawing (a camera the scene does not have...) says which layer.
        try {
            layer->Frame();
        } catch (const CUserException& error) {
            ReraiseWithPlace(error, "(" + DescribeLayer(*layer) + ")");
        }
        if (observer_) observer_->AfterLayerFrame(*layer);
    }
}

bool LayerStack::RemoveOneExpired() {
    for (const auto& layer : layers_) {
        if (layer->IsAutoDelete() && !layer->IsAlive()) {
            Remove(layer.get());
            return true;
        }
    }
    return false;
}

void LayerStack::RunFrame() {
    FrameAll();
    RemoveOneExpired();
}
