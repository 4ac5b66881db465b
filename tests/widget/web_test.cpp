// Web components against the fake browser class: what the container does to
// the browser (create, resize, destroy and every failure on the way), what
// its site answers when the control calls it, and window.external.vorCall as
// a page drives it.
#include "tests/fakes/fake_browser.h"
#include "tests/widget/widget_fixture.h"

#include <oleauto.h>

#include <cstdio>

#include "scripthost/engine.h"

using namespace widget_test;
namespace fb = fake_browser;

namespace {

std::string str(intptr_t n) { return std::to_string(n); }

std::string narrow(const std::wstring &w)
{
    std::string s;
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), NULL, 0, NULL, NULL);
    s.resize(n);
    if (n)
        WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), &s[0], n, NULL, NULL);
    return s;
}

// GlobalAlloc and GlobalFree as zorvex calls them.
typedef HGLOBAL(WINAPI *GlobalAllocFn)(UINT, SIZE_T);
typedef HGLOBAL(WINAPI *GlobalFreeFn)(HGLOBAL);
GlobalAllocFn g_realAlloc = nullptr;
GlobalFreeFn g_realFree = nullptr;
std::vector<std::string> g_memory;
bool g_failAlloc = false;
HGLOBAL WINAPI countingAlloc(UINT flags, SIZE_T bytes)
{
    if (g_failAlloc) {
        g_memory.push_back("alloc failed");
        return NULL;
    }
    HGLOBAL block = g_realAlloc(flags, bytes);
    g_memory.push_back("alloc " + str(flags) + " " + str((intptr_t)bytes));
    return block;
}
HGLOBAL WINAPI countingFree(HGLOBAL block)
{
    g_memory.push_back("free");
    return g_realFree(block);
}

} // namespace

class Web : public WidgetTest {
protected:
    HWND frame = NULL;

    void SetUp() override
    {
        ASSERT_TRUE(fake_browser::initialiseOle());
        WidgetTest::SetUp();
        fb::reset();
        fb::install();
        g_memory.clear();
        g_failAlloc = false;
        g_realAlloc = (GlobalAllocFn)patchImport("zorvex.dll", "kernel32.dll", "GlobalAlloc",
                                                 (void *)countingAlloc);
        g_realFree = (GlobalFreeFn)patchImport("zorvex.dll", "kernel32.dll", "GlobalFree",
                                               (void *)countingFree);
        ASSERT_TRUE(g_realAlloc && g_realFree);
        frame = make("frame", "{type: 'Frame', utitle: 'Web test'}");
        ASSERT_TRUE(frame);
        ok("Widget.resize({hWnd: frame.hWnd, x: 0, y: 0, w: 800, h: 600, style: frame.style})");
        ok("var ran = 0; function mark() { ran++; return ran; }");
    }

    void TearDown() override
    {
        WidgetTest::TearDown();
        patchImport("zorvex.dll", "kernel32.dll", "GlobalAlloc", (void *)g_realAlloc);
        patchImport("zorvex.dll", "kernel32.dll", "GlobalFree", (void *)g_realFree);
        fb::uninstall();
        fb::reset();
    }

    // var name = a Web descriptor on the frame with the given extra properties.
    HWND web(const std::string &name, const std::string &props)
    {
        return make(name, "{type: 'Web', hParent: frame.hWnd" +
                              (props.empty() ? std::string() : ", " + props) + "}");
    }

    // OLE initialisations on this thread, with the fake registered again.
    int depth()
    {
        int d = fb::oleDepth();
        fb::install();
        return d;
    }

    static LONG_PTR userData(HWND w) { return GetWindowLongPtrW(w, GWLP_USERDATA); }

    std::string doVerb(HWND w, int width, int height)
    {
        return "DoVerb -1 msg=0 site=client lindex=-1 window=" + str((intptr_t)w) +
               " rect=0,0," + str(width) + "," + str(height);
    }

