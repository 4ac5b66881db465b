// USB.send and USB.getAnswer: the request fields, the buffer, the answers
// and the error texts.
#include <gmock/gmock.h>

#include "tests/usb/usb_fixture.h"

using testing::ElementsAre;
using testing::IsEmpty;

namespace {

std::string errorOf(testing_support::ScriptHost &host, const std::string &js)
{
    return host.eval("(function () { try { " + js +
                     "; return 'no error'; } catch (e) { return e.message; } })()");
}

} // namespace

class UsbTransfer : public Usb {
protected:
    void SetUp() override
    {
        Usb::SetUp();
        if (HasFatalFailure())
            return;
        addDevice("bus-1", "dev-a", 0x1234, 1);
        openEntry("bus-1", "dev-a");
        // The codes of a byte string, to compare bytes exactly.
        host.ok("function codes(s) { var a = []; for (var i = 0; i < s.length; i++)"
                " a.push(s.charCodeAt(i)); return s.length + ':' + a.join(' '); }");
    }
};

TEST_F(UsbTransfer, SendReadsTheRequestFieldsInOrderOnce)
{
    host.ok("var log = [];"
            "function traced(o) { return new Proxy(o, {get: function (t, k) {"
            "  log.push(String(k)); return t[k]; }}); }");
    host.ok("u.send(e, traced({length: 1}))");
    EXPECT_EQ(host.ok("log.join()"), "requestType,request,value,index,length,bytes,timeout");
    fake.queueTransfer("usb_interrupt_read", 1, nullptr, 0, nullptr);
    host.ok("log = []; u.getAnswer(e, traced({length: 1}))");
    EXPECT_EQ(host.ok("log.join()"), "endPoint,length,timeout");
}

TEST_F(UsbTransfer, SendUsesTheDefaultsOfAbsentFields)
{
    EXPECT_EQ(host.ok("codes(u.send(e, {length: 2, requestType: null, timeout: undefined}))"),
              "2:0 0");
    EXPECT_THAT(calls(), ElementsAre("usb_control_msg(h1, 0x00, 0, 0, 0, [00 00], 2, 5000)"));
}

TEST_F(UsbTransfer, SendPassesEveryFieldAndTheBytes)
{
    EXPECT_EQ(host.ok("codes(u.send(e, {requestType: 0x21, request: 9, value: 0x0200, index: 1,"
                      " length: 4, bytes: 'a\\0\\xff\\x80', timeout: 250}))"),
              "4:97 0 255 128");
    EXPECT_THAT(calls(), ElementsAre("usb_control_msg(h1, 0x21, 9, 512, 1, [61 00 FF 80], 4, 250)"));
}

TEST_F(UsbTransfer, SendNumbersAreTruncatedTo32Bits)
{
    host.ok("u.send(e, {requestType: 192.9, request: '7', value: -1.5, index: 4294967297,"
            " length: 1.99, timeout: NaN})");
    EXPECT_THAT(calls(), ElementsAre("usb_control_msg(h1, 0xC0, 7, -1, 1, [00], 1, 0)"));
}

TEST_F(UsbTransfer, SendFillsTheBufferFromBytesAndZeros)
{
    struct Case {
        const char *request;
        const char *buffer;
        const char *result;
    };
    const Case cases[] = {
        {"{length: 4, requestType: 0x40}", "[00 00 00 00]", "4:0 0 0 0"}, // no bytes: NULs
        {"{length: 4, bytes: 'ab'}", "[61 62 00 00]", "4:97 98 0 0"},    // short: zeros after
        {"{length: 2, bytes: 'abcd'}", "[61 62]", "2:97 98"},             // long: cut
        {"{length: 3, bytes: ''}", "[00 00 00]", "3:0 0 0"},
        {"{length: 3, bytes: 12}", "[31 32 00]", "3:49 50 0"},            // as a string
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.request);
        clearCalls();
        EXPECT_EQ(host.ok(std::string("codes(u.send(e, ") + c.request + "))"), c.result);
        ASSERT_EQ(calls().size(), 1u);
        EXPECT_THAT(calls()[0], testing::HasSubstr(std::string(", ") + c.buffer + ", "));
    }
}

