// Widget.openFileDialog: the real dialog under Wine answered from a second
// thread, and the exact request through an intercepted GetOpenFileNameW.
#include <windows.h>

#include <commdlg.h>

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

const int kFileNameBox = 0x47c; // cmb13: the file name (a ComboBoxEx32)

std::wstring currentDirectory()
{
    wchar_t buf[MAX_PATH] = {0};
    GetCurrentDirectoryW(MAX_PATH, buf);
    return buf;
}

std::string narrow(const std::wstring &w)
{
    std::string s;
    for (wchar_t c : w) {
        if (c == L'\\')
            s += "\\\\";
        else if (c == L'\'')
            s += "\\'";
        else
            s += (char)c;
    }
    return s;
}

// A folder with one file in it, for the real dialog.
struct TempFolder {
    std::wstring path;
    TempFolder()
    {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        path = std::wstring(base) + L"trayfd" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(path.c_str(), nullptr);
        HANDLE f = CreateFileW((path + L"\\pick.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                               CREATE_ALWAYS, 0, nullptr);
        CloseHandle(f);
        wchar_t longPath[MAX_PATH];
        if (GetLongPathNameW(path.c_str(), longPath, MAX_PATH))
            path = longPath;
    }
    ~TempFolder()
    {
        DeleteFileW((path + L"\\pick.txt").c_str());
        RemoveDirectoryW(path.c_str());
    }
};

class FileDialog : public WidgetTest {};

void typeName(HWND dialog, const wchar_t *name)
{
    HWND box = GetDlgItem(dialog, kFileNameBox);
    // The combo box passes the text on to its edit control.
    SendMessageW(box, WM_SETTEXT, 0, (LPARAM)name);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
}

} // namespace

TEST_F(FileDialog, AnExistingFileGivesItsFullPath)
{
    TempFolder folder;
    std::wstring seenDir;
    Answerer answer("#32770", [&](HWND dialog) {
        // Wait for the dialog to fill its controls.
        for (int i = 0; i < 500 && !GetDlgItem(dialog, kFileNameBox); i++)
            Sleep(10);
        typeName(dialog, L"pick.txt");
    });
    std::string result = ok("Widget.openFileDialog({dir: '" + narrow(folder.path) +
                            "', filter: 'Text files\\0*.txt\\0All\\0*.*\\0'})");
    answer.join();
    ASSERT_TRUE(answer.found());
    EXPECT_EQ(result, std::string(folder.path.begin(), folder.path.end()) + "\\pick.txt");
}

TEST_F(FileDialog, HugeTextsOpenTheDialogAllTheSame)
{
    Answerer answer("#32770", [](HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); });
    EXPECT_EQ(ok("var m = 'x'; while (m.length < (1 << 20)) m += m;"
                 " typeof Widget.openFileDialog({dir: m, file: m, filter: m})"),
              "undefined");
    answer.join();
    EXPECT_TRUE(answer.found());
}

TEST_F(FileDialog, CancelWritesNoResult)
{
    Answerer answer("#32770", [](HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); });
    EXPECT_EQ(ok("var r = Widget.openFileDialog({}); typeof r"), "undefined");
    answer.join();
    ASSERT_TRUE(answer.found());
}