    // The calls of a browser attached and navigated in a window of that size.
    std::vector<std::string> embedded(HWND w, int width, int height)
    {
        return {"SetClientSite site",
                "SetHostNames My Host Name,(null)",
                "SetContainedObject 1",
                doVerb(w, width, height),
                "SetObjectRects 10,20,330,260 same", // the fake's OnPosRectChange
                "put_Left 0",
                "put_Top 0",
                "put_Width " + str(width),
                "put_Height " + str(height)};
    }
};

TEST_F(Web, CreateAttachesShowsSizesAndNavigates)
{
    HWND w = web("page", "url: 'file:///C:/pages/index.html', w: 640, h: 480");
    ASSERT_TRUE(w);
    EXPECT_EQ(className(w), "WndClass");
    EXPECT_EQ(GetParent(w), frame);
    EXPECT_EQ((DWORD)GetWindowLongW(w, GWL_STYLE) & (WS_CHILD | WS_VISIBLE | WS_CAPTION),
              (DWORD)(WS_CHILD | WS_VISIBLE));
    EXPECT_EQ(ok("page.style"), str(WS_CHILD | WS_VISIBLE));
    RECT r;
    GetWindowRect(w, &r);
    MapWindowPoints(NULL, frame, (POINT *)&r, 2);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, 640);
    EXPECT_EQ(r.bottom, 480);

    ASSERT_EQ(fb::browsers().size(), 1u);
    fb::Browser *b = fb::last();
    std::vector<std::string> expected = embedded(w, 640, 480);
    expected.push_back("Navigate2 file:///C:/pages/index.html rest=null");
    EXPECT_EQ(b->calls, expected);
    // Attached: the user data holds the block whose client site the browser got.
    EXPECT_EQ(userData(w), (LONG_PTR)((char *)b->clientSite - sizeof(void *)));
    EXPECT_EQ(g_memory, std::vector<std::string>({"alloc 0 24"})); // GMEM_FIXED, six pointers
    EXPECT_EQ(b->references, 1); // the container holds its one reference, nothing more
    EXPECT_EQ(depth(), 2);       // the test's own OleInitialize and the browser's

    ok("Widget.destroy(page)");
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(ok("page.hWnd"), "undefined");
    expected.push_back("Close 1");
    expected.push_back("final Release window=alive");
    EXPECT_EQ(b->calls, expected);
    EXPECT_EQ(g_memory, std::vector<std::string>({"alloc 0 24", "free"}));
    EXPECT_EQ(depth(), 1);
}

TEST_F(Web, DefaultsWithoutUrlWidthAndHeight)
{
    HWND w = web("page", "");
    ASSERT_TRUE(w);
    RECT r;
    GetClientRect(w, &r);
    EXPECT_EQ(r.right, 1000);
    EXPECT_EQ(r.bottom, 1000);
    ASSERT_EQ(fb::browsers().size(), 1u);
    // No URL: navigateBrowser fails (-6) with the empty browser attached.
    EXPECT_EQ(fb::last()->calls, embedded(w, 1000, 1000));
    EXPECT_NE(userData(w), 0);
    // show: 0 leaves the window hidden; the browser is attached all the same.
    HWND hidden = web("hidden", "show: 0, w: 10.9, h: 20.2, url: ''");
    EXPECT_FALSE(IsWindowVisible(hidden));
    EXPECT_EQ(ok("hidden.style"), str(WS_CHILD));
    std::vector<std::string> expected = embedded(hidden, 10, 20);
    expected.push_back("Navigate2  rest=null"); // an empty URL is a string
    EXPECT_EQ(fb::last()->calls, expected);
}

TEST_F(Web, DescriptorsThatMakeNoBrowser)
{
    // A child window needs a parent; "web" is no Web component.
    const struct {
        const char *descriptor;
        const char *style;
    } cases[] = {
        {"{type: 'Web', url: 'file:///x.html', w: 10, h: 10}", "1342177280"},
        {"{type: 'web', hParent: frame.hWnd, url: 'file:///x.html'}", "268435456"},
        {"{type: 'WEB', hParent: frame.hWnd, url: 'file:///x.html'}", "268435456"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.descriptor);
        EXPECT_EQ(ok(std::string("var d = ") + c.descriptor +
                     "; Widget.create(d) + ',' + d.hWnd + ',' + d.style"),
                  std::string("0,0,") + c.style);
        EXPECT_TRUE(fb::browsers().empty());
        EXPECT_TRUE(g_memory.empty());
    }
    EXPECT_EQ(depth(), 1);
}

