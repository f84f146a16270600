// PNG and JPEG decoding through File, display-format conversion, resampling and texture formats.
#include "engine/core/Image.h"
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <utility>
#ifndef STARFALL_WEB  // the web build reads both formats with ImageReadersWeb.cpp
#include <png.h>
#include <jpeglib.h>
#include <jerror.h>
#endif
#include "engine/core/Fatal.h"
#include "engine/core/ImagePrefetch.h"
#include "engine/core/File.h"
#include "engine/core/Log.h"

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

// Refuses sizes whose buffers could not be allocated sanely (sizes come from the file).
static void CheckImageSize(const char* reader, const char* fileName, uint64_t width, uint64_t height)
{
    if (width == 0 || height == 0 || width > kMaxImageEdge || height > kMaxImageEdge ||
        width * height * 4 > kMaxImageBytes)
        ReportFatal("%s : Image [%s] is too large or empty (%llux%llu).", reader, fileName,
                    static_cast<unsigned long long>(width), static_cast<unsigned long long>(height));
}

#ifndef STARFALL_WEB
// ---- PNG -------------------------------------------------------------------------------

namespace {
struct PngContext {
    File* file = nullptr;
    char message[256] = {};
};

enum PngResult { kPngOk, kPngFailed, kPngNotRgb };
}  // namespace

// libpng errors leave through the long jump (never by throwing through libpng's frames);
// the message is reported once the structures are gone.
static void PngErrorHandler(png_structp png, png_const_charp message)
{
    auto* context = static_cast<PngContext*>(png_get_error_ptr(png));
    std::snprintf(context->message, sizeof context->message, "%s", message ? message : "");
    png_longjmp(png, 1);
}

static void PngWarningHandler(png_structp, png_const_charp message)
{
    LogLine("%s", message ? message : "");
}

static void PngReadFromFile(png_structp png, png_bytep data, png_size_t length)
{
    auto* context = static_cast<PngContext*>(png_get_io_ptr(png));
    if (length > 0xFFFFFFFFu || context->file->Read(data, static_cast<uint32_t>(length)) != length)
        png_error(png, "Read Error");
}

// Only trivially destructible locals here: a long jump lands in this frame.
static PngResult PngDecode(png_structp png, png_infop info, const char* fileName, bool pixels,
                           std::vector<uint8_t>* rgb, std::vector<png_bytep>* rows,
                           uint32_t* width, uint32_t* height)
{
    if (setjmp(png_jmpbuf(png)))
        return kPngFailed;
    png_read_info(png, info);
    *width = png_get_image_width(png, info);
    *height = png_get_image_height(png, info);
    if (!pixels)
        return kPngOk;
    CheckImageSize("PngLoad", fileName, *width, *height);

    // Whatever the file holds becomes 8-bit RGB without alpha.
    const int colorType = png_get_color_type(png, info);
    const int bitDepth = png_get_bit_depth(png, info);
    if (colorType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    if (bitDepth == 16)
        png_set_strip_16(png);
    // Alpha is dropped, including the one a palette's transparency chunk adds when the
    // palette is expanded.
    if ((colorType & PNG_COLOR_MASK_ALPHA) ||
        (colorType == PNG_COLOR_TYPE_PALETTE && png_get_valid(png, info, PNG_INFO_tRNS)))
        png_set_strip_alpha(png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const size_t rowBytes = static_cast<size_t>(*width) * 3;
    if (png_get_rowbytes(png, info) != rowBytes || png_get_channels(png, info) != 3)
        return kPngNotRgb;

    rgb->assign(rowBytes * *height, 0);
    rows->resize(*height);
    for (uint32_t y = 0; y < *height; ++y)
        (*rows)[y] = rgb->data() + rowBytes * y;
    png_read_image(png, rows->data());
    return kPngOk;
}

static void PngRun(const char* fileName, bool pixels, std::vector<uint8_t>* rgb, uint32_t& width,
                   uint32_t& height)
{
    File file;
    if (!file.Open(fileName))
        ReportFatal("PngLoad : Cannot open File [%s].", fileName);
    png_byte signature[4] = {};
    const bool complete = file.Read(signature, 4) == 4;
    file.Seek(0, 0);
    if (!complete || png_sig_cmp(signature, 0, 4) != 0)
        ReportFatal("PngLoad : File [%s] is not a valid PNG file.", fileName);

    PngContext context;
    context.file = &file;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &context, PngErrorHandler, PngWarningHandler);
    if (!png)
        ReportFatal("PngLoad : Invalid PNGLibrary Version.");
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        ReportFatal("PngLoad : Error while reading PNG.");
    }
    png_set_read_fn(png, &context, PngReadFromFile);
    // Chunks the decoder has no use for are skipped without being read into memory: libpng
    // allocates as much as a text, profile or unknown chunk's header claims, gigabytes for
    // a file of a few bytes. None of them changes the pixels read here.
    static const png_byte kIgnoredChunks[] = "tEXt\0zTXt\0iTXt\0iCCP\0sPLT\0eXIf\0pCAL\0sCAL";
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kIgnoredChunks, 8);

    std::vector<png_bytep> rows;
    uint32_t w = 0, h = 0;
    PngResult result = kPngFailed;
    try {
        result = PngDecode(png, info, fileName, pixels, rgb, &rows, &w, &h);
    } catch (...) {
        png_destroy_read_struct(&png, &info, nullptr);
        throw;
    }
    png_destroy_read_struct(&png, &info, nullptr);
    if (result == kPngFailed) {
        if (context.message[0])
            ReportFatal("%s", context.message);
        ReportFatal("PngLoad : Error while reading PNG.");
    }
    if (result == kPngNotRgb)
        ReportFatal("PngLoad : Error while reading PNG.");
    width = w;
    height = h;
}

