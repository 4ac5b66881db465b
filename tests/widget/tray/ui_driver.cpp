#include "tests/widget/tray/ui_driver.h"

#include <cstring>

namespace tray_test {

namespace {

struct Search {
    DWORD pid;
    const char *className;
    HWND found;
};

BOOL CALLBACK visit(HWND window, LPARAM data)
{
    Search *s = (Search *)data;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != s->pid || !IsWindowVisible(window))
        return TRUE;
    char name[64] = {0};
    GetClassNameA(window, name, sizeof name);
    if (std::strcmp(name, s->className) != 0)
        return TRUE;
    s->found = window;
    return FALSE;
}

} // namespace

HWND findWindowOf(DWORD pid, const char *className)
{
    Search s = {pid, className, nullptr};
    EnumWindows(visit, (LPARAM)&s);
    return s.found;
}

Answerer::Answerer(const char *className, std::function<void(HWND)> answer, DWORD pid)
{
    std::string name = className;
    thread_ = std::thread([this, name, answer, pid] {
        for (int i = 0; i < 2000; i++) {
            HWND w = findWindowOf(pid, name.c_str());
            if (w) {
                found_ = true;
                answer(w);
                return;
            }
            Sleep(10);
        }
    });
}

std::wstring textOf(HWND window)
{
    wchar_t buf[1024] = {0};
    // WM_GETTEXT rather than GetWindowTextW: the window may belong to
    // another process.
    SendMessageW(window, WM_GETTEXT, 1024, (LPARAM)buf);
    return buf;
}

std::wstring itemText(HWND dialog, int id)
{
    HWND item = GetDlgItem(dialog, id);
    return item ? textOf(item) : L"<no item>";
}

HWND focusOf(HWND window)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) && info.hwndFocus)
        return info.hwndFocus;
    return window;
}

void pressKey(HWND window, WORD key)
{
    UINT scan = MapVirtualKeyW(key, 0);
    PostMessageW(window, WM_KEYDOWN, key, 1 | (scan << 16));
    PostMessageW(window, WM_KEYUP, key, 1 | (scan << 16) | 0xC0000000u);
}

bool waitForText(HWND window, const std::wstring &expected)
{
    for (int i = 0; i < 1000; i++) {
        if (textOf(window) == expected)
            return true;
        Sleep(10);
    }
    return false;
}

} // namespace tray_test