TEST_F(Web, EachFailedStepLeavesNoBrowser)
{
    struct Case {
        const char *name;
        void (*fail)(fb::Failures &);
        int browsers;              // objects the fake made
        std::vector<std::string> calls; // DoVerb stands for the DoVerb line
        bool attached;             // user data after create
    } cases[] = {
        {"no class object (-2)", [](fb::Failures &f) { f.classObject = true; }, 0, {}, false},
        {"no instance (-3)", [](fb::Failures &f) { f.createInstance = true; }, 0, {}, false},
        {"SetClientSite (-4)", [](fb::Failures &f) { f.setClientSite = true; }, 1,
         {"SetClientSite site", "Close 1", "final Release window=alive"}, false},
        {"OleSetContainedObject (-4)", [](fb::Failures &f) { f.containedObject = true; }, 1,
         {"SetClientSite site", "SetHostNames My Host Name,(null)", "SetContainedObject 1",
          "Close 1", "final Release window=alive"},
         false},
        {"DoVerb (-4)", [](fb::Failures &f) { f.doVerb = true; }, 1,
         {"SetClientSite site", "SetHostNames My Host Name,(null)", "SetContainedObject 1",
          "DoVerb", "Close 1", "final Release window=alive"},
         false},
        {"IWebBrowser2 (-4)", [](fb::Failures &f) { f.webBrowser2Answers = 0; }, 1,
         {"SetClientSite site", "SetHostNames My Host Name,(null)", "SetContainedObject 1",
          "DoVerb", "SetObjectRects 10,20,330,260 same", "Close 1",
          "final Release window=alive"},
         false},
        // Attached, but navigateBrowser finds no IWebBrowser2 (-5).
        {"IWebBrowser2 for Navigate2 (-5)", [](fb::Failures &f) { f.webBrowser2Answers = 1; }, 1,
         {"SetClientSite site", "SetHostNames My Host Name,(null)", "SetContainedObject 1",
          "DoVerb", "SetObjectRects 10,20,330,260 same", "put_Left 0", "put_Top 0",
          "put_Width 50", "put_Height 40"},
         true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fb::reset();
        fb::install();
        g_memory.clear();
        c.fail(fb::failures());
        HWND w = web("failed", "url: 'file:///x.html', w: 50, h: 40");
        ASSERT_TRUE(w); // the component keeps its window
        EXPECT_TRUE(IsWindow(w));
        ASSERT_EQ((int)fb::browsers().size(), c.browsers);
        if (c.browsers) {
            std::vector<std::string> expected = c.calls;
            for (std::string &s : expected)
                if (s == "DoVerb")
                    s = doVerb(w, 50, 40);
            EXPECT_EQ(fb::last()->calls, expected);
            EXPECT_EQ(fb::last()->released, !c.attached);
        }
        EXPECT_EQ(userData(w) != 0, c.attached);
        EXPECT_EQ(depth(), c.attached ? 2 : 1); // OLE initialisation undone
        EXPECT_EQ(g_memory, c.attached ? std::vector<std::string>({"alloc 0 24"})
                                       : std::vector<std::string>({"alloc 0 24", "free"}));
        // A later destroy closes what is attached and otherwise only the window.
        size_t before = c.browsers ? fb::last()->calls.size() : 0;
        ok("Widget.destroy(failed); made.pop();");
        EXPECT_FALSE(IsWindow(w));
        if (c.browsers) {
            EXPECT_EQ(fb::last()->calls.size(), before + (c.attached ? 2 : 0));
        }
        EXPECT_EQ(depth(), 1);
    }
}

TEST_F(Web, NoMemoryForTheSite)
{
    g_failAlloc = true;
    HWND w = web("page", "url: 'file:///x.html'");
    ASSERT_TRUE(w);
    EXPECT_EQ(g_memory, std::vector<std::string>({"alloc failed"}));
    EXPECT_TRUE(fb::browsers().empty());
    EXPECT_EQ(userData(w), 0);
    EXPECT_EQ(depth(), 1);
}

TEST_F(Web, ResizeAndDestroy)
{
    HWND w = web("page", "url: 'file:///x.html', w: 100, h: 100");
    fb::Browser *b = fb::last();
    ASSERT_TRUE(b);
    size_t n = b->calls.size();
    ok("page.x = 5; page.y = 6; page.w = 320; page.h = 200; Widget.resize(page);");
    RECT r;
    GetWindowRect(w, &r);
    MapWindowPoints(NULL, frame, (POINT *)&r, 2);
    EXPECT_EQ(r.left, 5);
    EXPECT_EQ(r.top, 6);
    EXPECT_EQ(r.right - r.left, 320);
    EXPECT_EQ(r.bottom - r.top, 200);
    // Width and height only; left and top stay 0.
    EXPECT_EQ(std::vector<std::string>(b->calls.begin() + n, b->calls.end()),
              std::vector<std::string>({"put_Width 320", "put_Height 200"}));

    // Destroy closes and releases the browser while its window is still there.
    ok("Widget.destroy(page); made.pop();");
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(std::vector<std::string>(b->calls.end() - 2, b->calls.end()),
              std::vector<std::string>({"Close 1", "final Release window=alive"}));
    EXPECT_TRUE(b->released);
}

TEST_F(Web, ResizeAfterDestroyHasNoBrowser)
{
    HWND w = web("page", "url: 'file:///x.html', w: 100, h: 100");
    fb::Browser *b = fb::last();
    ASSERT_TRUE(b);
    ok("Widget.destroy(page); made.pop();");
    EXPECT_FALSE(IsWindow(w));
    size_t n = b->calls.size();
    EXPECT_EQ(b->calls.back(), "final Release window=alive");
    ok("page.x = 0; page.y = 0; page.w = 10; page.h = 10; Widget.resize(page); Widget.destroy(page);");
    EXPECT_EQ(b->calls.size(), n);
    EXPECT_EQ(depth(), 1);
}

TEST_F(Web, ResizeOfAWindowWithNoBrowserAttached)
{
    // A Web window whose browser failed to attach.
    fb::failures().doVerb = true;
    HWND w = web("page", "url: 'file:///x.html', w: 100, h: 100");
    fb::Browser *b = fb::last();
    ASSERT_TRUE(b);
    size_t n = b->calls.size();
    ok("page.x = 1; page.y = 2; page.w = 30; page.h = 40; Widget.resize(page);");
    RECT r;
    GetClientRect(w, &r);
    EXPECT_EQ(r.right, 30);
    EXPECT_EQ(b->calls.size(), n);
}

TEST_F(Web, ForeignUserDataIsNeverTakenForASite)
{
    // Scripts can name any window in a descriptor; an Edit that carries user
    // data of its own must not be read as a browser site.
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD, 0, 0, 10, 10, frame, NULL, NULL, NULL);
    ASSERT_TRUE(edit);
    SetWindowLongPtrW(edit, GWLP_USERDATA, 0x1234);
    std::string h = str((intptr_t)edit);
    ok("var e = {type: 'Web', hWnd: " + h + ", x: 0, y: 0, w: 20, h: 20};"
       "Widget.resize(e); Widget.destroy(e);");
    EXPECT_FALSE(IsWindow(edit));
}