void PngLoad(const char* fileName, uint32_t& width, uint32_t& height)
{
    PngRun(fileName, false, nullptr, width, height);
}

void PngLoad(const char* fileName, std::vector<uint8_t>& rgb, uint32_t& width, uint32_t& height)
{
    PngRun(fileName, true, &rgb, width, height);
}

// ---- JPEG ------------------------------------------------------------------------------

namespace {
struct JpegErrorManager {
    jpeg_error_mgr pub;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

struct JpegFileSource {
    jpeg_source_mgr pub;
    File* file;
    JOCTET buffer[4096];
};
}  // namespace

static void JpegErrorExit(j_common_ptr info)
{
    auto* manager = reinterpret_cast<JpegErrorManager*>(info->err);
    (*info->err->format_message)(info, manager->message);
    longjmp(manager->jump, 1);
}

static void JpegOutputMessage(j_common_ptr info)
{
    char text[JMSG_LENGTH_MAX];
    (*info->err->format_message)(info, text);
    LogLine("%s", text);
}

static void JpegInitSource(j_decompress_ptr) {}
static void JpegTermSource(j_decompress_ptr) {}

static boolean JpegFillInput(j_decompress_ptr info)
{
    auto* source = reinterpret_cast<JpegFileSource*>(info->src);
    uint32_t count = source->file->Read(source->buffer, sizeof source->buffer);
    if (count == 0) {
        // A truncated file ends as if its end marker had been there.
        WARNMS(info, JWRN_JPEG_EOF);
        source->buffer[0] = 0xFF;
        source->buffer[1] = JPEG_EOI;
        count = 2;
    }
    source->pub.next_input_byte = source->buffer;
    source->pub.bytes_in_buffer = count;
    return TRUE;
}

static void JpegSkipInput(j_decompress_ptr info, long count)
{
    auto* source = reinterpret_cast<JpegFileSource*>(info->src);
    if (count <= 0)
        return;
    while (count > static_cast<long>(source->pub.bytes_in_buffer)) {
        count -= static_cast<long>(source->pub.bytes_in_buffer);
        JpegFillInput(info);
    }
    source->pub.next_input_byte += count;
    source->pub.bytes_in_buffer -= static_cast<size_t>(count);
}

namespace {
enum JpegResult { kJpegOk, kJpegFailed, kJpegUnsupported };
}

// Only trivially destructible locals here: a long jump lands in this frame.
static JpegResult JpegDecode(jpeg_decompress_struct* info, JpegErrorManager* errors, const char* fileName,
                             bool pixels, std::vector<uint8_t>* rgb, uint32_t* width, uint32_t* height)
{
    if (setjmp(errors->jump))
        return kJpegFailed;
    jpeg_read_header(info, TRUE);
    *width = info->image_width;
    *height = info->image_height;
    if (!pixels)
        return kJpegOk;
    CheckImageSize("JpegLoad", fileName, *width, *height);
    info->out_color_space = info->jpeg_color_space == JCS_GRAYSCALE ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_start_decompress(info);
    const uint32_t w = info->output_width;
    const int components = info->output_components;
    if ((components != 1 && components != 3) || w != *width || info->output_height != *height)
        return kJpegUnsupported;
    rgb->assign(static_cast<size_t>(w) * *height * 3, 0);
    JSAMPARRAY line = (*info->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(info), JPOOL_IMAGE,
                                                 w * components, 1);
    while (info->output_scanline < info->output_height) {
        const uint32_t y = info->output_scanline;
        if (jpeg_read_scanlines(info, line, 1) != 1)
            return kJpegFailed;
        uint8_t* out = rgb->data() + static_cast<size_t>(y) * w * 3;
        if (components == 3) {
            std::memcpy(out, line[0], static_cast<size_t>(w) * 3);
        } else {
            for (uint32_t x = 0; x < w; ++x)
                out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = line[0][x];
        }
    }
    jpeg_finish_decompress(info);
    return kJpegOk;
}

static void JpegRun(const char* fileName, bool pixels, std::vector<uint8_t>* rgb, uint32_t& width,
                    uint32_t& height)
{
    File file;
    if (!file.Open(fileName)) {
        const std::string inGfx = std::string("gfx\\") + fileName;
        if (!file.Open(inGfx.c_str()))
            ReportFatal("Error opening file : [%s]", fileName);
    }

    jpeg_decompress_struct info;
    std::memset(&info, 0, sizeof info);
    JpegErrorManager errors;
    std::memset(&errors, 0, sizeof errors);
    info.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = JpegErrorExit;
    errors.pub.output_message = JpegOutputMessage;

    JpegFileSource source;
    std::memset(&source, 0, sizeof source);
    source.file = &file;
    source.pub.init_source = JpegInitSource;
    source.pub.fill_input_buffer = JpegFillInput;
    source.pub.skip_input_data = JpegSkipInput;
    source.pub.resync_to_restart = jpeg_resync_to_restart;
    source.pub.term_source = JpegTermSource;

    uint32_t w = 0, h = 0;
    volatile JpegResult result = kJpegFailed;
    // Errors while creating the decoder land here; JpegDecode sets its own landing point.
    if (setjmp(errors.jump) == 0) {
        jpeg_create_decompress(&info);
        info.src = &source.pub;
        try {
            result = JpegDecode(&info, &errors, fileName, pixels, rgb, &w, &h);
        } catch (...) {
            jpeg_destroy_decompress(&info);
            throw;
        }
    }
    jpeg_destroy_decompress(&info);
    if (result == kJpegFailed)
        ReportFatal("JpegLoad : Unable to decode file [%s] (%s)", fileName, errors.message);
    if (result == kJpegUnsupported)
        ReportFatal("JpegLoad : Unable to decode file [%s] (unsupported colour layout)", fileName);
    width = w;
    height = h;
}

void JpegLoad(const char* fileName, uint32_t& width, uint32_t& height)
{
    JpegRun(fileName, false, nullptr, width, height);
}

void JpegLoad(const char* fileName, std::vector<uint8_t>& rgb, uint32_t& width, uint32_t& height)
{
    JpegRun(fileName, true, &rgb, width, height);
}

#endif  // STARFALL_WEB

// ---- Display formats -------------------------------------------------------------------

void ConvertRGB24To16(std::vector<uint8_t>& pixels, uint32_t count, uint32_t redMask)
{
    if (redMask != 0xF800 && redMask != 0x7C00)
        return;
    if (pixels.size() < static_cast<size_t>(count) * 3)
        count = static_cast<uint32_t>(pixels.size() / 3);
    uint8_t* p = pixels.data();
    // Pixel i is written at 2i after it was read at 3i, so the pass can run forwards.
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t r = p[3 * i], g = p[3 * i + 1], b = p[3 * i + 2];
        if (redMask == 0xF800) {
            p[2 * i] = static_cast<uint8_t>(((g >> 2) << 5) | (b >> 3));
            p[2 * i + 1] = static_cast<uint8_t>((r & 0xF8) | (g >> 5));
        } else {
            p[2 * i] = static_cast<uint8_t>(((g >> 3) << 5) | (b >> 3));
            p[2 * i + 1] = static_cast<uint8_t>(((r >> 3) << 2) | (g >> 6));
        }
    }
    pixels.resize(static_cast<size_t>(count) * 2);
}

