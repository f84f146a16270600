// NullDevice: companions that keep their data in memory, a device that accepts every call and draws nothing.
#include "engine/device/NullDevice.h"
#include <algorithm>
#include <memory>
#include "engine/core/Fatal.h"
#include "engine/core/Log.h"

// ---- Texture ---------------------------------------------------------------------------

NullTexture::NullTexture(RenderDevice* device) : Texture(device) {}

NullResource* NullTexture::GetPixels() const
{
    if (isRenderTarget_)
        return const_cast<NullResource*>(&renderTarget_);
    return static_cast<NullResource*>(GetResource());
}

void NullTexture::CreateRenderTarget(int edge)
{
    isRenderTarget_ = true;
    width_ = height_ = static_cast<uint32_t>(std::max(edge, 0));
    renderTarget_.width = width_;
    renderTarget_.height = height_;
    renderTarget_.format = TextureFormat::XRGB32;
    renderTarget_.bytesPerPixel = 4;
    renderTarget_.pixels.assign(static_cast<size_t>(width_) * height_ * 4, 0);
}

void* NullTexture::Lock(int& pitch)
{
    NullResource* resource = GetPixels();
    if (!resource || resource->pixels.empty())
        return nullptr;
    pitch = static_cast<int>(resource->width) * resource->bytesPerPixel;
    return resource->pixels.data();
}

void NullTexture::Unlock() {}

void NullTexture::Upload(const void* pixels, const uint32_t* alpha)
{
    if (!pixels) {
        AdoptCached();
        return;
    }
    auto resource = std::make_unique<NullResource>();
    resource->width = width_;
    resource->height = height_;
    if (!ConvertForUpload(pixels, alpha, width_ * height_, device_->GetDisplayFormat(), alphaMode_, resource->format,
                          resource->pixels))
        ReportFatal("Could not find any matching texture format.");
    resource->bytesPerPixel = BytesPerPixel(resource->format);
    RegisterResource(std::move(resource));
}

// ---- Surface ---------------------------------------------------------------------------

NullSurface::NullSurface(RenderDevice* device) : Surface(device) {}

bool NullSurface::Create(int width, int height, bool existing, bool videoMemory)
{
    if (width < 0 || height < 0)
        return false;
    Surface::Create(width, height, existing, videoMemory);
    pixels_.assign(static_cast<size_t>(width) * height * (bitsPerPixel_ / 8), 0);
    return true;
}

void NullSurface::Draw(Surface*, int, int, bool) {}

void* NullSurface::Lock(int& pitch)
{
    pitch = width_ * (bitsPerPixel_ / 8);
    return pixels_.empty() ? nullptr : pixels_.data();
}

void NullSurface::Unlock() {}

// ---- Vertex buffer ---------------------------------------------------------------------

NullVertexBuffer::NullVertexBuffer(RenderDevice* device) : VertexBuffer(device) {}

bool NullVertexBuffer::Create(bool writeOnly, int vertexCount, int indexCount)
{
    VertexBuffer::Create(writeOnly, vertexCount, indexCount);
    vertices_.assign(static_cast<size_t>(vertexCount_), Vertex{});
    return true;
}

Vertex* NullVertexBuffer::Lock()
{
    return vertices_.empty() ? nullptr : vertices_.data();
}

void NullVertexBuffer::Unlock() {}

void NullVertexBuffer::Draw() {}

// ---- Device ----------------------------------------------------------------------------

NullDevice::NullDevice(int width, int height)
{
    DriverInfo driver;
    driver.name = "Null Driver";
    driver.description = "Draws nothing";
    DeviceInfo device;
    device.name = "Null Device";
    device.description = "No display";
    for (int modeWidth : {640, 800, 1024})
        for (int bits : {16, 32})
            device.AddMode({modeWidth, modeWidth * 3 / 4, bits, nullptr});
    driver.AddDevice(device);
    AddDriver(driver);

    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    bitsPerPixel_ = bitsPerPixelCopy_ = 32;
    redMask_ = 0x00FF0000;
    greenMask_ = 0x0000FF00;
    blueMask_ = 0x000000FF;
    aspect_ = width_ > 0 ? static_cast<float>(height_) / static_cast<float>(width_) : 0.75f;
}

