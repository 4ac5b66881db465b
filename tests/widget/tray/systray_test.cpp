// Widget.setSystray: the notification data, field by field, through an
// intercepted Shell_NotifyIconW (Wine's shell shows neither the tooltip nor
// the balloon); the real shell's answers; the tray callback as an event.
#include <windows.h>

#include <shellapi.h>

#include <cstring>
#include <vector>

#include "tests/support/iat_patch.h"
#include "tests/widget/tray/request_probe.h"
#include "tests/widget/widget_fixture.h"

using namespace widget_test;
using testing_support::ImportPatch;

namespace {

struct NotifyCall {
    DWORD message;
    NOTIFYICONDATAW data; // the bytes the module passed, cbSize of them
};

std::vector<NotifyCall> g_calls;
BOOL g_answer = TRUE;
bool g_passOn = false;
BOOL(WINAPI *g_realNotify)(DWORD, PNOTIFYICONDATAW) = nullptr;
std::vector<BOOL> g_realResults;

BOOL WINAPI fakeNotify(DWORD message, PNOTIFYICONDATAW data)
{
    // setSystray keeps its request: a host call here must be fine.
    tray_test::touchHost();
    NotifyCall c;
    c.message = message;
    std::memset(&c.data, 0xCC, sizeof c.data);
    std::memcpy(&c.data, data, data->cbSize < sizeof c.data ? data->cbSize : sizeof c.data);
    g_calls.push_back(c);
    if (g_passOn) {
        BOOL r = g_realNotify(message, data);
        g_realResults.push_back(r);
        return r;
    }
    return g_answer;
}

class Systray : public WidgetTest {
protected:
    void SetUp() override
    {
        WidgetTest::SetUp();
        g_calls.clear();
        g_realResults.clear();
        g_answer = TRUE;
        g_passOn = false;
        g_realNotify = patch_.call<BOOL(WINAPI *)(DWORD, PNOTIFYICONDATAW)>();
        ASSERT_NE(g_realNotify, nullptr) << "Shell_NotifyIconW is not imported";
    }
    // Runs the script and returns the one call it made.
    NotifyCall only(const std::string &js)
    {
        g_calls.clear();
        ok(js);
        EXPECT_EQ(g_calls.size(), 1u) << js;
        return g_calls.empty() ? NotifyCall{} : g_calls.back();
    }
    ImportPatch patch_{tray_test::zorvex(), "shell32.dll", "Shell_NotifyIconW", (void *)fakeNotify};
};

std::wstring rep(wchar_t c, size_t n) { return std::wstring(n, c); }

std::wstring letters(size_t n)
{
    std::wstring s;
    for (size_t i = 0; i < n; i++)
        s += (wchar_t)(L'a' + i % 26);
    return s;
}

std::string js(const std::wstring &w) { return std::string(w.begin(), w.end()); }

} // namespace

