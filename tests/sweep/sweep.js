// Calls every script-visible function and method of the three modules with
// bad arguments.  Each call must give its result or throw an Error; the host
// must survive, and a plain call must still work afterwards.
var MIB = (function () {
    var s = "xxxxxxxxxxxxxxxx";
    while (s.length < (1 << 20)) s += s;
    return s;
})();
var throwing = {};
var PROPS = ["type", "utitle", "hParent", "hIcon", "show", "timer", "url", "w", "h", "utext",
    "textFont", "textSize", "textStyle", "id", "defaultItem", "x", "y", "imageWidth", "imageHeight",
    "imageContent", "textPosX", "textPosY", "textColor", "msgUText", "msgUTitle", "msgTimeout",
    "command", "dir", "file", "filter", "path", "port", "bufInSize", "bufOutSize", "baudRate",
    "byteSize", "count", "content", "fileName", "dirName", "handle", "requestType", "request",
    "value", "index", "length", "bytes", "endPoint", "timeout"];
PROPS.forEach(function (p) {
    Object.defineProperty(throwing, p, {get: function () { throw new Error("getter " + p); }, enumerable: true});
});
function filled(v) {
    var o = {};
    PROPS.forEach(function (p) { o[p] = v; });
    // Keep windows hidden and timers off: the sweep is about arguments, not
    // about a flood of events.
    if (typeof v === "number") { o.show = 0; o.timer = -1; }
    return o;
}
var VALUES = [undefined, null, 0, -1, 42, 2.5, NaN, Infinity, -Infinity, 1e300, -1e300,
    4294967296, -2147483649, 2147483648, "", "text", MIB, true, [], [1, 2]];
var ARGS = [[], [undefined], [null], [42], ["text"], [{}], [throwing], [[1, 2]], [NaN], [1e300],
    [-1], [MIB], [{}, {}], [undefined, undefined], [throwing, throwing], [{}, null]];
VALUES.forEach(function (v) {
    var o = filled(v);
    ARGS.push([o], [o, o], [{}, o], [o, {}]);
});

var calls = 0, threw = 0;
function attempt(name, fn, self, args) {
    calls++;
    try {
        fn.apply(self, args);
    } catch (e) {
        threw++;
        if (!(e instanceof Error))
            throw new Error(name + " threw a non-Error: " + e);
        if (typeof e.message !== "string" || e.message.length === 0)
            throw new Error(name + " threw an Error without a message");
    }
}

function sweepObject(label, holder, self, skip) {
    Object.getOwnPropertyNames(holder).forEach(function (name) {
        var fn = holder[name];
        if (typeof fn !== "function" || name === "constructor" || (skip && skip.indexOf(name) >= 0))
            return;
        ARGS.forEach(function (args) { attempt(label + "." + name, fn, self, args); });
    });
}

var sane = [];
if (typeof Widget !== "undefined") {
    Widget.onEvent = function () { return true; };
    if (Widget.init) Widget.init();
    sweepObject("Widget", Widget, Widget, ["onEvent"]);
    sane.push(function () {
        if (!Widget.create) return;
        var f = {type: "Frame", show: 0};
        if (!Widget.create(f)) throw new Error("Widget.create no longer works");
        Widget.destroy(f);
    });
}
if (typeof Serial !== "undefined") {
    var port = new Serial();
    sweepObject("Serial", Serial.prototype, port);
    sweepObject("Serial.prototype", Serial.prototype, Serial.prototype);
    if (typeof USB !== "undefined")
        sweepObject("Serial on USB", Serial.prototype, new USB());
    sane.push(function () { if (new Serial().set({}) !== false) throw new Error("Serial no longer works"); });
}
if (typeof USB !== "undefined") {
    var usb = new USB();
    sweepObject("USB", USB.prototype, usb);
    sweepObject("USB.prototype", USB.prototype, USB.prototype);
    if (typeof Serial !== "undefined")
        sweepObject("USB on Serial", USB.prototype, new Serial());
    sane.push(function () { if (!Array.isArray(usb.enumerate())) throw new Error("USB no longer works"); });
}
sane.forEach(function (f) { f(); });
Duktape.gc();
"sweep: " + calls + " calls, " + threw + " errors";
