// examples/tray.js: by itself with --auto-quit, and driven like a person
// would: right clicks on the icon (the tray callback), menu keys, and answers
// to the boxes and dialogs its items open.
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "tests/support/script_host.h"
#include "tests/widget/widget_fixture.h"
#include "tests/widget/tray/ui_driver.h"

using testing_support::runScript;
using testing_support::unixLines;

namespace {

// Wine starts its desktop process (explorer.exe, which also holds the
// notification area) for the first process that makes a window, and that
// process inherits the child's output pipes and outlives it, so the output
// would never end.  A window of the test itself starts it first.
void startDesktop()
{
    widget_test::host().ok("var keep = {type: 'Systray'}; Widget.create(keep); keep.hWnd != 0");
}

std::string example()
{
    startDesktop();
    std::ifstream in(testing_support::binFolder() + "examples\\tray.js", std::ios::binary);
    std::stringstream source;
    source << in.rdbuf();
    return source.str();
}

struct Found {
    HWND window;
};

// Whether process pid runs scripthost.exe (not some other program with
// windows of our class, such as another test).
bool isScriptHost(DWORD pid)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process)
        return false;
    wchar_t image[MAX_PATH] = {0};
    DWORD size = MAX_PATH;
    BOOL known = QueryFullProcessImageNameW(process, 0, image, &size);
    CloseHandle(process);
    std::wstring path = known ? image : L"";
    const std::wstring exe = L"scripthost.exe";
    return path.size() >= exe.size() &&
           _wcsicmp(path.c_str() + path.size() - exe.size(), exe.c_str()) == 0;
}

BOOL CALLBACK findTray(HWND window, LPARAM data)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char name[32] = {0};
    GetClassNameA(window, name, sizeof name);
    if (pid != GetCurrentProcessId() && std::string(name) == "WndClass" && isScriptHost(pid)) {
        ((Found *)data)->window = window;
        return FALSE;
    }
    return TRUE;
}

// The hidden Systray window of the example, in the child process.
HWND waitForTrayWindow()
{
    for (int i = 0; i < 3000; i++) {
        Found f = {nullptr};
        EnumWindows(findTray, (LPARAM)&f);
        if (f.window)
            return f.window;
        Sleep(10);
    }
    return nullptr;
}

HWND waitFor(DWORD pid, const char *className, int tries = 2000)
{
    for (int i = 0; i < tries; i++) {
        if (HWND w = tray_test::findWindowOf(pid, className))
            return w;
        Sleep(10);
    }
    return nullptr;
}

void waitGone(HWND window)
{
    for (int i = 0; i < 2000 && IsWindow(window) && IsWindowVisible(window); i++)
        Sleep(10);
}

} // namespace

TEST(TrayExample, AutoQuitRunsByItself)
{
    std::string source = example();
    ASSERT_FALSE(source.empty()) << "examples/tray.js not copied next to the tests";
    auto r = runScript(source, {"--auto-quit"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(unixLines(r.out), "tray icon shown\n"
                                "tooltip: Tray example: tick 1 (modify)\n"
                                "sound\n"
                                "quit\n");
    EXPECT_EQ(r.err, "");
}

TEST(TrayExample, MenuChoicesRunTheDialogs)
{
    std::string source = example();
    ASSERT_FALSE(source.empty());
    std::string problems;
    std::thread person([&problems] {
        HWND tray = waitForTrayWindow();
        if (!tray) {
            problems += "no tray window;";
            return;
        }
        DWORD pid = 0;
        GetWindowThreadProcessId(tray, &pid);
        // Each round: a right click on the icon, then the item `downs` steps
        // down the menu (the separator is skipped), then the answer.
        struct Round {
            int downs;
            const char *opens; // class of what the item opens, or null
            int answer;
        } rounds[] = {
            {1, "#32770", IDYES},    // Show message
            {2, "#32770", IDCANCEL}, // Pick file
            {3, "#32770", IDCANCEL}, // Pick folder
            {4, nullptr, 0},         // Quit
        };
        for (const Round &round : rounds) {
            // The right click again until the menu shows: the first one
            // may come before the script listens.
            HWND menu = nullptr;
            for (int i = 0; i < 40 && !menu; i++) {
                PostMessageW(tray, WM_USER + 1, 1, WM_RBUTTONUP);
                menu = waitFor(pid, "#32768", 50);
            }
            if (!menu) {
                problems += "no menu;";
                return;
            }
            for (int i = 0; i < round.downs; i++)
                tray_test::pressKey(menu, VK_DOWN);
            tray_test::pressKey(menu, VK_RETURN);
            waitGone(menu);
            if (!round.opens)
                continue;
            HWND box = waitFor(pid, round.opens);
            if (!box) {
                problems += "nothing opened;";
                return;
            }
            Sleep(200); // let the dialog finish filling itself
            PostMessageW(box, WM_COMMAND, round.answer, 0);
            waitGone(box);
        }
    });
    auto r = runScript(source, {}, {}, 120000);
    person.join();
    EXPECT_EQ(problems, "");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(unixLines(r.out), "tray icon shown\n"
                                "message: YES\n"
                                "file: (none)\n"
                                "folder: (none)\n"
                                "quit\n");
}
