// The smallest script: the host's globals at work.
print("Hello from scripthost!");
print("arguments:", JSON.stringify(scriptArgs));
var bytes = "";
for (var i = 0; i < 256; i++) bytes += String.fromCharCode(i);
print("a byte string of", bytes.length, "characters, the last one", bytes.charCodeAt(255));
