/* The plain C counterpart of startup.js: registers a class and shows the same
   frame, then pumps messages until it is ended. */
#include <windows.h>

static LRESULT CALLBACK proc(HWND w, UINT m, WPARAM a, LPARAM b) { return DefWindowProcW(w, m, a, b); }

int WINAPI WinMain(HINSTANCE instance, HINSTANCE prev, LPSTR cmd, int show)
{
    WNDCLASSW wc = {0};
    MSG msg;
    HWND w;
    RECT r = {100, 100, 500, 400};
    (void)prev, (void)cmd, (void)show;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);
    wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    wc.lpszClassName = L"WndClass";
    RegisterClassW(&wc);
    w = CreateWindowExW(0, L"WndClass", L"Startup", 0xC70000 | WS_VISIBLE, 0, 0, 0, 0, NULL, NULL,
                        instance, NULL);
    AdjustWindowRect(&r, 0xC70000 | WS_VISIBLE, FALSE);
    SetWindowPos(w, NULL, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER);
    while (GetMessageW(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
