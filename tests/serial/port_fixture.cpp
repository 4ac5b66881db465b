#include "tests/serial/port_fixture.h"

#include <algorithm>
#include <cstdio>

namespace serial_test {

std::string comName(int number) { return "\\\\.\\COM" + std::to_string(number); }

std::string jsBytes(const std::string &bytes)
{
    std::string s = "\"";
    char buf[8];
    for (unsigned char c : bytes) {
        std::snprintf(buf, sizeof buf, "\\x%02x", c);
        s += buf;
    }
    return s + "\"";
}

std::string jsString(const std::string &text) { return jsBytes(text); }

std::string hex(const std::string &bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (unsigned char c : bytes) {
        s += digits[c >> 4];
        s += digits[c & 15];
    }
    return s;
}

std::string allByteValues()
{
    std::string s;
    for (int i = 0; i < 256; i++)
        s += (char)i;
    return s;
}

bool runningOnWine()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

DeviceEnd::~DeviceEnd() { close(); }

std::string DeviceEnd::open(const std::string &name)
{
    close();
    h_ = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                     nullptr);
    if (h_ == INVALID_HANDLE_VALUE)
        return "cannot open " + name + " (error " + std::to_string(GetLastError()) +
               "): the tests need the SerialPtyPair fixture of ctest (tests/serial/pty_pair.sh)";
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    GetCommState(h_, &dcb);
    dcb.BaudRate = 9600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = 1;
    dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = 0;
    dcb.fOutX = dcb.fInX = 0;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    SetCommState(h_, &dcb);
    COMMTIMEOUTS t = {MAXDWORD, 0, 0, 0, 0}; // ReadFile returns what is queued
    SetCommTimeouts(h_, &t);
    return "";
}

void DeviceEnd::close()
{
    if (h_ != INVALID_HANDLE_VALUE)
        CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
}

void DeviceEnd::write(const std::string &bytes)
{
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(h_, bytes.data(), (DWORD)bytes.size(), &written, nullptr));
    ASSERT_EQ(written, bytes.size());
}

DWORD waitQueued(HANDLE h, DWORD n, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        DWORD errors;
        COMSTAT st = {};
        if (!ClearCommError(h, &errors, &st))
            return 0;
        if (st.cbInQue >= n || GetTickCount() - start >= timeoutMs)
            return st.cbInQue;
        Sleep(1);
    }
}

std::string DeviceEnd::read(size_t n, DWORD timeoutMs)
{
    std::string out;
    DWORD start = GetTickCount();
    // The pty queue holds less than 4 KiB: take what comes, in pieces.
    while (out.size() < n && GetTickCount() - start < timeoutMs) {
        DWORD queued = waitQueued(h_, 1, 20);
        if (!queued)
            continue;
        std::string piece(std::min<size_t>(queued, n - out.size()), '\0');
        DWORD got = 0;
        if (!ReadFile(h_, &piece[0], (DWORD)piece.size(), &got, nullptr))
            break;
        out.append(piece.data(), got);
    }
    return out;
}

void DeviceEnd::drain(DWORD quietMs)
{
    char buf[4096];
    for (;;) {
        if (!waitQueued(h_, 1, quietMs))
            return;
        DWORD got = 0;
        ReadFile(h_, buf, sizeof buf, &got, nullptr);
    }
}

void SerialPortTest::SetUp()
{
    scriptPort_ = comName(SERIAL_TEST_COM_SCRIPT);
    devicePort_ = comName(SERIAL_TEST_COM_DEVICE);
    // Bytes left over from an earlier test are discarded on both sides.
    {
        DeviceEnd scriptSide;
        std::string error = scriptSide.open(scriptPort_);
        ASSERT_EQ(error, "");
        scriptSide.drain();
    }
    ASSERT_EQ(device_.open(devicePort_), "");
    device_.drain();

    host_.reset(new testing_support::ScriptHost(true));
    ASSERT_NE(host_->context(), nullptr);
    ASSERT_EQ(loadRecordedModule(host_->context()), "");
    ok("var PORT = " + jsString(scriptPort_) + ", DEVICE_PORT = " + jsString(devicePort_) + ";" +
       "function hex(s) { var d = '0123456789abcdef', o = '';"
       "  for (var i = 0; i < s.length; i++) { var c = s.charCodeAt(i);"
       "    o += c > 255 ? '<' + c + '>' : d.charAt(c >> 4) + d.charAt(c & 15); }"
       "  return o; }");
    calls().clear();
}

void SerialPortTest::TearDown()
{
    host_.reset(); // its finalizers close what the scripts left open
    device_.close();
}

std::string SerialPortTest::thrown(const std::string &js)
{
    return eval("(function () { try { var r = (function () { " + js +
                " })(); return 'no error: ' + r; } catch (e) { return e.message; } })()");
}

HANDLE SerialPortTest::scriptHandle(const std::string &settings)
{
    std::string h = ok(settings + ".handle");
    return (HANDLE)(intptr_t)std::stol(h);
}

void SerialPortTest::openScriptPort(const std::string &extra)
{
    std::string more = extra.empty() ? "" : ", " + extra;
    ASSERT_EQ(ok("var s = new Serial(), p = {port: PORT" + more + "}; s.open(p)"), "true");
}

} // namespace serial_test
