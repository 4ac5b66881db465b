// Widget.draw into a real window, read back pixel by pixel.  The window is
// the test's own; its WM_PAINT runs Widget.draw through the host.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/widget/images/image_test_support.h"
#include "tests/widget/images/png_writer.h"
#include "tests/widget/images/test_window.h"

using imagetest::Box;
using imagetest::TestWindow;
using imagetest::at;
using imagetest::blue;
using imagetest::green;
using imagetest::inkBox;
using imagetest::red;

namespace {

const int kWidth = 220, kHeight = 64;

} // namespace

class WidgetDraw : public imagetest::ImageHost {
protected:
    WidgetDraw() : window(kWidth, kHeight) {}

    // Sets `d` to the descriptor (with the window's hWnd unless it names
    // one), paints the window once with Widget.draw(d) and returns what the
    // call threw, or "no error".
    std::string draw(const std::string &descriptor)
    {
        host.ok("var d = " + descriptor + ";"
                "if (d !== null && typeof d === 'object' && !('hWnd' in d)) d.hWnd = " +
                std::to_string((intptr_t)window.hwnd()));
        std::string result = "not painted";
        window.onPaint = [&] { result = host.ok("message(function () { Widget.draw(d); })"); };
        window.repaint();
        window.onPaint = nullptr;
        pixels = window.capture();
        return result;
    }
    uint32_t pixel(int x, int y) const { return at(pixels, kWidth, x, y); }
    Box ink() const { return inkBox(pixels, kWidth); }

    TestWindow window;
    std::vector<uint32_t> pixels;
};

TEST_F(WidgetDraw, OpaqueReplacesTransparentKeepsHalfBlends)
{
    // Premultiplied BGRA: opaque red, transparent, red at alpha 128.
    ASSERT_EQ(draw("{imageWidth: 3, imageHeight: 1,"
                   " imageContent: bytes([0, 0, 255, 255, 0, 0, 0, 0, 0, 0, 128, 128])}"),
              "no error");
    EXPECT_EQ(pixel(0, 0), 0xFF0000u);
    EXPECT_EQ(pixel(1, 0), 0xFFFFFFu);
    uint32_t half = pixel(2, 0); // 128 + white * 127 / 255 in red, white * 127 / 255 elsewhere
    EXPECT_GE(red(half), 252) << std::hex << half;
    EXPECT_NEAR(green(half), 127, 3) << std::hex << half;
    EXPECT_NEAR(blue(half), 127, 3) << std::hex << half;
    EXPECT_EQ(pixel(3, 0), 0xFFFFFFu);
    EXPECT_EQ(pixel(0, 1), 0xFFFFFFu);
}

TEST_F(WidgetDraw, ImageAtItsOwnSizeOrStretchedToWAndH)
{
    // 2 x 2, top row red and green, bottom row blue and black; all opaque.
    const char *image = "imageWidth: 2, imageHeight: 2, imageContent: bytes([0, 0, 255, 255,"
                        " 0, 255, 0, 255, 255, 0, 0, 255, 0, 0, 0, 255])";
    ASSERT_EQ(draw(std::string("{") + image + "}"), "no error");
    EXPECT_EQ(pixel(0, 0), 0xFF0000u);
    EXPECT_EQ(pixel(1, 0), 0x00FF00u);
    EXPECT_EQ(pixel(0, 1), 0x0000FFu);
    EXPECT_EQ(pixel(1, 1), 0x000000u);
    EXPECT_EQ(ink().right, 1);
    EXPECT_EQ(ink().bottom, 1);

    ASSERT_EQ(draw(std::string("{") + image + ", w: 8, h: 6}"), "no error");
    EXPECT_EQ(pixel(1, 1), 0xFF0000u);
    EXPECT_EQ(pixel(6, 1), 0x00FF00u);
    EXPECT_EQ(pixel(1, 4), 0x0000FFu);
    EXPECT_EQ(pixel(6, 4), 0x000000u);
    EXPECT_EQ(ink().right, 7);
    EXPECT_EQ(ink().bottom, 5);
}

TEST_F(WidgetDraw, LoadedPngDrawsWithItsAlpha)
{
    std::vector<uint8_t> rgba = {0, 0, 255, 255, 0, 0, 255, 0, 0, 0, 255, 128};
    give("png", pngtest::encode(pngtest::rgba(3, 1, rgba)));
    host.ok("var img = Widget.loadImage(png)");
    ASSERT_EQ(draw("{imageWidth: img.imageWidth, imageHeight: img.imageHeight,"
                   " imageContent: img.imageContent, w: 30, h: 10}"),
              "no error");
    EXPECT_EQ(pixel(5, 5), 0x0000FFu);
    EXPECT_EQ(pixel(15, 5), 0xFFFFFFu);
    uint32_t half = pixel(25, 5);
    EXPECT_NEAR(red(half), 127, 3) << std::hex << half;
    EXPECT_NEAR(green(half), 127, 3) << std::hex << half;
    EXPECT_GE(blue(half), 252) << std::hex << half;
    EXPECT_EQ(ink().right, 29);
}

