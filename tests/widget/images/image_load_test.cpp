// Widget.loadImage and Widget.loadIcon from script, on PNGs encoded here.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/widget/images/image_test_support.h"
#include "tests/widget/images/png_writer.h"
#include "tests/widget/images/test_window.h"

using imagetest::ImageHost;
using pngtest::Image;

namespace {

std::string join(const std::vector<int> &v)
{
    std::string s;
    for (size_t i = 0; i < v.size(); i++)
        s += (i ? "," : "") + std::to_string(v[i]);
    return s;
}

// Committed private memory of the process: what a leaked buffer keeps.
size_t committedPrivateBytes()
{
    size_t total = 0;
    MEMORY_BASIC_INFORMATION mbi;
    for (char *p = nullptr; VirtualQuery(p, &mbi, sizeof mbi) == sizeof mbi;) {
        if (mbi.State == MEM_COMMIT && mbi.Type == MEM_PRIVATE)
            total += mbi.RegionSize;
        char *next = (char *)mbi.BaseAddress + mbi.RegionSize;
        if (next <= p)
            break;
        p = next;
    }
    return total;
}

Image makeImage(int w, int h, pngtest::ColorType type, int depth, std::vector<uint8_t> rows)
{
    Image image;
    image.width = w;
    image.height = h;
    image.colorType = type;
    image.bitDepth = depth;
    image.rows = std::move(rows);
    return image;
}

struct FormatCase {
    const char *name;
    Image image;
    int width, height;
    std::vector<int> bgra; // expected imageContent, premultiplied
};

std::vector<FormatCase> formatCases()
{
    using namespace pngtest;
    std::vector<FormatCase> cases;
    // Rows top-down: the third pixel is the first of the second row.
    cases.push_back({"rgb", makeImage(2, 2, kRgb, 8, {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120}),
                     2, 2, {30, 20, 10, 255, 60, 50, 40, 255, 90, 80, 70, 255, 120, 110, 100, 255}});
    cases.push_back({"rgba premultiplied",
                     makeImage(6, 1, kRgba, 8,
                               {255, 255, 255, 255, 255, 255, 255, 128, 255, 255, 255, 254,
                                255, 255, 255, 0, 255, 255, 255, 1, 50, 100, 200, 128}),
                     6, 1, {255, 255, 255, 255, 127, 127, 127, 128, 253, 253, 253, 254,
                            0, 0, 0, 0, 0, 0, 0, 1, 100, 50, 25, 128}});
    {
        Image pal = makeImage(3, 1, kPalette, 8, {0, 1, 2});
        pal.palette = {255, 0, 0, 0, 255, 0, 0, 0, 255};
        pal.paletteAlpha = {255, 128}; // the third entry stays opaque
        cases.push_back({"palette with tRNS", pal, 3, 1,
                         {0, 0, 255, 255, 0, 127, 0, 128, 255, 0, 0, 255}});
        Image pal2 = makeImage(4, 1, kPalette, 2, {0x1B}); // indexes 0 1 2 3
        pal2.palette = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
        cases.push_back({"2-bit palette", pal2, 4, 1,
                         {3, 2, 1, 255, 6, 5, 4, 255, 9, 8, 7, 255, 12, 11, 10, 255}});
    }
    cases.push_back({"16-bit rgb", makeImage(1, 1, kRgb, 16, {0xAB, 0x12, 0xCD, 0x34, 0x01, 0xFF}), 1, 1,
                     {0x01, 0xCD, 0xAB, 255}});
    cases.push_back({"16-bit rgba",
                     makeImage(1, 1, kRgba, 16, {0xFF, 0xFF, 0x80, 0x00, 0x00, 0x00, 0x80, 0xFF}),
                     1, 1, {0, 64, 127, 128}});
    cases.push_back({"grey", makeImage(3, 1, kGrey, 8, {0, 77, 255}), 3, 1,
                     {0, 0, 0, 255, 77, 77, 77, 255, 255, 255, 255, 255}});
    cases.push_back({"1-bit grey", makeImage(3, 1, kGrey, 1, {0xA0}), 3, 1,
                     {255, 255, 255, 255, 0, 0, 0, 255, 255, 255, 255, 255}});
    cases.push_back({"16-bit grey", makeImage(1, 1, kGrey, 16, {0x9C, 0x01}), 1, 1,
                     {0x9C, 0x9C, 0x9C, 255}});
    cases.push_back({"grey with alpha", makeImage(2, 1, kGreyAlpha, 8, {200, 128, 90, 255}), 2, 1,
                     {100, 100, 100, 128, 90, 90, 90, 255}});
    {
        Image g = makeImage(2, 1, kGrey, 8, {77, 78});
        g.hasTransparentColor = true;
        g.transparent[0] = 77;
        cases.push_back({"grey with tRNS", g, 2, 1, {0, 0, 0, 0, 78, 78, 78, 255}});
        Image c = makeImage(2, 1, kRgb, 8, {1, 2, 3, 4, 5, 6});
        c.hasTransparentColor = true;
        c.transparent[0] = 4;
        c.transparent[1] = 5;
        c.transparent[2] = 6;
        cases.push_back({"rgb with tRNS", c, 2, 1, {3, 2, 1, 255, 0, 0, 0, 0}});
    }
    {
        // Adam7 spreads a 5 x 3 image over several passes.
        std::vector<uint8_t> rows;
        std::vector<int> expected;
        for (int i = 0; i < 15; i++) {
            uint8_t r = (uint8_t)(i * 16), g = (uint8_t)(255 - i * 9), b = (uint8_t)(i * 5 + 3);
            rows.insert(rows.end(), {r, g, b});
            expected.insert(expected.end(), {b, g, r, 255});
        }
        Image inter = makeImage(5, 3, kRgb, 8, rows);
        inter.interlaced = true;
        cases.push_back({"interlaced rgb", inter, 5, 3, expected});
    }
    return cases;
}

} // namespace

