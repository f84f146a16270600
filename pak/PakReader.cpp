// Short-lived source of archive bytes: embedded bytes found by name, else a disk file.
#include "pak/PakReader.h"
#include <cstring>
#include <sys/stat.h>
#include "pak/EmbeddedResource.h"

PakReader::~PakReader()
{
    if (file_ != nullptr)
        std::fclose(file_);
}

bool PakReader::Open(const std::string& path)
{
    if (path.empty() || memory_ || file_ != nullptr)
        return false;
    // The resource name is the last path component, whichever separator is used.
    size_t slash = path.find_last_of("\\/");
    name_ = slash == std::string::npos ? path : path.substr(slash + 1);

    const uint8_t* data = nullptr;
    size_t size = 0;
    if (FindEmbeddedResource(name_.c_str(), data, size)) {
        memory_ = true;
        base_ = data;
        size_ = size;
        position_ = 0;
        return true;
    }

    std::string diskPath = path;
    for (char& c : diskPath)
        if (c == '\\')
            c = '/';
    FILE* file = std::fopen(diskPath.c_str(), "rb");
    if (file == nullptr)
        return false;
    struct stat info {};
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) {
        std::fclose(file);
        return false;
    }
    file_ = file;
    size_ = static_cast<uint64_t>(info.st_size);
    return true;
}

uint32_t PakReader::Read(void* destination, uint32_t count)
{
    if (file_ != nullptr)
        return static_cast<uint32_t>(std::fread(destination, 1, count, file_));
    // A zero count may come with no destination at all (an empty buffer's data()).
    if (!memory_ || position_ >= size_ || count == 0)
        return 0;
    // Never past the embedded bytes: a read that would run over returns what remains.
    uint64_t available = size_ - position_;
    uint32_t length = available < count ? static_cast<uint32_t>(available) : count;
    std::memcpy(destination, base_ + position_, length);
    position_ += length;
    return length;
}

long PakReader::Seek(long offset, int origin)
{
    if (file_ != nullptr)
        return std::fseek(file_, offset, origin); // 0/1/2 are SEEK_SET/CUR/END
    if (!memory_)
        return 0;
    // Unsigned arithmetic: a position before the start wraps far past the end and reads 0.
    switch (origin) {
    case 0: position_ = static_cast<uint64_t>(offset); break;
    case 1: position_ += static_cast<uint64_t>(offset); break;
    case 2: position_ = size_ + static_cast<uint64_t>(offset); break;
    default: return 0;
    }
    return static_cast<long>(position_);
}

uint64_t PakReader::Size() const
{
    return size_;
}
