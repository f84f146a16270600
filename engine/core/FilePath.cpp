// Helpers for data file names: the extension and the name without its folders.
#include "engine/core/FilePath.h"
#include <cstring>

std::string UpperExtension(const char* fileName)
{
    const char* dot = std::strrchr(fileName, '.');
    std::string ext = dot ? dot + 1 : "";
    for (char& c : ext)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return ext;
}

std::string StripDirectory(const char* fileName)
{
    const char* back = std::strrchr(fileName, '\\');
    const char* slash = std::strrchr(fileName, '/');
    const char* last = back > slash ? back : slash;
    return last ? last + 1 : fileName;
}
