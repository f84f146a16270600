// Library file access: opens data files from the packed archive first, then from the folders.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>
#include "engine/core/LibObject.h"

class File : public LibObject {
public:
    File() = default;
    ~File() override;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Archive first, then "", "GFX\", "OLDGFX\", "DATA\" on disk below the data folder
    // (backslashes become "/",
    // and a case-insensitive match of each path component is tried when the exact one
    // is missing). Records the name in the used-file registry on success.
    bool Open(const char* name);
    uint32_t Read(void* destination, uint32_t length);
    // origin 0 = start, 1 = current, 2 = end.
    long Seek(long offset, int origin);
    long Tell() const;
    const char* GetName() const;
    // Reads up to a line feed (not stored), the end, or maximum characters; then drops
    // the last character of a non-empty line (the CR of CR LF). Returns the count taken
    // before that drop. The char version treats maximum as the buffer's size: it takes
    // at most maximum - 1 characters and always terminates the text.
    int ReadLine(char* text, int maximum);
    int ReadLine(std::string& text, int maximum);

    bool IsOpen() const { return inMemory_ || stream_ != nullptr; }
    // Reads the whole remaining contents (convenience for decoders).
    std::vector<uint8_t> ReadAll();

private:
    bool inMemory_ = false;
    uint32_t size_ = 0;
    std::vector<uint8_t> buffer_;
    uint32_t position_ = 0;
    FILE* stream_ = nullptr;
    std::string name_;
};

// The folder on disk the search folders are looked up in; empty (the default) is the
// current directory.
void SetDataFolder(const std::string& folder);
const std::string& GetDataFolder();

// Writes every name ever opened, in byte order, one per line.
bool WriteFileList(const char* outputName);
// The used-file registry's names in order (for tests and tools).
std::vector<std::string> GetUsedFiles();
// Each name opened and the path on disk it was last read from (empty when it came from
// the archive), in the names' order.
std::vector<std::pair<std::string, std::string>> GetUsedFilePaths();
void ClearUsedFilesForTesting();
