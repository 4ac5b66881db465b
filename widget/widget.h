// zorvex.dll: the Widget GUI toolkit.  Module-wide state and the natives of
// the Widget function table.
#ifndef WIDGET_WIDGET_H
#define WIDGET_WIDGET_H

#include <windows.h>

#include "host/host_api.h"

// The three process-wide variables of the module, and nothing else:
extern const HostTable *g_host;   // set once by initModule
extern HINSTANCE g_instance;      // set by DllMain on every call
extern ScriptContext *g_saved;    // set by the first Widget.init or Widget.create

#define WIDGET_NATIVE(name)                                                                     \
    int HOST_CALL name(ScriptContext *cx, ValueWord self, int argc, ValueWord *argv,           \
                       ValueWord *rval)

// The Widget function table, in its order.
WIDGET_NATIVE(widget_init);
WIDGET_NATIVE(widget_create);
WIDGET_NATIVE(widget_destroy);
WIDGET_NATIVE(widget_show);
WIDGET_NATIVE(widget_setWindowTop);
WIDGET_NATIVE(widget_refresh);
WIDGET_NATIVE(widget_draw);
WIDGET_NATIVE(widget_resize);
WIDGET_NATIVE(widget_loadImage);
WIDGET_NATIVE(widget_loadIcon);
WIDGET_NATIVE(widget_getProperty);
WIDGET_NATIVE(widget_setSystray);
WIDGET_NATIVE(widget_eventLoop);
WIDGET_NATIVE(widget_popupMenu);
WIDGET_NATIVE(widget_messageBox);
WIDGET_NATIVE(widget_playSound);
WIDGET_NATIVE(widget_openFileDialog);
WIDGET_NATIVE(widget_openDirDialog);

#endif
