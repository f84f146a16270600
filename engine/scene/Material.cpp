// Material textures: one device texture per colour map, with the "alpha" map that follows it.
#include "engine/scene/Material.h"
#include "engine/core/File.h"
#include "engine/core/FilePath.h"
#include "engine/device/RenderDevice.h"
#include "engine/device/Texture.h"
#include "engine/scene/NameRules.h"

std::string ResolveTextureName(const std::string& name)
{
    File file;
    if (file.Open(name.c_str()))
        return name;
    return StripDirectory(name.c_str());
}

Material::~Material()
{
    ReleaseTextures();
}

void Material::LoadTextures()
{
    ReleaseTextures();
    for (size_t i = 0; i < textureNames.size(); ++i) {
        if (IsAlphaTextureName(textureNames[i]))
            continue;
        Texture* texture = device_.CreateTexture();
        textures.push_back(texture);  // owned from here on, even when loading fails
        if (i + 1 < textureNames.size() && IsAlphaTextureName(textureNames[i + 1]))
            texture->SetAlphaMap(ResolveTextureName(textureNames[i + 1]).c_str(), 255);
        texture->Load(ResolveTextureName(textureNames[i]).c_str(), false);
    }
}

void Material::ReleaseTextures()
{
    for (Texture* texture : textures)
        device_.DestroyTexture(texture);
    textures.clear();
}
