#include "tests/widget/widget_fixture.h"

#include <cstring>

namespace widget_test {

testing_support::ScriptHost &host()
{
    static testing_support::ScriptHost *h = [] {
        auto *made = new testing_support::ScriptHost();
        std::string loaded = made->load("zorvex");
        if (!loaded.empty())
            ADD_FAILURE() << "loading zorvex: " << loaded;
        made->ok("Widget.init();"
                 "var events = [], made = [];"
                 "var answer = function (e) { return true; };"
                 "function take() { var r = events.join('\\n'); events = []; return r; }"
                 "function make(d) { Widget.create(d); made.push(d); return d; }");
        return made;
    }();
    return *h;
}

void pump()
{
    MSG m;
    while (PeekMessageW(&m, NULL, 0, 0, PM_REMOVE)) {
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

void *patchImport(const char *module, const char *dll, const char *function, void *replacement)
{
    BYTE *base = (BYTE *)GetModuleHandleA(module);
    if (!base)
        return nullptr;
    auto *nt = (IMAGE_NT_HEADERS *)(base + ((IMAGE_DOS_HEADER *)base)->e_lfanew);
    IMAGE_DATA_DIRECTORY dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto *imp = (IMAGE_IMPORT_DESCRIPTOR *)(base + dir.VirtualAddress); imp->Name; imp++) {
        if (_stricmp((const char *)(base + imp->Name), dll) != 0)
            continue;
        auto *names = (IMAGE_THUNK_DATA *)(base + imp->OriginalFirstThunk);
        auto *slots = (IMAGE_THUNK_DATA *)(base + imp->FirstThunk);
        for (; names->u1.AddressOfData; names++, slots++) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            auto *byName = (IMAGE_IMPORT_BY_NAME *)(base + names->u1.AddressOfData);
            if (std::strcmp((const char *)byName->Name, function) != 0)
                continue;
            void *original = (void *)slots->u1.Function;
            DWORD old;
            VirtualProtect(&slots->u1.Function, sizeof(void *), PAGE_READWRITE, &old);
            slots->u1.Function = (ULONG_PTR)replacement;
            VirtualProtect(&slots->u1.Function, sizeof(void *), old, &old);
            return original;
        }
    }
    return nullptr;
}

void WidgetTest::SetUp()
{
    host();
    pump();
    ok("events = []; answer = function (e) { return true; };"
       "Widget.onEvent = function (e) { events.push(JSON.stringify(e)); return answer(e); };");
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
    wchar_t buf[512] = {0};
    GetWindowTextW(w, buf, 512);
    return buf;
}

std::string className(HWND w)
{
    char buf[256] = {0};
    GetClassNameA(w, buf, sizeof buf);
    return buf;
}

} // namespace widget_test
