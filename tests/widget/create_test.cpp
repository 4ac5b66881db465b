// Widget.create for every component type, read back with Win32 calls.
#include "tests/widget/widget_fixture.h"

#include <cstdio>

#include "widget/event_texts.h"

using namespace widget_test;

namespace {

struct TimerCall {
    HWND window;
    UINT_PTR id;
    UINT period;
};
std::vector<TimerCall> g_timerCalls;
typedef UINT_PTR(WINAPI *SetTimerFn)(HWND, UINT_PTR, UINT, TIMERPROC);
SetTimerFn g_realSetTimer = nullptr;

UINT_PTR WINAPI recordSetTimer(HWND w, UINT_PTR id, UINT period, TIMERPROC proc)
{
    g_timerCalls.push_back(TimerCall{w, id, period});
    return g_realSetTimer(w, id, period, proc);
}

HICON makeIcon()
{
    BYTE andBits[32 * 4], xorBits[32 * 4];
    memset(andBits, 0xFF, sizeof andBits);
    memset(xorBits, 0, sizeof xorBits);
    ICONINFO ii = {};
    ii.fIcon = TRUE;
    ii.hbmMask = CreateBitmap(32, 32, 1, 1, andBits);
    ii.hbmColor = CreateBitmap(32, 32, 1, 1, xorBits);
    HICON icon = CreateIconIndirect(&ii);
    DeleteObject(ii.hbmMask);
    DeleteObject(ii.hbmColor);
    return icon;
}

} // namespace

class Create : public WidgetTest {};

struct TypeCase {
    const char *descriptor;
    const char *className; // "" for no window
    LONG style;            // as Win32 reports it, before the class adds bits
    LONG exStyleBit;       // an extended style bit that must be set
    long writtenStyle;
};

TEST_F(Create, EveryTypeGetsItsClassAndStyle)
{
    const TypeCase cases[] = {
        {"{type: 'Frame'}", "WndClass", 0x10C70000, 0, 0x10C70000},
        {"{}", "WndClass", 0x10C70000, 0, 0x10C70000},
        {"{type: 'Frame', show: 0}", "WndClass", 0x00C70000, 0, 0x00C70000},
        {"{type: 'Dialog'}", "WndClass", 0x10C20000, 0, 0x10C20000},
        {"{type: 'Dialog', show: 0.7}", "WndClass", 0x00C20000, 0, 0x00C20000},
        {"{type: 'Component', hParent: top.hWnd}", "WndClass", 0x50000000, 0, 0x50000000},
        {"{type: 'Systray'}", "WndClass", 0, 0, 0x10000000},
        {"{type: 'Edit', hParent: top.hWnd}", "Edit", 0x50000080, WS_EX_CLIENTEDGE, 0x50000080},
        {"{type: 'TextArea', hParent: top.hWnd}", "Edit", 0x50200804, WS_EX_CLIENTEDGE,
         0x50200804},
    };
    make("top", "{type: 'Frame', show: 0}");
    for (const TypeCase &c : cases) {
        SCOPED_TRACE(c.descriptor);
        ok("var d = " + std::string(c.descriptor) + "; var r = Widget.create(d); made.push(d);");
        HWND w = window("d.hWnd");
        ASSERT_TRUE(IsWindow(w));
        EXPECT_EQ(ok("r === d.hWnd"), "true");
        EXPECT_STRCASEEQ(className(w).c_str(), c.className);
        // Wine and Windows add WS_CLIPSIBLINGS to top-level windows, and the
        // edit control adds its own border bits: compare the bits asked for.
        EXPECT_EQ(GetWindowLongW(w, GWL_STYLE) & (c.style | 0x10000000), c.style);
        if (c.style == 0) {
            EXPECT_FALSE(IsWindowVisible(w));
        }
        EXPECT_EQ(GetWindowLongW(w, GWL_EXSTYLE) & c.exStyleBit, c.exStyleBit);
        EXPECT_EQ(ok("d.style"), std::to_string(c.writtenStyle));
        // Created at 0,0 with size 0 by 0.  The system raises a top-level
        // window with a caption to its minimum tracking size (Windows and
        // Wine alike), so only a child keeps the empty size.
        RECT r;
        GetWindowRect(w, &r);
        if (c.style & WS_CHILD)
            MapWindowPoints(HWND_DESKTOP, GetParent(w), (POINT *)&r, 2);
        EXPECT_EQ(r.left, 0);
        EXPECT_EQ(r.top, 0);
        if (std::string(c.descriptor).find("Component") != std::string::npos) {
            EXPECT_EQ(r.right, 0);
            EXPECT_EQ(r.bottom, 0);
        }
    }
    // Children belong to hParent.
    EXPECT_EQ(GetParent(window("made[6].hWnd")), window("top.hWnd"));
}

