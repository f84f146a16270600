// Water grid: rest mesh, filter step, blended heights with smoothed normals, map presses.
#include "engine/effects/WaterSurface.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include "engine/device/RenderDevice.h"
#include "engine/device/VertexBuffer.h"
#include "engine/core/Image.h"
#include "engine/effects/GridMesh.h"

WaterSurface::WaterSurface()
    : base_(kVertexCount), work_(kVertexCount), indices_(BuildGridIndices(kCells))
{
    for (int k = 0; k <= kCells; ++k) {
        for (int i = 0; i <= kCells; ++i) {
            Vertex& v = base_[i + k * kSide];
            const float fi = static_cast<float>(i) / kCells;
            const float fk = static_cast<float>(k) / kCells;
            v.x = (fi - 0.5f) * kWidth;
            v.y = (fk - 0.5f) * kHeight;
            v.z = 0.0f;
            v.nx = 0.0f;
            v.ny = 0.0f;
            v.nz = 1.0f;
            v.color = 0x00FFFFFFu;
            v.u0 = 1.0f - fi;
            v.v0 = 1.0f - fk;
            v.u1 = 0.0f;
            v.v1 = 0.0f;
        }
    }
    work_ = base_;
    heights_[0].assign(kVertexCount, 0.0f);
    heights_[1].assign(kVertexCount, 0.0f);
}

WaterSurface::~WaterSurface() { Release(); }

void WaterSurface::Create(RenderDevice& device)
{
    Release();
    device_ = &device;
    buffer_ = device.CreateVertexBuffer();
    buffer_->Create(false, kVertexCount, kIndexCount);
    buffer_->indices = indices_;
    Vertex* out = buffer_->Lock();
    std::memcpy(out, base_.data(), sizeof(Vertex) * base_.size());
    buffer_->Unlock();
}

void WaterSurface::Release()
{
    if (buffer_ && device_) device_->DestroyVertexBuffer(buffer_);
    buffer_ = nullptr;
    device_ = nullptr;
}

void WaterSurface::Step()
{
    std::vector<float>& older = heights_[1 - newest_];
    const std::vector<float>& now = heights_[newest_];
    for (int k = 1; k < kCells; ++k) {
        for (int i = 1; i < kCells; ++i) {
            const int c = i + k * kSide;
            const float sum = now[c - 1] + now[c + 1] + now[c - kSide] + now[c + kSide] +
                              now[c - kSide - 1] + now[c - kSide + 1] + now[c + kSide - 1] +
                              now[c + kSide + 1];
            older[c] = (sum * 0.25f - older[c]) * kDamping;
        }
    }
    newest_ = 1 - newest_;
}

void WaterSurface::Compose(float e)
{
    const std::vector<float>& previous = heights_[1 - newest_];
    const std::vector<float>& newest = heights_[newest_];
    for (int n = 0; n < kVertexCount; ++n) {
        Vertex& v = work_[n];
        v.z = base_[n].z + (1.0f - e) * previous[n] + e * newest[n];
        v.nx = v.ny = v.nz = 0.0f;
    }
    // Each face adds its unit normal to its corners, so the vertex normals come out smoothed.
    for (int t = 0; t + 2 < kIndexCount; t += 3) {
        Vertex& a = work_[indices_[t]];
        Vertex& b = work_[indices_[t + 1]];
        Vertex& c = work_[indices_[t + 2]];
        const float e1x = b.x - a.x, e1y = b.y - a.y, e1z = b.z - a.z;
        const float e2x = c.x - a.x, e2y = c.y - a.y, e2z = c.z - a.z;
        float nx = e1y * e2z - e1z * e2y;
        float ny = e1z * e2x - e1x * e2z;
        float nz = e1x * e2y - e1y * e2x;
        const float len = std::sqrt(nx * nx + ny * ny + nz * nz);
        if (len > 0.0f) {
            nx /= len;
            ny /= len;
            nz /= len;
        }
        for (Vertex* v : {&a, &b, &c}) {
            v->nx += nx;
            v->ny += ny;
            v->nz += nz;
        }
    }
    for (int n = 0; n < kVertexCount; ++n) {
        Vertex& v = work_[n];
        const float len = std::sqrt(v.nx * v.nx + v.ny * v.ny + v.nz * v.nz);
        if (len > 0.0f) {
            v.nx /= len;
            v.ny /= len;
            v.nz /= len;
        }
        // The environment map slides with the slope of the surface.
        v.u1 = v.u0 + v.nx;
        v.v1 = v.v0 + v.ny;
    }
}

void WaterSurface::Press(const TextMap& map)
{
    const std::vector<uint8_t>& intensity = map.GetIntensities();
    std::vector<float>& newest = heights_[newest_];
    const int count = std::min<int>(kCells * kCells, static_cast<int>(intensity.size()));
    for (int i = 0; i < count; ++i)
        if (intensity[i] != 0) newest[i] += intensity[i] * kPressScale;
}

void WaterSurface::Draw(float now)
{
    if (now - lastStep_ > kStepInterval) {
        lastStep_ = now;
        Step();
    }
    Compose((now - lastStep_) / kStepInterval);
    if (buffer_) {
        Vertex* out = buffer_->Lock();
        if (out) std::memcpy(out, work_.data(), sizeof(Vertex) * work_.size());
        buffer_->Unlock();
        buffer_->Draw();
    }
    // Pressed after drawing, so the bump shows from the next frame on.
    if (pending_) {
        Press(*pending_);
        pending_ = nullptr;
    }
}

TextMap::TextMap(const std::string& fileName)
{
    uint32_t width = 0, height = 0;
    // Unconverted loading gives XRGB32 whatever the display is.
    const std::vector<uint8_t> pixels = LoadGFX(fileName.c_str(), ImageConversion::XRGB32, DisplayFormat{}, width, height);
    std::vector<uint32_t> words(static_cast<size_t>(width) * height);
    std::memcpy(words.data(), pixels.data(), std::min(pixels.size(), words.size() * sizeof(uint32_t)));
    Resample(words.data(), width, height);
}

TextMap::TextMap(const uint32_t* pixels, uint32_t width, uint32_t height)
{
    Resample(pixels, width, height);
}

void TextMap::Resample(const uint32_t* pixels, uint32_t width, uint32_t height)
{
    intensity_.assign(kSide * kSide, 0);
    if (!pixels || width == 0 || height == 0) return;
    // Nearest neighbour with 16.16 fixed-point steps, as the texture loader shrinks images.
    const uint64_t stepX = (static_cast<uint64_t>(width) << 16) / kSide;
    const uint64_t stepY = (static_cast<uint64_t>(height) << 16) / kSide;
    for (int j = 0; j < kSide; ++j) {
        const uint64_t row = (j * stepY) >> 16;
        for (int i = 0; i < kSide; ++i) {
            const uint64_t column = (i * stepX) >> 16;
            intensity_[i + j * kSide] = static_cast<uint8_t>((pixels[row * width + column] >> 16) & 0xFF);
        }
    }
}

std::vector<std::string> SplitTextMapList(const std::string& list)
{
    std::vector<std::string> names;
    std::string current;
    bool started = false;
    auto finish = [&] {
        if (!current.empty()) names.push_back(current);
        current.clear();
        started = false;
    };
    for (char c : list) {
        if (c == ',' || c == '\t') {
            finish();
        } else if (c == ' ' && !started) {
            continue;
        } else {
            current += c;
            started = true;
        }
    }
    finish();
    return names;
}
