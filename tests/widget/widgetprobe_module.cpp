// widgetprobe.dll: a module for the widget tests.  Probe.watch(hWnd, msg)
// installs a hook that, for every message msg sent to hWnd (0: to any
// window), makes one host call.  With the request checker on, that call
// aborts the process when the message arrives while the request of the
// running native function is suspended, and succeeds while it is held; so a
// script proves which Widget operations suspend.
#include <windows.h>

#include "host/host_api.h"

namespace {

const HostTable *g_table = nullptr;
ScriptContext *g_cx = nullptr;
HHOOK g_hook = nullptr;
HWND g_window = nullptr;
UINT g_message = 0;
int g_count = 0;

LRESULT CALLBACK on_call(int code, WPARAM w, LPARAM l)
{
    const CWPSTRUCT *c = (const CWPSTRUCT *)l;
    if (code == HC_ACTION && c->message == g_message && (!g_window || c->hwnd == g_window)) {
        g_count++;
        g_table->newNumber(g_cx, g_count);
    }
    return CallNextHookEx(g_hook, code, w, l);
}

int HOST_CALL watch(ScriptContext *cx, ValueWord, int, ValueWord *argv, ValueWord *)
{
    // Integer words only: window handles and message numbers of the tests
    // fit in 31 bits.
    g_cx = cx;
    g_window = (HWND)(intptr_t)(vw_is_int(argv[0]) ? vw_to_int(argv[0]) : 0);
    g_message = (UINT)(vw_is_int(argv[1]) ? vw_to_int(argv[1]) : 0);
    g_count = 0;
    if (!g_hook)
        g_hook = SetWindowsHookExW(WH_CALLWNDPROC, on_call, NULL, GetCurrentThreadId());
    return 1;
}

int HOST_CALL count(ScriptContext *, ValueWord, int, ValueWord *, ValueWord *rval)
{
    *rval = vw_from_int(g_count);
    return 1;
}

const FunctionSpec kProbe[] = {
    {"watch", watch, 2, 0, 0},
    {"count", count, 0, 0, 0},
    {nullptr, nullptr, 0, 0, 0},
};

} // namespace

extern "C" __declspec(dllexport) int HOST_CALL initModule(ScriptContext *cx, const HostTable *table)
{
    g_table = table;
    ValueWord probe = table->newObject(cx, nullptr);
    table->defineFunctions(cx, probe, kProbe);
    return table->defineProperty(cx, table->globalObject(cx), "Probe", probe, nullptr, nullptr, 1);
}