// What the container answers when the control calls its site.
TEST_F(Web, SiteAnswersTheControl)
{
    HWND w = web("page", "url: 'file:///x.html', w: 300, h: 200");
    ASSERT_TRUE(w);
    fb::Browser *b = fb::last();
    ASSERT_TRUE(b);
    const std::map<std::string, std::string> expected = {
        {"layout browser", "yes"},
        {"layout window", "yes"},
        // The client site answers for all three parts.
        {"client QI IUnknown", "00000000 client"},
        {"client QI IOleClientSite", "00000000 client"},
        {"client QI IOleInPlaceSite", "00000000 inPlaceSite"},
        {"client QI IDocHostUIHandler", "00000000 uiHandler"},
        {"client QI IOleInPlaceFrame", "80004002 null"},
        {"client QI IOleWindow", "80004002 null"},
        {"client QI IDispatch", "80004002 null"},
        {"client AddRef", "1"},
        {"client Release", "1"},
        {"client SaveObject", "80004001"},
        {"client GetMoniker", "80004001"},
        {"client GetContainer", "80004002 null"},
        {"client ShowObject", "00000000"},
        {"client OnShowWindow", "80004001"},
        {"client RequestNewObjectLayout", "80004001"},
        {"inPlaceSite QI IUnknown", "00000000 client"},
        {"inPlaceSite QI IOleClientSite", "00000000 client"},
        {"inPlaceSite QI IOleInPlaceSite", "00000000 inPlaceSite"},
        {"inPlaceSite QI IDocHostUIHandler", "00000000 uiHandler"},
        {"inPlaceSite QI IOleInPlaceFrame", "80004002 null"},
        {"inPlaceSite QI IOleWindow", "80004002 null"},
        {"inPlaceSite QI IDispatch", "80004002 null"},
        {"inPlaceSite AddRef", "1"},
        {"inPlaceSite Release", "1"},
        {"inPlaceSite GetWindow", "00000000 window"},
        {"inPlaceSite ContextSensitiveHelp", "80004001"},
        {"inPlaceSite CanInPlaceActivate", "00000000"},
        {"inPlaceSite OnInPlaceActivate", "00000000"},
        {"inPlaceSite OnUIActivate", "00000000"},
        {"inPlaceSite GetWindowContext",
         "00000000 frame=frame doc=null cb=20 mdi=0 hwndFrame=window haccel=0 entries=0 "
         "pos=1,2,3,4 clip=5,6,7,8"},
        {"inPlaceSite Scroll", "80004001"},
        {"inPlaceSite OnUIDeactivate", "00000000"},
        {"inPlaceSite OnInPlaceDeactivate", "00000000"},
        {"inPlaceSite DiscardUndoState", "80004001"},
        {"inPlaceSite DeactivateAndUndo", "80004001"},
        {"inPlaceSite OnPosRectChange", "00000000"},
        {"frame QI IUnknown", "80004001 untouched"},
        {"frame AddRef", "1"},
        {"frame Release", "1"},
        {"frame GetWindow", "00000000 window"},
        {"frame ContextSensitiveHelp", "80004001"},
        {"frame GetBorder", "80004001"},
        {"frame RequestBorderSpace", "80004001"},
        {"frame SetBorderSpace", "80004001"},
        {"frame SetActiveObject", "00000000"},
        {"frame InsertMenus", "80004001"},
        {"frame SetMenu", "00000000"},
        {"frame RemoveMenus", "80004001"},
        {"frame SetStatusText", "00000000"},
        {"frame EnableModeless", "00000000"},
        {"frame TranslateAccelerator", "80004001"},
        {"uiHandler QI IUnknown", "00000000 client"},
        {"uiHandler QI IOleClientSite", "00000000 client"},
        {"uiHandler QI IOleInPlaceSite", "00000000 inPlaceSite"},
        {"uiHandler QI IDocHostUIHandler", "00000000 uiHandler"},
        {"uiHandler QI IOleInPlaceFrame", "80004002 null"},
        {"uiHandler QI IOleWindow", "80004002 null"},
        {"uiHandler QI IDispatch", "80004002 null"},
        {"uiHandler AddRef", "1"},
        {"uiHandler Release", "1"},
        {"uiHandler ShowContextMenu", "00000000"}, // claimed: no context menu
        {"uiHandler GetHostInfo", "00000000 cb=20 flags=4 dblclk=0 css=kept ns=kept"},
        {"uiHandler ShowUI", "00000000"},
        {"uiHandler HideUI", "00000000"},
        {"uiHandler UpdateUI", "00000000"},
        {"uiHandler EnableModeless", "00000000"},
        {"uiHandler OnDocWindowActivate", "00000000"},
        {"uiHandler OnFrameWindowActivate", "00000000"},
        {"uiHandler ResizeBorder", "00000000"},
        {"uiHandler TranslateAccelerator", "00000001"},
        {"uiHandler GetOptionKeyPath", "00000001 untouched"},
        {"uiHandler GetDropTarget", "00000001 untouched"},
        {"uiHandler TranslateUrl", "00000001 null"},
        {"uiHandler FilterDataObject", "00000001 null"},
        {"uiHandler GetExternal", "00000000 set"},
        {"external QI IDispatch", "00000000 itself"},
        {"external QI IUnknown", "80004002 null"},
        {"external QI IDocHostUIHandler", "80004002 null"},
        {"external AddRef", "1"},
        {"external Release", "1"},
        {"external GetTypeInfoCount", "80004001"},
        {"external GetTypeInfo", "80004001"},
    };
    for (const auto &e : expected) {
        auto it = b->site.find(e.first);
        ASSERT_NE(it, b->site.end()) << e.first;
        EXPECT_EQ(it->second, e.second) << e.first;
    }
    EXPECT_EQ(b->site.size(), expected.size());
}

