// Timeline runtime: start-up with preload and music, per-frame firing of blocks, descriptions.
#include "script/Timeline.h"

#include <algorithm>
#include <memory>
#include <thread>
#include "engine/core/Clock.h"
#include "engine/core/Fatal.h"
#include "engine/core/FilePath.h"
#include "engine/core/ImagePrefetch.h"
#include "engine/device/Font.h"
#include "engine/device/RenderDevice.h"
#include "engine/device/Texture.h"
#include "engine/layers/LayerRegistry.h"
#include "script/ScriptParser.h"
#include "sound/SoundSystem.h"

namespace {

// Every parameter value of the operations (nested ones too) that names an image file.
void CollectImageNames(const std::vector<LayerOperation>& operations, std::vector<std::string>& names)
{
    for (const LayerOperation& operation : operations) {
        if (operation.kind != OperationKind::Create)
            continue;
        for (const ParameterAssignment& assignment : operation.assignments) {
            const std::string ext = UpperExtension(assignment.value.c_str());
            if (ext == "JPG" || ext == "PNG")
                names.push_back(assignment.value);
        }
        CollectImageNames(operation.children, names);
    }
}

}  // namespace

Timeline::Timeline(RenderDevice& device) : device_(device) {
    font_ = device_.GetFont("font1.png");
}

Timeline::~Timeline() {
    // The sound stops before anything else goes, and its data outlives the stream. A
    // timeline that was only started at a time (StartAt, never StartMusic) leaves the
    // output alone: while a seek builds it, the timeline still playing owns the output.
    if (ownsOutput_) SoundSystem::Stop();
    layers_.Clear();
    SoundSystem::StreamFree(musicStream_);
    musicStream_ = 0;
    if (loadingTexture_ != nullptr) device_.DestroyTexture(loadingTexture_);
}

void Timeline::Parse(const std::string& fileName) {
    ParseScriptFile(fileName, script_);
}

std::string Timeline::Where(int line) const {
    if (line <= 0) return {};
    return ", " + (script_.fileName.empty() ? std::string("script") : script_.fileName) + " line " + std::to_string(line);
}

Layer* Timeline::ApplyCreate(const LayerOperation& operation) {
    // Errors keep their text and gain the place: the layer and the script line.
    std::unique_ptr<Layer> created;
    try {
        created = CreateLayer(device_, operation.children, operation.target);
    } catch (const CUserException& error) {
        ReraiseWithPlace(error, "(CREATE " + operation.target + Where(operation.line) + ")");
    }
    Layer* layer = operation.insertAtBottom ? layers_.AddBottom(std::move(created)) : layers_.AddTop(std::move(created));
    layer->SetScriptLine(operation.line);
    if (!operation.newName.empty()) layer->SetName(operation.newName);
    SetParameters(*layer, operation);
    // Already on the stack: a failing Init ends the run with the layer in place.
    try {
        layer->Init();
    } catch (const CUserException& error) {
        ReraiseWithPlace(error, "(" + DescribeLayer(*layer) + ")");
    }
    return layer;
}

void Timeline::SetParameters(Layer& layer, const LayerOperation& operation) {
    for (const ParameterAssignment& assignment : operation.assignments) {
        try {
            layer.SetParameter(assignment.name, assignment.value);
        } catch (const CUserException& error) {
            ReraiseWithPlace(error, "(layer " + layer.GetTypeName() + " [" + layer.GetName() + "]" +
                                        Where(assignment.line) + ")");
        }
    }
}

void Timeline::DrawLoadingImage() {
    loadingTexture_ = device_.CreateTexture();
    loadingTexture_->Load(script_.loadingImage.c_str(), false);
    device_.SetOrtho(1.0f, 1.0f, 1.0f, -1.0f);
    device_.EnableLighting(false);
    device_.EnableAlphaBlend(false);
    device_.EnableDepth(false);
    device_.SetTexture(0, loadingTexture_);
    const Vertex quad[4] = {
        {0.5f, -0.5f, 0.0f, 0.0f, 0.0f, 0.0f, 0xFFFFFFFFu, 0.998f, 0.998f, 0.0f, 0.0f},
        {0.5f, 0.5f, 0.0f, 0.0f, 0.0f, 0.0f, 0xFFFFFFFFu, 0.998f, 0.002f, 0.0f, 0.0f},
        {-0.5f, -0.5f, 0.0f, 0.0f, 0.0f, 0.0f, 0xFFFFFFFFu, 0.002f, 0.998f, 0.0f, 0.0f},
        {-0.5f, 0.5f, 0.0f, 0.0f, 0.0f, 0.0f, 0xFFFFFFFFu, 0.002f, 0.002f, 0.0f, 0.0f},
    };
    device_.Draw(PrimitiveType::TriangleStrip, quad, 4);
    device_.Present(0);
    device_.Clear(0);
}

void Timeline::Start() {
    Begin(true);
    // The loading image stays up until the music has been read and started.
    StartMusic(0.0f);
    DestroyLoadingTexture();
}

