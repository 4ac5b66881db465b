// The device handles this module holds open, and their script numbers.
#include <stdint.h>

#include <algorithm>
#include <vector>

#include "usb/usb_module.h"

namespace {

std::vector<usb_dev_handle *> g_open;

} // namespace

void handles_add(usb_dev_handle *handle)
{
    if (handle && !handles_contains(handle))
        g_open.push_back(handle);
}

bool handles_contains(usb_dev_handle *handle)
{
    return handle && std::find(g_open.begin(), g_open.end(), handle) != g_open.end();
}

void handles_remove(usb_dev_handle *handle)
{
    g_open.erase(std::remove(g_open.begin(), g_open.end(), handle), g_open.end());
}

ValueWord handle_to_value(ScriptContext *cx, usb_dev_handle *handle)
{
    return g_host->newNumber(cx, (double)(int32_t)(uintptr_t)handle);
}

usb_dev_handle *handle_of_entry(ScriptContext *cx, ValueWord entry)
{
    int32_t number = host_to_int32(g_host->getNumberProperty(cx, entry, "handle", 0));
    usb_dev_handle *handle = (usb_dev_handle *)(uintptr_t)(uint32_t)number;
    return handles_contains(handle) ? handle : nullptr;
}
