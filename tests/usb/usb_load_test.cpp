// tarnic.dll as scripthost.exe loads it: without libusb0.dll, and with the
// fake found through PATH.
#include <windows.h>

#include <gmock/gmock.h>

#include <fstream>
#include <sstream>

#include "tests/support/script_host.h"
#include "tests/usb/usb_fixture.h"

using testing::HasSubstr;
using testing_support::runScript;
using testing_support::unixLines;

namespace {

// Sets an environment variable for the child processes of one test.
class ScopedEnv {
public:
    ScopedEnv(const wchar_t *name, const std::wstring &value) : name_(name)
    {
        wchar_t buf[32768];
        DWORD n = GetEnvironmentVariableW(name, buf, 32768);
        had_ = n > 0 && n < 32768;
        if (had_)
            old_.assign(buf, n);
        SetEnvironmentVariableW(name, value.c_str());
    }
    ~ScopedEnv() { SetEnvironmentVariableW(name_, had_ ? old_.c_str() : nullptr); }

private:
    const wchar_t *name_;
    bool had_;
    std::wstring old_;
};

std::wstring wide(const std::string &s) { return std::wstring(s.begin(), s.end()); }

std::wstring pathWithFakes()
{
    wchar_t buf[32768];
    DWORD n = GetEnvironmentVariableW(L"PATH", buf, 32768);
    return wide(fakesFolder()) + L";" + std::wstring(buf, n < 32768 ? n : 0);
}

} // namespace

TEST(UsbLoad, MissingLibusb0IsNamedInTheLoadError)
{
    SetDllDirectoryW(nullptr);
    ASSERT_EQ(GetFileAttributesW(wide(testing_support::binFolder() + "libusb0.dll").c_str()),
              INVALID_FILE_ATTRIBUTES)
        << "a libusb0.dll next to the shipped modules";
    testing_support::ProcessResult r = runScript("// USB\nloadModule('tarnic'); print('loaded');");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    // Blamed on the script's line, not on the host's source.
    EXPECT_THAT(r.err, HasSubstr(".js:2: Error: loadModule: cannot load tarnic.dll: "));
    EXPECT_THAT(r.err, HasSubstr("; missing libusb0.dll (needed by tarnic.dll)"));
}

TEST(UsbLoad, TheExampleListsTheDevicesInScripthost)
{
    std::ifstream file(testing_support::binFolder() + "..\\tests\\usb\\usb-list.js");
    ASSERT_TRUE(file.good());
    std::stringstream source;
    source << file.rdbuf();
    ScopedEnv path(L"PATH", pathWithFakes());
    {
        ScopedEnv devices(L"FAKE_USB0_DEVICES", L"");
        testing_support::ProcessResult r = runScript(source.str());
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(unixLines(r.out), "No USB devices found.\n");
    }
    ScopedEnv devices(L"FAKE_USB0_DEVICES",
                      L"bus-0 \\\\.\\libusb0-0001--0x0592-0x0002 0592 0002 3;"
                      L"bus-0 \\\\.\\libusb0-0002--0x046d-0xc287 046d c287 8;"
                      L"bus-1 \\\\.\\libusb0-0003--0x1234-0x0001 1234 0001 -1");
    testing_support::ProcessResult r = runScript(source.str());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(unixLines(r.out), "Found: 1426: 2\n"
                                "Found: 1133: 49799\n"
                                "Found: 4660: 1\n"
                                "0592:0002  HID  bus-0 \\\\.\\libusb0-0001--0x0592-0x0002\n"
                                "046D:C287       bus-0 \\\\.\\libusb0-0002--0x046d-0xc287\n"
                                "1234:0001       bus-1 \\\\.\\libusb0-0003--0x1234-0x0001\n");
}
