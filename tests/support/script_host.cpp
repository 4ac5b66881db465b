#include "tests/support/script_host.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

#include "scripthost/engine.h"
#include "scripthost/globals.h"

namespace testing_support {

namespace {

std::wstring wide(const std::string &s)
{
    if (s.empty())
        return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), nullptr, 0);
    std::wstring w((size_t)n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), &w[0], n);
    return w;
}

std::string narrow(const std::wstring &w)
{
    if (w.empty())
        return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), nullptr, 0, nullptr, nullptr);
    std::string s((size_t)n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), &s[0], n, nullptr, nullptr);
    return s;
}

std::string quote(const std::string &a)
{
    if (!a.empty() && a.find_first_of(" \t\"") == std::string::npos)
        return a;
    std::string q = "\"";
    for (char c : a) {
        if (c == '"')
            q += '\\';
        q += c;
    }
    return q + "\"";
}

void drain(HANDLE pipe, std::string *out)
{
    char buf[4096];
    DWORD n;
    while (ReadFile(pipe, buf, sizeof buf, &n, nullptr) && n > 0)
        out->append(buf, n);
}

} // namespace

ScriptHost::ScriptHost(bool check) : context_(engine::create(check))
{
    if (context_)
        globals::install(context_, {});
}

ScriptHost::~ScriptHost() { engine::destroy(context_); }

std::string ScriptHost::eval(const std::string &source)
{
    if (!context_)
        return "ERROR: no host";
    std::string out;
    if (!engine::evalToString(context_, "test.js", source, &out))
        return "ERROR: " + out;
    return out;
}

std::string ScriptHost::ok(const std::string &source)
{
    std::string r = eval(source);
    EXPECT_EQ(r.rfind("ERROR: ", 0), std::string::npos) << "script failed: " << r << "\n" << source;
    return r;
}

std::string ScriptHost::load(const std::string &module)
{
    std::string error;
    if (!globals::loadModule(context_, wide(module), &error))
        return error.empty() ? "failed" : error;
    return "";
}

std::string binFolder() { return narrow(globals::exeFolder()); }

std::string tempPath(const std::string &suffix)
{
    static unsigned counter = 0;
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    return narrow(dir) + "scripthost-test-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(++counter) + suffix;
}

std::string unixLines(const std::string &s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); i++) {
        if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n')
            continue;
        out += s[i];
    }
    return out;
}

ProcessResult runCommand(const std::string &commandLine, unsigned timeoutMs)
{
    ProcessResult r;
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE outRead, outWrite, errRead, errWrite;
    CreatePipe(&outRead, &outWrite, &sa, 0);
    CreatePipe(&errRead, &errWrite, &sa, 0);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = outWrite;
    si.hStdError = errWrite;
    PROCESS_INFORMATION pi = {};
    std::wstring cmd = wide(commandLine);
    if (!CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        r.err = "CreateProcess failed: " + std::to_string(GetLastError());
        CloseHandle(outRead);
        CloseHandle(outWrite);
        CloseHandle(errRead);
        CloseHandle(errWrite);
        return r;
    }
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    std::thread outThread(drain, outRead, &r.out);
    std::thread errThread(drain, errRead, &r.err);
    if (WaitForSingleObject(pi.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(pi.hProcess, 999);
        WaitForSingleObject(pi.hProcess, INFINITE);
        r.err += "\n[killed after time-out]";
    }
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    r.exitCode = (int)code;
    outThread.join();
    errThread.join();
    CloseHandle(outRead);
    CloseHandle(errRead);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return r;
}

ProcessResult runScript(const std::string &source, const std::vector<std::string> &args,
                        const std::vector<std::string> &hostOptions, unsigned timeoutMs)
{
    std::string path = tempPath(".js");
    FILE *f = _wfopen(wide(path).c_str(), L"wb");
    if (f) {
        std::fwrite(source.data(), 1, source.size(), f);
        std::fclose(f);
    }
    std::string cmd = quote(binFolder() + "scripthost.exe");
    for (const std::string &o : hostOptions)
        cmd += " " + quote(o);
    cmd += " " + quote(path);
    for (const std::string &a : args)
        cmd += " " + quote(a);
    ProcessResult r = runCommand(cmd, timeoutMs);
    DeleteFileW(wide(path).c_str());
    return r;
}

} // namespace testing_support