TEST_F(Systray, AddFillsEveryFieldAndTurnsTheCommandToModify)
{
    NotifyCall c = only("var d = {hWnd: 1234, hIcon: 5678, utext: 'Tip'}; Widget.setSystray(d)");
    EXPECT_EQ(c.message, (DWORD)NIM_ADD);
    EXPECT_EQ(c.data.cbSize, 936u);
    EXPECT_EQ(c.data.hWnd, (HWND)1234);
    EXPECT_EQ(c.data.uID, 1u);
    EXPECT_EQ(c.data.uFlags, 7u); // NIF_MESSAGE | NIF_ICON | NIF_TIP
    EXPECT_EQ(c.data.uCallbackMessage, 1025u);
    EXPECT_EQ(c.data.hIcon, (HICON)5678);
    EXPECT_EQ(std::wstring(c.data.szTip), L"Tip");
    EXPECT_EQ(c.data.dwState, 0u);
    EXPECT_EQ(c.data.dwStateMask, 0u);
    EXPECT_EQ(std::wstring(c.data.szInfo), L"");
    EXPECT_EQ(c.data.uTimeout, 0u); // also uVersion: the oldest callback form
    EXPECT_EQ(std::wstring(c.data.szInfoTitle), L"");
    EXPECT_EQ(c.data.dwInfoFlags, 0u);
    // The rest of the tip field is zero, not left over.
    for (size_t i = 3; i < 128; i++)
        ASSERT_EQ(c.data.szTip[i], 0) << i;

    // "modify" from now on: enumerable and writable.
    EXPECT_EQ(ok("d.command"), "modify");
    EXPECT_EQ(ok("Object.keys(d).indexOf('command') >= 0"), "true");
    EXPECT_EQ(ok("d.command = 'x'; var w = d.command; d.command = 'modify'; w"), "x");

    c = only("d.utext = 'New tip'; Widget.setSystray(d)");
    EXPECT_EQ(c.message, (DWORD)NIM_MODIFY);
    EXPECT_EQ(std::wstring(c.data.szTip), L"New tip");
    EXPECT_EQ(c.data.uFlags, 7u);
    EXPECT_EQ(ok("d.command"), "modify");
}

TEST_F(Systray, AFailedAddStillTurnsToModify)
{
    g_answer = FALSE;
    only("var d = {hWnd: 1, hIcon: 2, command: 'add'}; Widget.setSystray(d)");
    EXPECT_EQ(ok("d.command"), "modify");
    // Without utext the tip is empty.
    EXPECT_EQ(std::wstring(g_calls[0].data.szTip), L"");
}

TEST_F(Systray, CommandsAreComparedExactly)
{
    struct Case {
        const char *command;
        int message; // -1: no call
        const char *after;
    } cases[] = {
        {"'add'", NIM_ADD, "modify"},  {"'modify'", NIM_MODIFY, "modify"},
        {"'delete'", NIM_DELETE, "delete"}, {"'Delete'", -1, "Delete"},
        {"'ADD'", -1, "ADD"},          {"'add '", -1, "add "},
        {"''", -1, ""},                {"null", NIM_ADD, "modify"},
        {"7", -1, "7"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.command);
        g_calls.clear();
        ok(std::string("var d = {hWnd: 10, hIcon: 20, command: ") + c.command +
           "}; Widget.setSystray(d)");
        if (c.message < 0) {
            EXPECT_TRUE(g_calls.empty());
        } else {
            ASSERT_EQ(g_calls.size(), 1u);
            EXPECT_EQ(g_calls[0].message, (DWORD)c.message);
            EXPECT_EQ(g_calls[0].data.hWnd, (HWND)10);
            EXPECT_EQ(g_calls[0].data.uID, 1u);
        }
        EXPECT_EQ(ok("String(d.command)"), c.after);
    }
}

TEST_F(Systray, NoIconOrNoWindowDoesNothingForEveryCommand)
{
    for (const char *command : {"add", "modify", "delete"}) {
        for (const char *props : {"hWnd: 10", "hIcon: 20", "hWnd: 10, hIcon: 0",
                                  "hWnd: 0, hIcon: 20", "hWnd: NaN, hIcon: 20",
                                  "hWnd: 4294967296, hIcon: 20", "hWnd: 0.5, hIcon: 20", ""}) {
            SCOPED_TRACE(std::string(command) + " " + props);
            g_calls.clear();
            EXPECT_EQ(ok(std::string("var d = {") + props + (props[0] ? ", " : "") +
                         "command: '" + command + "'}; String(Widget.setSystray(d)) + d.command"),
                      std::string("undefined") + command);
            EXPECT_TRUE(g_calls.empty());
        }
    }
}