NullDevice::~NullDevice()
{
    // Fonts and cached textures give their resources back while this device still exists.
    DestroyFonts();
    mapCache_.Clear();
}

void NullDevice::Open(int width, int height, int bits)
{
    SelectDriver(GetDriver(0));
    SelectDevice(GetDriver(0).GetDevice(0));
    Init(nullptr, false, width, height, bits);
}

bool NullDevice::Init(void*, bool fullScreen, int width, int height, int bits)
{
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
        redMask_ = redMask16_;
        greenMask_ = redMask_ == 0x7C00 ? 0x03E0 : 0x07E0;
        blueMask_ = 0x001F;
    } else {
        redMask_ = 0x00FF0000;
        greenMask_ = 0x0000FF00;
        blueMask_ = 0x000000FF;
    }
    LogLine("Using %dx%dx%d video mode.", width, height, bits);
    initialised_ = true;
    return true;
}

const char* NullDevice::GetDescription()
{
    return "Null Module for Vireo! Library";
}

bool NullDevice::Clear(int)
{
    return true;
}

void NullDevice::SetClearColor(float, float, float, float) {}

void NullDevice::BeginScene() {}

void NullDevice::EndScene() {}

bool NullDevice::Present(int)
{
    return true;
}

void NullDevice::SetOrtho(float width, float height, float nearPlane, float farPlane)
{
    ApplyOrtho(width, height, nearPlane, farPlane);
}

VertexBuffer* NullDevice::CreateVertexBuffer()
{
    return new NullVertexBuffer(this);
}

void NullDevice::DestroyVertexBuffer(VertexBuffer* buffer)
{
    delete buffer;
}

Texture* NullDevice::CreateTexture()
{
    return new NullTexture(this);
}

void NullDevice::DestroyTexture(Texture* texture)
{
    if (!texture)
        return;
    ForgetStageTexture(texture);
    delete texture;
}

Surface* NullDevice::CreateSurface()
{
    return new NullSurface(this);
}

void NullDevice::DestroySurface(Surface* surface)
{
    delete surface;
}

uint32_t NullDevice::ConvertColor(uint32_t argb)
{
    return argb;
}

void NullDevice::DrawIndexed(PrimitiveType, const Vertex*, int, const uint16_t*, int) {}

void NullDevice::Draw(PrimitiveType, const Vertex*, int) {}

// The state a visibility test draws its points with; callers see it afterwards.
static void SetPointTestState(RenderDevice& device)
{
    device.SetColorOp(0, ColorOp::SelectArg1);
    device.SetColorArg1(0, ColorArg::Diffuse);
    device.SetAlphaOp(0, AlphaOp::Disable);
    device.EnableDepth(true);
}

bool NullDevice::IsPointVisible(float x, float y, float z)
{
    TransformedVertex projected;
    if (!ProjectPoint(x, y, z, width_, height_, projected))
        return false;
    SetPointTestState(*this);
    if (!pointsVisible_)
        SetColorArg1(0, ColorArg::Texture);
    return pointsVisible_;
}

void NullDevice::ArePointsVisible(TransformedVertex* points, uint32_t* results, int count)
{
    SetPointTestState(*this);
    if (!points || !results)
        return;
    for (int i = 0; i < count; ++i) {
        TransformedVertex projected;
        const bool onScreen = ProjectPoint(points[i].x, points[i].y, points[i].z, width_, height_, projected);
        points[i] = projected;
        if (!onScreen)
            points[i].x = -1.0f;
        results[i] = onScreen && pointsVisible_ ? kPointVisible : kPointHidden;
    }
}

void NullDevice::SetRenderTarget(Texture*) {}

bool NullDevice::DrawTestPattern()
{
    return true;
}
