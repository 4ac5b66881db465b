// The test bench of the serial tests: the script host with pellun.dll, and
// the far end of the pseudo-terminal pair, driven by the test as the device.
#ifndef TESTS_SERIAL_PORT_FIXTURE_H
#define TESTS_SERIAL_PORT_FIXTURE_H

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/serial/import_hooks.h"
#include "tests/support/script_host.h"

namespace serial_test {

// \\.\COMn: names from COM10 on must be opened through the device namespace.
std::string comName(int number);
// A script string literal of arbitrary bytes.
std::string jsBytes(const std::string &bytes);
std::string jsString(const std::string &text) ;
std::string hex(const std::string &bytes);
std::string allByteValues(); // 0..255

// The far end: a port opened with plain Win32, raw 8N1, no flow control.
class DeviceEnd {
public:
    ~DeviceEnd();
    std::string open(const std::string &name); // "" or the error
    void close();
    void write(const std::string &bytes);
    // Waits until n bytes are queued (at most timeoutMs), then reads up to n.
    std::string read(size_t n, DWORD timeoutMs = 5000);
    // Discards whatever arrives until the line has been quiet for quietMs.
    void drain(DWORD quietMs = 50);
    HANDLE handle() const { return h_; }

private:
    HANDLE h_ = INVALID_HANDLE_VALUE;
};

// Bytes queued on a handle; waits up to timeoutMs for at least n.
DWORD waitQueued(HANDLE h, DWORD n, DWORD timeoutMs = 5000);

class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string eval(const std::string &js) { return host_->eval(js); }
    std::string ok(const std::string &js) { return host_->ok(js); }
    // The message of what js throws, or "no error: <result>".
    std::string thrown(const std::string &js);
    // The handle of the script's port, from the settings object named in js.
    HANDLE scriptHandle(const std::string &settings);
    // Opens the script port as `s` with settings object `p` (plus extra
    // properties, e.g. "baudRate: 9600"); fails the test when it does not open.
    void openScriptPort(const std::string &extra = "");

    std::unique_ptr<testing_support::ScriptHost> host_;
    DeviceEnd device_;
    std::string scriptPort_, devicePort_;
};

bool runningOnWine();

} // namespace serial_test

#endif
