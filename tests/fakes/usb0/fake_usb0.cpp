// A fake libusb0.dll for the tests of tarnic.dll: the libusb-0.1 functions
// over a simulated bus list, with a log of every call.  Built into a folder
// of its own, never next to the shipped modules.
#define FAKE_USB0_BUILD
#include "tests/fakes/usb0/fake_usb0.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "usb/usb0.h"

#define EXPORT extern "C" __declspec(dllexport)

namespace {

struct Device {
    usb_device record;
    usb_config_descriptor config;
    std::vector<usb_interface> interfaces;
    std::vector<usb_interface_descriptor> altsettings;
    std::vector<unsigned char> extra;
};

struct Handle {
    int id;
    Device *device;
    bool open;
};

struct Answer {
    int result;
    bool hasData;
    std::vector<unsigned char> data;
    bool hasError;
    std::string error;
};

struct Result {
    int result;
    std::string error;
};

// Records keep their addresses: the module holds pointers into them.
std::deque<usb_bus> g_busses;
std::deque<Device> g_devices;
// Handles are never freed, so that a stale handle never names a new one.
std::deque<Handle> g_handles;
size_t g_firstHandle = 0; // first handle made since the last reset
usb_bus *g_published = nullptr; // the list as of the last rescan
std::map<std::string, Result> g_results;
std::map<std::string, std::deque<Answer>> g_answers;
std::vector<std::string> g_calls;
std::string g_callText;
std::string g_error;
FakeUsbHook g_hook = nullptr;

void record(const char *function, const std::string &line)
{
    g_calls.push_back(line);
    if (g_hook)
        g_hook(function);
}

std::string format(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char *fmt, ...)
{
    char buf[1024];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    return buf;
}

Handle *findHandle(usb_dev_handle *h)
{
    for (Handle &handle : g_handles)
        if ((usb_dev_handle *)&handle == h)
            return &handle;
    return nullptr;
}

std::string handleName(usb_dev_handle *h)
{
    Handle *handle = findHandle(h);
    if (!handle)
        return "h?";
    return format("h%d%s", handle->id, handle->open ? "" : "(closed)");
}

std::string bytesText(const char *bytes, int size)
{
    std::string s = "[";
    for (int i = 0; bytes && i < size; i++)
        s += format(i ? " %02X" : "%02X", (unsigned char)bytes[i]);
    return s + "]";
}

// A scripted result of a set-up function, or `fallback`.
int resultOf(const char *function, int fallback)
{
    auto it = g_results.find(function);
    if (it == g_results.end())
        return fallback;
    g_error = it->second.error;
    return it->second.result;
}

// An operation on a handle the fake never made, or already closed: a real
// library would crash; the fake says so in the log and fails.
bool usable(usb_dev_handle *h)
{
    Handle *handle = findHandle(h);
    return handle && handle->open;
}

int transfer(const char *function, char *bytes, int size, int fallback)
{
    std::deque<Answer> &queue = g_answers[function];
    if (queue.empty())
        return fallback;
    Answer a = queue.front();
    queue.pop_front();
    if (a.hasData && bytes && size > 0)
        memcpy(bytes, a.data.data(), a.data.size() < (size_t)size ? a.data.size() : (size_t)size);
    if (a.hasError)
        g_error = a.error;
    return a.result;
}

// Like the library, a name of LIBUSB_PATH_MAX bytes or more fills the field
// without a terminator.
void copyPath(char *field, const char *name)
{
    size_t n = strlen(name);
    memcpy(field, name, n < LIBUSB_PATH_MAX ? n + 1 : LIBUSB_PATH_MAX);
}

void link()
{
    for (size_t i = 0; i < g_busses.size(); i++) {
        g_busses[i].prev = i ? &g_busses[i - 1] : nullptr;
        g_busses[i].next = i + 1 < g_busses.size() ? &g_busses[i + 1] : nullptr;
    }
}

void resetAll()
{
    g_busses.clear();
    g_devices.clear();
    g_firstHandle = g_handles.size();
    g_published = nullptr;
    g_results.clear();
    g_answers.clear();
    g_calls.clear();
    g_error.clear();
    g_hook = nullptr;
}

// Devices for child processes, from FAKE_USB0_DEVICES.
struct EnvironmentSetUp {
    EnvironmentSetUp()
    {
        const char *text = getenv("FAKE_USB0_DEVICES");
        if (!text)
            return;
        std::string all = text;
        size_t start = 0;
        while (start < all.size()) {
            size_t end = all.find(';', start);
            if (end == std::string::npos)
                end = all.size();
            std::string item = all.substr(start, end - start);
            start = end + 1;
            char dir[256], file[256];
            unsigned vid, pid;
            int cls;
            if (sscanf(item.c_str(), "%255s %255s %x %x %d", dir, file, &vid, &pid, &cls) != 5)
                continue;
            int bus = -1;
            for (size_t i = 0; i < g_busses.size(); i++)
                if (strcmp(g_busses[i].dirname, dir) == 0)
                    bus = (int)i;
            if (bus < 0)
                bus = fake_usb_add_bus(dir);
            int device = fake_usb_add_device(bus, file, (int)vid, (int)pid);
            if (cls >= 0)
                fake_usb_set_interface(device, 1, 1, cls, nullptr, 0);
        }
    }
} g_environmentSetUp;

} // namespace

