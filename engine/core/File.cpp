// Library file access: archive first, then the search folders on disk; records every name opened.
#include "engine/core/File.h"
#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <map>
#include <mutex>
#include <strings.h>
#include <sys/stat.h>
#include "engine/core/Archive.h"
#include "engine/core/Interrupt.h"

static Archive* g_archive = nullptr;

Archive* GetArchive()
{
    return g_archive;
}

void SetArchive(Archive* archive)
{
    g_archive = archive;
}

// Name as requested -> path on disk it was read from (empty: from the archive).
static std::map<std::string, std::string>& UsedFiles()
{
    static std::map<std::string, std::string> usedFiles;
    return usedFiles;
}

// Files are opened on image-decoding workers too.
static std::mutex& UsedFilesLock()
{
    static std::mutex lock;
    return lock;
}

static void RegisterUsedFile(const std::string& name, const std::string& diskPath)
{
    std::lock_guard<std::mutex> guard(UsedFilesLock());
    UsedFiles()[name] = diskPath;
}

static std::string& DataFolder()
{
    static std::string folder;
    return folder;
}

void SetDataFolder(const std::string& folder)
{
    DataFolder() = folder;
}

const std::string& GetDataFolder()
{
    return DataFolder();
}

// Splits a relative or absolute path into its non-empty components.
static std::vector<std::string> PathComponents(const std::string& path)
{
    std::vector<std::string> components;
    size_t start = 0;
    while (start < path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        if (end > start)
            components.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return components;
}

// Tries every spelling on disk of components[index..] below base: the exact one first,
// then the case-insensitive matches in byte order (two folders may differ only in case).
static bool ResolveFrom(const std::string& base, const std::vector<std::string>& components, size_t index,
                        std::string& resolved)
{
    if (index == components.size()) {
        resolved = base;
        return true;
    }
    const std::string& component = components[index];
    std::string prefix = base.empty() ? "" : base == "/" ? "/" : base + "/";
    std::vector<std::string> candidates{component};
    if (component != "." && component != "..") {
        if (DIR* listing = opendir(base.empty() ? "." : base.c_str())) {
            std::vector<std::string> others;
            while (dirent* item = readdir(listing))
                if (strcasecmp(item->d_name, component.c_str()) == 0 && component != item->d_name)
                    others.push_back(item->d_name);
            closedir(listing);
            std::sort(others.begin(), others.end());
            candidates.insert(candidates.end(), others.begin(), others.end());
        }
    }
    for (const std::string& candidate : candidates) {
        std::string path = prefix + candidate;
        struct stat info {};
        if (stat(path.c_str(), &info) != 0)
            continue;
        bool last = index + 1 == components.size();
        if (last ? S_ISREG(info.st_mode) : S_ISDIR(info.st_mode)) {
            if (ResolveFrom(path, components, index + 1, resolved))
                return true;
        }
    }
    return false;
}

// Finds a regular file on disk whose path differs only in case from path (data written
// for a case-insensitive file system names files in any case).
static bool ResolveWithoutCase(const std::string& path, std::string& resolved)
{
    std::vector<std::string> components = PathComponents(path);
    if (components.empty())
        return false;
    return ResolveFrom(!path.empty() && path[0] == '/' ? "/" : "", components, 0, resolved);
}

// Opens a regular file for reading; directories and devices are refused.
static FILE* OpenRegularFile(const std::string& path)
{
    FILE* stream = std::fopen(path.c_str(), "rb");
    if (stream == nullptr)
        return nullptr;
    struct stat info {};
    if (fstat(fileno(stream), &info) != 0 || !S_ISREG(info.st_mode)) {
        std::fclose(stream);
        return nullptr;
    }
    return stream;
}

File::~File()
{
    if (stream_ != nullptr)
        std::fclose(stream_);
}

bool File::Open(const char* name)
{
    // Loading reads file after file; a stop request must not wait for all of them.
    ThrowIfInterrupted();
    if (stream_ != nullptr || name == nullptr || name[0] == '\0')
        return false;
    name_ = name;
    inMemory_ = false;
    position_ = 0;
    buffer_.clear();
    size_ = 0;

    const Archive* pak = GetArchive();
    if (pak != nullptr && pak->IsOpen()) {
        int32_t size = pak->GetFileSize(name_);
        if (size >= 0) {
            // Found in the archive: its answer is final, the folders are not tried.
            buffer_.resize(static_cast<size_t>(size));
            RegisterUsedFile(name_, "");
            if (!pak->ReadFile(name_, buffer_.data())) {
                buffer_.clear();
                return false;
            }
            size_ = static_cast<uint32_t>(size);
            inMemory_ = true;
            return true;
        }
    }

    static const char* const folders[] = {"", "GFX\\", "OLDGFX\\", "DATA\\"};
    for (const char* folder : folders) {
        std::string path = std::string(folder) + name_;
        for (char& c : path)
            if (c == '\\')
                c = '/';
        if (!DataFolder().empty() && path[0] != '/')
            path = DataFolder() + "/" + path;
        FILE* stream = OpenRegularFile(path);
        std::string resolved;
        if (stream == nullptr && ResolveWithoutCase(path, resolved)) {
            stream = OpenRegularFile(resolved);
            path = resolved;
        }
        if (stream != nullptr) {
            stream_ = stream;
            RegisterUsedFile(name_, path);
            return true;
        }
    }
    return false;
}

uint32_t File::Read(void* destination, uint32_t length)
{
    if (stream_ != nullptr)
        return static_cast<uint32_t>(std::fread(destination, 1, length, stream_));
    if (!inMemory_ || position_ >= size_)
        return 0;
    if (length > size_ - position_)
        length = size_ - position_;
    std::memcpy(destination, buffer_.data() + position_, length);
    position_ += length;
    return length;
}

long File::Seek(long offset, int origin)
{
    if (stream_ != nullptr)
        return std::fseek(stream_, offset, origin); // 0/1/2 are SEEK_SET/CUR/END
    if (!inMemory_)
        return 0;
    // Not clamped: a position past the end makes the next Read return 0.
    switch (origin) {
    case 0: position_ = static_cast<uint32_t>(offset); break;
    case 1: position_ += static_cast<uint32_t>(offset); break;
    case 2: position_ = size_ + static_cast<uint32_t>(offset); break;
    default: return 0;
    }
    return static_cast<long>(position_);
}

long File::Tell() const
{
    if (stream_ != nullptr)
        return std::ftell(stream_);
    return static_cast<long>(position_);
}

const char* File::GetName() const
{
    return name_.c_str();
}

int File::ReadLine(std::string& text, int maximum)
{
    text.clear();
    int taken = 0;
    unsigned char byte = 0;
    while (taken < maximum && Read(&byte, 1) == 1) {
        if (byte == '\n')
            break;
        text.push_back(static_cast<char>(byte));
        ++taken;
    }
    // Lines end with CR LF: the last character is the CR, whatever it really is.
    if (!text.empty())
        text.pop_back();
    return taken;
}

int File::ReadLine(char* text, int maximum)
{
    if (text == nullptr || maximum <= 0)
        return 0;
    std::string line;
    int taken = ReadLine(line, maximum - 1);
    std::memcpy(text, line.data(), line.size());
    text[line.size()] = '\0';
    return taken;
}

std::vector<uint8_t> File::ReadAll()
{
    std::vector<uint8_t> contents;
    if (inMemory_) {
        if (position_ < size_)
            contents.assign(buffer_.begin() + position_, buffer_.end());
        position_ = size_;
        return contents;
    }
    if (stream_ == nullptr)
        return contents;
    uint8_t chunk[65536];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof(chunk), stream_)) > 0)
        contents.insert(contents.end(), chunk, chunk + got);
    return contents;
}

bool WriteFileList(const char* outputName)
{
    if (outputName == nullptr)
        return false;
    FILE* output = std::fopen(outputName, "wb");
    if (output == nullptr)
        return false;
    bool ok = true;
    for (const std::string& used : GetUsedFiles())
        ok = std::fprintf(output, "%s\n", used.c_str()) >= 0 && ok;
    return std::fclose(output) == 0 && ok;
}

std::vector<std::pair<std::string, std::string>> GetUsedFilePaths()
{
    std::lock_guard<std::mutex> guard(UsedFilesLock());
    return {UsedFiles().begin(), UsedFiles().end()};
}

std::vector<std::string> GetUsedFiles()
{
    std::lock_guard<std::mutex> guard(UsedFilesLock());
    std::vector<std::string> names;
    for (const auto& used : UsedFiles())
        names.push_back(used.first);
    return names;
}

void ClearUsedFilesForTesting()
{
    std::lock_guard<std::mutex> guard(UsedFilesLock());
    UsedFiles().clear();
}
