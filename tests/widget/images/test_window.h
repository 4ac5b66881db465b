// A plain top-level window for the image tests: white background, a paint
// hook, and a read-back of its client area.
#ifndef TESTS_WIDGET_IMAGES_TEST_WINDOW_H
#define TESTS_WIDGET_IMAGES_TEST_WINDOW_H

#include <windows.h>

#include <stdint.h>

#include <functional>
#include <vector>

namespace imagetest {

struct Box {
    int left = 0, top = 0, right = -1, bottom = -1; // inclusive; empty when right < left
    bool empty() const { return right < left; }
    int width() const { return right - left + 1; }
    int height() const { return bottom - top + 1; }
};

class TestWindow {
public:
    TestWindow(int width, int height);
    ~TestWindow();
    TestWindow(const TestWindow &) = delete;
    TestWindow &operator=(const TestWindow &) = delete;

    HWND hwnd() const { return hwnd_; }
    // Invalidates the whole client area (erasing it white) and sends one
    // WM_PAINT, which runs onPaint.
    void repaint();
    // Dispatches whatever is queued for the window; returns how many
    // WM_PAINT messages arrived.
    int pumpPaints();
    // The client area as 0x00RRGGBB, row by row.
    std::vector<uint32_t> capture() const;
    int width() const { return width_; }
    int height() const { return height_; }

    std::function<void()> onPaint; // default: validate only
    int paints = 0;

private:
    static LRESULT CALLBACK procedure(HWND, UINT, WPARAM, LPARAM);
    HWND hwnd_;
    int width_, height_;
};

uint32_t at(const std::vector<uint32_t> &pixels, int width, int x, int y);
inline int red(uint32_t c) { return (c >> 16) & 0xFF; }
inline int green(uint32_t c) { return (c >> 8) & 0xFF; }
inline int blue(uint32_t c) { return c & 0xFF; }
// The box of every pixel that is not white.
Box inkBox(const std::vector<uint32_t> &pixels, int width);
// Sum over all pixels of how far they are below white.
long darkness(const std::vector<uint32_t> &pixels);

} // namespace imagetest

#endif
