// The production's data folder as the tests read it: whole files, and every file under its own name.
#pragma once
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

inline const std::filesystem::path kProductionData = std::filesystem::path(STARFALL_SOURCE_DIR) / "data";

inline std::string ReadWholeFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every data file, stored under its own (lower-case) name as the build packs them.
inline std::vector<std::pair<std::string, std::string>> ProductionDataFiles()
{
    std::vector<std::pair<std::string, std::string>> files;
    for (const auto& entry : std::filesystem::directory_iterator(kProductionData))
        if (entry.is_regular_file())
            files.emplace_back(entry.path().filename().string(), ReadWholeFile(entry.path()));
    return files;
}
