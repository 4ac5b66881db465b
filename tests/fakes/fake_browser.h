// A browser class of the tests' own, registered for CLSID_WebBrowser in the
// test process, so that the Web component's container creates it instead of
// the system's control (which cannot render under Wine here).  It records
// every call the container makes and plays the control's side: it calls the
// site's methods the way the control would, and drives window.external
// through IDispatch as a page would.
#ifndef TESTS_FAKES_FAKE_BROWSER_H
#define TESTS_FAKES_FAKE_BROWSER_H

#include <windows.h>
#include <ole2.h>

#include <map>
#include <string>
#include <vector>

namespace fake_browser {

// The steps the fake refuses; each test sets the one it needs.
struct Failures {
    bool classObject = false;    // the registered object offers no IClassFactory
    bool createInstance = false; // IClassFactory::CreateInstance fails
    bool setClientSite = false;
    bool containedObject = false; // IRunnableObject::SetContainedObject fails
    bool doVerb = false;
    int webBrowser2Answers = -1; // IWebBrowser2 queries answered before refusing; -1 all
};

// One browser object made by the fake class.  Objects are kept (not freed)
// until reset(), so a test can read the records of a released one.
struct Browser {
    // The container's calls, in order, e.g. "DoVerb -1 msg=0 site=client
    // lindex=-1 window rect=0,0,640,480" or "Navigate2 file:///x flags=0".
    std::vector<std::string> calls;
    // What the site answered when the fake played the control in DoVerb:
    // method name -> result text.
    std::map<std::string, std::string> site;
    // The answers to the page texts run after Navigate2 (see pageTexts).
    std::vector<std::wstring> pageAnswers;
    IOleClientSite *clientSite = nullptr;
    HWND window = nullptr;
    LONG references = 0;
    bool released = false; // the last reference went

    // window.external, as the page would get it now (null without a site).
    IDispatch *external() const;
    std::string joinedCalls() const;
};

// OleInitialize, once per process, on the test thread (before install).
bool initialiseOle();

// Registers the class object for CLSID_WebBrowser on this thread (which has
// called OleInitialize); uninstall revokes it, which brings back the
// system's class.
void install();
void uninstall();
// Forgets all browsers, failures and page texts.
void reset();
Failures &failures();
// Texts that every page loaded from now on sends to window.external.vorCall,
// one after another, when its load message is dispatched (after Navigate2,
// through the thread's message queue, as a loading page would).
std::vector<std::wstring> &pageTexts();
const std::vector<Browser *> &browsers();
Browser *last();

// Page-side calls.  Arguments in the page's order (the helper reverses them
// into the argument array).
HRESULT invoke(IDispatch *external, DISPID member, WORD flags, const std::vector<VARIANT> &args,
               VARIANT *result);
// GetIDsOfNames("vorCall") then a method call with the one string; the
// answer's text, or "<vt N>" for an answer that is not a string.
std::wstring vorCall(IDispatch *external, const std::wstring &text);
// A VARIANT holding a new BSTR (length-counted: embedded NULs stay).
VARIANT bstrArg(const std::wstring &text);
VARIANT intArg(int value);

// How many times OLE is initialised on this thread (undone and redone to
// count; registrations made by install() do not survive, so call install()
// again afterwards).
int oleDepth();

} // namespace fake_browser

#endif
