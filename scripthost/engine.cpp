// The host interface table over Duktape.
//
// Value words that name engine values (objects, strings, non-integer numbers)
// are indices into `slots`, a table of the values issued since the current
// scope opened.  A scope opens for every native call and for every outside
// request (beginRequest); when it ends, the values it issued are released.
// Heap values stay alive because each one is also left on the Duktape value
// stack of the activation that opened the scope.
//
// No engine error may unwind through module code: every slot that can throw
// runs its engine work under duk_safe_call, keeps the error as the scope's
// pending error and answers a neutral value.  The trampoline throws the
// pending error once the native function has returned.
#include "scripthost/engine.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "duktape.h"
#include "scripthost/text_convert.h"

#ifdef _WIN32
#include <malloc.h> // _msize
#define BLOCK_SIZE(p) _msize(p)
#else
#include <malloc.h> // malloc_usable_size
#define BLOCK_SIZE(p) malloc_usable_size(p)
#endif

namespace {

const unsigned kIndexBits = 21; // 2M live values per thread
const uint32_t kIndexMask = (1u << kIndexBits) - 1;

struct Slot {
    void *heap; // null for a number
    double number;
};

struct Scope {
    size_t slotBase;
    size_t arenaBase;
    duk_idx_t stackTop;
    bool request;     // opened by beginRequest (or a finalizer), not a native call
    int pendingSlot;  // slot of the error raised inside a slot, or -1
    bool reported;
    std::string report;
};

struct NativeEntry {
    NativeFunction fn;
    std::string name;
    int classIndex; // -1 for plain functions
};

struct ClassEntry {
    std::string name;
    NativeFunction constructor;
    Finalizer finalizer;
};

struct CacheEntry {
    int id;
    void *function;
    std::list<std::string>::iterator lru;
};

struct Suspension {
    uint32_t token;
    int depth;
};

// The bytes of a recently made large byte string.  Modules read back the
// strings they made (pixel data drawn on every paint, file contents decoded)
// far more often than they make them; the cache answers those reads without
// decoding megabytes again.  Entries keep their string alive, so a heap
// pointer in the cache always names the same string.
struct ByteCacheEntry {
    void *heap;
    uint8_t *bytes;
    size_t length;
    int id;        // key of the keep-alive reference in the stash
    int pinScope;  // outermost scope holding a pointer to bytes, or -1
    unsigned long used;
};

} // namespace

struct ScriptContext {
    duk_context *duk = nullptr;
    bool check = false;
    std::thread::id owner;
    std::vector<Slot> slots;
    std::vector<Scope> scopes;
    std::vector<void *> arena;
    std::vector<NativeEntry> natives;
    std::vector<ClassEntry> classes;
    int currentClass = -1;
    int depth = 0;
    std::vector<Suspension> suspensions;
    uint32_t tokenCounter = 0;
    std::vector<uint8_t> scratch;
    std::vector<ByteCacheEntry> byteCache;
    int byteCacheNextId = 0;
    unsigned long byteCacheClock = 0;
    std::unordered_map<std::string, CacheEntry> cache;
    std::list<std::string> cacheOrder; // most recent first
    int cacheNextId = 0;
    unsigned long cacheHits = 0, cacheMisses = 0;
};

