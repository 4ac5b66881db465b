// destroy, show, setWindowTop, refresh, resize and getProperty on real
// windows.
#include "tests/widget/widget_fixture.h"

#include <cstdio>

using namespace widget_test;

namespace {

std::string fmt(const char *format, long a, long b = 0)
{
    char buf[256];
    std::snprintf(buf, sizeof buf, format, a, b);
    return buf;
}

struct Call {
    std::string what;
    uintptr_t a, b, c;
};
std::vector<Call> g_calls;
typedef BOOL(WINAPI *AttachFn)(DWORD, DWORD, BOOL);
typedef BOOL(WINAPI *BringFn)(HWND);
AttachFn g_attach = nullptr;
BringFn g_bring = nullptr;
BOOL WINAPI recordAttach(DWORD a, DWORD b, BOOL c)
{
    g_calls.push_back({"attach", a, b, (uintptr_t)c});
    return g_attach(a, b, c);
}
BOOL WINAPI recordBring(HWND w)
{
    g_calls.push_back({"bring", (uintptr_t)w, 0, 0});
    return g_bring(w);
}

} // namespace

class Operations : public WidgetTest {};

TEST_F(Operations, ErrorMessages)
{
    struct Case {
        const char *call;
        const char *message;
    } cases[] = {
        {"Widget.destroy()", "Native function format error: Widget.destroy(<cmp>)"},
        {"Widget.destroy(undefined)", "Widget.destroy failed"},
        {"Widget.show()", "Native function format error: Widget.show(<cmp>, [show])"},
        {"Widget.show(undefined)", "Widget: Component is undefined"},
        {"Widget.show(undefined, 1)", "Widget: Component is undefined"},
        {"Widget.setWindowTop()", "Native function format error: Widget.setWindowTop(<cmp>)"},
        {"Widget.setWindowTop(undefined)", "Widget: Component is undefined"},
        {"Widget.refresh()", "Native function format error: Widget.refresh(<cmp>)"},
        {"Widget.refresh(undefined)", "Widget: Component is undefined"},
        {"Widget.resize()", "Native function format error: Widget.resize(<cmp>)"},
        {"Widget.resize(undefined)", "Widget: Component is undefined"},
        {"Widget.getProperty()",
         "Native function format error: Widget.getProperty(<cmp>, <property>)"},
        {"Widget.getProperty({})",
         "Native function format error: Widget.getProperty(<cmp>, <property>)"},
        {"Widget.getProperty(undefined, 'utext')", "Widget: Component is undefined"},
        {"Widget.create()", "Native function format error: Widget.create(<cmp>)"},
        {"Widget.create(undefined)", "Widget: Component is undefined"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.call);
        EXPECT_EQ(ok(std::string("try { ") + c.call + "; 'no error' } catch (e) { e.message }"),
                  c.message);
    }
    // Null, numbers and strings are no undefined component: the calls
    // succeed on a descriptor that names no window.
    for (const char *v : {"null", "0", "'x'", "{hWnd: 1e300, x: NaN, type: 5}"}) {
        SCOPED_TRACE(v);
        std::string d = v;
        EXPECT_EQ(eval("Widget.show(" + d + "); Widget.show(" + d + ", 0); Widget.setWindowTop(" +
                       d + "); Widget.resize(" + d + "); Widget.getProperty(" + d +
                       ", 'utext') + '|' + Widget.getProperty(" + d + ", 'hWnd');"),
                  "|undefined");
        EXPECT_EQ(eval("Widget.destroy(" + d + "); 'ok'"), "ok");
    }
}

