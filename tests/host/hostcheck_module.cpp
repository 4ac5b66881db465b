// A module for the host's contract tests: each native drives one or a few
// slots of the host interface table the way real modules do.
#include <cstring>
#include <string>
#include <vector>

#include "host/host_api.h"

namespace {

const HostTable *g_table = nullptr;
int g_finalized = 0;
int g_constructed = 0;

#define NATIVE(name) \
    int HOST_CALL name(ScriptContext *cx, ValueWord self, int argc, ValueWord *argv, ValueWord *rval)
#define UNUSED (void)cx, (void)self, (void)argc, (void)argv, (void)rval

// bytes(s): the 8-bit form of s and its length, made into a new string again.
NATIVE(bytes)
{
    UNUSED;
    const char *b = g_table->valueToString(cx, argv[0]);
    int n = g_table->stringLength(cx, argv[0]);
    *rval = g_table->newStringN(cx, b, n);
    return 1;
}

// byteCodes(s): the bytes valueToString gives, as an array of numbers.
NATIVE(byteCodes)
{
    UNUSED;
    const char *b = g_table->valueToString(cx, argv[0]);
    int n = g_table->stringLength(cx, argv[0]);
    ValueWord array = g_table->newArray(cx, 0, nullptr);
    for (int i = 0; i < n; i++) {
        ValueWord v = vw_from_int((unsigned char)b[i]);
        g_table->setElement(cx, array, i, &v);
    }
    *rval = array;
    return 1;
}

// propBytes(o, name): getStringProperty with the default "<none>", its length
// from stringLength(getProperty(...)).
NATIVE(propBytes)
{
    UNUSED;
    std::string name = g_table->valueToString(cx, argv[1]);
    const char *b = g_table->getStringProperty(cx, vw_object(argv[0]), name.c_str(), "<none>");
    ValueWord v = g_table->getProperty(cx, vw_object(argv[0]), name.c_str());
    int n = vw_is_absent(v) ? (int)std::strlen(b) : g_table->stringLength(cx, v);
    *rval = g_table->newStringN(cx, b, n);
    return 1;
}

// wideUnits(s): the UTF-16 units valueToWideString gives (length from
// stringLength), plus the terminator.
NATIVE(wideUnits)
{
    UNUSED;
    const HostWChar *w = g_table->valueToWideString(cx, argv[0]);
    int n = g_table->stringLength(cx, argv[0]);
    ValueWord array = g_table->newArray(cx, 0, nullptr);
    for (int i = 0; i <= n; i++) {
        ValueWord v = vw_from_int((int)(unsigned)w[i]);
        g_table->setElement(cx, array, i, &v);
    }
    *rval = array;
    return 1;
}

// wideProp(o, name): getWideStringProperty (default "dflt") back as a string.
NATIVE(wideProp)
{
    UNUSED;
    static const HostWChar dflt[] = {'d', 'f', 'l', 't', 0};
    std::string name = g_table->valueToString(cx, argv[1]);
    const HostWChar *w = g_table->getWideStringProperty(cx, vw_object(argv[0]), name.c_str(), dflt);
    *rval = g_table->newString(cx, nullptr, w);
    return 1;
}

// numberProp(o, name): getNumberProperty with the default -7.5.
NATIVE(numberProp)
{
    UNUSED;
    std::string name = g_table->valueToString(cx, argv[1]);
    *rval = g_table->newNumber(cx, g_table->getNumberProperty(cx, vw_object(argv[0]), name.c_str(), -7.5));
    return 1;
}

// truth(v): the truth test of the value word.
NATIVE(truth)
{
    UNUSED;
    *rval = vw_from_bool(vw_truth(argv[0]));
    return 1;
}

// word(v): the value word itself, as an unsigned number.
NATIVE(word)
{
    UNUSED;
    *rval = g_table->newNumber(cx, (double)argv[0]);
    return 1;
}

// argc(...): the argument count, and whether argv beyond it reads undefined.
NATIVE(argCount)
{
    UNUSED;
    bool padded = argv[argc] == VW_UNDEFINED && argv[argc + 1] == VW_UNDEFINED;
    *rval = padded ? vw_from_int(argc) : vw_from_int(-1);
    return 1;
}

// toInt32(x): the host helper over a number.
NATIVE(toInt32)
{
    UNUSED;
    double d = g_table->getNumberProperty(cx, vw_object(argv[0]), "x", 0);
    *rval = g_table->newNumber(cx, host_to_int32(d));
    return 1;
}

// define(o, name, value, attributes): defineProperty; returns its answer.
NATIVE(define)
{
    UNUSED;
    std::string name = g_table->valueToString(cx, argv[1]);
    int attrs = (int)g_table->getNumberProperty(cx, vw_object(argv[3]), "a", 0);
    if (vw_is_int(argv[3]))
        attrs = vw_to_int(argv[3]);
    *rval = vw_from_int(g_table->defineProperty(cx, vw_object(argv[0]), name.c_str(), argv[2],
                                                nullptr, nullptr, (unsigned)attrs));
    return 1;
}

// report(s, d, x): reportError("%s %d %02X") and failure.
NATIVE(report)
{
    UNUSED;
    std::string s = g_table->valueToString(cx, argv[0]);
    int d = host_to_int32(g_table->getNumberProperty(cx, vw_object(argv[1]), "v", 0));
    if (vw_is_int(argv[1]))
        d = vw_to_int(argv[1]);
    int x = vw_is_int(argv[2]) ? vw_to_int(argv[2]) : 0;
    g_table->reportError(cx, "%s %d %02X", s.c_str(), d, x);
    return 0;
}

// failSilently(): failure without a report.
NATIVE(failSilently)
{
    UNUSED;
    return 0;
}

// readThenSucceed(o): reads o.boom (a throwing getter) and succeeds with 42;
// the getter's error must surface all the same.
NATIVE(readThenSucceed)
{
    UNUSED;
    g_table->getProperty(cx, vw_object(argv[0]), "boom");
    g_table->getNumberProperty(cx, vw_object(argv[0]), "boom", 1);
    *rval = vw_from_int(42);
    return 1;
}

// evaluate(src): the evaluate slot; [ok, String(result)].
NATIVE(evaluate)
{
    UNUSED;
    std::string src = g_table->valueToString(cx, argv[0]);
    ValueWord r = 0;
    int ok = g_table->evaluate(cx, "hostcheck", src.c_str(), &r);
    ValueWord array = g_table->newArray(cx, 0, nullptr);
    ValueWord okWord = vw_from_bool(ok);
    g_table->setElement(cx, array, 0, &okWord);
    g_table->setElement(cx, array, 1, &r);
    *rval = array;
    return 1;
}

// nested(src): beginRequest inside the native's own request, evaluate, the
// truth of the result, endRequest; also inside a suspension.
NATIVE(nested)
{
    UNUSED;
    std::string src = g_table->valueToString(cx, argv[0]);
    g_table->beginRequest(cx);
    ValueWord r1 = 0;
    g_table->evaluate(cx, "nested", src.c_str(), &r1);
    int t1 = vw_truth(r1);
    g_table->endRequest(cx);
    uint32_t token = g_table->suspendRequest(cx);
    g_table->beginRequest(cx);
    ValueWord r2 = 0;
    g_table->evaluate(cx, "nested", src.c_str(), &r2);
    int t2 = vw_truth(r2);
    g_table->endRequest(cx);
    g_table->resumeRequest(cx, token);
    *rval = vw_from_int(t1 * 10 + t2);
    return 1;
}

// callWhileSuspended(): an engine slot while the request is suspended.
NATIVE(callWhileSuspended)
{
    UNUSED;
    uint32_t token = g_table->suspendRequest(cx);
    g_table->newNumber(cx, 1.5);
    g_table->resumeRequest(cx, token);
    return 1;
}

// wrongToken(): resumeRequest with a token that suspendRequest never gave.
NATIVE(wrongToken)
{
    UNUSED;
    uint32_t token = g_table->suspendRequest(cx);
    g_table->resumeRequest(cx, token + 1);
    return 1;
}

// leaveSuspended(): returns without resuming.
NATIVE(leaveSuspended)
{
    UNUSED;
    g_table->suspendRequest(cx);
    return 1;
}

// memory(n): hostAlloc n bytes, fill, hostFree; true when it worked.
NATIVE(memory)
{
    UNUSED;
    int n = vw_is_int(argv[0]) ? vw_to_int(argv[0]) : 16;
    char *p = (char *)g_table->hostAlloc(cx, (size_t)n);
    if (p)
        std::memset(p, 0x5A, (size_t)n);
    g_table->hostFree(cx, p);
    *rval = vw_from_bool(p != nullptr);
    return 1;
}

// global(): the global object.
NATIVE(global)
{
    UNUSED;
    *rval = g_table->globalObject(cx);
    return 1;
}

// object(): a fresh object with one property set through defineProperty.
NATIVE(object)
{
    UNUSED;
    ValueWord o = g_table->newObject(cx, nullptr);
    g_table->defineProperty(cx, o, "made", VW_TRUE, nullptr, nullptr, HOST_ATTR_ENUMERABLE);
    *rval = o;
    return 1;
}

// stale(): a word from a native call that has ended (kept in a global) and
// a word the host never issued; both must read as nothing.
ValueWord g_kept = 0;
NATIVE(keep)
{
    UNUSED;
    g_kept = argv[0];
    return 1;
}
NATIVE(readKept)
{
    UNUSED;
    ValueWord made = 0x12345670u; // never issued
    const char *a = g_table->getStringProperty(cx, g_kept, "x", "none");
    const char *b = g_table->getStringProperty(cx, made, "x", "none");
    std::string s = std::string(a) + "," + b + "," + g_table->valueToString(cx, g_kept);
    *rval = g_table->newString(cx, s.c_str(), nullptr);
    return 1;
}

// churn(s): holds the bytes of s (a large byte string) while making several
// other large byte strings, then checks that the held bytes did not change.
NATIVE(churn)
{
    UNUSED;
    const char *held = g_table->valueToString(cx, argv[0]);
    int n = g_table->stringLength(cx, argv[0]);
    std::vector<char> before(held, held + n);
    std::vector<char> other((size_t)n, 'x');
    for (int i = 0; i < 6; i++) {
        other[0] = (char)i;
        ValueWord w = g_table->newStringN(cx, other.data(), n);
        const char *back = g_table->valueToString(cx, w);
        if (g_table->stringLength(cx, w) != n || std::memcmp(back, other.data(), (size_t)n) != 0) {
            *rval = VW_FALSE;
            return 1;
        }
    }
    *rval = vw_from_bool(std::memcmp(held, before.data(), (size_t)n) == 0);
    return 1;
}

// Probe: a class with a private cell and a finalizer.
struct Cell {
    int magic;
};

NATIVE(probeConstruct)
{
    UNUSED;
    Cell *cell = new Cell{0x600D};
    g_constructed++;
    g_table->setPrivate(cx, self, cell);
    return 1;
}

void HOST_CALL probeFinalize(ScriptContext *cx, ValueWord object)
{
    Cell *cell = (Cell *)g_table->getPrivate(cx, object);
    if (!cell)
        return;
    if (cell->magic == 0x600D)
        g_finalized++;
    g_table->setPrivate(cx, object, nullptr);
    delete cell;
}

NATIVE(probeCell)
{
    UNUSED;
    Cell *cell = (Cell *)g_table->getPrivate(cx, self);
    *rval = cell ? vw_from_int(cell->magic) : VW_NULL;
    return 1;
}

NATIVE(counts)
{
    UNUSED;
    *rval = vw_from_int(g_constructed * 1000 + g_finalized);
    return 1;
}

const FunctionSpec kFunctions[] = {
    {"bytes", bytes, 1, 0, 0},
    {"byteCodes", byteCodes, 1, 0, 0},
    {"propBytes", propBytes, 2, 0, 0},
    {"wideUnits", wideUnits, 1, 0, 0},
    {"wideProp", wideProp, 2, 0, 0},
    {"numberProp", numberProp, 2, 0, 0},
    {"truth", truth, 1, 0, 0},
    {"word", word, 1, 0, 0},
    {"argCount", argCount, 0, 0, 0},
    {"toInt32", toInt32, 1, 0, 0},
    {"define", define, 4, 0, 0},
    {"report", report, 3, 0, 0},
    {"failSilently", failSilently, 0, 0, 0},
    {"readThenSucceed", readThenSucceed, 1, 0, 0},
    {"evaluate", evaluate, 1, 0, 0},
    {"nested", nested, 1, 0, 0},
    {"callWhileSuspended", callWhileSuspended, 0, 0, 0},
    {"wrongToken", wrongToken, 0, 0, 0},
    {"leaveSuspended", leaveSuspended, 0, 0, 0},
    {"memory", memory, 1, 0, 0},
    {"global", global, 0, 0, 0},
    {"object", object, 0, 0, 0},
    {"keep", keep, 1, 0, 0},
    {"readKept", readKept, 0, 0, 0},
    {"counts", counts, 0, 0, 0},
    {"churn", churn, 1, 0, 0},
    {nullptr, nullptr, 0, 0, 0},
};

const FunctionSpec kProbeMethods[] = {
    {"cell", probeCell, 0, 0, 0},
    {nullptr, nullptr, 0, 0, 0},
};
const FunctionSpec kNoStatics[1] = {};

} // namespace

extern "C" __declspec(dllexport) int HOST_CALL initModule(ScriptContext *cx, const HostTable *table)
{
    g_table = table;
    ValueWord o = table->newObject(cx, nullptr);
    table->defineFunctions(cx, o, kFunctions);
    table->defineClass(cx, "Probe", probeConstruct, 0, nullptr, kProbeMethods, nullptr, kNoStatics,
                       probeFinalize);
    return table->defineProperty(cx, table->globalObject(cx), "HostCheck", o, nullptr, nullptr,
                                 HOST_ATTR_ENUMERABLE);
}
