#include "tests/widget/widget_fixture.h"

#include <cstring>

namespace widget_test {

void startDesktop()
{
    static bool started = false;
    if (started)
        return;
    started = true;
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE), out = GetStdHandle(STD_OUTPUT_HANDLE),
           err = GetStdHandle(STD_ERROR_HANDLE);
    SetStdHandle(STD_INPUT_HANDLE, NULL);
    SetStdHandle(STD_OUTPUT_HANDLE, NULL);
    SetStdHandle(STD_ERROR_HANDLE, NULL);
    GetDesktopWindow();
    SetStdHandle(STD_INPUT_HANDLE, in);
    SetStdHandle(STD_OUTPUT_HANDLE, out);
    SetStdHandle(STD_ERROR_HANDLE, err);
}

testing_support::ScriptHost &host()
{
    startDesktop();
    static testing_support::ScriptHost *h = [] {
        auto *made = new testing_support::ScriptHost();
        std::string loaded = made->load("zorvex");
        if (!loaded.empty())
            ADD_FAILURE() << "loading zorvex: " << loaded;
        made->ok("Widget.init();"
                 "var events = [], made = [], recordPaint = false;"
                 "var answer = function (e) { return true; };"
                 "function take() { var r = events.join('\\n'); events = []; return r; }"
                 "function make(d) { Widget.create(d); made.push(d); return d; }");
        return made;
    }();
    return *h;
}

void pump()
{
    // Bounded: a window whose PAINT is handled without validation gets
    // WM_PAINT for ever.
    MSG m;
    for (int i = 0; i < 10000 && PeekMessageW(&m, NULL, 0, 0, PM_REMOVE); i++) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
}

bool pumpUntil(const std::string &expression)
{
    for (int i = 0; i < 200; i++) {
        pump();
        if (host().eval(expression) == "true")
            return true;
        MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_ALLINPUT);
    }
    return false;
}

void WidgetTest::SetUp()
{
    host();
    pump();
    // PAINT and ERASE go to the default processing (which validates the
    // window) and are not recorded unless a test asks for them.
    ok("events = []; answer = function (e) { return true; }; recordPaint = false;"
       "Widget.onEvent = function (e) {"
       "  if (!recordPaint && (e.msg == 'PAINT' || e.msg == 'ERASE')) return false;"
       "  events.push(JSON.stringify(e)); return answer(e); };");
}

void WidgetTest::TearDown()
{
    ok("answer = function (e) { return true; };"
       "while (made.length) { var d = made.pop(); if (d.hWnd) Widget.destroy(d); }");
    pump();
    ok("events = []");
}

HWND WidgetTest::window(const std::string &expression)
{
    std::string v = ok(expression);
    return (HWND)(intptr_t)std::strtol(v.c_str(), nullptr, 10);
}

HWND WidgetTest::make(const std::string &name, const std::string &descriptor)
{
    ok("var " + name + " = make(" + descriptor + ");");
    return window(name + ".hWnd");
}

std::wstring windowText(HWND w)
{
    std::wstring text((size_t)GetWindowTextLengthW(w) + 1, L'\0');
    text.resize((size_t)GetWindowTextW(w, &text[0], (int)text.size()));
    return text;
}

std::string className(HWND w)
{
    char buf[256] = {0};
    GetClassNameA(w, buf, sizeof buf);
    return buf;
}

} // namespace widget_test
