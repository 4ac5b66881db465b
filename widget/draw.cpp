// Widget.draw: paints a component's image (per-pixel alpha) and one line of
// text inside the window's paint cycle.  All GDI work, from BeginPaint to
// EndPaint, runs with the request suspended; the strings read before that
// stay valid until the native returns.
#include "widget/widget.h"

#include <stdint.h>
#include <string.h>
#include <wchar.h>

namespace {

// A style letter anywhere in the style text; case-sensitive.
bool hasStyle(const char *style, char letter) { return strchr(style, letter) != nullptr; }

// 0xRRGGBB from script into a COLORREF (0x00BBGGRR); bits above 23 dropped.
COLORREF scriptColor(int32_t rgb)
{
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// The pixel data is usable only when it holds every pixel the sizes promise;
// a shorter string would make the bitmap read past its end.
bool imageComplete(int32_t width, int32_t height, int contentLength)
{
    if (width <= 0 || height <= 0)
        return false;
    return (int64_t)width * 4 * height <= (int64_t)contentLength;
}

void paintImage(HDC dc, int32_t width, int32_t height, int32_t w, int32_t h, const char *pixels)
{
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateBitmap(width, height, 1, 32, pixels);
    if (memory && bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        AlphaBlend(dc, 0, 0, w, h, memory, 0, 0, width, height, blend);
        SelectObject(memory, old);
    }
    if (bitmap)
        DeleteObject(bitmap);
    if (memory)
        DeleteDC(memory);
}

void paintText(HDC dc, const wchar_t *text, int32_t x, int32_t y, int32_t boxWidth,
               const wchar_t *face, int32_t size, const char *style, int32_t color)
{
    bool italic = hasStyle(style, 'I');
    SetBkMode(dc, TRANSPARENT);
    HFONT font = CreateFontW(-size, 0, 0, 0, hasStyle(style, 'B') ? FW_BOLD : FW_NORMAL, italic,
                             FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             PROOF_QUALITY, 0, face);
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    // Wrapping arithmetic: script may pass any 32-bit position and width.
    if (hasStyle(style, 'C')) {
        x = (int32_t)((uint32_t)x + (uint32_t)(boxWidth / 2));
        SetTextAlign(dc, TA_CENTER);
    } else if (hasStyle(style, 'R')) {
        // An italic line leans past its advance width; two pixels keep the
        // slant inside the box.
        x = (int32_t)((uint32_t)x + (uint32_t)boxWidth - (italic ? 2u : 0u));
        SetTextAlign(dc, TA_RIGHT);
    }
    SetTextColor(dc, scriptColor(color));
    TextOutW(dc, x, y, text, (int)wcslen(text));
    if (font) {
        SelectObject(dc, old);
        DeleteObject(font);
    }
}

} // namespace

WIDGET_NATIVE(widget_draw)
{
    if (argc < 1) {
        g_host->reportError(cx, "Native function format error: %s", "Widget.draw(<cmp>)");
        return 0;
    }
    if (argv[0] == VW_UNDEFINED) {
        g_host->reportError(cx, "Widget: Component is undefined");
        return 0;
    }
    ValueWord cmp = vw_object(argv[0]);

    HWND hwnd = (HWND)(intptr_t)host_to_int32(g_host->getNumberProperty(cx, cmp, "hWnd", 0));
    const char *type = g_host->getStringProperty(cx, cmp, "type", nullptr);
    double imageWidthNumber = g_host->getNumberProperty(cx, cmp, "imageWidth", 0);
    double imageHeightNumber = g_host->getNumberProperty(cx, cmp, "imageHeight", 0);
    int32_t imageWidth = host_to_int32(imageWidthNumber);
    int32_t imageHeight = host_to_int32(imageHeightNumber);
    int32_t w = host_to_int32(g_host->getNumberProperty(cx, cmp, "w", imageWidthNumber));
    int32_t h = host_to_int32(g_host->getNumberProperty(cx, cmp, "h", imageHeightNumber));
    // Read as the value itself so the string's length is known too: pixel
    // data may hold NUL bytes anywhere.
    ValueWord content = g_host->getProperty(cx, cmp, "imageContent");
    const char *pixels = nullptr;
    int contentLength = 0;
    if (!vw_is_absent(content)) {
        pixels = g_host->valueToString(cx, content);
        contentLength = g_host->stringLength(cx, content);
    }
    const wchar_t *text = (const wchar_t *)g_host->getWideStringProperty(cx, cmp, "utext", nullptr);
    int32_t textPosX = host_to_int32(g_host->getNumberProperty(cx, cmp, "textPosX", 0));
    int32_t textPosY = host_to_int32(g_host->getNumberProperty(cx, cmp, "textPosY", 0));
    const wchar_t *font =
        (const wchar_t *)g_host->getWideStringProperty(cx, cmp, "textFont", L"Arial");
    int32_t textSize = host_to_int32(g_host->getNumberProperty(cx, cmp, "textSize", 12));
    const char *style = g_host->getStringProperty(cx, cmp, "textStyle", "");
    int32_t textColor = host_to_int32(g_host->getNumberProperty(cx, cmp, "textColor", 0));

    uint32_t token = g_host->suspendRequest(cx);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd, &paint);
    if (dc) {
        if (pixels && imageComplete(imageWidth, imageHeight, contentLength))
            paintImage(dc, imageWidth, imageHeight, w, h, pixels);
        if (text && type && strcmp(type, "Component") == 0)
            paintText(dc, text, textPosX, textPosY, w, font, textSize, style ? style : "",
                      textColor);
        EndPaint(hwnd, &paint);
    }
    g_host->resumeRequest(cx, token);
    return 1;
}