std::vector<uint8_t> ConvertRGB24ToXRGB32(const std::vector<uint8_t>& rgb, uint32_t count)
{
    if (rgb.size() < static_cast<size_t>(count) * 3)
        count = static_cast<uint32_t>(rgb.size() / 3);
    std::vector<uint8_t> out(static_cast<size_t>(count) * 4);
    for (uint32_t i = 0; i < count; ++i) {
        out[4 * i] = rgb[3 * i + 2];
        out[4 * i + 1] = rgb[3 * i + 1];
        out[4 * i + 2] = rgb[3 * i];
        out[4 * i + 3] = 0;
    }
    return out;
}

std::vector<uint8_t> DecodeImage(const char* fileName, uint32_t& width, uint32_t& height)
{
    const std::string ext = UpperExtension(fileName);
    const bool jpeg = ext == "JPG";
    if (!jpeg && ext != "PNG")
        ReportFatal("LoadGFX : Unable to load file [%s], unsupported file type [%s]", fileName, ext.c_str());

    std::vector<uint8_t> pixels;
    if (jpeg) {
        JpegLoad(fileName, width, height);
        CheckImageSize("JpegLoad", fileName, width, height);
        JpegLoad(fileName, pixels, width, height);
    } else {
        PngLoad(fileName, width, height);
        CheckImageSize("PngLoad", fileName, width, height);
        PngLoad(fileName, pixels, width, height);
    }
    return pixels;
}

