// tarnic.dll: loadModule("tarnic") defines the class USB (needs libusb0.dll).

declare namespace USB {
    /** A device as USB.enumerate lists it; open and close add and change handle. */
    interface Device {
        readonly idVendor: number;
        readonly idProduct: number;
        /** Bus name, used by open. */
        readonly dirName: string;
        /** Device name on its bus, used by open. */
        readonly fileName: string;
        /** 1 for a HID device (interface class 3), else 0. */
        readonly hid: number;
        /** Written by open and close: the device handle, 0 when not open. */
        readonly handle?: number;
        /** Written by open: the HID report descriptor's length, or 0. */
        readonly reportDescriptorSize?: number;
    }
    /** What open needs: any object with the two names. */
    interface DeviceName {
        dirName?: string;
        fileName?: string;
        readonly handle?: number;
        readonly reportDescriptorSize?: number;
    }
    /** A control transfer (send) or interrupt read (getAnswer). */
    interface Request {
        /** bmRequestType; default 0. */
        requestType?: number;
        /** bRequest; default 0. */
        request?: number;
        /** wValue; default 0. */
        value?: number;
        /** wIndex; default 0. */
        index?: number;
        /** Buffer and transfer length in bytes; default 0. */
        length?: number;
        /** send: bytes for the buffer (zeros past its end); default zeros. */
        bytes?: string;
        /** getAnswer: endpoint address; default 129 (0x81). */
        endPoint?: number;
        /** Time-out in ms; default 5000. */
        timeout?: number;
    }
}

declare class USB {
    constructor();
    /** The devices on every bus; prints "Found: vendor: product" for each. */
    enumerate(): USB.Device[];
    /** Opens the device named by dirName and fileName; false when none matches. */
    open(device: USB.DeviceName): boolean;
    /** Releases the device; always true. */
    close(device: USB.DeviceName): boolean;
    /** A control transfer; the buffer's bytes afterwards. Throws "USB.send: ERROR! ..." on failure. */
    send(device: USB.DeviceName, request: USB.Request): string;
    /** An interrupt read; the bytes read. Throws "USB.getAnswer: ERROR! ..." on failure. */
    getAnswer(device: USB.DeviceName, request: USB.Request): string;
}