TEST_F(UsbTransfer, SendGivesBackWhatTheDeviceReturned)
{
    const unsigned char data[] = {0x00, 0xFF, 0x80, 0x41};
    fake.queueTransfer("usb_control_msg", 4, data, 4, nullptr);
    EXPECT_EQ(host.ok("codes(u.send(e, {requestType: 0xC0, request: 1, length: 8}))"),
              "4:0 255 128 65");
    // Fewer bytes than asked for: only those.
    fake.queueTransfer("usb_control_msg", 2, data + 2, 2, nullptr);
    EXPECT_EQ(host.ok("codes(u.send(e, {requestType: 0xC0, length: 8}))"), "2:128 65");
    // A library that claims more than the buffer holds is held to the buffer.
    fake.queueTransfer("usb_control_msg", 100, data, 4, nullptr);
    EXPECT_EQ(host.ok("codes(u.send(e, {requestType: 0xC0, length: 3}))"), "3:0 255 128");
}

TEST_F(UsbTransfer, SendReportsFailedAndEmptyTransfers)
{
    fake.queueTransfer("usb_control_msg", -116, nullptr, 0,
                       "libusb0-dll:err [control_msg] sending control message failed");
    EXPECT_EQ(errorOf(host, "u.send(e, {requestType: 0xC0, request: 0x33, value: 0xABCD,"
                            " index: 0x0102, length: 0x40, timeout: 100})"),
              "USB.send: ERROR! Unable to send USB control message: {requestType: 0xC0, "
              "request: 0x33, value: 0xABCD, index: 0x0102, length: 0x0040, timeout: 100 ms}: -116 "
              "libusb0-dll:err [control_msg] sending control message failed");
    EXPECT_THAT(calls(), ElementsAre(testing::StartsWith("usb_control_msg(h1, 0xC0, 51, 43981, 258, "),
                                     "usb_strerror()"));
    // Length 0 moves no bytes: the same report, with the code 0.
    fake.queueTransfer("usb_control_msg", 0, nullptr, 0, "");
    EXPECT_EQ(errorOf(host, "u.send(e, {})"),
              "USB.send: ERROR! Unable to send USB control message: {requestType: 0x00, "
              "request: 0x00, value: 0x0000, index: 0x0000, length: 0x0000, timeout: 5000 ms}: 0 ");
    // A short transfer that moved nothing of a longer buffer.
    fake.queueTransfer("usb_control_msg", 0, nullptr, 0, "stall");
    EXPECT_EQ(errorOf(host, "u.send(e, {requestType: 0x80, request: 6, value: 0x0100, length: 18})"),
              "USB.send: ERROR! Unable to send USB control message: {requestType: 0x80, "
              "request: 0x06, value: 0x0100, index: 0x0000, length: 0x0012, timeout: 5000 ms}: 0 "
              "stall");
}

TEST_F(UsbTransfer, GetAnswerUsesItsDefaults)
{
    // Up to 0 bytes from endpoint 0x81: nothing comes back, so an error.
    EXPECT_EQ(errorOf(host, "u.getAnswer(e, {})"),
              "USB.getAnswer: ERROR! Unable to read endpoint\nendPoint=0x81 length=0x0000\n0 ");
    EXPECT_THAT(calls(), ElementsAre("usb_interrupt_read(h1, 0x81, [], 0, 5000)", "usb_strerror()"));
}

TEST_F(UsbTransfer, GetAnswerGivesBackTheBytesRead)
{
    const unsigned char data[] = {0x01, 0x00, 0xFE, 0x7F};
    fake.queueTransfer("usb_interrupt_read", 4, data, 4, nullptr);
    EXPECT_EQ(host.ok("codes(u.getAnswer(e, {endPoint: 0x82, length: 8, timeout: 50}))"),
              "4:1 0 254 127");
    EXPECT_THAT(calls(),
                ElementsAre("usb_interrupt_read(h1, 0x82, [00 00 00 00 00 00 00 00], 8, 50)"));
}

