// USB.send, USB.getAnswer and USB.close: work on a device entry alone, never
// on the instance they are called through.
#include <string.h>

#include "usb/usb_module.h"

namespace {

int intProperty(ScriptContext *cx, ValueWord object, const char *name, double fallback)
{
    return host_to_int32(g_host->getNumberProperty(cx, object, name, fallback));
}

// A transfer buffer of `length` zero bytes; null after reporting why there
// is none.  `what` is the operation for the message.
char *newBuffer(ScriptContext *cx, const char *what, int length)
{
    if (length < 0) {
        g_host->reportError(cx, "%s: invalid length %d (must be 0 or more)", what, length);
        return nullptr;
    }
    char *buffer = (char *)g_host->hostAlloc(cx, (size_t)length);
    if (!buffer) {
        g_host->reportError(cx, "%s: cannot allocate a buffer of %d bytes", what, length);
        return nullptr;
    }
    memset(buffer, 0, (size_t)length);
    return buffer;
}

} // namespace

USB_NATIVE(usb_send)
{
    (void)self;
    if (argc < 2) {
        g_host->reportError(cx, "Native function format error: %s", "USB.send(<device>, <request>)");
        return 0;
    }
    usb_dev_handle *handle = handle_of_entry(cx, vw_object(argv[0]));
    if (!handle) {
        g_host->reportError(cx, "USB.send: Device not initialized");
        return 0;
    }
    ValueWord request = vw_object(argv[1]);
    int requestType = intProperty(cx, request, "requestType", 0);
    int code = intProperty(cx, request, "request", 0);
    int value = intProperty(cx, request, "value", 0);
    int index = intProperty(cx, request, "index", 0);
    int length = intProperty(cx, request, "length", 0);
    // One read of `bytes`: its text and its length (the text may hold NULs).
    ValueWord bytesValue = g_host->getProperty(cx, request, "bytes");
    const char *bytes = nullptr;
    int bytesLength = 0;
    if (!vw_is_absent(bytesValue)) {
        bytes = g_host->valueToString(cx, bytesValue);
        bytesLength = g_host->stringLength(cx, bytesValue);
    }
    char *buffer = newBuffer(cx, "USB.send", length);
    if (!buffer)
        return 0;
    // Bytes shorter than the transfer leave the rest of the buffer zero.
    if (bytes)
        memcpy(buffer, bytes, (size_t)(bytesLength < length ? bytesLength : length));
    int timeout = intProperty(cx, request, "timeout", 5000);

    uint32_t token = g_host->suspendRequest(cx);
    int n = usb_control_msg(handle, requestType, code, value, index, buffer, length, timeout);
    g_host->resumeRequest(cx, token);

    int ok = n > 0;
    if (ok)
        *rval = g_host->newStringN(cx, buffer, n < length ? n : length);
    else
        g_host->reportError(cx,
                            "USB.send: ERROR! Unable to send USB control message: {requestType: "
                            "0x%02X, request: 0x%02X, value: 0x%04X, index: 0x%04X, length: "
                            "0x%04X, timeout: %d ms}: %d %s",
                            requestType, code, value, index, length, timeout, n, library_error());
    g_host->hostFree(cx, buffer);
    return ok;
}

USB_NATIVE(usb_getAnswer)
{
    (void)self;
    if (argc < 2) {
        g_host->reportError(cx, "Native function format error: %s",
                            "USB.getAnswer(<device>, <request>)");
        return 0;
    }
    usb_dev_handle *handle = handle_of_entry(cx, vw_object(argv[0]));
    if (!handle) {
        g_host->reportError(cx, "USB.read: Device not initialized");
        return 0;
    }
    ValueWord request = vw_object(argv[1]);
    int endPoint = intProperty(cx, request, "endPoint", 129);
    int length = intProperty(cx, request, "length", 0);
    char *buffer = newBuffer(cx, "USB.getAnswer", length);
    if (!buffer)
        return 0;
    int timeout = intProperty(cx, request, "timeout", 5000);

    uint32_t token = g_host->suspendRequest(cx);
    int n = usb_interrupt_read(handle, endPoint, buffer, length, timeout);
    g_host->resumeRequest(cx, token);

    int ok = n > 0;
    if (ok)
        *rval = g_host->newStringN(cx, buffer, n < length ? n : length);
    else
        g_host->reportError(cx,
                            "USB.getAnswer: ERROR! Unable to read endpoint\nendPoint=0x%02X "
                            "length=0x%04X\n%d %s",
                            endPoint, length, n, library_error());
    g_host->hostFree(cx, buffer);
    return ok;
}

USB_NATIVE(usb_closeDevice)
{
    (void)self;
    if (argc < 1) {
        g_host->reportError(cx, "Native function format error: %s", "USB.close(<device>)");
        return 0;
    }
    ValueWord entry = vw_object(argv[0]);
    usb_dev_handle *handle = handle_of_entry(cx, entry);
    if (handle) {
        usb_release_interface(handle, 0);
        usb_close(handle);
        handles_remove(handle);
    }
    g_host->defineProperty(cx, entry, "handle", vw_from_int(0), nullptr, nullptr,
                           kReadOnlyEnumerable);
    *rval = VW_TRUE;
    return 1;
}
