// Byte strings and UTF-16 text through the host's conversions: what goes in
// comes out.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "scripthost/text_convert.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Bytes -> internal -> bytes.
    std::vector<uint8_t> enc(2 * size + 18);
    size_t n = text::encodeLatin1(data, size, enc.data());
    if (n != text::latin1EncodedSize(data, size))
        std::abort();
    std::vector<uint8_t> dec(n + 1);
    size_t m = text::decodeToLatin1(enc.data(), n, dec.data());
    if (m != size || (size && std::memcmp(dec.data(), data, size) != 0))
        std::abort();

    // UTF-16 units -> internal -> units.
    size_t units = size / 2;
    std::vector<uint16_t> u(units);
    if (units)
        std::memcpy(u.data(), data, units * 2);
    std::vector<uint8_t> enc16(3 * units + 1);
    size_t n16 = text::encodeUtf16(u.data(), units, enc16.data());
    std::vector<uint16_t> back(n16 + 1);
    size_t m16 = text::decodeToUtf16(enc16.data(), n16, back.data());
    if (m16 != units || (units && std::memcmp(back.data(), u.data(), units * 2) != 0))
        std::abort();

    // Arbitrary bytes as internal text or as UTF-8 source: no overreads, and
    // the sizes stay within their bounds.
    std::vector<uint8_t> exact(data, data + size);
    std::vector<uint16_t> any(size + 1);
    if (text::decodeToUtf16(exact.data(), size, any.data()) > size)
        std::abort();
    size_t need = text::utf8ToCesu8(exact.data(), size, nullptr);
    if (need > size + size / 2 + 1)
        std::abort();
    std::vector<uint8_t> cesu(need + 1);
    text::utf8ToCesu8(exact.data(), size, cesu.data());
    std::vector<uint8_t> utf8(need + 1);
    if (text::cesu8ToUtf8(cesu.data(), need, utf8.data()) > need)
        std::abort();
    return 0;
}
