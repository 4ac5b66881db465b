#include "tests/usb/usb_fixture.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cstdio>

namespace {

std::wstring wide(const std::string &s)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), nullptr, 0);
    std::wstring w((size_t)n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), &w[0], n);
    return w;
}

template <class F> bool resolve(HMODULE module, const char *name, F *out)
{
    *out = (F)(void *)GetProcAddress(module, name);
    return *out != nullptr;
}

} // namespace

std::string fakesFolder() { return testing_support::binFolder() + "..\\fakes"; }

std::string captureStdout(const std::function<void()> &f)
{
    std::fflush(stdout);
    std::string path = testing_support::tempPath(".out");
    int fd = _wopen(wide(path).c_str(), _O_CREAT | _O_TRUNC | _O_RDWR | _O_BINARY,
                    _S_IREAD | _S_IWRITE);
    if (fd < 0) {
        ADD_FAILURE() << "cannot create " << path;
        f();
        return std::string();
    }
    int saved = _dup(1);
    _dup2(fd, 1);
    f();
    std::fflush(stdout);
    _dup2(saved, 1);
    _close(saved);
    std::string text;
    _lseek(fd, 0, SEEK_SET);
    char buf[4096];
    int n;
    while ((n = _read(fd, buf, sizeof buf)) > 0)
        text.append(buf, (size_t)n);
    _close(fd);
    _wunlink(wide(path).c_str());
    return testing_support::unixLines(text);
}

std::vector<std::string> splitLines(const std::string &text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

void Usb::SetUp()
{
    // The folder of the fake for the loader, then the fake itself by its
    // full name: tarnic.dll's import of libusb0.dll binds to the module
    // already loaded under that name.
    std::wstring dir = wide(fakesFolder());
    ASSERT_TRUE(SetDllDirectoryW(dir.c_str()));
    HMODULE module = LoadLibraryW((dir + L"\\libusb0.dll").c_str());
    ASSERT_NE(module, nullptr) << "no fake libusb0.dll in " << fakesFolder();
    ASSERT_TRUE(resolve(module, "fake_usb_reset", &fake.reset) &&
                resolve(module, "fake_usb_add_bus", &fake.addBus) &&
                resolve(module, "fake_usb_add_device", &fake.addDevice) &&
                resolve(module, "fake_usb_set_interface", &fake.setInterface) &&
                resolve(module, "fake_usb_set_result", &fake.setResult) &&
                resolve(module, "fake_usb_queue_transfer", &fake.queueTransfer) &&
                resolve(module, "fake_usb_calls", &fake.callText) &&
                resolve(module, "fake_usb_clear_calls", &fake.clearCalls) &&
                resolve(module, "fake_usb_handle", &fake.handle) &&
                resolve(module, "fake_usb_set_hook", &fake.setHook));
    ASSERT_EQ(host.load("tarnic"), "");
    ASSERT_EQ(GetModuleHandleW(L"libusb0.dll"), module) << "tarnic.dll is not bound to the fake";
    fake.reset();
}

int Usb::addDevice(const std::string &dir, const std::string &file, int vendor, int product,
                   int interfaceClass, const std::vector<unsigned char> &extra)
{
    int bus = -1;
    for (auto &b : busses)
        if (b.first == dir)
            bus = b.second;
    if (bus < 0) {
        bus = fake.addBus(dir.c_str());
        busses.emplace_back(dir, bus);
    }
    int device = fake.addDevice(bus, file.c_str(), vendor, product);
    fake.setInterface(device, 1, 1, interfaceClass, extra.empty() ? nullptr : extra.data(),
                      (int)extra.size());
    return device;
}

void Usb::openEntry(const std::string &dir, const std::string &file, const std::string &expect)
{
    EXPECT_EQ(host.eval("var u = new USB(); var e = {dirName: '" + dir + "', fileName: '" + file +
                        "'}; u.open(e)"),
              expect);
    clearCalls();
}

std::string Usb::handleNumber(int n) { return std::to_string((int32_t)fake.handle(n)); }
