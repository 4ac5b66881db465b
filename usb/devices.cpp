// USB.enumerate and USB.open: the library's bus and device lists.
#include <stdio.h>
#include <string.h>

#include "usb/descriptors.h"
#include "usb/usb_module.h"

namespace {

// The vendors whose devices open selects configuration 1 for and claims
// interface 0 of.
const unsigned short kSetupVendors[] = {0x0592, 0x06DA, 0x03F0};

bool isSetupVendor(unsigned short vendor)
{
    for (unsigned short v : kSetupVendors)
        if (v == vendor)
            return true;
    return false;
}

// A path field of the library's records as a string.  The fields are
// LIBUSB_PATH_MAX bytes; a name that fills one has no terminator.
ValueWord pathValue(ScriptContext *cx, const char *field)
{
    char text[LIBUSB_PATH_MAX + 1];
    memcpy(text, field, LIBUSB_PATH_MAX);
    text[LIBUSB_PATH_MAX] = 0;
    return g_host->newString(cx, text, nullptr);
}

bool pathEquals(const char *field, const char *name)
{
    return strlen(name) <= LIBUSB_PATH_MAX && strncmp(field, name, LIBUSB_PATH_MAX) == 0;
}

// Rescans the busses and devices and keeps the new list head in the cell.
usb_bus *rescan(DeviceListCell *cell)
{
    usb_find_busses();
    usb_find_devices();
    cell->busses = usb_get_busses();
    return cell->busses;
}

void defineNumber(ScriptContext *cx, ValueWord object, const char *name, double n)
{
    g_host->defineProperty(cx, object, name, g_host->newNumber(cx, n), nullptr, nullptr,
                           kReadOnlyEnumerable);
}

// The device entry of one device, with its properties in their documented
// order.
ValueWord newEntry(ScriptContext *cx, const usb_bus *bus, const usb_device *device)
{
    ValueWord entry = g_host->newObject(cx, nullptr);
    defineNumber(cx, entry, "idVendor", device->descriptor.idVendor);
    defineNumber(cx, entry, "idProduct", device->descriptor.idProduct);
    g_host->defineProperty(cx, entry, "dirName", pathValue(cx, bus->dirname), nullptr, nullptr,
                           kReadOnlyEnumerable);
    g_host->defineProperty(cx, entry, "fileName", pathValue(cx, device->filename), nullptr,
                           nullptr, kReadOnlyEnumerable);
    defineNumber(cx, entry, "hid", usb_is_hid(device));
    return entry;
}

// Configuration 1, interface 0 and its alternate setting 0, then the halt of
// the first IN endpoint cleared.  0, or the library's negative code.
int setUpDevice(usb_dev_handle *handle)
{
    int code = usb_set_configuration(handle, 1);
    if (code == 0)
        code = usb_claim_interface(handle, 0);
    if (code == 0)
        code = usb_set_altinterface(handle, 0);
    if (code == 0)
        usb_clear_halt(handle, 0x81);
    return code;
}

int reportDescriptorSize(const usb_device *device)
{
    const usb_interface_descriptor *alt = usb_first_altsetting(device);
    return alt ? usb_hid_report_descriptor_size(alt->extra, alt->extralen) : 0;
}

} // namespace

USB_NATIVE(usb_enumerate)
{
    (void)argc, (void)argv;
    DeviceListCell *cell = (DeviceListCell *)g_host->getPrivate(cx, self);
    if (!cell) {
        g_host->reportError(cx, "USB.enumerate: USB not initialized");
        return 0;
    }
    usb_bus *busses = rescan(cell);
    ValueWord array = g_host->newArray(cx, 0, nullptr);
    *rval = array;
    int index = 0;
    for (usb_bus *bus = busses; bus; bus = bus->next) {
        for (usb_device *device = bus->devices; device; device = device->next) {
            printf("Found: %d: %d\n", device->descriptor.idVendor, device->descriptor.idProduct);
            ValueWord entry = newEntry(cx, bus, device);
            g_host->setElement(cx, array, index++, &entry);
        }
    }
    // Scripts often go on to wait for a device: the list should not sit in
    // the buffer of a piped standard output meanwhile.
    fflush(stdout);
    return 1;
}

USB_NATIVE(usb_openDevice)
{
    if (argc < 1) {
        g_host->reportError(cx, "Native function format error: %s", "USB.open(<device>)");
        return 0;
    }
    DeviceListCell *cell = (DeviceListCell *)g_host->getPrivate(cx, self);
    if (!cell) {
        g_host->reportError(cx, "USB.open: USB not initialized");
        return 0;
    }
    ValueWord entry = vw_object(argv[0]);
    const char *fileName = g_host->getStringProperty(cx, entry, "fileName", "");
    const char *dirName = g_host->getStringProperty(cx, entry, "dirName", "");
    *rval = VW_FALSE;
    usb_device *match = nullptr;
    for (usb_bus *bus = rescan(cell); bus && !match; bus = bus->next) {
        if (!pathEquals(bus->dirname, dirName))
            continue;
        for (usb_device *device = bus->devices; device && !match; device = device->next)
            if (pathEquals(device->filename, fileName))
                match = device;
    }
    if (!match)
        return 1;

    usb_dev_handle *handle = usb_open(match);
    handles_add(handle);
    g_host->defineProperty(cx, entry, "handle", handle_to_value(cx, handle), nullptr, nullptr,
                           kReadOnlyEnumerable);
    if (isSetupVendor(match->descriptor.idVendor)) {
        // The configuration calls need a handle: without one, say why.
        if (!handle) {
            g_host->reportError(cx, "USB.open: ERROR! Unable to open device: %s", library_error());
            return 0;
        }
        int code = setUpDevice(handle);
        if (code != 0) {
            // The handle stays open and on the entry, so close releases it.
            g_host->reportError(cx, "USB.open: ERROR! Unable to open device: %d %s", code,
                                library_error());
            return 0;
        }
    }
    defineNumber(cx, entry, "reportDescriptorSize", reportDescriptorSize(match));
    *rval = VW_TRUE;
    return 1;
}
