// Archive format constants and the name lower-casing shared by the reader and the writer.
#pragma once
#include <cstdint>
#include <string>

constexpr char PakMagic[3] = {'P', 'A', 'K'};
constexpr uint16_t PakVersion = 0x0200;
// Header: magic, version, entry count.
constexpr uint32_t PakHeaderSize = 9;

// Limits a sound archive never reaches; anything beyond is treated as malformed.
constexpr uint32_t PakMaxNameLength = 1024;              // including the NUL
constexpr uint32_t PakMaxDataSize = 64u * 1024u * 1024u; // unpacked bytes of one entry
constexpr uint32_t PakMaxExpansion = 1032;               // deflate's best ratio

// Lower-cases the ASCII letters only, so lookups never depend on the locale.
inline std::string PakLowerCase(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}
