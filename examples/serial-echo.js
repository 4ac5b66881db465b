// Serial echo: sends back every byte that arrives on a serial port and prints
// a hex dump of it.
//
//   scripthost examples/serial-echo.js PORT [SECONDS] [BAUD]
//
// PORT as Windows names it: COM1 to COM9, or \\.\COM10 and up.  Runs for
// SECONDS (default: until the process is ended) at BAUD (default 9600).
loadModule("pellun");

var port = scriptArgs[0];
var seconds = scriptArgs.length > 1 ? Number(scriptArgs[1]) : Infinity;
var baud = scriptArgs.length > 2 ? Number(scriptArgs[2]) : 9600;
if (!port) {
    print("usage: serial-echo.js PORT [SECONDS] [BAUD]");
    exit(2);
}

function hexDump(bytes, offset) {
    var lines = [];
    for (var i = 0; i < bytes.length; i += 16) {
        var hex = "", text = "";
        for (var j = i; j < i + 16; j++) {
            if (j < bytes.length) {
                var c = bytes.charCodeAt(j);
                hex += (c < 16 ? "0" : "") + c.toString(16) + " ";
                text += c >= 32 && c < 127 ? bytes.charAt(j) : ".";
            } else {
                hex += "   ";
            }
        }
        var at = (offset + i).toString(16);
        lines.push("00000000".slice(at.length) + at + "  " + hex + " " + text);
    }
    return lines.join("\n");
}

var serial = new Serial();
var settings = { port: port, baudRate: baud, byteSize: 8 };
if (!serial.open(settings)) {
    print("cannot open " + port);
    exit(1);
}
print("echoing on " + port + " at " + baud + " baud");

var total = 0;
var end = Date.now() + seconds * 1000;
while (Date.now() < end) {
    // Each read waits up to 150 ms for one byte; once one came, take the
    // rest of the burst byte by byte, then send it all back in one write.
    var burst = serial.read({ count: 1 });
    if (burst.length == 0)
        continue;
    for (var more = serial.read({ count: 1 }); more.length > 0; more = serial.read({ count: 1 }))
        burst += more;
    // write discards input that has not been read: a byte that arrives in
    // the moment between the last read and the write is lost.
    serial.write({ content: burst });
    print(hexDump(burst, total));
    total += burst.length;
}
serial.close();
print(total + " bytes echoed");
