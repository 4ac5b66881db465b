// The one window.external object of every page shown in a Web component.
#ifndef WIDGET_BROWSER_EXTERNAL_H
#define WIDGET_BROWSER_EXTERNAL_H

#include <windows.h>
#include <oaidl.h>

#include "host/host_api.h"

// The table and context in which vorCall runs page text; every embedBrowser
// overwrites them, so all pages share those of the latest Web component.
void setBrowserExternalHost(const HostTable *table, ScriptContext *context);

// The static object (no reference counting).
IDispatch *browserExternal();

#endif
