// OpenGL device: drawing, batching, pipeline set-up, visibility tests and the test pattern.
#include <algorithm>
#include <cmath>
#include "engine/device/TextureFormat.h"
#include "engine/device/gl/GLDevice.h"
#include "engine/device/gl/GLCover.h"
#include "engine/device/gl/GLDrawSkip.h"
#include "engine/device/gl/GLTexture.h"
#include "engine/device/gl/GLVertexBuffer.h"

namespace {

// Larger batches are sent at once; this keeps the stream buffer a few megabytes at most.
constexpr size_t kBatchVertexLimit = 65536;

GLenum BlendToGL(BlendFactor factor)
{
    switch (factor) {
    case BlendFactor::Zero: return GL_ZERO;
    case BlendFactor::One: return GL_ONE;
    case BlendFactor::SrcColor: return GL_SRC_COLOR;
    case BlendFactor::InvSrcColor: return GL_ONE_MINUS_SRC_COLOR;
    case BlendFactor::SrcAlpha: return GL_SRC_ALPHA;
    case BlendFactor::InvSrcAlpha: return GL_ONE_MINUS_SRC_ALPHA;
    case BlendFactor::DestAlpha: return GL_DST_ALPHA;
    case BlendFactor::InvDestAlpha: return GL_ONE_MINUS_DST_ALPHA;
    case BlendFactor::DestColor: return GL_DST_COLOR;
    case BlendFactor::InvDestColor: return GL_ONE_MINUS_DST_COLOR;
    case BlendFactor::SrcAlphaSat: return GL_SRC_ALPHA_SATURATE;
    }
    return GL_ONE;
}

GLenum CompareToGL(CompareFunc func)
{
    int v = static_cast<int>(func);
    return v >= 0 && v <= 7 ? static_cast<GLenum>(GL_NEVER + v) : GL_LEQUAL;
}

GLenum ModeOf(BatchKind kind)
{
    switch (kind) {
    case BatchKind::Points: return GL_POINTS;
    case BatchKind::Lines: return GL_LINES;
    default: return GL_TRIANGLES;
    }
}

// The normal transform for row vectors: the cofactors of the 3x3 part over its determinant,
// i.e. the inverse transpose. A singular matrix is used as it is.
void NormalMatrix(const Matrix4& a, float out[9])
{
    const float(*m)[4] = a.m;
    float c[3][3];
    c[0][0] = m[1][1] * m[2][2] - m[1][2] * m[2][1];
    c[0][1] = m[1][2] * m[2][0] - m[1][0] * m[2][2];
    c[0][2] = m[1][0] * m[2][1] - m[1][1] * m[2][0];
    c[1][0] = m[0][2] * m[2][1] - m[0][1] * m[2][2];
    c[1][1] = m[0][0] * m[2][2] - m[0][2] * m[2][0];
    c[1][2] = m[0][1] * m[2][0] - m[0][0] * m[2][1];
    c[2][0] = m[0][1] * m[1][2] - m[0][2] * m[1][1];
    c[2][1] = m[0][2] * m[1][0] - m[0][0] * m[1][2];
    c[2][2] = m[0][0] * m[1][1] - m[0][1] * m[1][0];
    float det = m[0][0] * c[0][0] + m[0][1] * c[0][1] + m[0][2] * c[0][2];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) out[i * 3 + j] = std::fabs(det) > 1e-12f ? c[i][j] / det : m[i][j];
}

// Half a pixel in clip units (a pixel spans 2 / size): the vertex shader's shift of pixel centres.
float PixelOffset(int size)
{
    return 1.0f / static_cast<float>(std::max(size, 1));
}

}  // namespace

void GLDevice::Draw(PrimitiveType type, const Vertex* vertices, int vertexCount)
{
    Append(type, vertices, vertexCount, nullptr, 0);
}

void GLDevice::DrawIndexed(PrimitiveType type, const Vertex* vertices, int vertexCount, const uint16_t* indices,
                           int indexCount)
{
    if (indices == nullptr || indexCount <= 0) return;
    Append(type, vertices, vertexCount, indices, indexCount);
}

