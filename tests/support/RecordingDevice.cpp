// RecordingDevice: typed calls recorded on top of the null device; a back buffer for clears and surface copies.
#include "support/RecordingDevice.h"
#include <algorithm>
#include <array>
#include <cstring>
#include "engine/core/PixelFormats.h"

// ---- Companions -----------------------------------------------------------------------

RecordingTexture::RecordingTexture(RecordingDevice* device) : NullTexture(device), recorder_(device) {}

void RecordingTexture::CreateRenderTarget(int edge)
{
    recorder_->Record(Op::TextureCreateRenderTarget, edge, this);
    NullTexture::CreateRenderTarget(edge);
}

void* RecordingTexture::Lock(int& pitch)
{
    recorder_->Record(Op::TextureLock, {}, this);
    void* pixels = NullTexture::Lock(pitch);
    locked = pixels != nullptr;
    return pixels;
}

void RecordingTexture::Unlock()
{
    recorder_->Record(Op::TextureUnlock, {}, this);
    locked = false;
}

void RecordingTexture::Upload(const void* pixels, const uint32_t* alpha)
{
    UploadArgs record;
    // Without pixels the texture adopts what the cache holds under its key, when it holds it.
    record.adopted = !pixels && IsCached(GetKey());
    record.hadAlpha = pixels && alpha;
    NullTexture::Upload(pixels, alpha);
    record.width = width_;
    record.height = height_;
    if (GetResource())
        record.format = static_cast<const NullResource*>(GetResource())->format;
    uploads.push_back(record);
    recorder_->Record(Op::TextureUpload, record, this);
}

RecordingSurface::RecordingSurface(RecordingDevice* device) : NullSurface(device), recorder_(device) {}

bool RecordingSurface::Create(int width, int height, bool existing, bool videoMemory)
{
    recorder_->Record(Op::SurfaceCreate, SurfaceCreateArgs{width, height, existing, videoMemory}, this);
    return NullSurface::Create(width, height, existing, videoMemory);
}

void RecordingSurface::Draw(Surface* target, int x, int y, bool keyed)
{
    recorder_->Record(Op::SurfaceDraw, SurfaceDrawArgs{x, y, keyed}, this);
    if (target || recorder_->backBuffer.empty() || pixels_.empty())
        return;
    const int bytes = bitsPerPixel_ / 8;
    const int screenW = recorder_->GetWidth(), screenH = recorder_->GetHeight();
    for (int row = 0; row < height_; ++row) {
        const int sy = y + row;
        if (sy < 0 || sy >= screenH)
            continue;
        for (int col = 0; col < width_; ++col) {
            const int sx = x + col;
            if (sx < 0 || sx >= screenW)
                continue;
            const uint8_t* source = pixels_.data() + (static_cast<size_t>(row) * width_ + col) * bytes;
            uint32_t value = 0;
            std::memcpy(&value, source, bytes);
            if (keyed && value == 0)
                continue;
            std::memcpy(recorder_->backBuffer.data() + (static_cast<size_t>(sy) * screenW + sx) * bytes, source, bytes);
        }
    }
}

RecordingVertexBuffer::RecordingVertexBuffer(RecordingDevice* device) : NullVertexBuffer(device), recorder_(device) {}

bool RecordingVertexBuffer::Create(bool writeOnly, int vertexCount, int indexCount)
{
    NullVertexBuffer::Create(writeOnly, vertexCount, indexCount);
    recorder_->Record(Op::VertexBufferCreate, BufferCreateArgs{writeOnly, vertexCount, indexCount}, this);
    return true;
}

void RecordingVertexBuffer::Draw()
{
    DrawRecord draw;
    draw.vertexCount = vertexCount_;
    draw.indexCount = static_cast<int>(indices.size());
    draw.vertices = vertices_;
    draw.indices = indices;
    recorder_->Record(Op::VertexBufferDraw, std::move(draw), this);
}

// ---- Device ----------------------------------------------------------------------------

RecordingDevice::RecordingDevice(int width, int height) : NullDevice(width, height)
{
    GetDriver(0).description = "Display-less device for tests";
    backBuffer.assign(static_cast<size_t>(width_) * height_ * 4, 0);
}