TEST_F(Create, WrittenPropertiesAreReadOnlyEnumerableAndConfigurable)
{
    make("f", "{show: 0}");
    for (const char *name : {"hWnd", "style"}) {
        SCOPED_TRACE(name);
        std::string p = std::string("Object.getOwnPropertyDescriptor(f, '") + name + "')";
        EXPECT_EQ(ok(p + ".enumerable + ',' + " + p + ".writable + ',' + " + p + ".configurable"),
                  "true,false,true");
        EXPECT_EQ(ok("typeof f." + std::string(name)), "number");
    }
    EXPECT_EQ(ok("f.hWnd = 5; f.hWnd !== 5"), "true");
}

TEST_F(Create, TitleAndText)
{
    HWND f = make("f", "{type: 'Frame', show: 0}");
    EXPECT_EQ(windowText(f), L"Title");
    HWND g = make("g", "{type: 'Dialog', utitle: 'Fen\\u00eatre \\u20ac', show: 0}");
    EXPECT_EQ(windowText(g), L"Fen\u00eatre \u20ac");
    HWND e = make("e", "{type: 'Edit', hParent: f.hWnd, utext: 'caf\\u00e9', utitle: 'no'}");
    EXPECT_EQ(windowText(e), L"caf\u00e9");
    HWND t = make("t", "{type: 'TextArea', hParent: f.hWnd}");
    EXPECT_EQ(windowText(t), L"");
    HWND c = make("c", "{type: 'Component', hParent: f.hWnd, utitle: 'ignored'}");
    EXPECT_EQ(windowText(c), L"");
}

TEST_F(Create, IconsAndSystemMenu)
{
    HICON icon = makeIcon();
    ASSERT_NE(icon, nullptr);
    ok("var icon = " + std::to_string((long)(intptr_t)icon) + ";");
    for (const char *type : {"Frame", "Dialog"}) {
        SCOPED_TRACE(type);
        HWND w = make("w", std::string("{type: '") + type + "', hIcon: icon, show: 0}");
        EXPECT_EQ((HICON)SendMessageW(w, WM_GETICON, ICON_SMALL, 0), icon);
        EXPECT_EQ((HICON)SendMessageW(w, WM_GETICON, ICON_BIG, 0), icon);
        EXPECT_TRUE(GetWindowLongW(w, GWL_STYLE) & WS_SYSMENU);
        EXPECT_EQ(ok("w.style"), std::string(type) == "Frame" ? "13565952" : "13238272");
        HWND plain = make("p", std::string("{type: '") + type + "', show: 0}");
        EXPECT_EQ(SendMessageW(plain, WM_GETICON, ICON_SMALL, 0), 0);
        EXPECT_FALSE(GetWindowLongW(plain, GWL_STYLE) & WS_SYSMENU);
    }
    // hIcon is read for every type but used only by Frame and Dialog.
    HWND c = make("c", "{type: 'Systray', hIcon: icon}");
    EXPECT_EQ(SendMessageW(c, WM_GETICON, ICON_BIG, 0), 0);
    ok("while (made.length) Widget.destroy(made.pop());");
    DestroyIcon(icon);
}

struct FontCase {
    const char *props;
    const wchar_t *face;
    LONG height;
    LONG weight;
    BYTE italic;
};

TEST_F(Create, EditAndTextAreaFonts)
{
    const FontCase cases[] = {
        {"", L"Arial", -12, FW_NORMAL, 0},
        {", textFont: 'Courier New', textSize: 20, textStyle: 'BI'", L"Courier New", -20, FW_BOLD,
         1},
        {", textStyle: 'bi'", L"Arial", -12, FW_NORMAL, 0},
        {", textStyle: 'xIy', textSize: 30.9", L"Arial", -30, FW_NORMAL, 1},
        {", textStyle: 'B', textSize: -8", L"Arial", 8, FW_BOLD, 0},
        {", textSize: NaN, textFont: null", L"Arial", 0, FW_NORMAL, 0},
        {", textSize: 1e300", L"Arial", 0, FW_NORMAL, 0},
    };
    make("f", "{show: 0}");
    for (const char *type : {"Edit", "TextArea"}) {
        for (const FontCase &c : cases) {
            SCOPED_TRACE(std::string(type) + c.props);
            HWND e = make("e", std::string("{type: '") + type + "', hParent: f.hWnd" + c.props + "}");
            HFONT font = (HFONT)SendMessageW(e, WM_GETFONT, 0, 0);
            ASSERT_NE(font, nullptr);
            LOGFONTW lf = {};
            ASSERT_EQ(GetObjectW(font, sizeof lf, &lf), (int)sizeof lf);
            EXPECT_STREQ(lf.lfFaceName, c.face);
            EXPECT_EQ(lf.lfHeight, c.height);
            EXPECT_EQ(lf.lfWeight, c.weight);
            EXPECT_EQ(lf.lfItalic, c.italic);
            EXPECT_EQ(lf.lfQuality, PROOF_QUALITY);
        }
    }
}