void GLDevice::Append(PrimitiveType type, const Vertex* vertices, int vertexCount, const uint16_t* indices,
                      int indexCount)
{
    if (!initialised_ || vertices == nullptr || vertexCount <= 0) return;
    if (KindOf(type) == BatchKind::None) return;
    // Only blended draws without the depth test can be invisible; the rest skip the check.
    if (skipInvisible_ && GetState().alphaBlend && !GetState().depthTest &&
        DrawLeavesPictureUnchanged(DrawEffects(), vertices, vertexCount)) {
        ++skippedDraws_;
        return;
    }
    if (skipOffScreen_ && KindOf(type) == BatchKind::Triangles && DrawIsOffScreen(ClipOf(), vertices, vertexCount)) {
        ++offScreenDraws_;
        return;
    }
    if (!batch_.Accepts(type)) FlushBatch();
    batch_.Append(type, vertices, vertexCount, indices, indexCount);
    if (batch_.GetVertices().size() >= kBatchVertexLimit) FlushBatch();
}

void GLDevice::FlushBatch()
{
    if (batch_.IsEmpty()) {
        batch_.Clear();
        return;
    }
    if (DefersWork()) {
        GLCommand& command = AppendDrawCommand(GLCommand::Kind::Draw);
        command.effects = CommandEffects::Draw(command.state.depthTest, command.state.depthFunc,
                                               BatchCoversBackBuffer(command.binding));
        command.primitives = batch_.GetKind();
        batch_.SwapInto(command.vertices, command.indices);
        return;
    }
    PrepareDraw(GetState(), CurrentBinding());
    stream_.Draw(state_, ModeOf(batch_.GetKind()), batch_.GetVertices().data(), batch_.GetVertices().size(),
                 batch_.GetIndices().data(), batch_.GetIndices().size());
    ++glDraws_;
    batch_.Clear();
}

bool GLDevice::BatchCoversBackBuffer(const GLDrawBinding& binding) const
{
    if (batch_.GetKind() != BatchKind::Triangles || !(binding.viewport == Viewport{0, 0, width_, height_}))
        return false;
    const DeviceState& state = GetState();
    CoverState cover;
    cover.effects = DrawEffects();
    cover.depthFunc = state.depthFunc;
    cover.cullMode = state.cullMode;
    for (int i = 0; i < 2; ++i) {
        auto* texture = static_cast<GLTexture*>(state.stages[i].texture);
        cover.textureAlphaOne[i] = texture == nullptr || FormatAlphaMask(texture->GetFormat()) == 0;
    }
    cover.worldView = state.world * state.view;
    cover.projection = state.projection;
    cover.viewportWidth = binding.viewport.width;
    cover.viewportHeight = binding.viewport.height;
    const std::vector<Vertex>& vertices = batch_.GetVertices();
    const std::vector<uint32_t>& indices = batch_.GetIndices();
    return DrawCoversViewport(cover, vertices.data(), vertices.size(), indices.data(), indices.size());
}

GLCommand& GLDevice::AppendDrawCommand(GLCommand::Kind kind)
{
    GLCommand& command = commands_.Append();
    command.kind = kind;
    command.state = GetState();
    command.binding = CurrentBinding();
    command.effects = CommandEffects::Draw(command.state.depthTest, command.state.depthFunc, false);
    return command;
}

GLDrawBinding GLDevice::CurrentBinding() const
{
    GLDrawBinding binding;
    binding.key = CurrentPipelineKey();
    for (int i = 0; i < 2; ++i) {
        auto* texture = static_cast<GLTexture*>(GetState().stages[i].texture);
        binding.textures[i] = texture != nullptr ? texture->GetGLTexture() : 0;
    }
    binding.framebuffer = renderTarget_ != nullptr && renderTarget_->GetFramebuffer() != nullptr
                              ? renderTarget_->GetFramebuffer()->GetFramebuffer()
                              : backBuffer_.GetFramebuffer();
    binding.viewport = viewport_;
    binding.uniformGeneration = uniformGeneration_;
    return binding;
}

