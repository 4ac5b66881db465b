// PNG bytes held in memory -> one contiguous buffer of 8-bit BGRA pixels.
// Portable: no platform headers, so the decoder also builds natively for
// sanitizer and fuzzing runs.
#ifndef WIDGET_PNG_DECODER_H
#define WIDGET_PNG_DECODER_H

#include <stddef.h>
#include <stdint.h>

// The read state libpng's read callback gets as its I/O pointer.
struct PngMemorySource {
    const unsigned char *data;
    size_t length;
    size_t position; // bytes already handed to libpng
};

// One decode per call of loadImage or loadIcon, on that call's stack.  The
// destructor frees the pixel buffer, so it never outlives the call.
class PngDecoder {
public:
    unsigned char *pixels; // width * 4 * height bytes, rows top-down, B G R A
    int32_t size;
    int32_t width;
    int32_t height;
    int32_t channels; // bytes per pixel of libpng's rows after the transforms

    PngDecoder();
    ~PngDecoder();
    PngDecoder(const PngDecoder &) = delete;
    PngDecoder &operator=(const PngDecoder &) = delete;

    // True with every field set; false with pixels null for anything that is
    // not a PNG libpng can decode, or whose buffer would not fit in 32 bits or
    // cannot be allocated.  libpng's own messages go to standard error.
    bool decode(const unsigned char *bytes, size_t length);
};

// The buffer size width * 4 * height; false when it does not fit in a signed
// 32-bit integer or a dimension is not positive.
bool pngBufferSize(int64_t width, int64_t height, int32_t *size);

// Premultiplies BGRA pixels in place: each colour byte c of a pixel with
// alpha a < 255 becomes (c * a) >> 8.  Opaque pixels are left as they are.
void premultiplyBgra(unsigned char *pixels, size_t bytes);

#endif
