// The PNG decoder on damaged files.  Each input edits one of a few valid
// PNGs made at start-up (bytes set at offsets, then a cut), and the chunk
// checksums are mended afterwards unless the input says not to, so that the
// damage reaches libpng's chunk, inflate and filter code instead of stopping
// at the first CRC check.
#include <png.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/widget/images/png_writer.h"
#include "widget/png_decoder.h"

namespace {

std::vector<std::string> makeBases()
{
    using namespace pngtest;
    std::vector<std::string> bases;
    bases.push_back(encode(pattern(9, 7)));
    Image interlaced = pattern(13, 11);
    interlaced.interlaced = true;
    bases.push_back(encode(interlaced));
    Image palette;
    palette.width = 10;
    palette.height = 4;
    palette.colorType = kPalette;
    palette.bitDepth = 4;
    palette.rows.assign(20, 0x12);
    palette.palette.assign(3 * 16, 200);
    palette.paletteAlpha = {0, 128, 255};
    bases.push_back(encode(palette));
    Image grey;
    grey.width = 5;
    grey.height = 5;
    grey.colorType = kGreyAlpha;
    grey.bitDepth = 16;
    grey.rows.assign(5 * 5 * 4, 0x9A);
    bases.push_back(encode(grey));
    return bases;
}

uint32_t get32(const unsigned char *p)
{
    return ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | p[3];
}

void mendChecksums(std::string &png)
{
    size_t at = 8;
    while (at + 12 <= png.size()) {
        uint32_t length = get32((const unsigned char *)png.data() + at);
        if (length > png.size() - at - 12)
            break;
        uLong crc = crc32(0, (const Bytef *)png.data() + at + 4, length + 4);
        for (int i = 0; i < 4; i++)
            png[at + 8 + length + i] = (char)(crc >> (24 - 8 * i));
        at += 12 + length;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::vector<std::string> bases = makeBases();
    if (size < 3)
        return 0;
    std::string png = bases[data[0] % bases.size()];
    bool keepChecksums = (data[0] & 0x80) != 0;
    size_t cut = (size_t)data[1] | ((size_t)data[2] << 8);
    for (size_t i = 3; i + 3 <= size; i += 3) {
        size_t offset = ((size_t)data[i] | ((size_t)data[i + 1] << 8)) % png.size();
        png[offset] = (char)data[i + 2];
    }
    if (!keepChecksums)
        mendChecksums(png);
    if (cut < png.size())
        png.resize(cut);

    PngDecoder decoder;
    if (decoder.decode((const unsigned char *)png.data(), png.size())) {
        if (!decoder.pixels || decoder.width <= 0 || decoder.height <= 0 ||
            (int64_t)decoder.size != (int64_t)decoder.width * 4 * decoder.height ||
            decoder.channels < 1 || decoder.channels > 4)
            std::abort();
        premultiplyBgra(decoder.pixels, (size_t)decoder.size);
    } else if (decoder.pixels) {
        std::abort();
    }
    return 0;
}
