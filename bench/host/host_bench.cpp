// Host figures, each measured side by side in one run:
//   eval_cache    evaluations/s of one repeated text / of always-new texts
//   native_call   calls/s of an empty native function / of an empty script function
//   byte_strings  newStringN + valueToString of 8 MiB / memcpy of the same buffer
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "scripthost/engine.h"

#include "bench/bench_clock.h"

using bench::bestRate;
using bench::now;

namespace {

int HOST_CALL emptyNative(ScriptContext *, ValueWord, int, ValueWord *, ValueWord *) { return 1; }

const FunctionSpec kBenchFunctions[] = {
    {"emptyNative", emptyNative, 0, 0, 0},
    {nullptr, nullptr, 0, 0, 0},
};

int HOST_CALL init(ScriptContext *cx, const HostTable *t)
{
    return t->defineFunctions(cx, t->globalObject(cx), kBenchFunctions);
}

void line(const char *name, double ratio, double goal)
{
    std::printf("bench: %s ratio=%.3f goal>=%g\n", name, ratio, goal);
}

} // namespace

int main()
{
    ScriptContext *cx = engine::create(false);
    const HostTable *t = engine::table();
    engine::callInit(cx, init, nullptr);
    std::string out;
    engine::evalToString(cx, "setup", "var Widget = {onEvent: function (e) { return true }};"
                                      "function emptyScript() {}",
                         &out);

    // Byte strings of 8 MiB of random bytes.
    const size_t size = 8u << 20;
    std::vector<char> bytes(size), copy(size);
    std::mt19937 rng(42);
    for (size_t i = 0; i < size; i++)
        bytes[i] = (char)rng();
    unsigned round = 0;
    double convert = bestRate(
        [&] {
            bytes[0] = (char)round++; // a new string each round, as real data would be
            t->beginRequest(cx);
            ValueWord w = t->newStringN(cx, bytes.data(), (int)size);
            t->valueToString(cx, w);
            t->endRequest(cx);
        },
        12, 1);
    // The round trip itself, checked once outside the timing.
    t->beginRequest(cx);
    ValueWord w = t->newStringN(cx, bytes.data(), (int)size);
    const char *back = t->valueToString(cx, w);
    bool same = std::memcmp(back, bytes.data(), size) == 0 && t->stringLength(cx, w) == (int)size;
    t->endRequest(cx);
    double mem = bestRate([&] { std::memcpy(copy.data(), bytes.data(), size); }, 12, 1);
    if (!same)
        std::fprintf(stderr, "byte_strings: round trip changed the bytes\n");
    line("byte_strings", convert / mem, 0.05);

    // evaluate: a repeated event text against texts never seen before.
    const int evals = 20000;
    char text[256];
    double repeated = bestRate(
        [&] {
            for (int i = 0; i < evals; i++) {
                t->beginRequest(cx);
                ValueWord r;
                t->evaluate(cx, "Widget.onEvent",
                            "Widget.onEvent({hWnd: 1234567, msg: 'MOUSE_OVER', x: 100, y: 200})", &r);
                t->endRequest(cx);
            }
        },
        3, evals);
    int serial = 0;
    double fresh = bestRate(
        [&] {
            for (int i = 0; i < evals; i++) {
                std::snprintf(text, sizeof text,
                              "Widget.onEvent({hWnd: 1234567, msg: 'MOUSE_OVER', x: %d, y: 200})", serial++);
                t->beginRequest(cx);
                ValueWord r;
                t->evaluate(cx, "Widget.onEvent", text, &r);
                t->endRequest(cx);
            }
        },
        3, evals);
    line("eval_cache", repeated / fresh, 4);

    // Native call overhead, both loops run by the engine.
    const int calls = 2000000;
    std::string loopNative = "for (var i = 0; i < " + std::to_string(calls) + "; i++) emptyNative();";
    std::string loopScript = "for (var i = 0; i < " + std::to_string(calls) + "; i++) emptyScript();";
    double native = bestRate([&] { engine::evalToString(cx, "bench", loopNative, &out); }, 3, calls);
    double script = bestRate([&] { engine::evalToString(cx, "bench", loopScript, &out); }, 3, calls);
    line("native_call", native / script, 0.5);

    engine::destroy(cx);
    return same ? 0 : 1;
}
