// The script globals of the host: loadModule, print, readFile, writeFile,
// scriptArgs and exit.
#ifndef SCRIPTHOST_GLOBALS_H
#define SCRIPTHOST_GLOBALS_H

#include <string>
#include <vector>

#include "host/host_api.h"

namespace globals {

// args: the script's arguments as UTF-16 text.
void install(ScriptContext *context, const std::vector<std::wstring> &args);

// Loads NAME.dll (from the executable's folder first, then the usual DLL
// search) and calls its initModule once per process.  On failure returns
// false with the message script sees.
bool loadModule(ScriptContext *context, const std::wstring &name, std::string *error);

// The folder of the running executable, with a trailing backslash.
std::wstring exeFolder();

} // namespace globals

#endif