TEST_F(WidgetDraw, TextOnlyForComponents)
{
    const char *image = "imageWidth: 1, imageHeight: 1, imageContent: bytes([0, 0, 0, 255])";
    const char *text = "utext: 'Hello', textPosX: 40, textPosY: 10, textSize: 20";
    struct Case {
        const char *type;
        bool text;
    } cases[] = {{"type: 'Component',", true}, {"type: 'Frame',", false},
                 {"type: 'component',", false}, {"", false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.type);
        ASSERT_EQ(draw(std::string("{") + c.type + image + ", " + text + "}"), "no error");
        EXPECT_EQ(pixel(0, 0), 0x000000u);
        Box box = ink();
        if (c.text) {
            EXPECT_GE(box.right, 50);
            EXPECT_GE(box.bottom, 20);
        } else {
            EXPECT_EQ(box.right, 0);
            EXPECT_EQ(box.bottom, 0);
        }
    }
}

TEST_F(WidgetDraw, TextColourIsRrGgBb)
{
    struct Case {
        const char *color;
        uint32_t want;
    } cases[] = {{"0xFF0000", 0xFF0000}, {"0x0000FF", 0x0000FF}, {"0x7F00FF00", 0x00FF00},
                 {"undefined", 0x000000}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.color);
        ASSERT_EQ(draw(std::string("{type: 'Component', utext: 'MMMM', textSize: 24, textStyle: 'B',"
                                   " textColor: ") + c.color + "}"),
                  "no error");
        // The pixel farthest from white is a fully covered one: exactly the colour.
        uint32_t darkest = 0xFFFFFF;
        for (uint32_t p : pixels)
            if (765 - red(p) - green(p) - blue(p) > 765 - red(darkest) - green(darkest) - blue(darkest))
                darkest = p;
        EXPECT_NEAR(red(darkest), red(c.want), 16) << std::hex << darkest;
        EXPECT_NEAR(green(darkest), green(c.want), 16) << std::hex << darkest;
        EXPECT_NEAR(blue(darkest), blue(c.want), 16) << std::hex << darkest;
    }
}

TEST_F(WidgetDraw, BoldIsDarkerAndSizeSetsHeight)
{
    const std::string base = "{type: 'Component', utext: 'Hollow', textPosX: 4, textPosY: 2";
    ASSERT_EQ(draw(base + ", textSize: 16}"), "no error");
    long normal = imagetest::darkness(pixels);
    ASSERT_EQ(draw(base + ", textSize: 16, textStyle: 'B'}"), "no error");
    long bold = imagetest::darkness(pixels);
    EXPECT_GT(bold, normal + normal / 10) << normal << " " << bold;

    ASSERT_EQ(draw(base + "}"), "no error"); // textSize defaults to 12
    int h12 = ink().height();
    ASSERT_EQ(draw(base + ", textSize: 20}"), "no error");
    int h20 = ink().height();
    EXPECT_GT(h20, h12 + 4) << h12 << " " << h20;
    EXPECT_LE(h20, 20);
    EXPECT_GE(h12, 6);
}

namespace {

// The advance width of text in the font Widget.draw makes.
int textExtent(const wchar_t *text, int size, bool bold, bool italic)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFontW(-size, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, italic, 0, 0, ANSI_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, PROOF_QUALITY, 0, L"Arial");
    HGDIOBJ old = SelectObject(dc, font);
    SIZE extent = {};
    GetTextExtentPoint32W(dc, text, (int)wcslen(text), &extent);
    SelectObject(dc, old);
    DeleteObject(font);
    DeleteDC(dc);
    return extent.cx;
}

} // namespace

TEST_F(WidgetDraw, TextAlignmentOnTheBox)
{
    // Where the advance box of the text starts, for each style; the ink of
    // each must be the ink of the same text drawn left-aligned, shifted there.
    struct Case {
        const char *style;
        int posX, w;
        const char *anchor; // "left", "centre" or "right"
        int at;             // where that anchor falls
    } cases[] = {
        {"", 30, 80, "left", 30},        {"r", 30, 80, "left", 30},
        {"c", 30, 80, "left", 30},       {"I", 30, 80, "left", 30},
        {"C", 10, 101, "centre", 60},    {"BC", 10, 101, "centre", 60},
        {"CR", 10, 101, "centre", 60},   {"R", 10, 150, "right", 160},
        {"RB", 10, 150, "right", 160},   {"RI", 10, 150, "right", 158},
        {"IRC", 10, 150, "centre", 85},
    };
    const wchar_t *text = L"Align";
    for (const Case &c : cases) {
        SCOPED_TRACE(c.style);
        std::string style = c.style;
        bool bold = style.find('B') != std::string::npos;
        bool italic = style.find('I') != std::string::npos;
        std::string styleOnly = std::string(bold ? "B" : "") + (italic ? "I" : "");
        ASSERT_EQ(draw("{type: 'Component', utext: 'Align', textSize: 18, textPosX: 20,"
                       " textStyle: '" + styleOnly + "', w: 5}"),
                  "no error");
        Box reference = ink();
        ASSERT_FALSE(reference.empty());
        ASSERT_EQ(draw("{type: 'Component', utext: 'Align', textSize: 18, textPosX: " +
                       std::to_string(c.posX) + ", w: " + std::to_string(c.w) + ", textStyle: '" +
                       style + "'}"),
                  "no error");
        Box box = ink();
        int extent = textExtent(text, 18, bold, italic);
        int start = std::string(c.anchor) == "left"     ? c.at
                    : std::string(c.anchor) == "centre" ? c.at - extent / 2
                                                        : c.at - extent;
        int shift = start - 20;
        int slack = std::string(c.anchor) == "centre" ? 1 : 0;
        EXPECT_NEAR(box.left, reference.left + shift, slack) << "extent " << extent;
        EXPECT_NEAR(box.right, reference.right + shift, slack) << "extent " << extent;
        EXPECT_EQ(box.top, reference.top);
    }
}

