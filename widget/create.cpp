// Widget.init (the window class) and Widget.create (every component type).
#include <cstring>

#include "widget/browser.h"
#include "widget/descriptor_props.h"
#include "widget/event_texts.h"
#include "widget/widget.h"
#include "widget/window_proc.h"

#include <commctrl.h> // after windows.h, which widget.h brings

namespace {

const wchar_t kClassName[] = L"WndClass";
const HostWChar kDefaultTitle[] = L"Title";
const HostWChar kDefaultFont[] = L"Arial";
const HostWChar kEmptyText[] = L"";

const DWORD kFrameStyle = WS_CAPTION | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
const DWORD kDialogStyle = WS_CAPTION | WS_MINIMIZEBOX;
const DWORD kEditStyle = WS_CHILD | ES_AUTOHSCROLL;
const DWORD kTextAreaStyle = WS_CHILD | WS_VSCROLL | ES_READONLY | ES_MULTILINE;

int32_t number_prop(ScriptContext *cx, ValueWord descriptor, const char *name, double fallback)
{
    return host_to_int32(g_host->getNumberProperty(cx, descriptor, name, fallback));
}

HWND make_window(DWORD exStyle, const wchar_t *className, const HostWChar *text, DWORD style,
                 HWND parent)
{
    return CreateWindowExW(exStyle, className, text, style, 0, 0, 0, 0, parent, NULL, g_instance,
                           NULL);
}

// Frame and Dialog: the icon is both the small (caption) and the big
// (Alt+Tab) icon.
void set_icons(HWND window, HICON icon)
{
    if (!window || !icon)
        return;
    SendMessageW(window, WM_SETICON, ICON_SMALL, (LPARAM)icon);
    SendMessageW(window, WM_SETICON, ICON_BIG, (LPARAM)icon);
}

// The font of an Edit or TextArea belongs to its control: a subclass of the
// control deletes it once the control is gone (WM_NCDESTROY comes last), so
// that forms made and destroyed again and again do not run the process out
// of GDI objects.  The subclass keeps the font as its reference data; the
// module keeps no record of it.
LRESULT CALLBACK font_owner(HWND control, UINT message, WPARAM first, LPARAM second,
                            UINT_PTR id, DWORD_PTR font)
{
    if (message != WM_NCDESTROY)
        return DefSubclassProc(control, message, first, second);
    RemoveWindowSubclass(control, font_owner, id);
    LRESULT result = DefSubclassProc(control, message, first, second);
    DeleteObject((HFONT)font);
    return result;
}

// Edit and TextArea.
void set_up_font(ScriptContext *cx, ValueWord descriptor, HWND control)
{
    const HostWChar *face = g_host->getWideStringProperty(cx, descriptor, PROP_TEXT_FONT,
                                                          kDefaultFont);
    int32_t size = number_prop(cx, descriptor, PROP_TEXT_SIZE, 12);
    const char *letters = g_host->getStringProperty(cx, descriptor, PROP_TEXT_STYLE, "");
    if (!letters)
        letters = "";
    int weight = std::strchr(letters, 'B') ? FW_BOLD : FW_NORMAL;
    DWORD italic = std::strchr(letters, 'I') ? 1 : 0;
    // 0u - size: a negative height asks for that character height, without
    // overflow for the most negative size.
    HFONT font = CreateFontW((int)(0u - (uint32_t)size), 0, 0, 0, weight, italic, 0, 0,
                             ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, PROOF_QUALITY,
                             0, face ? face : kDefaultFont);
    SendMessageW(control, WM_SETFONT, (WPARAM)font, 0);
    // No control to own it (a failed creation): the font has no user.
    if (font && !control)
        DeleteObject(font);
    else if (font)
        SetWindowSubclass(control, font_owner, 0, (DWORD_PTR)font);
}

// MenuItem: appends to the menu hParent.  A descriptor without utext gets an
// item with empty text rather than a null string.
void append_menu_item(ScriptContext *cx, ValueWord descriptor, HMENU menu)
{
    int32_t id = number_prop(cx, descriptor, PROP_ID, 0);
    int32_t defaultItem = number_prop(cx, descriptor, PROP_DEFAULT_ITEM, 0);
    const HostWChar *text = g_host->getWideStringProperty(cx, descriptor, PROP_UTEXT, nullptr);
    if (!text)
        text = kEmptyText;
    if (text[0] == L'-' && text[1] == 0) {
        AppendMenuW(menu, MF_SEPARATOR, (UINT_PTR)(uint32_t)id, text);
        return;
    }
    AppendMenuW(menu, MF_STRING | MF_DEFAULT, (UINT_PTR)(uint32_t)id, text);
    if (defaultItem != 0)
        SetMenuDefaultItem(menu, (UINT)id, FALSE);
}

} // namespace

