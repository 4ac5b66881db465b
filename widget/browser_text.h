// Page text to script source: UTF-16 from a BSTR to the UTF-8 that the host's
// evaluate takes.  No Win32 here.
#ifndef WIDGET_BROWSER_TEXT_H
#define WIDGET_BROWSER_TEXT_H

#include <stddef.h>
#include <stdint.h>

// Bytes of UTF-8 for the count UTF-16 units at text, without a terminator.
// A surrogate without its partner counts as U+FFFD.
size_t utf16ToUtf8Length(const uint16_t *text, size_t count);

// Writes them to out (room for utf16ToUtf8Length bytes plus one) and
// terminates with a zero byte; returns the byte count.
size_t utf16ToUtf8(const uint16_t *text, size_t count, char *out);

// The string form of a value word that holds its whole value (an integer,
// a boolean, undefined or null), written to out with a terminator; 0 for
// every other word (strings, doubles, objects), whose text the engine makes.
// The same text as the engine's ToString: these need no engine call.
size_t immediateText(uint32_t word, uint16_t out[16]);

#endif
