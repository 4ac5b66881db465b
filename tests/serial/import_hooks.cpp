#include "tests/serial/import_hooks.h"

#include <cstring>

#include "scripthost/engine.h"
#include "tests/support/script_host.h"

namespace serial_test {

void CallLog::clear()
{
    bool keepSuspended = suspended;
    int keepDepth = suspendDepth;
    *this = CallLog();
    suspended = keepSuspended;
    suspendDepth = keepDepth;
}

int CallLog::count(const std::string &event) const
{
    int n = 0;
    for (const std::string &e : events)
        if (e == event || e == "~" + event)
            n++;
    return n;
}

CallLog &calls()
{
    static CallLog log;
    return log;
}

namespace {

void note(const char *event) { calls().events.push_back((calls().suspended ? "~" : "") + std::string(event)); }

// --- Win32 --------------------------------------------------------------------

decltype(&Sleep) realSleep;
decltype(&ClearCommError) realClearCommError;
decltype(&ReadFile) realReadFile;
decltype(&WriteFile) realWriteFile;
decltype(&PurgeComm) realPurgeComm;
decltype(&CreateFileA) realCreateFileA;
decltype(&CloseHandle) realCloseHandle;
decltype(&GetCommState) realGetCommState;
decltype(&SetCommState) realSetCommState;
decltype(&GetCommTimeouts) realGetCommTimeouts;
decltype(&SetCommTimeouts) realSetCommTimeouts;
decltype(&SetupComm) realSetupComm;
void *(__cdecl *realMalloc)(size_t);

void WINAPI hookSleep(DWORD ms)
{
    note("Sleep");
    realSleep(ms);
}

BOOL WINAPI hookClearCommError(HANDLE h, LPDWORD errors, LPCOMSTAT status)
{
    note("ClearCommError");
    return realClearCommError(h, errors, status);
}

BOOL WINAPI hookReadFile(HANDLE h, LPVOID buffer, DWORD n, LPDWORD got, LPOVERLAPPED ov)
{
    note("ReadFile");
    return realReadFile(h, buffer, n, got, ov);
}

BOOL WINAPI hookWriteFile(HANDLE h, LPCVOID buffer, DWORD n, LPDWORD written, LPOVERLAPPED ov)
{
    note("WriteFile");
    return realWriteFile(h, buffer, n, written, ov);
}

BOOL WINAPI hookPurgeComm(HANDLE h, DWORD flags)
{
    note(flags == PURGE_RXCLEAR ? "PurgeComm(RX)" : "PurgeComm(other)");
    return realPurgeComm(h, flags);
}

HANDLE WINAPI hookCreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                              DWORD creation, DWORD flags, HANDLE tmpl)
{
    note("CreateFileA");
    calls().createdNames.push_back(name ? name : "");
    calls().createdFlags.push_back({access, share, creation, flags});
    if (calls().failCreateFile) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    return realCreateFileA(name, access, share, sa, creation, flags, tmpl);
}

BOOL WINAPI hookCloseHandle(HANDLE h)
{
    note("CloseHandle");
    calls().closedHandles.push_back(h);
    return realCloseHandle(h);
}

BOOL WINAPI hookGetCommState(HANDLE h, LPDCB dcb)
{
    note("GetCommState");
    if (calls().failGetCommState) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (calls().fakeGetCommState) {
        *dcb = calls().fakeState;
        return TRUE;
    }
    return realGetCommState(h, dcb);
}

BOOL WINAPI hookSetCommState(HANDLE h, LPDCB dcb)
{
    note("SetCommState");
    calls().setStates.push_back(*dcb);
    if (calls().fakeGetCommState)
        return TRUE;
    return realSetCommState(h, dcb);
}

BOOL WINAPI hookGetCommTimeouts(HANDLE h, LPCOMMTIMEOUTS t)
{
    note("GetCommTimeouts");
    return realGetCommTimeouts(h, t);
}

BOOL WINAPI hookSetCommTimeouts(HANDLE h, LPCOMMTIMEOUTS t)
{
    note("SetCommTimeouts");
    calls().setTimeouts.push_back(*t);
    return realSetCommTimeouts(h, t);
}

BOOL WINAPI hookSetupComm(HANDLE h, DWORD in, DWORD out)
{
    note("SetupComm");
    calls().queueSizes.push_back({in, out});
    return realSetupComm(h, in, out);
}

void *__cdecl hookMalloc(size_t n)
{
    if (calls().failMallocSize && n == calls().failMallocSize)
        return nullptr;
    return realMalloc(n);
}

// --- the host table -------------------------------------------------------------

HostTable g_wrapped;
const HostTable *g_real;
InitModuleFunction g_init;

uint32_t HOST_CALL wrapSuspend(ScriptContext *cx)
{
    note("suspendRequest");
    uint32_t token = g_real->suspendRequest(cx);
    calls().suspended = ++calls().suspendDepth > 0;
    return token;
}

void HOST_CALL wrapResume(ScriptContext *cx, uint32_t token)
{
    calls().suspended = --calls().suspendDepth > 0;
    note("resumeRequest");
    g_real->resumeRequest(cx, token);
}

int HOST_CALL wrappedInit(ScriptContext *cx, const HostTable *table)
{
    g_real = table;
    g_wrapped = *table;
    g_wrapped.suspendRequest = wrapSuspend;
    g_wrapped.resumeRequest = wrapResume;
    return g_init(cx, &g_wrapped);
}

template <typename F> bool patch(HMODULE m, const char *dll, const char *fn, F hook, F *real)
{
    return patchImport(m, dll, fn, (void *)hook, (void **)real);
}

} // namespace

