// The script side of the start-up figure: the same frame as startup_c.c.
loadModule("zorvex");
Widget.init();
Widget.onEvent = function (e) { return false; };
var frame = {type: "Frame", utitle: "Startup", x: 100, y: 100, w: 400, h: 300};
Widget.create(frame);
Widget.resize(frame);
while (Widget.eventLoop())
    ;
