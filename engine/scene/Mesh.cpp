// Mesh: suffix rules, the once-filled device buffer, the state block from the flags, per-frame geometry work.
#include "engine/scene/Mesh.h"
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include "engine/core/Fatal.h"
#include "engine/device/RenderDevice.h"
#include "engine/device/VertexBuffer.h"
#include "engine/scene/NameRules.h"
#include "engine/scene/ObjectFlags.h"

Mesh::Mesh(RenderDevice& device) : SceneObject(Kind::Mesh), device_(device) {}

Mesh::~Mesh()
{
    if (buffer_)
        device_.DestroyVertexBuffer(buffer_);
    if (stateBlock_)
        device_.DeleteStateBlock(stateBlock_);
}

namespace {

void CheckVertexIndex(uint32_t index, size_t count)
{
    if (index >= count)
        ReportFatal("Overflow in vertex assignement");
}

}  // namespace

void Mesh::SetVertex(uint32_t index, Vector3 position, Vector3 normal)
{
    CheckVertexIndex(index, std::min(vertices.size(), restVertices.size()));
    for (Vertex* v : {&vertices[index], &restVertices[index]}) {
        v->x = position.x;
        v->y = position.y;
        v->z = position.z;
        v->nx = normal.x;
        v->ny = normal.y;
        v->nz = normal.z;
    }
}

void Mesh::SetTextureCoordinates(uint32_t index, float u, float v)
{
    CheckVertexIndex(index, std::min(vertices.size(), restVertices.size()));
    for (Vertex* vertex : {&vertices[index], &restVertices[index]}) {
        vertex->u0 = vertex->u1 = u;
        vertex->v0 = vertex->v1 = v;
    }
}

void Mesh::SetColor(uint32_t index, uint32_t color)
{
    CheckVertexIndex(index, std::min(vertices.size(), restVertices.size()));
    vertices[index].color = restVertices[index].color = color;
}

void Mesh::SetFace(uint32_t index, uint32_t a, uint32_t b, uint32_t c)
{
    if (index >= faces.size())
        ReportFatal("Overflow in Face assignement");
    faces[index] = {a, b, c};
}

void Mesh::SetPivot(Vector3 pivot)
{
    Vector3 lo{65535.0f, 65535.0f, 65535.0f};
    Vector3 hi{-65535.0f, -65535.0f, -65535.0f};
    Vector3 sum;
    for (const Vertex& v : vertices) {
        lo = {std::min(lo.x, v.x), std::min(lo.y, v.y), std::min(lo.z, v.z)};
        hi = {std::max(hi.x, v.x), std::max(hi.y, v.y), std::max(hi.z, v.z)};
        sum = sum + Vector3{v.x, v.y, v.z};
    }
    for (int i = 0; i < 8; ++i)
        box[i] = {i & 1 ? hi.x : lo.x, i & 2 ? hi.y : lo.y, i & 4 ? hi.z : lo.z};
    center = vertices.empty() ? Vector3{} : sum * (1.0f / static_cast<float>(vertices.size()));
    for (auto* list : {&vertices, &restVertices}) {
        for (Vertex& v : *list) {
            v.x -= pivot.x;
            v.y -= pivot.y;
            v.z -= pivot.z;
        }
    }
    staticPosition = pivot;
}

namespace {

[[noreturn]] void NoStartFrame(const std::string& name)
{
    ReportFatal("Error : Could not find start frame for Morph object [%s].", name.c_str());
}

}  // namespace

void Mesh::Finish()
{
    const std::string& name = GetName();
    const uint32_t nameFlags = FlagsFromName(name);
    flags |= kFlagVisible | nameFlags;
    if (nameFlags & kFlagMorphDest)
        flags &= ~kFlagVisible;
    for (const SuffixRule& rule : GetSuffixRules()) {
        if (!NameHasSuffix(name, rule.suffix))
            continue;
        if (!rule.keepsStatic)
            isStatic = false;
        long number = 0;
        switch (rule.handler) {
        case SuffixRule::Handler::None:
            break;
        case SuffixRule::Handler::MorphSource:
            if (!FindNameNumber(name, ".f", number))
                NoStartFrame(name);
            morph.startFrame = static_cast<int>(number);
            break;
        case SuffixRule::Handler::MorphDestination:
            if (!FindNameNumber(name, ".f", number))
                NoStartFrame(name);
            morph.startFrame = static_cast<int>(number);
            if (FindNameNumber(name, ".e", number))
                morph.endFrame = static_cast<int>(number);
            if (!FindNameNumber(name, ".c", number))
                NoStartFrame(name);
            // Out-of-range numbers stay out of range (refused when the sequence is paired).
            morph.sequence = static_cast<int>(std::clamp<long>(number, -1, INT_MAX));
            break;
        case SuffixRule::Handler::NoLight: {
            const uint32_t white = device_.ConvertColor(0xFFFFFF);
            for (Vertex& v : vertices)
                v.color = white;
            for (Vertex& v : restVertices)
                v.color = white;
            break;
        }
        }
    }

    indices.resize(faces.size() * 3);
    for (size_t f = 0; f < faces.size(); ++f)
        for (int k = 0; k < 3; ++k)
            indices[f * 3 + k] = static_cast<uint16_t>(faces[f][k]);
    if (isStatic && !vertices.empty() && !faces.empty()) {
        buffer_ = device_.CreateVertexBuffer();
        buffer_->Create(true, static_cast<int>(vertices.size()), static_cast<int>(indices.size()));
        std::copy(indices.begin(), indices.end(), buffer_->indices.begin());
        std::memcpy(buffer_->Lock(), vertices.data(), vertices.size() * sizeof(Vertex));
        buffer_->Unlock();
    }
    BuildStateBlock();
}

