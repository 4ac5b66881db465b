// Registration of the Serial class, its constructor and its finalizer.
#include "serial/serial.h"

#include <stdlib.h>

const HostTable *g_host = nullptr;
const char kFormatError[] = "Native function format error: %s";

namespace {

SERIAL_NATIVE(serial_construct)
{
    (void)argc, (void)argv, (void)rval;
    PortCell *cell = (PortCell *)malloc(sizeof(PortCell));
    if (!cell) {
        g_host->reportError(cx, "Serial: out of memory");
        return 0;
    }
    cell->handle = INVALID_HANDLE_VALUE;
    if (!g_host->setPrivate(cx, self, cell)) {
        free(cell);
        return 0;
    }
    return 1;
}

// Closes the port that script forgot to close.
void HOST_CALL serial_finalize(ScriptContext *cx, ValueWord object)
{
    PortCell *cell = (PortCell *)g_host->getPrivate(cx, object);
    if (!cell)
        return;
    CloseHandle(cell->handle);
    cell->handle = INVALID_HANDLE_VALUE;
    g_host->setPrivate(cx, object, nullptr);
    free(cell);
}

const FunctionSpec kMethods[] = {
    {"open", serial_open, 1, 0, 0},
    {"set", serial_set, 1, 0, 0},
    {"close", serial_close, 0, 0, 0},
    {"read", serial_read, 1, 0, 0},
    {"write", serial_write, 1, 0, 0},
    {nullptr, nullptr, 0, 0, 0},
};

const FunctionSpec kNoStaticMethods[1] = {};

} // namespace

ValueWord serial_settings(ScriptContext *cx, ValueWord argument)
{
    if (vw_is_object(argument) && !vw_is_null(argument))
        return vw_object(argument);
    return g_host->newObject(cx, nullptr);
}

extern "C" __declspec(dllexport) int HOST_CALL initModule(ScriptContext *cx, const HostTable *table)
{
    g_host = table;
    ValueWord prototype = table->defineClass(cx, "Serial", serial_construct, 0, nullptr, kMethods,
                                             nullptr, kNoStaticMethods, serial_finalize);
    return (int)prototype;
}
