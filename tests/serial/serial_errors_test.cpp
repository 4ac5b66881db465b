// Script errors of Serial: missing arguments, objects without a cell, and
// counts a read cannot serve.
#include "tests/serial/port_fixture.h"

namespace serial_test {
namespace {

struct ErrorCase {
    const char *js;
    const char *message;
};

void PrintTo(const ErrorCase &c, std::ostream *os) { *os << c.js; }

class SerialErrors : public SerialPortTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(SerialErrors, ReportsExactly)
{
    ok("var s = new Serial(), p = {port: PORT}; s.open(p);");
    EXPECT_EQ(thrown(GetParam().js), GetParam().message);
    EXPECT_EQ(calls().count("suspendRequest"), 0);
    EXPECT_EQ(calls().count("Sleep"), 0);
    // The host and the instance go on working.
    EXPECT_EQ(ok("s.write({content: 'ok'})"), "2");
    EXPECT_EQ(device_.read(2), "ok");
}


INSTANTIATE_TEST_SUITE_P(
    MissingArguments, SerialErrors,
    ::testing::Values(
        ErrorCase{"return s.open();", "Native function format error: Serial.open(<params>)"},
        ErrorCase{"return s.set();", "Native function format error: Serial.set(<params>)"},
        ErrorCase{"return s.read();", "Native function format error: Serial.read(<params>)"},
        ErrorCase{"return s.write();", "Native function format error: Serial.write(<params>)"},
        ErrorCase{"return Serial.prototype.read();",
                  "Native function format error: Serial.read(<params>)"}));

INSTANTIATE_TEST_SUITE_P(
    NoCell, SerialErrors,
    ::testing::Values(
        ErrorCase{"return Serial.prototype.open({port: PORT});", "Serial.open: Serial not initialized"},
        ErrorCase{"return Serial.prototype.set({});", "Serial.set: Serial not initialized"},
        ErrorCase{"return Serial.prototype.close();", "Serial.close: Not initialized"},
        ErrorCase{"return Serial.prototype.read({count: 1});", "Serial.read: Serial not initialized"},
        ErrorCase{"return Serial.prototype.write({content: 'x'});",
                  "Serial.write: Serial not initialized"},
        ErrorCase{"return s.read.call({}, {});", "Serial.read: Serial not initialized"},
        ErrorCase{"return Serial.prototype.open.call(42, {});", "Serial.open: Serial not initialized"}));

INSTANTIATE_TEST_SUITE_P(
    BadCount, SerialErrors,
    ::testing::Values(ErrorCase{"return s.read({count: -1});", "Serial.read: count must not be negative"},
                      ErrorCase{"return s.read({count: -1e10});",
                                "Serial.read: count must not be negative"},
                      ErrorCase{"return s.read({count: -Infinity});",
                                "Serial.read: count must not be negative"},
                      ErrorCase{"return s.read({count: NaN});", "Serial.read: count is not a number"},
                      ErrorCase{"return s.read({count: 'many'});", "Serial.read: count is not a number"},
                      ErrorCase{"return s.read({count: {}});", "Serial.read: count is not a number"},
                      ErrorCase{"return s.read({count: Infinity});", "Serial.read: count is too large"},
                      ErrorCase{"return s.read({count: 2147483648});", "Serial.read: count is too large"},
                      ErrorCase{"return s.read({count: 4294967297});", "Serial.read: count is too large"}));

using SerialBadCount = SerialPortTest;

TEST_F(SerialBadCount, CountWhoseBufferCannotBeHadIsAnError)
{
    openScriptPort();
    calls().failMallocSize = 123456789;
    EXPECT_EQ(thrown("return s.read({count: 123456789});"),
              "Serial.read: cannot allocate 123456789 bytes");
    EXPECT_EQ(calls().count("suspendRequest"), 0);
    EXPECT_EQ(calls().count("Sleep"), 0);
}

TEST_F(SerialBadCount, FractionsTruncateTowardZero)
{
    openScriptPort();
    device_.write("abc");
    ASSERT_EQ(waitQueued(scriptHandle("p"), 3), 3u);
    EXPECT_EQ(ok("s.read({count: -0.9}).length"), "0");
    EXPECT_EQ(calls().count("Sleep"), 0);
    EXPECT_EQ(ok("s.read({count: 2.99})"), "ab");
    EXPECT_EQ(ok("s.read({count: '1'})"), "c");
}

} // namespace
} // namespace serial_test
