#include "usb/descriptors.h"

const usb_interface_descriptor *usb_first_altsetting(const usb_device *device)
{
    if (!device || device->descriptor.bNumConfigurations == 0 || !device->config)
        return nullptr;
    const usb_config_descriptor *config = &device->config[0];
    if (config->bNumInterfaces == 0 || !config->interface)
        return nullptr;
    const usb_interface *first = &config->interface[0];
    if (first->num_altsetting <= 0 || !first->altsetting)
        return nullptr;
    return &first->altsetting[0];
}

int usb_is_hid(const usb_device *device)
{
    const usb_interface_descriptor *alt = usb_first_altsetting(device);
    return alt && alt->bInterfaceClass == USB_CLASS_HID ? 1 : 0;
}

int usb_hid_report_descriptor_size(const unsigned char *extra, int extralen)
{
    if (!extra)
        return 0;
    int p = 0;
    while (p < extralen) {
        int length = extra[p];
        // A HID descriptor is at least 9 bytes: length, type, bcdHID,
        // country, count, then the type and length of its first class
        // descriptor, the report descriptor.
        if (p + 9 <= extralen && length >= 9 && extra[p + 1] == USB_DT_HID)
            return extra[p + 7] | (extra[p + 8] << 8);
        // A length below 2 is not a descriptor; stepping by it would loop
        // forever (0) or read the type byte as the next length (1).
        if (length < 2)
            return 0;
        p += length;
    }
    return 0;
}