void GLDevice::SendCommands()
{
    FlushBatch();
    if (commands_.IsEmpty()) return;
    if (skipCovered_) {
        const CoveredWork saved = commands_.DropCovered();
        coveredCommands_ += saved.dropped;
        reducedClears_ += saved.clearsReduced;
    }
    // Replaying adds no commands: nothing it calls flushes.
    for (const GLCommand& command : commands_) Replay(command);
    commands_.Clear();
    BindTarget();
}

void GLDevice::SendCommandsSampling(GLuint texture)
{
    FlushBatch();
    if (texture != 0 && commands_.Samples(texture)) SendCommands();
}

void GLDevice::SendCommandsDrawingFrom(const GLVertexBuffer* buffer)
{
    FlushBatch();
    if (commands_.DrawsFrom(buffer)) SendCommands();
}

void GLDevice::Replay(const GLCommand& command)
{
    switch (command.kind) {
    case GLCommand::Kind::Draw:
        PrepareDraw(command.state, command.binding);
        stream_.Draw(state_, ModeOf(command.primitives), command.vertices.data(), command.vertices.size(),
                     command.indices.data(), command.indices.size());
        ++glDraws_;
        break;
    case GLCommand::Kind::BufferDraw:
        PrepareDraw(command.state, command.binding);
        command.buffer->DrawIndices(state_, command.bufferIndices);
        ++glDraws_;
        break;
    case GLCommand::Kind::Clear:
        state_.BindFramebuffer(backBuffer_.GetFramebuffer());
        ClearBound(command.clearColour, command.colour);
        break;
    }
}

void GLDevice::SetSkipCoveredWork(bool on)
{
    if (!on) SendCommands();
    skipCovered_ = on;
}

PipelineKey GLDevice::CurrentPipelineKey() const
{
    const DeviceState& state = GetState();
    PipelineKey key;
    key.stages[0] = KeyOf(state.stages[0]);
    key.stages[1] = KeyOf(state.stages[1]);
    for (int i = 0; i < 2; ++i) {
        auto* texture = static_cast<GLTexture*>(state.stages[i].texture);
        key.stages[i].textured = texture != nullptr && texture->GetGLTexture() != 0;
    }
    // Stage 0 always runs; the cascade stops at the first disabled stage.
    if (key.stages[0].colorOp == kStageDisabled) key.stages[0].colorOp = static_cast<uint8_t>(ColorOp::Modulate);
    // The interface cannot switch a stage's colour operation off again, so a second stage whose
    // texture was taken away stops the cascade when it would read that texture: an environment-
    // mapped mesh leaves Add(Current, Texture) behind, and every later draw would add full white.
    const StageKey& second = key.stages[1];
    const auto texture = static_cast<uint8_t>(ColorArg::Texture);
    if (!second.textured && (second.colorArg1 == texture || second.colorArg2 == texture))
        key.stages[1].colorOp = kStageDisabled;
    key.lighting = state.lighting;
    if (state.lighting) key.lightCount = static_cast<uint8_t>(std::min(state.EnabledLightCount(), kMaxLights));
    key.fog = state.fog;
    key.fogMode = static_cast<uint8_t>(state.fogMode);
    return key;
}

ClipTransform GLDevice::ClipOf() const
{
    const DeviceState& state = GetState();
    return ClipTransform{state.world, state.view, state.projection, PixelOffset(viewport_.width),
                         PixelOffset(viewport_.height)};
}

DrawEffectState GLDevice::DrawEffects() const
{
    const DeviceState& state = GetState();
    DrawEffectState effects;
    effects.pipeline = CurrentPipelineKey();
    effects.blend = state.alphaBlend;
    effects.src = state.srcBlend;
    effects.dest = state.destBlend;
    effects.depthTest = state.depthTest;
    return effects;
}

