// Widget.setSystray (the notification-area icon of a window, its tooltip and
// balloon) and Widget.popupMenu (a popup menu at the mouse position).
#include <cstring>

#include "widget/text_field.h"
#include "widget/widget.h"

namespace {

// The tray icon talks to its window with this message (WM_USER + 1); the
// window procedure turns it into MOUSE_BUTTON events.
const UINT kTrayCallbackMessage = WM_USER + 1;
// One icon per window.
const UINT kTrayIconId = 1;

// The structure in its 936-byte form, without guidItem and hBalloonIcon: the
// shell then sends the callback message in its earliest form (icon id,
// mouse message).  MinGW's sizeof is the 956 bytes of the newest layout.
const DWORD kNotifyDataSize = NOTIFYICONDATAW_V2_SIZE;
static_assert(NOTIFYICONDATAW_V2_SIZE == 936, "NOTIFYICONDATAW up to dwInfoFlags");

const unsigned kWritable = HOST_ATTR_ENUMERABLE;

int32_t number_prop(ScriptContext *cx, ValueWord descriptor, const char *name)
{
    return host_to_int32(g_host->getNumberProperty(cx, descriptor, name, 0));
}

} // namespace

WIDGET_NATIVE(widget_setSystray)
{
    if (argc < 1) {
        g_host->reportError(cx, "Native function format error: %s", "Widget.setSystray(<cmp>)");
        return 0;
    }
    if (vw_is_undefined(argv[0])) {
        g_host->reportError(cx, "Widget: Component is undefined");
        return 0;
    }
    ValueWord descriptor = vw_object(argv[0]);
    HWND window = (HWND)(intptr_t)number_prop(cx, descriptor, "hWnd");
    const HostWChar *tip = g_host->getWideStringProperty(cx, descriptor, "utext", nullptr);
    const HostWChar *info = g_host->getWideStringProperty(cx, descriptor, "msgUText", nullptr);
    const HostWChar *infoTitle = g_host->getWideStringProperty(cx, descriptor, "msgUTitle", nullptr);
    int32_t timeout = number_prop(cx, descriptor, "msgTimeout");
    HICON icon = (HICON)(intptr_t)number_prop(cx, descriptor, "hIcon");
    const char *command = g_host->getStringProperty(cx, descriptor, "command", "add");
    if (!icon || !window)
        return 1;

    NOTIFYICONDATAW data;
    std::memset(&data, 0, sizeof data);
    data.cbSize = kNotifyDataSize;
    data.hWnd = window;
    data.uID = kTrayIconId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kTrayCallbackMessage;
    data.hIcon = icon;
    copy_cut(data.szTip, sizeof data.szTip / sizeof data.szTip[0], tip);
    if (info) {
        // A balloon on every call that has a text, "modify" included; the
        // balloon shows the tray icon itself as its icon.
        data.uFlags |= NIF_INFO;
        copy_cut(data.szInfo, sizeof data.szInfo / sizeof data.szInfo[0], info);
        data.uTimeout = (UINT)timeout;
        copy_cut(data.szInfoTitle, sizeof data.szInfoTitle / sizeof data.szInfoTitle[0],
                 infoTitle);
        data.dwInfoFlags = NIIF_USER;
    }

    // The shell's answer is not looked at: an "add" for an icon that exists
    // still turns the descriptor to "modify", as scripts expect.
    if (command && std::strcmp(command, "add") == 0) {
        Shell_NotifyIconW(NIM_ADD, &data);
        g_host->defineProperty(cx, descriptor, "command", g_host->newString(cx, "modify", nullptr),
                               nullptr, nullptr, kWritable);
    } else if (command && std::strcmp(command, "modify") == 0) {
        Shell_NotifyIconW(NIM_MODIFY, &data);
    } else if (command && std::strcmp(command, "delete") == 0) {
        Shell_NotifyIconW(NIM_DELETE, &data);
    }
    return 1;
}

WIDGET_NATIVE(widget_popupMenu)
{
    if (argc < 1) {
        g_host->reportError(cx, "Native function format error: %s", "Widget.popupMenu(<cmp>)");
        return 0;
    }
    if (vw_is_undefined(argv[0])) {
        g_host->reportError(cx, "Widget: Component is undefined");
        return 0;
    }
    ValueWord descriptor = vw_object(argv[0]);
    HMENU menu = (HMENU)(intptr_t)number_prop(cx, descriptor, "hWnd");
    HWND owner = (HWND)(intptr_t)number_prop(cx, descriptor, "hParent");

    uint32_t token = g_host->suspendRequest(cx);
    POINT at = {0, 0};
    GetCursorPos(&at);
    // A popup menu of a window that is not in the foreground (a hidden tray
    // window always is not) would not close when the user clicks elsewhere;
    // the WM_NULL afterwards makes the owner's thread notice the switch, or
    // the next menu opens and closes at once.
    SetForegroundWindow(owner);
    TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, at.x, at.y, 0, owner,
                   nullptr);
    PostMessageW(owner, WM_NULL, 0, 0);
    g_host->resumeRequest(cx, token);
    return 1;
}