class WidgetImage : public ImageHost {};

TEST_F(WidgetImage, DecodesEveryColourTypeToPremultipliedBgra)
{
    for (const FormatCase &c : formatCases()) {
        SCOPED_TRACE(c.name);
        give("png", pngtest::encode(c.image));
        host.ok("var r = Widget.loadImage(png)");
        EXPECT_EQ(host.ok("r.imageWidth + 'x' + r.imageHeight"),
                  std::to_string(c.width) + "x" + std::to_string(c.height));
        EXPECT_EQ(host.ok("r.imageContent.length"), std::to_string(c.width * c.height * 4));
        EXPECT_EQ(host.ok("codes(r.imageContent)"), join(c.bgra));
    }
}

TEST_F(WidgetImage, ResultHasThreeReadOnlyPropertiesInOrder)
{
    give("png", pngtest::encode(pngtest::pattern(7, 5)));
    EXPECT_EQ(host.ok("var r = Widget.loadImage(png); Object.keys(r).join(',')"),
              "imageWidth,imageHeight,imageContent");
    EXPECT_EQ(host.ok("r.imageWidth = 1; r.imageContent = ''; r.imageWidth + ',' + r.imageContent.length"),
              "7,140");
}

TEST_F(WidgetImage, LargerImageKeepsEveryPixelInPlace)
{
    // Odd sizes and all alpha bands: each premultiplied byte checked in script.
    Image image = pngtest::pattern(97, 61);
    give("png", pngtest::encode(image));
    std::string rgba;
    for (uint8_t b : image.rows)
        rgba += std::to_string(b) + ",";
    rgba.pop_back();
    host.ok("var src = [" + rgba + "]; var r = Widget.loadImage(png); var bad = -1;"
            "for (var i = 0; i < src.length; i += 4) { var a = src[i + 3];"
            "  var f = function (c) { return a == 255 ? c : (c * a) >> 8; };"
            "  var want = [f(src[i + 2]), f(src[i + 1]), f(src[i]), a];"
            "  for (var k = 0; k < 4; k++) if (r.imageContent.charCodeAt(i + k) !== want[k]) { bad = i; break; }"
            "  if (bad >= 0) break; }");
    EXPECT_EQ(host.ok("bad"), "-1");
    EXPECT_EQ(host.ok("r.imageContent.length"), std::to_string(97 * 61 * 4));
}

TEST_F(WidgetImage, UndecodableInputFailsWithoutAMessage)
{
    std::string good = pngtest::encode(pngtest::pattern(64, 64));
    size_t idat = good.find("IDAT");
    ASSERT_NE(idat, std::string::npos);
    std::string corrupt = good;
    for (size_t i = idat + 40; i < idat + 200 && i < corrupt.size(); i++)
        corrupt[i] = (char)(corrupt[i] ^ 0x5A);
    // A header promising 40000 x 40000 pixels: 6.4e9 bytes of BGRA.
    Image tiny = makeImage(1, 1, pngtest::kRgb, 8, {1, 2, 3});
    std::string huge = pngtest::encode(tiny);
    const unsigned char size[8] = {0, 0, 0x9C, 0x40, 0, 0, 0x9C, 0x40};
    huge.replace(16, 8, (const char *)size, 8);
    // A whole 1 x 1 GIF file.
    static const char kGif[] = "GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00"
                               "!\xf9\x04\x01\x00\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00"
                               "\x00\x02\x02" "D\x01\x00;";
    struct Bad {
        const char *name;
        std::string bytes;
    } inputs[] = {
        {"empty", ""},
        {"GIF", std::string(kGif, sizeof kGif - 1)},
        {"seven signature bytes", good.substr(0, 7)},
        {"signature only", good.substr(0, 8)},
        {"cut inside the image data", good.substr(0, idat + 60)},
        {"cut before IEND", good.substr(0, good.size() - 12)},
        {"corrupt image data", corrupt},
        {"size beyond 32 bits", huge},
    };
    for (const Bad &b : inputs) {
        SCOPED_TRACE(b.name);
        give("bad", b.bytes);
        EXPECT_EQ(host.ok("message(function () { Widget.loadImage(bad); })"), "Widget.loadImage failed");
        EXPECT_EQ(host.ok("message(function () { Widget.loadIcon(bad); })"), "Widget.loadIcon failed");
    }
    EXPECT_EQ(host.ok("var r; message(function () { r = Widget.loadImage(''); }) + ',' + r"),
              "Widget.loadImage failed,undefined");
    EXPECT_EQ(host.ok("1 + 1"), "2");
}

