// Widget.openDirDialog: the real folder dialog under Wine answered from a
// second thread, and the request, its callback, the result and the freed
// item list through intercepted shell and COM calls.
#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <cstring>
#include <string>

#include "tests/support/iat_patch.h"
#include "tests/widget/tray/request_probe.h"
#include "tests/widget/tray/ui_driver.h"
#include "tests/widget/widget_fixture.h"

using namespace widget_test;
using testing_support::ImportPatch;
using tray_test::Answerer;

namespace {

const int kFolderNameBox = 0x3745; // the edit box of BIF_EDITBOX

std::string script(const std::wstring &w)
{
    std::string s;
    for (wchar_t c : w)
        s += c == L'\\' ? std::string("\\\\") : std::string(1, (char)c);
    return s;
}

struct TempFolder {
    std::wstring path;
    explicit TempFolder(const wchar_t *name)
    {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        path = std::wstring(base) + name + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(path.c_str(), nullptr);
        wchar_t longPath[MAX_PATH];
        if (GetLongPathNameW(path.c_str(), longPath, MAX_PATH))
            path = longPath;
    }
    ~TempFolder() { RemoveDirectoryW(path.c_str()); }
};

class DirDialog : public WidgetTest {};

// Waits until the dialog shows the folder name in its edit box, then OK.
void acceptWhenSelected(HWND dialog, const std::wstring &name, std::wstring *shown)
{
    for (int i = 0; i < 500; i++) {
        *shown = tray_test::itemText(dialog, kFolderNameBox);
        if (*shown == name)
            break;
        Sleep(10);
    }
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
}

} // namespace

TEST_F(DirDialog, PathIsPreselectedAndKeptForTheNextCall)
{
    TempFolder folder(L"traydd");
    std::wstring name = folder.path.substr(folder.path.rfind(L'\\') + 1);
    for (const char *props : {"path: p, utitle: 'Pick a folder'", "utitle: 'Again'"}) {
        SCOPED_TRACE(props);
        std::wstring shown, title;
        Answerer answer("#32770", [&](HWND dialog) {
            acceptWhenSelected(dialog, name, &shown);
        });
        std::string result = ok("var p = '" + script(folder.path) + "';"
                                " String(Widget.openDirDialog({" + props + "}))");
        answer.join();
        ASSERT_TRUE(answer.found());
        EXPECT_EQ(shown, name);
        EXPECT_EQ(result, std::string(folder.path.begin(), folder.path.end()));
    }
}

TEST_F(DirDialog, CancelWritesNoResult)
{
    Answerer answer("#32770", [](HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); });
    EXPECT_EQ(ok("var r = Widget.openDirDialog({utitle: 'Cancel me'}); typeof r"), "undefined");
    answer.join();
    ASSERT_TRUE(answer.found());
}

