// Vertex buffers of the OpenGL device.
#include "engine/device/gl/GLVertexBuffer.h"
#include "engine/device/gl/GLDevice.h"
#include "engine/device/gl/GLVertexStream.h"

GLVertexBuffer::GLVertexBuffer(GLDevice* device) : VertexBuffer(device), gl_(device)
{
}

GLVertexBuffer::~GLVertexBuffer()
{
    gl_->SendCommandsDrawingFrom(this);
    if (vertexArray_ != 0) {
        gl_->state_.BindVertexArray(0);
        glDeleteVertexArrays(1, &vertexArray_);
    }
    if (buffer_ != 0) {
        gl_->state_.BindArrayBuffer(0);
        glDeleteBuffers(1, &buffer_);
    }
    if (indexBuffer_ != 0) glDeleteBuffers(1, &indexBuffer_);
}

bool GLVertexBuffer::Create(bool writeOnly, int vertexCount, int indexCount)
{
    if (vertexCount < 0 || indexCount < 0) return false;
    VertexBuffer::Create(writeOnly, vertexCount, indexCount);
    vertices_.assign(static_cast<size_t>(vertexCount), Vertex{});
    if (!gl_->IsInitialised()) return true;
    if (vertexArray_ == 0) {
        glGenVertexArrays(1, &vertexArray_);
        glGenBuffers(1, &buffer_);
        glGenBuffers(1, &indexBuffer_);
        gl_->state_.BindVertexArray(vertexArray_);
        gl_->state_.BindArrayBuffer(buffer_);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer_);
        SetVertexLayout();
    }
    Unlock();
    return true;
}

Vertex* GLVertexBuffer::Lock()
{
    return vertices_.empty() ? nullptr : vertices_.data();
}

void GLVertexBuffer::Unlock()
{
    if (buffer_ == 0) return;
    // Pending draws from this buffer must meet the old contents.
    gl_->SendCommandsDrawingFrom(this);
    gl_->state_.BindArrayBuffer(buffer_);
    // Write-only buffers are drawn many times without change; the rest may change each frame.
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices_.size() * sizeof(Vertex)), vertices_.data(),
                 writeOnly_ ? GL_STATIC_DRAW : GL_DYNAMIC_DRAW);
    GL_CHECK("vertex buffer upload");
}

void GLVertexBuffer::Draw()
{
    gl_->DrawBuffer(*this);
}

bool GLVertexBuffer::Bind(GLStateCache& state)
{
    if (!CheckIndices(checked_)) return false;
    DrawIndices(state, checked_);
    return true;
}

bool GLVertexBuffer::CheckIndices(std::vector<uint16_t>& checked) const
{
    checked.clear();
    if (vertexArray_ == 0 || vertices_.empty()) return false;
    // The index list is public and may change between draws; whole triangles naming a
    // vertex outside the buffer are left out.
    size_t usable = indices.size() / 3 * 3;
    for (size_t i = 0; i < usable; i += 3)
        if (indices[i] < vertices_.size() && indices[i + 1] < vertices_.size() && indices[i + 2] < vertices_.size())
            checked.insert(checked.end(), {indices[i], indices[i + 1], indices[i + 2]});
    return !checked.empty();
}

void GLVertexBuffer::DrawIndices(GLStateCache& state, const std::vector<uint16_t>& checked)
{
    state.BindVertexArray(vertexArray_);
    // A mesh drawn every frame keeps its indices: send them only when they changed.
    if (checked != uploaded_) {
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(checked.size() * sizeof(uint16_t)),
                     checked.data(), GL_DYNAMIC_DRAW);
        uploaded_ = checked;
    }
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(checked.size()), GL_UNSIGNED_SHORT, nullptr);
    GL_CHECK("vertex buffer draw");
}
