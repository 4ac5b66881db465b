// USB.open and USB.close: matching, the set-up of the three vendors, the
// report descriptor size, and releasing the handle.
#include <gmock/gmock.h>

#include "tests/usb/usb_fixture.h"

using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::IsEmpty;

namespace {

std::string errorOf(testing_support::ScriptHost &host, const std::string &js)
{
    return host.eval("(function () { try { " + js +
                     "; return 'no error'; } catch (e) { return e.message; } })()");
}

const std::vector<std::string> kRescan = {"usb_find_busses()", "usb_find_devices()",
                                          "usb_get_busses()"};

std::vector<std::string> rescanThen(std::vector<std::string> more)
{
    std::vector<std::string> all = kRescan;
    all.insert(all.end(), more.begin(), more.end());
    return all;
}

const int kSetupVendors[] = {0x0592, 0x06DA, 0x03F0};

} // namespace

TEST_F(Usb, OpenWithoutAMatchingBusAndFileGivesFalseAndDefinesNothing)
{
    addDevice("bus-1", "dev-a", 0x0592, 1);
    addDevice("bus-2", "dev-b", 0x0592, 2);
    host.ok("var u = new USB()");
    const char *entries[] = {
        "{dirName: 'bus-9', fileName: 'dev-a'}", // no such bus
        "{dirName: 'bus-1', fileName: 'dev-x'}", // no such file
        "{dirName: 'bus-1', fileName: 'dev-b'}", // the file is on the other bus
        "{dirName: 'BUS-1', fileName: 'dev-a'}", // names compare case-sensitively
        "{dirName: 'bus-1', fileName: 'dev-'}",  // and whole
        "{}",
    };
    for (const char *entry : entries) {
        SCOPED_TRACE(entry);
        clearCalls();
        EXPECT_EQ(host.ok(std::string("var e = ") + entry + "; u.open(e) + ':' + Object.keys(e)"),
                  std::string("false:") + host.ok("Object.keys(" + std::string(entry) + ")"));
        EXPECT_THAT(calls(), ElementsAreArray(kRescan));
    }
}

TEST_F(Usb, OpenOfAnotherVendorMakesNoConfigurationCall)
{
    addDevice("bus-1", "dev-a", 0x0593, 1);
    addDevice("bus-2", "dev-b", 0x046D, 0xC287, 3);
    host.ok("var u = new USB()");
    clearCalls();
    EXPECT_EQ(host.ok("var e = {dirName: 'bus-2', fileName: 'dev-b'}; u.open(e)"), "true");
    EXPECT_THAT(calls(), ElementsAreArray(rescanThen({"usb_open(bus-2/dev-b) -> h1"})));
    EXPECT_EQ(host.ok("e.handle"), handleNumber(1));
    EXPECT_EQ(host.ok("e.reportDescriptorSize"), "0");
    EXPECT_EQ(host.ok("['handle', 'reportDescriptorSize'].map(function (k) {"
                      "  var d = Object.getOwnPropertyDescriptor(e, k);"
                      "  return k + ':' + d.enumerable + ':' + d.writable; }).join()"),
              "handle:true:false,reportDescriptorSize:true:false");
    // An entry from enumerate works the same way.
    clearCalls();
    std::string result = host.ok("var d = u.enumerate()[0]; u.open(d) + ':' + d.handle");
    EXPECT_EQ(result, "true:" + handleNumber(2));
}

TEST_F(Usb, OpenSetsUpTheThreeVendors)
{
    host.ok("var u = new USB()");
    for (int vendor : kSetupVendors) {
        SCOPED_TRACE(vendor);
        fake.reset();
        busses.clear();
        addDevice("bus-1", "dev-a", vendor, 1);
        EXPECT_EQ(host.ok("u.open({dirName: 'bus-1', fileName: 'dev-a'})"), "true");
        EXPECT_THAT(calls(), ElementsAreArray(rescanThen(
                                 {"usb_open(bus-1/dev-a) -> h1", "usb_set_configuration(h1, 1)",
                                  "usb_claim_interface(h1, 0)", "usb_set_altinterface(h1, 0)",
                                  "usb_clear_halt(h1, 0x81)"})));
    }
}

TEST_F(Usb, AFailedClearHaltDoesNotFailOpen)
{
    addDevice("bus-1", "dev-a", 0x03F0, 1);
    fake.setResult("usb_clear_halt", -5, "halt not cleared");
    openEntry("bus-1", "dev-a", "true");
}

