// Lists the USB devices that libusb-win32 sees: bus and device names, vendor
// and product ids in hexadecimal, and a mark on HID devices.
//   scripthost examples/usb-list.js
loadModule("tarnic");

function hex4(n) {
    var s = n.toString(16).toUpperCase();
    while (s.length < 4)
        s = "0" + s;
    return s;
}

var usb = new USB();
var devices = usb.enumerate(); // also prints a "Found: vendor: product" line per device
if (devices.length === 0)
    print("No USB devices found.");
for (var i = 0; i < devices.length; i++) {
    var d = devices[i];
    print(hex4(d.idVendor) + ":" + hex4(d.idProduct) + (d.hid ? "  HID" : "     ") + "  " +
          d.dirName + " " + d.fileName);
}