TEST_F(Systray, NumbersBecomeSigned32BitHandles)
{
    NotifyCall c = only("Widget.setSystray({hWnd: 4294968530, hIcon: -2147483648,"
                        " msgUText: 'b', msgTimeout: 5000.9})");
    EXPECT_EQ(c.data.hWnd, (HWND)1234);
    EXPECT_EQ(c.data.hIcon, (HICON)0x80000000u);
    EXPECT_EQ(c.data.uTimeout, 5000u);
    c = only("Widget.setSystray({hWnd: -5, hIcon: 3.99, msgUText: 'b', msgTimeout: -1})");
    EXPECT_EQ(c.data.hWnd, (HWND)(intptr_t)-5);
    EXPECT_EQ(c.data.hIcon, (HICON)3);
    EXPECT_EQ(c.data.uTimeout, 0xFFFFFFFFu);
    c = only("Widget.setSystray({hWnd: 7, hIcon: 8, msgUText: 'b', msgTimeout: 1e300})");
    EXPECT_EQ(c.data.uTimeout, 0u);
}

TEST_F(Systray, TextsAreCutToTheirFields)
{
    struct Case {
        size_t length;
        size_t tip, info, title;
    } cases[] = {
        {0, 0, 0, 0}, {1, 1, 1, 1}, {63, 63, 63, 63}, {64, 64, 64, 63},
        {127, 127, 127, 63}, {128, 127, 128, 63}, {200, 127, 200, 63},
        {255, 127, 255, 63}, {256, 127, 255, 63}, {5000, 127, 255, 63},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.length);
        std::wstring s = letters(k.length);
        std::string t = "'" + js(s) + "'";
        NotifyCall c = only("Widget.setSystray({hWnd: 1, hIcon: 2, utext: " + t + ", msgUText: " +
                            t + ", msgUTitle: " + t + "})");
        EXPECT_EQ(std::wstring(c.data.szTip), s.substr(0, k.tip));
        EXPECT_EQ(std::wstring(c.data.szInfo), s.substr(0, k.info));
        EXPECT_EQ(std::wstring(c.data.szInfoTitle), s.substr(0, k.title));
    }
}

TEST_F(Systray, TextIsSixteenBit)
{
    NotifyCall c = only("Widget.setSystray({hWnd: 1, hIcon: 2, utext: '\\u00e9t\\u00e9 \\u20ac',"
                        " msgUText: '\\u4e2d', msgUTitle: '\\ud83d\\ude00'})");
    EXPECT_EQ(std::wstring(c.data.szTip), L"\u00e9t\u00e9 \u20ac");
    EXPECT_EQ(std::wstring(c.data.szInfo), L"\u4e2d");
    EXPECT_EQ(std::wstring(c.data.szInfoTitle), L"\xd83d\xde00");
}

TEST_F(Systray, BalloonWithEveryCallThatHasText)
{
    NotifyCall c = only("var d = {hWnd: 1, hIcon: 2, utext: 'tip', msgUText: 'Hello',"
                        " msgUTitle: 'Title', msgTimeout: 3000}; Widget.setSystray(d)");
    EXPECT_EQ(c.message, (DWORD)NIM_ADD);
    EXPECT_EQ(c.data.uFlags, 0x17u); // plus NIF_INFO
    EXPECT_EQ(std::wstring(c.data.szInfo), L"Hello");
    EXPECT_EQ(std::wstring(c.data.szInfoTitle), L"Title");
    EXPECT_EQ(c.data.uTimeout, 3000u);
    EXPECT_EQ(c.data.dwInfoFlags, 4u); // NIIF_USER: the tray icon is the balloon's icon

    // A modify with a new text shows a new balloon; without the title it is empty.
    c = only("delete d.msgUTitle; d.msgUText = 'Again'; Widget.setSystray(d)");
    EXPECT_EQ(c.message, (DWORD)NIM_MODIFY);
    EXPECT_EQ(c.data.uFlags, 0x17u);
    EXPECT_EQ(std::wstring(c.data.szInfo), L"Again");
    EXPECT_EQ(std::wstring(c.data.szInfoTitle), L"");
    EXPECT_EQ(c.data.dwInfoFlags, 4u);

    // Without msgUText the balloon fields stay out, time-out and flags included.
    c = only("delete d.msgUText; Widget.setSystray(d)");
    EXPECT_EQ(c.data.uFlags, 7u);
    EXPECT_EQ(std::wstring(c.data.szInfo), L"");
    EXPECT_EQ(std::wstring(c.data.szInfoTitle), L"");
    EXPECT_EQ(c.data.uTimeout, 0u);
    EXPECT_EQ(c.data.dwInfoFlags, 0u);

    // Absent means undefined or null; an empty text is a text.
    c = only("d.msgUText = null; d.msgUTitle = 'T'; Widget.setSystray(d)");
    EXPECT_EQ(c.data.uFlags, 7u);
    c = only("d.msgUText = ''; d.msgUTitle = null; Widget.setSystray(d)");
    EXPECT_EQ(c.data.uFlags, 0x17u);
    EXPECT_EQ(std::wstring(c.data.szInfoTitle), L"");
    // msgFlag does not change the balloon's icon.
    c = only("d.msgUText = 'x'; d.msgFlag = 2; Widget.setSystray(d)");
    EXPECT_EQ(c.data.dwInfoFlags, 4u);
}

