// Reading the library's descriptor records: the first alternate setting of a
// device and the HID report descriptor size in its class descriptors.  No
// windows.h: this builds and tests on any platform.
#ifndef USB_DESCRIPTORS_H
#define USB_DESCRIPTORS_H

#include "usb/usb0.h"

// The first alternate setting of the first interface of the device's first
// configuration, or null when the device has no configuration, interface or
// alternate setting.
const usb_interface_descriptor *usb_first_altsetting(const usb_device *device);

// 1 when that alternate setting has the HID interface class, else 0.
int usb_is_hid(const usb_device *device);

// The length of the report descriptor that the first HID descriptor in
// `extra` lists (bytes 7 and 8 of the HID descriptor, little-endian), or 0
// when there is none.
int usb_hid_report_descriptor_size(const unsigned char *extra, int extralen);

#endif
