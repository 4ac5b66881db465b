// The script text of window events: which messages become a call of
// Widget.onEvent, and with which arguments.  No platform headers, so the
// formatting can be built and tested on any system; the message numbers are
// the Win32 values.
#ifndef WIDGET_EVENT_TEXTS_H
#define WIDGET_EVENT_TEXTS_H

#include <stdint.h>

#include "host/value_word.h"

enum {
    EVENT_TEXT_SIZE = 256, // one line of script, at most 255 characters

    EV_WM_DESTROY = 2,
    EV_WM_MOVE = 3,
    EV_WM_SIZE = 5,
    EV_WM_PAINT = 15,
    EV_WM_CLOSE = 16,
    EV_WM_ERASEBKGND = 20,
    EV_WM_COMMAND = 273,
    EV_WM_TIMER = 275,
    EV_WM_MOUSEMOVE = 512,
    EV_WM_LBUTTONDOWN = 513,
    EV_WM_LBUTTONUP = 514,
    EV_WM_RBUTTONDOWN = 516,
    EV_WM_RBUTTONUP = 517,
    EV_WM_MOUSELEAVE = 675,
    EV_TRAY_CALLBACK = 1025,      // WM_USER + 1, sent by the tray icon
    EV_NIN_BALLOONUSERCLICK = 1029, // WM_USER + 5
    EV_SIZE_MINIMIZED = 1,
    EV_EN_CHANGE = 0x300,
    EV_MOVE_LIMIT = -3000, // a minimised window moves to -32000: not reported
};

// Formats the event text of one window message into buffer (which must hold
// EVENT_TEXT_SIZE bytes and is zero-filled first).  window is the handle of
// the receiving window read as a signed 32-bit value; first and second are
// the message parameters as 32-bit words.  Returns 1 when the message is an
// event, 0 (buffer empty) when it is not.
int format_event_text(char *buffer, int32_t window, uint32_t message, uint32_t first,
                      uint32_t second);

// The button name of a tray callback's second parameter, or null when that
// notification gives no event.
const char *tray_button_name(uint32_t notification);

// The integer value word of a handle read as a signed 32-bit value: the
// handle shifted left by one with the low bit set, so handles of 2^30 or
// more wrap into the 31-bit integer range.
static inline ValueWord handle_result_word(int32_t handle)
{
    return ((uint32_t)handle << 1) | 1u;
}

#endif
