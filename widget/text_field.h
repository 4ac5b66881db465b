// Copying script text into the fixed-size character fields of Win32
// structures.  No platform headers.
#ifndef WIDGET_TEXT_FIELD_H
#define WIDGET_TEXT_FIELD_H

#include <stddef.h>

#include "host/host_api.h"

// Copies text into field (capacity characters, terminator included), cut to
// capacity - 1 characters; null text gives the empty string.  Returns the
// number of characters copied.
inline size_t copy_cut(HostWChar *field, size_t capacity, const HostWChar *text)
{
    size_t n = 0;
    if (capacity == 0)
        return 0;
    if (text) {
        while (n + 1 < capacity && text[n]) {
            field[n] = text[n];
            n++;
        }
    }
    field[n] = 0;
    return n;
}

#endif
