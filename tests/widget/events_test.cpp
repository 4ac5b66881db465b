// The window procedure: which messages become which Widget.onEvent calls,
// the truth test of the answer, nesting, and Widget.eventLoop.
#include "tests/widget/widget_fixture.h"

#include <cstdio>

#include "widget/event_texts.h"

using namespace widget_test;

namespace {

std::string fmt(const char *format, long a, long b = 0, long c = 0)
{
    char buf[256];
    std::snprintf(buf, sizeof buf, format, a, b, c);
    return buf;
}

std::string text(int32_t window, uint32_t message, uint32_t first, uint32_t second)
{
    char buf[EVENT_TEXT_SIZE];
    return format_event_text(buf, window, message, first, second) ? buf : "<none>";
}

} // namespace

// The texts themselves, exactly, for every row of the event table.
TEST(EventTexts, EveryRow)
{
    struct Case {
        uint32_t message, first, second;
        const char *expected;
    } cases[] = {
        {2, 0, 0, "Widget.onEvent({hWnd: -42, msg: 'DESTROY'})"},
        {3, 0, 0x0005F448, "Widget.onEvent({hWnd: -42, msg: 'MOVE', x: -3000, y: 5})"},
        {3, 0, 0x0005F447, "<none>"},
        {3, 0, 0x83008300, "<none>"}, // -32000, -32000: minimised
        {3, 0, 0xFFFF7FFF, "Widget.onEvent({hWnd: -42, msg: 'MOVE', x: 32767, y: -1})"},
        {5, 1, 0x00100020, "Widget.onEvent({hWnd: -42, msg: 'MINIMIZE'})"},
        {5, 0, 0xFFFF8000, "Widget.onEvent({hWnd: -42, msg: 'RESIZE', w: 32768, h: 65535})"},
        {5, 2, 0x012C0190, "Widget.onEvent({hWnd: -42, msg: 'RESIZE', w: 400, h: 300})"},
        {15, 0, 0, "Widget.onEvent({hWnd: -42, msg: 'PAINT'})"},
        {16, 0, 0, "Widget.onEvent({hWnd: -42, msg: 'CLOSE'})"},
        {20, 0x1234, 0, "Widget.onEvent({hWnd: -42, msg: 'ERASE'})"},
        {273, 0x03000000, 0x80001234, "Widget.onEvent({hWnd: -2147478988, msg: 'EDIT_CHANGE'})"},
        {273, 0x03000005, 77, "Widget.onEvent({hWnd: 77, msg: 'EDIT_CHANGE'})"},
        {273, 7, 0, "Widget.onEvent({hWnd: -42, msg: 'COMMAND', id: 7})"},
        {273, 0x04000000, 99, "Widget.onEvent({hWnd: -42, msg: 'COMMAND', id: 67108864})"},
        {273, 0xFFFF0001, 0, "Widget.onEvent({hWnd: -42, msg: 'COMMAND', id: -65535})"},
        {275, 99, 0, "Widget.onEvent({hWnd: -42, msg: 'TIMER'})"},
        {512, 0, 0xFFFEFFFF, "Widget.onEvent({hWnd: -42, msg: 'MOUSE_OVER', x: 65535, y: -2})"},
        {513, 0, 0x00030004,
         "Widget.onEvent({hWnd: -42, msg: 'MOUSE_BUTTON', button: 'LEFT_DOWN', x: 4, y: 3})"},
        {514, 0, 0x8000FFFF,
         "Widget.onEvent({hWnd: -42, msg: 'MOUSE_BUTTON', button: 'LEFT_UP', x: 65535, y: -32768})"},
        {516, 0, 0x00010002,
         "Widget.onEvent({hWnd: -42, msg: 'MOUSE_BUTTON', button: 'RIGHT_DOWN', x: 2, y: 1})"},
        {517, 0, 0x00010002,
         "Widget.onEvent({hWnd: -42, msg: 'MOUSE_BUTTON', button: 'RIGHT_UP', x: 2, y: 1})"},
        {675, 0, 0, "Widget.onEvent({hWnd: -42, msg: 'MOUSE_OUT'})"},
        {1025, 0, 513, "Widget.onEvent({hWnd: -42, msg: 'MOUSE_BUTTON', button: 'LEFT_DOWN'})"},
        {1025, 0, 514, "Widget.onEvent({hWnd: -42, msg: 'MOUSE_BUTTON', button: 'LEFT_UP'})"},
        {1025, 0, 516, "Widget.onEvent({hWnd: -42, msg: 'MOUSE_BUTTON', button: 'RIGHT_DOWN'})"},
        {1025, 0, 517, "Widget.onEvent({hWnd: -42, msg: 'MOUSE_BUTTON', button: 'RIGHT_UP'})"},
        {1025, 0, 1029, "Widget.onEvent({hWnd: -42, msg: 'MOUSE_BUTTON', button: 'LEFT_UP'})"},
        {1025, 0, 512, "<none>"},
        {1025, 0, 515, "<none>"},  // double-click
        {1025, 0, 1026, "<none>"}, // balloon shown
        {1025, 0, 1028, "<none>"}, // balloon timeout
        {1, 0, 0, "<none>"},       // WM_CREATE
        {0x203, 0, 0, "<none>"},   // WM_LBUTTONDBLCLK
        {0x207, 0, 0, "<none>"},   // WM_MBUTTONDOWN
        {0x20A, 0, 0, "<none>"},   // WM_MOUSEWHEEL
        {0x100, 0, 0, "<none>"},   // WM_KEYDOWN
        {0x112, 0, 0, "<none>"},   // WM_SYSCOMMAND
        {0x85, 0, 0, "<none>"},    // WM_NCPAINT
        {1024, 0, 0, "<none>"},    // WM_USER
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(text(-42, c.message, c.first, c.second), c.expected);
    }
    // The longest text fits the buffer with room to spare.
    std::string longest = text(INT32_MIN, 514, 0, 0x8000FFFF);
    EXPECT_LT(longest.size(), 255u);
    EXPECT_EQ(text(INT32_MIN, 3, 0, 0x8000F448),
              "Widget.onEvent({hWnd: -2147483648, msg: 'MOVE', x: -3000, y: -32768})");
}

