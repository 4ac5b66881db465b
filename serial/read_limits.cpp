#include "serial/read_limits.h"

#include <math.h>

#include "host/value_word.h"

const char *serial_read_count(double requested, uint32_t *count)
{
    // A NaN or negative count must not become a huge unsigned size (and a wait
    // of 15 ms for each of its bytes); a count past the 32-bit range would
    // otherwise wrap round to some small, unrelated number.
    if (isnan(requested))
        return "count is not a number";
    if (requested <= -1.0)
        return "count must not be negative";
    if (requested >= 2147483648.0)
        return "count is too large";
    *count = (uint32_t)host_to_int32(requested); /* -0.5 .. 2^31: 0 .. 2^31-1 */
    return nullptr;
}

uint32_t serial_poll_budget(uint32_t count)
{
    // count < 2^31, so 15 * count fits in 64 bits but not always in 32.
    uint64_t budget = (uint64_t)count * 15u;
    if (budget < 150u)
        budget = 150u;
    return budget > 0xFFFFFFFFu ? 0xFFFFFFFFu : (uint32_t)budget;
}
