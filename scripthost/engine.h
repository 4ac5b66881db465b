// The engine binding: one Duktape heap, the host interface table over it, and
// the request protocol.  No platform headers; the platform layer (module
// loading, files, the console) adds its globals on top.
#ifndef SCRIPTHOST_ENGINE_H
#define SCRIPTHOST_ENGINE_H

#include <string>

#include "host/host_api.h"

struct duk_hthread;
typedef struct duk_hthread duk_context;

namespace engine {

// One host per process at a time.  check: abort on request protocol
// violations (SCRIPTHOST_CHECK=1).
ScriptContext *create(bool check);
void destroy(ScriptContext *context); // runs pending finalizers
const HostTable *table();
duk_context *duk(ScriptContext *context);

// Runs a whole script as the main program, inside a request.  On an uncaught
// error fills `error` with "file:line: message" and returns false.
bool runMain(ScriptContext *context, const std::string &fileName, const std::string &source,
             std::string *error);

// Evaluates source (UTF-8) inside a request of its own, as the main program
// would.  On success *out is String(result) in UTF-8; on an error it is the
// error's "file:line: message" and false is returned.
bool evalToString(ScriptContext *context, const std::string &fileName, const std::string &source,
                  std::string *out);

// Calls a module's initModule inside a request of its own.  Returns its
// result; a pending error or reported failure is stored in `error`.
int callInit(ScriptContext *context, InitModuleFunction init, std::string *error);

// Formats the value on top of the stack as "file:line: message" (used for
// uncaught errors and failed evaluations).
std::string describeError(duk_context *d, int index);

// Called by the platform layer when a native of its own must report a
// contract violation.
[[noreturn]] void violation(const char *what);

// Pushes a byte string (one character per byte) from inside a native of the
// host itself; throws on out of memory.
void pushByteString(ScriptContext *context, const uint8_t *bytes, size_t length);

// Figures of the evaluation cache, for tests.
struct CacheStats {
    unsigned long hits;
    unsigned long misses;
    unsigned size;
};
CacheStats cacheStats(ScriptContext *context);
enum { kEvalCacheCapacity = 64 };

} // namespace engine

#endif
