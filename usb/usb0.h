/* Declarations of the libusb-0.1 calls and records that tarnic.dll uses, for
   libusb-win32's libusb0.dll on 32-bit Windows.

   The binary interface of that DLL: every record is byte-packed, path fields
   are LIBUSB_PATH_MAX bytes, the functions use the C calling convention and
   the record fields come in the order of the 0.1 API.  The static_asserts at
   the end pin the offsets this layout gives on 32-bit Windows, where a wrong
   offset would otherwise only show as garbage read from the library's lists.

   No windows.h here: the descriptor walk that uses these records builds on
   any platform. */
#ifndef USB_USB0_H
#define USB_USB0_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32) && !defined(_WIN64)
#define USB0_CALL __cdecl
#else
#define USB0_CALL
#endif

#define LIBUSB_PATH_MAX 512

#define USB_CLASS_HID 3
#define USB_DT_HID 0x21

/* windows.h defines `interface` as a macro (for COM); the configuration
   record has a field of that name. */
#pragma push_macro("interface")
#undef interface

#pragma pack(push, 1)

struct usb_endpoint_descriptor {
    unsigned char bLength;
    unsigned char bDescriptorType;
    unsigned char bEndpointAddress;
    unsigned char bmAttributes;
    unsigned short wMaxPacketSize;
    unsigned char bInterval;
    unsigned char bRefresh;
    unsigned char bSynchAddress;
    unsigned char *extra; /* descriptors the library did not parse */
    int extralen;
};

struct usb_interface_descriptor {
    unsigned char bLength;
    unsigned char bDescriptorType;
    unsigned char bInterfaceNumber;
    unsigned char bAlternateSetting;
    unsigned char bNumEndpoints;
    unsigned char bInterfaceClass;
    unsigned char bInterfaceSubClass;
    unsigned char bInterfaceProtocol;
    unsigned char iInterface;
    struct usb_endpoint_descriptor *endpoint;
    unsigned char *extra; /* class descriptors, such as the HID descriptor */
    int extralen;
};

struct usb_interface {
    struct usb_interface_descriptor *altsetting;
    int num_altsetting;
};

struct usb_config_descriptor {
    unsigned char bLength;
    unsigned char bDescriptorType;
    unsigned short wTotalLength;
    unsigned char bNumInterfaces;
    unsigned char bConfigurationValue;
    unsigned char iConfiguration;
    unsigned char bmAttributes;
    unsigned char MaxPower;
    struct usb_interface *interface;
    unsigned char *extra;
    int extralen;
};

struct usb_device_descriptor {
    unsigned char bLength;
    unsigned char bDescriptorType;
    unsigned short bcdUSB;
    unsigned char bDeviceClass;
    unsigned char bDeviceSubClass;
    unsigned char bDeviceProtocol;
    unsigned char bMaxPacketSize0;
    unsigned short idVendor;
    unsigned short idProduct;
    unsigned short bcdDevice;
    unsigned char iManufacturer;
    unsigned char iProduct;
    unsigned char iSerialNumber;
    unsigned char bNumConfigurations;
};

struct usb_bus;

struct usb_device {
    struct usb_device *next, *prev;
    char filename[LIBUSB_PATH_MAX];
    struct usb_bus *bus;
    struct usb_device_descriptor descriptor;
    struct usb_config_descriptor *config; /* bNumConfigurations records */
    void *dev;
    unsigned char devnum;
    unsigned char num_children;
    struct usb_device **children;
};

struct usb_bus {
    struct usb_bus *next, *prev;
    char dirname[LIBUSB_PATH_MAX];
    struct usb_device *devices;
    unsigned long location;
    struct usb_device *root_dev;
};

#pragma pack(pop)
#pragma pop_macro("interface")

/* Opaque to callers. */
typedef struct usb_dev_handle usb_dev_handle;