namespace {

struct BrowseCall {
    BROWSEINFOW request;
    std::wstring title;
    bool comReady; // COM was initialised on this thread during the call
};
struct Sent {
    HWND window;
    UINT message;
    WPARAM first;
    std::wstring path;
};
std::vector<BrowseCall> g_browse;
std::vector<Sent> g_sent;
std::vector<void *> g_freed, g_pathOf;
bool g_choose = false;
bool g_probe = false;
void *g_list = nullptr;
const HWND kDialog = (HWND)0x4242;
HRESULT g_comAnswer = S_OK;
int g_comInits = 0, g_comUninits = 0;

LRESULT(WINAPI *g_realSend)(HWND, UINT, WPARAM, LPARAM) = nullptr;
void(WINAPI *g_realFree)(void *) = nullptr;

LRESULT WINAPI fakeSendMessageW(HWND w, UINT m, WPARAM a, LPARAM b)
{
    if (w != kDialog)
        return g_realSend(w, m, a, b);
    g_sent.push_back({w, m, a, (m == BFFM_SETSELECTIONW && b) ? (const wchar_t *)b : L""});
    return 0;
}

PIDLIST_ABSOLUTE WINAPI fakeBrowse(BROWSEINFOW *r)
{
    if (g_probe)
        tray_test::touchHost();
    BrowseCall c;
    c.request = *r;
    c.title = r->lpszTitle ? r->lpszTitle : L"<null>";
    // A second initialisation on a thread that has COM answers S_FALSE.
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    c.comReady = hr == S_FALSE;
    if (SUCCEEDED(hr))
        CoUninitialize();
    g_browse.push_back(c);
    // As the dialog does: the callback once it is up, then a selection change.
    if (r->lpfn) {
        EXPECT_EQ(r->lpfn(kDialog, BFFM_INITIALIZED, 0, r->lParam), 0);
        EXPECT_EQ(r->lpfn(kDialog, BFFM_SELCHANGED, 0, r->lParam), 0);
    }
    if (!g_choose)
        return nullptr;
    g_list = CoTaskMemAlloc(2);
    std::memset(g_list, 0, 2); // the empty item list: the desktop
    wcscpy(r->pszDisplayName, L"Display name");
    return (PIDLIST_ABSOLUTE)g_list;
}

BOOL WINAPI fakePathOf(PCIDLIST_ABSOLUTE list, LPWSTR path)
{
    g_pathOf.push_back((void *)list);
    wcscpy(path, L"C:\\chosen \u20ac");
    return TRUE;
}

void WINAPI fakeFree(void *p)
{
    g_freed.push_back(p);
    g_realFree(p);
}

HRESULT WINAPI fakeCoInit(void *, DWORD mode)
{
    EXPECT_EQ(mode, (DWORD)COINIT_APARTMENTTHREADED);
    g_comInits++;
    return g_comAnswer;
}
void WINAPI fakeCoUninit() { g_comUninits++; }

class DirDialogCalls : public ::testing::Test {
protected:
    void SetUp() override
    {
        host();
        g_browse.clear();
        g_sent.clear();
        g_freed.clear();
        g_pathOf.clear();
        g_choose = false;
        g_probe = false;
        g_list = nullptr;
        g_realSend = send_.call<LRESULT(WINAPI *)(HWND, UINT, WPARAM, LPARAM)>();
        g_realFree = free_.call<void(WINAPI *)(void *)>();
        ASSERT_NE(browse_.original(), nullptr);
        ASSERT_NE(pathOf_.original(), nullptr);
        ASSERT_NE(g_realSend, nullptr);
        ASSERT_NE(g_realFree, nullptr);
    }
    BrowseCall only(const std::string &js)
    {
        g_browse.clear();
        g_sent.clear();
        host().ok(js);
        EXPECT_EQ(g_browse.size(), 1u) << js;
        return g_browse.empty() ? BrowseCall{} : g_browse.back();
    }
    // The folder the callback selected in the last call.
    std::wstring selected()
    {
        EXPECT_EQ(g_sent.size(), 1u); // only for BFFM_INITIALIZED
        if (g_sent.empty())
            return L"<none>";
        EXPECT_EQ(g_sent[0].message, (UINT)BFFM_SETSELECTIONW);
        EXPECT_EQ(g_sent[0].message, 0x467u);
        EXPECT_EQ(g_sent[0].first, (WPARAM)TRUE); // the second parameter is a path
        return g_sent[0].path;
    }
    ImportPatch browse_{tray_test::zorvex(), "shell32.dll", "SHBrowseForFolderW", (void *)fakeBrowse};
    ImportPatch pathOf_{tray_test::zorvex(), "shell32.dll", "SHGetPathFromIDListW", (void *)fakePathOf};
    ImportPatch send_{tray_test::zorvex(), "user32.dll", "SendMessageW", (void *)fakeSendMessageW};
    ImportPatch free_{tray_test::zorvex(), "ole32.dll", "CoTaskMemFree", (void *)fakeFree};
};

} // namespace

TEST_F(DirDialogCalls, TheRequestAndTheCallback)
{
    BrowseCall c = only("Widget.openDirDialog({hParent: 321, utitle: 'Choose \\u20ac',"
                        " path: 'C:\\\\start'})");
    EXPECT_EQ(c.request.hwndOwner, (HWND)321);
    EXPECT_EQ(c.request.pidlRoot, nullptr); // the tree starts at the desktop
    EXPECT_NE(c.request.pszDisplayName, nullptr);
    EXPECT_EQ(c.title, L"Choose \u20ac");
    EXPECT_EQ(c.request.ulFlags, 0x50u); // BIF_EDITBOX | BIF_NEWDIALOGSTYLE
    EXPECT_NE(c.request.lpfn, nullptr);
    EXPECT_EQ(c.request.lParam, 1);
    EXPECT_EQ(c.request.iImage, 0);
    EXPECT_TRUE(c.comReady);
    EXPECT_EQ(selected(), L"C:\\start");

    // Kept for the calls without a path; null is no path; "" is one.
    c = only("Widget.openDirDialog({})");
    EXPECT_EQ(c.title, L"<null>");
    EXPECT_EQ(c.request.hwndOwner, (HWND)0);
    EXPECT_EQ(selected(), L"C:\\start");
    only("Widget.openDirDialog({path: null})");
    EXPECT_EQ(selected(), L"C:\\start");
    only("Widget.openDirDialog({path: 'D:\\\\next'})");
    EXPECT_EQ(selected(), L"D:\\next");
    only("Widget.openDirDialog({path: ''})");
    EXPECT_EQ(selected(), L"");
}

