// The window procedure of the class "WndClass".
#ifndef WIDGET_WINDOW_PROC_H
#define WIDGET_WINDOW_PROC_H

#include <windows.h>

LRESULT CALLBACK widget_window_proc(HWND window, UINT message, WPARAM first, LPARAM second);

#endif