class Events : public WidgetTest {};

// Every row through a real window: the script sees the object the text
// describes, and the procedure returns 1 for a handled event.
TEST_F(Events, MessagesSentToAFrameArriveAsEvents)
{
    HWND f = make("f", "{show: 0}");
    long h = (long)(intptr_t)f;
    struct Case {
        UINT message;
        WPARAM first;
        LPARAM second;
        std::string expected;
    } cases[] = {
        {WM_MOVE, 0, MAKELPARAM(-3000, 5), fmt("{\"hWnd\":%ld,\"msg\":\"MOVE\",\"x\":-3000,\"y\":5}", h)},
        {WM_MOVE, 0, MAKELPARAM(-3001, 5), ""},
        {WM_SIZE, SIZE_MINIMIZED, 0, fmt("{\"hWnd\":%ld,\"msg\":\"MINIMIZE\"}", h)},
        {WM_SIZE, SIZE_MAXIMIZED, MAKELPARAM(640, 480),
         fmt("{\"hWnd\":%ld,\"msg\":\"RESIZE\",\"w\":640,\"h\":480}", h)},
        {WM_COMMAND, 7, 0, fmt("{\"hWnd\":%ld,\"msg\":\"COMMAND\",\"id\":7}", h)},
        {WM_COMMAND, MAKEWPARAM(0, EN_UPDATE), 1234,
         fmt("{\"hWnd\":%ld,\"msg\":\"COMMAND\",\"id\":67108864}", h)},
        {WM_COMMAND, MAKEWPARAM(0, EN_CHANGE), 1234, "{\"hWnd\":1234,\"msg\":\"EDIT_CHANGE\"}"},
        {WM_TIMER, 3, 0, fmt("{\"hWnd\":%ld,\"msg\":\"TIMER\"}", h)},
        {WM_LBUTTONDOWN, 0, MAKELPARAM(10, -2),
         fmt("{\"hWnd\":%ld,\"msg\":\"MOUSE_BUTTON\",\"button\":\"LEFT_DOWN\",\"x\":10,\"y\":-2}", h)},
        {WM_RBUTTONUP, 0, MAKELPARAM(1, 2),
         fmt("{\"hWnd\":%ld,\"msg\":\"MOUSE_BUTTON\",\"button\":\"RIGHT_UP\",\"x\":1,\"y\":2}", h)},
        {WM_USER + 1, 0, 517, fmt("{\"hWnd\":%ld,\"msg\":\"MOUSE_BUTTON\",\"button\":\"RIGHT_UP\"}", h)},
        {WM_USER + 1, 0, 1029, fmt("{\"hWnd\":%ld,\"msg\":\"MOUSE_BUTTON\",\"button\":\"LEFT_UP\"}", h)},
        {WM_USER + 1, 0, 512, ""},
        {WM_MOUSELEAVE, 0, 0, fmt("{\"hWnd\":%ld,\"msg\":\"MOUSE_OUT\"}", h)},
        {WM_CLOSE, 0, 0, fmt("{\"hWnd\":%ld,\"msg\":\"CLOSE\"}", h)},
        {WM_ERASEBKGND, 0, 0, fmt("{\"hWnd\":%ld,\"msg\":\"ERASE\"}", h)},
        // Not evaluated at all.
        {WM_LBUTTONDBLCLK, 0, 0, ""},
        {WM_MBUTTONDOWN, 0, 0, ""},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0, ""},
        {WM_KEYDOWN, 'A', 0, ""},
        {WM_CHAR, 'A', 0, ""},
        {WM_NCMOUSEMOVE, HTCAPTION, 0, ""},
        {WM_USER + 2, 0, 517, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.message);
        LRESULT r = SendMessageW(f, c.message, c.first, c.second);
        EXPECT_EQ(events(), c.expected);
        if (!c.expected.empty())
            EXPECT_EQ(r, 1); // handled: DefWindowProcW did not run
    }
    EXPECT_TRUE(IsWindow(f));
    // The class never asks for double clicks and repaints nothing on resize.
    EXPECT_EQ(GetClassLongW(f, GCL_STYLE), 0u);
}