const char* OpName(Op op)
{
    static constexpr std::array kNames = {
        "Init", "Clear", "SetClearColor", "BeginScene", "EndScene", "Present", "SetOrtho", "SetProjection",
        "SetView", "SetWorld", "CreateVertexBuffer", "DestroyVertexBuffer", "CreateTexture", "DestroyTexture",
        "CreateSurface", "DestroySurface", "SetTexture", "SetColorOp", "SetColorArg1", "SetColorArg2",
        "SetAlphaOp", "SetAlphaArg1", "SetAlphaArg2", "BeginStateBlock", "EndStateBlock", "ApplyStateBlock",
        "DeleteStateBlock", "SetSrcBlend", "SetDestBlend", "EnableAlphaBlend", "EnableDepth", "SetDepthFunc",
        "Draw", "DrawIndexed", "SetCullMode", "EnableLighting", "SetMaterial", "EnableFog", "SetFogColor",
        "SetFog", "IsPointVisible", "ArePointsVisible", "SetRenderTarget", "GetLight", "SetLight",
        "EnableLight", "SetAmbient", "DrawTestPattern", "Texture::CreateRenderTarget", "Texture::Lock",
        "Texture::Unlock", "Texture::Upload", "Surface::Create", "Surface::Draw", "VertexBuffer::Create",
        "VertexBuffer::Draw", "ReadBackBuffer",
    };
    static_assert(kNames.size() == static_cast<size_t>(Op::ReadBackBuffer) + 1, "one name per operation");
    const auto index = static_cast<size_t>(op);
    return index < kNames.size() ? kNames[index] : "?";
}

std::ostream& operator<<(std::ostream& out, Op op)
{
    return out << OpName(op);
}

RecordedCall& RecordingDevice::Record(Op op, CallArgs args, const void* object)
{
    calls.push_back(RecordedCall{op, object, std::move(args)});
    return calls.back();
}

int RecordingDevice::Count(Op op) const
{
    return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&](const RecordedCall& c) { return c.op == op; }));
}

const RecordedCall* RecordingDevice::Last(Op op) const
{
    for (auto it = calls.rbegin(); it != calls.rend(); ++it)
        if (it->op == op)
            return &*it;
    return nullptr;
}

std::vector<const RecordedCall*> RecordingDevice::All(Op op) const
{
    std::vector<const RecordedCall*> found;
    for (const RecordedCall& call : calls)
        if (call.op == op)
            found.push_back(&call);
    return found;
}

std::vector<Op> RecordingDevice::Ops(size_t from) const
{
    std::vector<Op> ops;
    for (size_t i = from; i < calls.size(); ++i)
        ops.push_back(calls[i].op);
    return ops;
}

size_t RecordingDevice::Find(Op op, size_t from) const
{
    for (size_t i = from; i < calls.size(); ++i)
        if (calls[i].op == op)
            return i;
    return calls.size();
}

uint32_t RecordingDevice::BackBufferPixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return 0;
    const int bytes = bitsPerPixel_ == 16 ? 2 : 4;
    const size_t offset = (static_cast<size_t>(y) * width_ + x) * bytes;
    if (offset + bytes > backBuffer.size())
        return 0;
    uint32_t value = 0;
    std::memcpy(&value, backBuffer.data() + offset, bytes);
    return value;
}

bool RecordingDevice::Init(void* window, bool fullScreen, int width, int height, int bits)
{
    Record(Op::Init, InitArgs{window, fullScreen, width, height, bits}, window);
    if (initialised_)
        return true;
    NullDevice::Init(window, fullScreen, width, height, bits);
    backBuffer.assign(static_cast<size_t>(std::max(width_, 0)) * std::max(height_, 0) * (bitsPerPixel_ == 16 ? 2 : 4),
                      0);
    return true;
}

bool RecordingDevice::Clear(int flags)
{
    const bool colour = clearColorEnabled_ && (flags & 1) == 0;
    Record(Op::Clear, ClearArgs{flags, colour});
    if (colour) {
        const int bytes = bitsPerPixel_ == 16 ? 2 : 4;
        // 32 bits keep 0xFFrrggbb; 16 bits take the image code's own conversion.
        uint32_t value = clearColor;
        if (bytes == 2) {
            std::vector<uint8_t> rgb = {static_cast<uint8_t>(clearColor >> 16), static_cast<uint8_t>(clearColor >> 8),
                                        static_cast<uint8_t>(clearColor)};
            ConvertRGB24To16(rgb, 1, redMask_);
            value = static_cast<uint32_t>(rgb[0]) | static_cast<uint32_t>(rgb[1]) << 8;
        }
        for (size_t i = 0; i + bytes <= backBuffer.size(); i += bytes)
            std::memcpy(backBuffer.data() + i, &value, bytes);
    }
    return true;
}

void RecordingDevice::SetClearColor(float r, float g, float b, float a)
{
    Record(Op::SetClearColor, ColorArgs{r, g, b, a});
    clearColor = PackColor(r, g, b);
}

