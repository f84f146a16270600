// PNG and JPEG decoding through File with libpng and libjpeg: one open and one pass per image.
#include "engine/core/ImageReaders.h"
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <png.h>
#include <jpeglib.h>
#include <jerror.h>
#include "engine/core/Fatal.h"
#include "engine/core/File.h"
#include "engine/core/Log.h"

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

void JpegLoad(const char* fileName, std::vector<uint8_t>& rgb, uint32_t& width, uint32_t& height)
{
    JpegRun(fileName, true, &rgb, width, height);
}
