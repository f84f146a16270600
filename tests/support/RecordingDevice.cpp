// RecordingDevice: records typed calls, keeps the state they set and CPU pixels for textures, surfaces and a back buffer.
#include "support/RecordingDevice.h"
#include <algorithm>
#include <array>
#include <cstring>
#include "engine/core/Fatal.h"
#include "engine/core/PixelFormats.h"
#include "engine/core/Log.h"

// ---- Texture ---------------------------------------------------------------------------

RecordingTexture::RecordingTexture(RecordingDevice* device) : Texture(device), recorder_(device) {}

RecordingTexture::~RecordingTexture() = default;

RecordingResource* RecordingTexture::GetPixels() const
{
    if (isRenderTarget)
        return const_cast<RecordingResource*>(&renderTarget_);
    return static_cast<RecordingResource*>(GetResource());
}

void RecordingTexture::CreateRenderTarget(int edge)
{
    recorder_->Record(Op::TextureCreateRenderTarget, edge, this);
    isRenderTarget = true;
    width_ = height_ = static_cast<uint32_t>(std::max(edge, 0));
    renderTarget_.width = width_;
    renderTarget_.height = height_;
    renderTarget_.format = TextureFormat::XRGB32;
    renderTarget_.bytesPerPixel = 4;
    renderTarget_.pixels.assign(static_cast<size_t>(width_) * height_ * 4, 0);
}

void* RecordingTexture::Lock(int& pitch)
{
    recorder_->Record(Op::TextureLock, {}, this);
    RecordingResource* resource = GetPixels();
    if (!resource || resource->pixels.empty())
        return nullptr;
    locked = true;
    pitch = static_cast<int>(resource->width) * resource->bytesPerPixel;
    return resource->pixels.data();
}

void RecordingTexture::Unlock()
{
    recorder_->Record(Op::TextureUnlock, {}, this);
    locked = false;
}

void RecordingTexture::Upload(const void* pixels, const uint32_t* alpha)
{
    UploadArgs record;
    if (!pixels) {
        record.adopted = AdoptCached() != nullptr;
        record.width = width_;
        record.height = height_;
        if (GetResource())
            record.format = static_cast<RecordingResource*>(GetResource())->format;
        uploads.push_back(record);
        recorder_->Record(Op::TextureUpload, record, this);
        return;
    }

    const DisplayFormat display = recorder_->GetDisplayFormat();
    auto resource = std::make_unique<RecordingResource>();
    resource->width = width_;
    resource->height = height_;
    if (!ConvertForUpload(pixels, alpha, width_ * height_, display, alphaMode_, resource->format, resource->pixels))
        ReportFatal("Could not find any matching texture format.");
    resource->bytesPerPixel = BytesPerPixel(resource->format);
    record.width = width_;
    record.height = height_;
    record.hadAlpha = alpha != nullptr;
    record.format = resource->format;
    uploads.push_back(record);
    RegisterResource(std::move(resource));
    recorder_->Record(Op::TextureUpload, record, this);
}

// ---- Surface ---------------------------------------------------------------------------

RecordingSurface::RecordingSurface(RecordingDevice* device) : Surface(device), recorder_(device) {}

RecordingSurface::~RecordingSurface() = default;

bool RecordingSurface::Create(int width, int height, bool existing, bool videoMemory)
{
    Surface::Create(width, height, existing, videoMemory);
    recorder_->Record(Op::SurfaceCreate, SurfaceCreateArgs{width, height, existing, videoMemory}, this);
    if (!existing)
        pixels.assign(static_cast<size_t>(std::max(width, 0)) * std::max(height, 0) * (bitsPerPixel_ / 8), 0);
    return true;
}

void RecordingSurface::Draw(Surface* target, int x, int y, bool keyed)
{
    recorder_->Record(Op::SurfaceDraw, SurfaceDrawArgs{x, y, keyed}, this);
    if (target || recorder_->backBuffer.empty())
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
            const uint8_t* source = pixels.data() + (static_cast<size_t>(row) * width_ + col) * bytes;
            uint32_t value = 0;
            std::memcpy(&value, source, bytes);
            if (keyed && value == 0)
                continue;
            std::memcpy(recorder_->backBuffer.data() + (static_cast<size_t>(sy) * screenW + sx) * bytes, source, bytes);
        }
    }
}

void* RecordingSurface::Lock(int& pitch)
{
    pitch = width_ * (bitsPerPixel_ / 8);
    return pixels.empty() ? nullptr : pixels.data();
}

void RecordingSurface::Unlock() {}

// ---- Vertex buffer ---------------------------------------------------------------------

RecordingVertexBuffer::RecordingVertexBuffer(RecordingDevice* device) : VertexBuffer(device), recorder_(device) {}

RecordingVertexBuffer::~RecordingVertexBuffer() = default;

bool RecordingVertexBuffer::Create(bool writeOnly, int vertexCount, int indexCount)
{
    VertexBuffer::Create(writeOnly, vertexCount, indexCount);
    vertices.assign(static_cast<size_t>(vertexCount_), Vertex{});
    recorder_->Record(Op::VertexBufferCreate, BufferCreateArgs{writeOnly, vertexCount, indexCount}, this);
    return true;
}

