// Soak runs: a long, bounded loop of one operation, with the process's
// private bytes and its GDI and USER object counts taken after the first
// tenth of the run and at its end.
#ifndef TESTS_SOAK_SOAK_SUPPORT_H
#define TESTS_SOAK_SOAK_SUPPORT_H

#include <windows.h>

#include <functional>
#include <string>

namespace soak {

// SCRIPTHOST_SOAK_SCALE: 1 runs the full counts, the default 0.1 a tenth.
double scale();
// full scaled, at least 10 (so that a tenth is at least one step).
long scaled(long full);

struct Usage {
    size_t privateBytes = 0; // PROCESS_MEMORY_COUNTERS_EX.PrivateUsage
    DWORD gdiObjects = 0;
    DWORD userObjects = 0;
};
Usage usage();

struct Figures {
    long count = 0;
    Usage afterTenth;
    Usage atEnd;
    double seconds = 0;
};

// Runs step(from, to) over [0, count) in chunks of at most chunk steps: the
// first tenth, the usage, the rest, the usage.  settle() runs before each
// usage is taken (a garbage collection, a message pump).  Prints one line
// "soak: NAME ..." with the figures.
Figures run(const std::string &name, long count, long chunk,
            const std::function<void(long from, long to)> &step,
            const std::function<void()> &settle);

// The checks every soak case makes: private bytes at the end within 10 % of
// their value after the first tenth, no growth of GDI or USER objects.
void expectNoGrowth(const Figures &f);

} // namespace soak

#endif