TEST_F(Usb, AFailingSetUpStepReportsTheLibraryErrorAndKeepsTheHandleForClose)
{
    const std::vector<std::string> steps = {"usb_set_configuration(h1, 1)", "usb_claim_interface(h1, 0)",
                                            "usb_set_altinterface(h1, 0)"};
    const char *functions[] = {"usb_set_configuration", "usb_claim_interface", "usb_set_altinterface"};
    host.ok("var u = new USB()");
    for (int vendor : kSetupVendors) {
        for (size_t step = 0; step < steps.size(); step++) {
            SCOPED_TRACE(std::to_string(vendor) + " " + functions[step]);
            fake.reset();
            busses.clear();
            addDevice("bus-1", "dev-a", vendor, 1, 3, {9, 0x21, 0x11, 1, 0, 1, 0x22, 0x34, 1});
            fake.setResult(functions[step], -22 - (int)step, "libusb0-dll:err [claim] failed");
            host.ok("var e = {dirName: 'bus-1', fileName: 'dev-a'}");
            EXPECT_EQ(errorOf(host, "u.open(e)"),
                      "USB.open: ERROR! Unable to open device: " + std::to_string(-22 - (int)step) +
                          " libusb0-dll:err [claim] failed");
            std::vector<std::string> expected = rescanThen({"usb_open(bus-1/dev-a) -> h1"});
            expected.insert(expected.end(), steps.begin(), steps.begin() + (long)step + 1);
            expected.push_back("usb_strerror()");
            EXPECT_THAT(calls(), ElementsAreArray(expected));
            EXPECT_EQ(host.ok("e.handle + ':' + ('reportDescriptorSize' in e)"),
                      handleNumber(1) + ":false");
            clearCalls();
            EXPECT_EQ(host.ok("u.close(e) + ':' + e.handle"), "true:0");
            EXPECT_THAT(calls(), ElementsAre("usb_release_interface(h1, 0)", "usb_close(h1)"));
        }
    }
}

TEST_F(Usb, OpenWhereTheLibraryGivesNoHandle)
{
    std::vector<unsigned char> hid = {9, 0x21, 0x11, 1, 0, 1, 0x22, 0x34, 1};
    addDevice("bus-1", "other", 0x046D, 1, 3, hid);
    addDevice("bus-1", "setup", 0x06DA, 1, 3, hid);
    fake.setResult("usb_open", 0, "libusb0-dll:err [open] could not open device");
    host.ok("var u = new USB()");
    clearCalls();
    // Another vendor: the entry is not open, but open itself succeeds.
    EXPECT_EQ(host.ok("var a = {dirName: 'bus-1', fileName: 'other'};"
                      "u.open(a) + ':' + a.handle + ':' + a.reportDescriptorSize"),
              "true:0:308");
    EXPECT_THAT(calls(), ElementsAreArray(rescanThen({"usb_open(bus-1/other) -> null"})));
    clearCalls();
    EXPECT_EQ(errorOf(host, "u.send(a, {length: 1})"), "USB.send: Device not initialized");
    EXPECT_EQ(errorOf(host, "u.getAnswer(a, {length: 1})"), "USB.read: Device not initialized");
    EXPECT_EQ(host.ok("u.close(a)"), "true");
    EXPECT_THAT(calls(), IsEmpty());
    // A set-up vendor: no configuration call without a handle, but the
    // library's reason.
    host.ok("var b = {dirName: 'bus-1', fileName: 'setup'}");
    EXPECT_EQ(errorOf(host, "u.open(b)"),
              "USB.open: ERROR! Unable to open device: libusb0-dll:err [open] could not open device");
    EXPECT_THAT(calls(), ElementsAreArray(rescanThen(
                             {"usb_open(bus-1/setup) -> null", "usb_strerror()"})));
    EXPECT_EQ(host.ok("b.handle + ':' + ('reportDescriptorSize' in b)"), "0:false");
}

TEST_F(Usb, OpenFindsTheReportDescriptorSizeInTheClassDescriptors)
{
    struct Case {
        const char *name;
        std::vector<unsigned char> extra;
        int size;
    };
    const Case cases[] = {
        {"HID descriptor", {9, 0x21, 0x11, 1, 0, 1, 0x22, 0x34, 0x01}, 308},
        {"after another class descriptor",
         {5, 0x24, 0, 0x10, 1, 9, 0x21, 0x11, 1, 0, 1, 0x22, 0x3F, 0}, 63},
        {"a HID descriptor shorter than 9 bytes is skipped",
         {6, 0x21, 0x11, 1, 0, 1, 9, 0x21, 0x11, 1, 0, 1, 0x22, 0x10, 0}, 16},
        {"a HID descriptor cut short at the end", {9, 0x21, 0x11, 1, 0, 1, 0x22, 0x34}, 0},
        {"length 0 ends the walk", {0, 0x21, 0x11, 1, 0, 1, 0x22, 0x34, 1}, 0},
        {"length 1 ends the walk", {1, 9, 0x21, 0x11, 1, 0, 1, 0x22, 0x34, 1}, 0},
        {"no class descriptors", {}, 0},
        {"no HID descriptor", {7, 5, 0x81, 3, 8, 0, 10}, 0},
    };
    host.ok("var u = new USB()");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fake.reset();
        busses.clear();
        addDevice("bus-1", "dev-a", 0x0592, 1, 3, c.extra);
        EXPECT_EQ(host.ok("var e = {dirName: 'bus-1', fileName: 'dev-a'};"
                          "u.open(e) + ':' + e.reportDescriptorSize"),
                  "true:" + std::to_string(c.size));
    }
    fake.reset();
    int bus = fake.addBus("bus-1");
    fake.addDevice(bus, "bare", 1, 2); // no configuration at all
    EXPECT_EQ(host.ok("var e = {dirName: 'bus-1', fileName: 'bare'};"
                      "u.open(e) + ':' + e.reportDescriptorSize"),
              "true:0");
}

