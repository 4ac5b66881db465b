// widget_bench: MOVE messages sent to a Frame whose Widget.onEvent returns
// true, against the same event texts evaluated directly the way the window
// procedure does (own request around evaluate).  Prints events per second,
// evaluations per second and their ratio.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "scripthost/engine.h"
#include "scripthost/globals.h"
#include "widget/event_texts.h"

namespace {

const int kTexts = 16; // cycled through: the host's compiled-text cache holds them all
const int kRounds = 5;

double seconds()
{
    static LARGE_INTEGER f = [] {
        LARGE_INTEGER q;
        QueryPerformanceFrequency(&q);
        return q;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)f.QuadPart;
}

} // namespace

int main(int argc, char **argv)
{
    int count = argc > 1 ? std::atoi(argv[1]) : 20000;
    ScriptContext *cx = engine::create(false);
    globals::install(cx, {});
    std::string out;
    if (!engine::evalToString(cx, "bench.js",
                              "loadModule('zorvex'); Widget.init();"
                              "var handled = 0;"
                              "Widget.onEvent = function (e) { handled++; return true; };"
                              "var f = {show: 0}; Widget.create(f); f.hWnd",
                              &out)) {
        std::fprintf(stderr, "widget_bench: %s\n", out.c_str());
        return 1;
    }
    HWND frame = (HWND)(intptr_t)std::strtol(out.c_str(), nullptr, 10);
    if (!IsWindow(frame)) {
        std::fprintf(stderr, "widget_bench: no frame\n");
        return 1;
    }
    const HostTable *t = engine::table();
    char texts[kTexts][EVENT_TEXT_SIZE];
    LPARAM positions[kTexts];
    for (int i = 0; i < kTexts; i++) {
        positions[i] = MAKELPARAM(10 + i, 20);
        format_event_text(texts[i], (int32_t)(intptr_t)frame, WM_MOVE, 0, (uint32_t)positions[i]);
    }

    double bestEvents = 0, bestEvals = 0;
    for (int round = 0; round < kRounds; round++) {
        double start = seconds();
        for (int i = 0; i < count; i++)
            SendMessageW(frame, WM_MOVE, 0, positions[i % kTexts]);
        double events = count / (seconds() - start);

        start = seconds();
        int handled = 0;
        for (int i = 0; i < count; i++) {
            ValueWord result;
            t->beginRequest(cx);
            t->evaluate(cx, "Widget.onEvent", texts[i % kTexts], &result);
            handled += vw_truth(result);
            t->endRequest(cx);
        }
        double evals = count / (seconds() - start);
        if (handled != count) {
            std::fprintf(stderr, "widget_bench: %d of %d evaluations handled\n", handled, count);
            return 1;
        }
        // Diagnostics: the formatting alone, and a bare SendMessageW.
        start = seconds();
        char scratch[EVENT_TEXT_SIZE];
        unsigned sum = 0;
        for (int i = 0; i < count; i++) {
            format_event_text(scratch, (int32_t)(intptr_t)frame, WM_MOVE, 0,
                              (uint32_t)positions[i % kTexts]);
            sum += (unsigned char)scratch[40];
        }
        double formats = count / (seconds() - start);
        start = seconds();
        for (int i = 0; i < count; i++)
            SendMessageW(frame, WM_NULL, 0, 0);
        double sends = count / (seconds() - start);
        if (round == kRounds - 1)
            std::printf("widget_bench: formats/s %.0f, bare sends/s %.0f (%u)\n", formats, sends,
                        sum);
        if (events > bestEvents)
            bestEvents = events;
        if (evals > bestEvals)
            bestEvals = evals;
    }
    engine::evalToString(cx, "bench.js", "handled", &out);
    std::printf("widget_bench: %d messages x %d rounds, onEvent ran %s times\n", count, kRounds,
                out.c_str());
    std::printf("widget_bench: events/s %.0f, evaluations/s %.0f\n", bestEvents, bestEvals);
    std::printf("ratio %.3f\n", bestEvents / bestEvals);
    DestroyWindow(frame);
    engine::destroy(cx);
    return 0;
}
