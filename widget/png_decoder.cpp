// The PNG decoder shared by Widget.loadImage and Widget.loadIcon.  libpng runs
// with its default error handlers: an error prints to standard error and
// jumps back to the recovery point in decode(), which never lets it reach the
// caller.  No C++ object with a destructor lives between setjmp and any
// libpng call, so the jump skips nothing that needs undoing.
#include "widget/png_decoder.h"

#include <png.h>

#include <stdlib.h>
#include <string.h>

namespace {

// libpng's read function.  A truncated file must not make libpng read past
// the end of the script's string: running out is a libpng error like any
// other corruption.
void readFromMemory(png_structp png, png_bytep out, png_size_t count)
{
    PngMemorySource *source = (PngMemorySource *)png_get_io_ptr(png);
    if (count > source->length - source->position)
        png_error(png, "PNG data ends before the image is complete");
    memcpy(out, source->data + source->position, count);
    source->position += count;
}

uint32_t bigEndian32(const unsigned char *p)
{
    return ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | p[3];
}

// The image size from the IHDR chunk, which a valid PNG has right after the
// signature.  Checked before libpng allocates its rows, so that an image
// whose buffer could never be made is refused without decoding it.  Files
// with no IHDR there are left to libpng to refuse.
bool headerSizeFits(const unsigned char *bytes, size_t length)
{
    if (length < 24 || memcmp(bytes + 12, "IHDR", 4) != 0)
        return true;
    int32_t size;
    return pngBufferSize(bigEndian32(bytes + 16), bigEndian32(bytes + 20), &size);
}

// One row of libpng's output (channels bytes a pixel, colours already in the
// order blue, green, red) into BGRA.  Grey arrives as one byte (two with
// alpha) and is spread over blue, green and red.
void convertRow(const unsigned char *src, unsigned char *dst, int32_t width, int channels)
{
    switch (channels) {
    case 4:
        memcpy(dst, src, (size_t)width * 4);
        break;
    case 3:
        for (int32_t x = 0; x < width; x++, src += 3, dst += 4) {
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
            dst[3] = 255;
        }
        break;
    case 2:
        for (int32_t x = 0; x < width; x++, src += 2, dst += 4) {
            dst[0] = dst[1] = dst[2] = src[0];
            dst[3] = src[1];
        }
        break;
    default: // 1
        for (int32_t x = 0; x < width; x++, src += 1, dst += 4) {
            dst[0] = dst[1] = dst[2] = src[0];
            dst[3] = 255;
        }
        break;
    }
}

} // namespace

bool pngBufferSize(int64_t width, int64_t height, int32_t *size)
{
    if (width <= 0 || height <= 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF)
        return false;
    // Both below 2^31: the product stays below 2^64.
    uint64_t bytes = (uint64_t)width * 4u * (uint64_t)height;
    if (bytes > 0x7FFFFFFFu)
        return false;
    *size = (int32_t)bytes;
    return true;
}

void premultiplyBgra(unsigned char *pixels, size_t bytes)
{
    // Branch-free so the loop vectorises: an opaque pixel uses the factor 256,
    // which leaves its colours unchanged under the same shift.
    for (size_t i = 0; i + 4 <= bytes; i += 4) {
        unsigned a = pixels[i + 3];
        unsigned f = a + (a == 255);
        pixels[i + 0] = (unsigned char)((pixels[i + 0] * f) >> 8);
        pixels[i + 1] = (unsigned char)((pixels[i + 1] * f) >> 8);
        pixels[i + 2] = (unsigned char)((pixels[i + 2] * f) >> 8);
    }
}

PngDecoder::PngDecoder() : pixels(nullptr), size(0), width(0), height(0), channels(0) {}

PngDecoder::~PngDecoder() { free(pixels); }

bool PngDecoder::decode(const unsigned char *bytes, size_t length)
{
    free(pixels);
    pixels = nullptr;
    size = width = height = channels = 0;

    if (!bytes || length < 8 || png_sig_cmp((png_const_bytep)bytes, 0, 8) != 0)
        return false;
    if (!headerSizeFits(bytes, length))
        return false;

    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }

    // Set after the recovery point and read after a jump back to it.
    unsigned char *volatile buffer = nullptr;
    PngMemorySource source = {bytes, length, 0};

    if (setjmp(png_jmpbuf(png))) {
        free(buffer);
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }

    png_set_read_fn(png, &source, readFromMemory);
    png_read_png(png, info, PNG_TRANSFORM_STRIP_16 | PNG_TRANSFORM_EXPAND | PNG_TRANSFORM_BGR,
                 nullptr);

    png_bytepp rows = png_get_rows(png, info);
    uint32_t w = png_get_image_width(png, info);
    uint32_t h = png_get_image_height(png, info);
    int ch = png_get_channels(png, info);
    int32_t bytesNeeded = 0;
    if (!rows || ch < 1 || ch > 4 || !pngBufferSize(w, h, &bytesNeeded) ||
        !(buffer = (unsigned char *)malloc((size_t)bytesNeeded))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }

    size_t stride = (size_t)w * 4;
    for (uint32_t y = 0; y < h; y++)
        convertRow(rows[y], buffer + y * stride, (int32_t)w, ch);

    png_destroy_read_struct(&png, &info, nullptr);
    pixels = buffer;
    size = bytesNeeded;
    width = (int32_t)w;
    height = (int32_t)h;
    channels = ch;
    return true;
}
