#include "scripthost/globals.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "duktape.h"
#include "scripthost/engine.h"
#include "scripthost/text_convert.h"

namespace {

ScriptContext *g_context = nullptr;
std::set<HMODULE> g_initialised; // modules whose initModule has run

std::string utf8(const std::wstring &w)
{
    if (w.empty())
        return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), nullptr, 0, nullptr, nullptr);
    std::string s((size_t)n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), &s[0], n, nullptr, nullptr);
    return s;
}

void pushWide(duk_context *d, const std::wstring &w)
{
    std::vector<uint8_t> buf(w.size() * 3 + 1);
    size_t n = text::encodeUtf16((const uint16_t *)w.data(), w.size(), buf.data());
    duk_push_lstring(d, (const char *)buf.data(), n);
}

std::wstring wideOf(duk_context *d, duk_idx_t index)
{
    duk_size_t len = 0;
    const char *s = duk_to_lstring(d, index, &len);
    std::wstring w(len, L'\0');
    size_t n = text::decodeToUtf16((const uint8_t *)s, len, (uint16_t *)&w[0]);
    w.resize(n);
    return w;
}

std::string windowsErrorText(DWORD code)
{
    wchar_t *buf = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0, (LPWSTR)&buf, 0, nullptr);
    std::wstring w = n && buf ? std::wstring(buf, n) : std::wstring();
    if (buf)
        LocalFree(buf);
    while (!w.empty() && (w.back() == L'\n' || w.back() == L'\r' || w.back() == L' ' || w.back() == L'.'))
        w.pop_back();
    if (w.empty())
        return "Windows error " + std::to_string(code);
    return utf8(w) + " (error " + std::to_string(code) + ")";
}

