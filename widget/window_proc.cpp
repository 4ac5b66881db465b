// The window procedure of "WndClass": window messages become calls of the
// script's Widget.onEvent, evaluated in the saved context; the value the
// script returns decides whether DefWindowProcW runs.  And Widget.eventLoop,
// the script's message pump.
#include "widget/window_proc.h"

#include <commctrl.h>

#include "widget/event_texts.h"
#include "widget/widget.h"

LRESULT CALLBACK widget_window_proc(HWND window, UINT message, WPARAM first, LPARAM second)
{
    // Messages can arrive before any script asked for events (a window of
    // the class made by another module instance): nothing to evaluate in.
    if (!g_saved)
        return DefWindowProcW(window, message, first, second);

    if (message == WM_MOUSEMOVE) {
        // Renewed on every move: the system sends one WM_MOUSELEAVE per
        // tracking request.
        TRACKMOUSEEVENT track = {};
        track.cbSize = sizeof track;
        track.dwFlags = TME_LEAVE;
        track.hwndTrack = window;
        _TrackMouseEvent(&track);
    }

    char text[EVENT_TEXT_SIZE];
    if (!format_event_text(text, (int32_t)(intptr_t)window, message, (uint32_t)first,
                           (uint32_t)second))
        return DefWindowProcW(window, message, first, second);

    // Own request around the evaluation: it may nest inside the request of
    // the native function whose system call delivered this message.
    ScriptContext *cx = g_saved;
    ValueWord result;
    g_host->beginRequest(cx);
    g_host->evaluate(cx, "Widget.onEvent", text, &result);
    int handled = vw_truth(result);
    g_host->endRequest(cx);

    if (handled)
        return 1;
    return DefWindowProcW(window, message, first, second);
}

WIDGET_NATIVE(widget_eventLoop)
{
    (void)self, (void)argc, (void)argv;
    MSG message;
    uint32_t token = g_host->suspendRequest(cx);
    BOOL got = GetMessageW(&message, NULL, 0, 0);
    if (got != 0 && got != -1) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    g_host->resumeRequest(cx, token);
    *rval = vw_from_int(got);
    return 1;
}