bool Timeline::StartAt(long frames, const std::function<void()>& advanceFrame, bool loadingImage) {
    Begin(loadingImage);
    DestroyLoadingTexture();
    for (long frame = 0; frame < frames; ++frame) {
        if (!RunFrame(false)) return false;
        advanceFrame();
    }
    return true;
}

void Timeline::StartMusic(float position) {
    ownsOutput_ = true;
    if (script_.musicFile.empty() || musicStream_ != 0) return;
    musicStream_ = SoundSystem::PlayMusicFile(script_.musicFile, musicData_, position);
}

void Timeline::Begin(bool loadingImage) {
    // Only the first negative block is preloaded, and of it only its CREATE operations.
    auto preload = std::find_if(script_.blocks.begin(), script_.blocks.end(),
                                [](const TimeBlock& block) { return block.time < 0.0f; });
#ifndef STARFALL_WEB
    // The preload's images are decoded on other cores while this thread shows the loading
    // image, uploads the images already decoded and sets the layers up.
    std::unique_ptr<ImagePrefetch> prefetch;
    if (preload != script_.blocks.end()) {
        std::vector<std::string> names;
        CollectImageNames(preload->operations, names);
        const unsigned cores = std::max(2u, std::thread::hardware_concurrency());
        prefetch = std::make_unique<ImagePrefetch>(std::move(names), device_.GetDisplayFormat(), std::min(cores - 1, 4u));
        SetImagePrefetch(prefetch.get());
    }
#endif

    if (loadingImage && !script_.loadingImage.empty()) DrawLoadingImage();

    for (TimeBlock& block : script_.blocks) block.fired = false;

    if (preload != script_.blocks.end()) {
        preload->fired = true;
        for (const LayerOperation& operation : preload->operations)
            if (operation.kind == OperationKind::Create) ApplyCreate(operation);
        if (!preload->description.empty()) descriptions_.emplace_back(preload->description, 5.0f);
        script_.blocks.erase(preload);
    }

    for (size_t i = 0; i < layers_.Size(); ++i) layers_.At(i)->Restart(-1.0f);
    startTime_ = ClockNow();
}

void Timeline::DestroyLoadingTexture() {
    if (loadingTexture_ != nullptr) {
        device_.DestroyTexture(loadingTexture_);
        loadingTexture_ = nullptr;
    }
}

bool Timeline::Step() {
    return RunFrame(true);
}

bool Timeline::RunFrame(bool draw) {
    const float t = ClockNow() - startTime_;
    std::vector<Layer*> created;
    for (TimeBlock& block : script_.blocks) {
        if (!(block.time < t) || block.fired) continue;
        if (!block.description.empty()) descriptions_.emplace_back(block.description, ClockNow() - startTime_ + 5.0f);
        block.fired = true;
        for (const LayerOperation& operation : block.operations) {
            switch (operation.kind) {
            case OperationKind::Create:
                created.push_back(ApplyCreate(operation));
                break;
            case OperationKind::Update: {
                Layer* layer = layers_.Find(operation.target);
                if (layer == nullptr)
                    ReportFatal("Could not find any layer named [%s].%s", operation.target.c_str(),
                                operation.line > 0 ? ("\r\n(UPDATE" + Where(operation.line) + ")").c_str() : "");
                SetParameters(*layer, operation);
                if (operation.restart) layer->Restart(-1.0f);
                if (operation.move == MoveKind::Top)
                    layers_.MoveTop(layer);
                else if (operation.move == MoveKind::Bottom)
                    layers_.MoveBottom(layer);
                break;
            }
            case OperationKind::Delete: {
                Layer* layer = layers_.Find(operation.target);
                if (layer == nullptr) break;
                // A layer created earlier in this frame must not be restarted after it is gone.
                created.erase(std::remove(created.begin(), created.end(), layer), created.end());
                layers_.Remove(layer);
                break;
            }
            case OperationKind::End:
                return false;
            case OperationKind::Other:
                break;
            }
        }
    }
    for (Layer* layer : created) layer->Restart(startTime_ + t);

    if (draw)
        layers_.RunFrame();
    else
        layers_.RemoveOneExpired();

    if (script_.showDescriptions) {
        if (draw) DrawDescriptions();
        if (!descriptions_.empty() && ClockNow() - startTime_ > descriptions_.back().second) descriptions_.pop_back();
    }
    return true;
}

void Timeline::DrawDescriptions() {
    if (font_ == nullptr) return;
    const ModeInfo* mode = device_.GetSelectedMode();
    const int screenHeight = mode != nullptr ? mode->height : device_.GetHeight();
    const int lineHeight = font_->GetHeight() + 4;
    for (size_t k = 1; k <= descriptions_.size(); ++k) {
        // Printed as text: a "%" in a description is shown, never expanded.
        font_->PrintText(nullptr, 10, screenHeight - static_cast<int>(k) * lineHeight, descriptions_[k - 1].first.c_str());
    }
}

float Timeline::GetElapsed() const {
    return ClockNow() - startTime_;
}
