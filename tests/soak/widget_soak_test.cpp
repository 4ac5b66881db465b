// Long runs of zorvex.dll: events through a Frame's window procedure, PNG
// decoding, and Frames with children made and destroyed.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/soak/soak_support.h"
#include "tests/support/script_host.h"
#include "tests/widget/images/png_writer.h"

namespace {

// One host per program, as zorvex keeps the first context it sees; ctest
// runs each case in a process of its own.
class WidgetSoak : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(host.load("zorvex"), "");
        host.ok("Widget.init(); var seen = 0, last = '';"
                "Widget.onEvent = function (e) { seen++; last = e.msg;"
                "  return e.msg != 'PAINT' && e.msg != 'ERASE'; };");
    }
    void TearDown() override
    {
        for (const std::string &f : files_)
            std::remove(f.c_str());
    }

    // Dispatches what waits in the queue (paints of new windows and the like).
    static void pump()
    {
        MSG m;
        for (int i = 0; i < 10000 && PeekMessageW(&m, NULL, 0, 0, PM_REMOVE); i++) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
    }
    // A garbage collection, so that both measurements see only live objects.
    void settle()
    {
        pump();
        host.ok("Duktape.gc(); Duktape.gc(); 0");
    }
    // Sets the script global `name` to bytes, through readFile.
    void give(const std::string &name, const std::string &bytes)
    {
        std::string path = testing_support::tempPath(".png");
        FILE *f = std::fopen(path.c_str(), "wb");
        ASSERT_TRUE(f);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        files_.push_back(path);
        std::string escaped;
        for (char c : path)
            escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
        host.ok("var " + name + " = readFile('" + escaped + "'); 0");
    }

    testing_support::ScriptHost host;

private:
    std::vector<std::string> files_;
};

// Every message the window procedure turns into an event text, with the
// parameters that select each row (a MOVE within range, a RESIZE, mouse
// moves and buttons, a command, an edit change, a timer, the tray callback).
struct Message {
    UINT msg;
    WPARAM w;
    LPARAM l;
    const char *event;
};
const Message kMessages[] = {
    {WM_MOUSEMOVE, 0, MAKELPARAM(10, 20), "MOUSE_OVER"},
    {WM_LBUTTONDOWN, 0, MAKELPARAM(5, 6), "MOUSE_BUTTON"},
    {WM_LBUTTONUP, 0, MAKELPARAM(5, 6), "MOUSE_BUTTON"},
    {WM_RBUTTONDOWN, 0, MAKELPARAM(7, 8), "MOUSE_BUTTON"},
    {WM_RBUTTONUP, 0, MAKELPARAM(7, 8), "MOUSE_BUTTON"},
    {WM_MOUSELEAVE, 0, 0, "MOUSE_OUT"},
    {WM_TIMER, 0, 0, "TIMER"},
    {WM_COMMAND, 7, 0, "COMMAND"},
    {WM_COMMAND, MAKEWPARAM(0, EN_CHANGE), 0x1234, "EDIT_CHANGE"},
    {WM_MOVE, 0, MAKELPARAM(30, 40), "MOVE"},
    {WM_SIZE, SIZE_RESTORED, MAKELPARAM(200, 100), "RESIZE"},
    {WM_USER + 1, 0, WM_RBUTTONUP, "MOUSE_BUTTON"},
};
const long kMessageKinds = sizeof kMessages / sizeof kMessages[0];

TEST_F(WidgetSoak, EventsThroughTheWindowProcedure)
{
    host.ok("var frame = {type: 'Frame', show: 0}; Widget.create(frame); 0");
    HWND frame = (HWND)(intptr_t)std::stol(host.ok("frame.hWnd"));
    ASSERT_TRUE(IsWindow(frame));
    pump();
    host.ok("seen = 0");
    long count = soak::scaled(1000000);
    soak::Figures f = soak::run(
        "WindowProcedureEvents", count, 10000,
        [&](long from, long to) {
            // The first half of each chunk goes straight to the procedure,
            // as the system sends messages; the second half is posted and
            // fetched by the script's own Widget.eventLoop.
            long middle = from + (to - from) / 2;
            for (long i = from; i < middle; i++) {
                const Message &m = kMessages[i % kMessageKinds];
                // Handled events answer 1 without the default processing.
                if (SendMessageW(frame, m.msg, m.w, m.l) != 1) {
                    ADD_FAILURE() << "event " << m.event << " at " << i << " not handled";
                    return;
                }
            }
            for (long i = middle; i < to; i++) {
                const Message &m = kMessages[i % kMessageKinds];
                ASSERT_TRUE(PostMessageW(frame, m.msg, m.w, m.l));
            }
            // Bounded: a message of the system's own may come in between.
            ASSERT_EQ(host.ok("(function (target, most) { for (var k = 0; k < most &&"
                              " seen < target; k++) Widget.eventLoop(); return seen; })(" +
                              std::to_string(to) + ", " + std::to_string(to - middle + 100) +
                              ")"),
                      std::to_string(to));
        },
        [&] { settle(); });
    EXPECT_EQ(host.ok("seen"), std::to_string(count)) << "an event went missing";
    soak::expectNoGrowth(f);
    host.ok("Widget.destroy(frame)");
}

TEST_F(WidgetSoak, LoadImageOfA256By256Png)
{
    give("png", pngtest::encode(pngtest::pattern(256, 256)));
    long count = soak::scaled(10000);
    soak::Figures f = soak::run(
        "LoadImage256x256", count, 100,
        [&](long from, long to) {
            std::string n = std::to_string(to - from);
            ASSERT_EQ(host.ok("(function () { var ok = 0; for (var i = 0; i < " + n +
                              "; i++) { var im = Widget.loadImage(png);"
                              "  if (im.imageWidth == 256 && im.imageHeight == 256 &&"
                              "      im.imageContent.length == 262144) ok++; }"
                              "  return ok; })()"),
                      n);
        },
        [&] { settle(); });
    soak::expectNoGrowth(f);
}

// A Frame with a child panel, an Edit and a TextArea, each given a place,
// then the Frame destroyed, which takes the children with it.
TEST_F(WidgetSoak, FrameWithChildrenMadeAndDestroyed)
{
    host.ok("function cycle() {"
            "  var f = {type: 'Frame', utitle: 'Soak', show: 0}; Widget.create(f);"
            "  var kids = [{type: 'Component'}, {type: 'Edit', utext: 'edit', textStyle: 'B'},"
            "              {type: 'TextArea', utext: 'area\\r\\nlines'}];"
            "  for (var k = 0; k < kids.length; k++) {"
            "    kids[k].hParent = f.hWnd; Widget.create(kids[k]);"
            "    kids[k].x = 10; kids[k].y = 10 + 30 * k; kids[k].w = 100; kids[k].h = 25;"
            "    Widget.resize(kids[k]); }"
            "  f.x = 50; f.y = 50; f.w = 300; f.h = 200; Widget.resize(f);"
            "  var made = f.hWnd && kids[0].hWnd && kids[1].hWnd && kids[2].hWnd;"
            "  Widget.destroy(f);"
            "  return made ? 1 : 0; }");
    long count = soak::scaled(10000);
    soak::Figures f = soak::run(
        "FrameWithChildrenCycles", count, 100,
        [&](long from, long to) {
            std::string n = std::to_string(to - from);
            ASSERT_EQ(host.ok("(function () { var ok = 0; for (var i = 0; i < " + n +
                              "; i++) ok += cycle(); return ok; })()"),
                      n);
            pump();
        },
        [&] { settle(); });
    soak::expectNoGrowth(f);
}

} // namespace
