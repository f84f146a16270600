// Material: a named set of texture file names and colours from the scene file, and the textures made from them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "engine/device/Matrix.h"

class RenderDevice;
class Texture;

class Material {
public:
    explicit Material(RenderDevice& device) : device_(device) {}
    // Gives the textures back to the device.
    ~Material();
    Material(const Material&) = delete;
    Material& operator=(const Material&) = delete;

    // One texture per name that does not contain "alpha" (any case), in order; a name
    // followed by an "alpha" name gets that file as its alpha channel. A name that cannot
    // be opened as given (an exporter's absolute path) is tried as its bare file name.
    void LoadTextures();
    void ReleaseTextures();
    // The n-th loaded texture or nullptr.
    Texture* GetTexture(size_t n) const { return n < textures.size() ? textures[n] : nullptr; }

    std::string name;
    std::vector<std::string> textureNames;
    Vector3 colors[3];
    uint8_t flag = 0;
    uint32_t mode = 0;
    // Stage 0 draws with the first, an ".EnvMap" mesh with the second on stage 1. Owned;
    // a modifier may swap an entry for a while and put it back.
    std::vector<Texture*> textures;

private:
    RenderDevice& device_;
};

// name as given when File can open it, else the text after its last backslash or slash.
std::string ResolveTextureName(const std::string& name);