TEST_F(Systray, ErrorsAndBadDescriptors)
{
    struct Case {
        const char *call, *message;
    } cases[] = {
        {"Widget.setSystray()", "Native function format error: Widget.setSystray(<cmp>)"},
        {"Widget.setSystray(undefined)", "Widget: Component is undefined"},
        {"Widget.setSystray(undefined, {hWnd: 1, hIcon: 2})", "Widget: Component is undefined"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.call);
        EXPECT_EQ(ok(std::string("try { ") + c.call + "; 'no error' } catch (e) { e.message }"),
                  c.message);
    }
    // Not objects: nothing to read, so nothing is done.
    for (const char *v : {"null", "42", "'text'", "true", "[]", "function () {}"}) {
        SCOPED_TRACE(v);
        EXPECT_EQ(ok(std::string("String(Widget.setSystray(") + v + "))"), "undefined");
    }
    // Getters that throw: the error reaches the script.
    EXPECT_EQ(ok("try { Widget.setSystray({get hWnd() { throw new Error('boom'); }}); 'no' }"
                 " catch (e) { e.message }"),
              "boom");
    EXPECT_TRUE(g_calls.empty());
}

// The real shell under Wine: add, modify with a balloon and delete succeed
// for a Systray window and an icon from Widget.loadIcon.
TEST_F(Systray, RealShellAcceptsAddModifyDelete)
{
    g_passOn = true;
    HWND tray = make("tray", "{type: 'Systray'}");
    ASSERT_TRUE(IsWindow(tray));
    HICON icon = LoadIconW(nullptr, IDI_APPLICATION);
    ok("tray.hIcon = " + std::to_string((intptr_t)icon) + "; tray.utext = 'Tray test';");
    ok("Widget.setSystray(tray)");
    ok("tray.msgUText = 'Balloon'; tray.msgUTitle = 'News'; tray.msgTimeout = 1000;"
       " Widget.setSystray(tray)");
    ok("delete tray.msgUText; tray.command = 'delete'; Widget.setSystray(tray)");
    ok("tray.command = 'delete'; Widget.setSystray(tray)"); // gone: the shell says no
    ASSERT_EQ(g_realResults.size(), 4u);
    EXPECT_TRUE(g_realResults[0]);
    EXPECT_TRUE(g_realResults[1]);
    EXPECT_TRUE(g_realResults[2]);
    EXPECT_FALSE(g_realResults[3]);
    EXPECT_EQ(g_calls[0].message, (DWORD)NIM_ADD);
    EXPECT_EQ(g_calls[1].message, (DWORD)NIM_MODIFY);
    EXPECT_EQ(g_calls[2].message, (DWORD)NIM_DELETE);
    EXPECT_EQ(g_calls[0].data.hWnd, tray);
}

