// MemoryArchive: files held in memory as the process-wide archive, for tests and fuzz targets.
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include "engine/core/Archive.h"

// Files held in memory and installed as the process-wide archive while the object lives, so
// every reader takes the test's bytes through the library's File like a real data file.
class MemoryArchive : public Archive {
public:
    MemoryArchive();
    ~MemoryArchive() override;
    MemoryArchive(const MemoryArchive&) = delete;
    MemoryArchive& operator=(const MemoryArchive&) = delete;

    void Add(const std::string& name, std::string bytes);
    void Add(const std::string& name, const uint8_t* data, size_t size);
    // Any other name ending in extension (lower case, with the point) reads as bytes, so
    // the names a fuzzed file invents still lead to a decodable image.
    void AddFallback(const std::string& extension, std::string bytes);

    bool IsOpen() const override { return true; }
    int32_t GetFileSize(const std::string& name) const override;
    bool ReadFile(const std::string& name, void* buffer) const override;

private:
    const std::string* Find(const std::string& name) const;

    std::map<std::string, std::string> files_;      // lower-cased name -> bytes
    std::map<std::string, std::string> fallbacks_;  // extension -> bytes
    Archive* previous_ = nullptr;
};

// The contents of a file of the source tree, path relative to its root ("" when missing).
std::string SourceFile(const char* path);
