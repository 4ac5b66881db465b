// Widget.popupMenu: the real menu under Wine answered by keys from a second
// thread, the calls around TrackPopupMenu, and the request suspended for the
// whole menu.
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/iat_patch.h"
#include "tests/widget/tray/request_probe.h"
#include "tests/widget/tray/ui_driver.h"
#include "tests/widget/widget_fixture.h"

using namespace widget_test;
using testing_support::ImportPatch;
using tray_test::Answerer;

namespace {

class PopupMenu : public WidgetTest {
protected:
    void SetUp() override
    {
        WidgetTest::SetUp();
        owner_ = make("owner", "{type: 'Frame', utitle: 'Owner'}");
        ok("var menu = make({type: 'PopupMenu'});"
           "Widget.create({type: 'MenuItem', hParent: menu.hWnd, id: 10, utext: 'First'});"
           "Widget.create({type: 'MenuItem', hParent: menu.hWnd, id: 11, utext: 'Second'});"
           "menu.hParent = owner.hWnd;");
        menu_ = (HMENU)(intptr_t)std::stol(ok("menu.hWnd"));
        ASSERT_TRUE(IsWindow(owner_));
        ASSERT_EQ(GetMenuItemCount(menu_), 2);
        SetCursorPos(300, 300);
        events();
    }
    void TearDown() override
    {
        DestroyMenu(menu_);
        WidgetTest::TearDown();
    }
    // The menu commands since the last call (an Edit's notifications also
    // come as COMMAND, with the code in the high word).
    std::string commands()
    {
        return ok("var c = []; events.forEach(function (t) { var e = JSON.parse(t);"
                  " if (e.msg == 'COMMAND' && e.id < 65536) c.push(e.hWnd + ':' + e.id); });"
                  " events = []; c.join(',')");
    }
    std::string ownerText() { return std::to_string((long)(intptr_t)owner_); }
    HWND owner_ = nullptr;
    HMENU menu_ = nullptr;
};

} // namespace

TEST_F(PopupMenu, PickingTheSecondItemGivesCommand11ForTheOwner)
{
    Answerer keys("#32768", [](HWND menu) {
        tray_test::pressKey(menu, VK_DOWN);
        tray_test::pressKey(menu, VK_DOWN);
        tray_test::pressKey(menu, VK_RETURN);
    });
    EXPECT_EQ(ok("String(Widget.popupMenu(menu))"), "undefined");
    keys.join();
    ASSERT_TRUE(keys.found());
    pump(); // the WM_COMMAND is posted to the owner
    EXPECT_EQ(commands(), ownerText() + ":11");
}

TEST_F(PopupMenu, EscapeGivesNoCommand)
{
    Answerer keys("#32768", [](HWND menu) { tray_test::pressKey(menu, VK_ESCAPE); });
    ok("Widget.popupMenu(menu)");
    keys.join();
    ASSERT_TRUE(keys.found());
    pump();
    EXPECT_EQ(commands(), "");
}

TEST_F(PopupMenu, AClickElsewhereGivesNoCommand)
{
    Answerer click("#32768", [](HWND menu) {
        RECT r;
        GetWindowRect(menu, &r);
        // Far from the menu, which opened at the mouse position.
        SetCursorPos(r.right + 300, r.bottom + 300);
        INPUT in[2] = {};
        in[0].type = in[1].type = INPUT_MOUSE;
        in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
        SendInput(2, in, sizeof(INPUT));
    });
    ok("Widget.popupMenu(menu)");
    click.join();
    ASSERT_TRUE(click.found());
    pump();
    EXPECT_EQ(commands(), "");
}

// The menu opens with its top-left corner at the mouse position.
TEST_F(PopupMenu, OpensAtTheMouse)
{
    RECT at = {};
    Answerer look("#32768", [&at](HWND menu) {
        GetWindowRect(menu, &at);
        tray_test::pressKey(menu, VK_ESCAPE);
    });
    ok("Widget.popupMenu(menu)");
    look.join();
    ASSERT_TRUE(look.found());
    EXPECT_EQ(at.left, 300);
    EXPECT_EQ(at.top, 300);
}

// The owner's other events arrive while the menu is open: its timer ticks.
TEST_F(PopupMenu, EventsOfOurWindowsArriveWhileTheMenuIsOpen)
{
    HWND edit = make("edit", "{type: 'Edit', hParent: owner.hWnd, utext: ''}");
    ok("var ticks = 0; var clock = make({type: 'Frame', show: 0, timer: 20});"
       "Widget.onEvent = function (e) { events.push(JSON.stringify(e));"
       " if (e.msg == 'TIMER' && e.hWnd == clock.hWnd && ticks < 3) {"
       "  ticks++; edit.utext = 'ticks ' + ticks; Widget.refresh(edit); } return true; };");
    Answerer keys("#32768", [edit](HWND menu) {
        // Three ticks handled, each calling back into Widget, while the menu
        // is still open; then the second item.
        EXPECT_TRUE(tray_test::waitForText(edit, L"ticks 3"));
        EXPECT_TRUE(IsWindowVisible(menu));
        tray_test::pressKey(menu, VK_DOWN);
        tray_test::pressKey(menu, VK_DOWN);
        tray_test::pressKey(menu, VK_RETURN);
    });
    ok("Widget.popupMenu(menu)");
    keys.join();
    ASSERT_TRUE(keys.found());
    pump();
    EXPECT_EQ(ok("ticks"), "3");
    EXPECT_EQ(commands(), ownerText() + ":11");
}

