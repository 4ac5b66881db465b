// Proving where a native holds or suspends its request: a replacement of an
// intercepted system call makes one host call.  With the checker on (every
// test), that call aborts the process with "newNumber called while the
// request is suspended" when the native suspended its request around the
// system call, and is harmless while the request is held.
#ifndef TESTS_WIDGET_TRAY_REQUEST_PROBE_H
#define TESTS_WIDGET_TRAY_REQUEST_PROBE_H

#include "scripthost/engine.h"
#include "tests/widget/widget_fixture.h"

namespace tray_test {

// The module's name for ImportPatch, once the host has loaded it.
inline const char *zorvex()
{
    widget_test::host();
    return "zorvex.dll";
}

inline void touchHost() { engine::table()->newNumber(widget_test::host().context(), 1); }

const char kSuspended[] = "contract violation: newNumber called while the request is suspended";

} // namespace tray_test

#endif
