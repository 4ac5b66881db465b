// Long runs of tarnic.dll against the fake libusb0.dll: control transfers
// both ways and interrupt reads on one open device.
#include <gtest/gtest.h>

#include <string>

#include "tests/soak/soak_support.h"
#include "tests/usb/usb_fixture.h"

namespace {

using UsbSoak = Usb;

TEST_F(UsbSoak, TransfersAgainstTheLibrary)
{
    addDevice("bus-1", "dev-1", 0x1234, 0x5678, 3);
    openEntry("bus-1", "dev-1");
    host.ok("var out = {requestType: 0x40, request: 9, value: 0x200, index: 0, length: 8,"
            "           bytes: 'ABCDEFGH', timeout: 100};"
            "var into = {requestType: 0xC0, request: 1, value: 0, index: 0, length: 64};"
            "var irq = {endPoint: 0x81, length: 8, timeout: 100};");
    const unsigned char answer[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    // A third of the transfers are each kind.
    long count = soak::scaled(100000);
    soak::Figures f = soak::run(
        "UsbTransfers", count, 999,
        [&](long from, long to) {
            long reads = 0;
            for (long i = from; i < to; i++)
                if (i % 3 == 2)
                    reads++;
            for (long i = 0; i < reads; i++)
                fake.queueTransfer("usb_interrupt_read", 8, answer, 8, nullptr);
            std::string range = std::to_string(from) + ", " + std::to_string(to);
            ASSERT_EQ(host.ok("(function (from, to) { var ok = 0;"
                              "  for (var i = from; i < to; i++) {"
                              "    var r = i % 3 == 0 ? u.send(e, out)"
                              "          : i % 3 == 1 ? u.send(e, into) : u.getAnswer(e, irq);"
                              "    var want = i % 3 == 0 ? 8 : i % 3 == 1 ? 64 : 8;"
                              "    if (r.length == want) ok++; }"
                              "  return ok; })(" + range + ")"),
                      std::to_string(to - from));
            // One library call per transfer, and no other.  The fake logs
            // every call: its log is the test's memory, not the host's.
            std::vector<std::string> log = calls();
            ASSERT_EQ((long)log.size(), to - from);
            EXPECT_EQ(log.front().rfind(from % 3 == 2 ? "usb_interrupt_read(h1, 0x81"
                                                      : "usb_control_msg(h1, ", 0),
                      0u)
                << log.front();
            clearCalls();
        },
        [&] { host.ok("Duktape.gc(); Duktape.gc(); 0"); });
    soak::expectNoGrowth(f);
    EXPECT_EQ(host.ok("u.close(e)"), "true");
}

} // namespace