void GLDevice::PrepareDraw(const DeviceState& state, const GLDrawBinding& binding)
{
    ++contentWrites_;
    for (int i = 0; i < 2; ++i) {
        GLuint id = binding.textures[i];
        if (id != 0) state_.ActiveTextureBind(i, id);
    }

    GLProgram& program = programs_.Get(binding.key, state_);
    state_.UseProgram(program.id);
    if (program.uniformGeneration != binding.uniformGeneration) UploadUniforms(program, state, binding);

    state_.BindFramebuffer(binding.framebuffer);
    state_.Viewport(binding.viewport.x, binding.viewport.y, binding.viewport.width, binding.viewport.height);
    state_.Blend(state.alphaBlend);
    if (state.alphaBlend) state_.BlendFunc(BlendToGL(state.srcBlend), BlendToGL(state.destBlend));
    state_.DepthTest(state.depthTest);
    if (state.depthTest) state_.DepthFunc(CompareToGL(state.depthFunc));
    state_.DepthMask(true);
    state_.ColorMask(true, false);
    state_.Scissor(false);
    switch (state.cullMode) {
    case CullMode::Clockwise: state_.CullFront(GL_CW); break;
    case CullMode::CounterClockwise: state_.CullFront(GL_CCW); break;
    default: state_.CullFront(GL_NONE); break;
    }
}

void GLDevice::UploadUniforms(GLProgram& program, const DeviceState& state, const GLDrawBinding& binding)
{
    program.uniformGeneration = binding.uniformGeneration;
    GLProgram::Sent& sent = program.sent;
    // Each program keeps its uniforms, so only values that differ from its own last ones go out.
    Matrix4 worldView = state.world * state.view;
    // Row-major data read by GLSL as column-major is the transpose: M * v = v * M_rows.
    if (UniformChanges(sent.worldView, &worldView.m[0][0], 16))
        glUniformMatrix4fv(program.worldView, 1, GL_FALSE, &worldView.m[0][0]);
    if (UniformChanges(sent.projection, &state.projection.m[0][0], 16))
        glUniformMatrix4fv(program.projection, 1, GL_FALSE, &state.projection.m[0][0]);
    const float offset[2] = {PixelOffset(binding.viewport.width), PixelOffset(binding.viewport.height)};
    if (UniformChanges(sent.pixelOffset, offset, 2)) glUniform2fv(program.pixelOffset, 1, offset);
    auto rgb = [](uint32_t color, float out[3]) {
        for (int i = 0; i < 3; ++i) out[i] = static_cast<float>((color >> (16 - 8 * i)) & 0xFF) / 255.0f;
    };
    if (program.key.lighting) {
        float normal[9];
        NormalMatrix(worldView, normal);
        if (UniformChanges(sent.normalMatrix, normal, 9))
            glUniformMatrix3fv(program.normalMatrix, 1, GL_FALSE, normal);
        const MaterialRecord& material = state.material;
        const float materialAmbient[3] = {material.ambientR, material.ambientG, material.ambientB};
        const float materialEmissive[3] = {material.emissiveR, material.emissiveG, material.emissiveB};
        float ambient[3];
        rgb(state.ambient, ambient);
        if (UniformChanges(sent.materialAmbient, materialAmbient, 3))
            glUniform3fv(program.materialAmbient, 1, materialAmbient);
        if (UniformChanges(sent.materialEmissive, materialEmissive, 3))
            glUniform3fv(program.materialEmissive, 1, materialEmissive);
        if (UniformChanges(sent.ambient, ambient, 3)) glUniform3fv(program.ambient, 1, ambient);
        float positions[kMaxLights * 3], colors[kMaxLights * 3], ranges[kMaxLights];
        int n = 0;
        for (const auto& entry : state.lights) {
            if (!entry.second.enabled || n >= program.key.lightCount) continue;
            const LightRecord& l = entry.second.record;
            Vector4 p = TransformPoint(state.view, Vector3{l.x, l.y, l.z});
            positions[n * 3] = p.x;
            positions[n * 3 + 1] = p.y;
            positions[n * 3 + 2] = p.z;
            colors[n * 3] = l.r;
            colors[n * 3 + 1] = l.g;
            colors[n * 3 + 2] = l.b;
            ranges[n] = l.range;
            ++n;
        }
        if (n > 0) {
            const auto count = static_cast<size_t>(n);
            if (UniformChanges(sent.lightPosition, positions, count * 3))
                glUniform3fv(program.lightPosition, n, positions);
            if (UniformChanges(sent.lightColor, colors, count * 3)) glUniform3fv(program.lightColor, n, colors);
            if (UniformChanges(sent.lightRange, ranges, count)) glUniform1fv(program.lightRange, n, ranges);
        }
    }
    if (program.key.fog) {
        float fogColor[3];
        rgb(state.fogColor, fogColor);
        const float fogParams[3] = {state.fogStart, state.fogEnd, state.fogDensity};
        if (UniformChanges(sent.fogColor, fogColor, 3)) glUniform3fv(program.fogColor, 1, fogColor);
        if (UniformChanges(sent.fogParams, fogParams, 3)) glUniform3fv(program.fogParams, 1, fogParams);
    }
    GL_CHECK("uniforms");
}