void USB0_CALL usb_init(void);
void USB0_CALL usb_set_debug(int level);
int USB0_CALL usb_find_busses(void);
int USB0_CALL usb_find_devices(void);
struct usb_bus *USB0_CALL usb_get_busses(void);
usb_dev_handle *USB0_CALL usb_open(struct usb_device *dev);
int USB0_CALL usb_close(usb_dev_handle *dev);
int USB0_CALL usb_set_configuration(usb_dev_handle *dev, int configuration);
int USB0_CALL usb_claim_interface(usb_dev_handle *dev, int interface_number);
int USB0_CALL usb_release_interface(usb_dev_handle *dev, int interface_number);
int USB0_CALL usb_set_altinterface(usb_dev_handle *dev, int alternate);
int USB0_CALL usb_clear_halt(usb_dev_handle *dev, unsigned int ep);
int USB0_CALL usb_control_msg(usb_dev_handle *dev, int requesttype, int request, int value,
                              int index, char *bytes, int size, int timeout);
int USB0_CALL usb_interrupt_read(usb_dev_handle *dev, int ep, char *bytes, int size,
                                 int timeout);
char *USB0_CALL usb_strerror(void);

#ifdef __cplusplus
}

#if defined(_WIN32) && !defined(_WIN64)
/* The layout of libusb0.dll's records on 32-bit Windows. */
static_assert(sizeof(usb_endpoint_descriptor) == 17, "usb_endpoint_descriptor size");
static_assert(offsetof(usb_endpoint_descriptor, wMaxPacketSize) == 4, "wMaxPacketSize");
static_assert(offsetof(usb_endpoint_descriptor, extra) == 9, "endpoint extra");
static_assert(offsetof(usb_endpoint_descriptor, extralen) == 13, "endpoint extralen");

static_assert(sizeof(usb_interface_descriptor) == 21, "usb_interface_descriptor size");
static_assert(offsetof(usb_interface_descriptor, bInterfaceClass) == 5, "bInterfaceClass");
static_assert(offsetof(usb_interface_descriptor, endpoint) == 9, "endpoint");
static_assert(offsetof(usb_interface_descriptor, extra) == 13, "interface extra");
static_assert(offsetof(usb_interface_descriptor, extralen) == 17, "interface extralen");

static_assert(sizeof(usb_interface) == 8, "usb_interface size");
static_assert(offsetof(usb_interface, num_altsetting) == 4, "num_altsetting");

static_assert(sizeof(usb_config_descriptor) == 21, "usb_config_descriptor size");
static_assert(offsetof(usb_config_descriptor, wTotalLength) == 2, "wTotalLength");
static_assert(offsetof(usb_config_descriptor, bNumInterfaces) == 4, "bNumInterfaces");
static_assert(offsetof(usb_config_descriptor, interface) == 9, "interface");
static_assert(offsetof(usb_config_descriptor, extra) == 13, "config extra");
static_assert(offsetof(usb_config_descriptor, extralen) == 17, "config extralen");

static_assert(sizeof(usb_device_descriptor) == 18, "usb_device_descriptor size");
static_assert(offsetof(usb_device_descriptor, idVendor) == 8, "idVendor");
static_assert(offsetof(usb_device_descriptor, idProduct) == 10, "idProduct");
static_assert(offsetof(usb_device_descriptor, bNumConfigurations) == 17, "bNumConfigurations");

static_assert(sizeof(usb_device) == 556, "usb_device size");
static_assert(offsetof(usb_device, prev) == 4, "device prev");
static_assert(offsetof(usb_device, filename) == 8, "filename");
static_assert(offsetof(usb_device, bus) == 520, "bus");
static_assert(offsetof(usb_device, descriptor) == 524, "descriptor");
static_assert(offsetof(usb_device, config) == 542, "config");
static_assert(offsetof(usb_device, dev) == 546, "dev");
static_assert(offsetof(usb_device, devnum) == 550, "devnum");
static_assert(offsetof(usb_device, num_children) == 551, "num_children");
static_assert(offsetof(usb_device, children) == 552, "children");

static_assert(sizeof(usb_bus) == 532, "usb_bus size");
static_assert(offsetof(usb_bus, prev) == 4, "bus prev");
static_assert(offsetof(usb_bus, dirname) == 8, "dirname");
static_assert(offsetof(usb_bus, devices) == 520, "devices");
static_assert(offsetof(usb_bus, location) == 524, "location");
static_assert(offsetof(usb_bus, root_dev) == 528, "root_dev");
#endif
#endif

#endif
