// Arbitrary `extra` bytes through the HID descriptor walk: it must stay
// inside the bytes and give a size that one of them spells.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "usb/descriptors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 65536)
        return 0;
    std::vector<unsigned char> extra(data, data + size); // exact size: overreads trip ASan
    int n = usb_hid_report_descriptor_size(extra.data(), (int)extra.size());
    if (n < 0 || n > 65535)
        std::abort();
    if (n > 0) {
        // Some HID descriptor of 9 or more bytes holds it in its bytes 7 and 8.
        bool found = false;
        for (size_t p = 0; p + 9 <= size && !found; p++)
            found = extra[p + 1] == 0x21 && extra[p] >= 9 && (extra[p + 7] | extra[p + 8] << 8) == n;
        if (!found)
            std::abort();
    }
    return 0;
}
