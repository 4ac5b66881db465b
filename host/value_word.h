/* Value words: the host's 32-bit script values, as modules see them.

   low bits   meaning
   ...xx1     integer n, stored as (n << 1) | 1 (31-bit range)
   ...000     object; the word with its low three bits cleared is the object,
              0 is null
   ...010     number that is not a 31-bit integer (host-held double)
   ...100     string (host-held)
   ...110     boolean: 6 is false, 14 is true

   Undefined is 0x80000001.  Object, number and string words are issued by the
   host and stay valid until the native call (or outside request) in which
   they were issued ends.

   The truth test used by the window procedure and by modules: a word is true
   when, shifted right arithmetically by three bits, it is non-zero.  So true,
   undefined, every object and every integer outside 0..3 are true; false,
   null and the integers 0..3 are false. */
#ifndef HOST_VALUE_WORD_H
#define HOST_VALUE_WORD_H

#include <math.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t ValueWord;

#define VW_UNDEFINED ((ValueWord)0x80000001u)
#define VW_NULL ((ValueWord)0u)
#define VW_FALSE ((ValueWord)6u)
#define VW_TRUE ((ValueWord)14u)

#define VW_TAG_MASK 7u
#define VW_TAG_OBJECT 0u
#define VW_TAG_DOUBLE 2u
#define VW_TAG_STRING 4u
#define VW_TAG_BOOLEAN 6u

#define VW_INT_MIN (-(1 << 30))
#define VW_INT_MAX ((1 << 30) - 1)

static inline int vw_is_int(ValueWord w) { return (int)(w & 1u); }
static inline int vw_is_object(ValueWord w) { return (w & VW_TAG_MASK) == VW_TAG_OBJECT; }
static inline int vw_is_string(ValueWord w) { return (w & VW_TAG_MASK) == VW_TAG_STRING; }
static inline int vw_is_double(ValueWord w) { return (w & VW_TAG_MASK) == VW_TAG_DOUBLE; }
static inline int vw_is_boolean(ValueWord w) { return (w & VW_TAG_MASK) == VW_TAG_BOOLEAN; }
static inline int vw_is_undefined(ValueWord w) { return w == VW_UNDEFINED; }
static inline int vw_is_null(ValueWord w) { return w == VW_NULL; }
/* Absent in the sense of property defaults: undefined or null. */
static inline int vw_is_absent(ValueWord w) { return w == VW_UNDEFINED || w == VW_NULL; }

/* Integer words hold -2^30 .. 2^30-1. */
static inline ValueWord vw_from_int(int32_t n) { return ((uint32_t)n << 1) | 1u; }
static inline int32_t vw_to_int(ValueWord w) { return (int32_t)w >> 1; }
static inline ValueWord vw_from_bool(int b) { return b ? VW_TRUE : VW_FALSE; }

/* The object a word names: the word with its low three bits cleared. */
static inline ValueWord vw_object(ValueWord w) { return w & ~VW_TAG_MASK; }

/* The truth test (see above). */
static inline int vw_truth(ValueWord w) { return ((int32_t)w >> 3) != 0; }

/* ECMAScript ToInt32 of a double: truncation toward zero, then modulo 2^32.
   NaN and the infinities give 0.  Never undefined behaviour, whatever the
   input: every number a module truncates to 32 bits goes through here. */
static inline int32_t host_to_int32(double d)
{
    if (!(d == d) || d == 1.0 / 0.0 || d == -1.0 / 0.0)
        return 0;
    if (d >= -2147483648.0 && d < 2147483648.0)
        return (int32_t)d; /* in range: C truncation toward zero is exact */
    /* Out of range: trunc and fmod are exact for doubles. */
    {
        double m = fmod(trunc(d), 4294967296.0); /* in (-2^32, 2^32) */
        if (m < 0)
            m += 4294967296.0;
        return (int32_t)(uint32_t)m;
    }
}

#ifdef __cplusplus
}
#endif

#endif
