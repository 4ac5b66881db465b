// The modal system dialogs (Widget.messageBox, Widget.openFileDialog,
// Widget.openDirDialog) and Widget.playSound.  Each suspends its request
// around its one system call: the dialogs' own message loops dispatch to our
// windows, whose procedure then enters the engine with a request of its own.
#include <cstring>
#include <vector>

#include "widget/widget.h"

#include <commdlg.h>
#include <mmsystem.h>
#include <objbase.h>
#include <shlobj.h>

#include "widget/text_field.h"

namespace {

// The folder that the folder dialog selects when it opens: what the last
// call with a `path` gave, kept for the calls without one.
wchar_t g_initialFolder[MAX_PATH];

// OPENFILENAMEW up to FlagsEx, the size Windows 2000 and later expect.
const DWORD kOpenFileNameSize = 88;
static_assert(sizeof(OPENFILENAMEW) >= kOpenFileNameSize, "OPENFILENAMEW layout");

struct MessageBoxType {
    const char *name;
    UINT style;
};

// Anything else shows a plain OK box.
const MessageBoxType kMessageBoxTypes[] = {
    {"OK", MB_OK},
    {"OK_CANCEL", MB_OKCANCEL | MB_ICONEXCLAMATION},
    {"YES_NO", MB_YESNO | MB_ICONQUESTION},
};

struct MessageBoxResult {
    int button;
    const char *text;
};

// Any other code (0: the box could not be shown) leaves the result alone.
const MessageBoxResult kMessageBoxResults[] = {
    {IDOK, "OK"},
    {IDCANCEL, "CANCEL"},
    {IDYES, "YES"},
    {IDNO, "NO"},
};

bool common_start(ScriptContext *cx, int argc, ValueWord *argv, const char *signature)
{
    if (argc < 1) {
        g_host->reportError(cx, "Native function format error: %s", signature);
        return false;
    }
    if (vw_is_undefined(argv[0])) {
        g_host->reportError(cx, "Widget: Component is undefined");
        return false;
    }
    return true;
}

HWND owner_prop(ScriptContext *cx, ValueWord descriptor)
{
    return (HWND)(intptr_t)host_to_int32(g_host->getNumberProperty(cx, descriptor, "hParent", 0));
}

// The filter list with its NUL characters, as the script wrote it, ended by
// two more NULs: a script that forgot its closing "\0" would otherwise let the
// dialog read past the end of the string.
std::vector<wchar_t> filter_list(ScriptContext *cx, ValueWord descriptor)
{
    std::vector<wchar_t> list;
    ValueWord value = g_host->getProperty(cx, descriptor, "filter");
    if (vw_is_absent(value))
        return list;
    const HostWChar *text = g_host->valueToWideString(cx, value);
    int length = g_host->stringLength(cx, value);
    if (!text || length < 0)
        length = 0;
    list.assign(text, text + length);
    list.push_back(0);
    list.push_back(0);
    return list;
}

// Selects the initial folder once the dialog is up.
int CALLBACK folder_dialog_callback(HWND dialog, UINT message, LPARAM, LPARAM)
{
    if (message == BFFM_INITIALIZED)
        SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, (LPARAM)g_initialFolder);
    return 0;
}

} // namespace

WIDGET_NATIVE(widget_messageBox)
{
    if (!common_start(cx, argc, argv, "Widget.messageBox(<cmp>)"))
        return 0;
    ValueWord descriptor = vw_object(argv[0]);
    HWND owner = owner_prop(cx, descriptor);
    const HostWChar *title = g_host->getWideStringProperty(cx, descriptor, "utitle", nullptr);
    const HostWChar *text = g_host->getWideStringProperty(cx, descriptor, "utext", nullptr);
    const char *type = g_host->getStringProperty(cx, descriptor, "type", "OK");
    UINT style = MB_OK;
    for (const MessageBoxType &t : kMessageBoxTypes) {
        if (type && std::strcmp(type, t.name) == 0)
            style = t.style;
    }

    uint32_t token = g_host->suspendRequest(cx);
    int button = MessageBoxW(owner, text, title, style);
    g_host->resumeRequest(cx, token);

    for (const MessageBoxResult &r : kMessageBoxResults) {
        if (button == r.button)
            *rval = g_host->newString(cx, r.text, nullptr);
    }
    return 1;
}

