// Long runs of pellun.dll through a pseudo-terminal pair: write on one
// instance, read the same bytes on the other, alternating directions.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/serial/port_fixture.h"
#include "tests/soak/soak_support.h"
#include "tests/support/script_host.h"

namespace {

using serial_test::comName;
using serial_test::jsString;

TEST(SerialSoak, WriteReadRoundTrips)
{
    // Whatever an earlier run left in the pair goes first.
    for (int com : {SOAK_COM_A, SOAK_COM_B}) {
        serial_test::DeviceEnd end;
        ASSERT_EQ(end.open(comName(com)), "");
        end.drain();
    }
    testing_support::ScriptHost host;
    ASSERT_EQ(host.load("pellun"), "");
    host.ok("var a = new Serial(), b = new Serial();"
            "var pa = {port: " + jsString(comName(SOAK_COM_A)) + ", baudRate: 115200},"
            "    pb = {port: " + jsString(comName(SOAK_COM_B)) + ", baudRate: 115200};"
            "if (!a.open(pa) || !b.open(pb)) throw new Error('ports do not open');"
            // Every byte value passes now and then: NUL, XON, XOFF, 0xFF.
            "var all = ''; for (var c = 0; c < 256; c++) all += String.fromCharCode(c);"
            "function message(i) { var k = (i * 16) % 256;"
            "  return 'rt' + (i % 10000) + ':' + all.substr(k, 16); }"
            "function trip(i) { var m = message(i), from = i % 2 ? b : a, to = i % 2 ? a : b;"
            "  if (from.write({content: m}) != m.length) return 'write ' + i;"
            "  var got = to.read({count: m.length});"
            "  return got === m ? '' : 'read ' + i + ': ' + got.length + ' bytes'; }");
    long count = soak::scaled(100000);
    soak::Figures f = soak::run(
        "SerialRoundTrips", count, 500,
        [&](long from, long to) {
            ASSERT_EQ(host.ok("(function (from, to) { for (var i = from; i < to; i++) {"
                              "  var r = trip(i); if (r) return r; } return 'ok'; })(" +
                              std::to_string(from) + ", " + std::to_string(to) + ")"),
                      "ok");
        },
        [&] { host.ok("Duktape.gc(); Duktape.gc(); 0"); });
    soak::expectNoGrowth(f);
    host.ok("a.close(); b.close()");
}

} // namespace