void RecordingDevice::BeginScene()
{
    Record(Op::BeginScene);
    inScene = true;
}

void RecordingDevice::EndScene()
{
    Record(Op::EndScene);
    inScene = false;
}

bool RecordingDevice::Present(int unused)
{
    Record(Op::Present, unused);
    return true;
}

std::vector<uint8_t> RecordingDevice::ReadBackBuffer()
{
    Record(Op::ReadBackBuffer);
    std::vector<uint8_t> rgb;
    if (!initialised_)
        return rgb;
    rgb.reserve(static_cast<size_t>(width_) * height_ * 3);
    // Each channel's field of the pixel, widened to 8 bits by repeating its top bits.
    auto channel = [](uint32_t value, uint32_t mask) {
        if (mask == 0)
            return uint8_t{0};
        int shift = 0, bits = 0;
        while (((mask >> shift) & 1u) == 0) ++shift;
        while (((mask >> (shift + bits)) & 1u) != 0) ++bits;
        uint32_t v = (value & mask) >> shift;
        uint32_t wide = 0;
        for (int filled = 0; filled < 8; filled += bits)
            wide = (wide << bits) | v;
        return static_cast<uint8_t>(wide >> (((8 + bits - 1) / bits) * bits - 8));
    };
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) {
            const uint32_t pixel = BackBufferPixel(x, y);
            rgb.push_back(channel(pixel, redMask_));
            rgb.push_back(channel(pixel, greenMask_));
            rgb.push_back(channel(pixel, blueMask_));
        }
    return rgb;
}

void RecordingDevice::SetOrtho(float width, float height, float nearPlane, float farPlane)
{
    Record(Op::SetOrtho, OrthoArgs{width, height, nearPlane, farPlane});
    NullDevice::SetOrtho(width, height, nearPlane, farPlane);
}

VertexBuffer* RecordingDevice::CreateVertexBuffer()
{
    auto* buffer = new RecordingVertexBuffer(this);
    Record(Op::CreateVertexBuffer, {}, buffer);
    ++liveVertexBuffers;
    return buffer;
}

void RecordingDevice::DestroyVertexBuffer(VertexBuffer* buffer)
{
    Record(Op::DestroyVertexBuffer, {}, buffer);
    if (buffer)
        --liveVertexBuffers;
    NullDevice::DestroyVertexBuffer(buffer);
}

Texture* RecordingDevice::CreateTexture()
{
    auto* texture = new RecordingTexture(this);
    Record(Op::CreateTexture, {}, texture);
    ++liveTextures;
    return texture;
}

void RecordingDevice::DestroyTexture(Texture* texture)
{
    Record(Op::DestroyTexture, {}, texture);
    if (texture)
        --liveTextures;
    NullDevice::DestroyTexture(texture);
}

Surface* RecordingDevice::CreateSurface()
{
    auto* surface = new RecordingSurface(this);
    Record(Op::CreateSurface, {}, surface);
    ++liveSurfaces;
    return surface;
}

void RecordingDevice::DestroySurface(Surface* surface)
{
    Record(Op::DestroySurface, {}, surface);
    if (surface)
        --liveSurfaces;
    NullDevice::DestroySurface(surface);
}

void RecordingDevice::BeginStateBlock()
{
    Record(Op::BeginStateBlock);
    RenderDevice::BeginStateBlock();
}

void RecordingDevice::EndStateBlock(uint32_t* handle)
{
    RenderDevice::EndStateBlock(handle);
    Record(Op::EndStateBlock, StateBlockArgs{handle ? *handle : 0u});
}

void RecordingDevice::ApplyStateBlock(uint32_t handle)
{
    Record(Op::ApplyStateBlock, StateBlockArgs{handle});
    RenderDevice::ApplyStateBlock(handle);
}

void RecordingDevice::DeleteStateBlock(uint32_t handle)
{
    Record(Op::DeleteStateBlock, StateBlockArgs{handle});
    RenderDevice::DeleteStateBlock(handle);
}

void RecordingDevice::DrawIndexed(PrimitiveType type, const Vertex* vertices, int vertexCount,
                                  const uint16_t* indices, int indexCount)
{
    DrawRecord draw{type, vertexCount, indexCount, {}, {}};
    if (vertices && vertexCount > 0)
        draw.vertices.assign(vertices, vertices + vertexCount);
    if (indices && indexCount > 0)
        draw.indices.assign(indices, indices + indexCount);
    Record(Op::DrawIndexed, std::move(draw));
}

