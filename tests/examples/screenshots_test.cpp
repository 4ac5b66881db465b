// The examples with windows, run as a user runs them, each captured from the
// screen once its window shows.  The capture must show something painted;
// with SCRIPTHOST_UPDATE_SCREENSHOTS=1 (scripts/screenshots) it replaces the
// README's picture in docs/screenshots/.
#include <windows.h>

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "tests/support/script_host.h"

namespace {

struct Found {
    DWORD pid;
    HWND window;
};

BOOL CALLBACK findShown(HWND w, LPARAM p)
{
    Found *f = (Found *)p;
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    RECT r;
    if (pid == f->pid && IsWindowVisible(w) && GetWindowRect(w, &r) && r.right - r.left > 50 &&
        r.bottom - r.top > 50) {
        f->window = w;
        return FALSE;
    }
    return TRUE;
}

bool writePng(const std::wstring &path, int w, int h, const std::vector<uint8_t> &bgra)
{
    FILE *f = _wfopen(path.c_str(), L"wb");
    if (!f)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uint8_t> row((size_t)w * 3);
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            const uint8_t *p = &bgra[((size_t)y * w + x) * 4];
            row[x * 3] = p[2];
            row[x * 3 + 1] = p[1];
            row[x * 3 + 2] = p[0];
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return true;
}

std::wstring wide(const std::string &s)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), nullptr, 0);
    std::wstring w((size_t)n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), &w[0], n);
    return w;
}

// Runs scripthost.exe with the arguments from the source folder, types
// `typed` into its first edit control, captures the first shown window of
// the child and ends the child.  Returns the number
// of distinct colours in the capture.
int capture(const std::string &name, const std::string &args, const wchar_t *typed = nullptr)
{
    std::string bin = testing_support::binFolder();
    std::string root = bin + "..\\..\\";
    std::wstring cmd = wide("\"" + bin + "scripthost.exe\" " + args);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::wstring dir = wide(root);
    if (!CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi))
        return -1;
    Found f = {pi.dwProcessId, nullptr};
    for (int i = 0; i < 200 && !f.window; i++) {
        Sleep(50);
        EnumWindows(findShown, (LPARAM)&f);
    }
    int colours = -1;
    if (f.window) {
        // Type into the first edit control, as a user would.
        HWND edit = typed ? FindWindowExW(f.window, nullptr, L"Edit", nullptr) : nullptr;
        for (const wchar_t *c = typed; edit && *c; c++)
            PostMessageW(edit, WM_CHAR, *c, 1);
        Sleep(1500); // let it paint
        RECT r;
        GetWindowRect(f.window, &r);
        int w = r.right - r.left, h = r.bottom - r.top;
        HDC screen = GetDC(nullptr);
        HDC mem = CreateCompatibleDC(screen);
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        void *bits = nullptr;
        HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = SelectObject(mem, dib);
        BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
        GdiFlush();
        std::vector<uint8_t> pixels((uint8_t *)bits, (uint8_t *)bits + (size_t)w * h * 4);
        SelectObject(mem, old);
        DeleteObject(dib);
        DeleteDC(mem);
        ReleaseDC(nullptr, screen);
        std::set<uint32_t> seen;
        for (size_t i = 0; i + 3 < pixels.size() && seen.size() < 1000; i += 4)
            seen.insert(pixels[i] | pixels[i + 1] << 8 | pixels[i + 2] << 16);
        colours = (int)seen.size();
        const char *update = std::getenv("SCRIPTHOST_UPDATE_SCREENSHOTS");
        std::wstring out = update && *update == '1'
                               ? wide(root + "docs\\screenshots\\" + name + ".png")
                               : wide(testing_support::tempPath(".png"));
        EXPECT_TRUE(writePng(out, w, h, pixels));
        if (!(update && *update == '1'))
            DeleteFileW(out.c_str());
    }
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 5000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return colours;
}

} // namespace

// A painted window has more than the two or three colours of an empty frame.
TEST(ExampleScreens, Widgets) { EXPECT_GT(capture("widgets", "examples\\widgets.js", L"Hello from scripthost"), 3); }

TEST(ExampleScreens, ImageViewer)
{
    EXPECT_GT(capture("image-viewer", "examples\\image-viewer.js examples\\viewer-sample.png"), 20);
}