// --- window.external.vorCall -------------------------------------------------

class VorCall : public Web {
protected:
    IDispatch *external = nullptr;
    void SetUp() override
    {
        Web::SetUp();
        web("page", "url: 'file:///x.html', w: 100, h: 100");
        ASSERT_TRUE(fb::last());
        external = fb::last()->external();
        ASSERT_TRUE(external);
    }
    std::wstring call(const std::wstring &text) { return fb::vorCall(external, text); }
};

TEST_F(VorCall, GetIDsOfNamesMarksEachName)
{
    const struct {
        std::vector<std::wstring> names;
        HRESULT result;
        std::vector<DISPID> ids;
    } cases[] = {
        {{L"vorCall"}, S_OK, {1}},
        {{L"vorcall"}, DISP_E_UNKNOWNNAME, {DISPID_UNKNOWN}},
        {{L"VORCALL"}, DISP_E_UNKNOWNNAME, {DISPID_UNKNOWN}},
        {{L"vorCall "}, DISP_E_UNKNOWNNAME, {DISPID_UNKNOWN}},
        {{L""}, DISP_E_UNKNOWNNAME, {DISPID_UNKNOWN}},
        {{L"vorCall", L"vorCall"}, S_OK, {1, 1}},
        {{L"VorCall", L"vorCall", L"other"},
         DISP_E_UNKNOWNNAME,
         {DISPID_UNKNOWN, 1, DISPID_UNKNOWN}},
        {{}, S_OK, {}},
    };
    for (const auto &c : cases) {
        std::vector<std::wstring> copies = c.names;
        std::vector<LPOLESTR> names;
        for (std::wstring &n : copies)
            names.push_back(&n[0]);
        std::vector<DISPID> ids(c.names.size(), 77);
        HRESULT hr = external->GetIDsOfNames(IID_NULL, names.data(), (UINT)names.size(),
                                             LOCALE_SYSTEM_DEFAULT, ids.data());
        EXPECT_EQ(hr, c.result) << narrow(c.names.empty() ? L"(none)" : c.names[0]);
        EXPECT_EQ(ids, c.ids) << narrow(c.names.empty() ? L"(none)" : c.names[0]);
    }
}

