// Operations on a component that Widget.create made, found again through the
// descriptor's hWnd: destroy, show, setWindowTop, refresh, resize and
// getProperty.
#include <cstring>

#include "widget/descriptor_props.h"
#include "widget/widget.h"

namespace {

// The two checks every operation starts with.  reportUndefined is false for
// destroy, which fails on an undefined component without a message.
bool check_component(ScriptContext *cx, int argc, ValueWord *argv, int needed,
                     const char *signature, bool reportUndefined = true)
{
    if (argc < needed) {
        g_host->reportError(cx, "Native function format error: %s", signature);
        return false;
    }
    if (vw_is_undefined(argv[0])) {
        if (reportUndefined)
            g_host->reportError(cx, "Widget: Component is undefined");
        return false;
    }
    return true;
}

int32_t number_prop(ScriptContext *cx, ValueWord descriptor, const char *name, double fallback)
{
    return host_to_int32(g_host->getNumberProperty(cx, descriptor, name, fallback));
}

HWND handle_of(ScriptContext *cx, ValueWord descriptor)
{
    return (HWND)(intptr_t)number_prop(cx, descriptor, PROP_HWND, 0);
}

bool is_type(const char *type, const char *name) { return type && std::strcmp(type, name) == 0; }

} // namespace

WIDGET_NATIVE(widget_destroy)
{
    (void)self, (void)rval;
    if (!check_component(cx, argc, argv, 1, "Widget.destroy(<cmp>)", false))
        return 0;
    ValueWord descriptor = vw_object(argv[0]);
    const char *type = g_host->getStringProperty(cx, descriptor, PROP_TYPE, TYPE_FRAME);
    HWND window = handle_of(cx, descriptor);
    if (window) {
        if (is_type(type, TYPE_WEB)) {
            // Web: unembedBrowser(window) goes here, before the window goes,
            // once the browser host is built.
        }
        // The request stays held: DESTROY events are evaluated in nested
        // requests before DestroyWindow returns.
        DestroyWindow(window);
    }
    g_host->defineProperty(cx, descriptor, PROP_HWND, VW_UNDEFINED, nullptr, nullptr,
                           HOST_ATTR_ENUMERABLE | HOST_ATTR_READONLY);
    return 1;
}

WIDGET_NATIVE(widget_show)
{
    (void)self, (void)rval;
    if (!check_component(cx, argc, argv, 1, "Widget.show(<cmp>, [show])"))
        return 0;
    ValueWord descriptor = vw_object(argv[0]);
    // The second argument becomes the descriptor's show (undefined when
    // missing, which reads as the default 1 below).
    g_host->defineProperty(cx, descriptor, PROP_SHOW, argv[1], nullptr, nullptr,
                           HOST_ATTR_ENUMERABLE);
    HWND window = handle_of(cx, descriptor);
    bool visible = number_prop(cx, descriptor, PROP_SHOW, 1) != 0;
    uint32_t token = g_host->suspendRequest(cx);
    ShowWindow(window, visible ? SW_SHOW : SW_HIDE);
    g_host->resumeRequest(cx, token);
    g_host->defineProperty(cx, descriptor, PROP_SHOW, vw_from_int(visible ? 1 : 0), nullptr,
                           nullptr, HOST_ATTR_ENUMERABLE);
    return 1;
}

WIDGET_NATIVE(widget_setWindowTop)
{
    (void)self, (void)rval;
    if (!check_component(cx, argc, argv, 1, "Widget.setWindowTop(<cmp>)"))
        return 0;
    HWND window = handle_of(cx, vw_object(argv[0]));
    // Attached to the foreground thread's input state, the window may come
    // to the top even while another process owns the foreground.
    DWORD foreground = GetWindowThreadProcessId(GetForegroundWindow(), NULL);
    DWORD own = GetCurrentThreadId();
    AttachThreadInput(own, foreground, TRUE);
    BringWindowToTop(window);
    AttachThreadInput(own, foreground, FALSE);
    return 1;
}