TEST_F(Operations, DestroyTwiceAndWithChildren)
{
    HWND f = make("f", "{show: 0}");
    HWND c = make("c", "{type: 'Component', hParent: f.hWnd}");
    HWND e = make("e", "{type: 'Edit', hParent: c.hWnd}");
    HWND g = make("g", "{type: 'Component', hParent: c.hWnd}");
    ok("take()");
    ok("Widget.destroy(f)");
    EXPECT_FALSE(IsWindow(f) || IsWindow(c) || IsWindow(e) || IsWindow(g));
    // The frame's DESTROY, then each WndClass child's own; the Edit is no
    // WndClass window.
    EXPECT_EQ(events(), fmt("{\"hWnd\":%ld,\"msg\":\"DESTROY\"}\n", (long)(intptr_t)f) +
                            fmt("{\"hWnd\":%ld,\"msg\":\"DESTROY\"}\n", (long)(intptr_t)c) +
                            fmt("{\"hWnd\":%ld,\"msg\":\"DESTROY\"}", (long)(intptr_t)g));
    EXPECT_EQ(ok("var p = Object.getOwnPropertyDescriptor(f, 'hWnd');"
                 "[p.value, p.enumerable, p.writable, p.configurable, 'hWnd' in f].join()"),
              ",true,false,true,true");
    EXPECT_EQ(ok("c.hWnd"), std::to_string((long)(intptr_t)c));
    EXPECT_EQ(ok("Widget.destroy(f); typeof f.hWnd"), "undefined");
    EXPECT_EQ(events(), "");
    // No hWnd at all, a PopupMenu (no window: the menu stays), a MenuItem.
    EXPECT_EQ(ok("var d = {}; Widget.destroy(d); Object.keys(d).join() + typeof d.hWnd"),
              "hWndundefined");
    HMENU m = (HMENU)make("m", "{type: 'PopupMenu'}");
    ok("Widget.destroy(m)");
    EXPECT_TRUE(IsMenu(m));
    DestroyMenu(m);
}

TEST_F(Operations, ShowWritesAndReadsShow)
{
    HWND f = make("f", "{show: 0}");
    struct Case {
        const char *args;
        bool visible;
        const char *written;
    } cases[] = {
        {"", true, "1"},      {", 0", false, "0"},    {", false", false, "0"},
        {", 2.5", true, "1"}, {", null", true, "1"},  {", 'yes'", false, "0"},
        {", -0.9", false, "0"}, {", true", true, "1"}, {", 4294967296", false, "0"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args);
        ok(std::string("Widget.show(f") + c.args + ")");
        EXPECT_EQ(IsWindowVisible(f) != 0, c.visible);
        EXPECT_EQ(ok("f.show + ',' + typeof f.show"), std::string(c.written) + ",number");
        EXPECT_EQ(ok("var p = Object.getOwnPropertyDescriptor(f, 'show');"
                     "p.enumerable + ',' + p.writable"),
                  "true,true");
    }
}

TEST_F(Operations, SetWindowTopAttachesToTheForegroundThread)
{
    HWND a = make("a", "{x: 0, y: 0, w: 100, h: 100}");
    HWND b = make("b", "{x: 50, y: 50, w: 100, h: 100}");
    ok("Widget.resize(a); Widget.resize(b); Widget.setWindowTop(b);");
    g_attach = (AttachFn)patchImport("zorvex.dll", "user32.dll", "AttachThreadInput",
                                     (void *)recordAttach);
    g_bring = (BringFn)patchImport("zorvex.dll", "user32.dll", "BringWindowToTop",
                                   (void *)recordBring);
    ASSERT_TRUE(g_attach && g_bring);
    g_calls.clear();
    DWORD fg = GetWindowThreadProcessId(GetForegroundWindow(), NULL);
    ok("Widget.setWindowTop(a)");
    patchImport("zorvex.dll", "user32.dll", "AttachThreadInput", (void *)g_attach);
    patchImport("zorvex.dll", "user32.dll", "BringWindowToTop", (void *)g_bring);
    ASSERT_EQ(g_calls.size(), 3u);
    EXPECT_EQ(g_calls[0].what, "attach");
    EXPECT_EQ(g_calls[0].a, GetCurrentThreadId());
    EXPECT_EQ(g_calls[0].b, fg);
    EXPECT_EQ(g_calls[0].c, 1u);
    EXPECT_EQ(g_calls[1].what, "bring");
    EXPECT_EQ(g_calls[1].a, (uintptr_t)a);
    EXPECT_EQ(g_calls[2].what, "attach");
    EXPECT_EQ(g_calls[2].c, 0u);
    // a is now above b.
    HWND w = GetTopWindow(NULL);
    while (w && w != a && w != b)
        w = GetNextWindow(w, GW_HWNDNEXT);
    EXPECT_EQ(w, a);
}