namespace {

ScriptContext *g_host = nullptr;

const char kPrivKey[] = "\xFF" "priv";
const char kOwnerKey[] = "\xFF" "owner"; // the instance itself: inherited private data is not its own
const char kClassKey[] = "\xFF" "cls";
const char kFinalizedKey[] = "\xFF" "fin";
const char kHolderKey[] = "\xFF" "holder";
const char kCacheKey[] = "\xFF" "evalcache";
const char kFinalizerFnKey[] = "\xFF" "finfn";

const char kByteCacheKey[] = "\xFF" "bytecache";
const size_t kLargeBlock = 256 * 1024;
const size_t kByteCacheMin = 64 * 1024;
const size_t kByteCacheEntries = 4;
const size_t kByteCacheBytes = 64u << 20;

// ---------------------------------------------------------------------------
// Memory.  Large blocks (strings of megabytes) are kept for reuse: a fresh
// block of that size costs a page fault per 4 KiB, more than the copy into it.

struct BlockPool {
    void *blocks[4] = {};
    size_t total = 0;
};
BlockPool g_pool;

void *poolAlloc(size_t size)
{
    if (size >= kLargeBlock) {
        // The smallest kept block that fits and wastes at most half.
        int best = -1;
        size_t bestCap = 0;
        for (int i = 0; i < 4; i++) {
            void *b = g_pool.blocks[i];
            if (!b)
                continue;
            size_t cap = BLOCK_SIZE(b);
            if (cap >= size && cap / 2 <= size && (best < 0 || cap < bestCap)) {
                best = i;
                bestCap = cap;
            }
        }
        if (best >= 0) {
            void *p = g_pool.blocks[best];
            g_pool.blocks[best] = nullptr;
            g_pool.total -= bestCap;
            return p;
        }
    }
    return std::malloc(size ? size : 1);
}

void poolFree(void *p)
{
    if (!p)
        return;
    size_t cap = BLOCK_SIZE(p);
    if (cap >= kLargeBlock && g_pool.total + cap <= (64u << 20)) {
        for (void *&b : g_pool.blocks) {
            if (!b) {
                b = p;
                g_pool.total += cap;
                return;
            }
        }
    }
    std::free(p);
}

void *dukAlloc(void *, duk_size_t size) { return poolAlloc(size); }

void *dukRealloc(void *, void *p, duk_size_t size)
{
    if (size == 0) {
        poolFree(p);
        return nullptr;
    }
    if (!p)
        return poolAlloc(size);
    return std::realloc(p, size);
}

void dukFree(void *, void *p) { poolFree(p); }

void releasePool()
{
    for (void *&b : g_pool.blocks) {
        std::free(b);
        b = nullptr;
    }
    g_pool.total = 0;
}

// ---------------------------------------------------------------------------
// Words

uint32_t checkByte(uint32_t index) { return (((index + 1) * 2654435761u) >> 25) | 1u; }

ValueWord makeWord(uint32_t index, uint32_t tag)
{
    return (checkByte(index) << 24) | (index << 3) | tag;
}

// The slot a heap word names, or null when the host never issued it (or the
// scope that issued it has ended).
const Slot *slotOf(ScriptContext *sc, ValueWord w)
{
    uint32_t index = (w >> 3) & kIndexMask;
    if ((w >> 24) != checkByte(index) || index >= sc->slots.size())
        return nullptr;
    return &sc->slots[index];
}

// Pushes the value a word names; words that name nothing push undefined.
void pushWord(ScriptContext *sc, ValueWord w)
{
    duk_context *d = sc->duk;
    if (vw_is_int(w)) {
        if (w == VW_UNDEFINED)
            duk_push_undefined(d);
        else
            duk_push_int(d, vw_to_int(w));
        return;
    }
    if (w == VW_NULL) {
        duk_push_null(d);
        return;
    }
    if (w == VW_FALSE || w == VW_TRUE) {
        duk_push_boolean(d, w == VW_TRUE);
        return;
    }
    if (vw_is_boolean(w)) {
        duk_push_undefined(d);
        return;
    }
    const Slot *s = slotOf(sc, w);
    if (!s)
        duk_push_undefined(d);
    else if (s->heap)
        duk_push_heapptr(d, s->heap);
    else if (vw_is_double(w) || vw_is_object(w))
        duk_push_number(d, s->number);
    else
        duk_push_undefined(d);
}

// Pushes the object a module passed (the word with its low bits cleared is
// what modules hand over).  Words that name no value push undefined.
void pushObjectWord(ScriptContext *sc, ValueWord w)
{
    if (w == VW_NULL) {
        duk_push_null(sc->duk);
        return;
    }
    pushWord(sc, vw_object(w));
}

[[noreturn]] void fail(const char *what) { engine::violation(what); }

// Converts the value on top of the stack into a word.  Heap values stay on
// the stack (that keeps them alive); the others are popped.
ValueWord issueTop(ScriptContext *sc)
{
    duk_context *d = sc->duk;
    switch (duk_get_type(d, -1)) {
    case DUK_TYPE_UNDEFINED:
        duk_pop(d);
        return VW_UNDEFINED;
    case DUK_TYPE_NULL:
        duk_pop(d);
        return VW_NULL;
    case DUK_TYPE_BOOLEAN: {
        bool b = duk_get_boolean(d, -1) != 0;
        duk_pop(d);
        return vw_from_bool(b);
    }
    case DUK_TYPE_NUMBER: {
        double n = duk_get_number(d, -1);
        duk_pop(d);
        // -2^30 as an integer word would be 0x80000001, the undefined word:
        // it travels as a double like every other number outside the range.
        if (n > VW_INT_MIN && n <= VW_INT_MAX && n == (double)(int32_t)n &&
            !(n == 0 && std::signbit(n)))
            return vw_from_int((int32_t)n);
        if (sc->slots.size() > kIndexMask)
            return VW_UNDEFINED;
        sc->slots.push_back(Slot{nullptr, n});
        return makeWord((uint32_t)sc->slots.size() - 1, VW_TAG_DOUBLE);
    }
    case DUK_TYPE_STRING:
    case DUK_TYPE_OBJECT:
    case DUK_TYPE_BUFFER: {
        bool isString = duk_is_string(d, -1) != 0;
        if (sc->slots.size() > kIndexMask || !duk_check_stack(d, 8)) {
            duk_pop(d);
            return VW_UNDEFINED;
        }
        sc->slots.push_back(Slot{duk_get_heapptr(d, -1), 0});
        return makeWord((uint32_t)sc->slots.size() - 1, isString ? VW_TAG_STRING : VW_TAG_OBJECT);
    }
    default:
        duk_pop(d);
        return VW_UNDEFINED;
    }
}

// ---------------------------------------------------------------------------
// Scopes

void openScope(ScriptContext *sc, bool request)
{
    Scope s;
    s.slotBase = sc->slots.size();
    s.arenaBase = sc->arena.size();
    s.stackTop = duk_get_top(sc->duk);
    s.request = request;
    s.pendingSlot = -1;
    s.reported = false;
    sc->scopes.push_back(std::move(s));
}

void releaseScope(ScriptContext *sc, const Scope &s)
{
    int level = (int)sc->scopes.size() - 1;
    for (ByteCacheEntry &e : sc->byteCache)
        if (e.pinScope >= level)
            e.pinScope = -1;
    for (size_t i = s.arenaBase; i < sc->arena.size(); i++)
        poolFree(sc->arena[i]);
    sc->arena.resize(s.arenaBase);
    sc->slots.resize(s.slotBase);
}

// Ends the innermost scope.  keepTop: the value on top of the stack survives
// and is left at the scope's stack top.
void closeScope(ScriptContext *sc, bool keepTop)
{
    duk_context *d = sc->duk;
    Scope &s = sc->scopes.back();
    if (keepTop) {
        duk_insert(d, s.stackTop);
        duk_set_top(d, s.stackTop + 1);
    } else {
        duk_set_top(d, s.stackTop);
    }
    releaseScope(sc, s);
    sc->scopes.pop_back();
}

void *arenaAlloc(ScriptContext *sc, size_t bytes)
{
    void *p = poolAlloc(bytes);
    if (!p)
        return nullptr;
    sc->arena.push_back(p);
    return p;
}

ByteCacheEntry *byteCacheFind(ScriptContext *sc, void *heap)
{
    for (ByteCacheEntry &e : sc->byteCache)
        if (e.heap == heap) {
            e.used = ++sc->byteCacheClock;
            return &e;
        }
    return nullptr;
}

void byteCacheEvict(ScriptContext *sc, size_t index)
{
    ByteCacheEntry e = sc->byteCache[index];
    duk_context *d = sc->duk;
    duk_push_global_stash(d);
    duk_get_prop_string(d, -1, kByteCacheKey);
    duk_del_prop_index(d, -1, (duk_uarridx_t)e.id);
    duk_pop_2(d);
    // A module may still hold the bytes: they go when its scope ends.
    if (e.pinScope >= 0 && e.pinScope < (int)sc->scopes.size()) {
        Scope &holder = sc->scopes[(size_t)e.pinScope];
        sc->arena.insert(sc->arena.begin() + (long)holder.arenaBase, e.bytes);
        for (size_t k = (size_t)e.pinScope + 1; k < sc->scopes.size(); k++)
            sc->scopes[k].arenaBase++;
    } else {
        poolFree(e.bytes);
    }
    sc->byteCache.erase(sc->byteCache.begin() + (long)index);
}

// Remembers the bytes of the string on top of the stack.
void byteCacheAdd(ScriptContext *sc, const uint8_t *bytes, size_t length)
{
    if (length < kByteCacheMin || length > kByteCacheBytes)
        return;
    // The engine interns strings: the same bytes again give the same string.
    if (byteCacheFind(sc, duk_get_heapptr(sc->duk, -1)))
        return;
    uint8_t *copy = (uint8_t *)poolAlloc(length);
    if (!copy)
        return;
    std::memcpy(copy, bytes, length);
    size_t total = length;
    for (const ByteCacheEntry &e : sc->byteCache)
        total += e.length;
    while (!sc->byteCache.empty() &&
           (sc->byteCache.size() >= kByteCacheEntries || total > kByteCacheBytes)) {
        size_t oldest = 0;
        for (size_t i = 1; i < sc->byteCache.size(); i++)
            if (sc->byteCache[i].used < sc->byteCache[oldest].used)
                oldest = i;
        total -= sc->byteCache[oldest].length;
        byteCacheEvict(sc, oldest);
    }
    duk_context *d = sc->duk;
    int id = sc->byteCacheNextId++;
    duk_push_global_stash(d);
    duk_get_prop_string(d, -1, kByteCacheKey);
    duk_dup(d, -3);
    duk_put_prop_index(d, -2, (duk_uarridx_t)id);
    duk_pop_2(d);
    sc->byteCache.push_back(ByteCacheEntry{duk_get_heapptr(d, -1), copy, length, id, -1,
                                           ++sc->byteCacheClock});
}

// The cached bytes of the string on top of the stack, pinned for the current
// scope, or null.
const char *byteCacheRead(ScriptContext *sc, size_t *length)
{
    if (sc->byteCache.empty() || !duk_is_string(sc->duk, -1))
        return nullptr;
    ByteCacheEntry *e = byteCacheFind(sc, duk_get_heapptr(sc->duk, -1));
    if (!e)
        return nullptr;
    int level = (int)sc->scopes.size() - 1;
    if (e->pinScope < 0 || level < e->pinScope)
        e->pinScope = level;
    if (length)
        *length = e->length;
    return (const char *)e->bytes;
}

// Every slot begins here: the context must be the live host, on its thread,
// inside a scope, and (with the checker on) inside a request that is not
// suspended.
bool enter(ScriptContext *sc, const char *slot)
{
    if (sc == nullptr || sc != g_host) {
        if (g_host && g_host->check) {
            std::string what = std::string(slot) + " called with a context the host never issued";
            fail(what.c_str());
        }
        return false;
    }
    if (std::this_thread::get_id() != sc->owner) {
        std::string what = std::string(slot) + " called from a thread that is not the script thread";
        fail(what.c_str());
    }
    if (sc->check && sc->depth <= 0) {
        std::string what = std::string(slot) + " called while the request is suspended";
        fail(what.c_str());
    }
    if (sc->scopes.empty()) {
        std::string what = std::string(slot) + " called outside any native call or request";
        fail(what.c_str());
    }
    // Room for the few values a slot pushes outside duk_safe_call.
    return duk_check_stack(sc->duk, 8) != 0;
}

// Runs engine work that may throw.  fn leaves exactly one value on the stack.
// On an error the error becomes the scope's pending error (the first one
// wins) and false is returned with nothing left on the stack.
bool safeCall(ScriptContext *sc, duk_safe_call_function fn, void *udata)
{
    duk_context *d = sc->duk;
    if (!duk_check_stack(d, 16))
        return false;
    if (duk_safe_call(d, fn, udata, 0, 1) == DUK_EXEC_SUCCESS)
        return true;
    Scope &s = sc->scopes.back();
    if (s.pendingSlot < 0 && sc->slots.size() <= kIndexMask) {
        sc->slots.push_back(Slot{nullptr, 0});
        if (duk_is_object(d, -1) || duk_is_string(d, -1)) {
            sc->slots.back().heap = duk_get_heapptr(d, -1);
            s.pendingSlot = (int)sc->slots.size() - 1;
            return false; // the error stays on the stack: it is alive till the scope ends
        }
        // A primitive thrown value: keep it as a number slot or rethrow as string.
        duk_to_string(d, -1);
        sc->slots.back().heap = duk_get_heapptr(d, -1);
        s.pendingSlot = (int)sc->slots.size() - 1;
        return false;
    }
    duk_pop(d);
    return false;
}

void pushPendingError(ScriptContext *sc, const Scope &s)
{
    duk_push_heapptr(sc->duk, sc->slots[s.pendingSlot].heap);
}

// Strings of the top value, copied into the scope's arena.
const char *topToLatin1(ScriptContext *sc, size_t *outLength)
{
    if (const char *cached = byteCacheRead(sc, outLength))
        return cached;
    duk_size_t len = 0;
    const char *internal = duk_get_lstring(sc->duk, -1, &len);
    char *out = (char *)arenaAlloc(sc, len + 1);
    if (!out || !internal) {
        if (outLength)
            *outLength = 0;
        return "";
    }
    size_t n = text::decodeToLatin1((const uint8_t *)internal, len, (uint8_t *)out);
    out[n] = 0;
    if (outLength)
        *outLength = n;
    return out;
}

const HostWChar *topToUtf16(ScriptContext *sc)
{
    duk_size_t len = 0;
    const char *internal = duk_get_lstring(sc->duk, -1, &len);
    uint16_t *out = (uint16_t *)arenaAlloc(sc, (len + 1) * sizeof(uint16_t));
    if (!out || !internal) {
        static const HostWChar empty[1] = {0};
        return empty;
    }
    size_t n = text::decodeToUtf16((const uint8_t *)internal, len, out);
    out[n] = 0;
    return (const HostWChar *)out;
}

size_t wideLength(const HostWChar *s)
{
    size_t n = 0;
    while (s[n])
        n++;
    return n;
}

// ---------------------------------------------------------------------------
// Slots

struct PropArgs {
    ScriptContext *sc;
    ValueWord object;
    const char *name;
};

// Pushes object[name], or undefined when the object is not one.
duk_ret_t getPropSafe(duk_context *d, void *u)
{
    PropArgs *a = (PropArgs *)u;
    pushObjectWord(a->sc, a->object);
    if (duk_is_null_or_undefined(d, -1)) {
        duk_pop(d);
        duk_push_undefined(d);
        return 1;
    }
    duk_get_prop_string(d, -1, a->name);
    duk_remove(d, -2);
    return 1;
}

// The same, then ToString unless absent (absent stays undefined).
duk_ret_t getPropStringSafe(duk_context *d, void *u)
{
    getPropSafe(d, u);
    if (duk_is_null_or_undefined(d, -1)) {
        duk_pop(d);
        duk_push_undefined(d);
    } else {
        duk_to_string(d, -1);
    }
    return 1;
}

duk_ret_t getPropNumberSafe(duk_context *d, void *u)
{
    getPropSafe(d, u);
    if (duk_is_null_or_undefined(d, -1)) {
        duk_pop(d);
        duk_push_undefined(d);
    } else {
        duk_to_number(d, -1);
    }
    return 1;
}

struct ValueArgs {
    ScriptContext *sc;
    ValueWord value;
};

duk_ret_t toStringSafe(duk_context *d, void *u)
{
    ValueArgs *a = (ValueArgs *)u;
    pushWord(a->sc, a->value);
    duk_to_string(d, -1);
    return 1;
}

ValueWord HOST_CALL s_getProperty(ScriptContext *sc, ValueWord object, const char *name)
{
    if (!enter(sc, "getProperty") || !name)
        return VW_UNDEFINED;
    PropArgs a{sc, object, name};
    if (!safeCall(sc, getPropSafe, &a))
        return VW_UNDEFINED;
    return issueTop(sc);
}

const char *HOST_CALL s_valueToString(ScriptContext *sc, ValueWord value)
{
    if (!enter(sc, "valueToString"))
        return "";
    ValueArgs a{sc, value};
    if (!safeCall(sc, toStringSafe, &a))
        return "";
    const char *s = topToLatin1(sc, nullptr);
    duk_pop(sc->duk);
    return s;
}

const HostWChar *HOST_CALL s_valueToWideString(ScriptContext *sc, ValueWord value)
{
    static const HostWChar empty[1] = {0};
    if (!enter(sc, "valueToWideString"))
        return empty;
    ValueArgs a{sc, value};
    if (!safeCall(sc, toStringSafe, &a))
        return empty;
    const HostWChar *s = topToUtf16(sc);
    duk_pop(sc->duk);
    return s;
}

int HOST_CALL s_stringLength(ScriptContext *sc, ValueWord value)
{
    if (!enter(sc, "stringLength"))
        return 0;
    if (vw_is_absent(value))
        return 0;
    pushWord(sc, value);
    bool absent = duk_is_null_or_undefined(sc->duk, -1) != 0;
    duk_pop(sc->duk);
    if (absent) // a stale word reads as undefined
        return 0;
    ValueArgs a{sc, value};
    if (!safeCall(sc, toStringSafe, &a))
        return 0;
    size_t cachedLength = 0;
    if (byteCacheRead(sc, &cachedLength)) {
        duk_pop(sc->duk);
        return cachedLength > 0x7FFFFFFF ? 0x7FFFFFFF : (int)cachedLength;
    }
    duk_size_t n = duk_get_length(sc->duk, -1);
    duk_pop(sc->duk);
    return n > 0x7FFFFFFF ? 0x7FFFFFFF : (int)n;
}

double HOST_CALL s_getNumberProperty(ScriptContext *sc, ValueWord object, const char *name,
                                     double fallback)
{
    if (!enter(sc, "getNumberProperty") || !name)
        return fallback;
    PropArgs a{sc, object, name};
    if (!safeCall(sc, getPropNumberSafe, &a))
        return fallback;
    double n = duk_is_undefined(sc->duk, -1) ? fallback : duk_get_number(sc->duk, -1);
    duk_pop(sc->duk);
    return n;
}

const char *HOST_CALL s_getStringProperty(ScriptContext *sc, ValueWord object, const char *name,
                                          const char *fallback)
{
    if (!enter(sc, "getStringProperty") || !name)
        return fallback;
    PropArgs a{sc, object, name};
    if (!safeCall(sc, getPropStringSafe, &a))
        return fallback;
    if (duk_is_undefined(sc->duk, -1)) {
        duk_pop(sc->duk);
        return fallback;
    }
    const char *s = topToLatin1(sc, nullptr);
    duk_pop(sc->duk);
    return s;
}

const HostWChar *HOST_CALL s_getWideStringProperty(ScriptContext *sc, ValueWord object,
                                                   const char *name, const HostWChar *fallback)
{
    if (!enter(sc, "getWideStringProperty") || !name)
        return fallback;
    PropArgs a{sc, object, name};
    if (!safeCall(sc, getPropStringSafe, &a))
        return fallback;
    if (duk_is_undefined(sc->duk, -1)) {
        duk_pop(sc->duk);
        return fallback;
    }
    const HostWChar *s = topToUtf16(sc);
    duk_pop(sc->duk);
    return s;
}

struct PushStringArgs {
    const uint8_t *data;
    size_t length;
};

duk_ret_t pushStringSafe(duk_context *d, void *u)
{
    PushStringArgs *a = (PushStringArgs *)u;
    duk_push_lstring(d, (const char *)a->data, a->length);
    return 1;
}

ValueWord pushInternal(ScriptContext *sc, size_t length)
{
    PushStringArgs a{sc->scratch.data(), length};
    if (!safeCall(sc, pushStringSafe, &a))
        return VW_UNDEFINED;
    return issueTop(sc);
}

// The scratch buffer is reused between calls: a fresh multi-megabyte buffer
// per call would cost more in page faults than the conversion itself.
bool reserveScratch(ScriptContext *sc, size_t bytes)
{
    if (sc->scratch.size() < bytes) {
        try {
            sc->scratch.resize(bytes);
        } catch (...) {
            return false;
        }
    }
    return true;
}

ValueWord HOST_CALL s_newString(ScriptContext *sc, const char *text8, const HostWChar *text16)
{
    if (!enter(sc, "newString"))
        return VW_UNDEFINED;
    if ((text8 == nullptr) == (text16 == nullptr))
        return VW_UNDEFINED;
    size_t n;
    if (text8) {
        size_t count = std::strlen(text8);
        if (count > (SIZE_MAX - 18) / 2 || !reserveScratch(sc, 2 * count + 18))
            return VW_UNDEFINED;
        n = text::encodeLatin1((const uint8_t *)text8, count, sc->scratch.data());
    } else {
        size_t count = wideLength(text16);
        if (count > (SIZE_MAX - 3) / 3 || !reserveScratch(sc, 3 * count + 3))
            return VW_UNDEFINED;
        n = text::encodeUtf16((const uint16_t *)text16, count, sc->scratch.data());
    }
    return pushInternal(sc, n);
}

ValueWord HOST_CALL s_newStringN(ScriptContext *sc, const char *bytes, int length)
{
    if (!enter(sc, "newStringN"))
        return VW_UNDEFINED;
    if (length < 0 || (length > 0 && !bytes))
        return VW_UNDEFINED;
    // Twice the length must fit in a 32-bit size_t.
    if ((size_t)length > (SIZE_MAX - 18) / 2 || !reserveScratch(sc, 2 * (size_t)length + 18))
        return VW_UNDEFINED;
    size_t n = text::encodeLatin1((const uint8_t *)bytes, (size_t)length, sc->scratch.data());
    PushStringArgs a{sc->scratch.data(), n};
    if (!safeCall(sc, pushStringSafe, &a))
        return VW_UNDEFINED;
    byteCacheAdd(sc, (const uint8_t *)bytes, (size_t)length);
    return issueTop(sc);
}

ValueWord HOST_CALL s_newNumber(ScriptContext *sc, double number)
{
    if (!enter(sc, "newNumber"))
        return VW_UNDEFINED;
    duk_push_number(sc->duk, number);
    return issueTop(sc);
}

// --- evaluate ---------------------------------------------------------------

struct CompileArgs {
    const char *name;
    const uint8_t *source;
    size_t length;
};

duk_ret_t compileSafe(duk_context *d, void *u)
{
    CompileArgs *a = (CompileArgs *)u;
    duk_push_string(d, a->name);
    duk_compile_lstring_filename(d, DUK_COMPILE_EVAL, (const char *)a->source, a->length);
    return 1;
}

// Leaves the compiled function for (name, source) on the stack; false with the
// error on the stack when it does not compile.
bool pushCompiled(ScriptContext *sc, const char *name, const char *source)
{
    duk_context *d = sc->duk;
    std::string key(name);
    key.push_back('\0');
    key.append(source);
    auto it = sc->cache.find(key);
    if (it != sc->cache.end()) {
        sc->cacheHits++;
        sc->cacheOrder.splice(sc->cacheOrder.begin(), sc->cacheOrder, it->second.lru);
        duk_push_heapptr(d, it->second.function);
        return true;
    }
    sc->cacheMisses++;
    size_t length = std::strlen(source);
    size_t need = text::utf8ToCesu8((const uint8_t *)source, length, nullptr);
    std::vector<uint8_t> converted;
    const uint8_t *text = (const uint8_t *)source;
    if (need != length) {
        converted.resize(need);
        text::utf8ToCesu8((const uint8_t *)source, length, converted.data());
        text = converted.data();
    }
    CompileArgs a{name, text, need};
    if (duk_safe_call(d, compileSafe, &a, 0, 1) != DUK_EXEC_SUCCESS)
        return false;
    // Keep the function alive in the stash under its id.
    if (sc->cache.size() >= engine::kEvalCacheCapacity) {
        const std::string &oldest = sc->cacheOrder.back();
        auto old = sc->cache.find(oldest);
        duk_push_global_stash(d);
        duk_get_prop_string(d, -1, kCacheKey);
        duk_del_prop_index(d, -1, (duk_uarridx_t)old->second.id);
        duk_pop_2(d);
        sc->cache.erase(old);
        sc->cacheOrder.pop_back();
    }
    int id = sc->cacheNextId++;
    duk_push_global_stash(d);
    duk_get_prop_string(d, -1, kCacheKey);
    duk_dup(d, -3);
    duk_put_prop_index(d, -2, (duk_uarridx_t)id);
    duk_pop_2(d);
    sc->cacheOrder.push_front(key);
    sc->cache.emplace(key, CacheEntry{id, duk_get_heapptr(d, -1), sc->cacheOrder.begin()});
    return true;
}

duk_ret_t callCompiledSafe(duk_context *d, void *)
{
    duk_call(d, 0);
    return 1;
}

int HOST_CALL s_evaluate(ScriptContext *sc, const char *scriptName, const char *source,
                         ValueWord *result)
{
    ValueWord dummy;
    if (!result)
        result = &dummy;
    *result = VW_FALSE;
    if (!enter(sc, "evaluate"))
        return 0;
    duk_context *d = sc->duk;
    if (!duk_check_stack(d, 16))
        return 0;
    if (!scriptName)
        scriptName = "evaluate";
    if (!source)
        source = "";
    bool ok = pushCompiled(sc, scriptName, source);
    if (ok) {
        ok = duk_safe_call(d, callCompiledSafe, nullptr, 1, 1) == DUK_EXEC_SUCCESS;
    }
    if (!ok) {
        std::string text = engine::describeError(d, -1);
        std::fprintf(stderr, "%s\n", text.c_str());
        std::fflush(stderr);
        duk_pop(d);
        *result = VW_FALSE;
        return 0;
    }
    *result = issueTop(sc);
    return 1;
}

// --- objects ----------------------------------------------------------------

ValueWord HOST_CALL s_newObject(ScriptContext *sc, const void *)
{
    if (!enter(sc, "newObject"))
        return VW_UNDEFINED;
    duk_push_object(sc->duk);
    return issueTop(sc);
}

ValueWord HOST_CALL s_globalObject(ScriptContext *sc)
{
    if (!enter(sc, "globalObject"))
        return VW_UNDEFINED;
    duk_push_global_object(sc->duk);
    return issueTop(sc);
}

void *HOST_CALL s_hostAlloc(ScriptContext *, size_t bytes) { return poolAlloc(bytes); }

void HOST_CALL s_hostFree(ScriptContext *, void *memory) { poolFree(memory); }

ValueWord HOST_CALL s_newArray(ScriptContext *sc, int, const ValueWord *)
{
    if (!enter(sc, "newArray"))
        return VW_UNDEFINED;
    duk_push_array(sc->duk);
    return issueTop(sc);
}

struct SetElementArgs {
    ScriptContext *sc;
    ValueWord array;
    int index;
    ValueWord value;
};

duk_ret_t setElementSafe(duk_context *d, void *u)
{
    SetElementArgs *a = (SetElementArgs *)u;
    pushObjectWord(a->sc, a->array);
    if (!duk_is_object(d, -1)) {
        duk_pop(d);
        duk_push_false(d);
        return 1;
    }
    pushWord(a->sc, a->value);
    duk_put_prop_index(d, -2, (duk_uarridx_t)a->index);
    duk_pop(d);
    duk_push_true(d);
    return 1;
}

int HOST_CALL s_setElement(ScriptContext *sc, ValueWord array, int index, const ValueWord *value)
{
    if (!enter(sc, "setElement") || index < 0 || !value)
        return 0;
    SetElementArgs a{sc, array, index, *value};
    if (!safeCall(sc, setElementSafe, &a))
        return 0;
    int ok = duk_get_boolean(sc->duk, -1);
    duk_pop(sc->duk);
    return ok;
}

struct DefinePropertyArgs {
    ScriptContext *sc;
    ValueWord object;
    const char *name;
    ValueWord value;
    unsigned attributes;
};

duk_ret_t definePropertySafe(duk_context *d, void *u)
{
    DefinePropertyArgs *a = (DefinePropertyArgs *)u;
    pushObjectWord(a->sc, a->object);
    if (!duk_is_object(d, -1)) {
        duk_pop(d);
        duk_push_false(d);
        return 1;
    }
    duk_push_string(d, a->name);
    pushWord(a->sc, a->value);
    duk_uint_t flags = DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_SET_CONFIGURABLE |
                       DUK_DEFPROP_HAVE_WRITABLE | DUK_DEFPROP_HAVE_ENUMERABLE;
    if (!(a->attributes & HOST_ATTR_READONLY))
        flags |= DUK_DEFPROP_WRITABLE;
    if (a->attributes & HOST_ATTR_ENUMERABLE)
        flags |= DUK_DEFPROP_ENUMERABLE;
    duk_def_prop(d, -3, flags);
    duk_pop(d);
    duk_push_true(d);
    return 1;
}

int HOST_CALL s_defineProperty(ScriptContext *sc, ValueWord object, const char *name,
                               ValueWord value, const void *getter, const void *setter,
                               unsigned attributes)
{
    if (!enter(sc, "defineProperty") || !name || getter || setter)
        return 0;
    DefinePropertyArgs a{sc, object, name, value, attributes};
    if (!safeCall(sc, definePropertySafe, &a))
        return 0;
    int ok = duk_get_boolean(sc->duk, -1);
    duk_pop(sc->duk);
    return ok;
}

duk_ret_t trampoline(duk_context *d);

// Makes a function object for entry `index` and leaves it on the stack.
void pushNative(duk_context *d, int index, const char *name, int nargs)
{
    duk_push_c_function(d, trampoline, DUK_VARARGS);
    duk_set_magic(d, -1, index - 32768);
    duk_push_string(d, "name");
    duk_push_string(d, name);
    duk_def_prop(d, -3, DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_FORCE | DUK_DEFPROP_SET_CONFIGURABLE);
    duk_push_string(d, "length");
    duk_push_int(d, nargs);
    duk_def_prop(d, -3, DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_FORCE | DUK_DEFPROP_SET_CONFIGURABLE);
}

struct DefineFunctionsArgs {
    ScriptContext *sc;
    ValueWord object;
    const FunctionSpec *functions;
    int classIndex;
};

duk_ret_t defineFunctionsSafe(duk_context *d, void *u)
{
    DefineFunctionsArgs *a = (DefineFunctionsArgs *)u;
    ScriptContext *sc = a->sc;
    pushObjectWord(sc, a->object);
    if (!duk_is_object(d, -1)) {
        duk_pop(d);
        duk_push_false(d);
        return 1;
    }
    for (const FunctionSpec *f = a->functions; f->name; f++) {
        if (!f->call || sc->natives.size() >= 65536)
            continue;
        int index = (int)sc->natives.size();
        sc->natives.push_back(NativeEntry{f->call, f->name, a->classIndex});
        duk_push_string(d, f->name);
        pushNative(d, index, f->name, f->nargs);
        duk_dup(d, -3);
        duk_put_prop_string(d, -2, kHolderKey);
        duk_def_prop(d, -3,
                     DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_SET_WRITABLE |
                         DUK_DEFPROP_CLEAR_ENUMERABLE | DUK_DEFPROP_SET_CONFIGURABLE);
    }
    duk_pop(d);
    duk_push_true(d);
    return 1;
}

int HOST_CALL s_defineFunctions(ScriptContext *sc, ValueWord object, const FunctionSpec *functions)
{
    if (!enter(sc, "defineFunctions") || !functions)
        return 0;
    DefineFunctionsArgs a{sc, object, functions, -1};
    if (!safeCall(sc, defineFunctionsSafe, &a))
        return 0;
    int ok = duk_get_boolean(sc->duk, -1);
    duk_pop(sc->duk);
    return ok;
}

duk_ret_t constructorTrampoline(duk_context *d);
duk_ret_t finalizerTrampoline(duk_context *d);

struct DefineClassArgs {
    ScriptContext *sc;
    int classIndex;
    const FunctionSpec *methods;
    const FunctionSpec *statics;
};

duk_ret_t defineClassSafe(duk_context *d, void *u)
{
    DefineClassArgs *a = (DefineClassArgs *)u;
    ScriptContext *sc = a->sc;
    const ClassEntry &c = sc->classes[a->classIndex];
    // constructor
    duk_push_c_function(d, constructorTrampoline, DUK_VARARGS);
    duk_set_magic(d, -1, a->classIndex);
    duk_push_string(d, "name");
    duk_push_string(d, c.name.c_str());
    duk_def_prop(d, -3, DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_FORCE | DUK_DEFPROP_SET_CONFIGURABLE);
    duk_idx_t ctor = duk_get_top_index(d);
    // prototype with the methods
    duk_push_object(d);
    duk_idx_t proto = duk_get_top_index(d);
    sc->slots.push_back(Slot{duk_get_heapptr(d, proto), 0});
    ValueWord protoWord = makeWord((uint32_t)sc->slots.size() - 1, VW_TAG_OBJECT);
    if (a->methods) {
        DefineFunctionsArgs m{sc, protoWord, a->methods, a->classIndex};
        defineFunctionsSafe(d, &m);
        duk_pop(d);
    }
    if (a->statics && a->statics->name) {
        duk_dup(d, ctor);
        sc->slots.push_back(Slot{duk_get_heapptr(d, -1), 0});
        ValueWord ctorWord = makeWord((uint32_t)sc->slots.size() - 1, VW_TAG_OBJECT);
        DefineFunctionsArgs s{sc, ctorWord, a->statics, -1};
        defineFunctionsSafe(d, &s);
        duk_pop(d);
        // the duplicate stays on the stack until the scope closes
    }
    duk_dup(d, ctor);
    duk_put_prop_string(d, proto, "constructor");
    duk_dup(d, proto);
    duk_put_prop_string(d, ctor, "prototype");
    // the shared finalizer function of the class
    duk_push_global_stash(d);
    duk_push_c_function(d, finalizerTrampoline, 2);
    duk_set_magic(d, -1, a->classIndex);
    duk_put_prop_string(d, -2, (std::string(kFinalizerFnKey) + std::to_string(a->classIndex)).c_str());
    duk_pop(d);
    // global binding
    duk_push_global_object(d);
    duk_push_string(d, c.name.c_str());
    duk_dup(d, ctor);
    duk_def_prop(d, -3,
                 DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_SET_WRITABLE | DUK_DEFPROP_CLEAR_ENUMERABLE |
                     DUK_DEFPROP_SET_CONFIGURABLE);
    duk_pop(d);
    duk_dup(d, proto);
    return 1;
}

ValueWord HOST_CALL s_defineClass(ScriptContext *sc, const char *className,
                                  NativeFunction constructor, int, const void *,
                                  const FunctionSpec *methods, const void *,
                                  const FunctionSpec *staticMethods, Finalizer finalizer)
{
    if (!enter(sc, "defineClass") || !className || !*className || !constructor)
        return VW_NULL;
    if (sc->classes.size() >= 32767)
        return VW_NULL;
    sc->classes.push_back(ClassEntry{className, constructor, finalizer});
    DefineClassArgs a{sc, (int)sc->classes.size() - 1, methods, staticMethods};
    if (!safeCall(sc, defineClassSafe, &a))
        return VW_NULL;
    return issueTop(sc);
}

struct PrivateArgs {
    ScriptContext *sc;
    ValueWord object;
    void *pointer;
};

duk_ret_t setPrivateSafe(duk_context *d, void *u)
{
    PrivateArgs *a = (PrivateArgs *)u;
    pushObjectWord(a->sc, a->object);
    if (!duk_is_object(d, -1)) {
        duk_pop(d);
        duk_push_false(d);
        return 1;
    }
    // Only instances made by a class constructor carry a private pointer.
    if (!duk_get_prop_string(d, -1, kClassKey)) {
        duk_pop_2(d);
        duk_push_false(d);
        return 1;
    }
    duk_pop(d);
    duk_push_pointer(d, a->pointer);
    duk_put_prop_string(d, -2, kPrivKey);
    duk_push_pointer(d, duk_get_heapptr(d, -1));
    duk_put_prop_string(d, -2, kOwnerKey);
    duk_pop(d);
    duk_push_true(d);
    return 1;
}

int HOST_CALL s_setPrivate(ScriptContext *sc, ValueWord object, void *pointer)
{
    if (!enter(sc, "setPrivate"))
        return 0;
    PrivateArgs a{sc, object, pointer};
    if (!safeCall(sc, setPrivateSafe, &a))
        return 0;
    int ok = duk_get_boolean(sc->duk, -1);
    duk_pop(sc->duk);
    return ok;
}

// The private pointer of an instance of the class whose method (or
// constructor, or finalizer) is running; null for any other object, so that a
// method called on the prototype, or on another class's instance, finds no
// cell.
void *HOST_CALL s_getPrivate(ScriptContext *sc, ValueWord object)
{
    if (!enter(sc, "getPrivate"))
        return nullptr;
    duk_context *d = sc->duk;
    pushObjectWord(sc, object);
    void *p = nullptr;
    if (duk_is_object(d, -1)) {
        // Hidden keys are plain own-or-inherited reads that cannot throw.
        duk_get_prop_string(d, -1, kClassKey);
        bool sameClass = duk_is_number(d, -1) &&
                         (sc->currentClass < 0 || duk_get_int(d, -1) == sc->currentClass);
        duk_pop(d);
        duk_get_prop_string(d, -1, kOwnerKey);
        bool own = duk_get_pointer(d, -1) == duk_get_heapptr(d, -2);
        duk_pop(d);
        duk_get_prop_string(d, -1, kPrivKey);
        if (sameClass && own && duk_is_pointer(d, -1))
            p = duk_get_pointer(d, -1);
        duk_pop(d);
    }
    duk_pop(d);
    return p;
}

void HOST_CALL s_reportError(ScriptContext *sc, const char *format, ...)
{
    if (!enter(sc, "reportError") || !format)
        return;
    va_list ap;
    va_start(ap, format);
    va_list copy;
    va_copy(copy, ap);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text;
    if (n > 0) {
        text.resize((size_t)n + 1);
        std::vsnprintf(&text[0], (size_t)n + 1, format, ap);
        text.resize((size_t)n);
    }
    va_end(ap);
    Scope &s = sc->scopes.back();
    s.reported = true;
    s.report = text;
}

void printScopeLeftovers(ScriptContext *sc, Scope &s)
{
    duk_context *d = sc->duk;
    if (s.pendingSlot >= 0) {
        pushPendingError(sc, s);
        std::string text = engine::describeError(d, -1);
        duk_pop(d);
        std::fprintf(stderr, "%s\n", text.c_str());
    } else if (s.reported) {
        std::fprintf(stderr, "%s\n", s.report.c_str());
    }
    std::fflush(stderr);
}

void HOST_CALL s_beginRequest(ScriptContext *sc)
{
    if (sc == nullptr || sc != g_host) {
        if (g_host && g_host->check)
            fail("beginRequest called with a context the host never issued");
        return;
    }
    if (std::this_thread::get_id() != sc->owner)
        fail("beginRequest called from a thread that is not the script thread");
    sc->depth++;
    openScope(sc, true);
}

void HOST_CALL s_endRequest(ScriptContext *sc)
{
    if (sc == nullptr || sc != g_host) {
        if (g_host && g_host->check)
            fail("endRequest called with a context the host never issued");
        return;
    }
    if (std::this_thread::get_id() != sc->owner)
        fail("endRequest called from a thread that is not the script thread");
    if (sc->scopes.empty() || !sc->scopes.back().request || sc->depth <= 0) {
        if (sc->check)
            fail("endRequest without a matching beginRequest");
        return;
    }
    // An error raised by a slot inside an outside request has no native
    // function to surface from: report it here.
    printScopeLeftovers(sc, sc->scopes.back());
    closeScope(sc, false);
    sc->depth--;
}

uint32_t HOST_CALL s_suspendRequest(ScriptContext *sc)
{
    if (sc == nullptr || sc != g_host) {
        if (g_host && g_host->check)
            fail("suspendRequest called with a context the host never issued");
        return 0;
    }
    if (std::this_thread::get_id() != sc->owner)
        fail("suspendRequest called from a thread that is not the script thread");
    if (sc->depth <= 0 && sc->check)
        fail("suspendRequest without an active request");
    uint32_t token = ++sc->tokenCounter;
    if (token == 0)
        token = ++sc->tokenCounter;
    sc->suspensions.push_back(Suspension{token, sc->depth});
    sc->depth = 0;
    return token;
}

void HOST_CALL s_resumeRequest(ScriptContext *sc, uint32_t token)
{
    if (sc == nullptr || sc != g_host) {
        if (g_host && g_host->check)
            fail("resumeRequest called with a context the host never issued");
        return;
    }
    if (std::this_thread::get_id() != sc->owner)
        fail("resumeRequest called from a thread that is not the script thread");
    if (sc->suspensions.empty() || sc->suspensions.back().token != token) {
        if (sc->check)
            fail("resumeRequest with a token that does not match the last suspendRequest");
        for (size_t i = sc->suspensions.size(); i-- > 0;) {
            if (sc->suspensions[i].token == token) {
                sc->depth = sc->suspensions[i].depth;
                sc->suspensions.resize(i);
                return;
            }
        }
        return;
    }
    if (sc->depth != 0 && sc->check)
        fail("resumeRequest while a request begun after the suspension is still open");
    sc->depth = sc->suspensions.back().depth;
    sc->suspensions.pop_back();
}

void HOST_CALL s_reserved() { fail("a reserved slot of the host interface table was called"); }

const HostTable kTable = {
    s_getProperty,
    s_valueToString,
    s_valueToWideString,
    s_stringLength,
    s_reserved,
    s_getNumberProperty,
    s_getStringProperty,
    s_getWideStringProperty,
    s_newString,
    s_newStringN,
    s_newNumber,
    s_evaluate,
    s_reserved,
    s_defineClass,
    s_newObject,
    s_globalObject,
    s_hostAlloc,
    s_hostFree,
    s_newArray,
    s_setElement,
    s_reserved,
    s_reserved,
    s_defineProperty,
    s_defineFunctions,
    s_setPrivate,
    s_getPrivate,
    s_reportError,
    s_beginRequest,
    s_suspendRequest,
    s_resumeRequest,
    s_endRequest,
};

// ---------------------------------------------------------------------------
// Calls from the engine into modules

// The name script sees for a native: "Holder.name", where Holder is the
// global name of the object the function was defined on (or the class).
std::string qualifiedName(ScriptContext *sc, duk_context *d, const NativeEntry &e)
{
    if (e.classIndex >= 0)
        return sc->classes[e.classIndex].name + "." + e.name;
    std::string holder;
    duk_push_current_function(d);
    duk_get_prop_string(d, -1, kHolderKey);
    if (duk_is_object(d, -1)) {
        duk_push_global_object(d);
        duk_enum(d, -1, DUK_ENUM_OWN_PROPERTIES_ONLY);
        while (duk_next(d, -1, 1)) {
            // Stack: function, holder, global, enumerator, key, value.
            if (duk_strict_equals(d, -1, -5) && duk_is_string(d, -2)) {
                holder = duk_get_string(d, -2);
                duk_pop_2(d);
                break;
            }
            duk_pop_2(d);
        }
        duk_pop_2(d);
    }
    duk_pop_2(d);
    return holder.empty() ? e.name : holder + "." + e.name;
}

// Points the error on top of the stack at the script line that made the
// failing call, not at the host's C code.
void blameCaller(duk_context *d)
{
    for (int level = -2; level >= -8; level--) {
        duk_inspect_callstack_entry(d, level); // [ err entry ]
        if (!duk_is_object(d, -1)) {
            duk_pop(d);
            return;
        }
        duk_get_prop_string(d, -1, "lineNumber");
        int line = duk_get_int(d, -1);
        duk_pop(d);
        duk_get_prop_string(d, -1, "function"); // [ err entry fn ]
        bool found = false;
        if (duk_is_object(d, -1) && line > 0) {
            duk_get_prop_string(d, -1, "fileName"); // [ err entry fn file ]
            if (duk_is_string(d, -1)) {
                found = true;
                duk_push_string(d, "fileName");
                duk_dup(d, -2);
                duk_def_prop(d, -6, DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_FORCE |
                                        DUK_DEFPROP_SET_WRITABLE | DUK_DEFPROP_SET_CONFIGURABLE);
                duk_push_string(d, "lineNumber");
                duk_push_int(d, line);
                duk_def_prop(d, -6, DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_FORCE |
                                        DUK_DEFPROP_SET_WRITABLE | DUK_DEFPROP_SET_CONFIGURABLE);
            }
            duk_pop(d);
        }
        duk_pop_2(d);
        if (found)
            return;
    }
}

enum Outcome { kReturn, kThrow };

// What a native call left behind, settled into one value on top of the
// stack: the result, or the error to throw.  Kept apart from the trampoline
// so that no C++ object is alive when the trampoline throws.
Outcome settle(ScriptContext *sc, duk_context *d, const NativeEntry &e, int ok, ValueWord result)
{
    Scope &s = sc->scopes.back();
    if (s.pendingSlot >= 0) {
        pushPendingError(sc, s);
        return kThrow;
    }
    if (!ok) {
        std::string message = s.reported ? s.report : qualifiedName(sc, d, e) + " failed";
        duk_push_error_object(d, DUK_ERR_ERROR, "%s", message.c_str());
        blameCaller(d);
        return kThrow;
    }
    pushWord(sc, result);
    return kReturn;
}

void checkBalanced(ScriptContext *sc, size_t scopes, size_t suspensions, int depth,
                   const char *what)
{
    if (sc->scopes.size() == scopes && sc->suspensions.size() == suspensions && sc->depth == depth)
        return;
    if (sc->check) {
        std::string text = std::string(what) + " returned with its request unbalanced";
        fail(text.c_str());
    }
    while (sc->scopes.size() > scopes) {
        closeScope(sc, false);
    }
    sc->suspensions.resize(suspensions < sc->suspensions.size() ? suspensions : sc->suspensions.size());
    sc->depth = depth;
}

Outcome callNative(ScriptContext *sc, duk_context *d, int index)
{
    NativeEntry e = sc->natives[index]; // a copy: the table may grow during the call
    duk_idx_t argc = duk_get_top(d);
    if (sc->check && sc->depth <= 0)
        fail("a native function was called while the request is suspended");
    openScope(sc, false);
    size_t scopes = sc->scopes.size();
    duk_push_this(d);
    ValueWord self = issueTop(sc);
    ValueWord local[16];
    std::vector<ValueWord> heap;
    ValueWord *argv = local;
    if (argc + 8 > 16) {
        heap.assign((size_t)argc + 8, VW_UNDEFINED);
        argv = heap.data();
    }
    for (duk_idx_t i = 0; i < argc + 8 && i < 16; i++)
        argv[i] = VW_UNDEFINED;
    for (duk_idx_t i = 0; i < argc; i++) {
        duk_dup(d, i);
        argv[i] = issueTop(sc);
    }
    ValueWord result = VW_UNDEFINED;
    int savedClass = sc->currentClass;
    sc->currentClass = e.classIndex;
    size_t suspensions = sc->suspensions.size();
    int depth = sc->depth;
    int ok = e.fn(sc, self, (int)argc, argv, &result);
    sc->currentClass = savedClass;
    checkBalanced(sc, scopes, suspensions, depth, e.name.c_str());
    Outcome o = settle(sc, d, e, ok, result);
    closeScope(sc, true);
    return o;
}

duk_ret_t trampoline(duk_context *d)
{
    ScriptContext *sc = g_host;
    int index = duk_get_current_magic(d) + 32768;
    if (callNative(sc, d, index) == kThrow)
        return duk_throw(d);
    return 1;
}

Outcome callConstructor(ScriptContext *sc, duk_context *d, int classIndex)
{
    const ClassEntry &c = sc->classes[classIndex];
    if (!duk_is_constructor_call(d)) {
        std::string message = c.name + ": constructor requires 'new'";
        duk_push_error_object(d, DUK_ERR_TYPE_ERROR, "%s", message.c_str());
        blameCaller(d);
        return kThrow;
    }
    duk_idx_t argc = duk_get_top(d);
    if (sc->check && sc->depth <= 0)
        fail("a constructor was called while the request is suspended");
    // Mark the instance and give it the class finalizer.
    duk_push_this(d);
    duk_push_int(d, classIndex);
    duk_put_prop_string(d, -2, kClassKey);
    duk_push_global_stash(d);
    duk_get_prop_string(d, -1, (std::string(kFinalizerFnKey) + std::to_string(classIndex)).c_str());
    duk_remove(d, -2);
    duk_set_finalizer(d, -2);
    duk_pop(d);

    openScope(sc, false);
    size_t scopes = sc->scopes.size();
    duk_push_this(d);
    ValueWord self = issueTop(sc);
    ValueWord local[16];
    std::vector<ValueWord> heap;
    ValueWord *argv = local;
    if (argc + 8 > 16) {
        heap.assign((size_t)argc + 8, VW_UNDEFINED);
        argv = heap.data();
    }
    for (duk_idx_t i = 0; i < argc + 8 && i < 16; i++)
        argv[i] = VW_UNDEFINED;
    for (duk_idx_t i = 0; i < argc; i++) {
        duk_dup(d, i);
        argv[i] = issueTop(sc);
    }
    ValueWord result = VW_UNDEFINED;
    int savedClass = sc->currentClass;
    sc->currentClass = classIndex;
    size_t suspensions = sc->suspensions.size();
    int depth = sc->depth;
    NativeFunction fn = c.constructor;
    std::string name = c.name;
    int ok = fn(sc, self, (int)argc, argv, &result);
    sc->currentClass = savedClass;
    checkBalanced(sc, scopes, suspensions, depth, name.c_str());
    Outcome o;
    Scope &s = sc->scopes.back();
    if (s.pendingSlot >= 0) {
        pushPendingError(sc, s);
        o = kThrow;
    } else if (!ok) {
        std::string message = s.reported ? s.report : name + " constructor failed";
        duk_push_error_object(d, DUK_ERR_ERROR, "%s", message.c_str());
        blameCaller(d);
        o = kThrow;
    } else {
        duk_push_undefined(d); // the default instance is the result
        o = kReturn;
    }
    closeScope(sc, true);
    return o;
}

duk_ret_t constructorTrampoline(duk_context *d)
{
    ScriptContext *sc = g_host;
    if (callConstructor(sc, d, duk_get_current_magic(d)) == kThrow)
        return duk_throw(d);
    return 0;
}

// Runs the class finalizer once per instance: at garbage collection, or when
// the heap is destroyed at exit.
void runFinalizer(ScriptContext *sc, duk_context *d, int classIndex)
{
    if (duk_get_prop_string(d, 0, kFinalizedKey)) {
        duk_pop(d);
        return;
    }
    duk_pop(d);
    duk_push_true(d);
    duk_put_prop_string(d, 0, kFinalizedKey);
    Finalizer fin = sc->classes[classIndex].finalizer;
    if (!fin)
        return;
    int savedDepth = sc->depth;
    sc->depth++;
    openScope(sc, true);
    duk_dup(d, 0);
    ValueWord self = issueTop(sc);
    int savedClass = sc->currentClass;
    sc->currentClass = classIndex;
    fin(sc, self);
    sc->currentClass = savedClass;
    printScopeLeftovers(sc, sc->scopes.back());
    closeScope(sc, false);
    sc->depth = savedDepth;
}

duk_ret_t finalizerTrampoline(duk_context *d)
{
    ScriptContext *sc = g_host;
    if (sc)
        runFinalizer(sc, d, duk_get_current_magic(d));
    return 0;
}

void fatalHandler(void *, const char *msg)
{
    std::fprintf(stderr, "scripthost: fatal engine error: %s\n", msg ? msg : "(no message)");
    std::fflush(stderr);
    std::abort();
}

duk_ret_t describeSafe(duk_context *d, void *)
{
    // [ err ] -> [ text ]
    std::string file, text;
    int line = 0;
    if (duk_is_object(d, -1)) {
        duk_get_prop_string(d, -1, "fileName");
        if (duk_is_string(d, -1))
            file = duk_get_string(d, -1);
        duk_pop(d);
        duk_get_prop_string(d, -1, "lineNumber");
        line = duk_get_int(d, -1);
        duk_pop(d);
    }
    duk_dup(d, -1);
    duk_to_string(d, -1);
    text = duk_get_string(d, -1);
    duk_pop(d);
    std::string out;
    if (!file.empty())
        out = file + ":" + std::to_string(line) + ": " + text;
    else
        out = text;
    duk_pop(d);
    duk_push_lstring(d, out.data(), out.size());
    return 1;
}

} // namespace

