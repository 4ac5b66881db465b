// serial_throughput.js PORT_OUT PORT_IN BLOCKS: 4 KiB blocks written with
// Serial.write on PORT_OUT and read back with Serial.read on PORT_IN in reads
// of 1 KiB (a Linux pseudo-terminal queues less than 4 KiB).  Prints the
// figure as "bytes=N seconds=S"; serial_throughput_c does the same in C.
loadModule("pellun");
var outPort = new Serial(), inPort = new Serial();
var blocks = Number(scriptArgs[2]);
var settings = { baudRate: 115200, byteSize: 8 };
settings.port = scriptArgs[0];
if (!outPort.open(settings)) { print("cannot open " + scriptArgs[0]); exit(1); }
settings = { baudRate: 115200, byteSize: 8, port: scriptArgs[1] };
if (!inPort.open(settings)) { print("cannot open " + scriptArgs[1]); exit(1); }

// Two blocks of every byte value, made before the clock starts; the last
// block read is checked after it stops (the C program does the same).
var made = [];
for (var k = 0; k < 2; k++) {
    var codes = [];
    for (var i = 0; i < 4096; i++)
        codes.push((i * 7 + k) & 255);
    made.push(String.fromCharCode.apply(null, codes));
}
var writeArgs = [{ content: made[0] }, { content: made[1] }];
var readArgs = { count: 1024 };
var pieces = [];

var start = Date.now();
for (var b = 0; b < blocks; b++) {
    if (outPort.write(writeArgs[b & 1]) != 4096) { print("write failed"); exit(1); }
    for (var at = 0; at < 4; at++) {
        pieces[at] = inPort.read(readArgs);
        if (pieces[at].length != 1024) { print("block " + b + ": read failed at " + at * 1024); exit(1); }
    }
}
var seconds = (Date.now() - start) / 1000;
if (pieces.join("") !== made[(blocks - 1) & 1]) { print("the last block came back changed"); exit(1); }
print("bytes=" + blocks * 4096 + " seconds=" + seconds);
