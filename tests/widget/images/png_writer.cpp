#include "tests/widget/images/png_writer.h"

#include <png.h>

#include <stdexcept>

namespace pngtest {

namespace {

void appendToString(png_structp png, png_bytep data, png_size_t length)
{
    ((std::string *)png_get_io_ptr(png))->append((const char *)data, length);
}

void noFlush(png_structp) {}

int channelsOf(ColorType type)
{
    switch (type) {
    case kGrey: return 1;
    case kGreyAlpha: return 2;
    case kRgb: return 3;
    case kPalette: return 1;
    default: return 4;
    }
}

} // namespace

std::string encode(const Image &image)
{
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    size_t stride = ((size_t)image.width * channelsOf(image.colorType) * image.bitDepth + 7) / 8;
    std::vector<png_bytep> rowPointers((size_t)image.height);
    if (image.rows.size() < stride * image.height)
        throw std::invalid_argument("too few samples for the image size");
    for (int y = 0; y < image.height; y++)
        rowPointers[y] = (png_bytep)image.rows.data() + y * stride;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("libpng could not encode the test image");
    }
    png_set_write_fn(png, &out, appendToString, noFlush);
    png_set_IHDR(png, info, image.width, image.height, image.bitDepth, image.colorType,
                 image.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (image.colorType == kPalette) {
        std::vector<png_color> colors(image.palette.size() / 3);
        for (size_t i = 0; i < colors.size(); i++)
            colors[i] = {image.palette[3 * i], image.palette[3 * i + 1], image.palette[3 * i + 2]};
        png_set_PLTE(png, info, colors.data(), (int)colors.size());
        if (!image.paletteAlpha.empty())
            png_set_tRNS(png, info, image.paletteAlpha.data(), (int)image.paletteAlpha.size(),
                         nullptr);
    }
    if (image.hasTransparentColor) {
        png_color_16 color = {};
        color.gray = image.transparent[0];
        color.red = image.transparent[0];
        color.green = image.transparent[1];
        color.blue = image.transparent[2];
        png_set_tRNS(png, info, nullptr, 0, &color);
    }
    png_set_rows(png, info, rowPointers.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

Image rgba(int width, int height, const std::vector<uint8_t> &pixels)
{
    Image image;
    image.width = width;
    image.height = height;
    image.rows = pixels;
    return image;
}

Image pattern(int width, int height)
{
    Image image;
    image.width = width;
    image.height = height;
    image.rows.resize((size_t)width * height * 4);
    uint32_t noise = 12345;
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            uint8_t *p = &image.rows[((size_t)y * width + x) * 4];
            noise = noise * 1103515245u + 12345u;
            p[0] = (uint8_t)(x * 255 / (width > 1 ? width - 1 : 1));
            p[1] = (uint8_t)(y * 255 / (height > 1 ? height - 1 : 1));
            p[2] = (uint8_t)((x + y) ^ (noise >> 28));
            int band = (x / 16) % 4;
            p[3] = band == 0 ? 255 : band == 1 ? 0 : (uint8_t)((x * 7 + y * 3) & 0xFF);
        }
    }
    return image;
}

} // namespace pngtest