WIDGET_NATIVE(widget_refresh)
{
    (void)self, (void)rval;
    if (!check_component(cx, argc, argv, 1, "Widget.refresh(<cmp>)"))
        return 0;
    ValueWord descriptor = vw_object(argv[0]);
    HWND window = handle_of(cx, descriptor);
    // No default: a descriptor without type is no edit control.
    const char *type = g_host->getStringProperty(cx, descriptor, PROP_TYPE, nullptr);
    if (is_type(type, TYPE_EDIT) || is_type(type, TYPE_TEXTAREA)) {
        const HostWChar *text = g_host->getWideStringProperty(cx, descriptor, PROP_UTEXT, nullptr);
        uint32_t token = g_host->suspendRequest(cx);
        SetWindowTextW(window, text);
        g_host->resumeRequest(cx, token);
    } else {
        // The repaint comes later, as ERASE and PAINT through the event loop.
        uint32_t token = g_host->suspendRequest(cx);
        InvalidateRect(window, NULL, TRUE);
        g_host->resumeRequest(cx, token);
    }
    return 1;
}

WIDGET_NATIVE(widget_resize)
{
    (void)self, (void)rval;
    if (!check_component(cx, argc, argv, 1, "Widget.resize(<cmp>)"))
        return 0;
    ValueWord descriptor = vw_object(argv[0]);
    HWND window = handle_of(cx, descriptor);
    const double kMissing = -2147483648.0;
    int32_t x = number_prop(cx, descriptor, PROP_X, kMissing);
    int32_t y = number_prop(cx, descriptor, PROP_Y, kMissing);
    int32_t w = number_prop(cx, descriptor, PROP_W, kMissing);
    int32_t h = number_prop(cx, descriptor, PROP_H, kMissing);
    const char *type = g_host->getStringProperty(cx, descriptor, PROP_TYPE, TYPE_FRAME);
    DWORD style = (DWORD)number_prop(cx, descriptor, PROP_STYLE, 0);

    uint32_t token = g_host->suspendRequest(cx);
    // A missing coordinate keeps the window's current client value (screen
    // coordinates for top-level windows, parent client coordinates for
    // children) instead of a wrap-around rectangle.
    if (x == INT32_MIN || y == INT32_MIN || w == INT32_MIN || h == INT32_MIN) {
        RECT client = {0, 0, 0, 0};
        GetClientRect(window, &client);
        MapWindowPoints(window, GetAncestor(window, GA_PARENT), (POINT *)&client, 2);
        if (x == INT32_MIN)
            x = client.left;
        if (y == INT32_MIN)
            y = client.top;
        if (w == INT32_MIN)
            w = client.right - client.left;
        if (h == INT32_MIN)
            h = client.bottom - client.top;
    }
    // Unsigned sums: no signed overflow for extreme values.
    RECT rect = {x, y, (LONG)((uint32_t)x + (uint32_t)w), (LONG)((uint32_t)y + (uint32_t)h)};
    AdjustWindowRect(&rect, style, FALSE);
    int width = (int)((uint32_t)rect.right - (uint32_t)rect.left);
    int height = (int)((uint32_t)rect.bottom - (uint32_t)rect.top);
    // MOVE and RESIZE are delivered during this call.
    SetWindowPos(window, NULL, rect.left, rect.top, width, height, SWP_NOZORDER);
    if (is_type(type, TYPE_WEB)) {
        // Web: resizeBrowser(window, width, height) goes here once the
        // browser host is built.
        (void)width, (void)height;
    }
    g_host->resumeRequest(cx, token);
    return 1;
}

WIDGET_NATIVE(widget_getProperty)
{
    (void)self;
    if (!check_component(cx, argc, argv, 2, "Widget.getProperty(<cmp>, <property>)"))
        return 0;
    ValueWord descriptor = vw_object(argv[0]);
    HWND window = handle_of(cx, descriptor);
    const char *name = g_host->valueToString(cx, argv[1]);
    if (!name || std::strcmp(name, PROP_UTEXT) != 0)
        return 1;
    int length = GetWindowTextLengthW(window);
    if (length < 0)
        length = 0;
    size_t n = (size_t)length + 1;
    HostWChar *buffer = (HostWChar *)g_host->hostAlloc(cx, 2 * n);
    if (!buffer)
        return 0;
    // Zeroed: a handle that names no window gives the empty string.
    std::memset(buffer, 0, 2 * n);
    uint32_t token = g_host->suspendRequest(cx);
    GetWindowTextW(window, buffer, (int)n);
    g_host->resumeRequest(cx, token);
    ValueWord text = g_host->newString(cx, nullptr, buffer);
    g_host->hostFree(cx, buffer);
    g_host->defineProperty(cx, descriptor, PROP_UTEXT, text, nullptr, nullptr,
                           HOST_ATTR_ENUMERABLE);
    *rval = text;
    return 1;
}
