// The walk over class descriptors that finds the HID report descriptor size.
#include <gtest/gtest.h>

#include <vector>

#include "usb/descriptors.h"

TEST(DescriptorWalk, FindsTheFirstCompleteHidDescriptor)
{
    struct Case {
        const char *name;
        std::vector<unsigned char> bytes;
        int size;
    };
    const Case cases[] = {
        {"HID descriptor", {9, 0x21, 0x11, 1, 0, 1, 0x22, 0x34, 0x01}, 308},
        {"longer HID descriptor (two class descriptors)",
         {12, 0x21, 0x11, 1, 0, 2, 0x22, 0xFF, 0xFF, 0x23, 0x10, 0}, 65535},
        {"after other descriptors", {3, 0x24, 0, 5, 0x24, 1, 2, 3, 9, 0x21, 0, 1, 0, 1, 0x22, 0x20, 0}, 32},
        {"first of two", {9, 0x21, 0, 1, 0, 1, 0x22, 1, 0, 9, 0x21, 0, 1, 0, 1, 0x22, 2, 0}, 1},
        {"short HID descriptor skipped", {8, 0x21, 0, 1, 0, 1, 0x22, 9, 9, 0x21, 0, 1, 0, 1, 0x22, 7, 0}, 7},
        {"cut short at the end", {9, 0x21, 0x11, 1, 0, 1, 0x22, 0x34}, 0},
        {"length reaching past the end", {2, 0x24, 200, 0x21}, 0},
        {"length 0", {0, 0x21, 0x11, 1, 0, 1, 0x22, 0x34, 1}, 0},
        {"length 1", {1, 9, 0x21, 0x11, 1, 0, 1, 0x22, 0x34, 1}, 0},
        {"length 0 after a descriptor", {2, 0x24, 0, 0x21, 0, 1, 0, 1, 0x22, 0x34, 1}, 0},
        {"one byte", {9}, 0},
        {"none", {}, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(usb_hid_report_descriptor_size(c.bytes.data(), (int)c.bytes.size()), c.size);
    }
    EXPECT_EQ(usb_hid_report_descriptor_size(nullptr, 9), 0);
    const unsigned char hid[] = {9, 0x21, 0x11, 1, 0, 1, 0x22, 0x34, 0x01};
    EXPECT_EQ(usb_hid_report_descriptor_size(hid, -1), 0);
    EXPECT_EQ(usb_hid_report_descriptor_size(hid, 8), 0);
}