// The dialog itself refuses a file that does not exist: it says so in a
// box of its own and stays open.
TEST_F(FileDialog, AMissingFileIsRefused)
{
    TempFolder folder;
    bool refused = false;
    Answerer answer("#32770", [&](HWND dialog) {
        for (int i = 0; i < 500 && !GetDlgItem(dialog, kFileNameBox); i++)
            Sleep(10);
        typeName(dialog, L"missing.txt");
        // The complaint is a box of its own, owned by the dialog.
        for (int i = 0; i < 1000 && !refused; i++) {
            for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
                if (GetWindow(w, GW_OWNER) == dialog && IsWindowVisible(w)) {
                    refused = true;
                    PostMessageW(w, WM_COMMAND, IDOK, 0);
                    break;
                }
            }
            Sleep(10);
        }
        Sleep(100);
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(ok("var r = Widget.openFileDialog({dir: '" + narrow(folder.path) + "'}); typeof r"),
              "undefined");
    answer.join();
    ASSERT_TRUE(answer.found());
    EXPECT_TRUE(refused);
}

namespace {

struct FileCall {
    OPENFILENAMEW request;
    std::wstring filter; // up to and with the list's closing NUL pair
    bool filterNull;
    std::wstring file, initialDir;
    bool initialDirNull;
};
std::vector<FileCall> g_files;
BOOL g_choose = FALSE;
bool g_probe = false;

BOOL WINAPI fakeGetOpenFileNameW(OPENFILENAMEW *r)
{
    if (g_probe)
        tray_test::touchHost();
    FileCall c;
    std::memset(&c.request, 0, sizeof c.request);
    std::memcpy(&c.request, r, r->lStructSize < sizeof c.request ? r->lStructSize : sizeof c.request);
    c.filterNull = !r->lpstrFilter;
    if (r->lpstrFilter) {
        for (size_t i = 0; i < 2000; i++) {
            c.filter += r->lpstrFilter[i];
            if (i > 0 && r->lpstrFilter[i] == 0 && r->lpstrFilter[i - 1] == 0)
                break;
        }
    }
    c.file = r->lpstrFile;
    c.initialDirNull = !r->lpstrInitialDir;
    c.initialDir = r->lpstrInitialDir ? r->lpstrInitialDir : L"";
    g_files.push_back(c);
    if (g_choose)
        wcscpy(r->lpstrFile, L"C:\\chosen\\\u00e9t\u00e9.txt");
    return g_choose;
}

class FileDialogCalls : public ::testing::Test {
protected:
    void SetUp() override
    {
        host();
        g_files.clear();
        g_choose = FALSE;
        g_probe = false;
        ASSERT_NE(patch_.original(), nullptr);
    }
    FileCall only(const std::string &js)
    {
        g_files.clear();
        host().ok(js);
        EXPECT_EQ(g_files.size(), 1u) << js;
        return g_files.empty() ? FileCall{} : g_files.back();
    }
    ImportPatch patch_{tray_test::zorvex(), "comdlg32.dll", "GetOpenFileNameW",
                       (void *)fakeGetOpenFileNameW};
};

} // namespace

TEST_F(FileDialogCalls, TheRequestFieldByField)
{
    FileCall c = only("Widget.openFileDialog({hParent: 99, dir: 'C:\\\\data', file: 'a.txt',"
                      " filter: 'Text\\0*.txt;*.log\\0All\\0*.*\\0'})");
    EXPECT_EQ(c.request.lStructSize, 88u);
    EXPECT_EQ(c.request.hwndOwner, (HWND)99);
    EXPECT_EQ(c.request.hInstance, nullptr);
    EXPECT_EQ(c.filter, std::wstring(L"Text\0*.txt;*.log\0All\0*.*\0\0", 26));
    EXPECT_EQ(c.request.lpstrCustomFilter, nullptr);
    EXPECT_EQ(c.request.nFilterIndex, 0u);
    EXPECT_EQ(c.file, L"a.txt");
    EXPECT_EQ(c.request.nMaxFile, 260u);
    EXPECT_EQ(c.request.lpstrFileTitle, nullptr);
    EXPECT_EQ(c.initialDir, L"C:\\data");
    EXPECT_EQ(c.request.lpstrTitle, nullptr);
    EXPECT_EQ(c.request.Flags, 0x81000u); // OFN_EXPLORER | OFN_FILEMUSTEXIST
    EXPECT_EQ(c.request.lpstrDefExt, nullptr);
    EXPECT_EQ(c.request.lpfnHook, nullptr);
    EXPECT_EQ(c.request.FlagsEx, 0u);
}

TEST_F(FileDialogCalls, InitialFolderDefaultsToTheCurrentDirectory)
{
    for (const char *dir : {"", ", dir: ''", ", dir: null", ", dir: undefined"}) {
        SCOPED_TRACE(dir);
        FileCall c = only(std::string("Widget.openFileDialog({hParent: 0") + dir + "})");
        EXPECT_FALSE(c.initialDirNull);
        EXPECT_EQ(c.initialDir, currentDirectory());
        EXPECT_TRUE(c.filterNull);
        EXPECT_EQ(c.file, L"");
        EXPECT_EQ(c.request.hwndOwner, (HWND)0);
    }
}

TEST_F(FileDialogCalls, FileNameCutTo259)
{
    for (size_t n : {0u, 1u, 258u, 259u, 260u, 300u, 5000u}) {
        SCOPED_TRACE(n);
        std::wstring name(n, L'f');
        FileCall c = only("Widget.openFileDialog({file: '" + std::string(n, 'f') + "'})");
        EXPECT_EQ(c.file, name.substr(0, 259));
        EXPECT_EQ(c.request.nMaxFile, 260u);
    }
}

// No folder name is longer than 259 characters; Wine's dialog overflows its
// stack on a huge one.
TEST_F(FileDialogCalls, InitialFolderCutTo259)
{
    for (size_t n : {1u, 259u, 260u, 1000u, 1u << 20}) {
        SCOPED_TRACE(n);
        FileCall c = only("var d = 'd'; while (d.length < " + std::to_string(n) +
                          ") d += d; Widget.openFileDialog({dir: d.substr(0, " + std::to_string(n) +
                          ")})");
        EXPECT_EQ(c.initialDir, std::wstring(n < 259 ? n : 259, L'd'));
    }
}

TEST_F(FileDialogCalls, FilterKeepsItsNulsAndEndsInTwo)
{
    struct Case {
        const char *filter;
        std::wstring expected;
    } cases[] = {
        // As scripts write it: the last NUL from the script, then the list's end.
        {"'A\\0*.a\\0'", std::wstring(L"A\0*.a\0\0", 7)},
        {"'Text (*.txt)\\0*.txt\\0Pictures\\0*.png;*.bmp\\0'",
         std::wstring(L"Text (*.txt)\0*.txt\0Pictures\0*.png;*.bmp\0\0", 41)},
        // A list without its closing NUL still ends: nothing is read past it.
        {"'A\\0*.a'", std::wstring(L"A\0*.a\0\0", 7)},
        {"'\\u00e9\\0*.\\u20ac\\0'", std::wstring(L"\u00e9\0*.\u20ac\0\0", 7)},
        // An empty list is no list at all for the dialog.
        {"''", std::wstring(L"\0\0", 2)},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.filter);
        FileCall c = only(std::string("Widget.openFileDialog({filter: ") + k.filter + "})");
        EXPECT_FALSE(c.filterNull);
        EXPECT_EQ(c.filter, k.expected);
    }
    EXPECT_TRUE(only("Widget.openFileDialog({filter: null})").filterNull);
}