WIDGET_NATIVE(widget_openFileDialog)
{
    if (!common_start(cx, argc, argv, "Widget.openFileDialog(<cmp>)"))
        return 0;
    ValueWord descriptor = vw_object(argv[0]);
    HWND owner = owner_prop(cx, descriptor);
    const HostWChar *dir = g_host->getWideStringProperty(cx, descriptor, "dir", nullptr);
    const HostWChar *file = g_host->getWideStringProperty(cx, descriptor, "file", nullptr);
    std::vector<wchar_t> filter = filter_list(cx, descriptor);

    wchar_t fileName[MAX_PATH];
    copy_cut(fileName, MAX_PATH, file);
    // The initial folder goes through a MAX_PATH buffer too: no folder name
    // is longer, and the dialog of some systems (Wine's) overflows its stack
    // on a huge one.
    wchar_t initialDir[MAX_PATH] = {0};
    if (dir && dir[0]) {
        copy_cut(initialDir, MAX_PATH, dir);
    } else if (GetCurrentDirectoryW(MAX_PATH, initialDir) >= MAX_PATH) {
        // Too long a current directory leaves the buffer empty: the dialog
        // then picks its own starting folder.
        initialDir[0] = 0;
    }
    OPENFILENAMEW request;
    std::memset(&request, 0, sizeof request);
    request.lStructSize = kOpenFileNameSize;
    request.hwndOwner = owner;
    request.lpstrFilter = filter.empty() ? nullptr : filter.data();
    request.lpstrFile = fileName;
    request.nMaxFile = MAX_PATH;
    request.lpstrInitialDir = initialDir;
    request.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST;

    uint32_t token = g_host->suspendRequest(cx);
    BOOL chosen = GetOpenFileNameW(&request);
    g_host->resumeRequest(cx, token);

    if (chosen) {
        fileName[MAX_PATH - 1] = 0;
        *rval = g_host->newString(cx, nullptr, fileName);
    }
    return 1;
}

WIDGET_NATIVE(widget_openDirDialog)
{
    if (!common_start(cx, argc, argv, "Widget.openDirDialog(<cmp>)"))
        return 0;
    ValueWord descriptor = vw_object(argv[0]);
    HWND owner = owner_prop(cx, descriptor);
    const HostWChar *title = g_host->getWideStringProperty(cx, descriptor, "utitle", nullptr);
    const HostWChar *path = g_host->getWideStringProperty(cx, descriptor, "path", nullptr);
    if (path)
        copy_cut(g_initialFolder, MAX_PATH, path);

    wchar_t display[MAX_PATH] = {0};
    BROWSEINFOW request;
    std::memset(&request, 0, sizeof request);
    request.hwndOwner = owner;
    request.pidlRoot = nullptr;
    request.pszDisplayName = display;
    request.lpszTitle = title;
    request.ulFlags = BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
    request.lpfn = folder_dialog_callback;
    request.lParam = 1;

    // The resizable dialog needs COM on this thread.  A thread that already
    // has it in another mode (RPC_E_CHANGED_MODE) keeps it, and only a
    // successful initialisation of ours is undone.
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    uint32_t token = g_host->suspendRequest(cx);
    PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&request);
    g_host->resumeRequest(cx, token);

    if (list) {
        SHGetPathFromIDListW(list, display);
        display[MAX_PATH - 1] = 0;
        *rval = g_host->newString(cx, nullptr, display);
        CoTaskMemFree(list);
    }
    if (com == S_OK || com == S_FALSE)
        CoUninitialize();
    return 1;
}

WIDGET_NATIVE(widget_playSound)
{
    if (argc < 1) {
        g_host->reportError(cx, "Native function format error: %s", "Widget.playSound(<alias>)");
        return 0;
    }
    // An alias of the sound scheme or a wave file; a name the system cannot
    // find plays the default sound.
    const HostWChar *name = g_host->valueToWideString(cx, argv[0]);
    uint32_t token = g_host->suspendRequest(cx);
    sndPlaySoundW(name, SND_ASYNC);
    g_host->resumeRequest(cx, token);
    return 1;
}
