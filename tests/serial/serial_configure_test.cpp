// What open and set apply to the port: timeouts, queue sizes and the device
// control block.
#include "tests/serial/port_fixture.h"

#include <cstring>

namespace serial_test {
namespace {

using SerialConfigure = SerialPortTest;

DWORD flagWord(const DCB &dcb)
{
    DWORD flags;
    std::memcpy(&flags, (const char *)&dcb + offsetof(DCB, BaudRate) + sizeof(DWORD), sizeof flags);
    return flags;
}

DCB readState(HANDLE h)
{
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    EXPECT_TRUE(GetCommState(h, &dcb));
    return dcb;
}

TEST_F(SerialConfigure, ReadBackFromTheScriptHandle)
{
    openScriptPort("baudRate: 9600.5, byteSize: 7.9");
    HANDLE h = scriptHandle("p");
    DCB dcb = readState(h);
    EXPECT_EQ(dcb.BaudRate, 9600u);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_EQ(dcb.fOutxCtsFlow, 0u);
    EXPECT_EQ(dcb.fOutxDsrFlow, 0u);
    // A Linux pseudo-terminal keeps CS8 whatever is asked (the value handed
    // to SetCommState is checked in SetCommStateGetsTheDcbAsRead); a real
    // port reads back 7.
    if (!runningOnWine()) {
        EXPECT_EQ(dcb.ByteSize, 7);
    }

    COMMTIMEOUTS t = {};
    ASSERT_TRUE(GetCommTimeouts(h, &t));
    EXPECT_EQ(t.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(t.ReadTotalTimeoutConstant, 1u);

    // set keeps the multipliers and the write constant as the port has them.
    COMMTIMEOUTS mine = {25, 7, 300, 11, 13};
    ASSERT_TRUE(SetCommTimeouts(h, &mine));
    EXPECT_EQ(ok("s.set({baudRate: 19200})"), "true");
    ASSERT_TRUE(GetCommTimeouts(h, &t));
    EXPECT_EQ(t.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 7u);
    EXPECT_EQ(t.ReadTotalTimeoutConstant, 1u);
    EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 11u);
    EXPECT_EQ(t.WriteTotalTimeoutConstant, 13u);
    EXPECT_EQ(readState(h).BaudRate, 19200u);
}

TEST_F(SerialConfigure, HardwareHandshakeIsClearedAndOtherFlagsKept)
{
    openScriptPort();
    HANDLE h = scriptHandle("p");
    DCB dcb = readState(h);
    dcb.fOutxCtsFlow = 1;
    dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    dcb.fOutX = 1;
    dcb.fInX = 1;
    ASSERT_TRUE(SetCommState(h, &dcb));
    DCB before = readState(h);
    ASSERT_EQ(before.fOutxCtsFlow, 1u) << "the port must take CTS handshake for this test";
    EXPECT_EQ(ok("s.set({})"), "true");
    DCB after = readState(h);
    EXPECT_EQ(after.fOutxCtsFlow, 0u);
    EXPECT_EQ(after.fOutxDsrFlow, 0u);
    EXPECT_EQ(after.fOutX, 1u);
    EXPECT_EQ(after.fInX, 1u);
    EXPECT_EQ(after.XonChar, before.XonChar);
    EXPECT_EQ(after.XoffChar, before.XoffChar);
    EXPECT_EQ(after.fBinary, before.fBinary);
    EXPECT_EQ(after.fDtrControl, before.fDtrControl);
    // The next test's set-up turns software flow control off again.
}

// The device control block handed to SetCommState: the one GetCommState gave,
// with speed, byte size, parity, stop bits and the bits 0x300C changed.
struct DcbCase {
    const char *settings;
    DWORD baudRate;
    BYTE byteSize;
};

void PrintTo(const DcbCase &c, std::ostream *os) { *os << "{" << c.settings << "}"; }

class SerialDcb : public SerialPortTest, public ::testing::WithParamInterface<DcbCase> {};

TEST_P(SerialDcb, SetCommStateGetsTheDcbAsRead)
{
    openScriptPort();
    DCB fake;
    std::memset(&fake, 0xA5, sizeof fake);
    fake.DCBlength = sizeof fake;
    DWORD allFlags = 0xFFFFFFFFu;
    std::memcpy((char *)&fake + 8, &allFlags, 4);
    calls().clear();
    calls().fakeGetCommState = true;
    calls().fakeState = fake;
    EXPECT_EQ(ok("s.set({" + std::string(GetParam().settings) + "})"), "true");
    ASSERT_EQ(calls().setStates.size(), 1u);
    const DCB &got = calls().setStates[0];
    DCB expected = fake;
    expected.BaudRate = GetParam().baudRate;
    expected.ByteSize = GetParam().byteSize;
    expected.Parity = NOPARITY;
    expected.StopBits = ONESTOPBIT;
    DWORD flags = allFlags & ~0x300Cu;
    std::memcpy((char *)&expected + 8, &flags, 4);
    EXPECT_EQ(got.BaudRate, expected.BaudRate);
    EXPECT_EQ(got.ByteSize, expected.ByteSize);
    EXPECT_EQ(flagWord(got), flags);
    EXPECT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << "another field changed";
}

INSTANTIATE_TEST_SUITE_P(
    Settings, SerialDcb,
    ::testing::Values(DcbCase{"baudRate: 9600.5, byteSize: 7.9", 9600, 7},
                      DcbCase{"byteSize: 264", 2400, 8}, DcbCase{"", 2400, 8},
                      DcbCase{"baudRate: null, byteSize: undefined", 2400, 8},
                      DcbCase{"baudRate: 115200, byteSize: 5", 115200, 5},
                      DcbCase{"baudRate: '19200', byteSize: '6'", 19200, 6},
                      DcbCase{"baudRate: 4294967296 + 300", 300, 8},
                      DcbCase{"baudRate: -1, byteSize: -1", 0xFFFFFFFFu, 0xFF},
                      DcbCase{"baudRate: NaN, byteSize: Infinity", 0, 0},
                      DcbCase{"baudRate: 'fast', byteSize: {}", 0, 0}));

TEST_F(SerialConfigure, OrderOfReadsAndCalls)
{
    ok("var order = [];"
       "function logged(name, value) { return { get: function () { order.push(name); return value; } }; }"
       "var q = Object.create(null, { port: logged('port', PORT), bufInSize: logged('bufInSize', 4096.9),"
       " bufOutSize: logged('bufOutSize', 512), baudRate: logged('baudRate', 57600),"
       " byteSize: logged('byteSize', 8), count: logged('count', 1), content: logged('content', '') });"
       "var s = new Serial();");
    EXPECT_EQ(ok("s.open(q) + ' ' + order.join(',')"),
              "true port,bufInSize,bufOutSize,baudRate,byteSize");
    std::vector<std::string> win32;
    for (const std::string &e : calls().events)
        if (e != "CreateFileA")
            win32.push_back(e);
    EXPECT_EQ(win32, (std::vector<std::string>{"GetCommTimeouts", "SetCommTimeouts", "SetupComm",
                                               "GetCommState", "SetCommState"}));
    EXPECT_EQ(calls().queueSizes, (std::vector<std::pair<DWORD, DWORD>>{{4096, 512}}));
    ASSERT_EQ(calls().setTimeouts.size(), 1u);
    EXPECT_EQ(calls().setTimeouts[0].ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(calls().setTimeouts[0].ReadTotalTimeoutConstant, 1u);
    EXPECT_EQ(ok("order = []; s.set(q) + ' ' + order.join(',')"),
              "true bufInSize,bufOutSize,baudRate,byteSize");
    EXPECT_EQ(ok("order = []; s.read(q); s.write(q); order.join(',')"), "count,content");
}

TEST_F(SerialConfigure, NonObjectSettingsActAsAnEmptyObject)
{
    openScriptPort("baudRate: 9600, bufInSize: 64");
    const char *arguments[] = {"5", "'COM9'", "null", "undefined", "true", "2.5"};
    for (const char *a : arguments) {
        calls().clear();
        EXPECT_EQ(ok("s.set(" + std::string(a) + ")"), "true") << a;
        ASSERT_EQ(calls().setStates.size(), 1u) << a;
        EXPECT_EQ(calls().setStates[0].BaudRate, 2400u) << a;
        EXPECT_EQ(calls().setStates[0].ByteSize, 8) << a;
        EXPECT_EQ(calls().queueSizes, (std::vector<std::pair<DWORD, DWORD>>{{1024, 1024}})) << a;
        // open of an open instance with it: the port it holds, no handle
        // property on a primitive.
        EXPECT_EQ(ok("s.open(" + std::string(a) + ")"), "true") << a;
        EXPECT_EQ(calls().count("CreateFileA"), 0) << a;
    }
    device_.write("Z");
    ASSERT_EQ(waitQueued(scriptHandle("p"), 1), 1u);
    EXPECT_EQ(ok("s.read(7)"), "Z") << "count defaults to 1";
}

TEST_F(SerialConfigure, StateThatCannotBeReadIsNotWritten)
{
    openScriptPort();
    calls().clear();
    calls().failGetCommState = true;
    EXPECT_EQ(ok("s.set({baudRate: 300})"), "true") << "a failed configuration is not reported";
    EXPECT_EQ(calls().count("GetCommState"), 1);
    EXPECT_EQ(calls().count("SetCommState"), 0);
}

} // namespace
} // namespace serial_test