TEST_F(Events, MoveBoundaryWithRealPlacement)
{
    make("f", "{show: 0, x: -3000, y: 5, w: 200, h: 100}");
    ok("Widget.resize(f); take();");
    ok("f.x = -3000; f.y = 5; f.w = 220; Widget.resize(f);");
    EXPECT_NE(ok("events.join()").find("\"msg\":\"MOVE\",\"x\":-3000,\"y\":5"), std::string::npos)
        << ok("events.join()");
    ok("take(); f.x = -3001; Widget.resize(f);");
    EXPECT_EQ(ok("events.filter(function (e) { return e.indexOf('MOVE') >= 0; }).length"), "0")
        << ok("events.join()");
}

TEST_F(Events, MinimizeVersusResize)
{
    HWND f = make("f", "{show: 1, x: 100, y: 100, w: 200, h: 100}");
    ok("Widget.resize(f); take();");
    ShowWindow(f, SW_MINIMIZE);
    pump();
    std::string got = events();
    if (!IsIconic(f))
        GTEST_SKIP() << "Wine without a window manager did not minimise: " << got;
    EXPECT_NE(got.find("\"msg\":\"MINIMIZE\""), std::string::npos) << got;
    EXPECT_EQ(got.find("\"msg\":\"RESIZE\""), std::string::npos) << got;
    EXPECT_EQ(got.find("\"x\":-32000"), std::string::npos) << got;
    ShowWindow(f, SW_RESTORE);
    pump();
    got = events();
    EXPECT_NE(got.find("\"msg\":\"RESIZE\",\"w\":200,\"h\":100"), std::string::npos) << got;
}

TEST_F(Events, TypingInAnEditNamesTheEdit)
{
    make("f", "{show: 1}");
    HWND e = make("e", "{type: 'Edit', hParent: f.hWnd, utext: 'ab'}");
    ok("take()");
    SendMessageW(e, WM_CHAR, 'c', 1);
    std::string got = events();
    EXPECT_NE(got.find(fmt("{\"hWnd\":%ld,\"msg\":\"EDIT_CHANGE\"}", (long)(intptr_t)e)),
              std::string::npos)
        << got;
    EXPECT_NE(got.find(fmt("{\"hWnd\":%ld,\"msg\":\"COMMAND\",\"id\":67108864}",
                           (long)(intptr_t)window("f.hWnd"))),
              std::string::npos)
        << got;
    EXPECT_EQ(ok("Widget.getProperty(e, 'utext')"), "abc");
}

