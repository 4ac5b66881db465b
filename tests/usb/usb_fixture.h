// The fixture of the USB tests: an in-process host with tarnic.dll bound to
// the fake libusb0.dll of build/fakes.
#ifndef TESTS_USB_USB_FIXTURE_H
#define TESTS_USB_USB_FIXTURE_H

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/fakes/usb0/fake_usb0.h"
#include "tests/support/script_host.h"

// The fake's test interface, looked up in the loaded DLL.
struct FakeUsb0 {
    decltype(&fake_usb_reset) reset = nullptr;
    decltype(&fake_usb_add_bus) addBus = nullptr;
    decltype(&fake_usb_add_device) addDevice = nullptr;
    decltype(&fake_usb_set_interface) setInterface = nullptr;
    decltype(&fake_usb_set_result) setResult = nullptr;
    decltype(&fake_usb_queue_transfer) queueTransfer = nullptr;
    decltype(&fake_usb_calls) callText = nullptr;
    decltype(&fake_usb_clear_calls) clearCalls = nullptr;
    decltype(&fake_usb_handle) handle = nullptr;
    decltype(&fake_usb_set_hook) setHook = nullptr;
};

// build/fakes, as a Windows path without a trailing backslash.
std::string fakesFolder();
// Runs f with the C runtime's standard output going to a file; returns what
// was written there, with \r\n as \n.
std::string captureStdout(const std::function<void()> &f);
std::vector<std::string> splitLines(const std::string &text);

class Usb : public ::testing::Test {
protected:
    void SetUp() override;

    // The library calls logged since the last reset or clear.
    std::vector<std::string> calls() { return splitLines(fake.callText()); }
    void clearCalls() { fake.clearCalls(); }
    // A device on bus `dir` (made when missing) with one configuration whose
    // first interface has the class, and extra bytes.
    int addDevice(const std::string &dir, const std::string &file, int vendor, int product,
                  int interfaceClass = 0xFF, const std::vector<unsigned char> &extra = {});
    // `var u = new USB(); var e = {dirName: ..., fileName: ...}; u.open(e)`,
    // failing the test unless it gives `expect`; the log is cleared after.
    void openEntry(const std::string &dir, const std::string &file, const std::string &expect = "true");
    // The handle hN as the number scripts see.
    std::string handleNumber(int n);

    testing_support::ScriptHost host;
    FakeUsb0 fake;
    std::vector<std::pair<std::string, int>> busses;
};

#endif
