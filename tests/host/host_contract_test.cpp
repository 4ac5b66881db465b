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

TEST_F(HostContract, WideStringsKeepEmbeddedNulsAndSurrogates)
{
    EXPECT_EQ(host.ok("HostCheck.wideUnits('a\\0\\ud83d\\ude00\\u20ac').join(',')"),
              "97,0,55357,56832,8364,0");
    EXPECT_EQ(host.ok("HostCheck.wideProp({t: 'h\\u00e9\\ud83d\\ude00'}, 't') === 'h\\u00e9\\ud83d\\ude00'"),
              "true");
    EXPECT_EQ(host.ok("HostCheck.wideProp({}, 't') + HostCheck.wideProp({t: null}, 't')"), "dfltdflt");
}

TEST_F(HostContract, SilentFailureNamesTheHolderObject)
{
    EXPECT_EQ(host.ok("try { HostCheck.failSilently(); 'no error' } catch (e) { e.message }"),
              "HostCheck.failSilently failed");
}
