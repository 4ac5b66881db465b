#include "tests/widget/images/test_window.h"

namespace imagetest {

namespace {
const wchar_t kClassName[] = L"ImageTestWindow";
}

TestWindow::TestWindow(int width, int height) : width_(width), height_(height)
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = procedure;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
        wc.hCursor = LoadCursorW(nullptr, (LPCWSTR)IDC_ARROW);
        wc.lpszClassName = kClassName;
        RegisterClassW(&wc);
        registered = true;
    }
    // A popup window: its client area is the whole window, at a fixed place.
    hwnd_ = CreateWindowExW(WS_EX_TOPMOST, kClassName, L"images", WS_POPUP | WS_VISIBLE, 0, 0,
                            width, height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, (LONG_PTR)this);
    pumpPaints();
    paints = 0;
}

TestWindow::~TestWindow() { DestroyWindow(hwnd_); }

LRESULT CALLBACK TestWindow::procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    TestWindow *self = (TestWindow *)GetWindowLongPtrW(hwnd, GWLP_USERDATA);
    if (msg == WM_PAINT && self) {
        self->paints++;
        if (self->onPaint) {
            self->onPaint();
        } else {
            PAINTSTRUCT ps;
            BeginPaint(hwnd, &ps);
            EndPaint(hwnd, &ps);
        }
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void TestWindow::repaint()
{
    InvalidateRect(hwnd_, nullptr, TRUE);
    UpdateWindow(hwnd_);
}

int TestWindow::pumpPaints()
{
    int before = paints;
    MSG msg;
    for (int i = 0; i < 50 && PeekMessageW(&msg, hwnd_, 0, 0, PM_REMOVE); i++)
        DispatchMessageW(&msg);
    return paints - before;
}

std::vector<uint32_t> TestWindow::capture() const
{
    std::vector<uint32_t> out((size_t)width_ * height_);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width_;
    bi.bmiHeader.biHeight = -height_; // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    HDC screen = GetDC(hwnd_);
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, width_, height_, screen, 0, 0, SRCCOPY);
    GdiFlush();
    const uint32_t *p = (const uint32_t *)bits;
    for (size_t i = 0; i < out.size(); i++)
        out[i] = p[i] & 0xFFFFFF;
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(dib);
    ReleaseDC(hwnd_, screen);
    return out;
}

uint32_t at(const std::vector<uint32_t> &pixels, int width, int x, int y)
{
    return pixels[(size_t)y * width + x];
}

Box inkBox(const std::vector<uint32_t> &pixels, int width)
{
    Box box;
    box.left = width;
    box.top = 1 << 30;
    for (size_t i = 0; i < pixels.size(); i++) {
        if (pixels[i] == 0xFFFFFF)
            continue;
        int x = (int)(i % width), y = (int)(i / width);
        if (x < box.left) box.left = x;
        if (x > box.right) box.right = x;
        if (y < box.top) box.top = y;
        if (y > box.bottom) box.bottom = y;
    }
    if (box.right < 0)
        box = Box();
    return box;
}

long darkness(const std::vector<uint32_t> &pixels)
{
    long sum = 0;
    for (uint32_t c : pixels)
        sum += 765 - red(c) - green(c) - blue(c);
    return sum;
}

} // namespace imagetest