void RecordingDevice::Draw(PrimitiveType type, const Vertex* vertices, int vertexCount)
{
    DrawRecord draw{type, vertexCount, 0, {}, {}};
    if (vertices && vertexCount > 0)
        draw.vertices.assign(vertices, vertices + vertexCount);
    Record(Op::Draw, std::move(draw));
}

bool RecordingDevice::IsPointVisible(float x, float y, float z)
{
    TransformedVertex projected;
    const bool visible = ProjectPoint(x, y, z, width_, height_, projected) && pointsVisible_;
    Record(Op::IsPointVisible, PointArgs{x, y, z, visible});
    return NullDevice::IsPointVisible(x, y, z);
}

void RecordingDevice::ArePointsVisible(TransformedVertex* points, uint32_t* results, int count)
{
    Record(Op::ArePointsVisible, count);
    NullDevice::ArePointsVisible(points, results, count);
}

void RecordingDevice::SetRenderTarget(Texture* texture)
{
    Record(Op::SetRenderTarget, {}, texture);
    renderTarget = texture;
}

void RecordingDevice::GetLight(int index, LightRecord& light)
{
    Record(Op::GetLight, LightArgs{index, {}});
    RenderDevice::GetLight(index, light);
}

bool RecordingDevice::IsLightOn(int index) const
{
    auto found = drawState_.lights.find(index);
    return found != drawState_.lights.end() && found->second.enabled;
}

void RecordingDevice::StateApplied(const StateCall& call)
{
    using K = StateCall::Kind;
    StageArgs stage;
    stage.stage = call.index;
    switch (call.kind) {
    case K::SetTexture:
        stage.texture = call.texture;
        Record(Op::SetTexture, stage, call.texture);
        return;
    case K::SetColorOp: stage.colorOp = static_cast<ColorOp>(call.value); Record(Op::SetColorOp, stage); return;
    case K::SetColorArg1: stage.colorArg = static_cast<ColorArg>(call.value); Record(Op::SetColorArg1, stage); return;
    case K::SetColorArg2: stage.colorArg = static_cast<ColorArg>(call.value); Record(Op::SetColorArg2, stage); return;
    case K::SetAlphaOp: stage.alphaOp = static_cast<AlphaOp>(call.value); Record(Op::SetAlphaOp, stage); return;
    case K::SetAlphaArg1: stage.alphaArg = static_cast<AlphaArg>(call.value); Record(Op::SetAlphaArg1, stage); return;
    case K::SetAlphaArg2: stage.alphaArg = static_cast<AlphaArg>(call.value); Record(Op::SetAlphaArg2, stage); return;
    case K::SetSrcBlend: Record(Op::SetSrcBlend, static_cast<BlendFactor>(call.value)); return;
    case K::SetDestBlend: Record(Op::SetDestBlend, static_cast<BlendFactor>(call.value)); return;
    case K::EnableAlphaBlend: Record(Op::EnableAlphaBlend, call.value != 0); return;
    case K::EnableDepth: Record(Op::EnableDepth, call.value != 0); return;
    case K::SetDepthFunc: Record(Op::SetDepthFunc, static_cast<CompareFunc>(call.value)); return;
    case K::SetCullMode: Record(Op::SetCullMode, static_cast<CullMode>(call.value)); return;
    case K::EnableLighting: Record(Op::EnableLighting, call.value != 0); return;
    case K::SetMaterial: Record(Op::SetMaterial, call.material); return;
    case K::EnableFog: Record(Op::EnableFog, call.value != 0); return;
    case K::SetFogColor: Record(Op::SetFogColor, ColorArgs{call.f[0], call.f[1], call.f[2]}); return;
    case K::SetFog:
        Record(Op::SetFog, FogArgs{static_cast<FogMode>(call.value), call.f[0], call.f[1], call.f[2]});
        return;
    case K::SetAmbient: Record(Op::SetAmbient, ColorArgs{call.f[0], call.f[1], call.f[2]}); return;
    case K::SetProjection: Record(Op::SetProjection, call.matrix); return;
    case K::SetView: Record(Op::SetView, call.matrix); return;
    case K::SetWorld: Record(Op::SetWorld, call.matrix); return;
    case K::SetLight: Record(Op::SetLight, LightArgs{call.index, call.light}); return;
    case K::EnableLight: Record(Op::EnableLight, LightSwitchArgs{call.index, call.value != 0}); return;
    }
}

bool RecordingDevice::DrawTestPattern()
{
    Record(Op::DrawTestPattern);
    return true;
}