// The tray callback, as the shell sends it in its oldest form (icon id,
// mouse message), reaches Widget.onEvent as MOUSE_BUTTON.
TEST_F(Systray, TrayCallbackBecomesMouseButton)
{
    HWND tray = make("tray", "{type: 'Systray'}");
    std::string h = std::to_string((long)(intptr_t)tray);
    SendMessageW(tray, 1025, 1, WM_RBUTTONUP);
    SendMessageW(tray, 1025, 1, WM_MOUSEMOVE); // no event
    PostMessageW(tray, 1025, 1, WM_LBUTTONDOWN);
    PostMessageW(tray, 1025, 1, 1029); // a click on the balloon
    pump();
    EXPECT_EQ(events(), "{\"hWnd\":" + h + ",\"msg\":\"MOUSE_BUTTON\",\"button\":\"RIGHT_UP\"}\n"
                        "{\"hWnd\":" + h + ",\"msg\":\"MOUSE_BUTTON\",\"button\":\"LEFT_DOWN\"}\n"
                        "{\"hWnd\":" + h + ",\"msg\":\"MOUSE_BUTTON\",\"button\":\"LEFT_UP\"}");
}

namespace {

struct TrayWindow {
    HWND window;
};

BOOL CALLBACK findStandaloneTray(HWND w, LPARAM data)
{
    char name[64] = {0};
    GetClassNameA(w, name, sizeof name);
    if (std::strcmp(name, "__winex11_standalone_tray") == 0 && IsWindowVisible(w)) {
        ((TrayWindow *)data)->window = w;
        return FALSE;
    }
    return TRUE;
}

void clickAt(POINT at, DWORD down, DWORD up)
{
    SetCursorPos(at.x, at.y);
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_MOUSE;
    in[0].mi.dwFlags = down;
    in[1].mi.dwFlags = up;
    SendInput(2, in, sizeof(INPUT));
}

} // namespace

// A real right click on the icon.  Without a notification area on the X
// display (Xvfb has none), Wine shows its icons in a window of its own,
// first icon at the top left of the client area; on Windows this is the
// taskbar's notification area, which a test cannot click as reliably.
TEST_F(Systray, RealRightClickOnTheIconArrivesAsMouseButton)
{
    g_passOn = true;
    HWND tray = make("tray", "{type: 'Systray'}");
    std::string h = std::to_string((long)(intptr_t)tray);
    HICON icon = LoadIconW(nullptr, IDI_APPLICATION);
    ok("tray.hIcon = " + std::to_string((intptr_t)icon) + "; tray.utext = 'Click me';"
       " Widget.setSystray(tray)");
    TrayWindow found = {nullptr};
    for (int i = 0; i < 200 && !found.window; i++) {
        EnumWindows(findStandaloneTray, (LPARAM)&found);
        if (!found.window)
            Sleep(10);
    }
    if (!found.window) {
        ok("tray.command = 'delete'; Widget.setSystray(tray)");
        GTEST_SKIP() << "Wine shows no tray window of its own here";
    }
    POINT at = {GetSystemMetrics(SM_CXSMICON) / 2 + 2, GetSystemMetrics(SM_CYSMICON) / 2 + 2};
    ClientToScreen(found.window, &at);
    events();
    clickAt(at, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
    EXPECT_TRUE(pumpUntil("events.join().indexOf('RIGHT_UP') >= 0"));
    EXPECT_EQ(events(), "{\"hWnd\":" + h + ",\"msg\":\"MOUSE_BUTTON\",\"button\":\"RIGHT_DOWN\"}\n"
                        "{\"hWnd\":" + h + ",\"msg\":\"MOUSE_BUTTON\",\"button\":\"RIGHT_UP\"}");
    ok("tray.command = 'delete'; Widget.setSystray(tray)");
}