WIDGET_NATIVE(widget_init)
{
    (void)self, (void)argc, (void)argv, (void)rval;
    if (g_saved)
        return 1;
    g_saved = cx;
    WNDCLASSW wc = {};
    wc.style = 0; // no CS_DBLCLKS, no redraw on resize
    wc.lpfnWndProc = widget_window_proc;
    wc.hInstance = g_instance;
    wc.hCursor = LoadCursorW(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    wc.lpszClassName = kClassName;
    RegisterClassW(&wc);
    return 1;
}

WIDGET_NATIVE(widget_create)
{
    (void)self;
    if (argc < 1) {
        g_host->reportError(cx, "Native function format error: %s", "Widget.create(<cmp>)");
        return 0;
    }
    // Before the check below: even a failing call fixes the saved context.
    if (!g_saved)
        g_saved = cx;
    if (vw_is_undefined(argv[0])) {
        g_host->reportError(cx, "Widget: Component is undefined");
        return 0;
    }
    ValueWord descriptor = vw_object(argv[0]);

    const char *type = g_host->getStringProperty(cx, descriptor, PROP_TYPE, TYPE_FRAME);
    const HostWChar *title = g_host->getWideStringProperty(cx, descriptor, PROP_UTITLE,
                                                           kDefaultTitle);
    HWND parent = (HWND)(intptr_t)number_prop(cx, descriptor, PROP_HPARENT, 0);
    HICON icon = (HICON)(intptr_t)number_prop(cx, descriptor, PROP_HICON, 0);
    int32_t show = number_prop(cx, descriptor, PROP_SHOW, 1);
    int32_t timer = number_prop(cx, descriptor, PROP_TIMER, -1);
    if (!type)
        type = TYPE_FRAME;
    DWORD style = show != 0 ? WS_VISIBLE : 0;
    HANDLE handle = NULL;

    if (std::strcmp(type, TYPE_FRAME) == 0 || std::strcmp(type, TYPE_DIALOG) == 0) {
        style |= std::strcmp(type, TYPE_FRAME) == 0 ? kFrameStyle : kDialogStyle;
        // Without an icon there is no system menu, so no close box either.
        if (icon)
            style |= WS_SYSMENU;
        HWND window = make_window(0, kClassName, title, style, parent);
        set_icons(window, icon);
        handle = window;
    } else if (std::strcmp(type, TYPE_COMPONENT) == 0) {
        style |= WS_CHILD;
        handle = make_window(0, kClassName, NULL, style, parent);
    } else if (std::strcmp(type, TYPE_WEB) == 0) {
        // A child window of its own size with the browser in it.  Neither
        // result is looked at: the component keeps its window either way.
        const HostWChar *url = g_host->getWideStringProperty(cx, descriptor, PROP_URL, nullptr);
        int32_t width = number_prop(cx, descriptor, PROP_W, 1000);
        int32_t height = number_prop(cx, descriptor, PROP_H, 1000);
        style |= WS_CHILD;
        HWND window = CreateWindowExW(0, kClassName, NULL, style, 0, 0, width, height, parent,
                                      NULL, g_instance, NULL);
        if (window) {
            embedBrowser(window, g_host, g_saved);
            navigateBrowser(window, url);
            UpdateWindow(window);
        }
        handle = window;
    } else if (std::strcmp(type, TYPE_SYSTRAY) == 0) {
        // A hidden window that only receives the tray icon's messages; the
        // written style still tells what was asked for.
        handle = make_window(0, kClassName, NULL, 0, parent);
    } else if (std::strcmp(type, TYPE_EDIT) == 0 || std::strcmp(type, TYPE_TEXTAREA) == 0) {
        style |= std::strcmp(type, TYPE_EDIT) == 0 ? kEditStyle : kTextAreaStyle;
        const HostWChar *text = g_host->getWideStringProperty(cx, descriptor, PROP_UTEXT, nullptr);
        HWND control = make_window(WS_EX_CLIENTEDGE, L"EDIT", text, style, parent);
        set_up_font(cx, descriptor, control);
        handle = control;
    } else if (std::strcmp(type, TYPE_POPUPMENU) == 0) {
        handle = CreatePopupMenu();
    } else if (std::strcmp(type, TYPE_MENUITEM) == 0) {
        append_menu_item(cx, descriptor, (HMENU)parent);
    }

    // Timer identifier 0; it runs until the window goes.  A menu handle is
    // no window, so SetTimer fails on a PopupMenu without harm.
    if (timer >= 0 && handle)
        SetTimer((HWND)handle, 0, (UINT)timer, NULL);

    int32_t handleValue = (int32_t)(intptr_t)handle;
    g_host->defineProperty(cx, descriptor, PROP_STYLE, g_host->newNumber(cx, (int32_t)style),
                           nullptr, nullptr, HOST_ATTR_ENUMERABLE | HOST_ATTR_READONLY);
    g_host->defineProperty(cx, descriptor, PROP_HWND, g_host->newNumber(cx, handleValue), nullptr,
                           nullptr, HOST_ATTR_ENUMERABLE | HOST_ATTR_READONLY);
    *rval = handle_result_word(handleValue);
    return 1;
}