bool GLDevice::UniformChanges(GLUniformValue& last, const float* values, size_t count)
{
    if (last.Changes(values, count) || !skipRepeats_) return true;
    ++repeatsSkipped_;
    return false;
}

void GLDevice::DrawBuffer(GLVertexBuffer& buffer)
{
    if (!initialised_) return;
    FlushBatch();
    if (DefersWork()) {
        GLCommand& command = AppendDrawCommand(GLCommand::Kind::BufferDraw);
        if (!buffer.CheckIndices(command.bufferIndices)) commands_.RemoveLast();
        else command.buffer = &buffer;
        return;
    }
    PrepareDraw(GetState(), CurrentBinding());
    if (buffer.Bind(state_)) ++glDraws_;
}

bool GLDevice::DepthPasses(float stored, float depth) const
{
    if (!(depth >= 0.0f && depth <= 1.0f)) return false;  // clipped by the depth range
    long a = std::lround(static_cast<double>(depth) * 65535.0);
    long b = std::lround(static_cast<double>(stored) * 65535.0);
    switch (GetState().depthFunc) {
    case CompareFunc::Never: return false;
    case CompareFunc::Less: return a < b;
    case CompareFunc::Equal: return a == b;
    case CompareFunc::LessEqual: return a <= b;
    case CompareFunc::Greater: return a > b;
    case CompareFunc::NotEqual: return a != b;
    case CompareFunc::GreaterEqual: return a >= b;
    case CompareFunc::Always: return true;
    }
    return a <= b;
}

bool GLDevice::IsPointVisible(float x, float y, float z)
{
    if (!initialised_) return false;
    TransformedVertex point{};
    if (!ProjectPoint(x, y, z, viewport_.width, viewport_.height, point)) return false;
    SetColorOp(0, ColorOp::SelectArg1);
    SetColorArg1(0, ColorArg::Diffuse);
    SetAlphaOp(0, AlphaOp::Disable);
    EnableDepth(true);
    SendCommands();
    BindTarget();
    float stored = 1.0f;
    int px = static_cast<int>(point.x), py = static_cast<int>(point.y);
#ifdef STARFALL_WEB
    GLWebReadDepth(state_.GetFramebuffer(), viewport_.x + px, viewport_.y + py, 1, 1, &stored);
    state_.Invalidate();
    BindTarget();
#else
    glReadPixels(viewport_.x + px, viewport_.y + py, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &stored);
#endif
    GL_CHECK("depth read");
    bool visible = DepthPasses(stored, point.z);
    if (!visible) SetColorArg1(0, ColorArg::Texture);
    return visible;
}

