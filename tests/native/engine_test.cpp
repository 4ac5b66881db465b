// The engine binding natively under the sanitizers: the slots a module uses,
// with a module compiled into the test.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "scripthost/engine.h"

namespace {

const HostTable *T = nullptr;

int HOST_CALL roundTrip(ScriptContext *cx, ValueWord, int, ValueWord *argv, ValueWord *rval)
{
    const char *b = T->valueToString(cx, argv[0]);
    int n = T->stringLength(cx, argv[0]);
    *rval = T->newStringN(cx, b, n);
    return 1;
}

int HOST_CALL wide(ScriptContext *cx, ValueWord, int, ValueWord *argv, ValueWord *rval)
{
    *rval = T->newString(cx, nullptr, T->valueToWideString(cx, argv[0]));
    return 1;
}

// Holds the bytes of a large string while making others, then compares.
int HOST_CALL churn(ScriptContext *cx, ValueWord, int, ValueWord *argv, ValueWord *rval)
{
    const char *held = T->valueToString(cx, argv[0]);
    int n = T->stringLength(cx, argv[0]);
    std::vector<char> before(held, held + n);
    std::vector<char> other((size_t)n, 'q');
    for (int i = 0; i < 6; i++)
        T->newStringN(cx, other.data(), n);
    *rval = vw_from_bool(std::memcmp(held, before.data(), (size_t)n) == 0);
    return 1;
}

int HOST_CALL props(ScriptContext *cx, ValueWord, int, ValueWord *argv, ValueWord *rval)
{
    ValueWord o = vw_object(argv[0]);
    double n = T->getNumberProperty(cx, o, "n", -1);
    const char *s = T->getStringProperty(cx, o, "s", "dflt");
    ValueWord r = T->newObject(cx, nullptr);
    T->defineProperty(cx, r, "n", T->newNumber(cx, n), nullptr, nullptr, 3);
    T->defineProperty(cx, r, "s", T->newString(cx, s, nullptr), nullptr, nullptr, 1);
    *rval = r;
    return 1;
}

int HOST_CALL garbageWords(ScriptContext *cx, ValueWord, int, ValueWord *, ValueWord *rval)
{
    // Words the host never issued, of every tag: all must read as nothing.
    int bad = 0;
    for (uint32_t w = 0x10; w < 0x4000; w += 2) {
        if (T->getStringProperty(cx, w, "x", nullptr) != nullptr)
            bad++;
        T->stringLength(cx, w);
        T->valueToString(cx, w);
    }
    *rval = vw_from_int(bad);
    return 1;
}

const FunctionSpec kFunctions[] = {
    {"roundTrip", roundTrip, 1, 0, 0}, {"wide", wide, 1, 0, 0},
    {"churn", churn, 1, 0, 0},         {"props", props, 1, 0, 0},
    {"garbageWords", garbageWords, 0, 0, 0}, {nullptr, nullptr, 0, 0, 0},
};

int HOST_CALL init(ScriptContext *cx, const HostTable *t)
{
    T = t;
    return t->defineFunctions(cx, t->globalObject(cx), kFunctions);
}

class Engine : public ::testing::Test {
protected:
    void SetUp() override
    {
        cx = engine::create(true);
        ASSERT_NE(cx, nullptr);
        ASSERT_NE(engine::callInit(cx, init, nullptr), 0);
    }
    void TearDown() override { engine::destroy(cx); }
    std::string eval(const std::string &js)
    {
        std::string out;
        if (!engine::evalToString(cx, "native.js", js, &out))
            return "ERROR: " + out;
        return out;
    }
    ScriptContext *cx = nullptr;
};

} // namespace

TEST_F(Engine, ByteStringsRoundTripSmallAndLarge)
{
    for (int n : {0, 1, 255, 70000, 3 << 20}) {
        std::string js = "var s = ''; var n = " + std::to_string(n) +
                         "; var c = []; for (var i = 0; i < 256; i++) c.push(String.fromCharCode(i));"
                         "s = c.join(''); while (s.length < n) s += s; s = s.substring(0, n);"
                         "var t = roundTrip(s); (t === s) + ',' + roundTrip(t).length";
        EXPECT_EQ(eval(js), "true," + std::to_string(n)) << n;
    }
}

TEST_F(Engine, HeldBytesSurviveCacheEviction)
{
    EXPECT_EQ(eval("var a = []; for (var i = 0; i < 100000; i++) a.push(String.fromCharCode(i & 255));"
                   "churn(roundTrip(a.join('')))"),
              "true");
}

TEST_F(Engine, WideStringsAndProperties)
{
    EXPECT_EQ(eval("wide('a\\u20ac\\ud83d\\ude00') === 'a\\u20ac\\ud83d\\ude00'"), "true");
    EXPECT_EQ(eval("JSON.stringify(props({n: '4.5', s: 'x\\u00e9'}))"), "{\"n\":4.5,\"s\":\"x\xC3\xA9\"}");
    EXPECT_EQ(eval("JSON.stringify(props(null)) + JSON.stringify(props(7))"),
              "{\"n\":-1,\"s\":\"dflt\"}{\"n\":-1,\"s\":\"dflt\"}");
    EXPECT_EQ(eval("var o = {get n() { throw new Error('getter') }}; try { props(o) } catch (e) { e.message }"),
              "getter");
}

TEST_F(Engine, UnknownWordsReadAsNothing) { EXPECT_EQ(eval("garbageWords()"), "0"); }
