// Builds and caches the generated pipeline programs.
#include "engine/device/gl/GLProgramCache.h"
#include <cstring>
#include <string>
#include <vector>
#include "engine/core/Fatal.h"
#include "engine/core/Log.h"

bool GLUniformValue::Changes(const float* values, size_t count)
{
    if (last_.size() == count && (count == 0 || std::memcmp(last_.data(), values, count * sizeof(float)) == 0)) return false;
    last_.assign(values, values + count);
    return true;
}

GLProgram::~GLProgram()
{
    if (id != 0) glDeleteProgram(id);
}

namespace {

GLuint Compile(GLenum type, const char* source, const char* what)
{
    GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok != GL_TRUE) {
        GLint length = 0;
        glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
        std::vector<char> log(static_cast<size_t>(length > 0 ? length : 1) + 1, '\0');
        glGetShaderInfoLog(shader, length, nullptr, log.data());
        glDeleteShader(shader);
        ReportFatal("OpenGL : Unable to compile the %s shader.\n[%s]", what, log.data());
    }
    return shader;
}

}  // namespace

GLuint BuildGLProgram(const char* vertexSource, const char* fragmentSource, const char* what)
{
    GLuint vs = Compile(GL_VERTEX_SHADER, vertexSource, what);
    GLuint fs = 0;
    try {
        fs = Compile(GL_FRAGMENT_SHADER, fragmentSource, what);
    } catch (...) {
        glDeleteShader(vs);
        throw;
    }
    GLuint program = glCreateProgram();
    glAttachShader(program, vs);
    glAttachShader(program, fs);
    glLinkProgram(program);
    glDetachShader(program, vs);
    glDetachShader(program, fs);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint ok = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (ok != GL_TRUE) {
        GLint length = 0;
        glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
        std::vector<char> log(static_cast<size_t>(length > 0 ? length : 1) + 1, '\0');
        glGetProgramInfoLog(program, length, nullptr, log.data());
        glDeleteProgram(program);
        ReportFatal("OpenGL : Unable to link the %s program.\n[%s]", what, log.data());
    }
    return program;
}

GLProgram& GLProgramCache::Get(const PipelineKey& key, GLStateCache& state)
{
    const uint64_t packed = key.Pack();
    auto found = byKey_.find(packed);
    if (found != byKey_.end()) return *found->second;

    const std::string vs = GenerateVertexShader(key);
    const std::string fs = GenerateFragmentShader(key);
    std::string source = vs;
    source += '\0';  // a boundary no generated line contains
    source += fs;
    if (auto same = bySource_.find(source); same != bySource_.end()) {
        byKey_.emplace(packed, same->second.get());
        return *same->second;
    }

    auto program = std::make_unique<GLProgram>();
    program->key = key;
    program->id = BuildGLProgram(vs.c_str(), fs.c_str(), "pipeline");
    GLuint id = program->id;
    program->worldView = glGetUniformLocation(id, "uWorldView");
    program->projection = glGetUniformLocation(id, "uProjection");
    program->pixelOffset = glGetUniformLocation(id, "uPixelOffset");
    program->normalMatrix = glGetUniformLocation(id, "uNormalMatrix");
    program->lightPosition = glGetUniformLocation(id, "uLightPosition");
    program->lightColor = glGetUniformLocation(id, "uLightColor");
    program->lightRange = glGetUniformLocation(id, "uLightRange");
    program->materialAmbient = glGetUniformLocation(id, "uMaterialAmbient");
    program->materialEmissive = glGetUniformLocation(id, "uMaterialEmissive");
    program->ambient = glGetUniformLocation(id, "uAmbient");
    program->fogColor = glGetUniformLocation(id, "uFogColor");
    program->fogParams = glGetUniformLocation(id, "uFogParams");
    // Samplers never move: stage n reads texture unit n.
    state.UseProgram(id);
    glUniform1i(glGetUniformLocation(id, "uTexture0"), 0);
    glUniform1i(glGetUniformLocation(id, "uTexture1"), 1);
    GL_CHECK("program set-up");
    GLProgram& result = *program;
    byKey_.emplace(packed, &result);
    bySource_.emplace(std::move(source), std::move(program));
    return result;
}