bool patchImport(HMODULE module, const char *dll, const char *function, void *replacement,
                 void **original)
{
    BYTE *base = (BYTE *)module;
    IMAGE_NT_HEADERS *nt = (IMAGE_NT_HEADERS *)(base + ((IMAGE_DOS_HEADER *)base)->e_lfanew);
    IMAGE_DATA_DIRECTORY dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress)
        return false;
    for (IMAGE_IMPORT_DESCRIPTOR *d = (IMAGE_IMPORT_DESCRIPTOR *)(base + dir.VirtualAddress); d->Name;
         d++) {
        if (_stricmp((const char *)(base + d->Name), dll) != 0)
            continue;
        IMAGE_THUNK_DATA *names = (IMAGE_THUNK_DATA *)(base + d->OriginalFirstThunk);
        IMAGE_THUNK_DATA *slots = (IMAGE_THUNK_DATA *)(base + d->FirstThunk);
        for (; names->u1.AddressOfData; names++, slots++) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            IMAGE_IMPORT_BY_NAME *byName = (IMAGE_IMPORT_BY_NAME *)(base + names->u1.AddressOfData);
            if (std::strcmp((const char *)byName->Name, function) != 0)
                continue;
            DWORD old;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old);
            if (*original == nullptr)
                *original = (void *)slots->u1.Function;
            slots->u1.Function = (ULONG_PTR)replacement;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
            return true;
        }
    }
    return false;
}

std::string loadRecordedModule(ScriptContext *context)
{
    std::string path = testing_support::binFolder() + "pellun.dll";
    HMODULE m = LoadLibraryA(path.c_str());
    if (!m)
        return "cannot load " + path;
    static bool patched = false;
    if (!patched) {
        // A function the module does not import is not hooked: the tests
        // that count its calls then see none.
        const char *k = "kernel32.dll";
        patch(m, k, "Sleep", hookSleep, &realSleep);
        patch(m, k, "ClearCommError", hookClearCommError, &realClearCommError);
        patch(m, k, "ReadFile", hookReadFile, &realReadFile);
        patch(m, k, "WriteFile", hookWriteFile, &realWriteFile);
        patch(m, k, "PurgeComm", hookPurgeComm, &realPurgeComm);
        patch(m, k, "CreateFileA", hookCreateFileA, &realCreateFileA);
        patch(m, k, "CloseHandle", hookCloseHandle, &realCloseHandle);
        patch(m, k, "GetCommState", hookGetCommState, &realGetCommState);
        patch(m, k, "SetCommState", hookSetCommState, &realSetCommState);
        patch(m, k, "GetCommTimeouts", hookGetCommTimeouts, &realGetCommTimeouts);
        patch(m, k, "SetCommTimeouts", hookSetCommTimeouts, &realSetCommTimeouts);
        patch(m, k, "SetupComm", hookSetupComm, &realSetupComm);
        if (!patch(m, "msvcrt.dll", "malloc", hookMalloc, &realMalloc))
            return "pellun.dll does not take malloc from msvcrt.dll";
        patched = true;
    }
    g_init = (InitModuleFunction)(void *)GetProcAddress(m, "initModule");
    if (!g_init)
        return "pellun.dll has no initModule";
    calls() = CallLog();
    std::string error;
    if (!engine::callInit(context, wrappedInit, &error))
        return "initModule failed: " + error;
    return "";
}

} // namespace serial_test
