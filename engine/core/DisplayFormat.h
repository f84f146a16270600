// DisplayFormat: the display's pixel layout, as image conversion and textures need it.
#pragma once
#include <cstdint>

struct DisplayFormat {
    int bitsPerPixel = 32;
    uint32_t redMask = 0x00FF0000;
};