void Mesh::BuildStateBlock()
{
    if (stateBlock_) {
        device_.DeleteStateBlock(stateBlock_);
        stateBlock_ = 0;
    }
    RenderDevice& d = device_;
    d.BeginStateBlock();
    if (flags & kFlagAlpha) {
        d.SetCullMode(CullMode::CounterClockwise);
        d.EnableAlphaBlend(true);
    }
    if (flags & kFlagAlphaMap) {
        d.SetCullMode(CullMode::CounterClockwise);
        d.EnableAlphaBlend(true);
        d.SetSrcBlend(BlendFactor::SrcAlpha);
        d.SetDestBlend(BlendFactor::InvSrcAlpha);
        d.SetAlphaOp(0, AlphaOp::SelectArg1);
        d.SetAlphaArg1(0, AlphaArg::Texture);
    }
    if (flags & kFlagFloor) {
        d.EnableAlphaBlend(true);
        d.SetSrcBlend(BlendFactor::InvSrcColor);
        d.SetDestBlend(BlendFactor::SrcColor);
    }
    if (flags & kFlagEnvMap) {
        d.SetSrcBlend(BlendFactor::SrcColor);
        d.SetDestBlend(BlendFactor::DestColor);
        d.SetColorOp(0, ColorOp::Modulate);
        d.SetColorArg1(0, ColorArg::Diffuse);
        d.SetColorArg2(0, ColorArg::Texture);
        d.SetAlphaOp(0, AlphaOp::Modulate);
        d.SetAlphaArg1(0, AlphaArg::Current);
        d.SetColorOp(1, ColorOp::Add);
        d.SetColorArg1(1, ColorArg::Current);
        d.SetColorArg2(1, ColorArg::Texture);
        d.SetAlphaOp(1, AlphaOp::SelectArg1);
        d.SetAlphaArg1(1, AlphaArg::Diffuse);
        d.SetAlphaArg2(1, AlphaArg::Texture);
    }
    if (flags & kFlagNoCull)
        d.SetCullMode(CullMode::None);
    if (flags & kFlagNoDynaLight)
        d.EnableLighting(false);
    d.EndStateBlock(&stateBlock_);
}

void Mesh::DrawGeometry()
{
    if (indices.empty() || vertices.empty())
        return;
    if (isStatic && buffer_)
        buffer_->Draw();
    else
        device_.DrawIndexed(PrimitiveType::TriangleList, vertices.data(), static_cast<int>(vertices.size()),
                            indices.data(), static_cast<int>(indices.size()));
}

void Mesh::RecomputeNormals()
{
    for (Vertex& v : vertices)
        v.nx = v.ny = v.nz = 0.0f;
    for (const auto& face : faces) {
        Vertex& a = vertices[face[0]];
        Vertex& b = vertices[face[1]];
        Vertex& c = vertices[face[2]];
        Vector3 n = Cross(Vector3{b.x - a.x, b.y - a.y, b.z - a.z}, Vector3{c.x - a.x, c.y - a.y, c.z - a.z});
        const float length = Length(n);
        if (length > 0.0f)
            n = n * (1.0f / length);
        for (Vertex* v : {&a, &b, &c}) {
            v->nx += n.x;
            v->ny += n.y;
            v->nz += n.z;
        }
    }
    for (Vertex& v : vertices) {
        const float length = Length(Vector3{v.nx, v.ny, v.nz});
        if (length > 0.0f) {
            v.nx /= length;
            v.ny /= length;
            v.nz /= length;
        }
    }
}

void Mesh::ComputeEnvironmentCoordinates(const Matrix4& vp)
{
    for (Vertex& v : vertices) {
        const float c0 = v.nx * vp[0][0] + v.ny * vp[1][0] + v.nz * vp[2][0];
        const float c1 = v.nx * vp[0][1] + v.ny * vp[1][1] + v.nz * vp[2][1];
        v.u1 = (c0 + 1.0f) * 0.5f;
        v.v1 = (1.0f - c1) * 0.5f;
    }
}
