// The host's string conversions, natively under the sanitizers.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "scripthost/text_convert.h"

namespace {

std::vector<uint8_t> latin1RoundTrip(const std::vector<uint8_t> &bytes, size_t *encodedSize)
{
    std::vector<uint8_t> enc(2 * bytes.size() + 18);
    size_t n = text::encodeLatin1(bytes.data(), bytes.size(), enc.data());
    *encodedSize = n;
    std::vector<uint8_t> dec(n + 1);
    size_t m = text::decodeToLatin1(enc.data(), n, dec.data());
    dec.resize(m);
    return dec;
}

} // namespace

TEST(TextConvert, EveryByteValueRoundTrips)
{
    std::vector<uint8_t> all;
    for (int i = 0; i < 256; i++)
        all.push_back((uint8_t)i);
    all.push_back(0);
    size_t n = 0;
    EXPECT_EQ(latin1RoundTrip(all, &n), all);
    EXPECT_EQ(n, 128u + 2 * 128u + 1);
    EXPECT_EQ(n, text::latin1EncodedSize(all.data(), all.size()));
}

TEST(TextConvert, RandomBytesRoundTripAtEveryLength)
{
    std::mt19937 rng(7);
    for (size_t len = 0; len < 300; len++) {
        std::vector<uint8_t> b(len);
        for (auto &x : b)
            x = (uint8_t)rng();
        size_t n = 0;
        EXPECT_EQ(latin1RoundTrip(b, &n), b) << len;
    }
}

TEST(TextConvert, Latin1DecodeTakesTheLowByteOfWiderCharacters)
{
    // U+20AC (3 bytes) -> 0xAC, U+0100 -> 0x00, U+1F600 (4 bytes) -> 0x00
    const uint8_t in[] = {0xE2, 0x82, 0xAC, 0xC4, 0x80, 0xF0, 0x9F, 0x98, 0x80, 'a'};
    uint8_t out[sizeof in];
    size_t n = text::decodeToLatin1(in, sizeof in, out);
    ASSERT_EQ(n, 4u);
    EXPECT_EQ(out[0], 0xAC);
    EXPECT_EQ(out[1], 0x00);
    EXPECT_EQ(out[2], 0x00);
    EXPECT_EQ(out[3], 'a');
}

TEST(TextConvert, Utf16RoundTripsWithSurrogatesAndNuls)
{
    const uint16_t units[] = {'a', 0, 0xE9, 0x20AC, 0xD83D, 0xDE00, 0xDC00, 0xFFFF, 'z'};
    std::vector<uint8_t> enc(3 * 9);
    size_t n = text::encodeUtf16(units, 9, enc.data());
    std::vector<uint16_t> dec(n);
    size_t m = text::decodeToUtf16(enc.data(), n, dec.data());
    ASSERT_EQ(m, 9u);
    for (size_t i = 0; i < 9; i++)
        EXPECT_EQ(dec[i], units[i]) << i;
}

TEST(TextConvert, Utf8SourceBecomesCesu8AndBack)
{
    std::string utf8 = "x\xF0\x9F\x98\x80y\xC3\xA9";
    size_t need = text::utf8ToCesu8((const uint8_t *)utf8.data(), utf8.size(), nullptr);
    EXPECT_EQ(need, utf8.size() + 2);
    std::vector<uint8_t> cesu(need);
    text::utf8ToCesu8((const uint8_t *)utf8.data(), utf8.size(), cesu.data());
    EXPECT_EQ(cesu[1], 0xED);
    EXPECT_EQ(cesu[4], 0xED);
    std::vector<uint8_t> back(need);
    size_t m = text::cesu8ToUtf8(cesu.data(), need, back.data());
    EXPECT_EQ(std::string((const char *)back.data(), m), utf8);
}

TEST(TextConvert, MalformedInputNeverReadsPastTheEnd)
{
    // Truncated sequences at the very end of the buffer.
    const uint8_t cases[][3] = {{0xE2, 0x82, 0}, {0xF0, 0x9F, 0}, {0xC3, 0, 0}};
    const size_t lens[] = {2, 2, 1};
    for (int i = 0; i < 3; i++) {
        std::vector<uint8_t> in(cases[i], cases[i] + lens[i]); // exact size: ASan sees overreads
        std::vector<uint16_t> u(in.size());
        size_t n = text::decodeToUtf16(in.data(), in.size(), u.data());
        EXPECT_LE(n, in.size());
        std::vector<uint8_t> o(in.size() + 6);
        text::utf8ToCesu8(in.data(), in.size(), o.data());
    }
}

TEST(TextConvert, VectorEncodingMatchesTheScalarOne)
{
    std::mt19937 rng(11);
    for (size_t len : {0, 1, 15, 16, 17, 31, 32, 33, 100, 4096, 65537}) {
        for (int bias = 0; bias < 3; bias++) { // random, all ASCII, all high
            std::vector<uint8_t> b(len);
            for (auto &x : b)
                x = (uint8_t)(bias == 0 ? rng() : bias == 1 ? rng() & 0x7F : rng() | 0x80);
            std::vector<uint8_t> a(2 * len + 18), s(2 * len + 18);
            size_t na = text::encodeLatin1(b.data(), len, a.data());
            size_t ns = text::encodeLatin1Scalar(b.data(), len, s.data());
            ASSERT_EQ(na, ns) << len << " " << bias;
            EXPECT_TRUE(std::equal(a.begin(), a.begin() + (long)na, s.begin())) << len << " " << bias;
        }
    }
}
