// Test images: PNG files encoded in memory with libpng's write API.
#ifndef TESTS_WIDGET_IMAGES_PNG_WRITER_H
#define TESTS_WIDGET_IMAGES_PNG_WRITER_H

#include <stdint.h>

#include <string>
#include <vector>

namespace pngtest {

enum ColorType { kGrey = 0, kRgb = 2, kPalette = 3, kGreyAlpha = 4, kRgba = 6 };

struct Image {
    int width = 0;
    int height = 0;
    ColorType colorType = kRgba;
    int bitDepth = 8;
    bool interlaced = false;
    // Samples as the file holds them: packed rows of (width * bits a pixel
    // + 7) / 8 bytes, 16-bit samples big-endian.
    std::vector<uint8_t> rows;
    std::vector<uint8_t> palette; // R G B per entry
    std::vector<uint8_t> paletteAlpha; // tRNS for palette images
    bool hasTransparentColor = false; // tRNS for grey or RGB images
    uint16_t transparent[3] = {0, 0, 0}; // grey in [0]; or R G B
};

std::string encode(const Image &image);

// An 8-bit RGBA image from pixels given as R G B A bytes.
Image rgba(int width, int height, const std::vector<uint8_t> &pixels);
// An 8-bit RGBA image filled with a pattern: smooth colour gradients, alpha
// in bands covering opaque, transparent and partial values.
Image pattern(int width, int height);

} // namespace pngtest

#endif
