// Archive listing and extraction on top of the engine's own reader, so both see the same directory.
#include "tools/pakwriter/PakContents.h"
#include <cstdio>
#include <fstream>
#include <set>
#include <vector>
#include "pak/PakFile.h"

namespace fs = std::filesystem;

bool EntryPathBelow(const std::string& name, fs::path& relative, std::string& reason)
{
    relative.clear();
    if (name.empty()) {
        reason = "an empty name";
        return false;
    }
    if (name[0] == '/' || name[0] == '\\') {
        reason = "an absolute path";
        return false;
    }
    if (name.size() >= 2 && name[1] == ':') {
        reason = "a drive letter";
        return false;
    }
    std::string part;
    auto take = [&]() {
        if (part == "..")
            return false;
        if (!part.empty() && part != ".")
            relative /= part;
        part.clear();
        return true;
    };
    for (char c : name) {
        if (c != '/' && c != '\\') {
            part += c;
        } else if (!take()) {
            reason = "a \"..\" part";
            return false;
        }
    }
    if (!take()) {
        reason = "a \"..\" part";
        return false;
    }
    if (relative.empty()) {
        reason = "no file name";
        return false;
    }
    return true;
}

static bool OpenArchive(PakFile& pak, const std::string& archive, std::string& error)
{
    try {
        if (pak.Open(archive))
            return true;
        error = "[" + archive + "] is missing or not an archive (wrong magic or version, or a damaged directory)";
    } catch (const std::exception& failure) {
        error = "[" + archive + "] has a damaged entry name (" + failure.what() + ")";
    }
    return false;
}

bool ListPak(const std::string& archive, std::ostream& out, std::string& error)
{
    PakFile pak;
    if (!OpenArchive(pak, archive, error))
        return false;
    uint64_t packed = 0, unpacked = 0;
    char line[64];
    out << "    packed   unpacked  name\n";
    for (const PakFile::Entry& entry : pak.GetEntries()) {
        std::snprintf(line, sizeof line, "%10u %10u  ", entry.packedSize, entry.dataSize);
        out << line << entry.name << (entry.readable ? "" : "  (unreadable: sizes out of range)") << '\n';
        packed += entry.packedSize;
        unpacked += entry.dataSize;
    }
    out << pak.GetEntryCount() << (pak.GetEntryCount() == 1 ? " entry, " : " entries, ") << packed
        << " bytes packed, " << unpacked << " bytes unpacked\n";
    return true;
}

// Whether an existing part of folder/relative (below folder) is a symbolic link.
static bool PassesThroughLink(const fs::path& folder, const fs::path& relative)
{
    fs::path walk = folder;
    for (const fs::path& part : relative) {
        walk /= part;
        std::error_code code;
        if (fs::is_symlink(fs::symlink_status(walk, code)))
            return true;
    }
    return false;
}

bool ExtractPak(const std::string& archive, const std::string& folder, std::ostream& out, std::string& error)
{
    PakFile pak;
    if (!OpenArchive(pak, archive, error))
        return false;
    const auto& entries = pak.GetEntries();
    std::vector<fs::path> paths(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        std::string reason;
        if (!EntryPathBelow(entries[i].name, paths[i], reason)) {
            error = "entry [" + entries[i].name + "] would land outside [" + folder + "] (" + reason +
                    "); nothing extracted";
            return false;
        }
    }

    const fs::path root(folder);
    std::error_code code;
    fs::create_directories(root, code);
    if (code) {
        error = "Cannot create [" + folder + "]: " + code.message();
        return false;
    }
    std::set<std::string> written;
    std::vector<std::string> failures;
    std::vector<char> data;
    for (size_t i = 0; i < entries.size(); ++i) {
        const PakFile::Entry& entry = entries[i];
        const fs::path target = root / paths[i];
        if (!written.insert(paths[i].generic_string()).second) {
            out << "skipped " << entry.name << ": an earlier entry has the same place\n";
            continue;
        }
        if (PassesThroughLink(root, paths[i])) {
            failures.push_back("[" + entry.name + "] would be written through a symbolic link");
            continue;
        }
        data.assign(entry.dataSize, '\0');
        if (!pak.ReadEntry(entry, data.data())) {
            failures.push_back("[" + entry.name + "] does not unpack");
            continue;
        }
        fs::create_directories(target.parent_path(), code);
        std::ofstream file(target, std::ios::binary | std::ios::trunc);
        file.write(data.data(), static_cast<std::streamsize>(data.size()));
        file.close();
        if (code || file.fail()) {
            failures.push_back("Cannot write [" + target.string() + "]");
            continue;
        }
        out << target.string() << '\n';
    }
    if (failures.empty())
        return true;
    error.clear();
    for (const std::string& failure : failures)
        error += (error.empty() ? "" : "; ") + failure;
    return false;
}