TEST_F(Events, MouseTrackingIsRenewedOnEveryMove)
{
    HWND f = make("f", "{show: 1, x: 10, y: 10, w: 300, h: 200}");
    ok("Widget.resize(f); take();");
    for (int round = 0; round < 2; round++) {
        SCOPED_TRACE(round);
        SetCursorPos(100, 100);
        SendMessageW(f, WM_MOUSEMOVE, 0, MAKELPARAM(90, 90));
        EXPECT_EQ(events(), fmt("{\"hWnd\":%ld,\"msg\":\"MOUSE_OVER\",\"x\":90,\"y\":90}",
                                (long)(intptr_t)f));
        TRACKMOUSEEVENT q = {sizeof q, TME_QUERY, NULL, 0};
        ASSERT_TRUE(TrackMouseEvent(&q));
        EXPECT_EQ(q.hwndTrack, f);
        EXPECT_TRUE(q.dwFlags & TME_LEAVE);
        SetCursorPos(900, 900);
        ASSERT_TRUE(pumpUntil("events.length > 0")) << "no MOUSE_OUT";
        EXPECT_EQ(events(), fmt("{\"hWnd\":%ld,\"msg\":\"MOUSE_OUT\"}", (long)(intptr_t)f));
    }
}

// The answer decides about the default processing, by the truth test.
TEST_F(Events, CloseAnswerDecidesWhetherTheWindowGoes)
{
    struct Case {
        const char *answer;
        bool kept;
    } cases[] = {
        {"return true;", true},
        {"", true}, // undefined
        {"return {};", true},
        {"return 4;", true},
        {"return -1;", true},
        {"return 1.5;", true},
        {"return '';", true}, // a string word is never zero
        {"return false;", false},
        {"return null;", false},
        {"return 0;", false},
        {"return 3;", false},
        {"throw new Error('boom');", false}, // the host stores false on an error
        {"missing", false},                  // no Widget.onEvent at all
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.answer);
        HWND f = make("f", "{show: 0}");
        ok("take()");
        if (std::string(c.answer) == "missing")
            ok("var saved = Widget.onEvent; delete Widget.onEvent;");
        else
            ok(std::string("answer = function (e) { if (e.msg == 'CLOSE') { ") + c.answer +
               " } return true; };");
        SendMessageW(f, WM_CLOSE, 0, 0);
        if (std::string(c.answer) == "missing")
            ok("Widget.onEvent = saved;");
        EXPECT_EQ(IsWindow(f) != 0, c.kept);
        std::string got = events();
        if (std::string(c.answer) != "missing") {
            std::string close = fmt("{\"hWnd\":%ld,\"msg\":\"CLOSE\"}", (long)(intptr_t)f);
            std::string destroy = fmt("{\"hWnd\":%ld,\"msg\":\"DESTROY\"}", (long)(intptr_t)f);
            EXPECT_EQ(got, c.kept ? close : close + "\n" + destroy);
        }
    }
}

TEST_F(Events, DestroyInsideTheCloseHandlerNests)
{
    HWND f = make("f", "{show: 0}");
    ok("take(); answer = function (e) {"
       "  if (e.msg == 'CLOSE') { Widget.destroy(f); events.push('after destroy'); }"
       "  return true; };");
    SendMessageW(f, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(f));
    EXPECT_EQ(events(), fmt("{\"hWnd\":%ld,\"msg\":\"CLOSE\"}\n{\"hWnd\":%ld,\"msg\":\"DESTROY\"}\n"
                            "after destroy",
                            (long)(intptr_t)f, (long)(intptr_t)f));
    EXPECT_EQ(ok("f.hWnd"), "undefined");
}

TEST_F(Events, EventLoopDispatchesOneMessagePerCall)
{
    HWND f = make("f", "{show: 0}");
    pump();
    ok("take()");
    for (int i = 0; i < 3; i++)
        PostMessageW(f, WM_TIMER, i, 0);
    EXPECT_EQ(ok("[Widget.eventLoop(), events.length, Widget.eventLoop(), events.length,"
                 " Widget.eventLoop(), events.length].join()"),
              "1,1,1,2,1,3");
    ok("take()");
    // Messages of no WndClass window and of the thread itself count too.
    PostThreadMessageW(GetCurrentThreadId(), WM_USER + 50, 0, 0);
    EXPECT_EQ(ok("Widget.eventLoop(1, 2, 3) + ',' + events.length"), "1,0");
    pump();
    PostQuitMessage(0);
    PostMessageW(f, WM_TIMER, 9, 0); // a waiting message still comes first
    EXPECT_EQ(ok("Widget.eventLoop() + ',' + events.length"), "1,1");
    EXPECT_EQ(ok("Widget.eventLoop() + ',' + events.length"), "0,1");
}
