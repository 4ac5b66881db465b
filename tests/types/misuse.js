// Must NOT type-check: each line misuses the API as a renamed property or a
// missing function would.
Widget.createWindow({type: "Frame"});
Widget.create({type: "Frame", utitel: "typo"});
var port = new Serial();
port.open({port: "COM1", baudrate: 9600});
new USB().enumerate()[0].vendorId;
