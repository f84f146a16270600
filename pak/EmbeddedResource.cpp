// Named byte blocks linked into the executable, looked up without regard to case.
#include "pak/EmbeddedResource.h"
#include <map>
#include <string>
#include "pak/PakFormat.h"

struct EmbeddedBlock {
    const uint8_t* data;
    size_t size;
};

static std::map<std::string, EmbeddedBlock>& Resources()
{
    static std::map<std::string, EmbeddedBlock> resources;
    return resources;
}

void RegisterEmbeddedResource(const char* name, const uint8_t* data, size_t size)
{
    if (name == nullptr)
        return;
    Resources()[PakLowerCase(name)] = EmbeddedBlock{data, size};
}

void UnregisterEmbeddedResource(const char* name)
{
    if (name != nullptr)
        Resources().erase(PakLowerCase(name));
}

bool FindEmbeddedResource(const char* name, const uint8_t*& data, size_t& size)
{
    if (name == nullptr)
        return false;
    auto found = Resources().find(PakLowerCase(name));
    if (found == Resources().end())
        return false;
    data = found->second.data;
    size = found->second.size;
    return true;
}