// Each Edit and TextArea gets a font of its own; it must go with the
// control, whether the control is destroyed itself or with its Frame, or a
// script that makes and destroys forms runs out of GDI objects (10,000 a
// process on Windows).
TEST_F(Create, EditAndTextAreaFontsGoWithTheControl)
{
    for (const char *type : {"Edit", "TextArea"}) {
        SCOPED_TRACE(type);
        make("f", "{show: 0}");
        HWND own = make("own", std::string("{type: '") + type + "', hParent: f.hWnd}");
        HWND child = make("child", std::string("{type: '") + type + "', hParent: f.hWnd}");
        HFONT ownFont = (HFONT)SendMessageW(own, WM_GETFONT, 0, 0);
        HFONT childFont = (HFONT)SendMessageW(child, WM_GETFONT, 0, 0);
        ASSERT_EQ(GetObjectType(ownFont), (DWORD)OBJ_FONT);
        ASSERT_EQ(GetObjectType(childFont), (DWORD)OBJ_FONT);
        ok("Widget.destroy(own)");
        EXPECT_FALSE(IsWindow(own));
        EXPECT_EQ(GetObjectType(ownFont), 0u) << "the destroyed control's font is still there";
        EXPECT_EQ(GetObjectType(childFont), (DWORD)OBJ_FONT) << "a live control lost its font";
        ok("Widget.destroy(f)");
        EXPECT_FALSE(IsWindow(child));
        EXPECT_EQ(GetObjectType(childFont), 0u) << "the font of a child destroyed with its Frame";
    }
}

TEST_F(Create, Timers)
{
    g_realSetTimer = (SetTimerFn)patchImport("zorvex.dll", "user32.dll", "SetTimer",
                                             (void *)recordSetTimer);
    ASSERT_NE(g_realSetTimer, nullptr);
    struct Case {
        const char *timer;
        int calls;
        UINT period;
    } cases[] = {{"timer: 0", 1, 0}, {"timer: 250.9", 1, 250}, {"timer: -1", 0, 0},
                 {"show: 0", 0, 0},  {"timer: -0.5", 1, 0},    {"timer: NaN", 1, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.timer);
        g_timerCalls.clear();
        HWND w = make("t", std::string("{show: 0, ") + c.timer + "}");
        ASSERT_EQ((int)g_timerCalls.size(), c.calls);
        if (c.calls) {
            EXPECT_EQ(g_timerCalls[0].window, w);
            EXPECT_EQ(g_timerCalls[0].id, 0u);
            EXPECT_EQ(g_timerCalls[0].period, c.period);
            EXPECT_TRUE(KillTimer(w, 0)); // the timer really runs on that window
        } else {
            EXPECT_FALSE(KillTimer(w, 0));
        }
    }
    // No handle, no timer.
    g_timerCalls.clear();
    ok("make({type: 'Frame-less', timer: 0}); make({type: 'Web', timer: 0});");
    EXPECT_TRUE(g_timerCalls.empty());
    // A PopupMenu's handle is no window: the call is made and fails.
    make("pm", "{type: 'PopupMenu', timer: 5}");
    EXPECT_EQ(g_timerCalls.size(), 1u);
    patchImport("zorvex.dll", "user32.dll", "SetTimer", (void *)g_realSetTimer);
    // A timer of period 0 fires through the event loop as TIMER events.
    HWND w = make("live", "{show: 0, timer: 0}");
    ASSERT_TRUE(pumpUntil("events.length > 0"));
    char text[80];
    std::snprintf(text, sizeof text, "{\"hWnd\":%ld,\"msg\":\"TIMER\"}", (long)(intptr_t)w);
    EXPECT_EQ(ok("events[0]"), text);
}

