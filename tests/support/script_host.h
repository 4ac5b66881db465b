// Test support: the host embedded in a test program, and scripthost.exe run
// as a child process.
#ifndef TESTS_SUPPORT_SCRIPT_HOST_H
#define TESTS_SUPPORT_SCRIPT_HOST_H

#include <string>
#include <vector>

#include "host/host_api.h"

namespace testing_support {

// One engine with the host's globals; modules load from the folder of the
// test program (build/bin).  One at a time per process.
class ScriptHost {
public:
    explicit ScriptHost(bool check = true);
    ~ScriptHost();
    ScriptHost(const ScriptHost &) = delete;
    ScriptHost &operator=(const ScriptHost &) = delete;

    // Evaluates source; returns String(result), or "ERROR: " followed by the
    // error's "file:line: message".
    std::string eval(const std::string &source);
    // Evaluates source and fails the current test when it throws.
    std::string ok(const std::string &source);
    // loadModule(name); "" on success, else the error text.
    std::string load(const std::string &module);
    ScriptContext *context() const { return context_; }

private:
    ScriptContext *context_;
};

struct ProcessResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Writes source to a temporary .js file and runs scripthost.exe on it with
// hostOptions before and args after the script.  Output is captured; the
// child gets SCRIPTHOST_CHECK=1 from the test environment.
ProcessResult runScript(const std::string &source, const std::vector<std::string> &args = {},
                        const std::vector<std::string> &hostOptions = {},
                        unsigned timeoutMs = 60000);
// Runs a command line (UTF-8) and captures its output.
ProcessResult runCommand(const std::string &commandLine, unsigned timeoutMs = 60000);

// The folder of the test program (with a trailing backslash), in UTF-8.
std::string binFolder();
// A fresh temporary file name with the given suffix.
std::string tempPath(const std::string &suffix);
// Windows text mode writes \r\n: tests compare with \n.
std::string unixLines(const std::string &s);

} // namespace testing_support

#endif
