// The test-only exports of the fake libusb0.dll, and a loader for tests.
//
// The fake implements the libusb-0.1 functions that tarnic.dll imports over
// a simulated bus list.  Tests set the list up, script the answers and
// failures, and read back the log of every library call, one line a call:
//   usb_init()                      usb_set_debug(4)
//   usb_find_busses()               usb_find_devices()      usb_get_busses()
//   usb_open(DIR/FILE) -> h1        usb_open(DIR/FILE) -> null
//   usb_set_configuration(h1, 1)    usb_claim_interface(h1, 0)
//   usb_set_altinterface(h1, 0)     usb_clear_halt(h1, 0x81)
//   usb_release_interface(h1, 0)    usb_close(h1)
//   usb_control_msg(h1, 0xC0, 1, 2, 3, [00 00], 2, 5000)
//   usb_interrupt_read(h1, 0x81, [00 00], 2, 5000)
//   usb_strerror()
// Handles are named h1, h2, ... in the order usb_open made them; a handle the
// fake never made shows as h?, one already closed as hN(closed).  The
// bracketed bytes are the buffer as the library received it.
//
// Without a test's set-up, FAKE_USB0_DEVICES may describe devices for child
// processes: "DIR FILE VID PID CLASS;..." with hexadecimal ids and CLASS -1
// for a device without configuration.
#ifndef TESTS_FAKES_USB0_FAKE_USB0_H
#define TESTS_FAKES_USB0_FAKE_USB0_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifdef FAKE_USB0_BUILD
#define FAKE_USB0_API __declspec(dllexport)
#else
#define FAKE_USB0_API
#endif

typedef void (*FakeUsbHook)(const char *function);

// Everything back to an empty bus list, no scripted answers, an empty log
// and an empty error text.
FAKE_USB0_API void fake_usb_reset(void);
// A bus at the end of the list; returns its number.
FAKE_USB0_API int fake_usb_add_bus(const char *dirname);
// A device at the end of the bus's list, without configuration; returns its
// number.
FAKE_USB0_API int fake_usb_add_device(int bus, const char *filename, int idVendor, int idProduct);
// Gives the device one configuration with numInterfaces interfaces, the
// first with numAltsettings alternate settings; the first of those has the
// interface class and the extra bytes (class descriptors).
FAKE_USB0_API void fake_usb_set_interface(int device, int numInterfaces, int numAltsettings,
                                          int interfaceClass, const unsigned char *extra,
                                          int extralen);
// From now on `function` (usb_open, usb_set_configuration,
// usb_claim_interface, usb_set_altinterface, usb_clear_halt,
// usb_release_interface, usb_close) returns `result` and sets the error
// text.  For usb_open a result of 0 means null.
FAKE_USB0_API void fake_usb_set_result(const char *function, int result, const char *errorText);
// The answer to the next call of usb_control_msg or usb_interrupt_read: data
// (may be null) copied into the buffer, at most its size, then `result`
// returned; errorText (may be null) becomes the error text.  Without one,
// usb_control_msg returns its size and usb_interrupt_read returns 0.
FAKE_USB0_API void fake_usb_queue_transfer(const char *function, int result,
                                           const unsigned char *data, int length,
                                           const char *errorText);
// The log since the last reset or clear, a line a call.
FAKE_USB0_API const char *fake_usb_calls(void);
FAKE_USB0_API void fake_usb_clear_calls(void);
// The pointer of handle hN as a number, 0 when there is none.
FAKE_USB0_API intptr_t fake_usb_handle(int n);
// Called with the function's name during every library call, after its log
// line is written and before it returns.
FAKE_USB0_API void fake_usb_set_hook(FakeUsbHook hook);

#ifdef __cplusplus
}
#endif

#endif