// --- the library --------------------------------------------------------------

EXPORT void usb_init(void) { record("usb_init", "usb_init()"); }

EXPORT void usb_set_debug(int level) { record("usb_set_debug", format("usb_set_debug(%d)", level)); }

EXPORT int usb_find_busses(void)
{
    record("usb_find_busses", "usb_find_busses()");
    return 0;
}

EXPORT int usb_find_devices(void)
{
    record("usb_find_devices", "usb_find_devices()");
    g_published = g_busses.empty() ? nullptr : &g_busses[0];
    return 0;
}

EXPORT usb_bus *usb_get_busses(void)
{
    record("usb_get_busses", "usb_get_busses()");
    return g_published;
}

EXPORT usb_dev_handle *usb_open(usb_device *dev)
{
    Device *device = nullptr;
    for (Device &d : g_devices)
        if (&d.record == dev)
            device = &d;
    std::string name = device ? std::string(dev->bus->dirname, strnlen(dev->bus->dirname, LIBUSB_PATH_MAX)) + "/" +
                                    std::string(dev->filename, strnlen(dev->filename, LIBUSB_PATH_MAX))
                              : "?";
    usb_dev_handle *h = nullptr;
    if (device && resultOf("usb_open", 1) != 0) {
        int id = (int)(g_handles.size() - g_firstHandle) + 1;
        g_handles.push_back(Handle{id, device, true});
        h = (usb_dev_handle *)&g_handles.back();
    }
    record("usb_open", format("usb_open(%s) -> %s", name.c_str(), h ? handleName(h).c_str() : "null"));
    return h;
}

EXPORT int usb_close(usb_dev_handle *dev)
{
    std::string name = handleName(dev);
    int result = usable(dev) ? resultOf("usb_close", 0) : -22;
    if (Handle *handle = findHandle(dev))
        handle->open = false;
    record("usb_close", format("usb_close(%s)", name.c_str()));
    return result;
}