TEST_F(Usb, OpenRescansAndFindsADevicePluggedInSinceEnumerate)
{
    host.ok("var u = new USB(); var before = u.enumerate().length");
    addDevice("bus-1", "dev-a", 1, 2);
    EXPECT_EQ(host.ok("before + ':' + u.open({dirName: 'bus-1', fileName: 'dev-a'})"), "0:true");
}

TEST_F(Usb, OpeningAnOpenEntryAgainMakesASecondHandle)
{
    addDevice("bus-1", "dev-a", 0x1234, 1);
    openEntry("bus-1", "dev-a");
    std::string result = host.ok("u.open(e) + ':' + e.handle");
    EXPECT_EQ(result, "true:" + handleNumber(2));
    EXPECT_THAT(calls(), ElementsAreArray(rescanThen({"usb_open(bus-1/dev-a) -> h2"})));
    clearCalls();
    host.ok("u.close(e)");
    EXPECT_THAT(calls(), ElementsAre("usb_release_interface(h2, 0)", "usb_close(h2)"));
}

TEST_F(Usb, CloseReleasesTheHandleOnceAndLeavesHandleZero)
{
    addDevice("bus-1", "dev-a", 0x0592, 1);
    openEntry("bus-1", "dev-a");
    EXPECT_EQ(host.ok("u.close(e) + ':' + e.handle"), "true:0");
    EXPECT_THAT(calls(), ElementsAre("usb_release_interface(h1, 0)", "usb_close(h1)"));
    EXPECT_EQ(host.ok("var d = Object.getOwnPropertyDescriptor(e, 'handle');"
                      "d.enumerable + ':' + d.writable"),
              "true:false");
    clearCalls();
    EXPECT_EQ(host.ok("u.close(e)"), "true");
    EXPECT_THAT(calls(), IsEmpty());
}

TEST_F(Usb, CloseWorksOnTheEntryAloneAndIgnoresHandlesItDidNotOpen)
{
    addDevice("bus-1", "dev-a", 0x1234, 1);
    openEntry("bus-1", "dev-a");
    // Through the prototype: no instance needed.
    EXPECT_EQ(host.ok("var copy = {handle: e.handle}; USB.prototype.close(e)"), "true");
    EXPECT_THAT(calls(), ElementsAre("usb_release_interface(h1, 0)", "usb_close(h1)"));
    clearCalls();
    // A copy of a handle already released, a forged number, no handle.
    EXPECT_EQ(host.ok("var f = {handle: 12345}, n = {};"
                      "[u.close(copy), u.close(f), u.close(n), copy.handle, f.handle, n.handle].join()"),
              "true,true,true,0,0,0");
    EXPECT_THAT(calls(), IsEmpty());
}

TEST_F(Usb, OpenAndCloseCheckTheirArguments)
{
    addDevice("bus-1", "", 0x1234, 1);
    host.ok("var u = new USB()");
    clearCalls();
    EXPECT_EQ(errorOf(host, "u.open()"), "Native function format error: USB.open(<device>)");
    EXPECT_EQ(errorOf(host, "u.close()"), "Native function format error: USB.close(<device>)");
    EXPECT_THAT(calls(), IsEmpty());
    // Values that are not entries: nothing matches, nothing breaks.
    EXPECT_EQ(host.ok("[u.open(undefined), u.open(null), u.open(5), u.open('bus-1'), u.open(true),"
                      " u.close(undefined), u.close(null), u.close(7), u.close('x')].join()"),
              "false,false,false,false,false,true,true,true,true");
    EXPECT_THAT(calls(), testing::Not(testing::Contains(testing::HasSubstr("usb_open"))));
    // A frozen entry cannot take `handle`: a script error, and the host goes on.
    EXPECT_NE(errorOf(host, "u.close(Object.freeze({handle: 0}))"), "no error");
    EXPECT_EQ(host.ok("1 + 1"), "2");
}
