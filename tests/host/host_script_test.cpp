// The host as a program: its globals, loadModule errors, exit codes and the
// request checker, each in a scripthost.exe of its own.
#include <gtest/gtest.h>

#include "tests/support/script_host.h"

using testing_support::runScript;
using testing_support::unixLines;

TEST(HostProgram, GlobalsReadWriteAndArguments)
{
    std::string path = testing_support::tempPath(".bin");
    std::string js = "var s = ''; for (var i = 0; i < 256; i++) s += String.fromCharCode(i);\n"
                     "writeFile(scriptArgs[0], s + s);\n"
                     "var back = readFile(scriptArgs[0]);\n"
                     "print(back.length, back === s + s, scriptArgs.length, scriptArgs[1]);\n";
    auto r = runScript(js, {path, "z\xC3\xA9"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(unixLines(r.out), "512 true 2 z\xC3\xA9\n");
}

TEST(HostProgram, UncaughtErrorPrintsFileLineAndFails)
{
    auto r = runScript("print('before');\n\nthrow new Error('it broke');\n");
    EXPECT_NE(r.exitCode, 0);
    EXPECT_EQ(unixLines(r.out), "before\n");
    EXPECT_NE(r.err.find(".js:3: Error: it broke"), std::string::npos) << r.err;
}

TEST(HostProgram, ExitEndsAtOnceWithItsCode)
{
    auto r = runScript("print('a'); exit(7); print('b');");
    EXPECT_EQ(r.exitCode, 7);
    EXPECT_EQ(unixLines(r.out), "a\n");
}

TEST(HostProgram, LoadModuleErrorsNameTheDll)
{
    auto r = runScript("try { loadModule('nosuchmodule') } catch (e) { print(e.message) }");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("nosuchmodule.dll"), std::string::npos) << r.out;
    // kernel32 loads but has no initModule.
    r = runScript("try { loadModule('kernel32') } catch (e) { print(e.message) }");
    EXPECT_NE(r.out.find("kernel32.dll has no initModule"), std::string::npos) << r.out;
    r = runScript("print(loadModule('hostcheck'), loadModule('hostcheck'), typeof HostCheck)");
    EXPECT_EQ(unixLines(r.out), "true true object\n") << r.err;
}

TEST(HostProgram, ModuleOptionLoadsBeforeTheScript)
{
    auto r = runScript("print(typeof HostCheck)", {}, {"-m", "hostcheck"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(unixLines(r.out), "object\n");
    r = runScript("print(1)", {}, {"-m", "nosuchmodule"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("nosuchmodule.dll"), std::string::npos) << r.err;
}

TEST(HostProgram, VersionAndHelp)
{
    auto r = testing_support::runCommand("\"" + testing_support::binFolder() + "scripthost.exe\" --version");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.rfind("scripthost ", 0), 0u) << r.out;
    r = testing_support::runCommand("\"" + testing_support::binFolder() + "scripthost.exe\" --help");
    EXPECT_NE(r.out.find("usage: scripthost"), std::string::npos);
}

TEST(HostProgram, CheckerCatchesProtocolFaults)
{
    struct Case {
        const char *call;
        const char *message;
    } cases[] = {
        {"HostCheck.callWhileSuspended()", "newNumber called while the request is suspended"},
        {"HostCheck.wrongToken()", "does not match"},
        {"HostCheck.leaveSuspended()", "unbalanced"},
    };
    for (const Case &c : cases) {
        auto r = runScript(std::string("loadModule('hostcheck'); ") + c.call + "; print('survived')");
        EXPECT_NE(r.exitCode, 0) << c.call;
        EXPECT_NE(r.err.find("contract violation"), std::string::npos) << c.call << ": " << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.call << ": " << r.err;
        EXPECT_EQ(r.out.find("survived"), std::string::npos) << c.call;
    }
}

TEST(HostProgram, FinalizersRunAtExit)
{
    // The finalizer of a live instance runs when the host ends normally.
    auto r = runScript("loadModule('hostcheck'); var p = new Probe(); print(HostCheck.counts());");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(unixLines(r.out), "1000\n");
}

TEST(HostProgram, HelloExampleRuns)
{
    auto r = testing_support::runCommand("\"" + testing_support::binFolder() + "scripthost.exe\" \"" +
                                         testing_support::binFolder() + "..\\..\\examples\\hello.js\" one");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(unixLines(r.out).find("Hello from scripthost!\narguments: [\"one\"]\n"), std::string::npos) << r.out;
}

TEST(HostProgram, FileErrorsNameThePathAndTheScriptLine)
{
    auto r = runScript("try {\n  readFile('no/such/file.bin')\n} catch (e) { print(e.message); print(e.lineNumber) }\n"
                       "try { writeFile('no/such/dir/x.bin', 'x') } catch (e) { print(e.message) }");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::string out = unixLines(r.out);
    EXPECT_NE(out.find("readFile: cannot open 'no/such/file.bin'"), std::string::npos) << out;
    EXPECT_NE(out.find("\n2\n"), std::string::npos) << out;
    EXPECT_NE(out.find("writeFile: cannot open 'no/such/dir/x.bin'"), std::string::npos) << out;
}