Vertex* RecordingVertexBuffer::Lock()
{
    return vertices.empty() ? nullptr : vertices.data();
}

void RecordingVertexBuffer::Unlock() {}

void RecordingVertexBuffer::Draw()
{
    DrawRecord draw;
    draw.vertexCount = vertexCount_;
    draw.indexCount = static_cast<int>(indices.size());
    draw.vertices = vertices;
    draw.indices = indices;
    recorder_->Record(Op::VertexBufferDraw, std::move(draw), this);
}

// ---- Device ----------------------------------------------------------------------------

RecordingDevice::RecordingDevice(int width, int height)
{
    DriverInfo driver;
    driver.name = "Recording Driver";
    driver.description = "Display-less device for tests";
    DeviceInfo device;
    device.name = "Recording Device";
    device.description = "Records calls";
    for (int width : {640, 800, 1024})
        for (int bits : {16, 32})
            device.AddMode({width, width * 3 / 4, bits, nullptr});
    driver.AddDevice(device);
    AddDriver(driver);

    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    bitsPerPixel_ = bitsPerPixelCopy_ = 32;
    redMask_ = 0x00FF0000;
    greenMask_ = 0x0000FF00;
    blueMask_ = 0x000000FF;
    aspect_ = width_ > 0 ? static_cast<float>(height_) / static_cast<float>(width_) : 0.75f;
    backBuffer.assign(static_cast<size_t>(width_) * height_ * 4, 0);
}

RecordingDevice::~RecordingDevice()
{
    DestroyFonts();
    mapCache_.Clear();
}

void RecordingDevice::Open(int width, int height, int bits)
{
    SelectDriver(GetDriver(0));
    SelectDevice(GetDriver(0).GetDevice(0));
    Init(nullptr, false, width, height, bits);
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
    if (!GetSelectedDriver())
        ReportFatal("No driver selected.");
    if (!GetSelectedDevice())
        ReportFatal("No device selected.");
    if (width == 0) {
        if (!GetSelectedMode())
            ReportFatal("No video mode selected.");
        width = GetSelectedMode()->width;
        height = GetSelectedMode()->height;
        bits = GetSelectedMode()->bitsPerPixel;
    }
    width_ = width;
    height_ = height;
    bitsPerPixel_ = bitsPerPixelCopy_ = bits;
    fullScreen_ = fullScreen;
    aspect_ = width > 0 ? static_cast<float>(height) / static_cast<float>(width) : 0.0f;
    sourceRect_ = {0, 0, width, height};
    if (bits == 16) {
        redMask_ = forcedRedMask_ ? forcedRedMask_ : 0xF800;
        greenMask_ = redMask_ == 0x7C00 ? 0x03E0 : 0x07E0;
        blueMask_ = 0x001F;
    } else {
        redMask_ = 0x00FF0000;
        greenMask_ = 0x0000FF00;
        blueMask_ = 0x000000FF;
    }
    backBuffer.assign(static_cast<size_t>(std::max(width, 0)) * std::max(height, 0) * (bits == 16 ? 2 : 4), 0);
    LogLine("Using %dx%dx%d video mode.", width, height, bits);
    initialised_ = true;
    return true;
}

const char* RecordingDevice::GetDescription()
{
    return "Recording Module for Vireo! Library";
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
    ApplyOrtho(width, height, nearPlane, farPlane);
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
    if (!buffer)
        return;
    --liveVertexBuffers;
    delete buffer;
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
    if (!texture)
        return;
    --liveTextures;
    delete texture;
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
    if (!surface)
        return;
    --liveSurfaces;
    delete surface;
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

uint32_t RecordingDevice::ConvertColor(uint32_t argb)
{
    return argb;
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

// The state a visibility test draws its points with; callers see it afterwards.
static void SetPointTestState(RenderDevice& device)
{
    device.SetColorOp(0, ColorOp::SelectArg1);
    device.SetColorArg1(0, ColorArg::Diffuse);
    device.SetAlphaOp(0, AlphaOp::Disable);
    device.EnableDepth(true);
}

bool RecordingDevice::IsPointVisible(float x, float y, float z)
{
    TransformedVertex projected;
    const bool onScreen = ProjectPoint(x, y, z, width_, height_, projected);
    const bool visible = onScreen && pointsVisible_;
    Record(Op::IsPointVisible, PointArgs{x, y, z, visible});
    if (!onScreen)
        return false;
    SetPointTestState(*this);
    if (!visible)
        SetColorArg1(0, ColorArg::Texture);
    return visible;
}

void RecordingDevice::ArePointsVisible(TransformedVertex* points, uint32_t* results, int count)
{
    Record(Op::ArePointsVisible, count);
    SetPointTestState(*this);
    for (int i = 0; i < count; ++i) {
        TransformedVertex projected;
        const bool onScreen = ProjectPoint(points[i].x, points[i].y, points[i].z, width_, height_, projected);
        points[i] = projected;
        if (!onScreen) {
            points[i].x = -1.0f;
            results[i] = kPointHidden;
        } else {
            results[i] = pointsVisible_ ? kPointVisible : kPointHidden;
        }
    }
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
