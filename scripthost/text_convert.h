// Conversions between the engine's internal string form and the byte and
// UTF-16 strings that modules see.  No platform headers: this file also
// builds natively for sanitizers and fuzzing.
//
// The engine keeps strings as CESU-8: every UTF-16 code unit, surrogates
// included, encoded on its own as one to three bytes.  (Strings made inside
// the engine may also hold four-byte sequences for non-BMP code points; the
// decoders accept them.)
#ifndef SCRIPTHOST_TEXT_CONVERT_H
#define SCRIPTHOST_TEXT_CONVERT_H

#include <stddef.h>
#include <stdint.h>

namespace text {

// Byte strings: one character per byte, character code = byte value.
// Worst case two output bytes per input byte.
size_t latin1EncodedSize(const uint8_t *bytes, size_t count);
// out: 2 * count + 16 bytes (the vector path stores past its last byte).
size_t encodeLatin1(const uint8_t *bytes, size_t count, uint8_t *out);
size_t encodeLatin1Scalar(const uint8_t *bytes, size_t count, uint8_t *out); // out: 2 * count
// Decodes `length` bytes of internal text into one byte per character (the
// low eight bits of each character).  out must hold `length` bytes (never
// more characters than bytes).  Returns the number of characters.
size_t decodeToLatin1(const uint8_t *in, size_t length, uint8_t *out);

// UTF-16 code units <-> internal text.
size_t encodeUtf16(const uint16_t *units, size_t count, uint8_t *out); // out: 3 * count bytes
// out must hold `length` units; returns the number of units written.
size_t decodeToUtf16(const uint8_t *in, size_t length, uint16_t *out);

// Script source arrives as UTF-8; the engine wants CESU-8.  Four-byte
// sequences become surrogate pairs, so that string lengths and indices are
// those of ECMAScript.  Returns the size needed for out (at most
// 3/2 * length) when out is null.
size_t utf8ToCesu8(const uint8_t *in, size_t length, uint8_t *out);
// Output of print(): CESU-8 surrogate pairs joined back into UTF-8.
size_t cesu8ToUtf8(const uint8_t *in, size_t length, uint8_t *out); // out: length bytes

} // namespace text

#endif
