// UTF-16 to UTF-8 for the text that pages hand to vorCall.  Pages send any
// Unicode text, also outside the BMP; the host's evaluate takes UTF-8, so the
// text reaches the engine unchanged.
#include "widget/browser_text.h"

#include "host/value_word.h"

namespace {

// The code point starting at text[i], and how many units it takes.
uint32_t next_code_point(const uint16_t *text, size_t count, size_t i, size_t *units)
{
    uint32_t c = text[i];
    *units = 1;
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < count && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
        *units = 2;
        return 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
    }
    if (c >= 0xD800 && c <= 0xDFFF)
        return 0xFFFD; // a lone surrogate has no UTF-8 form
    return c;
}

// Encodes into out when it is not null; returns the byte count either way.
size_t encode(const uint16_t *text, size_t count, char *out)
{
    size_t bytes = 0;
    for (size_t i = 0; i < count;) {
        if (text[i] < 0x80) { // script text is mostly ASCII
            if (out)
                out[bytes] = (char)text[i];
            bytes++;
            i++;
            continue;
        }
        size_t units;
        uint32_t c = next_code_point(text, count, i, &units);
        i += units;
        unsigned char buf[4];
        size_t n;
        if (c < 0x80) {
            buf[0] = (unsigned char)c;
            n = 1;
        } else if (c < 0x800) {
            buf[0] = (unsigned char)(0xC0 | (c >> 6));
            buf[1] = (unsigned char)(0x80 | (c & 0x3F));
            n = 2;
        } else if (c < 0x10000) {
            buf[0] = (unsigned char)(0xE0 | (c >> 12));
            buf[1] = (unsigned char)(0x80 | ((c >> 6) & 0x3F));
            buf[2] = (unsigned char)(0x80 | (c & 0x3F));
            n = 3;
        } else {
            buf[0] = (unsigned char)(0xF0 | (c >> 18));
            buf[1] = (unsigned char)(0x80 | ((c >> 12) & 0x3F));
            buf[2] = (unsigned char)(0x80 | ((c >> 6) & 0x3F));
            buf[3] = (unsigned char)(0x80 | (c & 0x3F));
            n = 4;
        }
        if (out)
            for (size_t k = 0; k < n; k++)
                out[bytes + k] = (char)buf[k];
        bytes += n;
    }
    return bytes;
}

} // namespace

size_t utf16ToUtf8Length(const uint16_t *text, size_t count) { return encode(text, count, nullptr); }

size_t utf16ToUtf8(const uint16_t *text, size_t count, char *out)
{
    size_t bytes = encode(text, count, out);
    out[bytes] = 0;
    return bytes;
}

size_t immediateText(uint32_t word, uint16_t out[16])
{
    const char *fixed = nullptr;
    if (word == VW_UNDEFINED)
        fixed = "undefined";
    else if (word == VW_NULL)
        fixed = "null";
    else if (word == VW_TRUE)
        fixed = "true";
    else if (word == VW_FALSE)
        fixed = "false";
    size_t n = 0;
    if (fixed) {
        for (; fixed[n]; n++)
            out[n] = (uint16_t)fixed[n];
    } else if (vw_is_int(word)) {
        int32_t v = vw_to_int(word); // -2^30 .. 2^30-1: negation cannot overflow
        uint32_t magnitude = v < 0 ? (uint32_t)-v : (uint32_t)v;
        char digits[12];
        size_t k = 0;
        do {
            digits[k++] = (char)('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude);
        if (v < 0)
            out[n++] = '-';
        while (k)
            out[n++] = (uint16_t)digits[--k];
    } else {
        return 0;
    }
    out[n] = 0;
    return n;
}
