// Serial.read and Serial.write: bytes through the open port, with the
// request suspended while the port is polled or written.
#include "serial/serial.h"

#include <stdlib.h>
#include <string.h>

#include "serial/read_limits.h"

namespace {

// The count of received bytes waiting in the driver; false when the port
// cannot say (a closed instance), and then waiting is pointless.
bool queuedBytes(HANDLE port, DWORD *queued)
{
    DWORD errors = 0;
    COMSTAT status = {};
    if (!ClearCommError(port, &errors, &status))
        return false;
    *queued = status.cbInQue;
    return true;
}

} // namespace

SERIAL_NATIVE(serial_read)
{
    if (argc < 1) {
        g_host->reportError(cx, kFormatError, "Serial.read(<params>)");
        return 0;
    }
    PortCell *cell = (PortCell *)g_host->getPrivate(cx, self);
    if (!cell) {
        g_host->reportError(cx, "Serial.read: Serial not initialized");
        return 0;
    }
    ValueWord settings = serial_settings(cx, argv[0]);
    uint32_t count = 0;
    const char *refused =
        serial_read_count(g_host->getNumberProperty(cx, settings, "count", 1), &count);
    if (refused) {
        g_host->reportError(cx, "Serial.read: %s", refused);
        return 0;
    }
    char *buffer = (char *)malloc(count ? count : 1);
    if (!buffer) {
        g_host->reportError(cx, "Serial.read: cannot allocate %lu bytes", (unsigned long)count);
        return 0;
    }

    uint32_t token = g_host->suspendRequest(cx);
    // All or nothing: ReadFile only once count bytes are queued, so that the
    // bytes of a read that runs out of polls stay queued for the next one.
    DWORD got = 0;
    DWORD queued = 0;
    uint32_t budget = serial_poll_budget(count);
    bool known = queuedBytes(cell->handle, &queued);
    while (known && queued < count && budget > 0) {
        Sleep(1);
        budget--;
        known = queuedBytes(cell->handle, &queued);
    }
    if (known && count > 0 && queued >= count)
        ReadFile(cell->handle, buffer, count, &got, nullptr);
    g_host->resumeRequest(cx, token);

    *rval = g_host->newStringN(cx, buffer, (int)got);
    free(buffer);
    return 1;
}

SERIAL_NATIVE(serial_write)
{
    if (argc < 1) {
        g_host->reportError(cx, kFormatError, "Serial.write(<params>)");
        return 0;
    }
    PortCell *cell = (PortCell *)g_host->getPrivate(cx, self);
    if (!cell) {
        g_host->reportError(cx, "Serial.write: Serial not initialized");
        return 0;
    }
    ValueWord settings = serial_settings(cx, argv[0]);
    // content is read once: a getter that answered differently on a second
    // read could otherwise give a length past the end of the bytes.
    ValueWord content = g_host->getProperty(cx, settings, "content");
    const char *bytes = "";
    int length = 0;
    if (!vw_is_absent(content)) {
        bytes = g_host->valueToString(cx, content);
        length = g_host->stringLength(cx, content);
        // A string converts to itself, so its bytes and length always agree.
        // Anything else is converted once for the bytes and once more for
        // the length; a string form with NULs (or one that changes) cannot be
        // told from a shorter one, so it is refused rather than cut short.
        if (!vw_is_string(content) && (size_t)length != strlen(bytes)) {
            g_host->reportError(cx, "Serial.write: content is not a string and its string form "
                                    "contains NUL characters");
            return 0;
        }
    }

    uint32_t token = g_host->suspendRequest(cx);
    // Received bytes that no read has taken belong to the exchange before
    // this one.
    PurgeComm(cell->handle, PURGE_RXCLEAR);
    DWORD written = 0;
    WriteFile(cell->handle, bytes, (DWORD)length, &written, nullptr);
    g_host->resumeRequest(cx, token);

    *rval = g_host->newNumber(cx, (double)written);
    return 1;
}
