// Image figures, each measured side by side in one run:
//   png_decode  megapixels/s of Widget.loadImage on a 2048 x 2048 RGBA PNG
//               from script / of plain libpng decoding the same bytes into
//               one premultiplied BGRA buffer
//   draw_fps    frames/s of a window whose PAINT handler calls Widget.draw
//               with a 1024 x 1024 image / of a window procedure making the
//               same GDI calls (bitmap, AlphaBlend) itself
#include <windows.h>

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "scripthost/engine.h"
#include "scripthost/globals.h"
#include "widget/png_decoder.h"

#include "bench/bench_clock.h"

using bench::bestRate;
using bench::now;

namespace {

// A photo-like RGBA image: gradients, some noise, and alpha that is opaque
// in most of the picture, graded over a band and clear in a corner.
std::string makePng(int width, int height)
{
    std::vector<unsigned char> pixels((size_t)width * height * 4);
    uint32_t noise = 1;
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            unsigned char *p = &pixels[((size_t)y * width + x) * 4];
            noise = noise * 1664525u + 1013904223u;
            p[0] = (unsigned char)(x * 255 / width + (noise >> 29));
            p[1] = (unsigned char)(y * 255 / height + ((noise >> 26) & 3));
            p[2] = (unsigned char)((x ^ y) >> 3);
            p[3] = x < width / 2 ? 255 : (unsigned char)(255 - (x - width / 2) * 255 / (width / 2));
        }
    }
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        std::fprintf(stderr, "cannot encode the test image\n");
        std::exit(1);
    }
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t n) {
            ((std::string *)png_get_io_ptr(p))->append((const char *)data, n);
        },
        [](png_structp) {});
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_bytep> rows(height);
    for (int y = 0; y < height; y++)
        rows[y] = &pixels[(size_t)y * width * 4];
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

struct Source {
    const std::string *bytes;
    size_t position;
};

// The plain way: libpng writes its rows straight into one BGRA buffer, which
// is then premultiplied.
unsigned char *plainDecode(const std::string &bytes)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    Source source = {&bytes, 0};
    unsigned char *volatile buffer = nullptr;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::free(buffer);
        return nullptr;
    }
    png_set_read_fn(png, &source, [](png_structp p, png_bytep out, png_size_t n) {
        Source *s = (Source *)png_get_io_ptr(p);
        if (n > s->bytes->size() - s->position)
            png_error(p, "end of data");
        std::memcpy(out, s->bytes->data() + s->position, n);
        s->position += n;
    });
    png_read_info(png, info);
    png_set_strip_16(png);
    png_set_expand(png);
    png_set_bgr(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
    size_t size = (size_t)w * h * 4;
    buffer = (unsigned char *)std::malloc(size);
    if (!buffer)
        png_error(png, "out of memory");
    std::vector<png_bytep> rows(h);
    for (png_uint_32 y = 0; y < h; y++)
        rows[y] = buffer + (size_t)y * w * 4;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    unsigned char *p = buffer;
    for (size_t i = 0; i < size; i += 4) {
        unsigned a = p[i + 3];
        if (a < 255) {
            p[i] = (unsigned char)((p[i] * a) >> 8);
            p[i + 1] = (unsigned char)((p[i + 1] * a) >> 8);
            p[i + 2] = (unsigned char)((p[i + 2] * a) >> 8);
        }
    }
    return p;
}

// --- drawing -----------------------------------------------------------------

const int kDrawSize = 1024;
ScriptContext *g_cx;
std::vector<unsigned char> g_pixels; // premultiplied BGRA for the direct loop
bool g_scriptPaint;
char g_eventText[128];

LRESULT CALLBACK paintProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg != WM_PAINT)
        return DefWindowProcW(hwnd, msg, wp, lp);
    if (g_scriptPaint) {
        // What the module's window procedure does for a PAINT event.
        const HostTable *t = engine::table();
        ValueWord result;
        t->beginRequest(g_cx);
        t->evaluate(g_cx, "Widget.onEvent", g_eventText, &result);
        t->endRequest(g_cx);
        return 0;
    }
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateBitmap(kDrawSize, kDrawSize, 1, 32, g_pixels.data());
    HGDIOBJ old = SelectObject(memory, bitmap);
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(dc, 0, 0, kDrawSize, kDrawSize, memory, 0, 0, kDrawSize, kDrawSize, blend);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    EndPaint(hwnd, &ps);
    return 0;
}

void frames(HWND hwnd, int n)
{
    for (int i = 0; i < n; i++) {
        InvalidateRect(hwnd, nullptr, FALSE);
        UpdateWindow(hwnd);
    }
    GdiFlush();
}

std::string escapePath(const std::string &path)
{
    std::string out;
    for (char c : path)
        out += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return out;
}

bool run(ScriptContext *cx, const std::string &source)
{
    std::string out;
    if (!engine::evalToString(cx, "images_bench", source, &out)) {
        std::fprintf(stderr, "images_bench: %s\n", out.c_str());
        return false;
    }
    return true;
}

