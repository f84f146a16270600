// MemoryArchive: files held in memory as the process-wide archive, for tests and fuzz targets.
#include "support/MemoryArchive.h"
#include <cstring>
#include <fstream>
#include <iterator>
#include "pak/PakFormat.h"

MemoryArchive::MemoryArchive() : previous_(GetArchive())
{
    SetArchive(this);
}

MemoryArchive::~MemoryArchive()
{
    SetArchive(previous_);
}

void MemoryArchive::Add(const std::string& name, std::string bytes)
{
    files_[PakLowerCase(name)] = std::move(bytes);
}

void MemoryArchive::Add(const std::string& name, const uint8_t* data, size_t size)
{
    Add(name, std::string(reinterpret_cast<const char*>(data), size));
}

void MemoryArchive::AddFallback(const std::string& extension, std::string bytes)
{
    fallbacks_[extension] = std::move(bytes);
}

const std::string* MemoryArchive::Find(const std::string& name) const
{
    const std::string lower = PakLowerCase(name);
    auto found = files_.find(lower);
    if (found != files_.end())
        return &found->second;
    size_t point = lower.find_last_of('.');
    if (point == std::string::npos)
        return nullptr;
    auto fallback = fallbacks_.find(lower.substr(point));
    return fallback == fallbacks_.end() ? nullptr : &fallback->second;
}

int32_t MemoryArchive::GetFileSize(const std::string& name) const
{
    const std::string* bytes = Find(name);
    return bytes == nullptr ? -1 : static_cast<int32_t>(bytes->size());
}

bool MemoryArchive::ReadFile(const std::string& name, void* buffer) const
{
    const std::string* bytes = Find(name);
    if (bytes == nullptr)
        return false;
    if (!bytes->empty())  // an empty file may come with no buffer
        std::memcpy(buffer, bytes->data(), bytes->size());
    return true;
}

std::string SourceFile(const char* path)
{
    std::ifstream in(std::string(STARFALL_SOURCE_DIR) + "/" + path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
