// Archive writer: walks the inputs, lower-cases the names and packs every entry with zlib.
#include "tools/pakwriter/PakWriter.h"
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <zlib.h>
#include "pak/PakFormat.h"

namespace fs = std::filesystem;

static bool ReadWholeFile(const fs::path& path, std::vector<uint8_t>& data, std::string& error)
{
    std::error_code code;
    uintmax_t size = fs::file_size(path, code);
    if (code) {
        error = "Cannot read [" + path.string() + "]: " + code.message();
        return false;
    }
    if (size > PakMaxDataSize) {
        error = "File [" + path.string() + "] is larger than an archive entry may be";
        return false;
    }
    std::ifstream stream(path, std::ios::binary);
    data.resize(static_cast<size_t>(size));
    if (!stream || !stream.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(size))) {
        error = "Cannot read [" + path.string() + "]";
        return false;
    }
    return true;
}

static bool IsHidden(const fs::path& relative)
{
    for (const fs::path& part : relative)
        if (!part.empty() && part.string()[0] == '.')
            return true;
    return false;
}

// The stored name of a file found below a folder (or given directly).
static std::string StoredName(const fs::path& relative, bool keepFolders)
{
    std::string name;
    if (keepFolders) {
        for (const fs::path& part : relative) {
            if (!name.empty())
                name += '\\';
            name += part.string();
        }
    } else {
        name = relative.filename().string();
    }
    return PakLowerCase(name);
}

bool CollectPakSources(const std::vector<std::string>& inputs, const PakWriterOptions& options,
                       std::vector<PakSource>& sources, std::string& error)
{
    sources.clear();
    std::map<std::string, std::string> seen; // stored name -> origin
    auto add = [&](const fs::path& path, const fs::path& relative) {
        PakSource source;
        source.name = StoredName(relative, options.keepFolders);
        source.origin = path.string();
        if (source.name.size() + 1 > PakMaxNameLength) {
            error = "Name of [" + source.origin + "] is too long";
            return false;
        }
        auto [previous, isNew] = seen.emplace(source.name, source.origin);
        if (!isNew && !options.allowDuplicates) {
            error = "[" + source.origin + "] and [" + previous->second + "] would both be stored as [" +
                    source.name + "]";
            return false;
        }
        if (!ReadWholeFile(path, source.data, error))
            return false;
        sources.push_back(std::move(source));
        return true;
    };

    for (const std::string& input : inputs) {
        fs::path root(input);
        std::error_code code;
        fs::file_status status = fs::status(root, code);
        if (code || !fs::exists(status)) {
            error = "No such file or folder [" + input + "]";
            return false;
        }
        if (fs::is_regular_file(status)) {
            if (!add(root, root.filename()))
                return false;
            continue;
        }
        if (!fs::is_directory(status)) {
            error = "[" + input + "] is neither a file nor a folder";
            return false;
        }
        std::vector<fs::path> found;
        fs::recursive_directory_iterator walk(root, fs::directory_options::follow_directory_symlink, code);
        for (; !code && walk != fs::recursive_directory_iterator(); walk.increment(code)) {
            fs::path relative = walk->path().lexically_relative(root);
            if (IsHidden(relative)) {
                if (walk->is_directory())
                    walk.disable_recursion_pending();
                continue;
            }
            if (walk->is_regular_file())
                found.push_back(relative);
        }
        if (code) {
            error = "Cannot walk [" + input + "]: " + code.message();
            return false;
        }
        // Byte order of the generic path: the same archive on every machine.
        std::sort(found.begin(), found.end(),
                  [](const fs::path& a, const fs::path& b) { return a.generic_string() < b.generic_string(); });
        for (const fs::path& relative : found)
            if (!add(root / relative, relative))
                return false;
    }
    return true;
}

static void Put32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