TEST_F(Operations, RefreshSetsEditTextOrRepaints)
{
    HWND f = make("f", "{x: 0, y: 0, w: 200, h: 100}");
    ok("Widget.resize(f)");
    HWND e = make("e", "{type: 'Edit', hParent: f.hWnd, utext: 'old'}");
    HWND t = make("t", "{type: 'TextArea', hParent: f.hWnd, utext: 'old'}");
    ok("e.utext = 'new \\u00e9'; t.utext = 'line 1\\r\\nline 2'; Widget.refresh(e);"
       " Widget.refresh(t);");
    EXPECT_EQ(windowText(e), L"new \u00e9");
    EXPECT_EQ(windowText(t), L"line 1\r\nline 2");
    // Without utext the control becomes empty.
    ok("delete e.utext; Widget.refresh(e)");
    EXPECT_EQ(windowText(e), L"");
    // A descriptor without type is no edit control: its text stays.
    ok("Widget.refresh({hWnd: t.hWnd, utext: 'other'})");
    EXPECT_EQ(windowText(t), L"line 1\r\nline 2");
    // A Frame repaints through the event loop: ERASE, then PAINT.
    pump();
    ok("take(); answer = function (e) { return e.msg != 'PAINT'; }; Widget.refresh(f);");
    EXPECT_EQ(events(), "");
    pump();
    std::string got = events();
    long h = (long)(intptr_t)f;
    EXPECT_NE(got.find(fmt("{\"hWnd\":%ld,\"msg\":\"PAINT\"}", h)), std::string::npos) << got;
    EXPECT_NE(got.find(fmt("{\"hWnd\":%ld,\"msg\":\"ERASE\"}", h)), std::string::npos) << got;
}

TEST_F(Operations, ResizeGivesTheExactClientRectangle)
{
    HWND f = make("f", "{show: 0, x: 100, y: 50, w: 400, h: 300}");
    ok("take(); Widget.resize(f);");
    RECT client;
    GetClientRect(f, &client);
    POINT origin = {0, 0};
    ClientToScreen(f, &origin);
    EXPECT_EQ(client.right, 400);
    EXPECT_EQ(client.bottom, 300);
    EXPECT_EQ(origin.x, 100);
    EXPECT_EQ(origin.y, 50);
    RECT outer;
    GetWindowRect(f, &outer);
    EXPECT_LT(outer.top, 50); // the caption lies above
    long h = (long)(intptr_t)f;
    EXPECT_EQ(events(), fmt("{\"hWnd\":%ld,\"msg\":\"MOVE\",\"x\":100,\"y\":50}\n", h) +
                            fmt("{\"hWnd\":%ld,\"msg\":\"RESIZE\",\"w\":400,\"h\":300}", h));

    HWND c = make("c", "{type: 'Component', hParent: f.hWnd, x: 10, y: 20, w: 30, h: 40}");
    ok("take(); Widget.resize(c);");
    RECT r;
    GetWindowRect(c, &r);
    MapWindowPoints(HWND_DESKTOP, f, (POINT *)&r, 2);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.right, 40);
    EXPECT_EQ(r.bottom, 60);
    long hc = (long)(intptr_t)c;
    EXPECT_EQ(events(), fmt("{\"hWnd\":%ld,\"msg\":\"MOVE\",\"x\":10,\"y\":20}\n", hc) +
                            fmt("{\"hWnd\":%ld,\"msg\":\"RESIZE\",\"w\":30,\"h\":40}", hc));

    // The style that is read decides the frame: with style 0 the window
    // itself gets the rectangle.
    ok("var g = {hWnd: f.hWnd, x: 100, y: 50, w: 400, h: 300, style: 0}; Widget.resize(g);");
    GetWindowRect(f, &outer);
    EXPECT_EQ(outer.left, 100);
    EXPECT_EQ(outer.top, 50);
    EXPECT_EQ(outer.right, 500);
    EXPECT_EQ(outer.bottom, 350);
}

