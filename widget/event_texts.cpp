// Event texts of the window procedure, built into a zero-filled stack
// buffer: no memory is allocated per event.
#include "widget/event_texts.h"

#include <string.h>

namespace {

int32_t signed_low(uint32_t v) { return (int16_t)(uint16_t)(v & 0xFFFF); }
int32_t signed_high(uint32_t v) { return (int16_t)(uint16_t)(v >> 16); }
int32_t unsigned_low(uint32_t v) { return (int32_t)(v & 0xFFFF); }
int32_t unsigned_high(uint32_t v) { return (int32_t)(v >> 16); }

// The texts are built by appending pieces: the same output as printf with
// "%ld"/"%d"/"%s", at a fraction of its cost on every mouse move.  The
// longest text has 99 characters, far below the buffer.
struct Text {
    char *p;
    void put(const char *s)
    {
        while (*s)
            *p++ = *s++;
    }
    void num(int32_t v)
    {
        char digits[11];
        int n = 0;
        uint32_t u = v < 0 ? 0u - (uint32_t)v : (uint32_t)v;
        do {
            digits[n++] = (char)('0' + u % 10);
            u /= 10;
        } while (u);
        if (v < 0)
            *p++ = '-';
        while (n)
            *p++ = digits[--n];
    }
};

// "Widget.onEvent({hWnd: <window>, msg: '<name>'" ... "})"
Text begin(char *buffer, int32_t window, const char *name)
{
    Text t{buffer};
    t.put("Widget.onEvent({hWnd: ");
    t.num(window);
    t.put(", msg: '");
    t.put(name);
    t.put("'");
    return t;
}

int plain(char *buffer, int32_t window, const char *name)
{
    Text t = begin(buffer, window, name);
    t.put("})");
    return 1;
}

int two(char *buffer, int32_t window, const char *name, const char *first, int32_t a,
        const char *second, int32_t b)
{
    Text t = begin(buffer, window, name);
    t.put(first);
    t.num(a);
    t.put(second);
    t.num(b);
    t.put("})");
    return 1;
}

int one(char *buffer, int32_t window, const char *name, const char *label, int32_t value)
{
    Text t = begin(buffer, window, name);
    t.put(label);
    t.num(value);
    t.put("})");
    return 1;
}

// Mouse buttons carry the position; tray buttons do not.
int button(char *buffer, int32_t window, const char *name, bool position, uint32_t second)
{
    Text t = begin(buffer, window, "MOUSE_BUTTON");
    t.put(", button: '");
    t.put(name);
    t.put("'");
    if (position) {
        t.put(", x: ");
        t.num(unsigned_low(second));
        t.put(", y: ");
        t.num(signed_high(second));
    }
    t.put("})");
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
        return two(buffer, window, "MOVE", ", x: ", signed_low(second), ", y: ",
                   signed_high(second));
    case EV_WM_SIZE:
        if (first == EV_SIZE_MINIMIZED)
            return plain(buffer, window, "MINIMIZE");
        return two(buffer, window, "RESIZE", ", w: ", unsigned_low(second), ", h: ",
                   unsigned_high(second));
    case EV_WM_PAINT: return plain(buffer, window, "PAINT");
    case EV_WM_CLOSE: return plain(buffer, window, "CLOSE");
    case EV_WM_ERASEBKGND: return plain(buffer, window, "ERASE");
    case EV_WM_COMMAND:
        // EN_CHANGE names the control (the second parameter), not the parent.
        if ((first >> 16) == EV_EN_CHANGE)
            return plain(buffer, (int32_t)second, "EDIT_CHANGE");
        return one(buffer, window, "COMMAND", ", id: ", (int32_t)first);
    case EV_WM_TIMER: return plain(buffer, window, "TIMER");
    case EV_WM_MOUSEMOVE:
        return two(buffer, window, "MOUSE_OVER", ", x: ", unsigned_low(second), ", y: ",
                   signed_high(second));
    case EV_WM_LBUTTONDOWN: return button(buffer, window, "LEFT_DOWN", true, second);
    case EV_WM_LBUTTONUP: return button(buffer, window, "LEFT_UP", true, second);
    case EV_WM_RBUTTONDOWN: return button(buffer, window, "RIGHT_DOWN", true, second);
    case EV_WM_RBUTTONUP: return button(buffer, window, "RIGHT_UP", true, second);
    case EV_WM_MOUSELEAVE: return plain(buffer, window, "MOUSE_OUT");
    case EV_TRAY_CALLBACK: {
        const char *name = tray_button_name(second);
        if (!name)
            return 0;
        return button(buffer, window, name, false, 0);
    }
    default: return 0;
    }
}
