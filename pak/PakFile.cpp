// The packed archive: reads the directory once and unpacks single entries on demand.
#include "pak/PakFile.h"
#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <zlib.h>
#include "engine/core/Fatal.h"
#include "pak/PakFormat.h"
#include "pak/PakReader.h"

static uint32_t LittleEndian32(const uint8_t* bytes)
{
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// Reads the directory strictly in sequence, so the bytes left are always known.
class DirectoryCursor {
public:
    explicit DirectoryCursor(PakReader& reader) : reader_(reader), left_(reader.Size()) {}

    bool Take(void* destination, uint32_t count)
    {
        if (count > left_ || reader_.Read(destination, count) != count)
            return false;
        left_ -= count;
        return true;
    }
    bool Take32(uint32_t& value)
    {
        uint8_t bytes[4];
        if (!Take(bytes, 4))
            return false;
        value = LittleEndian32(bytes);
        return true;
    }
    uint64_t Left() const { return left_; }

private:
    PakReader& reader_;
    uint64_t left_;
};

static std::string CurrentDirectory()
{
    std::vector<char> buffer(4096);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE || buffer.size() > (1u << 20))
            return ".";
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

bool PakFile::Open(const std::string& name)
{
    open_ = false;
    entries_.clear();

    PakReader reader;
    if (!reader.Open(name))
        return false;
    const uint64_t archiveSize = reader.Size();
    DirectoryCursor cursor(reader);

    uint8_t header[PakHeaderSize];
    if (!cursor.Take(header, PakHeaderSize) || std::memcmp(header, PakMagic, 3) != 0)
        return false;
    uint16_t version = static_cast<uint16_t>(header[3] | header[4] << 8);
    if (version != PakVersion)
        return false;
    uint32_t count = LittleEndian32(header + 5);

    // The count is not trusted for reservations: every entry must be read from real bytes.
    std::vector<Entry> entries;
    std::vector<uint8_t> packedName;
    std::vector<char> plainName;
    for (uint32_t index = 0; index < count; ++index) {
        Entry entry;
        uint32_t nameLength = 0;
        uint32_t packedNameLength = 0;
        if (!cursor.Take32(entry.dataOffset) || !cursor.Take32(nameLength) || !cursor.Take32(packedNameLength))
            return false;
        if (nameLength == 0 || nameLength > PakMaxNameLength || packedNameLength == 0 ||
            packedNameLength > cursor.Left())
            return false;
        packedName.resize(packedNameLength);
        if (!cursor.Take(packedName.data(), packedNameLength))
            return false;
        plainName.assign(nameLength, '\0');
        uLongf produced = nameLength;
        int result = uncompress(reinterpret_cast<Bytef*>(plainName.data()), &produced, packedName.data(),
                                packedNameLength);
        if (result != Z_OK || produced != nameLength)
            RaiseAppError("Error");
        entry.name.assign(plainName.data(), strnlen(plainName.data(), nameLength - 1));
        if (!cursor.Take32(entry.packedSize) || !cursor.Take32(entry.dataSize) || !cursor.Take32(entry.reserved))
            return false;
        entry.readable = static_cast<uint64_t>(entry.dataOffset) + entry.packedSize <= archiveSize &&
                         entry.dataSize <= PakMaxDataSize &&
                         static_cast<uint64_t>(entry.dataSize) <= static_cast<uint64_t>(entry.packedSize) * PakMaxExpansion;
        entries.push_back(std::move(entry));
    }

    entries_ = std::move(entries);
    bool absolute = !name.empty() && (name[0] == '/' || name[0] == '\\');
    basePath_ = absolute ? name : CurrentDirectory() + "/" + name;
    open_ = true;
    return true;
}

const PakFile::Entry* PakFile::Find(const std::string& name) const
{
    std::string wanted = PakLowerCase(name);
    for (const Entry& entry : entries_)
        if (entry.name == wanted)
            return &entry;
    return nullptr;
}

int32_t PakFile::GetFileSize(const std::string& name) const
{
    const Entry* entry = Find(name);
    if (entry == nullptr)
        return -1;
    return entry->readable ? static_cast<int32_t>(entry->dataSize) : 0;
}

bool PakFile::ReadFile(const std::string& name, void* buffer) const
{
    const Entry* entry = Find(name);
    return entry != nullptr && ReadEntry(*entry, buffer);
}

bool PakFile::ReadEntry(const Entry& entry, void* buffer) const
{
    if (!entry.readable)
        return false;
    PakReader reader;
    if (!reader.Open(basePath_))
        return false;
    // Bounded by the archive's size, checked when the directory was read.
    std::vector<uint8_t> packed(entry.packedSize);
    if (reader.Seek(static_cast<long>(entry.dataOffset), 0) < 0 ||
        reader.Read(packed.data(), entry.packedSize) != entry.packedSize)
        return false;
    uLongf produced = entry.dataSize;
    Bytef scratch = 0;
    Bytef* destination = entry.dataSize == 0 ? &scratch : static_cast<Bytef*>(buffer);
    int result = uncompress(destination, &produced, packed.data(), entry.packedSize);
    return result == Z_OK && produced == entry.dataSize;
}
