// A frame with a Web component that shows examples/web.html.  The page's
// button calls window.external.vorCall(...), which runs script here (a
// message box) and shows the answer in the page.
//
// Security: every page shown in a Web component can run any script in this
// host through vorCall, with all the rights of this script.  Show only pages
// you trust, from your own files; never a remote site you do not control.
//
//   scripthost examples/web.js PAGE               (PAGE: the full path or a
//                                                   file:/// URL of web.html)
//   scripthost examples/web.js PAGE --auto-close  (closes itself after 2 s)
//
// Under Wine the page stays empty: Wine's control needs Gecko to show pages.
loadModule("zorvex");

var args = scriptArgs.filter(function (a) { return a != "--auto-close"; });
var autoClose = scriptArgs.indexOf("--auto-close") >= 0;
if (args.length < 1) {
    print("usage: scripthost examples/web.js PAGE [--auto-close]");
    print("  PAGE: the full path of examples/web.html, or a file:/// URL");
    exit(2);
}
var url = args[0];
if (!/^[a-z]+:\/\//i.test(url))
    url = "file:///" + url.replace(/\\/g, "/");

var running = true;
var ticks = 0;
/** @type {Widget.Frame} */
var frame = null;
/** @type {Widget.Web} */
var page = null;

// Events arrive from the first Widget.create on, before frame.hWnd is set.
Widget.onEvent = function (e) {
    if (e.msg == "RESIZE" && frame && e.hWnd == frame.hWnd && page && page.hWnd) {
        // The page fills the frame's client area.
        page.x = 0; page.y = 0; page.w = e.w; page.h = e.h;
        Widget.resize(page);
        return true;
    }
    if (e.msg == "TIMER" && frame && e.hWnd == frame.hWnd) {
        if (++ticks >= 4) {
            Widget.destroy(page);
            Widget.destroy(frame);
        }
        return true;
    }
    if (e.msg == "CLOSE" && frame && e.hWnd == frame.hWnd) {
        Widget.destroy(page); // the browser goes before its window
        return false;         // then the system destroys the frame
    }
    if (e.msg == "DESTROY" && frame && e.hWnd == frame.hWnd) {
        running = false;
        return true;
    }
    if (e.msg == "PAINT" || e.msg == "ERASE")
        return false; // default painting
    return true;
};

Widget.init();

frame = {type: "Frame", utitle: "Web component", show: 0, timer: autoClose ? 500 : -1};
Widget.create(frame);
frame.x = 100; frame.y = 100; frame.w = 480; frame.h = 320;
Widget.resize(frame);

page = {type: "Web", hParent: frame.hWnd, url: url, w: 480, h: 320};
Widget.create(page);
Widget.show(frame);

while (running && Widget.eventLoop())
    ;
print("web example closed");
