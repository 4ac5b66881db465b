// scripthost.exe [-m MODULE]... SCRIPT [ARGS...]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "scripthost/engine.h"
#include "scripthost/globals.h"

#ifndef SCRIPTHOST_VERSION
#define SCRIPTHOST_VERSION "0.0.0"
#endif

namespace {

const char kUsage[] =
    "usage: scripthost [-m MODULE]... SCRIPT [ARGS...]\n"
    "       scripthost --help | --version\n"
    "\n"
    "Runs SCRIPT (JavaScript, UTF-8) with the globals loadModule, print, readFile,\n"
    "writeFile, scriptArgs and exit.  -m MODULE loads MODULE.dll before the script\n"
    "runs, as loadModule(\"MODULE\") would.  Set SCRIPTHOST_CHECK=1 to abort on\n"
    "request protocol violations of modules.\n";

std::string utf8(const std::wstring &w)
{
    if (w.empty())
        return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), nullptr, 0, nullptr, nullptr);
    std::string s((size_t)n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), &s[0], n, nullptr, nullptr);
    return s;
}

bool readScript(const std::wstring &path, std::string *source)
{
    FILE *f = _wfopen(path.c_str(), L"rb");
    if (!f)
        return false;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        source->append(buf, n);
    std::fclose(f);
    // A UTF-8 byte order mark is not part of the program.
    if (source->compare(0, 3, "\xEF\xBB\xBF") == 0)
        source->erase(0, 3);
    return true;
}

int run(int argc, wchar_t **argv)
{
    std::vector<std::wstring> modules;
    int i = 1;
    for (; i < argc; i++) {
        std::wstring a = argv[i];
        if (a == L"--help" || a == L"-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (a == L"--version") {
            std::printf("scripthost %s\n", SCRIPTHOST_VERSION);
            return 0;
        }
        if (a == L"-m") {
            if (i + 1 >= argc) {
                std::fputs("scripthost: -m needs a module name\n", stderr);
                return 2;
            }
            modules.push_back(argv[++i]);
            continue;
        }
        if (a.size() > 1 && a[0] == L'-' && a != L"-") {
            std::fprintf(stderr, "scripthost: unknown option %s\n%s", utf8(a).c_str(), kUsage);
            return 2;
        }
        break;
    }
    if (i >= argc) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::wstring scriptPath = argv[i++];
    std::vector<std::wstring> args(argv + i, argv + argc);

    std::string source;
    if (!readScript(scriptPath, &source)) {
        std::fprintf(stderr, "scripthost: cannot read %s: %s\n", utf8(scriptPath).c_str(),
                     std::strerror(errno));
        return 2;
    }
    const char *checkEnv = std::getenv("SCRIPTHOST_CHECK");
    bool check = checkEnv && std::strcmp(checkEnv, "0") != 0 && *checkEnv;
    ScriptContext *context = engine::create(check);
    if (!context) {
        std::fputs("scripthost: cannot create the script engine\n", stderr);
        return 2;
    }
    globals::install(context, args);
    for (const std::wstring &m : modules) {
        std::string error;
        if (!globals::loadModule(context, m, &error)) {
            std::fprintf(stderr, "scripthost: %s\n", error.c_str());
            std::fflush(stdout);
            return 1;
        }
    }
    std::string error;
    bool ok = engine::runMain(context, utf8(scriptPath), source, &error);
    std::fflush(stdout);
    if (!ok) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::fflush(stderr);
        // Leave without finalizers: the script's state is unknown.
        return 1;
    }
    engine::destroy(context);
    std::fflush(stdout);
    return 0;
}

} // namespace

int main()
{
    SetConsoleOutputCP(CP_UTF8);
    int argc = 0;
    wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) {
        std::fputs("scripthost: cannot read the command line\n", stderr);
        return 2;
    }
    int code = run(argc, argv);
    LocalFree(argv);
    std::fflush(stdout);
    std::fflush(stderr);
    return code;
}
