// The soak runs' measurements must see what they are there to catch: on
// Wine they are stand-ins (GetGuiResources and PrivateUsage answer 0), so a
// run that leaks on purpose shows each kind of growth.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "tests/soak/soak_support.h"

namespace {

TEST(SoakMeasure, SeesLeakedMemoryGdiAndUserObjects)
{
    std::vector<void *> blocks;
    std::vector<HGDIOBJ> brushes;
    std::vector<HWND> windows;
    soak::Figures f = soak::run(
        "MeasureSelfCheck", 200, 10,
        [&](long from, long to) {
            for (long i = from; i < to; i++) {
                // Touched, so that it is committed whatever the heap does.
                char *block = (char *)malloc(64 * 1024);
                for (int k = 0; k < 64 * 1024; k += 4096)
                    block[k] = 1;
                blocks.push_back(block);
                brushes.push_back(CreateSolidBrush(RGB(i & 255, 0, 0)));
                windows.push_back(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, NULL, NULL,
                                                  NULL, NULL));
            }
        },
        [] {});
    // 180 steps after the first tenth: 11.25 MiB, 180 brushes, 180 windows.
    EXPECT_GT(f.atEnd.privateBytes, f.afterTenth.privateBytes + 10 * 1024 * 1024);
    EXPECT_EQ(f.atEnd.gdiObjects - f.afterTenth.gdiObjects, 180u);
    EXPECT_EQ(f.atEnd.userObjects - f.afterTenth.userObjects, 180u);
    for (HWND w : windows)
        DestroyWindow(w);
    for (HGDIOBJ b : brushes)
        DeleteObject(b);
    for (void *b : blocks)
        free(b);
    soak::Usage after = soak::usage();
    // Freed again, the objects leave the counts (the thread's IME window
    // may go with the last window, one USER object more).
    EXPECT_EQ(after.gdiObjects, f.afterTenth.gdiObjects - 20);
    EXPECT_LE(after.userObjects, f.afterTenth.userObjects - 20);
}

} // namespace
