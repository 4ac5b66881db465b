// pellun.dll: loadModule("pellun") defines the class Serial.

declare namespace Serial {
    /** The settings object that open, set, read and write take. */
    interface Settings {
        /** Port name for open; default "COM1". */
        port?: string;
        /** Input queue size in bytes; default 1024. */
        bufInSize?: number;
        /** Output queue size in bytes; default 1024. */
        bufOutSize?: number;
        /** Speed; default 2400. */
        baudRate?: number;
        /** Bits per byte; default 8. */
        byteSize?: number;
        /** read: bytes to read; default 1. */
        count?: number;
        /** write: the bytes to send (one character per byte); default "". */
        content?: string;
        /** Written by open: the port handle. */
        readonly handle?: number;
    }
}

declare class Serial {
    constructor();
    /** Opens (once) and configures the port; true when it is open. */
    open(settings: Serial.Settings): boolean;
    /** Configures an open port again; false when it is closed. */
    set(settings: Serial.Settings): boolean;
    /** Closes the port. */
    close(): void;
    /** count bytes within max(150, 15 * count) polls of 1 ms, or "" (the bytes stay queued). */
    read(settings: Serial.Settings): string;
    /** Discards unread input, sends content; the number of bytes written. */
    write(settings: Serial.Settings): number;
}