TEST_F(Create, MenuItems)
{
    HMENU menu = (HMENU)make("pm", "{type: 'PopupMenu'}");
    ASSERT_TRUE(IsMenu(menu));
    EXPECT_EQ(ok("pm.style"), "268435456");
    EXPECT_EQ(ok("var r = Widget.create({type: 'MenuItem', hParent: pm.hWnd, id: 7, utext: '-',"
                 " defaultItem: 1}); r"),
              "0");
    ok("var open = {type: 'MenuItem', hParent: pm.hWnd, id: 9, utext: 'Open \\u00e9',"
       " defaultItem: 1};"
       "Widget.create(open);"
       "Widget.create({type: 'MenuItem', hParent: pm.hWnd, id: 10, utext: 'Quit'});"
       "Widget.create({type: 'MenuItem', hParent: pm.hWnd, id: 11});");
    EXPECT_EQ(ok("open.hWnd + ',' + open.style"), "0,268435456");
    ASSERT_EQ(GetMenuItemCount(menu), 4);
    struct Item {
        UINT type;
        UINT id;
        const wchar_t *text;
    } items[] = {{MFT_SEPARATOR, 7, L""}, {MFT_STRING, 9, L"Open \u00e9"},
                 {MFT_STRING, 10, L"Quit"}, {MFT_STRING, 11, L""}};
    for (int i = 0; i < 4; i++) {
        SCOPED_TRACE(i);
        wchar_t text[64] = {0};
        MENUITEMINFOW mi = {};
        mi.cbSize = sizeof mi;
        mi.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
        mi.dwTypeData = text;
        mi.cch = 64;
        ASSERT_TRUE(GetMenuItemInfoW(menu, i, TRUE, &mi));
        EXPECT_EQ(mi.fType & MFT_SEPARATOR, items[i].type);
        EXPECT_EQ(mi.wID, items[i].id);
        if (items[i].type == MFT_STRING) {
            EXPECT_STREQ(text, items[i].text);
        }
    }
    // Only the item that asked for it is the default, found by identifier;
    // the separator's defaultItem is not looked at.
    EXPECT_EQ(GetMenuDefaultItem(menu, FALSE, 0), 9u);
    DestroyMenu(menu);
}

TEST_F(Create, UnknownAndLowerCaseTypesMakeNothing)
{
    HWND before = GetTopWindow(NULL);
    for (const char *type : {"frame", "FRAME", "Button", ""}) {
        SCOPED_TRACE(type);
        EXPECT_EQ(ok(std::string("var d = {type: '") + type + "'}; Widget.create(d) + ',' + d.hWnd"
                     " + ',' + d.style"),
                  "0,0,268435456");
        EXPECT_EQ(ok("d = {type: '" + std::string(type) + "', show: 0}; Widget.create(d);"
                     " d.style"),
                  "0");
    }
    EXPECT_EQ(GetTopWindow(NULL), before);
}

TEST_F(Create, HandleResultWordWrapsAboveTwoToTheThirty)
{
    EXPECT_EQ(handle_result_word(0), 1u);
    EXPECT_EQ(handle_result_word(0x12345), (0x12345u << 1) | 1u);
    EXPECT_EQ(vw_to_int(handle_result_word(0x3FFFFFFF)), 0x3FFFFFFF);
    EXPECT_EQ(vw_to_int(handle_result_word(0x40000002)), -0x3FFFFFFE);
    EXPECT_EQ(vw_to_int(handle_result_word(0x7FFFFFFF)), -1);
    EXPECT_EQ(vw_to_int(handle_result_word((int32_t)0x80000010)), 0x10);
    EXPECT_EQ(vw_to_int(handle_result_word(-5)), -5);
    // A real handle: the result and hWnd agree below 2^30.
    make("f", "{show: 0}");
    // Creating again from the same descriptor makes a new window and
    // redefines hWnd (it stays configurable).
    EXPECT_EQ(ok("var old = f.hWnd; var r = Widget.create(f); made.push({hWnd: old});"
                 "r === f.hWnd && r !== old && r > 0 && r < 1073741824"),
              "true");
}

struct ErrorCase {
    const char *call;
    const char *message;
};

TEST_F(Create, ErrorsAndBadDescriptors)
{
    const ErrorCase cases[] = {
        {"Widget.create()", "Native function format error: Widget.create(<cmp>)"},
        {"Widget.create(undefined)", "Widget: Component is undefined"},
        {"Widget.create(undefined, 1)", "Widget: Component is undefined"},
    };
    for (const ErrorCase &c : cases) {
        SCOPED_TRACE(c.call);
        EXPECT_EQ(ok(std::string("try { ") + c.call + "; 'no error' } catch (e) { e.message }"),
                  c.message);
    }
    // Not objects: used as they are; the host reads no properties of them,
    // so each is a Frame with the defaults.
    for (const char *v : {"null", "42", "'text'", "true", "{type: 1e300, hParent: NaN,"
                          " show: Infinity, timer: -1e300}"}) {
        SCOPED_TRACE(v);
        EXPECT_EQ(eval(std::string("var x = ") + v + "; var r = Widget.create(x); made.push({hWnd: r});"
                                                     " typeof r"),
                  "number");
    }
}
