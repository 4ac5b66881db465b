// BrowserSite: the minimal OLE container of a Web component.  One block per
// window, held in the window's user data while a browser is attached, with
// the four interfaces through which the control calls its container.  The
// block's order is fixed: each interface part finds the others, the window
// and the browser by their offsets.  No reference counting: a block lives
// from embedBrowser to unembedBrowser whatever the control holds.
#define CINTERFACE
#define COBJMACROS
#include <windows.h>
#include <exdisp.h>
#include <mshtmhst.h>
#include <ole2.h>

#include <cstddef>
#include <cstring>
#include <cwchar>

#include "widget/browser.h"
#include "widget/browser_external.h"

namespace {

struct BrowserSite {
    IOleObject *browser; // the one reference CreateInstance gave; ours
    const IOleClientSiteVtbl *clientSite; // its address is the site
    const IOleInPlaceSiteVtbl *inPlaceSite;
    const IOleInPlaceFrameVtbl *inPlaceFrame;
    HWND window;
    const IDocHostUIHandlerVtbl *uiHandler;
};

const CLSID kCLSID_WebBrowser = {0x8856F961, 0x340A, 0x11D0,
                                 {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};
const IID kIID_IUnknown = {0x00000000, 0x0000, 0x0000,
                           {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIID_IClassFactory = {0x00000001, 0x0000, 0x0000,
                                {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIID_IOleObject = {0x00000112, 0x0000, 0x0000,
                             {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIID_IOleInPlaceObject = {0x00000113, 0x0000, 0x0000,
                                    {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIID_IOleClientSite = {0x00000118, 0x0000, 0x0000,
                                 {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIID_IOleInPlaceSite = {0x00000119, 0x0000, 0x0000,
                                  {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIID_IWebBrowser2 = {0xD30C1661, 0xCDAF, 0x11D0,
                               {0x8A, 0x3E, 0x00, 0xC0, 0x4F, 0xC9, 0xE2, 0x6E}};
const IID kIID_IDocHostUIHandler = {0xBD3F23C0, 0xD43E, 0x11CF,
                                    {0x89, 0x3B, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x1A}};

const wchar_t kClassName[] = L"WndClass";

bool same_iid(REFIID a, const IID &b) { return std::memcmp(&a, &b, sizeof(IID)) == 0; }

// --- the block and its parts -----------------------------------------------

BrowserSite *block_of(const void *part, size_t offset)
{
    return (BrowserSite *)((const char *)part - offset);
}

#define SITE_OF(part, field) block_of(part, offsetof(BrowserSite, field))

IOleClientSite *client_site(BrowserSite *site) { return (IOleClientSite *)&site->clientSite; }

// The block attached to a window.  Only windows of this thread's WndClass
// carry one, and nothing else in the module uses user data; a handle that
// names any other window (a descriptor that a script made up) has none, so
// foreign user data is never taken for a block.
BrowserSite *attached_site(HWND window)
{
    if (!window || GetWindowThreadProcessId(window, NULL) != GetCurrentThreadId())
        return nullptr;
    wchar_t name[16];
    if (GetClassNameW(window, name, 16) == 0 || std::wcscmp(name, kClassName) != 0)
        return nullptr;
    return (BrowserSite *)GetWindowLongPtrW(window, GWLP_USERDATA);
}

IWebBrowser2 *web_browser(BrowserSite *site)
{
    IWebBrowser2 *web = nullptr;
    if (FAILED(IOleObject_QueryInterface(site->browser, kIID_IWebBrowser2, (void **)&web)))
        return nullptr;
    return web;
}

// --- IOleClientSite ----------------------------------------------------------

// Also answers for the in-place site and the UI handler.
HRESULT STDMETHODCALLTYPE cs_QueryInterface(IOleClientSite *self, REFIID riid, void **out)
{
    if (!out)
        return E_POINTER;
    BrowserSite *site = SITE_OF(self, clientSite);
    if (same_iid(riid, kIID_IUnknown) || same_iid(riid, kIID_IOleClientSite))
        *out = &site->clientSite;
    else if (same_iid(riid, kIID_IOleInPlaceSite))
        *out = &site->inPlaceSite;
    else if (same_iid(riid, kIID_IDocHostUIHandler))
        *out = &site->uiHandler;
    else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    return S_OK;
}

ULONG STDMETHODCALLTYPE cs_AddRef(IOleClientSite *) { return 1; }
ULONG STDMETHODCALLTYPE cs_Release(IOleClientSite *) { return 1; }
HRESULT STDMETHODCALLTYPE cs_SaveObject(IOleClientSite *) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE cs_GetMoniker(IOleClientSite *, DWORD, DWORD, IMoniker **)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE cs_GetContainer(IOleClientSite *, IOleContainer **out)
{
    if (out)
        *out = nullptr;
    return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE cs_ShowObject(IOleClientSite *) { return S_OK; }
HRESULT STDMETHODCALLTYPE cs_OnShowWindow(IOleClientSite *, WINBOOL) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE cs_RequestNewObjectLayout(IOleClientSite *) { return E_NOTIMPL; }

const IOleClientSiteVtbl kClientSiteVtbl = {
    cs_QueryInterface, cs_AddRef,     cs_Release,      cs_SaveObject,
    cs_GetMoniker,     cs_GetContainer, cs_ShowObject, cs_OnShowWindow,
    cs_RequestNewObjectLayout,
};

// --- IOleInPlaceSite -----------------------------------------------------------

HRESULT STDMETHODCALLTYPE ips_QueryInterface(IOleInPlaceSite *self, REFIID riid, void **out)
{
    return cs_QueryInterface(client_site(SITE_OF(self, inPlaceSite)), riid, out);
}

ULONG STDMETHODCALLTYPE ips_AddRef(IOleInPlaceSite *) { return 1; }
ULONG STDMETHODCALLTYPE ips_Release(IOleInPlaceSite *) { return 1; }

HRESULT STDMETHODCALLTYPE ips_GetWindow(IOleInPlaceSite *self, HWND *out)
{
    if (!out)
        return E_POINTER;
    *out = SITE_OF(self, inPlaceSite)->window;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ips_ContextSensitiveHelp(IOleInPlaceSite *, WINBOOL) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE ips_CanInPlaceActivate(IOleInPlaceSite *) { return S_OK; }
HRESULT STDMETHODCALLTYPE ips_OnInPlaceActivate(IOleInPlaceSite *) { return S_OK; }
HRESULT STDMETHODCALLTYPE ips_OnUIActivate(IOleInPlaceSite *) { return S_OK; }

// The frame is this block's; the position and clip rectangles and the
// information's cb stay as the control passed them.
HRESULT STDMETHODCALLTYPE ips_GetWindowContext(IOleInPlaceSite *self, IOleInPlaceFrame **frame,
                                               IOleInPlaceUIWindow **document, LPRECT, LPRECT,
                                               LPOLEINPLACEFRAMEINFO info)
{
    BrowserSite *site = SITE_OF(self, inPlaceSite);
    if (frame)
        *frame = (IOleInPlaceFrame *)&site->inPlaceFrame;
    if (document)
        *document = nullptr;
    if (info) {
        info->fMDIApp = FALSE;
        info->hwndFrame = site->window;
        info->haccel = NULL;
        info->cAccelEntries = 0;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ips_Scroll(IOleInPlaceSite *, SIZE) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE ips_OnUIDeactivate(IOleInPlaceSite *, WINBOOL) { return S_OK; }
HRESULT STDMETHODCALLTYPE ips_OnInPlaceDeactivate(IOleInPlaceSite *) { return S_OK; }
HRESULT STDMETHODCALLTYPE ips_DiscardUndoState(IOleInPlaceSite *) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE ips_DeactivateAndUndo(IOleInPlaceSite *) { return E_NOTIMPL; }

// The one rectangle is both the position and the clip rectangle.
HRESULT STDMETHODCALLTYPE ips_OnPosRectChange(IOleInPlaceSite *self, LPCRECT rect)
{
    BrowserSite *site = SITE_OF(self, inPlaceSite);
    IOleInPlaceObject *object = nullptr;
    if (site->browser &&
        SUCCEEDED(IOleObject_QueryInterface(site->browser, kIID_IOleInPlaceObject,
                                            (void **)&object)) &&
        object) {
        IOleInPlaceObject_SetObjectRects(object, rect, rect);
        IOleInPlaceObject_Release(object);
    }
    return S_OK;
}

const IOleInPlaceSiteVtbl kInPlaceSiteVtbl = {
    ips_QueryInterface,     ips_AddRef,           ips_Release,
    ips_GetWindow,          ips_ContextSensitiveHelp, ips_CanInPlaceActivate,
    ips_OnInPlaceActivate,  ips_OnUIActivate,     ips_GetWindowContext,
    ips_Scroll,             ips_OnUIDeactivate,   ips_OnInPlaceDeactivate,
    ips_DiscardUndoState,   ips_DeactivateAndUndo, ips_OnPosRectChange,
};

// --- IOleInPlaceFrame ------------------------------------------------------------

// The control reaches the frame only through GetWindowContext.
HRESULT STDMETHODCALLTYPE ipf_QueryInterface(IOleInPlaceFrame *, REFIID, void **)
{
    return E_NOTIMPL;
}

ULONG STDMETHODCALLTYPE ipf_AddRef(IOleInPlaceFrame *) { return 1; }
ULONG STDMETHODCALLTYPE ipf_Release(IOleInPlaceFrame *) { return 1; }

HRESULT STDMETHODCALLTYPE ipf_GetWindow(IOleInPlaceFrame *self, HWND *out)
{
    if (!out)
        return E_POINTER;
    *out = SITE_OF(self, inPlaceFrame)->window;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ipf_ContextSensitiveHelp(IOleInPlaceFrame *, WINBOOL) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE ipf_GetBorder(IOleInPlaceFrame *, LPRECT) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE ipf_RequestBorderSpace(IOleInPlaceFrame *, LPCBORDERWIDTHS)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE ipf_SetBorderSpace(IOleInPlaceFrame *, LPCBORDERWIDTHS)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE ipf_SetActiveObject(IOleInPlaceFrame *, IOleInPlaceActiveObject *,
                                              LPCOLESTR)
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ipf_InsertMenus(IOleInPlaceFrame *, HMENU, LPOLEMENUGROUPWIDTHS)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE ipf_SetMenu(IOleInPlaceFrame *, HMENU, HOLEMENU, HWND) { return S_OK; }
HRESULT STDMETHODCALLTYPE ipf_RemoveMenus(IOleInPlaceFrame *, HMENU) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE ipf_SetStatusText(IOleInPlaceFrame *, LPCOLESTR) { return S_OK; }
HRESULT STDMETHODCALLTYPE ipf_EnableModeless(IOleInPlaceFrame *, WINBOOL) { return S_OK; }

HRESULT STDMETHODCALLTYPE ipf_TranslateAccelerator(IOleInPlaceFrame *, LPMSG, WORD)
{
    return E_NOTIMPL;
}

const IOleInPlaceFrameVtbl kInPlaceFrameVtbl = {
    ipf_QueryInterface,   ipf_AddRef,          ipf_Release,
    ipf_GetWindow,        ipf_ContextSensitiveHelp, ipf_GetBorder,
    ipf_RequestBorderSpace, ipf_SetBorderSpace, ipf_SetActiveObject,
    ipf_InsertMenus,      ipf_SetMenu,         ipf_RemoveMenus,
    ipf_SetStatusText,    ipf_EnableModeless,  ipf_TranslateAccelerator,
};

// --- IDocHostUIHandler -------------------------------------------------------------

HRESULT STDMETHODCALLTYPE ui_QueryInterface(IDocHostUIHandler *self, REFIID riid, void **out)
{
    return cs_QueryInterface(client_site(SITE_OF(self, uiHandler)), riid, out);
}

ULONG STDMETHODCALLTYPE ui_AddRef(IDocHostUIHandler *) { return 1; }
ULONG STDMETHODCALLTYPE ui_Release(IDocHostUIHandler *) { return 1; }

// Claimed: the page shows no context menu.
HRESULT STDMETHODCALLTYPE ui_ShowContextMenu(IDocHostUIHandler *, DWORD, POINT *, IUnknown *,
                                             IDispatch *)
{
    return S_OK;
}

// No 3-D border; the host style sheet and namespace stay as passed.
HRESULT STDMETHODCALLTYPE ui_GetHostInfo(IDocHostUIHandler *, DOCHOSTUIINFO *info)
{
    if (!info)
        return E_POINTER;
    info->cbSize = sizeof(DOCHOSTUIINFO);
    info->dwFlags = DOCHOSTUIFLAG_NO3DBORDER;
    info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    return S_OK;
}

// Claimed: the control shows no menus or toolbars of its own.
HRESULT STDMETHODCALLTYPE ui_ShowUI(IDocHostUIHandler *, DWORD, IOleInPlaceActiveObject *,
                                    IOleCommandTarget *, IOleInPlaceFrame *,
                                    IOleInPlaceUIWindow *)
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ui_HideUI(IDocHostUIHandler *) { return S_OK; }
HRESULT STDMETHODCALLTYPE ui_UpdateUI(IDocHostUIHandler *) { return S_OK; }
HRESULT STDMETHODCALLTYPE ui_EnableModeless(IDocHostUIHandler *, WINBOOL) { return S_OK; }
HRESULT STDMETHODCALLTYPE ui_OnDocWindowActivate(IDocHostUIHandler *, WINBOOL) { return S_OK; }
HRESULT STDMETHODCALLTYPE ui_OnFrameWindowActivate(IDocHostUIHandler *, WINBOOL) { return S_OK; }

HRESULT STDMETHODCALLTYPE ui_ResizeBorder(IDocHostUIHandler *, LPCRECT, IOleInPlaceUIWindow *,
                                          WINBOOL)
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ui_TranslateAccelerator(IDocHostUIHandler *, LPMSG, const GUID *, DWORD)
{
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE ui_GetOptionKeyPath(IDocHostUIHandler *, LPOLESTR *, DWORD)
{
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE ui_GetDropTarget(IDocHostUIHandler *, IDropTarget *, IDropTarget **)
{
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE ui_GetExternal(IDocHostUIHandler *, IDispatch **out)
{
    if (!out)
        return E_POINTER;
    *out = browserExternal();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ui_TranslateUrl(IDocHostUIHandler *, DWORD, LPWSTR, LPWSTR *out)
{
    if (out)
        *out = nullptr;
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE ui_FilterDataObject(IDocHostUIHandler *, IDataObject *,
                                              IDataObject **out)
{
    if (out)
        *out = nullptr;
    return S_FALSE;
}

const IDocHostUIHandlerVtbl kUIHandlerVtbl = {
    ui_QueryInterface,      ui_AddRef,           ui_Release,
    ui_ShowContextMenu,     ui_GetHostInfo,      ui_ShowUI,
    ui_HideUI,              ui_UpdateUI,         ui_EnableModeless,
    ui_OnDocWindowActivate, ui_OnFrameWindowActivate, ui_ResizeBorder,
    ui_TranslateAccelerator, ui_GetOptionKeyPath, ui_GetDropTarget,
    ui_GetExternal,         ui_TranslateUrl,     ui_FilterDataObject,
};

} // namespace

// --- operations --------------------------------------------------------------------

int embedBrowser(HWND window, const HostTable *table, ScriptContext *context)
{
    // First, so that pages reach the latest host even when this call fails.
    setBrowserExternalHost(table, context);

    BrowserSite *site = (BrowserSite *)GlobalAlloc(GMEM_FIXED, sizeof(BrowserSite));
    if (!site)
        return -1;
    site->browser = nullptr;
    site->clientSite = &kClientSiteVtbl;
    site->inPlaceSite = &kInPlaceSiteVtbl;
    site->inPlaceFrame = &kInPlaceFrameVtbl;
    site->window = window;
    site->uiHandler = &kUIHandlerVtbl;

    // One OleInitialize per attached browser, undone on every way out.
    OleInitialize(NULL);
    IClassFactory *factory = nullptr;
    HRESULT hr = CoGetClassObject(kCLSID_WebBrowser, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                                  NULL, kIID_IClassFactory, (void **)&factory);
    if (FAILED(hr) || !factory) {
        OleUninitialize();
        GlobalFree(site);
        return -2;
    }
    IOleObject *browser = nullptr;
    hr = IClassFactory_CreateInstance(factory, NULL, kIID_IOleObject, (void **)&browser);
    IClassFactory_Release(factory);
    if (FAILED(hr) || !browser) {
        OleUninitialize();
        GlobalFree(site);
        return -3;
    }
    site->browser = browser;
    SetWindowLongPtrW(window, GWLP_USERDATA, (LONG_PTR)site);

    // From here every failure detaches through unembedBrowser.
    IOleClientSite *client = client_site(site);
    IWebBrowser2 *web = nullptr;
    RECT rect = {0, 0, 0, 0};
    bool attached = SUCCEEDED(IOleObject_SetClientSite(browser, client));
    if (attached) {
        IOleObject_SetHostNames(browser, L"My Host Name", NULL);
        GetClientRect(window, &rect);
        attached = SUCCEEDED(OleSetContainedObject((IUnknown *)browser, TRUE)) &&
                   SUCCEEDED(IOleObject_DoVerb(browser, OLEIVERB_SHOW, NULL, client, -1, window,
                                               &rect)) &&
                   (web = web_browser(site)) != nullptr;
    }
    if (!attached) {
        unembedBrowser(window);
        return -4;
    }
    IWebBrowser2_put_Left(web, 0);
    IWebBrowser2_put_Top(web, 0);
    IWebBrowser2_put_Width(web, rect.right - rect.left);
    IWebBrowser2_put_Height(web, rect.bottom - rect.top);
    IWebBrowser2_Release(web);
    return 0;
}

int navigateBrowser(HWND window, const HostWChar *url)
{
    BrowserSite *site = attached_site(window);
    IWebBrowser2 *web = site ? web_browser(site) : nullptr;
    if (!web)
        return -5;
    VARIANT target;
    VariantInit(&target);
    V_VT(&target) = VT_BSTR;
    V_BSTR(&target) = SysAllocString((const OLECHAR *)url);
    if (!V_BSTR(&target)) {
        IWebBrowser2_Release(web);
        return -6;
    }
    // Loading goes on in the control; its result tells nothing yet.
    IWebBrowser2_Navigate2(web, &target, NULL, NULL, NULL, NULL);
    VariantClear(&target);
    IWebBrowser2_Release(web);
    return 0;
}

void resizeBrowser(HWND window, int width, int height)
{
    BrowserSite *site = attached_site(window);
    IWebBrowser2 *web = site ? web_browser(site) : nullptr;
    if (!web)
        return;
    IWebBrowser2_put_Width(web, width);
    IWebBrowser2_put_Height(web, height);
    IWebBrowser2_Release(web);
}

void unembedBrowser(HWND window)
{
    BrowserSite *site = attached_site(window);
    if (!site)
        return;
    IOleObject_Close(site->browser, OLECLOSE_NOSAVE);
    IOleObject_Release(site->browser);
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    GlobalFree(site);
    OleUninitialize();
}