TEST_F(Operations, ResizeKeepsWhatIsMissing)
{
    HWND f = make("f", "{show: 0, x: 100, y: 50, w: 400, h: 300}");
    HWND c = make("c", "{type: 'Component', hParent: f.hWnd, x: 10, y: 20, w: 30, h: 40}");
    ok("Widget.resize(f); Widget.resize(c);");
    ok("delete f.x; delete f.h; f.y = 60; f.w = 350; Widget.resize(f);"
       "delete c.y; delete c.w; c.x = 5; c.h = 45; Widget.resize(c);");
    RECT client;
    GetClientRect(f, &client);
    POINT origin = {0, 0};
    ClientToScreen(f, &origin);
    EXPECT_EQ(origin.x, 100);
    EXPECT_EQ(origin.y, 60);
    EXPECT_EQ(client.right, 350);
    EXPECT_EQ(client.bottom, 300);
    RECT r;
    GetWindowRect(c, &r);
    MapWindowPoints(HWND_DESKTOP, f, (POINT *)&r, 2);
    EXPECT_EQ(r.left, 5);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.right - r.left, 30);
    EXPECT_EQ(r.bottom - r.top, 45);
    // Extreme values wrap as 32-bit numbers and nothing breaks.
    EXPECT_EQ(eval("c.x = 1e300; c.y = -Infinity; c.w = 2147483647; c.h = NaN;"
                   " Widget.resize(c); 'ok'"),
              "ok");
    EXPECT_TRUE(IsWindow(c));
}

TEST_F(Operations, GetPropertyReadsTheWindowText)
{
    make("f", "{show: 0, utitle: 'My frame'}");
    HWND e = make("e", "{type: 'Edit', hParent: f.hWnd, utext: 'typed \\u20ac'}");
    SetWindowTextW(e, L"changed \u00e9");
    EXPECT_EQ(ok("var r = Widget.getProperty(e, 'utext'); r + '|' + e.utext"),
              "changed \xc3\xa9|changed \xc3\xa9");
    EXPECT_EQ(ok("var p = Object.getOwnPropertyDescriptor(e, 'utext');"
                 "p.enumerable + ',' + p.writable"),
              "true,true");
    EXPECT_EQ(ok("Widget.getProperty(f, 'utext')"), "My frame");
    // Other names: nothing read, nothing written.
    EXPECT_EQ(ok("var before = JSON.stringify(f); var r = Widget.getProperty(f, 'hWnd');"
                 "typeof r + ',' + (JSON.stringify(f) == before)"),
              "undefined,true");
    EXPECT_EQ(ok("typeof Widget.getProperty(e, 'UTEXT') + typeof Widget.getProperty(e, null)"),
              "undefinedundefined");
    // A handle that names no window gives the empty string.
    EXPECT_EQ(ok("var d = {hWnd: 12345678}; '[' + Widget.getProperty(d, 'utext') + ']' + d.utext"),
              "[]");
    EXPECT_EQ(ok("Widget.getProperty({}, 'utext', 'extra').length"), "0");
    // Long text comes back whole.
    SetWindowTextW(e, std::wstring(5000, L'x').c_str());
    EXPECT_EQ(ok("Widget.getProperty(e, 'utext').length"), "5000");
    // getProperty then refresh carries the text over.
    ok("var t = make({type: 'TextArea', hParent: f.hWnd}); t.utext = e.utext; Widget.refresh(t);");
    EXPECT_EQ(windowText(window("t.hWnd")).size(), 5000u);
}
