// The PNG decoder on damaged files.  The input is a PNG file (seeds: every
// colour type, depth and interlace).  Chunk checksums are mended before the
// decode when the input's last byte is even, so that most damage reaches
// libpng's chunk, inflate and filter code instead of stopping at the first
// CRC check; odd inputs keep their checksums as they are.
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "widget/png_decoder.h"

namespace {

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
    std::string png((const char *)data, size);
    if (size && (data[size - 1] & 1) == 0)
        mendChecksums(png);
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