namespace engine {

void violation(const char *what)
{
    std::fprintf(stderr, "scripthost: contract violation: %s\n", what);
    std::fflush(stderr);
    std::fflush(stdout);
    std::abort();
}

ScriptContext *create(bool check)
{
    if (g_host)
        return nullptr;
    ScriptContext *sc = new ScriptContext();
    sc->check = check;
    sc->owner = std::this_thread::get_id();
    sc->duk = duk_create_heap(dukAlloc, dukRealloc, dukFree, sc, fatalHandler);
    if (!sc->duk) {
        delete sc;
        return nullptr;
    }
    duk_push_global_stash(sc->duk);
    duk_push_object(sc->duk);
    duk_put_prop_string(sc->duk, -2, kCacheKey);
    duk_push_object(sc->duk);
    duk_put_prop_string(sc->duk, -2, kByteCacheKey);
    duk_pop(sc->duk);
    g_host = sc;
    return sc;
}

void destroy(ScriptContext *sc)
{
    if (!sc || sc != g_host)
        return;
    // Finalizers run while the heap goes away; they see a request of their own.
    duk_set_top(sc->duk, 0);
    sc->scopes.clear();
    sc->slots.clear();
    duk_destroy_heap(sc->duk);
    for (void *p : sc->arena)
        poolFree(p);
    for (ByteCacheEntry &e : sc->byteCache)
        poolFree(e.bytes);
    releasePool();
    g_host = nullptr;
    delete sc;
}

const HostTable *table() { return &kTable; }

duk_context *duk(ScriptContext *sc) { return sc->duk; }

std::string describeError(duk_context *d, int index)
{
    duk_dup(d, index);
    if (duk_safe_call(d, describeSafe, nullptr, 1, 1) != DUK_EXEC_SUCCESS) {
        duk_pop(d);
        return "error (its description failed)";
    }
    std::string out = duk_get_string(d, -1) ? duk_get_string(d, -1) : "";
    duk_pop(d);
    return out;
}

bool runMain(ScriptContext *sc, const std::string &fileName, const std::string &source,
             std::string *error)
{
    duk_context *d = sc->duk;
    sc->depth++;
    openScope(sc, true);
    size_t need = text::utf8ToCesu8((const uint8_t *)source.data(), source.size(), nullptr);
    std::vector<uint8_t> converted(need + 1);
    text::utf8ToCesu8((const uint8_t *)source.data(), source.size(), converted.data());
    duk_push_string(d, fileName.c_str());
    bool ok = duk_pcompile_lstring_filename(d, DUK_COMPILE_SHEBANG, (const char *)converted.data(),
                                            need) == 0;
    if (ok)
        ok = duk_pcall(d, 0) == DUK_EXEC_SUCCESS;
    if (!ok && error)
        *error = describeError(d, -1);
    closeScope(sc, false);
    sc->depth--;
    return ok;
}

bool evalToString(ScriptContext *sc, const std::string &fileName, const std::string &source,
                  std::string *out)
{
    duk_context *d = sc->duk;
    sc->depth++;
    openScope(sc, true);
    size_t need = text::utf8ToCesu8((const uint8_t *)source.data(), source.size(), nullptr);
    std::vector<uint8_t> converted(need + 1);
    text::utf8ToCesu8((const uint8_t *)source.data(), source.size(), converted.data());
    duk_push_string(d, fileName.c_str());
    bool ok = duk_pcompile_lstring_filename(d, DUK_COMPILE_EVAL, (const char *)converted.data(),
                                            need) == 0;
    if (ok)
        ok = duk_pcall(d, 0) == DUK_EXEC_SUCCESS;
    std::string text;
    if (ok) {
        duk_size_t len = 0;
        const char *s = duk_safe_to_lstring(d, -1, &len);
        std::vector<uint8_t> utf8(len + 1);
        size_t n = text::cesu8ToUtf8((const uint8_t *)s, len, utf8.data());
        text.assign((const char *)utf8.data(), n);
    } else {
        text = describeError(d, -1);
    }
    if (out)
        *out = text;
    closeScope(sc, false);
    sc->depth--;
    return ok;
}

int callInit(ScriptContext *sc, InitModuleFunction init, std::string *error)
{
    duk_context *d = sc->duk;
    sc->depth++;
    openScope(sc, true);
    int result = init(sc, &kTable);
    Scope &s = sc->scopes.back();
    if (s.pendingSlot >= 0) {
        pushPendingError(sc, s);
        if (error)
            *error = describeError(d, -1);
        duk_pop(d);
        result = 0;
    } else if (s.reported && error) {
        *error = s.report;
    }
    closeScope(sc, false);
    sc->depth--;
    return result;
}

void pushByteString(ScriptContext *sc, const uint8_t *bytes, size_t length)
{
    duk_context *d = sc->duk;
    if (length > (SIZE_MAX - 18) / 2 || !reserveScratch(sc, 2 * length + 18)) {
        duk_push_error_object(d, DUK_ERR_RANGE_ERROR, "out of memory for a string of %lu bytes",
                              (unsigned long)length);
        duk_throw(d);
    }
    size_t n = text::encodeLatin1(bytes, length, sc->scratch.data());
    duk_push_lstring(d, (const char *)sc->scratch.data(), n);
    byteCacheAdd(sc, bytes, length);
}

CacheStats cacheStats(ScriptContext *sc)
{
    return CacheStats{sc->cacheHits, sc->cacheMisses, (unsigned)sc->cache.size()};
}

} // namespace engine