TEST_F(UsbTransfer, GetAnswerReportsTimeOutsAndFailures)
{
    fake.queueTransfer("usb_interrupt_read", -116, nullptr, 0,
                       "libusb0-dll:err [_usb_reap_async] timeout error");
    EXPECT_EQ(errorOf(host, "u.getAnswer(e, {length: 64, timeout: 10})"),
              "USB.getAnswer: ERROR! Unable to read endpoint\nendPoint=0x81 length=0x0040\n-116 "
              "libusb0-dll:err [_usb_reap_async] timeout error");
    fake.queueTransfer("usb_interrupt_read", -5, nullptr, 0, "io error");
    EXPECT_EQ(errorOf(host, "u.getAnswer(e, {endPoint: 2, length: 0x1234})"),
              "USB.getAnswer: ERROR! Unable to read endpoint\nendPoint=0x02 length=0x1234\n-5 io error");
}

TEST_F(UsbTransfer, ALengthWithoutABufferIsAScriptError)
{
    clearCalls();
    EXPECT_EQ(errorOf(host, "u.send(e, {length: -1})"), "USB.send: invalid length -1 (must be 0 or more)");
    EXPECT_EQ(errorOf(host, "u.getAnswer(e, {length: -4096})"),
              "USB.getAnswer: invalid length -4096 (must be 0 or more)");
    // 2^31 wraps to a negative 32-bit length.
    EXPECT_EQ(errorOf(host, "u.send(e, {length: 2147483648})"),
              "USB.send: invalid length -2147483648 (must be 0 or more)");
    // More than a 32-bit process can allocate.
    EXPECT_EQ(errorOf(host, "u.send(e, {length: 2147483647})"),
              "USB.send: cannot allocate a buffer of 2147483647 bytes");
    EXPECT_EQ(errorOf(host, "u.getAnswer(e, {length: 2147483647})"),
              "USB.getAnswer: cannot allocate a buffer of 2147483647 bytes");
    EXPECT_THAT(calls(), IsEmpty());
    EXPECT_EQ(host.ok("codes(u.send(e, {length: 1}))"), "1:0");
}

TEST_F(UsbTransfer, EntriesThatAreNotOpenAreRefused)
{
    const char *entries[] = {"{}", "{handle: 0}", "{handle: 12345}", "{handle: 'x'}", "null",
                             "undefined", "5"};
    clearCalls();
    for (const char *entry : entries) {
        SCOPED_TRACE(entry);
        EXPECT_EQ(errorOf(host, std::string("u.send(") + entry + ", {length: 1})"),
                  "USB.send: Device not initialized");
        EXPECT_EQ(errorOf(host, std::string("u.getAnswer(") + entry + ", {length: 1})"),
                  "USB.read: Device not initialized");
    }
    EXPECT_THAT(calls(), IsEmpty());
    // After close, including through a copy of the entry made while open.
    host.ok("var copy = {handle: e.handle}; u.close(e)");
    clearCalls();
    EXPECT_EQ(errorOf(host, "u.send(e, {length: 1})"), "USB.send: Device not initialized");
    EXPECT_EQ(errorOf(host, "u.getAnswer(e, {length: 1})"), "USB.read: Device not initialized");
    EXPECT_EQ(errorOf(host, "u.send(copy, {length: 1})"), "USB.send: Device not initialized");
    EXPECT_THAT(calls(), IsEmpty());
}

TEST_F(UsbTransfer, SendAndGetAnswerCheckTheirArgumentsAndNeedNoInstance)
{
    clearCalls();
    EXPECT_EQ(errorOf(host, "u.send(e)"), "Native function format error: USB.send(<device>, <request>)");
    EXPECT_EQ(errorOf(host, "u.send()"), "Native function format error: USB.send(<device>, <request>)");
    EXPECT_EQ(errorOf(host, "u.getAnswer(e)"),
              "Native function format error: USB.getAnswer(<device>, <request>)");
    EXPECT_THAT(calls(), IsEmpty());
    // A request that is not an object reads as all defaults.
    EXPECT_EQ(errorOf(host, "u.send(e, null)"),
              "USB.send: ERROR! Unable to send USB control message: {requestType: 0x00, "
              "request: 0x00, value: 0x0000, index: 0x0000, length: 0x0000, timeout: 5000 ms}: 0 ");
    EXPECT_EQ(errorOf(host, "u.getAnswer(e, 5)"),
              "USB.getAnswer: ERROR! Unable to read endpoint\nendPoint=0x81 length=0x0000\n0 ");
    EXPECT_EQ(host.ok("codes(USB.prototype.send(e, {length: 1})) + ',' +"
                      " codes(USB.prototype.send.call({}, e, {length: 1}))"),
              "1:0,1:0");
}
