// Event texts of the window procedure.  Every text is one printf-style call
// into a zero-filled stack buffer; the longest possible text is far below
// the buffer size, so snprintf never cuts one short.
#include "widget/event_texts.h"

#include <stdio.h>
#include <string.h>

namespace {

int32_t signed_low(uint32_t v) { return (int16_t)(uint16_t)(v & 0xFFFF); }
int32_t signed_high(uint32_t v) { return (int16_t)(uint16_t)(v >> 16); }
int32_t unsigned_low(uint32_t v) { return (int32_t)(v & 0xFFFF); }
int32_t unsigned_high(uint32_t v) { return (int32_t)(v >> 16); }

const char kPlain[] = "Widget.onEvent({hWnd: %ld, msg: '%s'})";
const char kButton[] = "Widget.onEvent({hWnd: %ld, msg: 'MOUSE_BUTTON', button: '%s', x: %ld, y: %ld})";

int plain(char *buffer, int32_t window, const char *name)
{
    snprintf(buffer, EVENT_TEXT_SIZE, kPlain, (long)window, name);
    return 1;
}

int button(char *buffer, int32_t window, const char *name, uint32_t second)
{
    snprintf(buffer, EVENT_TEXT_SIZE, kButton, (long)window, name, (long)unsigned_low(second),
             (long)signed_high(second));
    return 1;
}

} // namespace

const char *tray_button_name(uint32_t notification)
{
    switch (notification) {
    case EV_WM_LBUTTONDOWN: return "LEFT_DOWN";
    case EV_WM_LBUTTONUP: return "LEFT_UP";
    case EV_WM_RBUTTONDOWN: return "RIGHT_DOWN";
    case EV_WM_RBUTTONUP: return "RIGHT_UP";
    case EV_NIN_BALLOONUSERCLICK: return "LEFT_UP"; // a click on the balloon
    default: return nullptr;
    }
}

int format_event_text(char *buffer, int32_t window, uint32_t message, uint32_t first,
                      uint32_t second)
{
    memset(buffer, 0, EVENT_TEXT_SIZE);
    switch (message) {
    case EV_WM_DESTROY: return plain(buffer, window, "DESTROY");
    case EV_WM_MOVE:
        if (signed_low(second) < EV_MOVE_LIMIT)
            return 0;
        snprintf(buffer, EVENT_TEXT_SIZE, "Widget.onEvent({hWnd: %ld, msg: 'MOVE', x: %d, y: %d})",
                 (long)window, (int)signed_low(second), (int)signed_high(second));
        return 1;
    case EV_WM_SIZE:
        if (first == EV_SIZE_MINIMIZED)
            return plain(buffer, window, "MINIMIZE");
        snprintf(buffer, EVENT_TEXT_SIZE,
                 "Widget.onEvent({hWnd: %ld, msg: 'RESIZE', w: %d, h: %d})", (long)window,
                 (int)unsigned_low(second), (int)unsigned_high(second));
        return 1;
    case EV_WM_PAINT: return plain(buffer, window, "PAINT");
    case EV_WM_CLOSE: return plain(buffer, window, "CLOSE");
    case EV_WM_ERASEBKGND: return plain(buffer, window, "ERASE");
    case EV_WM_COMMAND:
        // EN_CHANGE names the control (the second parameter), not the parent.
        if ((first >> 16) == EV_EN_CHANGE)
            return plain(buffer, (int32_t)second, "EDIT_CHANGE");
        snprintf(buffer, EVENT_TEXT_SIZE, "Widget.onEvent({hWnd: %ld, msg: 'COMMAND', id: %ld})",
                 (long)window, (long)(int32_t)first);
        return 1;
    case EV_WM_TIMER: return plain(buffer, window, "TIMER");
    case EV_WM_MOUSEMOVE:
        snprintf(buffer, EVENT_TEXT_SIZE,
                 "Widget.onEvent({hWnd: %ld, msg: 'MOUSE_OVER', x: %ld, y: %ld})", (long)window,
                 (long)unsigned_low(second), (long)signed_high(second));
        return 1;
    case EV_WM_LBUTTONDOWN: return button(buffer, window, "LEFT_DOWN", second);
    case EV_WM_LBUTTONUP: return button(buffer, window, "LEFT_UP", second);
    case EV_WM_RBUTTONDOWN: return button(buffer, window, "RIGHT_DOWN", second);
    case EV_WM_RBUTTONUP: return button(buffer, window, "RIGHT_UP", second);
    case EV_WM_MOUSELEAVE: return plain(buffer, window, "MOUSE_OUT");
    case EV_TRAY_CALLBACK: {
        const char *name = tray_button_name(second);
        if (!name)
            return 0;
        snprintf(buffer, EVENT_TEXT_SIZE,
                 "Widget.onEvent({hWnd: %ld, msg: 'MOUSE_BUTTON', button: '%s'})", (long)window,
                 name);
        return 1;
    }
    default: return 0;
    }
}
