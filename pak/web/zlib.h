// The one zlib call the archive reader makes, for the web build (no zlib there): a
// one-shot zlib-stream inflate on stb_image's inflater (pak/InflateWeb.cpp).
#pragma once

typedef unsigned char Bytef;
typedef unsigned long uLong;
typedef unsigned long uLongf;

#define Z_OK 0
#define Z_BUF_ERROR (-5)
#define Z_DATA_ERROR (-3)

// Inflates the zlib stream source (sourceLen bytes) into dest (capacity *destLen);
// *destLen becomes the count produced. Z_DATA_ERROR for a broken stream or one whose
// output does not fit.
int uncompress(Bytef* dest, uLongf* destLen, const Bytef* source, uLong sourceLen);