static bool Pack(const uint8_t* data, size_t size, std::vector<uint8_t>& packed)
{
    uLongf length = compressBound(static_cast<uLong>(size));
    packed.resize(length);
    // zlib accepts a null source only for zero bytes with a valid pointer.
    static const uint8_t nothing = 0;
    if (compress2(packed.data(), &length, size == 0 ? &nothing : data, static_cast<uLong>(size), Z_BEST_COMPRESSION) != Z_OK)
        return false;
    packed.resize(length);
    return true;
}

bool BuildPak(const std::vector<PakSource>& sources, std::vector<uint8_t>& archive, std::string& error)
{
    struct Packed {
        std::vector<uint8_t> name;
        std::vector<uint8_t> data;
    };
    std::vector<Packed> packed(sources.size());
    uint64_t directorySize = PakHeaderSize;
    for (size_t i = 0; i < sources.size(); ++i) {
        const PakSource& source = sources[i];
        if (source.name.empty() || source.name.size() + 1 > PakMaxNameLength || source.data.size() > PakMaxDataSize) {
            error = "Entry [" + source.name + "] cannot be stored";
            return false;
        }
        std::string withNul = source.name + '\0';
        if (!Pack(reinterpret_cast<const uint8_t*>(withNul.data()), withNul.size(), packed[i].name) ||
            !Pack(source.data.data(), source.data.size(), packed[i].data)) {
            error = "Cannot pack [" + source.name + "]";
            return false;
        }
        directorySize += 12 + packed[i].name.size() + 12;
    }

    uint64_t offset = directorySize;
    archive.clear();
    uint64_t total = directorySize;
    for (const Packed& entry : packed)
        total += entry.data.size();
    archive.reserve(static_cast<size_t>(total));
    for (char c : PakMagic)
        archive.push_back(static_cast<uint8_t>(c));
    archive.push_back(static_cast<uint8_t>(PakVersion & 0xFF));
    archive.push_back(static_cast<uint8_t>(PakVersion >> 8));
    Put32(archive, static_cast<uint32_t>(sources.size()));
    for (size_t i = 0; i < sources.size(); ++i) {
        if (offset + packed[i].data.size() > UINT32_MAX) {
            error = "The archive would be larger than 4 GiB";
            return false;
        }
        Put32(archive, static_cast<uint32_t>(offset));
        Put32(archive, static_cast<uint32_t>(sources[i].name.size() + 1));
        Put32(archive, static_cast<uint32_t>(packed[i].name.size()));
        archive.insert(archive.end(), packed[i].name.begin(), packed[i].name.end());
        Put32(archive, static_cast<uint32_t>(packed[i].data.size()));
        Put32(archive, static_cast<uint32_t>(sources[i].data.size()));
        Put32(archive, 0);
        offset += packed[i].data.size();
    }
    for (const Packed& entry : packed)
        archive.insert(archive.end(), entry.data.begin(), entry.data.end());
    return true;
}

bool WritePakFile(const std::string& path, const std::vector<uint8_t>& archive, std::string& error)
{
    // Written beside the target and renamed, so a failed run never leaves half an archive.
    // A full disk often shows only when the last buffered bytes are flushed at close, so
    // the close is checked too. On failure the final name is removed as well: an older
    // archive left there would look like the result of this run.
    const std::string temporary = path + ".partial";
    auto fail = [&](const std::string& reason) {
        error = "Cannot write [" + path + "]" + (reason.empty() ? "" : ": " + reason);
        std::remove(temporary.c_str());
        std::remove(path.c_str());
        return false;
    };
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out)
        return fail(std::strerror(errno));
    errno = 0;
    out.write(reinterpret_cast<const char*>(archive.data()), static_cast<std::streamsize>(archive.size()));
    out.close();
    if (out.fail())
        return fail(errno != 0 ? std::strerror(errno) : "");
    std::error_code code;
    fs::rename(temporary, path, code);
    if (code)
        return fail(code.message());
    return true;
}
