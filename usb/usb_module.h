// tarnic.dll: the script class USB over libusb-0.1.  Shared declarations of
// the module's files.
#ifndef USB_USB_MODULE_H
#define USB_USB_MODULE_H

#include "host/host_api.h"
#include "usb/usb0.h"

extern const HostTable *g_host;

// The private data of each USB instance: the head of the library's bus list
// as of the last rescan.  The list itself belongs to the library.
struct DeviceListCell {
    usb_bus *busses;
};

#define USB_NATIVE(name) \
    int HOST_CALL name(ScriptContext *cx, ValueWord self, int argc, ValueWord *argv, ValueWord *rval)

USB_NATIVE(usb_enumerate);
USB_NATIVE(usb_openDevice);
USB_NATIVE(usb_closeDevice);
USB_NATIVE(usb_send);
USB_NATIVE(usb_getAnswer);

// The device handles that open has returned and close has not released.
// Entries are plain script objects whose `handle` number any script can
// forge or copy; only a handle found here is ever passed to the library.
void handles_add(usb_dev_handle *handle);
bool handles_contains(usb_dev_handle *handle);
void handles_remove(usb_dev_handle *handle);

// The handle number script sees: the pointer read as a signed 32-bit integer.
ValueWord handle_to_value(ScriptContext *cx, usb_dev_handle *handle);
// The open handle an entry's `handle` names, or null (absent, 0, or not a
// handle this module opened and still holds).
usb_dev_handle *handle_of_entry(ScriptContext *cx, ValueWord entry);

// The library's text of its last error.
static inline const char *library_error()
{
    const char *text = usb_strerror();
    return text ? text : "";
}

enum { kReadOnlyEnumerable = HOST_ATTR_ENUMERABLE | HOST_ATTR_READONLY };

#endif
