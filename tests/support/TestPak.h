// Test helper: packs named byte blocks into an embedded archive and installs it as the process archive.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>
#include "pak/PakFile.h"

// Archive bytes for (stored name, contents) pairs, in order, made by the archive writer.
std::vector<uint8_t> MakePakBytes(const std::vector<std::pair<std::string, std::string>>& files);

// Registers archive bytes as an embedded resource, opens a PakFile on it and makes it the
// process-wide archive; the destructor restores the previous archive and drops the resource.
class ScopedTestPak {
public:
    explicit ScopedTestPak(const std::vector<std::pair<std::string, std::string>>& files,
                           const std::string& resourceName = "TESTDATA.PAK");
    ScopedTestPak(std::vector<uint8_t> bytes, const std::string& resourceName);
    ~ScopedTestPak();
    ScopedTestPak(const ScopedTestPak&) = delete;
    ScopedTestPak& operator=(const ScopedTestPak&) = delete;

    PakFile& Pak() { return pak_; }
    bool IsOpen() const { return pak_.IsOpen(); }

private:
    void Install();

    std::vector<uint8_t> bytes_;
    std::string resourceName_;
    PakFile pak_;
    Archive* previous_ = nullptr;
};