DisplayLayout LayoutForDisplay(bool convert, const DisplayFormat& display)
{
    if (convert && display.bitsPerPixel == 16)
        return DisplayLayout::RGB16;
    return !convert || display.bitsPerPixel == 32 ? DisplayLayout::XRGB32 : DisplayLayout::RGB24;
}

std::vector<uint8_t> ConvertForDisplay(std::vector<uint8_t> rgb, uint32_t count, bool convert,
                                       const DisplayFormat& display)
{
    switch (LayoutForDisplay(convert, display)) {
    case DisplayLayout::RGB16:
        ConvertRGB24To16(rgb, count, display.redMask);
        return rgb;
    case DisplayLayout::XRGB32:
        return ConvertRGB24ToXRGB32(rgb, count);
    case DisplayLayout::RGB24:
        break;
    }
    return rgb;
}

std::vector<uint8_t> LoadGFX(const char* fileName, bool convert, const DisplayFormat& display,
                             uint32_t& width, uint32_t& height)
{
    std::vector<uint8_t> pixels;
    ImagePrefetch* prefetch = GetImagePrefetch();
    if (prefetch != nullptr && prefetch->Take(fileName, convert, display, pixels, width, height))
        return pixels;
    uint32_t w = 0, h = 0;
    pixels = DecodeImage(fileName, w, h);
    width = w;
    height = h;
    return ConvertForDisplay(std::move(pixels), w * h, convert, display);
}

