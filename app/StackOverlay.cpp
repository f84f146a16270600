// Drawing the author's overlay from the live timeline; the per-layer cost is timed around each layer's frame.
#include "app/StackOverlay.h"

#include <algorithm>
#include <cstdio>
#include <vector>
#include "engine/device/Font.h"
#include "engine/device/RenderDevice.h"
#include "engine/scene/TypeCatalog.h"
#include "script/LayerStackReport.h"
#include "script/Timeline.h"

StackOverlay::StackOverlay() = default;
StackOverlay::~StackOverlay() = default;

std::string TimelineBar(const std::vector<float>& blockTimes, float now, int width)
{
    if (width < 2)
        width = 2;
    float end = now;
    for (float time : blockTimes)
        end = std::max(end, time);
    std::string bar(static_cast<size_t>(width), '-');
    const auto place = [&](float time) {
        if (end <= 0.0f)
            return 0;
        return std::clamp(static_cast<int>(time / end * static_cast<float>(width - 1) + 0.5f), 0, width - 1);
    };
    for (float time : blockTimes)
        if (time >= 0.0f)
            bar[static_cast<size_t>(place(time))] = '+';
    bar[static_cast<size_t>(place(std::max(now, 0.0f)))] = '*';
    return "|" + bar + "|";
}

std::string StackOverlay::Text(const Timeline& timeline, RenderDevice& device)
{
    if (!catalog_)
        catalog_ = std::make_unique<TypeCatalog>(device);
    std::vector<float> times;
    for (const TimeBlock& block : timeline.GetScript().blocks)
        times.push_back(block.time);
    char head[96];
    std::snprintf(head, sizeof head, "%.2f s  ", static_cast<double>(timeline.GetElapsed()));
    std::string text = head + TimelineBar(times, timeline.GetElapsed(), 48) + "\n";
    const std::vector<StackEntry> stack = ReadLayerStack(timeline, *catalog_);
    const LayerStack& layers = timeline.GetLayers();
    for (size_t i = 0; i < stack.size(); ++i) {
        const StackEntry& entry = stack[i];
        if (!entry.visible)
            continue;  // a production keeps many layers waiting; the overlay shows what is on screen
        char cost[32] = "";
        const auto found = milliseconds_.find(layers.At(i));
        if (found != milliseconds_.end())
            std::snprintf(cost, sizeof cost, "  %.2f ms", found->second);
        text += std::to_string(i + 1) + ". " + FormatStackEntry(entry) + cost + "\n";
        std::string parameters;
        for (const auto& [name, value] : entry.parameters)
            parameters += (parameters.empty() ? "   " : "  ") + name + "=" + value;
        if (!parameters.empty())
            text += parameters + "\n";
    }
    char count[64];
    std::snprintf(count, sizeof count, "%zu layers on the stack, bottom first", stack.size());
    return text + count;
}

void StackOverlay::Draw(Timeline& timeline, RenderDevice& device, Font& font, int top)
{
    const std::string text = Text(timeline, device);
    const int right = device.GetWidth() - 10;
    int y = top;
    size_t begin = 0;
    while (begin < text.size() && y < device.GetHeight()) {
        size_t end = text.find('\n', begin);
        if (end == std::string::npos)
            end = text.size();
        // Long lines wrap at spaces, the rest indented, so nothing runs off the screen.
        std::string rest = text.substr(begin, end - begin);
        while (!rest.empty()) {
            size_t cut = rest.size();
            while (font.MeasureText(10, rest.substr(0, cut).c_str()) > right) {
                const size_t space = rest.rfind(' ', cut - 1);
                if (space == std::string::npos || space <= 4)
                    break;
                cut = space;
            }
            font.PrintText(nullptr, 10, y, rest.substr(0, cut).c_str());
            y += font.GetHeight() + 2;
            rest = cut < rest.size() ? "    " + rest.substr(rest.find_first_not_of(' ', cut)) : "";
            if (rest.find_first_not_of(' ') == std::string::npos)
                rest.clear();
        }
        begin = end + 1;
    }
    milliseconds_.clear();
    timeline.GetLayers().SetFrameObserver(this);
}

void StackOverlay::BeforeLayerFrame(const Layer&)
{
    started_ = std::chrono::steady_clock::now();
}

void StackOverlay::AfterLayerFrame(const Layer& layer)
{
    milliseconds_[&layer] =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started_).count();
}
