// Contract tests of the host interface table, driven through hostcheck.dll.
#include <gtest/gtest.h>

#include "tests/support/script_host.h"

using testing_support::ScriptHost;

class HostContract : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(host.load("hostcheck"), ""); }
    ScriptHost host;
};

TEST_F(HostContract, EveryByteValueRoundTripsThroughByteStrings)
{
    EXPECT_EQ(host.ok("var s = ''; for (var i = 0; i < 256; i++) s += String.fromCharCode(i);"
                      "var t = HostCheck.bytes(s + '\\0\\0' + s);"
                      "t === s + '\\0\\0' + s"),
              "true");
    EXPECT_EQ(host.ok("HostCheck.byteCodes('a\\0\\xff\\x80').join(',')"), "97,0,255,128");
    EXPECT_EQ(host.ok("HostCheck.propBytes({p: 'x\\0y\\xe9'}, 'p') === 'x\\0y\\xe9'"), "true");
}

TEST_F(HostContract, LargeByteStringsRoundTripAndStayValidWhileHeld)
{
    // Large strings take the host's cached path; sizes around its threshold.
    for (int size : {65535, 65536, 1 << 20, 8 << 20}) {
        std::string js = "var n = " + std::to_string(size) +
                         "; var a = []; for (var i = 0; i < 256; i++) a.push(String.fromCharCode(i));"
                         "var s = a.join(''); while (s.length < n) s += s; s = s.substring(0, n);"
                         "var t = HostCheck.bytes(s); [t === s, t.length, HostCheck.bytes(t) === s].join(',')";
        EXPECT_EQ(host.ok(js), "true," + std::to_string(size) + ",true") << size;
    }
    EXPECT_EQ(host.ok("var a = []; for (var i = 0; i < 200000; i++) a.push(String.fromCharCode(i & 255));"
                      "HostCheck.churn(HostCheck.bytes(a.join('')))"),
              "true");
}

TEST_F(HostContract, WideStringsKeepEmbeddedNulsAndSurrogates)
{
    EXPECT_EQ(host.ok("HostCheck.wideUnits('a\\0\\ud83d\\ude00\\u20ac').join(',')"),
              "97,0,55357,56832,8364,0");
    EXPECT_EQ(host.ok("HostCheck.wideProp({t: 'h\\u00e9\\ud83d\\ude00'}, 't') === 'h\\u00e9\\ud83d\\ude00'"),
              "true");
    EXPECT_EQ(host.ok("HostCheck.wideProp({}, 't') + HostCheck.wideProp({t: null}, 't')"), "dfltdflt");
}

TEST_F(HostContract, StringLengthMatchesTheStringFormForEveryKindOfValue)
{
    // stringLength and getStringProperty must agree on the same value.
    struct Case {
        const char *value;
        const char *bytes;
    } cases[] = {
        {"undefined", "<none>"}, {"null", "<none>"},  {"12.5", "12.5"},
        {"true", "true"},        {"({})", "[object Object]"},
        {"[1,2]", "1,2"},        {"'\\u20ac'", "\xC2\xAC"}, // the low byte 0xAC, shown as UTF-8
    };
    for (const Case &c : cases) {
        std::string js = std::string("var v = ") + c.value + "; HostCheck.propBytes({p: v}, 'p')";
        std::string r = host.ok(js);
        EXPECT_EQ(r, std::string(c.bytes)) << c.value;
    }
}

