// The fake browser class: see fake_browser.h.
#include "tests/fakes/fake_browser.h"

#include <exdisp.h>
#include <mshtmhst.h>
#include <oleauto.h>

#include <cstdio>
#include <cstring>

namespace fake_browser {
namespace {

const CLSID kCLSID_WebBrowser = {0x8856F961, 0x340A, 0x11D0,
                                 {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};
const IID kIID_IWebBrowser2 = {0xD30C1661, 0xCDAF, 0x11D0,
                               {0x8A, 0x3E, 0x00, 0xC0, 0x4F, 0xC9, 0xE2, 0x6E}};
const IID kIID_IDocHostUIHandler = {0xBD3F23C0, 0xD43E, 0x11CF,
                                    {0x89, 0x3B, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x1A}};
const UINT kPageLoaded = WM_APP + 77;

Failures g_failures;
std::vector<std::wstring> g_pageTexts;
std::vector<Browser *> g_browsers;
class FakeBrowser;
std::vector<FakeBrowser *> g_objects; // owners of the records above, same order
DWORD g_cookie = 0;
HWND g_pageWindow = NULL; // receives the page-load messages

std::string utf8(const std::wstring &w)
{
    if (w.empty())
        return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), NULL, 0, NULL, NULL);
    std::string s(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), &s[0], n, NULL, NULL);
    return s;
}

std::string hr_text(HRESULT hr)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08lx", (unsigned long)hr);
    return buf;
}

std::string rect_text(const RECT *r)
{
    if (!r)
        return "null";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%ld,%ld,%ld,%ld", r->left, r->top, r->right, r->bottom);
    return buf;
}

// Names a pointer by where it lies in the container's block, whose client
// site is the second pointer-sized field.
std::string where(IOleClientSite *client, const void *p)
{
    if (!p)
        return "null";
    const char *base = (const char *)client;
    const char *q = (const char *)p;
    if (q == base)
        return "client";
    if (q == base + sizeof(void *))
        return "inPlaceSite";
    if (q == base + 2 * sizeof(void *))
        return "frame";
    if (q == base + 4 * sizeof(void *))
        return "uiHandler";
    return "other";
}

void *const kSentinel = (void *)0x5EB71E;

class FakeBrowser;
void play_control(FakeBrowser *browser, IOleClientSite *client, HWND window, LPCRECT rect);

