// The bad-input sweep: every function of the modules with bad arguments, in
// one host, with a watcher that answers the modal dialogs and menus bad
// arguments may open and keeps the message queue from running dry.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/support/script_host.h"

using testing_support::ScriptHost;

namespace {

std::string readText(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

BOOL CALLBACK dismiss(HWND w, LPARAM)
{
    wchar_t cls[64] = {};
    GetClassNameW(w, cls, 64);
    if (!IsWindowVisible(w))
        return TRUE;
    if (wcscmp(cls, L"#32770") == 0) // message boxes and the common dialogs
        PostMessageW(w, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
}

} // namespace

TEST(BadInputSweep, EveryFunctionSurvivesBadArguments)
{
    ScriptHost host;
    // The USB module runs against the fake library of the tests.
    {
        wchar_t exe[MAX_PATH];
        GetModuleFileNameW(nullptr, exe, MAX_PATH);
        std::wstring dir(exe);
        dir = dir.substr(0, dir.find_last_of(L'\\') + 1);
        SetDllDirectoryW((dir + L"..\\fakes").c_str());
    }
    for (const char *m : {"zorvex", "pellun", "tarnic"}) {
        std::string error = host.load(m);
        if (!error.empty())
            std::printf("sweep: %s not loaded: %s\n", m, error.c_str());
    }
    std::atomic<bool> done{false};
    DWORD scriptThread = GetCurrentThreadId();
    std::thread watcher([&] {
        while (!done) {
            Sleep(30);
            PostThreadMessageW(scriptThread, WM_NULL, 0, 0); // eventLoop never waits long
            EnumThreadWindows(scriptThread, dismiss, 0);
            // A popup menu opened by bad arguments closes with Escape.
            HWND menu = FindWindowW(L"#32768", nullptr);
            if (menu && IsWindowVisible(menu))
                PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
        }
    });
    std::string js = readText(testing_support::binFolder() + "..\\..\\tests\\sweep\\sweep.js");
    ASSERT_FALSE(js.empty());
    std::string r = host.eval(js);
    done = true;
    watcher.join();
    std::printf("%s\n", r.c_str());
    EXPECT_EQ(r.rfind("sweep: ", 0), 0u) << r;
}
