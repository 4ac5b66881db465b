// Records what pellun.dll asks of Win32 and of the host's request protocol,
// by patching its import address table and wrapping the host table it gets.
// Every hook forwards to the real function unless a test overrides it.
#ifndef TESTS_SERIAL_IMPORT_HOOKS_H
#define TESTS_SERIAL_IMPORT_HOOKS_H

#include <windows.h>

#include <string>
#include <vector>

#include "host/host_api.h"

namespace serial_test {

struct CallLog {
    // One entry per call, in order: "Sleep", "ClearCommError", "ReadFile",
    // "suspendRequest", ...; calls made while the request was suspended are
    // marked with a leading '~'.
    std::vector<std::string> events;
    bool suspended = false;
    int suspendDepth = 0;

    // Arguments worth checking.
    std::vector<std::string> createdNames; // CreateFileA
    std::vector<std::vector<DWORD>> createdFlags; // access, share, creation, flags
    std::vector<HANDLE> closedHandles;     // CloseHandle
    std::vector<DCB> setStates;            // SetCommState
    std::vector<COMMTIMEOUTS> setTimeouts; // SetCommTimeouts
    std::vector<std::pair<DWORD, DWORD>> queueSizes; // SetupComm

    // Overrides.
    bool fakeGetCommState = false; // answer GetCommState with fakeState and do not
    DCB fakeState = {};            // pass SetCommState on to the port
    bool failGetCommState = false;
    bool failCreateFile = false; // CreateFileA fails without opening anything
    size_t failMallocSize = 0; // malloc of exactly this size returns null

    void clear();
    int count(const std::string &event) const; // suspended or not
};

CallLog &calls();

// Loads pellun.dll into host (as loadModule does, but through a wrapped host
// table) and patches its imports.  Returns "" or the reason it failed.
std::string loadRecordedModule(ScriptContext *context);

// Patches one import of module; false when module does not import it.
bool patchImport(HMODULE module, const char *dll, const char *function, void *replacement,
                 void **original);

} // namespace serial_test

#endif
