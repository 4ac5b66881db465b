// Widget.messageBox: real boxes under Wine answered from a second thread,
// the exact styles through an intercepted MessageBoxW, results, errors and
// the request suspended around the box.
#include <windows.h>

#include <string>

#include "tests/support/iat_patch.h"
#include "tests/widget/tray/request_probe.h"
#include "tests/widget/tray/ui_driver.h"
#include "tests/widget/widget_fixture.h"

using namespace widget_test;
using testing_support::ImportPatch;
using tray_test::Answerer;

namespace {

class MessageBoxes : public WidgetTest {};

bool underWine() { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

// The buttons a box has, by identifier.
std::string buttons(HWND box)
{
    std::string s;
    const struct {
        int id;
        const char *name;
    } all[] = {{IDOK, "OK"}, {IDCANCEL, "CANCEL"}, {IDYES, "YES"}, {IDNO, "NO"}};
    for (const auto &b : all) {
        HWND w = GetDlgItem(box, b.id);
        if (w && IsWindowVisible(w))
            s += std::string(s.empty() ? "" : ",") + b.name;
    }
    return s;
}

} // namespace

TEST_F(MessageBoxes, YesNoPressingNoGivesNo)
{
    std::wstring caption, text;
    std::string seen;
    Answerer answer("#32770", [&](HWND box) {
        caption = tray_test::textOf(box);
        text = tray_test::itemText(box, 0xFFFF);
        seen = buttons(box);
        PostMessageW(box, WM_COMMAND, IDNO, 0);
    });
    EXPECT_EQ(ok("Widget.messageBox({utitle: 'Question', utext: 'Go on?', type: 'YES_NO'})"), "NO");
    answer.join();
    ASSERT_TRUE(answer.found());
    EXPECT_EQ(caption, L"Question");
    EXPECT_EQ(text, L"Go on?");
    EXPECT_EQ(seen, "YES,NO");
}

TEST_F(MessageBoxes, ButtonsAndAnswers)
{
    struct Case {
        const char *type;
        const char *buttons;
        int answer;     // clicked with BM_CLICK; 0: the Escape key
        const char *result;
        const char *wineResult; // where Wine's box differs from Windows'
    } cases[] = {
        {"'YES_NO'", "YES,NO", IDYES, "YES"},
        {"'OK_CANCEL'", "OK,CANCEL", IDOK, "OK"},
        {"'OK_CANCEL'", "OK,CANCEL", IDCANCEL, "CANCEL"},
        {"'OK_CANCEL'", "OK,CANCEL", 0, "CANCEL"},
        {"'OK'", "OK", IDOK, "OK"},
        // Escape on a box with only OK: Windows answers IDOK, Wine IDCANCEL.
        {"'OK'", "OK", 0, "OK", "CANCEL"},
        {"'ok'", "OK", IDOK, "OK"},
        {"'YES_NO_CANCEL'", "OK", IDOK, "OK"},
        {"undefined", "OK", IDOK, "OK"},
        {"42", "OK", IDOK, "OK"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.type) + " " + std::to_string(c.answer));
        std::string seen;
        Answerer answer("#32770", [&](HWND box) {
            seen = buttons(box);
            if (c.answer)
                PostMessageW(GetDlgItem(box, c.answer), BM_CLICK, 0, 0);
            else
                tray_test::pressKey(tray_test::focusOf(box), VK_ESCAPE);
        });
        EXPECT_EQ(ok(std::string("Widget.messageBox({utext: 'Text', type: ") + c.type + "})"),
                  underWine() && c.wineResult ? c.wineResult : c.result);
        answer.join();
        ASSERT_TRUE(answer.found());
        EXPECT_EQ(seen, c.buttons);
    }
}