TEST_F(FileDialogCalls, ResultIsTheChosenPath)
{
    g_choose = TRUE;
    EXPECT_EQ(host().ok("var r = Widget.openFileDialog({}); r === 'C:\\\\chosen\\\\\\u00e9t\\u00e9.txt'"),
              "true");
    g_choose = FALSE;
    EXPECT_EQ(host().ok("var r = Widget.openFileDialog({file: 'x'}); typeof r"), "undefined");
}

TEST_F(FileDialogCalls, Errors)
{
    struct Case {
        const char *call, *message;
    } cases[] = {
        {"Widget.openFileDialog()", "Native function format error: Widget.openFileDialog(<cmp>)"},
        {"Widget.openFileDialog(undefined)", "Widget: Component is undefined"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.call);
        EXPECT_EQ(host().ok(std::string("try { ") + c.call + "; 'no error' } catch (e) { e.message }"),
                  c.message);
    }
    EXPECT_TRUE(g_files.empty());
    for (const char *v : {"null", "7", "'text'"}) {
        SCOPED_TRACE(v);
        FileCall c = only(std::string("Widget.openFileDialog(") + v + ")");
        EXPECT_TRUE(c.filterNull);
        EXPECT_EQ(c.initialDir, currentDirectory());
    }
}

TEST_F(FileDialogCalls, RequestSuspendedAroundTheDialog)
{
    EXPECT_DEATH(
        {
            g_probe = true;
            host().eval("Widget.openFileDialog({})");
        },
        tray_test::kSuspended);
}