class FakeBrowser final : public IOleObject,
                    public IWebBrowser2,
                    public IOleInPlaceObject,
                    public IRunnableObject {
public:
    Browser record;

    void log(const std::string &s) { record.calls.push_back(s); }

    // --- IUnknown ---
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleObject))
            *out = static_cast<IOleObject *>(this);
        else if (IsEqualIID(riid, kIID_IWebBrowser2) || IsEqualIID(riid, IID_IWebBrowser) ||
                 IsEqualIID(riid, IID_IWebBrowserApp)) {
            if (g_failures.webBrowser2Answers == 0)
                return E_NOINTERFACE;
            if (g_failures.webBrowser2Answers > 0)
                g_failures.webBrowser2Answers--;
            *out = static_cast<IWebBrowser2 *>(this);
        } else if (IsEqualIID(riid, IID_IOleInPlaceObject))
            *out = static_cast<IOleInPlaceObject *>(this);
        else if (IsEqualIID(riid, IID_IRunnableObject))
            *out = static_cast<IRunnableObject *>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return (ULONG)++record.references; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG n = --record.references;
        if (n == 0) {
            // The window must still be there: the browser goes first.
            log(std::string("final Release window=") +
                (IsWindow(record.window) ? "alive" : "gone"));
            record.released = true;
        }
        return (ULONG)n;
    }

    // --- IOleObject ---
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite *site) override
    {
        log(site ? "SetClientSite site" : "SetClientSite null");
        // The container's block keeps the window after the frame (the
        // layout test checks that order).
        if (site)
            record.window = *(const HWND *)((const char *)site + 3 * sizeof(void *));
        if (g_failures.setClientSite)
            return E_FAIL;
        record.clientSite = site;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR app, LPCOLESTR object) override
    {
        log("SetHostNames " + (app ? utf8(app) : std::string("(null)")) + "," +
            (object ? utf8(object) : std::string("(null)")));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Close(DWORD option) override
    {
        log("Close " + std::to_string(option));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject *, WINBOOL, DWORD) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject **) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG msg, IOleClientSite *site, LONG lindex,
                                     HWND window, LPCRECT rect) override
    {
        log("DoVerb " + std::to_string(verb) + " msg=" + (msg ? "set" : "0") +
            " site=" + (site && site == record.clientSite ? "client" : "other") +
            " lindex=" + std::to_string(lindex) +
            " window=" + std::to_string((intptr_t)window) + " rect=" + rect_text(rect));
        record.window = window;
        if (g_failures.doVerb)
            return E_FAIL;
        if (site)
            play_control(this, site, window, rect);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Update() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsUpToDate() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD, LPOLESTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD, SIZEL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD, SIZEL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink *, DWORD *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD, DWORD *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE *) override { return E_NOTIMPL; }

    // --- IRunnableObject: what OleSetContainedObject reaches ---
    HRESULT STDMETHODCALLTYPE GetRunningClass(LPCLSID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Run(LPBINDCTX) override { return E_NOTIMPL; }
    WINBOOL STDMETHODCALLTYPE IsRunning() override { return TRUE; }
    HRESULT STDMETHODCALLTYPE LockRunning(WINBOOL, WINBOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetContainedObject(WINBOOL contained) override
    {
        log("SetContainedObject " + std::to_string(contained));
        return g_failures.containedObject ? E_FAIL : S_OK;
    }

    // --- IOleInPlaceObject ---
    HRESULT STDMETHODCALLTYPE GetWindow(HWND *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(WINBOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UIDeactivate() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT position, LPCRECT clip) override
    {
        log("SetObjectRects " + rect_text(position) + (position == clip ? " same" : " other"));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override { return E_NOTIMPL; }

    // --- IDispatch of IWebBrowser2 ---
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *,
                                     EXCEPINFO *, UINT *) override
    {
        return E_NOTIMPL;
    }

    // --- IWebBrowser2: placement and navigation ---
    HRESULT STDMETHODCALLTYPE put_Left(LONG v) override
    {
        log("put_Left " + std::to_string(v));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Top(LONG v) override
    {
        log("put_Top " + std::to_string(v));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Width(LONG v) override
    {
        log("put_Width " + std::to_string(v));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Height(LONG v) override
    {
        log("put_Height " + std::to_string(v));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Navigate2(VARIANT *url, VARIANT *flags, VARIANT *target,
                                        VARIANT *post, VARIANT *headers) override
    {
        std::string text = "Navigate2 ";
        if (url && V_VT(url) == VT_BSTR && V_BSTR(url))
            text += utf8(std::wstring(V_BSTR(url), SysStringLen(V_BSTR(url))));
        else
            text += "<vt " + std::to_string(url ? V_VT(url) : -1) + ">";
        text += std::string(" rest=") + (flags || target || post || headers ? "set" : "null");
        log(text);
        // The page loads later, from the message queue.
        if (!g_pageTexts.empty() && g_pageWindow)
            PostMessageW(g_pageWindow, kPageLoaded, 0, (LPARAM)this);
        return S_OK;
    }

    // --- the rest of IWebBrowser2 ---
    HRESULT STDMETHODCALLTYPE GoBack() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GoForward() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GoHome() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GoSearch() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Navigate(BSTR URL, VARIANT *Flags, VARIANT *TargetFrameName, VARIANT *PostData, VARIANT *Headers) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Refresh() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Refresh2(VARIANT *Level) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Stop() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Application(IDispatch **ppDisp) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Parent(IDispatch **ppDisp) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Container(IDispatch **ppDisp) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Document(IDispatch **ppDisp) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_TopLevelContainer(VARIANT_BOOL *pBool) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Type(BSTR *Type) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Left(LONG *pl) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Top(LONG *pl) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Width(LONG *pl) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Height(LONG *pl) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_LocationName(BSTR *LocationName) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_LocationURL(BSTR *LocationURL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Busy(VARIANT_BOOL *pBool) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Quit() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ClientToWindow(int *pcx, int *pcy) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PutProperty(BSTR Property, VARIANT vtValue) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetProperty(BSTR Property, VARIANT *pvtValue) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Name(BSTR *Name) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_HWND(SHANDLE_PTR *pHWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_FullName(BSTR *FullName) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Path(BSTR *Path) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Visible(VARIANT_BOOL *pBool) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL Value) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_StatusBar(VARIANT_BOOL *pBool) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_StatusBar(VARIANT_BOOL Value) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_StatusText(BSTR *StatusText) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_StatusText(BSTR StatusText) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ToolBar(int *Value) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_ToolBar(int Value) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_MenuBar(VARIANT_BOOL *Value) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_MenuBar(VARIANT_BOOL Value) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_FullScreen(VARIANT_BOOL *pbFullScreen) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_FullScreen(VARIANT_BOOL bFullScreen) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryStatusWB(OLECMDID cmdID, OLECMDF *pcmdf) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ExecWB(OLECMDID cmdID, OLECMDEXECOPT cmdexecopt, VARIANT *pvaIn, VARIANT *pvaOut) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ShowBrowserBar(VARIANT *pvaClsid, VARIANT *pvarShow, VARIANT *pvarSize) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ReadyState(READYSTATE *plReadyState) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Offline(VARIANT_BOOL *pbOffline) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Offline(VARIANT_BOOL bOffline) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Silent(VARIANT_BOOL *pbSilent) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Silent(VARIANT_BOOL bSilent) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_RegisterAsBrowser(VARIANT_BOOL *pbRegister) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_RegisterAsBrowser(VARIANT_BOOL bRegister) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_RegisterAsDropTarget(VARIANT_BOOL *pbRegister) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_RegisterAsDropTarget(VARIANT_BOOL bRegister) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_TheaterMode(VARIANT_BOOL *pbRegister) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_TheaterMode(VARIANT_BOOL bRegister) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_AddressBar(VARIANT_BOOL *Value) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_AddressBar(VARIANT_BOOL Value) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Resizable(VARIANT_BOOL *Value) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Resizable(VARIANT_BOOL Value) override { return E_NOTIMPL; }

    void run_page()
    {
        IDispatch *external = record.external();
        for (const std::wstring &text : g_pageTexts)
            record.pageAnswers.push_back(external ? vorCall(external, text) : L"<no external>");
    }
};

// --- the control's side ---------------------------------------------------------

void put(Browser &r, const std::string &key, HRESULT hr, const std::string &more = "")
{
    r.site[key] = hr_text(hr) + (more.empty() ? "" : " " + more);
}

// Calls each method of the container's interfaces once, as the control
// would while it activates in place, and records the answers.
// The call runs before its description is made (argument order is
// unspecified otherwise).
#define PUT(key, call, ...)                                                                        \
    do {                                                                                           \
        HRESULT hr_ = (call);                                                                      \
        put(r, key, hr_, ##__VA_ARGS__);                                                           \
    } while (0)

void play_control(FakeBrowser *browser, IOleClientSite *cs, HWND window, LPCRECT rect)
{
    Browser &r = browser->record;
    const char *base = (const char *)cs;
    // The block: browser before the client site, the window after the frame.
    r.site["layout browser"] =
        *(void *const *)(base - sizeof(void *)) == static_cast<IOleObject *>(browser) ? "yes"
                                                                                       : "no";
    r.site["layout window"] = *(const HWND *)(base + 3 * sizeof(void *)) == window ? "yes" : "no";

    void *p = kSentinel;
    const struct {
        const char *name;
        const IID *iid;
    } asks[] = {{"IUnknown", &IID_IUnknown},
                {"IOleClientSite", &IID_IOleClientSite},
                {"IOleInPlaceSite", &IID_IOleInPlaceSite},
                {"IDocHostUIHandler", &kIID_IDocHostUIHandler},
                {"IOleInPlaceFrame", &IID_IOleInPlaceFrame},
                {"IOleWindow", &IID_IOleWindow},
                {"IDispatch", &IID_IDispatch}};
    for (const auto &a : asks) {
        p = kSentinel;
        PUT(std::string("client QI ") + a.name, cs->QueryInterface(*a.iid, &p), where(cs, p));
    }
    r.site["client AddRef"] = std::to_string(cs->AddRef());
    r.site["client Release"] = std::to_string(cs->Release());
    PUT("client SaveObject", cs->SaveObject());
    IMoniker *moniker = nullptr;
    PUT("client GetMoniker", cs->GetMoniker(OLEGETMONIKER_ONLYIFTHERE, OLEWHICHMK_OBJREL,
                                               &moniker));
    IOleContainer *container = (IOleContainer *)kSentinel;
    PUT("client GetContainer", cs->GetContainer(&container), where(cs, container));
    PUT("client ShowObject", cs->ShowObject());
    PUT("client OnShowWindow", cs->OnShowWindow(TRUE));
    PUT("client RequestNewObjectLayout", cs->RequestNewObjectLayout());

    IOleInPlaceSite *ips = nullptr;
    cs->QueryInterface(IID_IOleInPlaceSite, (void **)&ips);
    if (!ips)
        return;
    for (const auto &a : asks) {
        p = kSentinel;
        PUT(std::string("inPlaceSite QI ") + a.name, ips->QueryInterface(*a.iid, &p),
            where(cs, p));
    }
    r.site["inPlaceSite AddRef"] = std::to_string(ips->AddRef());
    r.site["inPlaceSite Release"] = std::to_string(ips->Release());
    HWND w = NULL;
    PUT("inPlaceSite GetWindow", ips->GetWindow(&w), w == window ? "window" : "other");
    PUT("inPlaceSite ContextSensitiveHelp", ips->ContextSensitiveHelp(TRUE));
    PUT("inPlaceSite CanInPlaceActivate", ips->CanInPlaceActivate());
    PUT("inPlaceSite OnInPlaceActivate", ips->OnInPlaceActivate());
    PUT("inPlaceSite OnUIActivate", ips->OnUIActivate());
    IOleInPlaceFrame *frame = (IOleInPlaceFrame *)kSentinel;
    IOleInPlaceUIWindow *doc = (IOleInPlaceUIWindow *)kSentinel;
    RECT pos = {1, 2, 3, 4}, clip = {5, 6, 7, 8};
    OLEINPLACEFRAMEINFO info;
    std::memset(&info, 0x5A, sizeof info);
    info.cb = sizeof info;
    HRESULT hr = ips->GetWindowContext(&frame, &doc, &pos, &clip, &info);
    PUT("inPlaceSite GetWindowContext", hr,
        "frame=" + where(cs, frame) + " doc=" + where(cs, doc) + " cb=" + std::to_string(info.cb) +
            " mdi=" + std::to_string(info.fMDIApp) +
            " hwndFrame=" + (info.hwndFrame == window ? "window" : "other") +
            " haccel=" + (info.haccel ? "set" : "0") +
            " entries=" + std::to_string(info.cAccelEntries) + " pos=" + rect_text(&pos) +
            " clip=" + rect_text(&clip));
    SIZE scroll = {1, 1};
    PUT("inPlaceSite Scroll", ips->Scroll(scroll));
    PUT("inPlaceSite OnUIDeactivate", ips->OnUIDeactivate(FALSE));
    PUT("inPlaceSite OnInPlaceDeactivate", ips->OnInPlaceDeactivate());
    PUT("inPlaceSite DiscardUndoState", ips->DiscardUndoState());
    PUT("inPlaceSite DeactivateAndUndo", ips->DeactivateAndUndo());
    RECT moved = {10, 20, 330, 260};
    PUT("inPlaceSite OnPosRectChange", ips->OnPosRectChange(&moved));

    if (frame && frame != kSentinel) {
        p = kSentinel;
        PUT("frame QI IUnknown", frame->QueryInterface(IID_IUnknown, &p),
            p == kSentinel ? "untouched" : where(cs, p));
        r.site["frame AddRef"] = std::to_string(frame->AddRef());
        r.site["frame Release"] = std::to_string(frame->Release());
        w = NULL;
        PUT("frame GetWindow", frame->GetWindow(&w), w == window ? "window" : "other");
        PUT("frame ContextSensitiveHelp", frame->ContextSensitiveHelp(FALSE));
        RECT border;
        PUT("frame GetBorder", frame->GetBorder(&border));
        BORDERWIDTHS widths = {0, 0, 0, 0};
        PUT("frame RequestBorderSpace", frame->RequestBorderSpace(&widths));
        PUT("frame SetBorderSpace", frame->SetBorderSpace(&widths));
        PUT("frame SetActiveObject", frame->SetActiveObject(NULL, L"x"));
        OLEMENUGROUPWIDTHS groups = {{0, 0, 0, 0, 0, 0}};
        PUT("frame InsertMenus", frame->InsertMenus(NULL, &groups));
        PUT("frame SetMenu", frame->SetMenu(NULL, NULL, window));
        PUT("frame RemoveMenus", frame->RemoveMenus(NULL));
        PUT("frame SetStatusText", frame->SetStatusText(L"Loading"));
        PUT("frame EnableModeless", frame->EnableModeless(TRUE));
        MSG msg = {};
        PUT("frame TranslateAccelerator", frame->TranslateAccelerator(&msg, 0));
    }

    IDocHostUIHandler *ui = nullptr;
    cs->QueryInterface(kIID_IDocHostUIHandler, (void **)&ui);
    if (!ui)
        return;
    for (const auto &a : asks) {
        p = kSentinel;
        PUT(std::string("uiHandler QI ") + a.name, ui->QueryInterface(*a.iid, &p),
            where(cs, p));
    }
    r.site["uiHandler AddRef"] = std::to_string(ui->AddRef());
    r.site["uiHandler Release"] = std::to_string(ui->Release());
    POINT at = {5, 5};
    PUT("uiHandler ShowContextMenu", ui->ShowContextMenu(CONTEXT_MENU_DEFAULT, &at, NULL, NULL));
    DOCHOSTUIINFO hostInfo;
    std::memset(&hostInfo, 0x5A, sizeof hostInfo);
    OLECHAR css[] = L"css", ns[] = L"ns";
    hostInfo.pchHostCss = css;
    hostInfo.pchHostNS = ns;
    hr = ui->GetHostInfo(&hostInfo);
    PUT("uiHandler GetHostInfo", hr,
        "cb=" + std::to_string(hostInfo.cbSize) + " flags=" + std::to_string(hostInfo.dwFlags) +
            " dblclk=" + std::to_string(hostInfo.dwDoubleClick) +
            " css=" + (hostInfo.pchHostCss == css ? "kept" : "changed") +
            " ns=" + (hostInfo.pchHostNS == ns ? "kept" : "changed"));
    PUT("uiHandler ShowUI", ui->ShowUI(DOCHOSTUITYPE_BROWSE, NULL, NULL, frame, NULL));
    PUT("uiHandler HideUI", ui->HideUI());
    PUT("uiHandler UpdateUI", ui->UpdateUI());
    PUT("uiHandler EnableModeless", ui->EnableModeless(TRUE));
    PUT("uiHandler OnDocWindowActivate", ui->OnDocWindowActivate(TRUE));
    PUT("uiHandler OnFrameWindowActivate", ui->OnFrameWindowActivate(TRUE));
    PUT("uiHandler ResizeBorder", ui->ResizeBorder(rect, NULL, TRUE));
    MSG msg = {};
    PUT("uiHandler TranslateAccelerator", ui->TranslateAccelerator(&msg, NULL, 0));
    LPOLESTR key = (LPOLESTR)kSentinel;
    PUT("uiHandler GetOptionKeyPath", ui->GetOptionKeyPath(&key, 0),
        key == kSentinel ? "untouched" : "changed");
    IDropTarget *drop = (IDropTarget *)kSentinel;
    PUT("uiHandler GetDropTarget", ui->GetDropTarget(NULL, &drop),
        drop == kSentinel ? "untouched" : "changed");
    LPWSTR translated = (LPWSTR)kSentinel;
    OLECHAR in[] = L"file:///page.html";
    PUT("uiHandler TranslateUrl", ui->TranslateUrl(0, in, &translated),
        translated ? "set" : "null");
    IDataObject *data = (IDataObject *)kSentinel;
    PUT("uiHandler FilterDataObject", ui->FilterDataObject(NULL, &data), data ? "set" : "null");
    IDispatch *external = nullptr;
    PUT("uiHandler GetExternal", ui->GetExternal(&external), external ? "set" : "null");
    if (external) {
        p = kSentinel;
        PUT("external QI IDispatch", external->QueryInterface(IID_IDispatch, &p),
            p == external ? "itself" : "other");
        p = kSentinel;
        PUT("external QI IUnknown", external->QueryInterface(IID_IUnknown, &p),
            p ? "set" : "null");
        p = kSentinel;
        PUT("external QI IDocHostUIHandler",
            external->QueryInterface(kIID_IDocHostUIHandler, &p), p ? "set" : "null");
        r.site["external AddRef"] = std::to_string(external->AddRef());
        r.site["external Release"] = std::to_string(external->Release());
        UINT count = 77;
        PUT("external GetTypeInfoCount", external->GetTypeInfoCount(&count));
        ITypeInfo *typeInfo = nullptr;
        PUT("external GetTypeInfo", external->GetTypeInfo(0, 0, &typeInfo));
    }
}

#undef PUT

class Factory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) ||
            (IsEqualIID(riid, IID_IClassFactory) && !g_failures.classObject)) {
            *out = this;
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID riid, void **out) override
    {
        *out = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        if (g_failures.createInstance)
            return E_OUTOFMEMORY;
        FakeBrowser *b = new FakeBrowser;
        g_objects.push_back(b);
        g_browsers.push_back(&b->record);
        return b->QueryInterface(riid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(WINBOOL) override { return S_OK; }
};

Factory g_factory;

LRESULT CALLBACK page_proc(HWND window, UINT message, WPARAM first, LPARAM second)
{
    if (message == kPageLoaded) {
        ((FakeBrowser *)second)->run_page();
        return 0;
    }
    return DefWindowProcW(window, message, first, second);
}

} // namespace

IDispatch *Browser::external() const
{
    if (!clientSite)
        return nullptr;
    IDocHostUIHandler *ui = nullptr;
    if (FAILED(clientSite->QueryInterface(kIID_IDocHostUIHandler, (void **)&ui)) || !ui)
        return nullptr;
    IDispatch *external = nullptr;
    ui->GetExternal(&external);
    return external;
}

std::string Browser::joinedCalls() const
{
    std::string s;
    for (const std::string &c : calls)
        s += c + "\n";
    return s;
}

bool initialiseOle()
{
    static bool done = SUCCEEDED(OleInitialize(NULL));
    return done;
}

void install()
{
    if (!g_pageWindow) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = page_proc;
        wc.hInstance = GetModuleHandleW(NULL);
        wc.lpszClassName = L"FakeBrowserPage";
        RegisterClassW(&wc);
        g_pageWindow = CreateWindowExW(0, L"FakeBrowserPage", NULL, 0, 0, 0, 0, 0, HWND_MESSAGE,
                                       NULL, wc.hInstance, NULL);
    }
    CoRegisterClassObject(kCLSID_WebBrowser, &g_factory, CLSCTX_INPROC_SERVER,
                          REGCLS_MULTIPLEUSE, &g_cookie);
}

void uninstall()
{
    if (g_cookie)
        CoRevokeClassObject(g_cookie);
    g_cookie = 0;
}

void reset()
{
    for (FakeBrowser *b : g_objects)
        delete b;
    g_objects.clear();
    g_browsers.clear();
    g_failures = Failures();
    g_pageTexts.clear();
}

Failures &failures() { return g_failures; }
std::vector<std::wstring> &pageTexts() { return g_pageTexts; }
const std::vector<Browser *> &browsers() { return g_browsers; }
Browser *last() { return g_browsers.empty() ? nullptr : g_browsers.back(); }

HRESULT invoke(IDispatch *external, DISPID member, WORD flags, const std::vector<VARIANT> &args,
               VARIANT *result)
{
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPPARAMS params = {reversed.empty() ? nullptr : reversed.data(), nullptr,
                         (UINT)reversed.size(), 0};
    EXCEPINFO exception;
    std::memset(&exception, 0x5A, sizeof exception);
    UINT argError = 12345;
    HRESULT hr = external->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result,
                                  &exception, &argError);
    // The object writes neither.
    if (argError != 12345 || exception.wCode != 0x5A5A)
        return E_UNEXPECTED;
    return hr;
}

std::wstring vorCall(IDispatch *external, const std::wstring &text)
{
    OLECHAR name[] = L"vorCall";
    LPOLESTR names[] = {name};
    DISPID id = 0;
    if (FAILED(external->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)))
        return L"<no vorCall>";
    VARIANT arg = bstrArg(text);
    VARIANT result;
    VariantInit(&result);
    HRESULT hr = invoke(external, id, DISPATCH_METHOD, {arg}, &result);
    VariantClear(&arg);
    if (FAILED(hr))
        return L"<failed>";
    std::wstring answer;
    if (V_VT(&result) == VT_BSTR)
        answer.assign(V_BSTR(&result) ? V_BSTR(&result) : L"", SysStringLen(V_BSTR(&result)));
    else
        answer = L"<vt " + std::to_wstring(V_VT(&result)) + L">";
    VariantClear(&result);
    return answer;
}

VARIANT bstrArg(const std::wstring &text)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocStringLen(text.data(), (UINT)text.size());
    return v;
}

VARIANT intArg(int value)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

static bool com_initialised()
{
    HRESULT hr = CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(hr))
        CoUninitialize();
    return hr == S_FALSE || hr == RPC_E_CHANGED_MODE;
}

int oleDepth()
{
    int depth = 0;
    while (com_initialised() && depth < 64) {
        OleUninitialize();
        depth++;
    }
    for (int i = 0; i < depth; i++)
        OleInitialize(NULL);
    g_cookie = 0; // the registration went with the apartment
    return depth;
}

} // namespace fake_browser