TEST_F(VorCall, InvokeByFlagsAndArguments)
{
    const WORD method = DISPATCH_METHOD, get = DISPATCH_PROPERTYGET;
    struct Case {
        const char *name;
        DISPID member;
        WORD flags;
        std::vector<VARIANT> args;
        const wchar_t *answer; // a BSTR; null: see vt
        VARTYPE vt;            // when answer is null
        int ran;               // how often the script ran
    } cases[] = {
        {"method", 1, method, {fb::bstrArg(L"mark() * 10")}, L"10", 0, 1},
        {"property read", 1, get, {fb::bstrArg(L"mark()")}, nullptr, VT_BOOL, 0},
        {"property read, no argument", 1, get, {}, nullptr, VT_BOOL, 0},
        {"both flags", 1, method | get, {fb::bstrArg(L"'s' + mark()")}, L"s1", 0, 1},
        {"two arguments run the last", 1, method,
         {fb::bstrArg(L"ran = 100"), fb::bstrArg(L"mark()")}, L"1", 0, 1},
        {"empty text", 1, method, {fb::bstrArg(L"")}, L"undefined", 0, 0},
        {"no argument", 1, method, {}, L"", 0, 0},
        {"no argument, both flags", 1, method | get, {}, L"", 0, 0},
        {"a number", 1, method, {fb::intArg(5)}, L"", 0, 0},
        {"last argument no string", 1, method, {fb::bstrArg(L"mark()"), fb::intArg(5)}, L"", 0,
         0},
        {"another member", 2, method, {fb::bstrArg(L"mark()")}, nullptr, VT_I4, 0},
        {"member 0", 0, method | get, {fb::bstrArg(L"mark()")}, nullptr, VT_I4, 0},
        {"DISPID_UNKNOWN", DISPID_UNKNOWN, method, {fb::bstrArg(L"mark()")}, nullptr, VT_I4, 0},
        {"property put", 1, DISPATCH_PROPERTYPUT, {fb::bstrArg(L"mark()")}, nullptr, VT_I4, 0},
    };
    for (Case &c : cases) {
        SCOPED_TRACE(c.name);
        ok("ran = 0");
        VARIANT result;
        VariantInit(&result);
        V_VT(&result) = VT_I4; // left alone unless the call answers
        V_I4(&result) = 77;
        EXPECT_EQ(fb::invoke(external, c.member, c.flags, c.args, &result), S_OK);
        if (c.answer) {
            ASSERT_EQ(V_VT(&result), VT_BSTR);
            EXPECT_EQ(narrow(std::wstring(V_BSTR(&result), SysStringLen(V_BSTR(&result)))),
                      narrow(c.answer));
        } else {
            ASSERT_EQ(V_VT(&result), c.vt);
            if (c.vt == VT_BOOL)
                EXPECT_EQ(V_BOOL(&result), VARIANT_TRUE);
            else
                EXPECT_EQ(V_I4(&result), 77);
        }
        EXPECT_EQ(ok("ran"), str(c.ran));
        VariantClear(&result);
        for (VARIANT &v : c.args)
            VariantClear(&v);
    }
    // Without a result VARIANT the text still runs.
    ok("ran = 0");
    VARIANT arg = fb::bstrArg(L"mark()");
    EXPECT_EQ(fb::invoke(external, 1, method, {arg}, nullptr), S_OK);
    VariantClear(&arg);
    EXPECT_EQ(ok("ran"), "1");
    // A null BSTR is a null source, which the host runs as an empty text.
    VARIANT none;
    VariantInit(&none);
    V_VT(&none) = VT_BSTR;
    V_BSTR(&none) = NULL;
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(fb::invoke(external, 1, method, {none}, &result), S_OK);
    ASSERT_EQ(V_VT(&result), VT_BSTR);
    EXPECT_EQ(narrow(V_BSTR(&result)), "undefined");
    VariantClear(&result);
}

