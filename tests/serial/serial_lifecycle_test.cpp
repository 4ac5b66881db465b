// Opening, closing, reopening and finalizing Serial instances.
#include "tests/serial/port_fixture.h"

#include <algorithm>
#include <thread>

namespace serial_test {
namespace {

using SerialLifecycle = SerialPortTest;

bool isLiveHandle(HANDLE h)
{
    DWORD flags;
    return GetHandleInformation(h, &flags) != 0;
}

TEST_F(SerialLifecycle, LoadModuleDefinesTheClass)
{
    testing_support::ProcessResult r = testing_support::runScript(
        "print(loadModule('pellun'), typeof Serial, new Serial() instanceof Serial,"
        " ['open', 'set', 'close', 'read', 'write'].map(function (m) {"
        "   return typeof Serial.prototype[m] + Serial.prototype[m].length; }).join(' '));");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(testing_support::unixLines(r.out),
              "true function true function1 function1 function0 function1 function1\n");
}

TEST_F(SerialLifecycle, OpenTwiceOpensOnceAndReadsPortOnce)
{
    ok("var portReads = 0, s = new Serial();"
       "var p = {get port() { portReads++; return PORT; }};");
    EXPECT_EQ(ok("s.open(p)"), "true");
    std::string first = ok("p.handle");
    EXPECT_EQ(ok("s.open(p) + ' ' + portReads + ' ' + (p.handle == " + first + ")"), "true 1 true");
    EXPECT_EQ(calls().count("CreateFileA"), 1);
    EXPECT_EQ(calls().count("SetCommState"), 2) << "the second open configures the port it holds";
    EXPECT_EQ(ok("var d = Object.getOwnPropertyDescriptor(p, 'handle');"
                 "d.enumerable + ' ' + d.writable + ' ' + typeof d.value"),
              "true false number");
}

TEST_F(SerialLifecycle, OpenPassesThePortNameAndFlags)
{
    openScriptPort();
    ASSERT_EQ(calls().createdNames.size(), 1u);
    EXPECT_EQ(calls().createdNames[0], scriptPort_);
    EXPECT_EQ(calls().createdFlags[0],
              (std::vector<DWORD>{GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING,
                                  FILE_FLAG_WRITE_THROUGH}));
    EXPECT_TRUE(isLiveHandle(scriptHandle("p")));
    calls().failCreateFile = true; // whatever COM1 is on this machine, leave it alone
    EXPECT_EQ(ok("new Serial().open({})"), "false");
    EXPECT_EQ(calls().createdNames.back(), "COM1") << "port defaults to COM1";
}

TEST_F(SerialLifecycle, SetBeforeOpenChangesNothing)
{
    EXPECT_EQ(ok("var reads = 0, s = new Serial(), q = {get baudRate() { reads++; return 9600; },"
                 " port: PORT}; s.set(q) + ' ' + reads + ' ' + ('handle' in q)"),
              "false 0 false");
    EXPECT_EQ(calls().count("SetCommState"), 0);
    EXPECT_EQ(calls().count("CreateFileA"), 0);
    EXPECT_EQ(ok("s.read({count: 1}).length + ' ' + s.write({content: 'x'})"), "0 0");
}

TEST_F(SerialLifecycle, CloseTwiceReturnsNormally)
{
    openScriptPort();
    HANDLE h = scriptHandle("p");
    EXPECT_EQ(ok("s.close(); s.close(); 'closed'"), "closed");
    EXPECT_FALSE(isLiveHandle(h));
    ASSERT_EQ(calls().closedHandles.size(), 2u);
    EXPECT_EQ(calls().closedHandles[0], h);
    EXPECT_EQ(calls().closedHandles[1], INVALID_HANDLE_VALUE);
    // A closed instance: read gives the empty string at once, write 0.
    calls().clear();
    EXPECT_EQ(ok("s.read({count: 3}).length + ' ' + s.write({content: 'abc'})"), "0 0");
    EXPECT_EQ(calls().count("Sleep"), 0);
    EXPECT_EQ(ok("s.set({}) + ' ' + s.close(1, 2, 3)"), "false undefined");
}

TEST_F(SerialLifecycle, ReopensAfterCloseWithAnotherPort)
{
    openScriptPort();
    ok("s.close()");
    // The script side takes the device's port; the test takes the other.
    device_.close();
    ASSERT_EQ(ok("var p2 = {port: DEVICE_PORT}; s.open(p2)"), "true");
    DeviceEnd other;
    ASSERT_EQ(other.open(scriptPort_), "");
    other.drain();
    EXPECT_EQ(ok("s.write({content: 'via the other port'})"), "18");
    EXPECT_EQ(other.read(18), "via the other port");
    other.write("back");
    ASSERT_EQ(waitQueued(scriptHandle("p2"), 4), 4u);
    EXPECT_EQ(ok("s.read({count: 4})"), "back");
    EXPECT_EQ(calls().createdNames, (std::vector<std::string>{scriptPort_, devicePort_}));
}

TEST_F(SerialLifecycle, UnknownPortGivesFalseAndNoHandle)
{
    EXPECT_EQ(ok("var s = new Serial(), q = {port: '\\\\\\\\.\\\\COM250'};"
                 "s.open(q) + ' ' + ('handle' in q)"),
              "false false");
    EXPECT_EQ(calls().createdNames, (std::vector<std::string>{"\\\\.\\COM250"}));
    // Still closed, and still usable.
    EXPECT_EQ(ok("s.set({}) + ' ' + s.open(p = {port: PORT})"), "false true");
}

TEST_F(SerialLifecycle, PortHeldByAnotherInstanceDoesNotOpen)
{
    openScriptPort();
    std::string second = ok("var t = new Serial(), q = {port: PORT}; t.open(q)");
    if (runningOnWine()) {
        // Wine does not enforce share mode 0 on serial ports: the second
        // CreateFileA succeeds.  Windows refuses it (ERROR_ACCESS_DENIED).
        ok("t.close()");
        GTEST_SKIP() << "known Wine difference: a COM port held with share mode 0 opens again "
                        "(second open gave "
                     << second << ")";
    }
    EXPECT_EQ(second, "false");
    EXPECT_EQ(ok("'handle' in q"), "false");
}

TEST_F(SerialLifecycle, FinalizerClosesAForgottenPort)
{
    // A cycle: only the collector, not reference counting, can free it.
    ok("var h = (function () { var lost = new Serial(), q = {port: PORT};"
       " lost.self = lost; lost.open(q); return q.handle; })();");
    HANDLE h = (HANDLE)(intptr_t)std::stol(ok("h"));
    EXPECT_TRUE(isLiveHandle(h));
    EXPECT_TRUE(calls().closedHandles.empty());
    ok("Duktape.gc(); Duktape.gc();");
    EXPECT_EQ(calls().closedHandles, (std::vector<HANDLE>{h})) << "the finalizer must close the port";
    // The port can be opened again.
    EXPECT_EQ(ok("var again = new Serial(); again.open({port: PORT})"), "true");
}

TEST_F(SerialLifecycle, FinalizerOfAClosedInstanceClosesNothingElse)
{
    ok("(function () { var s = new Serial(); s.self = s; s.open({port: PORT}); s.close(); })();");
    calls().clear();
    ok("Duktape.gc(); Duktape.gc();");
    EXPECT_EQ(calls().closedHandles, (std::vector<HANDLE>{INVALID_HANDLE_VALUE}));
}

TEST_F(SerialLifecycle, ConstructorIgnoresItsArguments)
{
    EXPECT_EQ(ok("var reads = 0, q = {get port() { reads++; return PORT; }};"
                 "var s = new Serial(q, 1, 'x'); reads + ' ' + s.set({})"),
              "0 false");
    EXPECT_EQ(calls().count("CreateFileA"), 0);
}

// Which calls suspend the request, and that the waits and the I/O happen
// while it is suspended (the host's checker aborts on any engine call in
// between).
TEST_F(SerialLifecycle, OnlyReadAndWriteSuspendTheRequest)
{
    auto suspensions = [&](const std::string &js) {
        calls().clear();
        ok(js);
        EXPECT_EQ(calls().suspendDepth, 0) << js;
        return calls().count("suspendRequest");
    };
    EXPECT_EQ(suspensions("var s = new Serial(), p = {port: PORT}"), 0);
    EXPECT_EQ(suspensions("s.open(p)"), 0);
    EXPECT_EQ(suspensions("s.set({baudRate: 4800})"), 0);
    EXPECT_EQ(suspensions("s.close(); s.open(p)"), 0);

    device_.write("ab");
    ASSERT_EQ(waitQueued(scriptHandle("p"), 2), 2u);
    EXPECT_EQ(suspensions("s.read({count: 3})"), 1);
    EXPECT_EQ(calls().events.front(), "suspendRequest");
    EXPECT_EQ(calls().events.back(), "resumeRequest");
    for (size_t i = 1; i + 1 < calls().events.size(); i++)
        EXPECT_EQ(calls().events[i][0], '~') << calls().events[i] << " outside the suspension";

    EXPECT_EQ(suspensions("s.read({count: 2})"), 1);
    EXPECT_EQ(calls().events, (std::vector<std::string>{"suspendRequest", "~ClearCommError",
                                                        "~ReadFile", "resumeRequest"}));
    EXPECT_EQ(suspensions("s.write({content: 'x'})"), 1);
    EXPECT_EQ(calls().events, (std::vector<std::string>{"suspendRequest", "~PurgeComm(RX)",
                                                        "~WriteFile", "resumeRequest"}));
    EXPECT_EQ(suspensions("(function () { new Serial().open({port: PORT}); })(); Duktape.gc()"), 0);
    // Errors before the work: no suspension either.
    EXPECT_EQ(suspensions("try { s.read({count: -1}); } catch (e) {}"), 0);
}

// The example, run by scripthost.exe for two seconds on the script's port.
TEST_F(SerialLifecycle, EchoExampleEchoesAndDumps)
{
    std::string path = "Z:" SERIAL_EXAMPLE_ECHO;
    for (char &c : path)
        if (c == '/')
            c = '\\';
    std::string cmd = "\"" + testing_support::binFolder() + "scripthost.exe\" \"" + path + "\" " +
                      scriptPort_ + " 2";
    testing_support::ProcessResult r;
    std::thread child([&] { r = testing_support::runCommand(cmd); });
    Sleep(700); // the script opens its port
    std::string sent = std::string("Hello\0\xff\r\n", 9);
    device_.write(sent);
    std::string echoed = device_.read(sent.size());
    child.join();
    EXPECT_EQ(hex(echoed), hex(sent));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(testing_support::unixLines(r.out),
              "echoing on " + scriptPort_ + " at 9600 baud\n"
              "00000000  48 65 6c 6c 6f 00 ff 0d 0a                       Hello....\n"
              "9 bytes echoed\n");
}

} // namespace
} // namespace serial_test
