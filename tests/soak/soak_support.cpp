#include "tests/soak/soak_support.h"

#include <intrin.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace soak {

double scale()
{
    const char *text = std::getenv("SCRIPTHOST_SOAK_SCALE");
    if (!text || !*text)
        return 0.1;
    char *end = nullptr;
    double s = std::strtod(text, &end);
    // Anything unreadable or out of range falls back to the short run rather
    // than a run of no length or of unbounded length.
    if (end == text || !(s > 0) || s > 10)
        return 0.1;
    return s;
}

long scaled(long full)
{
    long n = std::lround((double)full * scale());
    return n < 10 ? 10 : n;
}

namespace {

bool onWine()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Committed private memory, summed over the address space: what
// PrivateUsage counts.  Wine reports PrivateUsage as 0 (it fills it from the
// process's swap use), so there this walk stands in for it.
size_t committedPrivateBytes()
{
    size_t total = 0;
    MEMORY_BASIC_INFORMATION info;
    for (BYTE *p = nullptr; VirtualQuery(p, &info, sizeof info) == sizeof info;) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE)
            total += info.RegionSize;
        BYTE *next = (BYTE *)info.BaseAddress + info.RegionSize;
        if (next <= p)
            break;
        p = next;
    }
    return total;
}

// Wine's GetGuiResources is a stub that answers 0.  Its GDI handle table is
// mapped into the process (PEB GdiSharedHandleTable, 0x10000 entries of 24
// bytes: object, owner, unique, type, flags, user pointer); a live object's
// entry has a type, and stock objects carry the stock flag in the unique
// field's low byte.
DWORD wineGdiObjects()
{
    BYTE *peb = (BYTE *)__readfsdword(0x30); // the PEB of a 32-bit process
    BYTE *table = *(BYTE **)(peb + 0x94);
    if (!table)
        return 0;
    DWORD live = 0;
    for (int i = 0; i < 0x10000; i++) {
        BYTE *entry = table + i * 24;
        BYTE unique = entry[12], type = entry[14];
        if (type && !(unique & 0x80))
            live++;
    }
    return live;
}

BOOL CALLBACK countWindow(HWND window, LPARAM counter)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == GetCurrentProcessId()) {
        ++*(DWORD *)counter;
        EnumChildWindows(window, countWindow, counter);
    }
    return TRUE;
}

// Windows of this process, top-level, message-only and children: the part
// of the USER objects that component cycles make.
DWORD wineUserObjects()
{
    DWORD count = 0;
    EnumWindows(countWindow, (LPARAM)&count);
    for (HWND w = FindWindowExW(HWND_MESSAGE, NULL, NULL, NULL); w;
         w = FindWindowExW(HWND_MESSAGE, w, NULL, NULL))
        countWindow(w, (LPARAM)&count);
    return count;
}

} // namespace

Usage usage()
{
    Usage u;
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(GetCurrentProcess(), (PROCESS_MEMORY_COUNTERS *)&counters,
                             sizeof counters))
        u.privateBytes = counters.PrivateUsage;
    u.gdiObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    u.userObjects = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    if (onWine()) {
        if (!u.privateBytes)
            u.privateBytes = committedPrivateBytes();
        if (!u.gdiObjects)
            u.gdiObjects = wineGdiObjects();
        if (!u.userObjects)
            u.userObjects = wineUserObjects();
    }
    return u;
}

Figures run(const std::string &name, long count, long chunk,
            const std::function<void(long, long)> &step, const std::function<void()> &settle)
{
    Figures f;
    f.count = count;
    // The first look at the window list connects the thread to the desktop,
    // which makes a few GDI objects of Wine's own: not the run's.
    usage();
    long tenth = count / 10;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    auto runRange = [&](long from, long to) {
        for (long i = from; i < to && !::testing::Test::HasFatalFailure();) {
            long next = to - i > chunk ? i + chunk : to;
            step(i, next);
            i = next;
        }
    };
    runRange(0, tenth);
    settle();
    f.afterTenth = usage();
    runRange(tenth, count);
    settle();
    f.atEnd = usage();
    QueryPerformanceCounter(&end);
    f.seconds = (double)(end.QuadPart - start.QuadPart) / (double)frequency.QuadPart;
    std::printf("soak: %s count=%ld seconds=%.1f private_after_tenth=%lu private_end=%lu"
                " (%+.1f%%) gdi=%lu->%lu user=%lu->%lu\n",
                name.c_str(), count, f.seconds, (unsigned long)f.afterTenth.privateBytes,
                (unsigned long)f.atEnd.privateBytes,
                f.afterTenth.privateBytes
                    ? 100.0 * ((double)f.atEnd.privateBytes - (double)f.afterTenth.privateBytes) /
                          (double)f.afterTenth.privateBytes
                    : 0.0,
                (unsigned long)f.afterTenth.gdiObjects, (unsigned long)f.atEnd.gdiObjects,
                (unsigned long)f.afterTenth.userObjects, (unsigned long)f.atEnd.userObjects);
    std::fflush(stdout);
    return f;
}

void expectNoGrowth(const Figures &f)
{
    ASSERT_GT(f.afterTenth.privateBytes, 0u) << "GetProcessMemoryInfo gave no private bytes";
    EXPECT_LE((double)f.atEnd.privateBytes, (double)f.afterTenth.privateBytes * 1.10)
        << "private bytes grew by more than 10 %";
    EXPECT_LE(f.atEnd.gdiObjects, f.afterTenth.gdiObjects) << "GDI objects grew";
    EXPECT_LE(f.atEnd.userObjects, f.afterTenth.userObjects) << "USER objects grew";
}

} // namespace soak
