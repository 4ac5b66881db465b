// The Serial class of pellun.dll: shared declarations of its files.
#ifndef SERIAL_SERIAL_H
#define SERIAL_SERIAL_H

#include <windows.h>

#include "host/host_api.h"

extern const HostTable *g_host;

// The private data of each Serial instance: the port it holds, or
// INVALID_HANDLE_VALUE while it is closed.
struct PortCell {
    HANDLE handle;
};

#define SERIAL_NATIVE(name) \
    int HOST_CALL name(ScriptContext *cx, ValueWord self, int argc, ValueWord *argv, ValueWord *rval)

extern const char kFormatError[]; // "Native function format error: %s"

// The port settings object of a call: the argument itself when it is an
// object, else a fresh empty object, so that every property falls back to
// its default.
ValueWord serial_settings(ScriptContext *cx, ValueWord argument);

SERIAL_NATIVE(serial_open);
SERIAL_NATIVE(serial_set);
SERIAL_NATIVE(serial_close);
SERIAL_NATIVE(serial_read);
SERIAL_NATIVE(serial_write);

#endif
