// The class USB: registration, construction and enumerate.
#include <gmock/gmock.h>

#include "tests/usb/usb_fixture.h"

using testing::ElementsAre;
using testing::IsEmpty;

namespace {

// The message of what `js` throws, or "no error".
std::string errorOf(testing_support::ScriptHost &host, const std::string &js)
{
    return host.eval("(function () { try { " + js +
                     "; return 'no error'; } catch (e) { return e.message; } })()");
}

} // namespace

TEST_F(Usb, TheClassHasItsMethodsWithTheirArgumentCounts)
{
    EXPECT_EQ(host.ok("typeof USB"), "function");
    EXPECT_EQ(host.ok("['enumerate', 'open', 'close', 'send', 'getAnswer'].map(function (n) {"
                      "  return n + ':' + USB.prototype[n].length; }).join()"),
              "enumerate:0,open:1,close:0,send:2,getAnswer:2");
}

TEST_F(Usb, LibraryIsInitialisedOnceAndItsDebugLevelSetOnEveryConstruction)
{
    EXPECT_EQ(host.ok("var a = new USB(), b = new USB(42, 'ignored'); a !== b"), "true");
    EXPECT_THAT(calls(), ElementsAre("usb_init()", "usb_set_debug(4)", "usb_set_debug(4)"));
    clearCalls();
    host.ok("new USB()");
    EXPECT_THAT(calls(), ElementsAre("usb_set_debug(4)"));
}

TEST_F(Usb, FinalizerCallsNoLibraryFunction)
{
    addDevice("bus-1", "dev-a", 0x1234, 1);
    host.ok("var u = new USB(), e = u.enumerate()[0]; u.open(e)");
    clearCalls();
    // The handle lives on the entry: the instance going away (its last
    // reference dropped, so it is finalized at once) leaves it open.
    host.ok("u = null; Duktape.gc(); Duktape.gc()");
    EXPECT_THAT(calls(), IsEmpty());
    EXPECT_EQ(host.ok("USB.prototype.close(e)"), "true");
    EXPECT_THAT(calls(), ElementsAre("usb_release_interface(h1, 0)", "usb_close(h1)"));
}

TEST_F(Usb, EnumerateAndOpenNeedAnInstance)
{
    addDevice("bus-1", "dev-a", 0x1234, 1);
    EXPECT_EQ(errorOf(host, "USB.prototype.enumerate()"), "USB.enumerate: USB not initialized");
    EXPECT_EQ(errorOf(host, "USB.prototype.enumerate.call({})"), "USB.enumerate: USB not initialized");
    EXPECT_EQ(errorOf(host, "USB.prototype.open({dirName: 'bus-1', fileName: 'dev-a'})"),
              "USB.open: USB not initialized");
    EXPECT_THAT(calls(), IsEmpty());
}

TEST_F(Usb, EnumerateWithoutDevicesGivesAnEmptyArrayAndPrintsNothing)
{
    host.ok("var u = new USB()");
    clearCalls();
    std::string result;
    std::string out = captureStdout([&] { result = host.eval("JSON.stringify(u.enumerate())"); });
    EXPECT_EQ(result, "[]");
    EXPECT_EQ(out, "");
    EXPECT_THAT(calls(), ElementsAre("usb_find_busses()", "usb_find_devices()", "usb_get_busses()"));
}

TEST_F(Usb, EnumerateListsDevicesBusByBusInListOrder)
{
    addDevice("bus-1", "dev-a", 0x0592, 0x0002, 3);
    addDevice("bus-2", "dev-b", 0x046D, 0xC287, 8);
    addDevice("bus-1", "dev-c", 0xFFFF, 0, 0xFF);
    host.ok("var u = new USB()");
    std::string result;
    std::string out = captureStdout([&] {
        result = host.eval("var list = u.enumerate(); JSON.stringify(list)");
    });
    EXPECT_EQ(result,
              "[{\"idVendor\":1426,\"idProduct\":2,\"dirName\":\"bus-1\",\"fileName\":\"dev-a\",\"hid\":1},"
              "{\"idVendor\":65535,\"idProduct\":0,\"dirName\":\"bus-1\",\"fileName\":\"dev-c\",\"hid\":0},"
              "{\"idVendor\":1133,\"idProduct\":49799,\"dirName\":\"bus-2\",\"fileName\":\"dev-b\",\"hid\":0}]");
    EXPECT_EQ(out, "Found: 1426: 2\nFound: 65535: 0\nFound: 1133: 49799\n");
    // Enumerable and read-only, all five.
    EXPECT_EQ(host.ok("Object.keys(list[0]).map(function (k) {"
                      "  var d = Object.getOwnPropertyDescriptor(list[0], k);"
                      "  return k + ':' + d.enumerable + ':' + d.writable; }).join()"),
              "idVendor:true:false,idProduct:true:false,dirName:true:false,fileName:true:false,"
              "hid:true:false");
    EXPECT_EQ(host.ok("list[0].idVendor = 1; list[0].hid = 0; list[0].idVendor + ':' + list[0].hid"),
              "1426:1");
}

TEST_F(Usb, HidIsOneOnlyForInterfaceClassThree)
{
    struct Case {
        const char *name;
        int interfaces, altsettings, interfaceClass; // interfaces -1: no configuration
        int hid;
    };
    const Case cases[] = {
        {"hid", 1, 1, 3, 1},
        {"mass storage", 1, 1, 8, 0},
        {"vendor specific", 1, 1, 0xFF, 0},
        {"no configuration", -1, 0, 0, 0},
        {"configuration without interface", 0, 0, 3, 0},
        {"interface without alternate setting", 1, 0, 3, 0},
    };
    int bus = fake.addBus("bus-1");
    for (const Case &c : cases) {
        int device = fake.addDevice(bus, c.name, 1, 2);
        if (c.interfaces >= 0)
            fake.setInterface(device, c.interfaces, c.altsettings, c.interfaceClass, nullptr, 0);
    }
    std::string out;
    std::string result = host.ok("new USB().enumerate().map(function (d) { return d.hid; }).join()");
    std::string expected;
    for (const Case &c : cases)
        expected += (expected.empty() ? "" : ",") + std::to_string(c.hid);
    EXPECT_EQ(result, expected);
}

TEST_F(Usb, EnumerateRescansEachTime)
{
    host.ok("var u = new USB(); var first = u.enumerate().length");
    addDevice("bus-1", "dev-a", 1, 2);
    EXPECT_EQ(host.ok("first + ',' + u.enumerate().length"), "0,1");
}

TEST_F(Usb, NamesFillingTheWholePathFieldStayWithinIt)
{
    // The fake fills the 512-byte field without a terminator, as the library
    // does for a name that long.
    addDevice(std::string(512, 'd'), std::string(600, 'f'), 1, 2);
    EXPECT_EQ(host.ok("var u = new USB(), d = u.enumerate()[0];"
                      "d.dirName.length + ',' + d.fileName.length"),
              "512,512");
    EXPECT_EQ(host.ok("var e = {dirName: d.dirName, fileName: d.fileName}; u.open(e)"), "true");
    EXPECT_EQ(host.ok("u.open({dirName: d.dirName, fileName: d.fileName + 'f'})"), "false");
}
