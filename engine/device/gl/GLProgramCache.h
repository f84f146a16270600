// Compiled GLSL programs of the emulated pipeline, found by PipelineKey, with uniform locations (internal).
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>
#include "engine/device/gl/GLError.h"
#include "engine/device/gl/GLShaderGen.h"
#include "engine/device/gl/GLStateCache.h"

// The value one uniform of one program last received, so an equal value is not sent again
// (a program keeps its uniforms while others are bound). Compared bit for bit.
class GLUniformValue {
public:
    // True when values differ from the last ones (or none were sent); keeps them.
    bool Changes(const float* values, size_t count);
    void Forget() { last_.clear(); }

private:
    std::vector<float> last_;
};

struct GLProgram {
    GLuint id = 0;
    PipelineKey key;  // the first key that asked for it (keys sharing it generate the same code)
    // The device's uniform generation this program last received (0: never).
    uint64_t uniformGeneration = 0;
    GLint worldView = -1, projection = -1, pixelOffset = -1, normalMatrix = -1;
    GLint lightPosition = -1, lightColor = -1, lightRange = -1;
    GLint materialAmbient = -1, materialEmissive = -1, ambient = -1;
    GLint fogColor = -1, fogParams = -1;
    // What each uniform above last received.
    struct Sent {
        GLUniformValue worldView, projection, pixelOffset, normalMatrix;
        GLUniformValue lightPosition, lightColor, lightRange;
        GLUniformValue materialAmbient, materialEmissive, ambient;
        GLUniformValue fogColor, fogParams;
    } sent;

    ~GLProgram();
};

// Compiles vertex and fragment source into a program; a compile or link failure is
// fatal with GL's log (the sources are generated, so this means a broken driver).
GLuint BuildGLProgram(const char* vertexSource, const char* fragmentSource, const char* what);

class GLProgramCache {
public:
    // The program for key, built on first use (binding it through state). Keys whose
    // generated code is the same share one program: every program costs the driver
    // memory and a compile, and many keys differ only in settings the code ignores.
    GLProgram& Get(const PipelineKey& key, GLStateCache& state);
    // Programs built (distinct code), and keys seen.
    size_t GetSize() const { return bySource_.size(); }
    size_t GetKeyCount() const { return byKey_.size(); }
    void Clear()
    {
        byKey_.clear();
        bySource_.clear();
    }

private:
    std::unordered_map<uint64_t, GLProgram*> byKey_;
    std::unordered_map<std::string, std::unique_ptr<GLProgram>> bySource_;  // vertex + fragment code
};
