// Streams vertices and indices into GL buffers, reallocating storage each draw so GL never waits.
#include "engine/device/gl/GLVertexStream.h"

void SetVertexLayout()
{
    const GLsizei stride = sizeof(Vertex);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(offsetof(Vertex, x)));
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(offsetof(Vertex, nx)));
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride, reinterpret_cast<const void*>(offsetof(Vertex, color)));
    glEnableVertexAttribArray(3);
    glVertexAttribPointer(3, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(offsetof(Vertex, u0)));
    glEnableVertexAttribArray(4);
    glVertexAttribPointer(4, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(offsetof(Vertex, u1)));
}

GLVertexStream::~GLVertexStream()
{
    if (vertexArray_ != 0) glDeleteVertexArrays(1, &vertexArray_);
    if (vertexBuffer_ != 0) glDeleteBuffers(1, &vertexBuffer_);
    if (indexBuffer_ != 0) glDeleteBuffers(1, &indexBuffer_);
}

void GLVertexStream::Create(GLStateCache& state)
{
    glGenVertexArrays(1, &vertexArray_);
    glGenBuffers(1, &vertexBuffer_);
    glGenBuffers(1, &indexBuffer_);
    state.BindVertexArray(vertexArray_);
    state.BindArrayBuffer(vertexBuffer_);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer_);
    SetVertexLayout();
    GL_CHECK("vertex stream set-up");
}

void GLVertexStream::Draw(GLStateCache& state, GLenum mode, const Vertex* vertices, size_t vertexCount,
                          const uint32_t* indices, size_t indexCount)
{
    if (vertexCount == 0 || indexCount == 0) return;
    state.BindVertexArray(vertexArray_);
    state.BindArrayBuffer(vertexBuffer_);
    size_t vertexBytes = vertexCount * sizeof(Vertex);
    size_t indexBytes = indexCount * sizeof(uint32_t);
    // Orphan the old storage (GL may still read it) and write the new contents.
    if (vertexBytes > vertexCapacity_) vertexCapacity_ = vertexBytes * 2;
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertexCapacity_), nullptr, GL_STREAM_DRAW);
    glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(vertexBytes), vertices);
    if (indexBytes > indexCapacity_) indexCapacity_ = indexBytes * 2;
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indexCapacity_), nullptr, GL_STREAM_DRAW);
    glBufferSubData(GL_ELEMENT_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(indexBytes), indices);
    glDrawElements(mode, static_cast<GLsizei>(indexCount), GL_UNSIGNED_INT, nullptr);
    GL_CHECK("stream draw");
}
