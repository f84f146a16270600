// Archive: the packed data File asks before the folders; the application installs the process-wide one.
#pragma once
#include <cstdint>
#include <string>

class Archive {
public:
    virtual ~Archive() = default;
    virtual bool IsOpen() const = 0;
    // Data size of the entry the name finds, or -1 when there is none.
    virtual int32_t GetFileSize(const std::string& name) const = 0;
    // Unpacks that entry into buffer (at least GetFileSize bytes); true only when complete.
    virtual bool ReadFile(const std::string& name, void* buffer) const = 0;
};

// The process-wide archive File reads from (nullptr: folders only).
Archive* GetArchive();
void SetArchive(Archive* archive);
