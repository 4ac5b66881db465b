// The decoder on its own: sizes, channels, failures and the buffer's life.
#include <gtest/gtest.h>

#include <string>

#include "tests/widget/images/png_writer.h"
#include "widget/png_decoder.h"

namespace {

bool decode(PngDecoder *decoder, const std::string &bytes)
{
    return decoder->decode((const unsigned char *)bytes.data(), bytes.size());
}

} // namespace

TEST(PngDecoder, BufferSizeMustFitInSigned32Bits)
{
    struct Case {
        int64_t w, h;
        bool fits;
        int32_t size;
    } cases[] = {
        {1, 1, true, 4},
        {2048, 2048, true, 16777216},
        {16384, 32767, true, 2147418112},
        {32768, 16384, false, 0},            // exactly 2^31
        {46341, 46341, false, 0},            // wraps to a small positive number in 32 bits
        {0x7FFFFFFF, 0x7FFFFFFF, false, 0},  // the largest PNG dimensions
        {1073741824, 1, false, 0},           // 4 * w alone is 2^32
        {0, 10, false, 0},
        {10, -1, false, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + " x " + std::to_string(c.h));
        int32_t size = -1;
        EXPECT_EQ(pngBufferSize(c.w, c.h, &size), c.fits);
        if (c.fits) {
            EXPECT_EQ(size, c.size);
        }
    }
}

TEST(PngDecoder, ReportsChannelsAfterTheTransforms)
{
    using namespace pngtest;
    struct Case {
        ColorType type;
        int depth;
        int channels;
    } cases[] = {{kRgb, 8, 3}, {kRgba, 8, 4}, {kRgba, 16, 4}, {kGrey, 8, 1},
                 {kGrey, 2, 1}, {kGreyAlpha, 8, 2}, {kPalette, 4, 3}};
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.type) + "/" + std::to_string(c.depth));
        Image image;
        image.width = 3;
        image.height = 2;
        image.colorType = c.type;
        image.bitDepth = c.depth;
        image.rows.assign(64, 1);
        if (c.type == kPalette)
            image.palette.assign(3 * 16, 7);
        PngDecoder decoder;
        ASSERT_TRUE(decode(&decoder, encode(image)));
        EXPECT_EQ(decoder.channels, c.channels);
        EXPECT_EQ(decoder.width, 3);
        EXPECT_EQ(decoder.height, 2);
        EXPECT_EQ(decoder.size, 24);
        ASSERT_NE(decoder.pixels, nullptr);
    }
}

TEST(PngDecoder, FailedDecodeLeavesNoBufferEvenAfterASuccess)
{
    std::string good = pngtest::encode(pngtest::pattern(40, 30));
    PngDecoder decoder;
    ASSERT_TRUE(decode(&decoder, good));
    EXPECT_EQ(decoder.size, 40 * 30 * 4);
    // Every length short of the whole file fails, however far libpng got.
    for (size_t cut = 0; cut < good.size(); cut += cut < 64 ? 1 : 97) {
        SCOPED_TRACE(cut);
        EXPECT_FALSE(decode(&decoder, good.substr(0, cut)));
        EXPECT_EQ(decoder.pixels, nullptr);
        EXPECT_EQ(decoder.size, 0);
    }
    EXPECT_FALSE(decoder.decode(nullptr, 100));
    ASSERT_TRUE(decode(&decoder, good));
    EXPECT_EQ(decoder.pixels[3], 255); // top-left: the opaque band
}

TEST(PngDecoder, PremultipliesByShiftingEightBits)
{
    struct Case {
        unsigned char in[4], out[4];
    } cases[] = {
        {{255, 255, 255, 255}, {255, 255, 255, 255}},
        {{255, 255, 255, 254}, {253, 253, 253, 254}},
        {{255, 255, 255, 128}, {127, 127, 127, 128}},
        {{255, 255, 255, 0}, {0, 0, 0, 0}},
        {{200, 100, 1, 128}, {100, 50, 0, 128}},
        {{7, 8, 9, 255}, {7, 8, 9, 255}},
    };
    for (const Case &c : cases) {
        unsigned char p[6];
        memcpy(p, c.in, 4);
        p[4] = p[5] = 99; // a partial pixel at the end is left alone
        premultiplyBgra(p, 6);
        EXPECT_EQ(std::string((char *)p, 4), std::string((const char *)c.out, 4));
        EXPECT_EQ(p[4], 99);
    }
}