#define HANDLE_CALL(function, fmt, arg)                                                         \
    EXPORT int function(usb_dev_handle *dev, int arg)                                           \
    {                                                                                           \
        record(#function, format(#function "(%s, " fmt ")", handleName(dev).c_str(), arg));     \
        return usable(dev) ? resultOf(#function, 0) : -22;                                      \
    }

HANDLE_CALL(usb_set_configuration, "%d", configuration)
HANDLE_CALL(usb_claim_interface, "%d", interface_number)
HANDLE_CALL(usb_release_interface, "%d", interface_number)
HANDLE_CALL(usb_set_altinterface, "%d", alternate)

EXPORT int usb_clear_halt(usb_dev_handle *dev, unsigned int ep)
{
    record("usb_clear_halt", format("usb_clear_halt(%s, 0x%02X)", handleName(dev).c_str(), ep));
    return usable(dev) ? resultOf("usb_clear_halt", 0) : -22;
}

EXPORT int usb_control_msg(usb_dev_handle *dev, int requesttype, int request, int value, int index,
                           char *bytes, int size, int timeout)
{
    record("usb_control_msg",
           format("usb_control_msg(%s, 0x%02X, %d, %d, %d, %s, %d, %d)", handleName(dev).c_str(),
                  requesttype, request, value, index, bytesText(bytes, size).c_str(), size, timeout));
    if (!usable(dev))
        return -22;
    return transfer("usb_control_msg", bytes, size, size);
}

EXPORT int usb_interrupt_read(usb_dev_handle *dev, int ep, char *bytes, int size, int timeout)
{
    record("usb_interrupt_read",
           format("usb_interrupt_read(%s, 0x%02X, %s, %d, %d)", handleName(dev).c_str(), ep,
                  bytesText(bytes, size).c_str(), size, timeout));
    if (!usable(dev))
        return -22;
    return transfer("usb_interrupt_read", bytes, size, 0);
}

EXPORT char *usb_strerror(void)
{
    record("usb_strerror", "usb_strerror()");
    return (char *)g_error.c_str();
}

// --- the test interface -------------------------------------------------------

EXPORT void fake_usb_reset(void) { resetAll(); }

EXPORT int fake_usb_add_bus(const char *dirname)
{
    g_busses.emplace_back();
    usb_bus &bus = g_busses.back();
    memset(&bus, 0, sizeof bus);
    copyPath(bus.dirname, dirname);
    bus.location = (unsigned long)g_busses.size();
    link();
    return (int)g_busses.size() - 1;
}

EXPORT int fake_usb_add_device(int busNumber, const char *filename, int idVendor, int idProduct)
{
    if (busNumber < 0 || (size_t)busNumber >= g_busses.size())
        return -1;
    usb_bus *bus = &g_busses[(size_t)busNumber];
    g_devices.emplace_back();
    Device &d = g_devices.back();
    memset(&d.record, 0, sizeof d.record);
    memset(&d.config, 0, sizeof d.config);
    copyPath(d.record.filename, filename);
    d.record.bus = bus;
    d.record.descriptor.bLength = 18;
    d.record.descriptor.bDescriptorType = 1;
    d.record.descriptor.idVendor = (unsigned short)idVendor;
    d.record.descriptor.idProduct = (unsigned short)idProduct;
    d.record.devnum = (unsigned char)g_devices.size();
    usb_device **tail = &bus->devices;
    usb_device *prev = nullptr;
    while (*tail) {
        prev = *tail;
        tail = &(*tail)->next;
    }
    d.record.prev = prev;
    *tail = &d.record;
    return (int)g_devices.size() - 1;
}

EXPORT void fake_usb_set_interface(int device, int numInterfaces, int numAltsettings,
                                   int interfaceClass, const unsigned char *extra, int extralen)
{
    if (device < 0 || (size_t)device >= g_devices.size())
        return;
    Device &d = g_devices[(size_t)device];
    d.extra.assign(extra, extra + (extra && extralen > 0 ? extralen : 0));
    d.altsettings.assign(numAltsettings > 0 ? (size_t)numAltsettings : 0, usb_interface_descriptor());
    for (usb_interface_descriptor &alt : d.altsettings) {
        memset(&alt, 0, sizeof alt);
        alt.bLength = 9;
        alt.bDescriptorType = 4;
        alt.bInterfaceClass = (unsigned char)interfaceClass;
    }
    if (!d.altsettings.empty()) {
        d.altsettings[0].extra = d.extra.empty() ? nullptr : d.extra.data();
        d.altsettings[0].extralen = (int)d.extra.size();
    }
    d.interfaces.assign(numInterfaces > 0 ? (size_t)numInterfaces : 0, usb_interface());
    for (usb_interface &i : d.interfaces) {
        i.altsetting = nullptr;
        i.num_altsetting = 0;
    }
    if (!d.interfaces.empty()) {
        d.interfaces[0].altsetting = d.altsettings.empty() ? nullptr : d.altsettings.data();
        d.interfaces[0].num_altsetting = (int)d.altsettings.size();
    }
    d.config.bLength = 9;
    d.config.bDescriptorType = 2;
    d.config.bNumInterfaces = (unsigned char)d.interfaces.size();
    d.config.bConfigurationValue = 1;
    d.config.interface = d.interfaces.empty() ? nullptr : d.interfaces.data();
    d.record.config = &d.config;
    d.record.descriptor.bNumConfigurations = 1;
}

EXPORT void fake_usb_set_result(const char *function, int result, const char *errorText)
{
    g_results[function] = Result{result, errorText ? errorText : ""};
}

EXPORT void fake_usb_queue_transfer(const char *function, int result, const unsigned char *data,
                                    int length, const char *errorText)
{
    Answer a;
    a.result = result;
    a.hasData = data != nullptr;
    if (data && length > 0)
        a.data.assign(data, data + length);
    a.hasError = errorText != nullptr;
    a.error = errorText ? errorText : "";
    g_answers[function].push_back(a);
}

EXPORT const char *fake_usb_calls(void)
{
    g_callText.clear();
    for (const std::string &line : g_calls)
        g_callText += line + "\n";
    return g_callText.c_str();
}

EXPORT void fake_usb_clear_calls(void) { g_calls.clear(); }

EXPORT intptr_t fake_usb_handle(int n)
{
    size_t index = g_firstHandle + (size_t)n - 1;
    if (n < 1 || index >= g_handles.size())
        return 0;
    return (intptr_t)&g_handles[index];
}

EXPORT void fake_usb_set_hook(FakeUsbHook hook) { g_hook = hook; }
