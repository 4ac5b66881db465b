// Timing for the benchmark programs: a monotonic clock, and the best rate of
// a few rounds (the machine is shared and noisy, so the best round is the one
// least disturbed).
#ifndef BENCH_BENCH_CLOCK_H
#define BENCH_BENCH_CLOCK_H

#include <windows.h>

namespace bench {

inline double now()
{
    static LARGE_INTEGER f = [] {
        LARGE_INTEGER x;
        QueryPerformanceFrequency(&x);
        return x;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)f.QuadPart;
}

// count units of work per call of f; the best of `rounds` rates.
template <class F> double bestRate(F f, int rounds, double count)
{
    double best = 0;
    for (int r = 0; r < rounds; r++) {
        double t0 = now();
        f();
        double dt = now() - t0;
        if (dt > 0 && count / dt > best)
            best = count / dt;
    }
    return best;
}

} // namespace bench

#endif