TEST_F(HostContract, TruthTestAndValueWords)
{
    struct Case {
        const char *value;
        const char *truth;
    } cases[] = {
        {"true", "true"},  {"false", "false"}, {"undefined", "true"}, {"null", "false"},
        {"0", "false"},    {"1", "false"},     {"3", "false"},        {"4", "true"},
        {"-1", "true"},    {"({})", "true"},   {"[]", "true"},        {"'x'", "true"},
        {"2.5", "true"},   {"1073741824", "true"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(host.ok(std::string("HostCheck.truth(") + c.value + ")"), c.truth) << c.value;
    EXPECT_EQ(host.ok("HostCheck.word(undefined)"), std::to_string(0x80000001u));
    EXPECT_EQ(host.ok("HostCheck.word(null)"), "0");
    EXPECT_EQ(host.ok("HostCheck.word(false) + ',' + HostCheck.word(true)"), "6,14");
    EXPECT_EQ(host.ok("HostCheck.word(5) + ',' + HostCheck.word(-1)"), "11,4294967295");
    EXPECT_EQ(host.ok("HostCheck.word({}) % 8"), "0");
    EXPECT_EQ(host.ok("HostCheck.word('s') % 8"), "4");
    EXPECT_EQ(host.ok("HostCheck.word(0.5) % 8 + ',' + HostCheck.word(-0) % 8"), "2,2");
    EXPECT_EQ(host.ok("HostCheck.argCount() + ',' + HostCheck.argCount(1, 2, 3)"), "0,3");
}

TEST_F(HostContract, NumbersAndToInt32)
{
    EXPECT_EQ(host.ok("HostCheck.numberProp({n: '12'}, 'n')"), "12");
    EXPECT_EQ(host.ok("HostCheck.numberProp({}, 'n') + ',' + HostCheck.numberProp({n: null}, 'n')"),
              "-7.5,-7.5");
    EXPECT_EQ(host.ok("HostCheck.numberProp({n: 'abc'}, 'n')"), "NaN");
    struct Case {
        const char *x;
        const char *int32;
    } cases[] = {
        {"250.9", "250"},           {"-250.9", "-250"},      {"NaN", "0"},
        {"Infinity", "0"},          {"-Infinity", "0"},      {"4294967296", "0"},
        {"4294967295", "-1"},       {"2147483648", "-2147483648"},
        {"-2147483649", "2147483647"}, {"1e300", "0"},       {"3000000000.7", "-1294967296"},
        {"-2147483648.7", "-2147483648"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(host.ok(std::string("HostCheck.toInt32({x: ") + c.x + "})"), c.int32) << c.x;
}

TEST_F(HostContract, AttributesAreReadOnlyEnumerableAndRedefinable)
{
    EXPECT_EQ(host.ok("var o = {}; HostCheck.define(o, 'a', 1, 3);"
                      "o.a = 2; var d = Object.getOwnPropertyDescriptor(o, 'a');"
                      "[o.a, d.enumerable, d.writable, d.configurable].join(',')"),
              "1,true,false,true");
    EXPECT_EQ(host.ok("var o = {}; HostCheck.define(o, 'a', 1, 3); HostCheck.define(o, 'a', 'x', 3); o.a"),
              "x");
    EXPECT_EQ(host.ok("var o = {}; HostCheck.define(o, 'b', 1, 1);"
                      "o.b = 5; var d = Object.getOwnPropertyDescriptor(o, 'b');"
                      "[o.b, d.enumerable, d.writable].join(',')"),
              "5,true,true");
    EXPECT_EQ(host.ok("var k = []; for (var p in HostCheck) k.push(p); k.length"), "0");
    EXPECT_EQ(host.ok("Object.getOwnPropertyDescriptor(this, 'HostCheck').enumerable"), "true");
    // Defining on something that is not an object is refused, not a crash.
    EXPECT_EQ(host.ok("HostCheck.define(5, 'a', 1, 3) + ',' + HostCheck.define(null, 'a', 1, 3)"), "0,0");
}

TEST_F(HostContract, ReportedAndSilentFailures)
{
    EXPECT_EQ(host.eval("try { HostCheck.report('abc', -42, 10) } catch (e) { e.message }"),
              "abc -42 0A");
    EXPECT_EQ(host.eval("try { HostCheck.report('x', 7, 255) } catch (e) { e instanceof Error }"),
              "true");
    EXPECT_EQ(host.eval("try { HostCheck.failSilently() } catch (e) { e.message }"),
              "HostCheck.failSilently failed");
    // The error points at the script line that made the call.
    EXPECT_EQ(host.eval("try {\n\nHostCheck.failSilently() } catch (e) { e.fileName + ':' + e.lineNumber }"),
              "test.js:3");
}

TEST_F(HostContract, ErrorInsideASlotSurfacesAfterTheNativeReturns)
{
    EXPECT_EQ(host.eval("var o = {get boom() { throw new RangeError('from getter') }};"
                        "try { HostCheck.readThenSucceed(o); 'no error' } catch (e) { e.name + ': ' + e.message }"),
              "RangeError: from getter");
    // The host keeps working afterwards.
    EXPECT_EQ(host.ok("HostCheck.bytes('still fine')"), "still fine");
}

TEST_F(HostContract, EvaluateStoresAValueInEveryCase)
{
    EXPECT_EQ(host.ok("HostCheck.evaluate('1 + 2').join(',')"), "true,3");
    EXPECT_EQ(host.ok("HostCheck.evaluate('var q = 7; q * 2').join(',')"), "true,14");
    EXPECT_EQ(host.ok("HostCheck.evaluate('throw new Error(\"bad\")').join(',')"), "false,false");
    EXPECT_EQ(host.ok("HostCheck.evaluate('syntax error here').join(',')"), "false,false");
    EXPECT_EQ(host.ok("HostCheck.evaluate('').join(',')"), "true,");
    // Repeated texts come from the cache and give the same results.
    EXPECT_EQ(host.ok("var n = 0; function bump() { return ++n }"
                      "var r = []; for (var i = 0; i < 3; i++) r.push(HostCheck.evaluate('bump()')[1]); r.join(',')"),
              "1,2,3");
    // UTF-8 source: characters outside the BMP become surrogate pairs.
    EXPECT_EQ(host.ok("HostCheck.evaluate('\"\\xF0\\x9F\\x98\\x80\".length')[1]"), "2");
}

TEST_F(HostContract, RequestsNestInsideNativesAndSuspensions)
{
    EXPECT_EQ(host.ok("HostCheck.nested('true')"), "11");
    EXPECT_EQ(host.ok("HostCheck.nested('0')"), "0");
}

TEST_F(HostContract, ClassPrivateCellAndFinalizer)
{
    EXPECT_EQ(host.ok("var p = new Probe(1, 2); p.cell()"), std::to_string(0x600D));
    EXPECT_EQ(host.ok("Probe.prototype.cell()"), "null");
    EXPECT_EQ(host.eval("try { Probe() } catch (e) { e.name }"), "TypeError");
    // A Probe method on another object finds no cell, nor on one that only
    // inherits from an instance.
    EXPECT_EQ(host.ok("Probe.prototype.cell.call({})"), "null");
    EXPECT_EQ(host.ok("p.cell.call(Object.create(p))"), "null");
    EXPECT_EQ(host.ok("var before = HostCheck.counts(); p = null; Duktape.gc(); Duktape.gc();"
                      "HostCheck.counts() - before"),
              "1");
}

TEST_F(HostContract, WordsOfEndedCallsAndUnknownWordsReadAsNothing)
{
    EXPECT_EQ(host.ok("HostCheck.keep({x: 'kept'}); HostCheck.readKept()"), "none,none,undefined");
    EXPECT_EQ(host.ok("HostCheck.memory(100) + ',' + HostCheck.memory(0)"), "true,true");
    EXPECT_EQ(host.ok("HostCheck.global() === this"), "true");
    EXPECT_EQ(host.ok("JSON.stringify(HostCheck.object())"), "{\"made\":true}");
}