// Sets the script global `name` to bytes, read back with readFile as a
// script would read a PNG file.
bool giveScript(ScriptContext *cx, const char *name, const std::string &bytes)
{
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    char folder[MAX_PATH * 3];
    WideCharToMultiByte(CP_UTF8, 0, dir, -1, folder, sizeof folder, nullptr, nullptr);
    std::string file = std::string(folder) + "images-bench-" +
                       std::to_string(GetCurrentProcessId()) + "-" + name + ".png";
    FILE *f = std::fopen(file.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0) {
        std::fprintf(stderr, "images_bench: cannot write %s\n", file.c_str());
        return false;
    }
    bool ok = run(cx, std::string("var ") + name + " = readFile('" + escapePath(file) + "');");
    std::remove(file.c_str());
    return ok;
}

} // namespace

int main()
{
    g_cx = engine::create(false);
    ScriptContext *cx = g_cx;
    globals::install(cx, {});
    std::string error;
    if (!globals::loadModule(cx, L"zorvex", &error)) {
        std::fprintf(stderr, "images_bench: %s\n", error.c_str());
        return 1;
    }

    // png_decode
    const int side = 2048, loads = 4;
    std::string png = makePng(side, side);
    if (!giveScript(cx, "png", png))
        return 1;
    double mp = (double)side * side * loads / 1e6;
    std::string loop = "for (var i = 0; i < " + std::to_string(loads) +
                       "; i++) var img = Widget.loadImage(png); img = null;";
    if (!run(cx, "if (Widget.loadImage(png).imageContent.length !== " +
                     std::to_string(side * side * 4) + ") throw new Error('wrong size');"))
        return 1;
    // Interleaved rounds, best of each: the machine is shared and noisy.
    double script = 0, plain = 0, decoderOnly = 0, decoderPremultiplied = 0;
    for (int round = 0; round < 5; round++) {
        script = std::max(script, bestRate([&] { run(cx, loop); }, 1, mp));
        // Each image gets a buffer of its own, as each loadImage result does.
        plain = std::max(plain, bestRate([&] {
            for (int i = 0; i < loads; i++)
                std::free(plainDecode(png));
        }, 1, mp));
        // Where the script's time goes: the module's decoder, and with its
        // premultiplication, on their own.
        decoderOnly = std::max(decoderOnly, bestRate([&] {
            for (int i = 0; i < loads; i++) {
                PngDecoder d;
                d.decode((const unsigned char *)png.data(), png.size());
            }
        }, 1, mp));
        decoderPremultiplied = std::max(decoderPremultiplied, bestRate([&] {
            for (int i = 0; i < loads; i++) {
                PngDecoder d;
                d.decode((const unsigned char *)png.data(), png.size());
                premultiplyBgra(d.pixels, (size_t)d.size);
            }
        }, 1, mp));
    }
    std::fprintf(stderr, "png_decode: decoder %.1f MP/s, with premultiplication %.1f MP/s\n",
                 decoderOnly, decoderPremultiplied);
    std::fprintf(stderr, "png_decode: script %.1f MP/s, plain libpng %.1f MP/s\n", script, plain);
    std::printf("bench: png_decode ratio=%.3f goal>=0.7\n", script / plain);
    std::fflush(stdout);

    // draw_fps: the same 1024 x 1024 premultiplied pixels on both sides.
    std::string small = makePng(kDrawSize, kDrawSize);
    unsigned char *decoded = plainDecode(small);
    if (!decoded)
        return 1;
    g_pixels.assign(decoded, decoded + (size_t)kDrawSize * kDrawSize * 4);
    std::free(decoded);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = paintProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    wc.lpszClassName = L"ImagesBench";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, L"ImagesBench", L"bench", WS_POPUP | WS_VISIBLE, 0, 0, kDrawSize,
                                kDrawSize, nullptr, nullptr, wc.hInstance, nullptr);
    std::snprintf(g_eventText, sizeof g_eventText, "Widget.onEvent({hWnd: %ld, msg: 'PAINT'})",
                  (long)(intptr_t)hwnd);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
    // The script keeps the decoded image and paints it from its PAINT handler.
    if (!giveScript(cx, "small", small) ||
        !run(cx, "png = null; var img = Widget.loadImage(small); var picture = {hWnd: " +
                     std::to_string((intptr_t)hwnd) +
                     ", imageWidth: img.imageWidth, imageHeight: img.imageHeight,"
                     " imageContent: img.imageContent};"
                     "Widget.onEvent = function (e) {"
                     "  if (e.msg === 'PAINT') { Widget.draw(picture); return true; }"
                     "  return false; };"))
        return 1;
    const int n = 60;
    double scriptFps = 0, plainFps = 0;
    for (int round = 0; round < 5; round++) {
        g_scriptPaint = false;
        plainFps = std::max(plainFps, bestRate([&] { frames(hwnd, n); }, 1, n));
        g_scriptPaint = true;
        scriptFps = std::max(scriptFps, bestRate([&] { frames(hwnd, n); }, 1, n));
    }
    std::fprintf(stderr, "draw_fps: script %.1f frames/s, direct GDI %.1f frames/s\n", scriptFps,
                 plainFps);
    std::printf("bench: draw_fps ratio=%.3f goal>=0.8\n", scriptFps / plainFps);
    DestroyWindow(hwnd);
    engine::destroy(cx);
    return 0;
}