TEST_F(VorCall, ResultsComeBackInTheirStringForm)
{
    const struct {
        const wchar_t *text;
        const char *answer;
    } cases[] = {
        {L"6 * 7", "42"},
        {L"-7", "-7"},
        {L"-(1 << 30)", "-1073741824"},        // the smallest integer word
        {L"(1 << 30) - 1", "1073741823"},      // the largest
        {L"1 << 30", "1073741824"},            // a double already
        {L"false", "false"},
        {L"undefined", "undefined"},
        {L"'12'", "12"},
        {L"-0", "0"},
        {L"1 / 3", "0.3333333333333333"},
        {L"-0.5e21", "-500000000000000000000"},
        {L"({})", "[object Object]"},
        {L"[1, 'a', null]", "1,a,"},
        {L"null", "null"},
        {L"true", "true"},
        {L"'it' + \"'s\"", "it's"},
        {L"typeof Widget.create", "function"},
        // The script runs under the name vorCall.
        {L"try { null.x } catch (e) { e.stack.indexOf('vorCall') >= 0 }", "true"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(narrow(call(c.text)), c.answer) << narrow(c.text);
}

TEST_F(VorCall, ScriptErrorsGiveWhatEvaluateLeft)
{
    // What evaluate stores for a failing script, asked of the host directly.
    const HostTable *table = engine::table();
    ScriptContext *cx = host().context();
    for (const wchar_t *text : {L"throw new Error('boom')", L"(((", L"undefinedName + 1"}) {
        std::string source = narrow(text);
        ValueWord value = VW_UNDEFINED;
        table->beginRequest(cx);
        table->evaluate(cx, "vorCall", source.c_str(), &value);
        std::wstring stored = (const wchar_t *)table->valueToWideString(cx, value);
        table->endRequest(cx);
        EXPECT_EQ(call(text), stored) << source;
    }
    // The host keeps running, and so does the next call.
    EXPECT_EQ(narrow(call(L"mark()")), "1");
}

TEST_F(VorCall, TextOutsideLatin1AndTheBmpReachesTheEngine)
{
    // é (Latin-1), 中 and € (BMP, not Latin-1), 😀 (outside the BMP: a
    // surrogate pair in the BSTR).
    std::wstring text = L"var s = '\u00e9\u4e2d\u20ac\U0001F600'; s.length + ':' + "
                        L"s.charCodeAt(0) + ',' + s.charCodeAt(1) + ',' + s.charCodeAt(2) + ','"
                        L" + s.charCodeAt(3) + ',' + s.charCodeAt(4) + ':' + s";
    EXPECT_EQ(call(text), L"5:233,20013,8364,55357,56832:\u00e9\u4e2d\u20ac\U0001F600");
    // Names and comments too, not just string literals.
    EXPECT_EQ(call(L"var \u00e4\u4e2d = 2; /* \U0001F600 */ \u00e4\u4e2d * 21"), L"42");
    // Long texts go through a heap copy: the same text arrives.
    std::wstring many(3000, L'\u4e2d');
    EXPECT_EQ(call(L"var t = '" + many + L"'; t.length + ':' + (t == Array(3001).join('\u4e2d'))"),
              L"3000:true");
    // A lone surrogate has no UTF-8 form: it arrives as U+FFFD.
    EXPECT_EQ(call(std::wstring(L"'") + (wchar_t)0xD800 + L"x'.charCodeAt(0)"), L"65533");
}

TEST_F(VorCall, PagesCallWhileTheEventLoopDispatches)
{
    // The page's script runs from the message queue, while eventLoop holds
    // the engine request suspended.
    fb::pageTexts() = {L"mark() + ':' + typeof Widget", L"ran * 2"};
    web("loaded", "url: 'file:///page.html', w: 100, h: 100");
    fb::Browser *b = fb::last();
    ASSERT_TRUE(b);
    EXPECT_TRUE(b->pageAnswers.empty()); // nothing runs before the page loads
    ok("ran = 0; for (var i = 0; i < 50 && ran == 0; i++) Widget.eventLoop(); ran");
    EXPECT_EQ(b->pageAnswers, std::vector<std::wstring>({L"1:object", L"2"}));
}

TEST_F(VorCall, TwoWebComponentsShareOneExternalAndContext)
{
    fb::pageTexts() = {L"shared = (typeof shared == 'number' ? shared : 0) + 1"};
    web("first", "url: 'file:///a.html', w: 10, h: 10");
    fb::Browser *a = fb::last();
    web("second", "url: 'file:///b.html', w: 10, h: 10");
    fb::Browser *b = fb::last();
    ASSERT_NE(a, b);
    EXPECT_EQ(a->external(), b->external());
    EXPECT_EQ(a->external(), external);
    ok("for (var i = 0; i < 50 && (typeof shared != 'number' || shared < 2); i++) Widget.eventLoop();");
    // Both pages' calls ran one after another in the same context.
    EXPECT_EQ(a->pageAnswers, std::vector<std::wstring>({L"1"}));
    EXPECT_EQ(b->pageAnswers, std::vector<std::wstring>({L"2"}));
    EXPECT_EQ(ok("shared"), "2");
    // The first page, after the second component came, still reaches it.
    EXPECT_EQ(fb::vorCall(a->external(), L"shared + 40"), L"42");
    // After a component is destroyed the other page still calls in.
    ok("Widget.destroy(first)");
    EXPECT_EQ(fb::vorCall(b->external(), L"shared"), L"2");
}