TEST_F(DirDialogCalls, PathCutTo259)
{
    for (size_t n : {258u, 259u, 260u, 300u, 4000u}) {
        SCOPED_TRACE(n);
        only("Widget.openDirDialog({path: '" + std::string(n, 'p') + "'})");
        EXPECT_EQ(selected(), std::wstring(n < 259 ? n : 259, L'p'));
    }
    // A shorter path after a long one leaves nothing of the old one behind.
    only("Widget.openDirDialog({path: 'C:\\\\x'})");
    EXPECT_EQ(selected(), L"C:\\x");
}

TEST_F(DirDialogCalls, TheChosenFolderAndTheFreedList)
{
    g_choose = true;
    EXPECT_EQ(host().ok("Widget.openDirDialog({}) === 'C:\\\\chosen \\u20ac'"), "true");
    ASSERT_EQ(g_pathOf.size(), 1u);
    EXPECT_EQ(g_pathOf[0], g_list);
    ASSERT_EQ(g_freed.size(), 1u);
    EXPECT_EQ(g_freed[0], g_list);

    // Cancelled: no result, nothing to free.
    g_choose = false;
    g_freed.clear();
    g_pathOf.clear();
    EXPECT_EQ(host().ok("var r = Widget.openDirDialog({}); typeof r"), "undefined");
    EXPECT_TRUE(g_pathOf.empty());
    EXPECT_TRUE(g_freed.empty());
}

// COM for the call: undone only when this call's initialisation succeeded.
TEST_F(DirDialogCalls, ComInitialisedForTheCallAndUndone)
{
    ImportPatch init(tray_test::zorvex(), "ole32.dll", "CoInitializeEx", (void *)fakeCoInit);
    ImportPatch uninit(tray_test::zorvex(), "ole32.dll", "CoUninitialize", (void *)fakeCoUninit);
    ASSERT_NE(init.original(), nullptr);
    ASSERT_NE(uninit.original(), nullptr);
    struct Case {
        HRESULT answer;
        int uninits;
    } cases[] = {{S_OK, 1}, {S_FALSE, 1}, {RPC_E_CHANGED_MODE, 0}, {E_OUTOFMEMORY, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.answer);
        g_comAnswer = c.answer;
        g_comInits = g_comUninits = 0;
        for (bool choose : {false, true}) {
            g_choose = choose;
            host().ok("Widget.openDirDialog({})");
        }
        EXPECT_EQ(g_comInits, 2);
        EXPECT_EQ(g_comUninits, 2 * c.uninits);
    }
    // And nothing is left initialised on the thread by the real calls.
}

TEST_F(DirDialogCalls, ComLeftAsItWas)
{
    // Before: no COM on this thread, so a first initialisation answers S_OK.
    host().ok("Widget.openDirDialog({})");
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    EXPECT_EQ(hr, S_OK);
    if (SUCCEEDED(hr))
        CoUninitialize();
    // A thread in the multithreaded apartment keeps it; the dialog call still runs.
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    BrowseCall c = only("Widget.openDirDialog({})");
    EXPECT_FALSE(c.comReady); // the fake's apartment-threaded attempt is refused
    hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    EXPECT_EQ(hr, S_FALSE); // still the multithreaded apartment of before
    CoUninitialize();
    CoUninitialize();
}

TEST_F(DirDialogCalls, Errors)
{
    struct Case {
        const char *call, *message;
    } cases[] = {
        {"Widget.openDirDialog()", "Native function format error: Widget.openDirDialog(<cmp>)"},
        {"Widget.openDirDialog(undefined)", "Widget: Component is undefined"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.call);
        EXPECT_EQ(host().ok(std::string("try { ") + c.call + "; 'no error' } catch (e) { e.message }"),
                  c.message);
    }
    EXPECT_TRUE(g_browse.empty());
    for (const char *v : {"null", "7", "'text'"}) {
        SCOPED_TRACE(v);
        BrowseCall c = only(std::string("Widget.openDirDialog(") + v + ")");
        EXPECT_EQ(c.request.ulFlags, 0x50u);
    }
}

TEST_F(DirDialogCalls, RequestSuspendedAroundTheDialog)
{
    EXPECT_DEATH(
        {
            g_probe = true;
            host().eval("Widget.openDirDialog({})");
        },
        tray_test::kSuspended);
}
