// Shared set-up of the widget tests: one host per test program with zorvex
// loaded and Widget.init done, a script-side event recorder, and helpers to
// reach the windows that scripts made.
#ifndef TESTS_WIDGET_WIDGET_FIXTURE_H
#define TESTS_WIDGET_WIDGET_FIXTURE_H

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/iat_patch.h"
#include "tests/support/script_host.h"

namespace widget_test {

// The module keeps the first context it saw for the life of the process, so
// every test of a program shares one host (ctest runs each case in a process
// of its own anyway).
testing_support::ScriptHost &host();

// Makes sure Wine's desktop process runs before any window or child
// process needs it.  Wine starts it on first use with the starting process's
// standard handles: started by a child of runScript it would hold the
// capture pipes open, started here it gets none.
void startDesktop();

// Dispatches every message waiting in this thread's queue (no events wait
// for the script to ask).
void pump();
// Pumps until the script expression is true or about two seconds passed.
bool pumpUntil(const std::string &expression);

// Replaces the import `function` of `dll` in the loaded module with
// `replacement`; returns the original or null.

using testing_support::patchImport; // tests/support/iat_patch.h

class WidgetTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string ok(const std::string &js) { return host().ok(js); }
    std::string eval(const std::string &js) { return host().eval(js); }
    // The events recorded since the last call, one JSON object a line.
    std::string events() { return ok("take()"); }
    // A window handle from a script expression.
    HWND window(const std::string &expression);
    // Script: var name = make(descriptor); the component is destroyed in
    // TearDown.
    HWND make(const std::string &name, const std::string &descriptor);
};

std::wstring windowText(HWND window);
std::string className(HWND window);

} // namespace widget_test

#endif