namespace {

struct Call {
    std::string what;
    intptr_t a, b, c, d;
};
std::vector<Call> g_log;
int g_probeAt = -1; // which call makes a host call (request_probe.h)

void logCall(int index, const char *what, intptr_t a = 0, intptr_t b = 0, intptr_t c = 0,
             intptr_t d = 0)
{
    g_log.push_back({what, a, b, c, d});
    if (index == g_probeAt)
        tray_test::touchHost();
}

BOOL WINAPI fakeGetCursorPos(POINT *p)
{
    p->x = 321;
    p->y = 123;
    logCall(0, "GetCursorPos");
    return TRUE;
}
BOOL WINAPI fakeSetForegroundWindow(HWND w)
{
    logCall(1, "SetForegroundWindow", (intptr_t)w);
    return TRUE;
}
BOOL WINAPI fakeTrackPopupMenu(HMENU m, UINT flags, int x, int y, int reserved, HWND w,
                               const RECT *r)
{
    logCall(2, "TrackPopupMenu", (intptr_t)m, flags, x, y);
    g_log.back().what += reserved || r ? " extra" : "";
    g_log.push_back({"owner", (intptr_t)w, 0, 0, 0});
    return TRUE;
}
BOOL(WINAPI *g_realPost)(HWND, UINT, WPARAM, LPARAM) = nullptr;
BOOL WINAPI fakePostMessageW(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    logCall(3, "PostMessageW", (intptr_t)w, m, wp, lp);
    return TRUE;
}

struct MenuCalls {
    ImportPatch cursor{tray_test::zorvex(), "user32.dll", "GetCursorPos", (void *)fakeGetCursorPos};
    ImportPatch front{tray_test::zorvex(), "user32.dll", "SetForegroundWindow",
                      (void *)fakeSetForegroundWindow};
    ImportPatch track{tray_test::zorvex(), "user32.dll", "TrackPopupMenu", (void *)fakeTrackPopupMenu};
    ImportPatch post{tray_test::zorvex(), "user32.dll", "PostMessageW", (void *)fakePostMessageW};
    bool ready() const
    {
        return cursor.original() && front.original() && track.original() && post.original();
    }
};

} // namespace

TEST(PopupMenuCalls, ForegroundThenMenuAtTheCursorThenWmNull)
{
    host();
    g_log.clear();
    g_probeAt = -1;
    MenuCalls calls;
    ASSERT_TRUE(calls.ready());
    host().ok("Widget.popupMenu({hWnd: 4294967295, hParent: 5555, utext: 'ignored'})");
    ASSERT_EQ(g_log.size(), 5u);
    EXPECT_EQ(g_log[0].what, "GetCursorPos");
    EXPECT_EQ(g_log[1].what, "SetForegroundWindow");
    EXPECT_EQ(g_log[1].a, 5555);
    EXPECT_EQ(g_log[2].what, "TrackPopupMenu");
    EXPECT_EQ(g_log[2].a, (intptr_t)-1);
    EXPECT_EQ(g_log[2].b, 0); // TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, no TPM_RETURNCMD
    EXPECT_EQ(g_log[2].c, 321);
    EXPECT_EQ(g_log[2].d, 123);
    EXPECT_EQ(g_log[3].what, "owner");
    EXPECT_EQ(g_log[3].a, 5555);
    EXPECT_EQ(g_log[4].what, "PostMessageW");
    EXPECT_EQ(g_log[4].a, 5555);
    EXPECT_EQ(g_log[4].b, (intptr_t)WM_NULL);
    EXPECT_EQ(g_log[4].c, 0);
    EXPECT_EQ(g_log[4].d, 0);

    // Defaults 0; not objects are read as nothing.
    for (const char *v : {"{}", "null", "42", "'menu'"}) {
        SCOPED_TRACE(v);
        g_log.clear();
        host().ok(std::string("Widget.popupMenu(") + v + ")");
        ASSERT_EQ(g_log.size(), 5u);
        EXPECT_EQ(g_log[1].a, 0);
        EXPECT_EQ(g_log[2].a, 0);
    }
}

// Every call from the cursor position to the WM_NULL runs with the request
// suspended: a host call from any of them is a protocol violation.
TEST(PopupMenuCalls, RequestSuspendedForTheWholeMenu)
{
    for (int at = 0; at < 4; at++) {
        SCOPED_TRACE(at);
        EXPECT_DEATH(
            {
                host();
                g_probeAt = at;
                MenuCalls calls;
                host().eval("Widget.popupMenu({hWnd: 1, hParent: 2})");
            },
            tray_test::kSuspended);
    }
}

TEST(PopupMenuCalls, Errors)
{
    struct Case {
        const char *call, *message;
    } cases[] = {
        {"Widget.popupMenu()", "Native function format error: Widget.popupMenu(<cmp>)"},
        {"Widget.popupMenu(undefined)", "Widget: Component is undefined"},
        {"Widget.popupMenu(void 0, {hWnd: 1})", "Widget: Component is undefined"},
    };
    g_log.clear();
    MenuCalls calls;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.call);
        EXPECT_EQ(host().ok(std::string("try { ") + c.call + "; 'no error' } catch (e) { e.message }"),
                  c.message);
    }
    EXPECT_TRUE(g_log.empty());
}
