// The packed archive: directory of zlib-packed entries, looked up by lower-cased name.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "engine/core/Archive.h"

class PakFile : public Archive {
public:
    struct Entry {
        std::string name;      // as stored, without the NUL
        uint32_t dataSize = 0;
        uint32_t packedSize = 0;
        uint32_t reserved = 0;
        uint32_t dataOffset = 0;
        // False when the sizes cannot be right (packed data past the archive's end,
        // unpacked size above the caps): such an entry never reads and reports size 0.
        bool readable = true;
    };

    // Reads header and directory. False for a missing source, wrong magic or version,
    // or a malformed directory (truncated, name length 0 or above PakMaxNameLength);
    // a name that does not unpack to its length raises the application error "Error".
    bool Open(const std::string& name);
    // Data size of the first entry named like the lower-cased request, or -1.
    int32_t GetFileSize(const std::string& name) const override;
    // Unpacks that entry into buffer (at least GetFileSize bytes). True only when the
    // entry unpacks to exactly its data size.
    bool ReadFile(const std::string& name, void* buffer) const override;
    // Unpacks one entry of GetEntries() (for tools that walk every entry, duplicates too).
    bool ReadEntry(const Entry& entry, void* buffer) const;

    bool IsOpen() const override { return open_; }
    size_t GetEntryCount() const { return entries_.size(); }
    const std::vector<Entry>& GetEntries() const { return entries_; }
    const std::string& GetBasePath() const { return basePath_; }

private:
    const Entry* Find(const std::string& name) const;

    bool open_ = false;
    std::vector<Entry> entries_;
    std::string basePath_;
};