std::vector<uint8_t> ResampleNearest(const uint8_t* source, uint32_t sourceWidth, uint32_t sourceHeight,
                                     uint32_t destWidth, uint32_t destHeight, int bytesPerPixel)
{
    std::vector<uint8_t> out(static_cast<size_t>(destWidth) * destHeight * bytesPerPixel);
    if (destWidth == 0 || destHeight == 0 || sourceWidth == 0 || sourceHeight == 0)
        return out;
    const uint64_t stepX = (static_cast<uint64_t>(sourceWidth) << 16) / destWidth;
    const uint64_t stepY = (static_cast<uint64_t>(sourceHeight) << 16) / destHeight;
    for (uint32_t j = 0; j < destHeight; ++j) {
        const uint64_t row = (j * stepY) >> 16;
        const uint8_t* sourceRow = source + row * sourceWidth * bytesPerPixel;
        uint8_t* destRow = out.data() + static_cast<size_t>(j) * destWidth * bytesPerPixel;
        for (uint32_t i = 0; i < destWidth; ++i) {
            const uint64_t column = (i * stepX) >> 16;
            std::memcpy(destRow + static_cast<size_t>(i) * bytesPerPixel, sourceRow + column * bytesPerPixel,
                        bytesPerPixel);
        }
    }
    return out;
}

// ---- Texture formats with alpha --------------------------------------------------------

static uint16_t Pixel16(const void* pixels, uint32_t i)
{
    uint16_t v;
    std::memcpy(&v, static_cast<const uint8_t*>(pixels) + 2 * static_cast<size_t>(i), 2);
    return v;
}

static uint32_t Pixel32(const void* pixels, uint32_t i)
{
    uint32_t v;
    std::memcpy(&v, static_cast<const uint8_t*>(pixels) + 4 * static_cast<size_t>(i), 4);
    return v;
}

std::vector<uint16_t> ToARGB4444(const void* pixels, const uint32_t* alpha, uint32_t count,
                                 const DisplayFormat& display)
{
    std::vector<uint16_t> out(count);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t r, g, b;
        if (display.bitsPerPixel == 16) {
            const uint16_t v = Pixel16(pixels, i);
            if (display.redMask == 0x7C00) {
                r = (v >> 11) & 0xF;
                g = (v >> 6) & 0xF;
            } else {
                r = (v >> 12) & 0xF;
                g = (v >> 7) & 0xF;
            }
            b = (v >> 1) & 0xF;
        } else {
            const uint32_t v = Pixel32(pixels, i);
            r = ((v >> 16) & 0xFF) >> 4;
            g = ((v >> 8) & 0xFF) >> 4;
            b = (v & 0xFF) >> 4;
        }
        const uint32_t a = (alpha[i] & 0xFF) >> 4;
        out[i] = static_cast<uint16_t>(a << 12 | r << 8 | g << 4 | b);
    }
    return out;
}

std::vector<uint16_t> ToARGB1555(const void* pixels, const uint32_t* alpha, uint32_t count,
                                 const DisplayFormat& display)
{
    std::vector<uint16_t> out(count);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t v;
        if (display.bitsPerPixel == 16) {
            v = Pixel16(pixels, i);
            if (display.redMask != 0x7C00)
                v = ((v >> 6) << 5) | (v & 0x1F);
        } else {
            const uint32_t p = Pixel32(pixels, i);
            v = (((p >> 16) & 0xFF) >> 3) << 10 | (((p >> 8) & 0xFF) >> 3) << 5 | ((p & 0xFF) >> 3);
        }
        v &= 0x7FFF;
        if (alpha[i] != 0)
            v |= 0x8000;
        out[i] = static_cast<uint16_t>(v);
    }
    return out;
}

std::vector<uint32_t> ToARGB32(const void* pixels, const uint32_t* alpha, uint32_t count,
                               const DisplayFormat& display)
{
    std::vector<uint32_t> out(count);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t rgb;
        if (display.bitsPerPixel == 16) {
            const uint32_t v = Pixel16(pixels, i);
            uint32_t r, g, b;
            if (display.redMask == 0x7C00) {
                r = ((v >> 10) & 0x1F) << 3;
                g = ((v >> 5) & 0x1F) << 3;
            } else {
                r = ((v >> 11) & 0x1F) << 3;
                g = ((v >> 5) & 0x3F) << 2;
            }
            b = (v & 0x1F) << 3;
            rgb = r << 16 | g << 8 | b;
        } else {
            rgb = Pixel32(pixels, i) & 0x00FFFFFF;
        }
        out[i] = (alpha[i] & 0xFF) << 24 | rgb;
    }
    return out;
}
