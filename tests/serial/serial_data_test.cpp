// Bytes through Serial.read and Serial.write, checked at the far end.
#include "tests/serial/port_fixture.h"

namespace serial_test {
namespace {

using SerialData = SerialPortTest;

TEST_F(SerialData, WriteSendsEveryByteValueIncludingNuls)
{
    openScriptPort();
    std::string bytes = allByteValues() + std::string(3, '\0') + allByteValues();
    EXPECT_EQ(ok("s.write({content: " + jsBytes(bytes) + "})"), std::to_string(bytes.size()));
    EXPECT_EQ(hex(device_.read(bytes.size())), hex(bytes));
}

TEST_F(SerialData, ReadReturnsEveryByteValueIncludingNuls)
{
    openScriptPort();
    std::string bytes = std::string(2, '\0') + allByteValues() + std::string(2, '\0');
    device_.write(bytes);
    ASSERT_EQ(waitQueued(scriptHandle("p"), (DWORD)bytes.size()), bytes.size());
    EXPECT_EQ(ok("var got = s.read({count: " + std::to_string(bytes.size()) +
                 "}); got.length + ' ' + hex(got)"),
              std::to_string(bytes.size()) + " " + hex(bytes));
    // What read returned goes back out byte for byte.
    EXPECT_EQ(ok("s.write({content: got})"), std::to_string(bytes.size()));
    EXPECT_EQ(hex(device_.read(bytes.size())), hex(bytes));
}

TEST_F(SerialData, ReadOfCountZeroReturnsAtOnce)
{
    openScriptPort();
    EXPECT_EQ(ok("var r = s.read({count: 0}); typeof r + ' ' + r.length"), "string 0");
    EXPECT_EQ(calls().count("Sleep"), 0);
    EXPECT_EQ(calls().count("ReadFile"), 0);
}

TEST_F(SerialData, ReadOfMoreThanQueuedReturnsNothingAndKeepsTheBytes)
{
    openScriptPort();
    device_.write("abc");
    ASSERT_EQ(waitQueued(scriptHandle("p"), 3), 3u);
    EXPECT_EQ(ok("s.read({count: 4}).length"), "0");
    EXPECT_EQ(calls().count("Sleep"), 150);
    EXPECT_EQ(calls().count("ReadFile"), 0);
    EXPECT_EQ(waitQueued(scriptHandle("p"), 3), 3u) << "the three bytes must stay queued";
    device_.write("d");
    ASSERT_EQ(waitQueued(scriptHandle("p"), 4), 4u);
    EXPECT_EQ(ok("s.read({count: 4})"), "abcd");
}

TEST_F(SerialData, ReadOfFewerThanQueuedLeavesTheRest)
{
    openScriptPort();
    device_.write("12345");
    ASSERT_EQ(waitQueued(scriptHandle("p"), 5), 5u);
    EXPECT_EQ(ok("s.read({count: 2})"), "12");
    EXPECT_EQ(calls().count("Sleep"), 0);
    EXPECT_EQ(ok("s.read({count: 3})"), "345");
}

TEST_F(SerialData, ReadCountDefaultsToOne)
{
    openScriptPort();
    device_.write("xy");
    ASSERT_EQ(waitQueued(scriptHandle("p"), 2), 2u);
    EXPECT_EQ(ok("s.read({})"), "x");
    EXPECT_EQ(ok("s.read({count: null})"), "y");
}

// Polls of 1 ms before an unanswered read gives up: 15 per byte, at least 150.
struct Budget {
    int count;
    int polls;
};

void PrintTo(const Budget &c, std::ostream *os) { *os << "count " << c.count; }

class SerialPollBudget : public SerialPortTest, public ::testing::WithParamInterface<Budget> {};

TEST_P(SerialPollBudget, UnansweredReadSleepsItsBudget)
{
    openScriptPort();
    EXPECT_EQ(ok("s.read({count: " + std::to_string(GetParam().count) + "}).length"), "0");
    EXPECT_EQ(calls().count("Sleep"), GetParam().polls);
    EXPECT_EQ(calls().count("ClearCommError"), GetParam().polls + 1);
}

INSTANTIATE_TEST_SUITE_P(Counts, SerialPollBudget,
                         ::testing::Values(Budget{1, 150}, Budget{10, 150}, Budget{11, 165},
                                           Budget{100, 1500}, Budget{2, 150}));

TEST_F(SerialData, WaitOfAnUnansweredReadGrowsWithCount)
{
    openScriptPort();
    auto timed = [&](int count) {
        LARGE_INTEGER f, t0, t1;
        QueryPerformanceFrequency(&f);
        QueryPerformanceCounter(&t0);
        EXPECT_EQ(ok("s.read({count: " + std::to_string(count) + "}).length"), "0");
        QueryPerformanceCounter(&t1);
        return (double)(t1.QuadPart - t0.QuadPart) / (double)f.QuadPart;
    };
    double ten = timed(10), hundred = timed(100);
    // 150 polls against 1500: only the order is asserted, not a time.
    EXPECT_GT(hundred, 3 * ten) << "count 10: " << ten << " s, count 100: " << hundred << " s";
}

TEST_F(SerialData, WriteDiscardsUnreadInputFirst)
{
    openScriptPort();
    device_.write("stale");
    ASSERT_EQ(waitQueued(scriptHandle("p"), 5), 5u);
    EXPECT_EQ(ok("s.write({content: 'ping'})"), "4");
    EXPECT_EQ(device_.read(4), "ping");
    EXPECT_EQ(waitQueued(scriptHandle("p"), 1, 100), 0u);
    device_.write("pong");
    ASSERT_EQ(waitQueued(scriptHandle("p"), 4), 4u);
    EXPECT_EQ(ok("s.read({count: 4})"), "pong");
    // Only the input side is purged.
    std::vector<std::string> purges;
    for (const std::string &e : calls().events)
        if (e.find("PurgeComm") != std::string::npos)
            purges.push_back(e);
    EXPECT_EQ(purges, std::vector<std::string>{"~PurgeComm(RX)"});
}

TEST_F(SerialData, WriteResultIsTheCountWritten)
{
    openScriptPort();
    std::string big(3000, 'q');
    EXPECT_EQ(ok("s.write({content: new Array(3001).join('q')})"), "3000");
    EXPECT_EQ(device_.read(big.size()), big);
    EXPECT_EQ(ok("typeof s.write({content: ''})"), "number");
}

// content: absent sends nothing; any other value is sent as its string form.
struct Content {
    const char *js;
    const char *sent;
};

void PrintTo(const Content &c, std::ostream *os) { *os << c.js; }

class SerialWriteContent : public SerialPortTest, public ::testing::WithParamInterface<Content> {};

TEST_P(SerialWriteContent, SendsTheStringForm)
{
    openScriptPort();
    std::string sent = GetParam().sent;
    EXPECT_EQ(ok("s.write(" + std::string(GetParam().js) + ")"), std::to_string(sent.size()));
    ok("s.write({content: '|'})"); // a marker: what came before it was sent
    EXPECT_EQ(device_.read(sent.size() + 1), sent + "|");
}

INSTANTIATE_TEST_SUITE_P(
    Values, SerialWriteContent,
    ::testing::Values(Content{"{}", ""}, Content{"{content: undefined}", ""},
                      Content{"{content: null}", ""}, Content{"{content: 12345}", "12345"},
                      Content{"{content: -0.5}", "-0.5"}, Content{"{content: true}", "true"},
                      Content{"{content: [1, 'a']}", "1,a"},
                      Content{"{content: {toString: function () { return 'obj'; }}}", "obj"},
                      Content{"{content: new String('str')}", "str"},
                      Content{"'a string is no settings object'", ""}, Content{"42", ""},
                      Content{"null", ""}));

TEST_F(SerialData, ContentWhoseStringFormHasNulsIsRefused)
{
    openScriptPort();
    EXPECT_EQ(thrown("return s.write({content: new String('a\\u0000b')});"),
              "Serial.write: content is not a string and its string form contains NUL characters");
    EXPECT_EQ(calls().count("WriteFile"), 0);
}

TEST_F(SerialData, ContentGetterIsReadOnce)
{
    openScriptPort();
    // A getter answering differently each time must not make the length of
    // one answer go with the bytes of another.
    EXPECT_EQ(ok("var reads = 0; var c = {get content() { return ++reads == 1 ? 'ab' : "
                 "new Array(5000).join('z'); }}; s.write(c) + ' ' + reads"),
              "2 1");
    EXPECT_EQ(device_.read(2), "ab");
}

} // namespace
} // namespace serial_test
