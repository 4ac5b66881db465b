// The numbers behind Serial.read that need no Win32: which counts a read
// accepts, and how many 1 ms polls it waits for them.
#ifndef SERIAL_READ_LIMITS_H
#define SERIAL_READ_LIMITS_H

#include <stdint.h>

// Checks a count as script gave it (already a double).  Returns null and
// stores the byte count, truncated toward zero, or returns the reason the
// count is refused, for "Serial.read: <reason>".
const char *serial_read_count(double requested, uint32_t *count);

// Polls of 1 ms that a read of count bytes waits at most: 15 per byte, at
// least 150.
uint32_t serial_poll_budget(uint32_t count);

#endif
