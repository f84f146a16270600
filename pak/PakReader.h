// Short-lived source of archive bytes: embedded bytes found by name, else a disk file.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

class PakReader {
public:
    PakReader() = default;
    ~PakReader();
    PakReader(const PakReader&) = delete;
    PakReader& operator=(const PakReader&) = delete;

    // The resource name is the part after the last backslash; embedded bytes of that
    // name (compared without case) win over a file of the path.
    bool Open(const std::string& path);
    uint32_t Read(void* destination, uint32_t count);
    // origin 0/1/2 as fseek; returns the new position (memory mode) or fseek's result.
    long Seek(long offset, int origin);
    bool IsMemory() const { return memory_; }
    // Total size of the source (memory size, or the file's length).
    uint64_t Size() const;

private:
    bool memory_ = false;
    FILE* file_ = nullptr;
    const uint8_t* base_ = nullptr;
    uint64_t size_ = 0;
    uint64_t position_ = 0;
    std::string name_;
};
