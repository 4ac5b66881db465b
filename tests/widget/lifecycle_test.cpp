// Rules that need a fresh process: the saved context, the window class
// registration, and which operations suspend the request (with the host's
// checker on, a host call made while the request is suspended aborts).
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "tests/support/script_host.h"

using testing_support::runScript;
using testing_support::unixLines;

namespace {

testing_support::ProcessResult run(const std::string &js, const std::vector<std::string> &args = {})
{
    return runScript("loadModule('zorvex');\n" + js, args);
}

} // namespace

TEST(Lifecycle, InitRegistersTheClassOnce)
{
    auto r = run("Widget.init(); Widget.init(1, 2);\n"
                 "var f = {show: 0}; Widget.create(f); print(f.hWnd > 0);\n"
                 "print(typeof Widget.init());\n");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(unixLines(r.out), "true\nundefined\n");
}

TEST(Lifecycle, CreateBeforeInitLeavesTheClassUnregistered)
{
    auto r = run("var f = {show: 0}; print(Widget.create(f), f.hWnd);\n"
                 "Widget.init();\n"
                 "var g = {type: 'Dialog', show: 0}; print(Widget.create(g), g.hWnd);\n"
                 "var s = {type: 'Systray'}; print(Widget.create(s));\n"
                 // Classes of the system still work.
                 "var e = {type: 'Edit', utext: 'x'}; print(Widget.create(e) > 0);\n"
                 "var m = {type: 'PopupMenu'}; print(Widget.create(m) > 0);\n");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(unixLines(r.out), "0 0\n0 0\n0\ntrue\ntrue\n");
}

TEST(Lifecycle, AFailingCreateStillSavesTheContext)
{
    auto r = run("try { Widget.create(undefined); } catch (e) { print(e.message); }\n"
                 "Widget.init();\n"
                 "print(Widget.create({show: 0}));\n");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(unixLines(r.out), "Widget: Component is undefined\n0\n");
}

TEST(Lifecycle, CreateWithoutArgumentDoesNotSaveTheContext)
{
    auto r = run("try { Widget.create(); } catch (e) { print(e.message); }\n"
                 "Widget.init();\n"
                 "print(Widget.create({show: 0}) > 0);\n");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(unixLines(r.out), "Native function format error: Widget.create(<cmp>)\ntrue\n");
}

TEST(Lifecycle, NoEventsBeforeTheContextIsSaved)
{
    // Widget.onEvent would throw if called: nothing calls it before init.
    auto r = run("Widget.onEvent = function () { throw new Error('called'); };\n"
                 "var e = {type: 'Edit', utext: 'x'}; Widget.create(e);\n"
                 "print('ok');\n");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(unixLines(r.out), "ok\n");
}

// Probe.watch(hWnd, msg) makes a host call from inside every such message.
// Operations that keep the request make it fine; operations that suspend it
// make the checker abort the process.
struct Bracket {
    const char *name;
    const char *setup; // defines w (the window to watch) and m (the message)
    const char *call;
    bool suspends;
};

class Bracketing : public ::testing::TestWithParam<Bracket> {};

TEST_P(Bracketing, OnlyTheBlockingOperationsSuspend)
{
    const Bracket &b = GetParam();
    std::string js = std::string("loadModule('widgetprobe'); Widget.init();\n"
                                 "Widget.onEvent = function () { return true; };\n"
                                 "var f = {show: 0, x: 10, y: 10, w: 100, h: 100};"
                                 " Widget.create(f);\n"
                                 "var g = {show: 1, x: 30, y: 30, w: 100, h: 100};"
                                 " Widget.create(g); Widget.resize(g);\n"
                                 "var e = {type: 'Edit', hParent: f.hWnd, utext: 'a'};"
                                 " Widget.create(e);\n") +
                     b.setup + "\nProbe.watch(w, m);\n" + b.call +
                     "\nprint('messages', Probe.count() > 0);\n";
    auto r = run(js);
    if (b.suspends) {
        EXPECT_NE(r.exitCode, 0);
        EXPECT_NE(r.err.find("contract violation: newNumber called while the request is suspended"),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(r.out.find("messages"), std::string::npos);
    } else {
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(unixLines(r.out), "messages true\n") << r.err;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Widget, Bracketing,
    ::testing::Values(
        Bracket{"create", "var w = 0, m = 0x81;", "Widget.create({show: 0});", false},
        Bracket{"destroy", "var w = f.hWnd, m = 2;", "Widget.destroy(f);", false},
        Bracket{"setWindowTop", "var w = f.hWnd, m = 0x46;", "Widget.setWindowTop(f);", false},
        Bracket{"show", "var w = f.hWnd, m = 0x18;", "Widget.show(f);", true},
        Bracket{"refresh", "var w = e.hWnd, m = 0x0C;", "Widget.refresh(e);", true},
        Bracket{"resize", "var w = f.hWnd, m = 0x46;", "Widget.resize(f);", true},
        Bracket{"getProperty", "var w = e.hWnd, m = 0x0D;", "Widget.getProperty(e, 'utext');",
                true}),
    [](const ::testing::TestParamInfo<Bracket> &i) { return std::string(i.param.name); });

TEST(Example, WidgetsRunsAndClosesByItself)
{
    std::ifstream in(testing_support::binFolder() + "examples\\widgets.js", std::ios::binary);
    ASSERT_TRUE(in) << "examples/widgets.js not copied next to the tests";
    std::stringstream source;
    source << in.rdbuf();
    auto r = runScript(source.str(), {"--auto-close"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::string out = unixLines(r.out);
    EXPECT_NE(out.find("mirrored: hello"), std::string::npos) << out;
    EXPECT_NE(out.find("frame closed"), std::string::npos) << out;
    EXPECT_EQ(r.err, "");
}