TEST_F(WidgetDraw, IncompletePixelDataDrawsNoImageButTheText)
{
    const char *cases[] = {
        "imageWidth: 4, imageHeight: 4, imageContent: fill(15, [0, 0, 0, 255]) + 'abc'",
        "imageWidth: 4, imageHeight: 4, imageContent: ''",
        "imageWidth: 0, imageHeight: 4, imageContent: fill(16, [0, 0, 0, 255])",
        "imageWidth: 4, imageHeight: -4, imageContent: fill(16, [0, 0, 0, 255])",
        "imageWidth: 1e10, imageHeight: 1e10, imageContent: fill(16, [0, 0, 0, 255])",
        "imageWidth: 65536, imageHeight: 65536, imageContent: fill(16, [0, 0, 0, 255])",
        "imageWidth: 4, imageHeight: 4, imageContent: null",
        "imageWidth: 4, imageHeight: 4, w: 8, h: 8",
    };
    for (const char *c : cases) {
        SCOPED_TRACE(c);
        ASSERT_EQ(draw(std::string("{type: 'Component', utext: 'Still here', textPosX: 100, ") + c + "}"),
                  "no error");
        Box box = ink();
        ASSERT_FALSE(box.empty());
        EXPECT_GE(box.left, 100);
    }
    // The same pixels complete: the image is there.
    ASSERT_EQ(draw("{imageWidth: 4, imageHeight: 4, imageContent: fill(16, [0, 0, 0, 255])}"), "no error");
    EXPECT_EQ(ink().right, 3);
}

TEST_F(WidgetDraw, EmptyDescriptorOnlyValidates)
{
    ASSERT_EQ(draw("{}"), "no error");
    EXPECT_TRUE(ink().empty());
    EXPECT_FALSE(GetUpdateRect(window.hwnd(), nullptr, FALSE));
    EXPECT_EQ(window.pumpPaints(), 0);
}

TEST_F(WidgetDraw, OutsideAPaintNothingChanges)
{
    ASSERT_EQ(draw("{type: 'Component', utext: 'Once', textPosX: 10, textSize: 20}"), "no error");
    std::vector<uint32_t> before = pixels;
    host.ok("d.utext = 'Twice'; d.textPosX = 60; d.imageWidth = 2; d.imageHeight = 2;"
            "d.imageContent = fill(4, [0, 0, 0, 255]); Widget.draw(d)");
    EXPECT_EQ(window.capture(), before);
}

TEST_F(WidgetDraw, BadArgumentsAnswerWithErrorsOrNothing)
{
    EXPECT_EQ(host.ok("message(function () { Widget.draw(); })"),
              "Native function format error: Widget.draw(<cmp>)");
    EXPECT_EQ(host.ok("message(function () { Widget.draw(undefined); })"),
              "Widget: Component is undefined");
    EXPECT_EQ(host.ok("message(function () { Widget.draw(undefined, 1); })"),
              "Widget: Component is undefined");
    // No window to paint, or odd values everywhere: success, nothing drawn.
    const char *odd[] = {
        "{hWnd: 0, type: 'Component', utext: 'x'}",
        "{hWnd: 123456, type: 'Component', utext: 'x'}",
        "{hWnd: 1e300}",
        "null",
        "42",
        "'text'",
        "{type: 'Component', utext: 'Odd', textSize: 1e12, textPosX: 2147483647, w: 2147483647,"
        " textStyle: 'CRBI', textColor: -1, textFont: '', imageWidth: NaN, imageHeight: Infinity,"
        " imageContent: 'x'}",
        "{type: 'Component', utext: 'Odd', textSize: -5, textPosX: -1e20, w: -2147483648,"
        " textStyle: 'R', textFont: 'NoSuchFontAnywhere'}",
        "{type: 'Component', utext: '', textStyle: 42}",
    };
    for (const char *d : odd) {
        SCOPED_TRACE(d);
        EXPECT_EQ(draw(d), "no error");
    }
    window.pumpPaints();
    EXPECT_EQ(host.ok("1 + 1"), "2");
}
