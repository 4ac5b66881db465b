// A frame with an edit box and a read-only text area that mirrors what is
// typed, a timer, and a clean exit when the frame is closed.
//
//   scripthost examples/widgets.js               (Alt+F4 closes the frame: a
//                                                 frame without hIcon has no
//                                                 close box)
//   scripthost examples/widgets.js --auto-close  (types by itself, then quits)
loadModule("zorvex");

var autoClose = scriptArgs.indexOf("--auto-close") >= 0;

Widget.init();

var frame = {type: "Frame", utitle: "Widgets", show: 0, timer: 250};
Widget.create(frame);
frame.x = 100; frame.y = 100; frame.w = 360; frame.h = 200;
Widget.resize(frame);

var edit = {type: "Edit", hParent: frame.hWnd, show: 1, utext: "",
            textFont: "Arial", textSize: 16};
Widget.create(edit);
edit.x = 10; edit.y = 10; edit.w = 340; edit.h = 26;
Widget.resize(edit);

var mirror = {type: "TextArea", hParent: frame.hWnd, show: 1, utext: "",
              textFont: "Courier New", textSize: 14, textStyle: "B"};
Widget.create(mirror);
mirror.x = 10; mirror.y = 46; mirror.w = 340; mirror.h = 144;
Widget.resize(mirror);

Widget.show(frame);

var running = true;
var ticks = 0;
var demoText = "hello";

Widget.onEvent = function (e) {
    if (e.msg == "EDIT_CHANGE" && e.hWnd == edit.hWnd) {
        // Read what was typed and show it, upper-cased, in the text area.
        var typed = Widget.getProperty(edit, "utext");
        mirror.utext = typed.toUpperCase();
        Widget.refresh(mirror);
        if (autoClose)
            print("mirrored: " + typed);
        return true;
    }
    if (e.msg == "TIMER" && e.hWnd == frame.hWnd) {
        ticks++;
        if (autoClose) {
            // Types one more letter per tick, then closes the frame.
            if (ticks <= demoText.length) {
                edit.utext = demoText.substring(0, ticks);
                Widget.refresh(edit);
            } else {
                Widget.destroy(frame);
            }
        }
        return true;
    }
    if (e.msg == "CLOSE")
        return false; // let the system destroy the frame
    if (e.msg == "DESTROY" && e.hWnd == frame.hWnd) {
        running = false;
        return true;
    }
    if (e.msg == "PAINT" || e.msg == "ERASE")
        return false; // default painting: the white class background
    return true;
};

while (running && Widget.eventLoop())
    ;
print("frame closed after " + ticks + " ticks");
