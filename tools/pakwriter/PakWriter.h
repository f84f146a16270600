// Archive writer: collects files and packs them into the archive format the engine reads.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct PakWriterOptions {
    // Store paths below an input folder ("gfx\\logo.png") instead of bare file names.
    bool keepFolders = false;
    // Accept two files that map to the same stored name (the first one wins at lookup).
    bool allowDuplicates = false;
};

// One file to pack: the stored name (lower-cased, backslash-separated) and its bytes.
struct PakSource {
    std::string name;
    std::vector<uint8_t> data;
    std::string origin;   // where it came from, for messages
};

// Collects the files of inputs: a folder is walked recursively (hidden entries skipped,
// files in byte order of their relative path, so the result never depends on the file
// system); a file is taken as it is. Fails with a message for a missing input, an
// unreadable or oversized file, or a stored name used twice (unless allowed).
bool CollectPakSources(const std::vector<std::string>& inputs, const PakWriterOptions& options,
                       std::vector<PakSource>& sources, std::string& error);

// Packs sources, in order, into archive bytes: version 0x0200, one zlib stream per name
// and per entry, data areas right after the directory in directory order.
bool BuildPak(const std::vector<PakSource>& sources, std::vector<uint8_t>& archive, std::string& error);

// Writes bytes to a file (replaced as a whole).
bool WritePakFile(const std::string& path, const std::vector<uint8_t>& archive, std::string& error);
