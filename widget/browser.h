// The web browser host of Web components: the system's WebBrowser control
// hosted in a WndClass child window.  Widget.create calls embedBrowser and
// navigateBrowser, Widget.resize calls resizeBrowser and Widget.destroy calls
// unembedBrowser, always on the script thread.
#ifndef WIDGET_BROWSER_H
#define WIDGET_BROWSER_H

#include <windows.h>

#include "host/host_api.h"

// Attaches a browser to the window.  0 attached; -1 no memory for the site;
// -2 no class object for the browser; -3 the class object made no browser;
// -4 the browser refused its site, containment, showing or IWebBrowser2 (it
// has been detached again).  Whatever the result, table and context become
// those of every later vorCall from a page.
int embedBrowser(HWND window, const HostTable *table, ScriptContext *context);

// Starts loading url (may be null).  0 started; -5 no browser with
// IWebBrowser2 on the window; -6 no URL string.
int navigateBrowser(HWND window, const HostWChar *url);

// Gives the browser the new size; left and top stay 0.  Nothing without a
// browser.
void resizeBrowser(HWND window, int width, int height);

// Closes the browser without saving, releases it and frees the site.
// Nothing without a browser.
void unembedBrowser(HWND window);

#endif
