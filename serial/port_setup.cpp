// Serial.open, Serial.set and Serial.close: opening the port and applying the
// settings object to it.
#include "serial/serial.h"

namespace {

int settingInt(ScriptContext *cx, ValueWord settings, const char *name, double fallback)
{
    return host_to_int32(g_host->getNumberProperty(cx, settings, name, fallback));
}

// Applies the settings to an open port: polled reads, queue sizes, speed and
// byte size, no parity, one stop bit, no hardware flow control.  The results
// are not looked at (a driver that refuses a speed keeps its own), but a
// structure that could not be read is not written back: that would set every
// field the script does not name to zero.  The properties are read in the
// order bufInSize, bufOutSize, baudRate, byteSize.
void configure(ScriptContext *cx, HANDLE port, ValueWord settings)
{
    COMMTIMEOUTS timeouts = {};
    if (GetCommTimeouts(port, &timeouts)) {
        // With MAXDWORD between bytes and 1 ms in total, ReadFile returns at
        // once with what is queued: Serial.read polls the queue itself.
        timeouts.ReadIntervalTimeout = MAXDWORD;
        timeouts.ReadTotalTimeoutConstant = 1;
        SetCommTimeouts(port, &timeouts);
    }

    DWORD inSize = (DWORD)settingInt(cx, settings, "bufInSize", 1024);
    DWORD outSize = (DWORD)settingInt(cx, settings, "bufOutSize", 1024);
    SetupComm(port, inSize, outSize);

    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    BOOL known = GetCommState(port, &dcb);
    DWORD baudRate = (DWORD)settingInt(cx, settings, "baudRate", 2400);
    BYTE byteSize = (BYTE)settingInt(cx, settings, "byteSize", 8);
    if (known) {
        dcb.BaudRate = baudRate;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        dcb.ByteSize = byteSize;
        // Only the hardware handshake goes (flag bits 0x300C); software flow
        // control, DTR and the rest stay as the driver had them.
        dcb.fOutxCtsFlow = 0;
        dcb.fOutxDsrFlow = 0;
        dcb.fRtsControl = RTS_CONTROL_DISABLE;
        SetCommState(port, &dcb);
    }
}

} // namespace

SERIAL_NATIVE(serial_open)
{
    if (argc < 1) {
        g_host->reportError(cx, kFormatError, "Serial.open(<params>)");
        return 0;
    }
    PortCell *cell = (PortCell *)g_host->getPrivate(cx, self);
    if (!cell) {
        g_host->reportError(cx, "Serial.open: Serial not initialized");
        return 0;
    }
    ValueWord settings = serial_settings(cx, argv[0]);
    bool open = false;
    // An open instance keeps its port: the settings apply to it and port is
    // not read.
    if (cell->handle == INVALID_HANDLE_VALUE) {
        const char *name = g_host->getStringProperty(cx, settings, "port", "COM1");
        // Share mode 0: nobody else can open the port while it is held.
        // Without FILE_FLAG_OVERLAPPED all I/O on it is synchronous.
        cell->handle = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_WRITE_THROUGH, nullptr);
    }
    if (cell->handle != INVALID_HANDLE_VALUE) {
        configure(cx, cell->handle, settings);
        ValueWord handle = g_host->newNumber(cx, (double)(int32_t)(intptr_t)cell->handle);
        g_host->defineProperty(cx, settings, "handle", handle, nullptr, nullptr,
                               HOST_ATTR_ENUMERABLE | HOST_ATTR_READONLY);
        open = true;
    }
    g_host->setPrivate(cx, self, cell);
    *rval = vw_from_bool(open);
    return 1;
}

SERIAL_NATIVE(serial_set)
{
    if (argc < 1) {
        g_host->reportError(cx, kFormatError, "Serial.set(<params>)");
        return 0;
    }
    PortCell *cell = (PortCell *)g_host->getPrivate(cx, self);
    if (!cell) {
        g_host->reportError(cx, "Serial.set: Serial not initialized");
        return 0;
    }
    ValueWord settings = serial_settings(cx, argv[0]);
    bool configured = false;
    if (cell->handle != INVALID_HANDLE_VALUE) {
        configure(cx, cell->handle, settings);
        configured = true;
    }
    g_host->setPrivate(cx, self, cell);
    *rval = vw_from_bool(configured);
    return 1;
}

SERIAL_NATIVE(serial_close)
{
    (void)argc, (void)argv, (void)rval;
    PortCell *cell = (PortCell *)g_host->getPrivate(cx, self);
    if (!cell) {
        g_host->reportError(cx, "Serial.close: Not initialized");
        return 0;
    }
    // Also made on a closed instance: CloseHandle of INVALID_HANDLE_VALUE (the
    // current-process pseudo-handle) does nothing.
    CloseHandle(cell->handle);
    cell->handle = INVALID_HANDLE_VALUE;
    g_host->setPrivate(cx, self, cell);
    return 1;
}