// The box belongs to hParent; our windows get their events while it is open,
// and their handlers may call Widget functions.
TEST_F(MessageBoxes, OwnedBoxAndEventsWhileOpen)
{
    HWND frame = make("frame", "{type: 'Frame', utitle: 'Owner'}");
    HWND edit = make("edit", "{type: 'Edit', hParent: frame.hWnd, utext: ''}");
    ok("var ticks = 0; var clock = make({type: 'Frame', show: 0, timer: 20});"
       "Widget.onEvent = function (e) {"
       " if (e.msg == 'TIMER' && e.hWnd == clock.hWnd && ticks < 3) {"
       "  ticks++; edit.utext = 'ticks ' + ticks; Widget.refresh(edit); } return true; };");
    HWND owner = nullptr;
    Answerer answer("#32770", [&](HWND box) {
        owner = GetWindow(box, GW_OWNER);
        EXPECT_TRUE(tray_test::waitForText(edit, L"ticks 3"));
        PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(ok("Widget.messageBox({hParent: frame.hWnd, utext: 'Wait', type: 'OK'})"), "OK");
    answer.join();
    ASSERT_TRUE(answer.found());
    EXPECT_EQ(owner, frame);
    EXPECT_EQ(ok("ticks"), "3");
}

namespace {

struct BoxCall {
    HWND owner;
    std::wstring text, caption;
    bool textNull, captionNull;
    UINT style;
};
std::vector<BoxCall> g_boxes;
int g_button = IDOK;
bool g_probe = false;

int WINAPI fakeMessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style)
{
    if (g_probe)
        tray_test::touchHost();
    g_boxes.push_back({owner, text ? text : L"", caption ? caption : L"", !text, !caption, style});
    return g_button;
}

class MessageBoxCalls : public ::testing::Test {
protected:
    void SetUp() override
    {
        host();
        g_boxes.clear();
        g_button = IDOK;
        g_probe = false;
        ASSERT_NE(patch_.original(), nullptr);
    }
    ImportPatch patch_{tray_test::zorvex(), "user32.dll", "MessageBoxW", (void *)fakeMessageBoxW};
};

} // namespace

TEST_F(MessageBoxCalls, TypesAndStyles)
{
    struct Case {
        const char *type;
        UINT style;
    } cases[] = {
        {"'OK'", 0},        {"'OK_CANCEL'", 0x31}, {"'YES_NO'", 0x24},
        {"'yes_no'", 0},    {"'YES_NO '", 0},      {"''", 0},
        {"undefined", 0},   {"null", 0},           {"3", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.type);
        g_boxes.clear();
        host().ok(std::string("Widget.messageBox({hParent: 77.9, utitle: 'T', utext: 'x', type: ") +
                  c.type + "})");
        ASSERT_EQ(g_boxes.size(), 1u);
        EXPECT_EQ(g_boxes[0].style, c.style);
        EXPECT_EQ(g_boxes[0].owner, (HWND)77);
        EXPECT_EQ(g_boxes[0].caption, L"T");
        EXPECT_EQ(g_boxes[0].text, L"x");
    }
    // Without utitle the system's default caption (a null caption); without
    // utext a null text; no hParent: no owner.
    g_boxes.clear();
    host().ok("Widget.messageBox({})");
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_TRUE(g_boxes[0].captionNull);
    EXPECT_TRUE(g_boxes[0].textNull);
    EXPECT_EQ(g_boxes[0].owner, (HWND)0);
    // 16-bit text.
    g_boxes.clear();
    host().ok("Widget.messageBox({utitle: '\\u20ac', utext: '\\u00e9\\u4e2d', hParent: -1})");
    EXPECT_EQ(g_boxes[0].caption, L"\u20ac");
    EXPECT_EQ(g_boxes[0].text, L"\u00e9\u4e2d");
    EXPECT_EQ(g_boxes[0].owner, (HWND)(intptr_t)-1);
}

TEST_F(MessageBoxCalls, ResultsByButton)
{
    struct Case {
        int button;
        const char *result;
        const char *wineResult; // where Wine's box differs from Windows'
    } cases[] = {
        {IDOK, "OK"}, {IDCANCEL, "CANCEL"}, {IDYES, "YES"}, {IDNO, "NO"},
        // Any other code, 0 above all (the box could not be shown), writes
        // no result: the script sees the preset undefined.
        {0, "undefined"}, {IDABORT, "undefined"}, {IDRETRY, "undefined"},
        {IDIGNORE, "undefined"}, {-1, "undefined"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.button);
        g_button = c.button;
        EXPECT_EQ(host().ok("var r = Widget.messageBox({type: 'YES_NO'}); typeof r + ' ' + r"),
                  std::string(c.button == 0 || c.result[0] == 'u' ? "undefined " : "string ") +
                      c.result);
    }
}

TEST_F(MessageBoxCalls, Errors)
{
    struct Case {
        const char *call, *message;
    } cases[] = {
        {"Widget.messageBox()", "Native function format error: Widget.messageBox(<cmp>)"},
        {"Widget.messageBox(undefined)", "Widget: Component is undefined"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.call);
        EXPECT_EQ(host().ok(std::string("try { ") + c.call + "; 'no error' } catch (e) { e.message }"),
                  c.message);
    }
    EXPECT_TRUE(g_boxes.empty());
    // Not objects: a box with the defaults.
    for (const char *v : {"null", "0", "'text'", "false"}) {
        SCOPED_TRACE(v);
        g_boxes.clear();
        EXPECT_EQ(host().ok(std::string("Widget.messageBox(") + v + ")"), "OK");
        ASSERT_EQ(g_boxes.size(), 1u);
        EXPECT_EQ(g_boxes[0].style, 0u);
    }
}

TEST_F(MessageBoxCalls, RequestSuspendedAroundTheBox)
{
    EXPECT_DEATH(
        {
            g_probe = true;
            host().eval("Widget.messageBox({})");
        },
        tray_test::kSuspended);
}
