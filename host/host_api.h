/* The host interface table: the one contract between scripthost.exe and its
   extension modules.  A module exports
       extern "C" int initModule(ScriptContext *context, const HostTable *table);
   (undecorated, C calling convention), keeps the table pointer in a
   process-wide global and makes every engine call through it.

   Everything here is plain C so that modules can be written in C or C++. */
#ifndef HOST_API_H
#define HOST_API_H

#include <stddef.h>
#include <stdint.h>

#include "host/value_word.h"

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32) && !defined(_WIN64)
#define HOST_CALL __cdecl
#else
#define HOST_CALL
#endif

/* 16-bit text: UTF-16, zero-terminated.  wchar_t on Windows; the portable
   parts of the host also build on Linux, where char16_t has the same size. */
#ifdef _WIN32
typedef wchar_t HostWChar;
#else
typedef char16_t HostWChar;
#endif

/* The engine context the host hands to initModule and to every native
   function.  Opaque to modules. */
typedef struct ScriptContext ScriptContext;

/* A native function.  argv[i] for i >= argc reads as undefined.  Returns 1 on
   success, 0 on failure (after reportError, or silently: the host then
   throws an Error naming the function).  *result is preset to undefined. */
typedef int(HOST_CALL *NativeFunction)(ScriptContext *context, ValueWord thisObject, int argc,
                                       ValueWord *argv, ValueWord *result);

/* Called once per instance of a class made by defineClass. */
typedef void(HOST_CALL *Finalizer)(ScriptContext *context, ValueWord object);

/* One record of a function table; a table ends with a record whose name is
   null.  nargs is informational (the function's length); natives check argc
   themselves.  flags and extra must be 0. */
typedef struct FunctionSpec {
    const char *name;
    NativeFunction call;
    uint16_t nargs;
    uint16_t flags;
    uint32_t extra;
} FunctionSpec;

/* Attributes of defineProperty.  Properties always stay configurable, so a
   module can define the same name again. */
enum { HOST_ATTR_ENUMERABLE = 1, HOST_ATTR_READONLY = 2 };

/* The table, slot by slot.  Slots 4, 12, 20 and 21 are reserved and never
   called.  All slots use the C calling convention. */
typedef struct HostTable {
    /* 0 */ ValueWord(HOST_CALL *getProperty)(ScriptContext *, ValueWord object, const char *name);
    /* 1 */ const char *(HOST_CALL *valueToString)(ScriptContext *, ValueWord value);
    /* 2 */ const HostWChar *(HOST_CALL *valueToWideString)(ScriptContext *, ValueWord value);
    /* 3 */ int(HOST_CALL *stringLength)(ScriptContext *, ValueWord value);
    /* 4 */ void (*reserved4)(void);
    /* 5 */ double(HOST_CALL *getNumberProperty)(ScriptContext *, ValueWord object, const char *name,
                                                 double fallback);
    /* 6 */ const char *(HOST_CALL *getStringProperty)(ScriptContext *, ValueWord object,
                                                      const char *name, const char *fallback);
    /* 7 */ const HostWChar *(HOST_CALL *getWideStringProperty)(ScriptContext *, ValueWord object,
                                                              const char *name,
                                                              const HostWChar *fallback);
    /* 8 */ ValueWord(HOST_CALL *newString)(ScriptContext *, const char *text8,
                                            const HostWChar *text16);
    /* 9 */ ValueWord(HOST_CALL *newStringN)(ScriptContext *, const char *bytes, int length);
    /* 10 */ ValueWord(HOST_CALL *newNumber)(ScriptContext *, double number);
    /* 11 */ int(HOST_CALL *evaluate)(ScriptContext *, const char *scriptName, const char *source,
                                      ValueWord *result);
    /* 12 */ void (*reserved12)(void);
    /* 13 */ ValueWord(HOST_CALL *defineClass)(ScriptContext *, const char *className,
                                               NativeFunction constructor, int reserved0,
                                               const void *reservedNull1,
                                               const FunctionSpec *methods,
                                               const void *reservedNull2,
                                               const FunctionSpec *staticMethods,
                                               Finalizer finalizer);
    /* 14 */ ValueWord(HOST_CALL *newObject)(ScriptContext *, const void *reservedNull);
    /* 15 */ ValueWord(HOST_CALL *globalObject)(ScriptContext *);
    /* 16 */ void *(HOST_CALL *hostAlloc)(ScriptContext *, size_t bytes);
    /* 17 */ void(HOST_CALL *hostFree)(ScriptContext *, void *memory);
    /* 18 */ ValueWord(HOST_CALL *newArray)(ScriptContext *, int reserved0,
                                            const ValueWord *reservedNull);
    /* 19 */ int(HOST_CALL *setElement)(ScriptContext *, ValueWord array, int index,
                                        const ValueWord *value);
    /* 20 */ void (*reserved20)(void);
    /* 21 */ void (*reserved21)(void);
    /* 22 */ int(HOST_CALL *defineProperty)(ScriptContext *, ValueWord object, const char *name,
                                            ValueWord value, const void *reservedGetter,
                                            const void *reservedSetter, unsigned attributes);
    /* 23 */ int(HOST_CALL *defineFunctions)(ScriptContext *, ValueWord object,
                                             const FunctionSpec *functions);
    /* 24 */ int(HOST_CALL *setPrivate)(ScriptContext *, ValueWord object, void *pointer);
    /* 25 */ void *(HOST_CALL *getPrivate)(ScriptContext *, ValueWord object);
    /* 26 */ void(HOST_CALL *reportError)(ScriptContext *, const char *format, ...);
    /* 27 */ void(HOST_CALL *beginRequest)(ScriptContext *);
    /* 28 */ uint32_t(HOST_CALL *suspendRequest)(ScriptContext *);
    /* 29 */ void(HOST_CALL *resumeRequest)(ScriptContext *, uint32_t token);
    /* 30 */ void(HOST_CALL *endRequest)(ScriptContext *);
} HostTable;

typedef int(HOST_CALL *InitModuleFunction)(ScriptContext *context, const HostTable *table);

#ifdef __cplusplus
}
#endif

#endif
