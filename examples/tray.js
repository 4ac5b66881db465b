// A tray icon with a tooltip, a balloon at start and a right-click menu
// whose items run the dialogs; Quit removes the icon and ends the loop.
// The icon is a PNG made by this script.
//
//   scripthost examples/tray.js              (right-click the icon)
//   scripthost examples/tray.js --auto-quit  (changes its tooltip, plays a
//                                             sound and quits by itself)
loadModule("zorvex");

var autoQuit = scriptArgs.indexOf("--auto-quit") >= 0;

// --- A small PNG encoder: 8-bit RGBA, one stored (uncompressed) zlib block.
var crcTable = [];
for (var n = 0; n < 256; n++) {
    var c = n;
    for (var k = 0; k < 8; k++)
        c = c & 1 ? 0xEDB88320 ^ (c >>> 1) : c >>> 1;
    crcTable[n] = c >>> 0;
}

function crc32(bytes) {
    var c = 0xFFFFFFFF;
    for (var i = 0; i < bytes.length; i++)
        c = crcTable[(c ^ bytes.charCodeAt(i)) & 255] ^ (c >>> 8);
    return (c ^ 0xFFFFFFFF) >>> 0;
}

function adler32(bytes) {
    var a = 1, b = 0;
    for (var i = 0; i < bytes.length; i++) {
        a = (a + bytes.charCodeAt(i)) % 65521;
        b = (b + a) % 65521;
    }
    return ((b << 16) | a) >>> 0;
}

function be32(v) {
    return String.fromCharCode((v >>> 24) & 255, (v >>> 16) & 255, (v >>> 8) & 255, v & 255);
}

function chunk(type, data) {
    return be32(data.length) + type + data + be32(crc32(type + data));
}

// pixel(x, y) gives [r, g, b, a]; the image must stay below 64 KB of rows.
function encodePng(width, height, pixel) {
    var rows = "";
    for (var y = 0; y < height; y++) {
        rows += "\0"; // filter type None
        for (var x = 0; x < width; x++) {
            var p = pixel(x, y);
            rows += String.fromCharCode(p[0], p[1], p[2], p[3]);
        }
    }
    var len = rows.length;
    var zlib = "\x78\x01" + "\x01" + String.fromCharCode(len & 255, len >>> 8,
        ~len & 255, (~len >>> 8) & 255) + rows + be32(adler32(rows));
    var header = be32(width) + be32(height) + "\x08\x06\0\0\0";
    return "\x89PNG\r\n\x1a\n" + chunk("IHDR", header) + chunk("IDAT", zlib) + chunk("IEND", "");
}

// A blue disc with a white ring, transparent around it.
function trayIconPng(size) {
    var middle = (size - 1) / 2;
    return encodePng(size, size, function (x, y) {
        var d = Math.sqrt((x - middle) * (x - middle) + (y - middle) * (y - middle));
        if (d > size / 2)
            return [0, 0, 0, 0];
        if (d > size / 2 - 2)
            return [255, 255, 255, 255];
        return [30, 90, 200, 255];
    });
}

// --- The tray window, its icon and its menu.
Widget.init();

/** @type {Widget.Systray} */
var tray = {type: "Systray", timer: autoQuit ? 100 : -1};
Widget.create(tray);
tray.hIcon = Widget.loadIcon(trayIconPng(16)).hIcon;
tray.utext = "Tray example: right-click for the menu";
tray.msgUTitle = "Tray example";
tray.msgUText = "Right-click the icon for the menu.";
tray.msgTimeout = 5000;
Widget.setSystray(tray); // adds the icon and shows the balloon
delete tray.msgUText;     // no new balloon with the next changes
delete tray.msgUTitle;

var SHOW_MESSAGE = 1, PICK_FILE = 2, PICK_FOLDER = 3, QUIT = 9;
/** @type {Widget.PopupMenu} */
var menu = {type: "PopupMenu"};
Widget.create(menu);
menu.hParent = tray.hWnd; // the window that receives the chosen item
/** @type {Widget.MenuItem[]} */
var items = [
    {type: "MenuItem", id: SHOW_MESSAGE, utext: "Show message", defaultItem: 1},
    {type: "MenuItem", id: PICK_FILE, utext: "Pick file"},
    {type: "MenuItem", id: PICK_FOLDER, utext: "Pick folder"},
    {type: "MenuItem", id: 0, utext: "-"},
    {type: "MenuItem", id: QUIT, utext: "Quit"}
];
items.forEach(function (item) {
    item.hParent = menu.hWnd;
    Widget.create(item);
});

var running = true;

function choose(id) {
    if (id == SHOW_MESSAGE) {
        var answer = Widget.messageBox({utitle: "Tray example", utext: "Do you like it?",
                                        type: "YES_NO"});
        print("message: " + answer);
    } else if (id == PICK_FILE) {
        var file = Widget.openFileDialog({filter: "Text files\0*.txt\0All files\0*.*\0"});
        print("file: " + (file === undefined ? "(none)" : file));
    } else if (id == PICK_FOLDER) {
        var folder = Widget.openDirDialog({utitle: "Pick a folder"});
        print("folder: " + (folder === undefined ? "(none)" : folder));
    } else if (id == QUIT) {
        tray.command = "delete";
        Widget.setSystray(tray);
        running = false;
        print("quit");
    }
}

var ticks = 0;

Widget.onEvent = function (e) {
    if (e.hWnd != tray.hWnd)
        return false;
    if (e.msg == "MOUSE_BUTTON" && e.button == "RIGHT_UP") {
        Widget.popupMenu(menu); // returns when the menu has closed
        return true;
    }
    if (e.msg == "COMMAND") {
        choose(e.id);
        return true;
    }
    if (e.msg == "TIMER" && autoQuit && running) {
        ticks++;
        if (ticks == 1) {
            tray.utext = "Tray example: tick " + ticks;
            Widget.setSystray(tray); // "modify" since the first call
            print("tooltip: " + tray.utext + " (" + tray.command + ")");
        } else if (ticks == 2) {
            Widget.playSound("SystemAsterisk");
            print("sound");
        } else {
            choose(QUIT);
        }
        return true;
    }
    return false;
};

print("tray icon shown");
while (running && Widget.eventLoop())
    ;