TEST_F(WidgetImage, ArgumentsOfAnyTypeAreTakenAsText)
{
    for (const char *arg : {"undefined", "null", "42", "{}", "[1, 2]", "true", "-1e300"}) {
        SCOPED_TRACE(arg);
        EXPECT_EQ(host.ok(std::string("message(function () { Widget.loadImage(") + arg + "); })"),
                  "Widget.loadImage failed");
        EXPECT_EQ(host.ok(std::string("message(function () { Widget.loadIcon(") + arg + "); })"),
                  "Widget.loadIcon failed");
    }
    // A PNG's bytes inside an object's text are still just text.
    give("png", pngtest::encode(pngtest::pattern(2, 2)));
    EXPECT_EQ(host.ok("Widget.loadImage({toString: function () { return png; }}).imageWidth"), "2");
}

TEST_F(WidgetImage, MissingArgumentIsAFormatError)
{
    EXPECT_EQ(host.ok("message(function () { Widget.loadImage(); })"),
              "Native function format error: Widget.loadImage(<imageFileContent>)");
    EXPECT_EQ(host.ok("message(function () { Widget.loadIcon(); })"),
              "Native function format error: Widget.loadIcon(<imageFileContent>)");
}

TEST_F(WidgetImage, RepeatedLoadsAndFailuresLeaveNothingAllocated)
{
    // 256 x 256 pixels: each leaked pixel buffer would keep 256 KiB, each
    // leaked libpng state some 40 KiB; the loops below would then hold tens
    // of megabytes.
    std::string good = pngtest::encode(pngtest::pattern(256, 256));
    give("png", good);
    give("cut", good.substr(0, good.find("IDAT") + 30000));
    host.ok("for (var i = 0; i < 20; i++) { Widget.loadImage(png); Widget.loadIcon(png);"
            " message(function () { Widget.loadImage(cut); }); }");
    size_t before = committedPrivateBytes();
    host.ok("for (var i = 0; i < 150; i++) { Widget.loadImage(png);"
            " message(function () { Widget.loadImage(cut); });"
            " message(function () { Widget.loadIcon(cut); }); }");
    size_t after = committedPrivateBytes();
    EXPECT_LT(after, before + 8u * 1024 * 1024) << "before " << before << ", after " << after;
}

class WidgetIcon : public ImageHost {};

TEST_F(WidgetIcon, IconKeepsStraightAlphaAndServesAsWindowIcon)
{
    std::vector<uint8_t> pixels;
    for (int i = 0; i < 16 * 16; i++)
        pixels.insert(pixels.end(), {255, 255, 255, (uint8_t)(i == 0 ? 128 : 255)});
    pixels[4 * 17] = 10; // pixel (1, 1): red 10
    give("png", pngtest::encode(pngtest::rgba(16, 16, pixels)));
    host.ok("var icon = Widget.loadIcon(png)");
    EXPECT_EQ(host.ok("Object.keys(icon).join(',')"), "iconWidth,iconHeight,hIcon");
    EXPECT_EQ(host.ok("icon.iconWidth + 'x' + icon.iconHeight"), "16x16");
    HICON hicon = (HICON)(intptr_t)std::stol(host.ok("icon.hIcon"));
    ASSERT_NE(hicon, nullptr);

    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(hicon, &info));
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = 16;
    bi.bmiHeader.biHeight = -16;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    std::vector<uint8_t> bits(16 * 16 * 4);
    HDC dc = GetDC(nullptr);
    EXPECT_EQ(GetDIBits(dc, info.hbmColor, 0, 16, bits.data(), &bi, DIB_RGB_COLORS), 16);
    ReleaseDC(nullptr, dc);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    // Top-left: white at alpha 128 stays 255 (an image would hold 127).
    EXPECT_EQ(join({bits[0], bits[1], bits[2], bits[3]}), "255,255,255,128");
    EXPECT_EQ(join({bits[68], bits[69], bits[70], bits[71]}), "255,255,10,255");

    imagetest::TestWindow window(32, 32);
    SendMessageW(window.hwnd(), WM_SETICON, ICON_SMALL, (LPARAM)hicon);
    SendMessageW(window.hwnd(), WM_SETICON, ICON_BIG, (LPARAM)hicon);
    EXPECT_EQ((HICON)SendMessageW(window.hwnd(), WM_GETICON, ICON_SMALL, 0), hicon);
    EXPECT_EQ((HICON)SendMessageW(window.hwnd(), WM_GETICON, ICON_BIG, 0), hicon);
}

TEST_F(WidgetIcon, EachLoadMakesItsOwnIcon)
{
    give("png", pngtest::encode(pngtest::pattern(48, 32)));
    EXPECT_EQ(host.ok("var a = Widget.loadIcon(png), b = Widget.loadIcon(png);"
                      "[a.iconWidth, a.iconHeight, a.hIcon !== 0, a.hIcon !== b.hIcon].join(',')"),
              "48,32,true,true");
}
