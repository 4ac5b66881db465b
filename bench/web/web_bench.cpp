// vorcall: calls/s of window.external.vorCall made through IDispatch::Invoke
// (as a page makes them, here by the fake browser) / evaluations/s of the
// same text through the host's evaluate, both in this run.
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "scripthost/engine.h"
#include "tests/fakes/fake_browser.h"
#include "tests/support/script_host.h"

namespace fb = fake_browser;

#include "bench/bench_clock.h"

using bench::bestRate;
using bench::now;

namespace {

} // namespace

int main()
{
    OleInitialize(NULL);
    testing_support::ScriptHost host(false);
    std::string loaded = host.load("zorvex");
    if (!loaded.empty()) {
        std::fprintf(stderr, "loading zorvex: %s\n", loaded.c_str());
        return 1;
    }
    fb::install();
    host.eval("Widget.init(); Widget.onEvent = function (e) { return false; };"
              "var n = 0, frame = {type: 'Frame', show: 0}; Widget.create(frame);"
              "var page = {type: 'Web', hParent: frame.hWnd, url: 'file:///bench.html', w: 100,"
              " h: 100}; Widget.create(page);");
    fb::Browser *browser = fb::last();
    IDispatch *external = browser ? browser->external() : nullptr;
    if (!external) {
        std::fprintf(stderr, "no browser attached\n");
        return 1;
    }

    // A counter: the usual call runs a statement or a call whose result is
    // a number.  WEB_BENCH_TEXT overrides it (ASCII), to try other results.
    const char *text8 = getenv("WEB_BENCH_TEXT") ? getenv("WEB_BENCH_TEXT") : "n = n + 1";
    std::wstring wideText(text8, text8 + strlen(text8));
    const wchar_t *text = wideText.c_str();
    const int calls = 20000;

    // The page looks the name up once and calls by DISPID with its string.
    OLECHAR name[] = L"vorCall";
    LPOLESTR names[] = {name};
    DISPID id = 0;
    external->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    VARIANT arg;
    VariantInit(&arg);
    V_VT(&arg) = VT_BSTR;
    V_BSTR(&arg) = SysAllocString(text);
    DISPPARAMS params = {&arg, nullptr, 1, 0};
    double viaInvoke = bestRate(
        [&] {
            for (int i = 0; i < calls; i++) {
                VARIANT result;
                VariantInit(&result);
                external->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                 &result, nullptr, nullptr);
                VariantClear(&result);
            }
        },
        5, calls);
    VariantClear(&arg);

    const HostTable *t = engine::table();
    ScriptContext *cx = host.context();
    double viaEvaluate = bestRate(
        [&] {
            for (int i = 0; i < calls; i++) {
                ValueWord r;
                t->beginRequest(cx);
                t->evaluate(cx, "vorCall", text8, &r);
                t->endRequest(cx);
            }
        },
        5, calls);

    std::fprintf(stderr, "vorCall %.0f/s, evaluate %.0f/s\n", viaInvoke, viaEvaluate);
    host.eval("Widget.destroy(page); Widget.destroy(frame);");
    fb::uninstall();
    std::printf("bench: vorcall ratio=%.3f goal>=0.8\n", viaInvoke / viaEvaluate);
    return 0;
}