// The imports of a DLL that cannot be found: Windows reports only "module
// not found" for a missing dependency, never which one.
std::string missingImports(const std::wstring &path)
{
    HMODULE image = LoadLibraryExW(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    if (!image)
        return std::string();
    std::string missing;
    const BYTE *base = (const BYTE *)image;
    const IMAGE_DOS_HEADER *dos = (const IMAGE_DOS_HEADER *)base;
    const IMAGE_NT_HEADERS *nt = (const IMAGE_NT_HEADERS *)(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY &dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress && dir.Size) {
        const IMAGE_IMPORT_DESCRIPTOR *imp = (const IMAGE_IMPORT_DESCRIPTOR *)(base + dir.VirtualAddress);
        for (; imp->Name; imp++) {
            const char *name = (const char *)(base + imp->Name);
            if (GetModuleHandleA(name))
                continue;
            HMODULE probe = LoadLibraryExA(name, nullptr, LOAD_LIBRARY_AS_DATAFILE);
            if (probe) {
                FreeLibrary(probe);
                continue;
            }
            if (!missing.empty())
                missing += ", ";
            missing += name;
        }
    }
    FreeLibrary(image);
    return missing;
}

// Natives of the host itself.  Each builds what it needs in a helper that
// returns, so that no C++ object is alive when the engine throws.

duk_ret_t js_print(duk_context *d)
{
    duk_idx_t n = duk_get_top(d);
    for (duk_idx_t i = 0; i < n; i++)
        duk_to_string(d, i);
    if (n > 1) {
        duk_push_string(d, " ");
        duk_insert(d, 0);
        duk_join(d, n);
    } else if (n == 0) {
        duk_push_string(d, "");
    }
    duk_size_t len = 0;
    const char *s = duk_get_lstring(d, -1, &len);
    // CESU-8 surrogate pairs back to UTF-8 for the console; never longer.
    char small[512];
    char *out = len <= sizeof small ? small : (char *)duk_push_fixed_buffer(d, len);
    size_t m = text::cesu8ToUtf8((const uint8_t *)s, len, (uint8_t *)out);
    std::fwrite(out, 1, m, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    return 0;
}

bool readWhole(const std::wstring &path, std::string *data, std::string *error)
{
    FILE *f = _wfopen(path.c_str(), L"rb");
    if (!f) {
        *error = "readFile: cannot open '" + utf8(path) + "': " + std::strerror(errno);
        return false;
    }
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        data->append(buf, n);
    bool bad = std::ferror(f) != 0;
    std::fclose(f);
    if (bad) {
        *error = "readFile: cannot read '" + utf8(path) + "'";
        return false;
    }
    return true;
}

int readFileInto(duk_context *d, std::string *error)
{
    std::wstring path = wideOf(d, 0);
    std::string data;
    if (!readWhole(path, &data, error))
        return 0;
    engine::pushByteString(g_context, (const uint8_t *)data.data(), data.size());
    return 1;
}

duk_ret_t js_readFile(duk_context *d)
{
    if (duk_get_top(d) < 1) {
        duk_error_raw(d, DUK_ERR_TYPE_ERROR, nullptr, 0, "readFile(path): path missing");
        return 0;
    }
    char message[1024];
    {
        std::string error;
        if (readFileInto(d, &error))
            return 1;
        std::snprintf(message, sizeof message, "%s", error.c_str());
    }
    duk_error_raw(d, DUK_ERR_ERROR, nullptr, 0, "%s", message);
    return 0;
}

int writeFileFrom(duk_context *d, std::string *error)
{
    std::wstring path = wideOf(d, 0);
    duk_size_t len = 0;
    const char *s = duk_to_lstring(d, 1, &len);
    std::vector<uint8_t> bytes(len + 1);
    size_t n = text::decodeToLatin1((const uint8_t *)s, len, bytes.data());
    FILE *f = _wfopen(path.c_str(), L"wb");
    if (!f) {
        *error = "writeFile: cannot open '" + utf8(path) + "': " + std::strerror(errno);
        return 0;
    }
    size_t w = std::fwrite(bytes.data(), 1, n, f);
    bool bad = std::fclose(f) != 0 || w != n;
    if (bad) {
        *error = "writeFile: cannot write '" + utf8(path) + "'";
        return 0;
    }
    return 1;
}

duk_ret_t js_writeFile(duk_context *d)
{
    if (duk_get_top(d) < 2) {
        duk_error_raw(d, DUK_ERR_TYPE_ERROR, nullptr, 0, "writeFile(path, byteString): arguments missing");
        return 0;
    }
    char message[1024];
    {
        std::string error;
        if (writeFileFrom(d, &error)) {
            duk_push_true(d);
            return 1;
        }
        std::snprintf(message, sizeof message, "%s", error.c_str());
    }
    duk_error_raw(d, DUK_ERR_ERROR, nullptr, 0, "%s", message);
    return 0;
}

duk_ret_t js_exit(duk_context *d)
{
    int code = duk_get_top(d) > 0 ? (int)duk_to_int32(d, 0) : 0;
    std::fflush(stdout);
    std::fflush(stderr);
    ExitProcess((UINT)code);
    return 0;
}

int loadModuleFromScript(duk_context *d, std::string *error)
{
    if (duk_get_top(d) < 1 || duk_is_null_or_undefined(d, 0)) {
        *error = "loadModule(name): name missing";
        return 0;
    }
    std::wstring name = wideOf(d, 0);
    return globals::loadModule(g_context, name, error) ? 1 : 0;
}

duk_ret_t js_loadModule(duk_context *d)
{
    char message[2048];
    {
        std::string error;
        if (loadModuleFromScript(d, &error)) {
            duk_push_true(d);
            return 1;
        }
        std::snprintf(message, sizeof message, "%s", error.c_str());
    }
    // No C file and line: the error then points at the script line that
    // called loadModule, which is what a user can act on.
    duk_error_raw(d, DUK_ERR_ERROR, nullptr, 0, "%s", message);
    return 0;
}

} // namespace

namespace globals {

std::wstring exeFolder()
{
    wchar_t path[MAX_PATH * 4];
    DWORD n = GetModuleFileNameW(nullptr, path, (DWORD)(sizeof path / sizeof path[0]));
    std::wstring p(path, n);
    size_t slash = p.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : p.substr(0, slash + 1);
}

bool loadModule(ScriptContext *context, const std::wstring &nameIn, std::string *error)
{
    std::wstring name = nameIn;
    if (name.empty()) {
        *error = "loadModule: empty module name";
        return false;
    }
    if (name.find(L'\0') != std::wstring::npos) {
        *error = "loadModule: module name contains a NUL character";
        return false;
    }
    std::wstring file = name;
    if (file.size() < 4 || _wcsicmp(file.c_str() + file.size() - 4, L".dll") != 0)
        file += L".dll";
    std::wstring local = exeFolder() + file;
    bool hasPath = file.find_first_of(L"\\/:") != std::wstring::npos;
    HMODULE module = nullptr;
    std::wstring tried;
    DWORD code = 0;
    if (!hasPath && GetFileAttributesW(local.c_str()) != INVALID_FILE_ATTRIBUTES) {
        module = LoadLibraryW(local.c_str());
        tried = local;
        if (!module)
            code = GetLastError();
    }
    if (!module && !code) {
        module = LoadLibraryW(file.c_str());
        tried = file;
        if (!module)
            code = GetLastError();
    }
    if (!module) {
        std::string message = "loadModule: cannot load " + utf8(file) + ": " + windowsErrorText(code);
        if (code == ERROR_MOD_NOT_FOUND && GetFileAttributesW(tried.c_str()) != INVALID_FILE_ATTRIBUTES) {
            std::string missing = missingImports(tried);
            if (!missing.empty())
                message += "; missing " + missing + " (needed by " + utf8(file) + ")";
        }
        *error = message;
        return false;
    }
    if (g_initialised.count(module)) {
        FreeLibrary(module); // keep one reference
        return true;
    }
    InitModuleFunction init = (InitModuleFunction)(void *)GetProcAddress(module, "initModule");
    if (!init) {
        *error = "loadModule: " + utf8(file) + " has no initModule export";
        FreeLibrary(module);
        return false;
    }
    g_initialised.insert(module);
    std::string initError;
    int result = engine::callInit(context, init, &initError);
    if (result == 0) {
        *error = "loadModule: initModule of " + utf8(file) + " failed";
        if (!initError.empty())
            *error += ": " + initError;
        return false;
    }
    return true;
}

void install(ScriptContext *context, const std::vector<std::wstring> &args)
{
    g_context = context;
    duk_context *d = engine::duk(context);
    static const duk_function_list_entry functions[] = {
        {"loadModule", js_loadModule, 1},
        {"print", js_print, DUK_VARARGS},
        {"readFile", js_readFile, 1},
        {"writeFile", js_writeFile, 2},
        {"exit", js_exit, 1},
        {nullptr, nullptr, 0},
    };
    duk_push_global_object(d);
    duk_put_function_list(d, -1, functions);
    duk_push_array(d);
    for (size_t i = 0; i < args.size(); i++) {
        pushWide(d, args[i]);
        duk_put_prop_index(d, -2, (duk_uarridx_t)i);
    }
    duk_put_prop_string(d, -2, "scriptArgs");
    duk_pop(d);
}

} // namespace globals
