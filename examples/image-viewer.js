// image-viewer.js: shows a PNG file in a frame sized to the image, with a
// caption line under it.  Resizing the frame stretches the image to the
// new client area.
//
//   scripts/run examples/image-viewer.js examples/viewer-sample.png
loadModule("zorvex");

var path = scriptArgs[0];
if (!path) {
    print("usage: image-viewer.js FILE.png");
    exit(2);
}

var CAPTION = 24; // height of the caption line under the image, in pixels
var content = readFile(path);
var image = Widget.loadImage(content); // throws "Widget.loadImage failed" for a non-PNG
var icon = Widget.loadIcon(content); // gives the frame its system menu and close box
var name = path.replace(/^.*[\\\/]/, "");

// Events can arrive while Widget.create runs (the frame's first RESIZE, for
// one), so the handler is in place first and checks what exists yet.
/** @type {Widget.Frame} */
var frame = {type: "Frame", utitle: name, hIcon: icon.hIcon, show: 0};
/** @type {Widget.Component} */
var view = {type: "Component"};
/** What Widget.draw paints, once the view exists. @type {Widget.Component} */
var picture = null;

function layout(width, height) {
    view.x = 0;
    view.y = 0;
    view.w = width;
    view.h = height;
    Widget.resize(view);
    picture.w = width;
    picture.h = Math.max(height - CAPTION, 0);
    picture.textPosY = picture.h + 4;
    Widget.refresh(view);
}

var running = true;
Widget.onEvent = function (e) {
    if (picture && e.hWnd === view.hWnd && e.msg === "PAINT") {
        Widget.draw(picture);
        return true;
    }
    if (e.hWnd === frame.hWnd && e.msg === "RESIZE") {
        if (picture)
            layout(e.w, e.h);
        return true;
    }
    if (e.hWnd === frame.hWnd && e.msg === "CLOSE")
        return false; // let the system destroy the frame
    if (e.hWnd === frame.hWnd && e.msg === "DESTROY")
        running = false;
    return false;
};

Widget.init();
Widget.create(frame);
// One child covers the whole client area and does all the painting.
view.hParent = frame.hWnd;
Widget.create(view);
// The image stretched to w x h at the top left, the caption centred on the
// width below it.
picture = {
    hWnd: view.hWnd,
    type: "Component",
    imageWidth: image.imageWidth,
    imageHeight: image.imageHeight,
    imageContent: image.imageContent,
    utext: image.imageWidth + " \u00d7 " + image.imageHeight + " pixels",
    textStyle: "C",
    textSize: 14,
    textColor: 0x202020,
    textPosX: 0
};

frame.x = 100;
frame.y = 100;
frame.w = image.imageWidth;
frame.h = image.imageHeight + CAPTION;
Widget.resize(frame);
layout(frame.w, frame.h);
Widget.show(frame, 1);

while (running && Widget.eventLoop()) {
}
