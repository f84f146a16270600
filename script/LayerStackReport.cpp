// Reading the live stack back through each layer's parameter tables and clock.
#include "script/LayerStackReport.h"

#include <cstdio>
#include "engine/core/Clock.h"
#include "engine/scene/TypeCatalog.h"
#include "script/Timeline.h"

namespace {

std::string CurrentValue(const Layer& layer, const std::string& name)
{
    if (const ParameterSet::BoundParameter* bound = layer.FindBound(name))
        return ParameterSet::FormatBound(*bound);
    const ParameterSet::AccessorParameter* accessor = layer.FindAccessor(name);
    return accessor && accessor->get ? accessor->get() : std::string();
}

std::string Seconds(float value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

}  // namespace

std::vector<StackEntry> ReadLayerStack(const Timeline& timeline, const TypeCatalog& catalog)
{
    std::vector<StackEntry> stack;
    const float now = ClockNow();
    const LayerStack& layers = timeline.GetLayers();
    for (size_t i = 0; i < layers.Size(); ++i) {
        const Layer& layer = *layers.At(i);
        StackEntry entry;
        entry.type = layer.GetTypeName();
        entry.name = layer.GetName();
        entry.named = !layer.IsAutoDelete();
        const float origin = layer.GetClockOrigin() - timeline.GetStartTime();
        entry.windowStart = origin + layer.GetStartTime();
        entry.windowEnd = layer.GetLifeTime() == -1.0f ? -1.0f : entry.windowStart + layer.GetLifeTime();
        const float local = now - layer.GetClockOrigin();
        entry.visible = local >= layer.GetStartTime() &&
                        (layer.GetLifeTime() == -1.0f || local <= layer.GetStartTime() + layer.GetLifeTime());
        if (const auto* fading = dynamic_cast<const FadingLayer*>(&layer))
            entry.fade = entry.visible ? fading->FadeAt(local - layer.GetStartTime()) : 0.0f;
        if (const TypeInfo* type = catalog.Find(entry.type, TypeFamily::Layer))
            for (const ParameterInfo& parameter : type->parameters) {
                const std::string value = CurrentValue(layer, parameter.name);
                if (value != parameter.defaultValue)
                    entry.parameters.emplace_back(parameter.name, value);
            }
        stack.push_back(std::move(entry));
    }
    return stack;
}

std::string FormatStackEntry(const StackEntry& entry)
{
    std::string text = entry.type + " [" + entry.name + "]" + (entry.named ? " (named)" : "");
    text += "  window " + Seconds(entry.windowStart) + " - " + (entry.windowEnd < 0.0f ? "end" : Seconds(entry.windowEnd));
    text += entry.visible ? "  visible" : "  not drawn";
    if (entry.fade >= 0.0f)
        text += "  fade " + Seconds(entry.fade);
    return text;
}

std::string FormatLayerStack(const Timeline& timeline, const std::vector<StackEntry>& stack)
{
    std::string text = "Time " + Seconds(timeline.GetElapsed()) + " s\nBlocks:";
    for (const TimeBlock& block : timeline.GetScript().blocks) {
        text += " " + Seconds(block.time);
        if (!block.description.empty())
            text += " \"" + block.description + "\"";
        if (block.fired)
            text += "*";
    }
    text += "   (* fired)\nLayers, bottom to top (" + std::to_string(stack.size()) + "):\n";
    for (size_t i = 0; i < stack.size(); ++i) {
        text += "  " + std::to_string(i + 1) + ". " + FormatStackEntry(stack[i]) + "\n";
        if (!stack[i].visible)
            continue;  // only what is on screen is spelled out
        for (const auto& [name, value] : stack[i].parameters)
            text += "       " + name + " = " + value + "\n";
    }
    return text;
}
