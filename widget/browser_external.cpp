// BrowserExternal: the IDispatch that every page of a Web component reaches
// as window.external.  Its one method, vorCall(text), runs the text as script
// in the host and gives the page the result's string form.  One static object
// for the module, no reference counting, no state per page.
#define CINTERFACE
#define COBJMACROS
#include <windows.h>
#include <oaidl.h>
#include <oleauto.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "widget/browser_external.h"
#include "widget/browser_text.h"

namespace {

const IID kIID_IDispatch = {0x00020400, 0x0000, 0x0000,
                            {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const DISPID kDispidVorCall = 1;
const wchar_t kVorCall[] = L"vorCall";
const size_t kSmallText = 512;

// Written by every embedBrowser, never cleared.
const HostTable *s_table = nullptr;
ScriptContext *s_context = nullptr;

HRESULT STDMETHODCALLTYPE ext_QueryInterface(IDispatch *self, REFIID riid, void **out)
{
    if (!out)
        return E_POINTER;
    // Only IDispatch: the control asks for nothing else of window.external.
    if (std::memcmp(&riid, &kIID_IDispatch, sizeof(IID)) == 0) {
        *out = self;
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE ext_AddRef(IDispatch *) { return 1; }
ULONG STDMETHODCALLTYPE ext_Release(IDispatch *) { return 1; }

HRESULT STDMETHODCALLTYPE ext_GetTypeInfoCount(IDispatch *, UINT *) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE ext_GetTypeInfo(IDispatch *, UINT, LCID, ITypeInfo **)
{
    return E_NOTIMPL;
}

// Every name is marked on its own; the exact, case-sensitive "vorCall" is the
// only member.
HRESULT STDMETHODCALLTYPE ext_GetIDsOfNames(IDispatch *, REFIID, LPOLESTR *names, UINT count,
                                            LCID, DISPID *ids)
{
    if (count && (!names || !ids))
        return E_POINTER;
    HRESULT result = S_OK;
    for (UINT i = 0; i < count; i++) {
        if (names[i] && std::wcscmp(names[i], kVorCall) == 0) {
            ids[i] = kDispidVorCall;
        } else {
            ids[i] = DISPID_UNKNOWN;
            result = DISP_E_UNKNOWNNAME;
        }
    }
    return result;
}

void answer_string(VARIANT *result, const wchar_t *text)
{
    if (!result)
        return;
    VariantInit(result);
    V_VT(result) = VT_BSTR;
    V_BSTR(result) = SysAllocString(text);
}

// The page's last argument when it is a string.  The argument array holds
// the arguments in reverse order.
const VARIANT *string_argument(const DISPPARAMS *params)
{
    if (!params || params->cArgs == 0 || !params->rgvarg)
        return nullptr;
    const VARIANT *arg = &params->rgvarg[0];
    return V_VT(arg) == VT_BSTR ? arg : nullptr;
}

HRESULT STDMETHODCALLTYPE ext_Invoke(IDispatch *, DISPID member, REFIID, LCID, WORD flags,
                                     DISPPARAMS *params, VARIANT *result, EXCEPINFO *, UINT *)
{
    if (member != kDispidVorCall)
        return S_OK;
    // Read as a property, vorCall is present.
    if ((flags & DISPATCH_PROPERTYGET) && result) {
        VariantInit(result);
        V_VT(result) = VT_BOOL;
        V_BOOL(result) = VARIANT_TRUE;
    }
    if (!(flags & DISPATCH_METHOD))
        return S_OK;

    // No argument, an argument that is no string, or no host yet: nothing
    // runs and the page gets the empty string.
    const VARIANT *arg = string_argument(params);
    if (!arg || !s_table || !s_context) {
        answer_string(result, L"");
        return S_OK;
    }
    // UTF-8, exactly the BSTR's characters; a null BSTR is a null source.
    // Short texts, the usual call, need no heap block.
    char small[kSmallText];
    char *text = nullptr;
    BSTR page = V_BSTR(arg);
    if (page) {
        size_t count = SysStringLen(page);
        // A UTF-16 unit takes at most 3 bytes of UTF-8 (a pair takes 4).
        if (count < sizeof small / 3)
            text = small;
        else if (count < ((size_t)-1 - 1) / 3) // the byte count cannot wrap
            text = (char *)std::malloc(utf16ToUtf8Length((const uint16_t *)page, count) + 1);
        if (!text) {
            answer_string(result, L"");
            return S_OK;
        }
        utf16ToUtf8((const uint16_t *)page, count, text);
    }

    // The page runs while the engine request of eventLoop (or resize) is
    // suspended, or inside a native on this thread: a request of our own.
    const HostTable *table = s_table;
    ScriptContext *cx = s_context;
    ValueWord value = VW_UNDEFINED;
    table->beginRequest(cx);
    // evaluate stores a value word also when the script fails (it reports
    // the error itself); the page gets that value's string form.
    table->evaluate(cx, "vorCall", text, &value);
    if (result) {
        // Integers, booleans, undefined and null carry their whole value in
        // the word: their text needs no trip through the engine.
        uint16_t immediate[16];
        if (immediateText(value, immediate))
            answer_string(result, (const wchar_t *)immediate);
        else
            answer_string(result, (const wchar_t *)table->valueToWideString(cx, value));
    }
    table->endRequest(cx);
    if (text != small)
        std::free(text);
    return S_OK;
}

const IDispatchVtbl kExternalVtbl = {
    ext_QueryInterface, ext_AddRef,         ext_Release, ext_GetTypeInfoCount,
    ext_GetTypeInfo,    ext_GetIDsOfNames, ext_Invoke,
};

// The table is never written through the pointer.
IDispatch s_external = {const_cast<IDispatchVtbl *>(&kExternalVtbl)};

} // namespace

void setBrowserExternalHost(const HostTable *table, ScriptContext *context)
{
    s_table = table;
    s_context = context;
}

IDispatch *browserExternal() { return &s_external; }
