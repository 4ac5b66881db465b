// Registration of the class USB, its constructor and finalizer.
#include "usb/usb_module.h"

const HostTable *g_host = nullptr;

namespace {

// Set once the first construction in the process has called usb_init.
bool g_libraryReady = false;

const FunctionSpec kMethods[] = {
    {"enumerate", usb_enumerate, 0, 0, 0},
    {"open", usb_openDevice, 1, 0, 0},
    {"close", usb_closeDevice, 0, 0, 0},
    {"send", usb_send, 2, 0, 0},
    {"getAnswer", usb_getAnswer, 2, 0, 0},
    {nullptr, nullptr, 0, 0, 0},
};

const FunctionSpec kStaticMethods[] = {
    {nullptr, nullptr, 0, 0, 0},
};

USB_NATIVE(usb_construct)
{
    (void)argc, (void)argv, (void)rval;
    DeviceListCell *cell = (DeviceListCell *)g_host->hostAlloc(cx, sizeof(DeviceListCell));
    if (!cell) {
        g_host->reportError(cx, "USB: out of memory");
        return 0;
    }
    cell->busses = nullptr;
    if (!g_libraryReady) {
        usb_init();
        g_libraryReady = true;
    }
    g_host->setPrivate(cx, self, cell);
    usb_set_debug(4);
    return 1;
}

// Frees the cell only: open device handles belong to the device entries
// (close releases them) and the bus list belongs to the library.
void HOST_CALL usb_finalize(ScriptContext *cx, ValueWord object)
{
    void *cell = g_host->getPrivate(cx, object);
    if (cell) {
        g_host->setPrivate(cx, object, nullptr);
        g_host->hostFree(cx, cell);
    }
}

} // namespace

extern "C" __declspec(dllexport) int HOST_CALL initModule(ScriptContext *cx, const HostTable *table)
{
    g_host = table;
    ValueWord prototype = table->defineClass(cx, "USB", usb_construct, 0, nullptr, kMethods, nullptr,
                                             kStaticMethods, usb_finalize);
    return prototype != VW_NULL;
}
