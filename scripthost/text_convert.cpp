#include "scripthost/text_convert.h"

#if defined(__i386__) || defined(__x86_64__)
#include <immintrin.h>
#define TEXT_HAVE_SSSE3_PATH 1
#endif

namespace text {

size_t latin1EncodedSize(const uint8_t *bytes, size_t count)
{
    size_t n = count;
    for (size_t i = 0; i < count; i++)
        n += bytes[i] >> 7;
    return n;
}

namespace {

// The internal form of each byte value, stored two bytes at a time, and its
// length.  A table lookup per byte runs several times faster than computing
// the sequence.
struct Latin1Table {
    uint8_t pair[256][2];
    uint8_t length[256];
    Latin1Table()
    {
        for (unsigned b = 0; b < 256; b++) {
            if (b < 0x80) {
                pair[b][0] = (uint8_t)b;
                pair[b][1] = 0;
                length[b] = 1;
            } else {
                pair[b][0] = (uint8_t)(0xC0 | (b >> 6));
                pair[b][1] = (uint8_t)(0x80 | (b & 0x3F));
                length[b] = 2;
            }
        }
    }
};
const Latin1Table kLatin1;

} // namespace

// Branch-free: both bytes of a pair are always stored and the output
// position advances by one or two.  This loop and the decoder below are the
// cost of every byte string that crosses the host boundary.
size_t encodeLatin1Scalar(const uint8_t *bytes, size_t count, uint8_t *out)
{
    size_t j = 0;
    for (size_t i = 0; i < count; i++) {
        uint32_t b = bytes[i];
        out[j] = kLatin1.pair[b][0];
        out[j + 1] = kLatin1.pair[b][1];
        j += kLatin1.length[b];
    }
    return j;
}

#ifdef TEXT_HAVE_SSSE3_PATH
namespace {

// For 8 input bytes, whose high bits form the mask m, the shuffle that
// keeps the lead byte of every pair and the continuation byte of the pairs
// of bytes 0x80 and above, and the number of bytes kept.
struct ShuffleTable {
    alignas(16) uint8_t shuffle[256][16];
    uint8_t length[256];
    ShuffleTable()
    {
        for (unsigned m = 0; m < 256; m++) {
            unsigned k = 0;
            for (unsigned i = 0; i < 8; i++) {
                shuffle[m][k++] = (uint8_t)(2 * i);
                if (m & (1u << i))
                    shuffle[m][k++] = (uint8_t)(2 * i + 1);
            }
            length[m] = (uint8_t)k;
            while (k < 16)
                shuffle[m][k++] = 0x80;
        }
    }
};
const ShuffleTable kShuffle;

// 16 input bytes a step: every byte becomes its two-byte form, then one
// shuffle per half drops the second byte of the characters below 0x80.
// Stores may run up to 16 bytes past the end of the output.
__attribute__((target("ssse3"))) size_t encodeLatin1Ssse3(const uint8_t *bytes, size_t count,
                                                          uint8_t *out)
{
    const __m128i low6 = _mm_set1_epi8(0x3F);
    const __m128i contTag = _mm_set1_epi8((char)0x80);
    const __m128i leadTag = _mm_set1_epi8((char)0xC0);
    const __m128i two = _mm_set1_epi8(0x03);
    size_t i = 0, j = 0;
    for (; i + 16 <= count; i += 16) {
        __m128i b = _mm_loadu_si128((const __m128i *)(bytes + i));
        __m128i high = _mm_cmplt_epi8(b, _mm_setzero_si128()); // bytes 0x80 and above
        __m128i lead2 = _mm_or_si128(leadTag, _mm_and_si128(_mm_srli_epi16(b, 6), two));
        __m128i lead = _mm_or_si128(_mm_and_si128(high, lead2), _mm_andnot_si128(high, b));
        __m128i cont = _mm_or_si128(contTag, _mm_and_si128(b, low6));
        unsigned mask = (unsigned)_mm_movemask_epi8(b);
        __m128i lo = _mm_unpacklo_epi8(lead, cont);
        __m128i hi = _mm_unpackhi_epi8(lead, cont);
        unsigned m0 = mask & 0xFF, m1 = mask >> 8;
        _mm_storeu_si128((__m128i *)(out + j),
                         _mm_shuffle_epi8(lo, _mm_load_si128((const __m128i *)kShuffle.shuffle[m0])));
        j += kShuffle.length[m0];
        _mm_storeu_si128((__m128i *)(out + j),
                         _mm_shuffle_epi8(hi, _mm_load_si128((const __m128i *)kShuffle.shuffle[m1])));
        j += kShuffle.length[m1];
    }
    return j + encodeLatin1Scalar(bytes + i, count - i, out + j);
}

const bool kHaveSsse3 = __builtin_cpu_supports("ssse3");

} // namespace
#endif

size_t encodeLatin1(const uint8_t *bytes, size_t count, uint8_t *out)
{
#ifdef TEXT_HAVE_SSSE3_PATH
    if (kHaveSsse3)
        return encodeLatin1Ssse3(bytes, count, out);
#endif
    return encodeLatin1Scalar(bytes, count, out);
}

// Every byte that is not a continuation byte starts a character.  For a
// character of two or more bytes, its low eight bits are the last byte's six
// bits under the low two bits of the byte before it; each continuation byte
// overwrites the character's output byte with that value, so the last one
// leaves the right result.  Masks instead of branches: random bytes would
// make a branch mispredict half the time.
size_t decodeToLatin1(const uint8_t *in, size_t length, uint8_t *out)
{
    size_t j = (size_t)-1;
    uint32_t prev = 0;
    for (size_t i = 0; i < length; i++) {
        uint32_t b = in[i];
        uint32_t cont = (uint32_t)((b >> 6) == 2u);
        uint32_t mask = 0u - cont;
        j += 1 - cont;
        uint32_t low = ((prev & 3u) << 6) | (b & 0x3Fu);
        out[j] = (uint8_t)((low & mask) | (b & ~mask));
        prev = b;
    }
    return j + 1;
}

size_t encodeUtf16(const uint16_t *units, size_t count, uint8_t *out)
{
    size_t j = 0;
    for (size_t i = 0; i < count; i++) {
        uint32_t u = units[i];
        if (u < 0x80) {
            out[j++] = (uint8_t)u;
        } else if (u < 0x800) {
            out[j++] = (uint8_t)(0xC0 | (u >> 6));
            out[j++] = (uint8_t)(0x80 | (u & 0x3F));
        } else {
            out[j++] = (uint8_t)(0xE0 | (u >> 12));
            out[j++] = (uint8_t)(0x80 | ((u >> 6) & 0x3F));
            out[j++] = (uint8_t)(0x80 | (u & 0x3F));
        }
    }
    return j;
}

// Decodes one sequence at in[i]; returns the code point and advances i.
// Malformed or truncated input gives U+FFFD and consumes one byte.
static uint32_t decodeOne(const uint8_t *in, size_t length, size_t &i)
{
    uint32_t b = in[i];
    size_t extra;
    uint32_t cp;
    if (b < 0x80) {
        i++;
        return b;
    } else if (b >= 0xC0 && b < 0xE0) {
        extra = 1;
        cp = b & 0x1F;
    } else if (b >= 0xE0 && b < 0xF0) {
        extra = 2;
        cp = b & 0x0F;
    } else if (b >= 0xF0 && b < 0xF8) {
        extra = 3;
        cp = b & 0x07;
    } else {
        i++;
        return 0xFFFD;
    }
    if (length - i <= extra) {
        i++;
        return 0xFFFD;
    }
    for (size_t k = 1; k <= extra; k++) {
        uint32_t c = in[i + k];
        if ((c & 0xC0) != 0x80) {
            i++;
            return 0xFFFD;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    i += extra + 1;
    return cp;
}

size_t decodeToUtf16(const uint8_t *in, size_t length, uint16_t *out)
{
    size_t j = 0;
    size_t i = 0;
    while (i < length) {
        uint32_t cp = decodeOne(in, length, i);
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            cp -= 0x10000;
            out[j++] = (uint16_t)(0xD800 | (cp >> 10));
            out[j++] = (uint16_t)(0xDC00 | (cp & 0x3FF));
        } else if (cp > 0x10FFFF) {
            out[j++] = 0xFFFD;
        } else {
            out[j++] = (uint16_t)cp;
        }
    }
    return j;
}

size_t utf8ToCesu8(const uint8_t *in, size_t length, uint8_t *out)
{
    size_t j = 0;
    size_t i = 0;
    while (i < length) {
        uint32_t b = in[i];
        if (b >= 0xF0 && b < 0xF8) {
            size_t start = i;
            uint32_t cp = decodeOne(in, length, i);
            if (cp >= 0x10000 && cp <= 0x10FFFF) {
                uint16_t pair[2];
                cp -= 0x10000;
                pair[0] = (uint16_t)(0xD800 | (cp >> 10));
                pair[1] = (uint16_t)(0xDC00 | (cp & 0x3FF));
                if (out)
                    encodeUtf16(pair, 2, out + j);
                j += 6;
                continue;
            }
            i = start + 1; // not a valid sequence: keep the byte as it is
        } else {
            i++;
        }
        if (out)
            out[j] = (uint8_t)b;
        j++;
    }
    return j;
}

size_t cesu8ToUtf8(const uint8_t *in, size_t length, uint8_t *out)
{
    size_t j = 0;
    size_t i = 0;
    while (i < length) {
        if (i + 6 <= length && in[i] == 0xED && (in[i + 1] & 0xF0) == 0xA0 &&
            (in[i + 2] & 0xC0) == 0x80 && in[i + 3] == 0xED && (in[i + 4] & 0xF0) == 0xB0 &&
            (in[i + 5] & 0xC0) == 0x80) {
            uint32_t hi = 0xD000 | ((in[i + 1] & 0x3F) << 6) | (in[i + 2] & 0x3F);
            uint32_t lo = 0xD000 | ((in[i + 4] & 0x3F) << 6) | (in[i + 5] & 0x3F);
            uint32_t cp = 0x10000 + ((hi - 0xD800) << 10) + (lo - 0xDC00);
            out[j++] = (uint8_t)(0xF0 | (cp >> 18));
            out[j++] = (uint8_t)(0x80 | ((cp >> 12) & 0x3F));
            out[j++] = (uint8_t)(0x80 | ((cp >> 6) & 0x3F));
            out[j++] = (uint8_t)(0x80 | (cp & 0x3F));
            i += 6;
        } else {
            out[j++] = in[i++];
        }
    }
    return j;
}

} // namespace text
