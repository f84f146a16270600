// One-shot zlib inflate for the web build's archive reader, on stb_image's inflater.
#include "zlib.h"
#include <climits>
#define STBI_NO_STDIO
#include <stb_image.h>

int uncompress(Bytef* dest, uLongf* destLen, const Bytef* source, uLong sourceLen)
{
    if (*destLen > INT_MAX || sourceLen > INT_MAX)
        return Z_BUF_ERROR;
    const int produced = stbi_zlib_decode_buffer(reinterpret_cast<char*>(dest), static_cast<int>(*destLen),
                                                 reinterpret_cast<const char*>(source),
                                                 static_cast<int>(sourceLen));
    if (produced < 0) {
        *destLen = 0;
        return Z_DATA_ERROR;
    }
    *destLen = static_cast<uLongf>(produced);
    return Z_OK;
}
