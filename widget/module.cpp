// Registration of Widget with the host, and the library entry point.
#include "widget/widget.h"

const HostTable *g_host = nullptr;
HINSTANCE g_instance = nullptr;
ScriptContext *g_saved = nullptr;

namespace {

// In the order scripts and the documentation list them.  Entries are added
// here as each group of functions is built.
const FunctionSpec kWidgetFunctions[] = {
    {"init", widget_init, 0, 0, 0},
    {"create", widget_create, 1, 0, 0},
    {"destroy", widget_destroy, 1, 0, 0},
    {"show", widget_show, 1, 0, 0},
    {"setWindowTop", widget_setWindowTop, 1, 0, 0},
    {"refresh", widget_refresh, 1, 0, 0},
    {"draw", widget_draw, 1, 0, 0},
    {"resize", widget_resize, 1, 0, 0},
    {"loadImage", widget_loadImage, 1, 0, 0},
    {"loadIcon", widget_loadIcon, 1, 0, 0},
    {"getProperty", widget_getProperty, 2, 0, 0},
    {"setSystray", widget_setSystray, 1, 0, 0},
    {"eventLoop", widget_eventLoop, 0, 0, 0},
    {"popupMenu", widget_popupMenu, 1, 0, 0},
    {"messageBox", widget_messageBox, 1, 0, 0},
    {"playSound", widget_playSound, 1, 0, 0},
    {"openFileDialog", widget_openFileDialog, 1, 0, 0},
    {"openDirDialog", widget_openDirDialog, 1, 0, 0},
    {nullptr, nullptr, 0, 0, 0},
};

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD, LPVOID)
{
    g_instance = instance;
    return TRUE;
}

extern "C" __declspec(dllexport) int HOST_CALL initModule(ScriptContext *cx, const HostTable *table)
{
    g_host = table;
    ValueWord widget = table->newObject(cx, nullptr);
    table->defineFunctions(cx, widget, kWidgetFunctions);
    return table->defineProperty(cx, table->globalObject(cx), "Widget", widget, nullptr, nullptr,
                                 HOST_ATTR_ENUMERABLE);
}
