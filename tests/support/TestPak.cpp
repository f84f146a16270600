// Test helper: packs named byte blocks into an embedded archive and installs it as the process archive.
#include "support/TestPak.h"
#include <stdexcept>
#include "pak/EmbeddedResource.h"
#include "tools/pakwriter/PakWriter.h"

std::vector<uint8_t> MakePakBytes(const std::vector<std::pair<std::string, std::string>>& files)
{
    std::vector<PakSource> sources;
    for (const auto& [name, contents] : files) {
        PakSource source;
        source.name = name;
        source.data.assign(contents.begin(), contents.end());
        sources.push_back(std::move(source));
    }
    std::vector<uint8_t> bytes;
    std::string error;
    if (!BuildPak(sources, bytes, error))
        throw std::runtime_error("MakePakBytes: " + error);
    return bytes;
}

ScopedTestPak::ScopedTestPak(const std::vector<std::pair<std::string, std::string>>& files,
                             const std::string& resourceName)
    : bytes_(MakePakBytes(files)), resourceName_(resourceName)
{
    Install();
}

ScopedTestPak::ScopedTestPak(std::vector<uint8_t> bytes, const std::string& resourceName)
    : bytes_(std::move(bytes)), resourceName_(resourceName)
{
    Install();
}

void ScopedTestPak::Install()
{
    RegisterEmbeddedResource(resourceName_.c_str(), bytes_.data(), bytes_.size());
    pak_.Open(resourceName_);
    previous_ = GetArchive();
    SetArchive(&pak_);
}

ScopedTestPak::~ScopedTestPak()
{
    SetArchive(previous_);
    UnregisterEmbeddedResource(resourceName_.c_str());
}