void GLDevice::ArePointsVisible(TransformedVertex* points, uint32_t* results, int count)
{
    if (points == nullptr || results == nullptr || count <= 0) return;
    int left = viewport_.width, top = viewport_.height, right = -1, bottom = -1;
    for (int i = 0; i < count; ++i) {
        TransformedVertex projected{};
        bool onScreen = initialised_ &&
                        ProjectPoint(points[i].x, points[i].y, points[i].z, viewport_.width, viewport_.height, projected);
        points[i] = projected;
        if (!onScreen) {
            points[i].x = -1.0f;
            results[i] = kPointOffScreen;
            continue;
        }
        results[i] = kPointHidden;
        int px = static_cast<int>(projected.x), py = static_cast<int>(projected.y);
        left = std::min(left, px);
        right = std::max(right, px);
        top = std::min(top, py);
        bottom = std::max(bottom, py);
    }
    if (!initialised_) {
        for (int i = 0; i < count; ++i) results[i] = kPointHidden;
        return;
    }
    SetColorOp(0, ColorOp::SelectArg1);
    SetColorArg1(0, ColorArg::Diffuse);
    SetAlphaOp(0, AlphaOp::Disable);
    EnableDepth(true);
    // Kept between calls: lens flares ask every frame, and the rectangle is read whole.
    std::vector<float>& depths = depthScratch_;
    int w = right - left + 1, h = bottom - top + 1;
    if (right >= 0) {
        SendCommands();
        BindTarget();
        // One read of the rectangle around all points instead of one stall per point.
        depths.resize(static_cast<size_t>(w) * h, 1.0f);
#ifdef STARFALL_WEB
        GLWebReadDepth(state_.GetFramebuffer(), viewport_.x + left, viewport_.y + top, w, h, depths.data());
        state_.Invalidate();
        BindTarget();
#else
        glReadPixels(viewport_.x + left, viewport_.y + top, w, h, GL_DEPTH_COMPONENT, GL_FLOAT, depths.data());
#endif
        GL_CHECK("depth read");
    }
    for (int i = 0; i < count; ++i) {
        if (results[i] == kPointOffScreen) {
            results[i] = kPointHidden;
            continue;
        }
        int px = static_cast<int>(points[i].x) - left, py = static_cast<int>(points[i].y) - top;
        float stored = depths[static_cast<size_t>(py) * w + px];
        results[i] = DepthPasses(stored, points[i].z) ? kPointVisible : kPointHidden;
    }
}

bool GLDevice::DrawTestPattern()
{
    auto vertex = [](float x, float y, uint32_t color) {
        Vertex v{};
        v.x = x;
        v.y = y;
        v.nz = -1.0f;
        v.color = color;
        return v;
    };
    const uint32_t red = 0xFFFF0000u, green = 0xFF00FF00u, blue = 0xFF0000FFu;
    // Counter-clockwise on screen, so the default cull mode keeps both triangles.
    const Vertex square[6] = {vertex(-10, -10, red), vertex(10, 10, green),   vertex(-10, 10, blue),
                              vertex(-10, -10, red), vertex(10, -10, blue), vertex(10, 10, green)};
    // The pattern's vertices carry their final colours: they are not lit.
    // Switched past the state operations: a state block being recorded must not take it.
    bool lighting = drawState_.lighting;
    if (lighting) {
        FlushBatch();
        drawState_.lighting = false;
    }
    Draw(PrimitiveType::TriangleList, square, 6);
    if (lighting) {
        FlushBatch();
        drawState_.lighting = true;
    }
    return true;
}

void GLDevice::BeginMeasure(uint32_t tag)
{
    if (!initialised_) return;
    SendCommands();
    queries_.Begin(tag);
}

void GLDevice::EndMeasure()
{
    if (!initialised_) return;
    SendCommands();
    queries_.End();
}

void GLDevice::TakeMeasures(std::vector<MeasuredSpan>& out, bool wait)
{
    if (!initialised_) return;
    queries_.Take(out, wait);
}
