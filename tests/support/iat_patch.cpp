#include "tests/support/iat_patch.h"

#include <windows.h>

#include <cstring>

namespace testing_support {

void *patchImport(const char *module, const char *dll, const char *function, void *replacement)
{
    BYTE *base = (BYTE *)GetModuleHandleA(module);
    if (!base)
        return nullptr;
    auto *nt = (IMAGE_NT_HEADERS *)(base + ((IMAGE_DOS_HEADER *)base)->e_lfanew);
    IMAGE_DATA_DIRECTORY dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress)
        return nullptr;
    for (auto *imp = (IMAGE_IMPORT_DESCRIPTOR *)(base + dir.VirtualAddress); imp->Name; imp++) {
        if (_stricmp((const char *)(base + imp->Name), dll) != 0)
            continue;
        // The names live in the original thunks; the addresses in the bound ones.
        auto *names = (IMAGE_THUNK_DATA *)(base + (imp->OriginalFirstThunk ? imp->OriginalFirstThunk
                                                                            : imp->FirstThunk));
        auto *slots = (IMAGE_THUNK_DATA *)(base + imp->FirstThunk);
        for (; names->u1.AddressOfData; names++, slots++) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            auto *byName = (IMAGE_IMPORT_BY_NAME *)(base + names->u1.AddressOfData);
            if (std::strcmp((const char *)byName->Name, function) != 0)
                continue;
            void *previous = (void *)slots->u1.Function;
            DWORD old;
            VirtualProtect(&slots->u1.Function, sizeof(void *), PAGE_READWRITE, &old);
            slots->u1.Function = (ULONG_PTR)replacement;
            VirtualProtect(&slots->u1.Function, sizeof(void *), old, &old);
            return previous;
        }
    }
    return nullptr;
}

ImportPatch::ImportPatch(const char *module, const char *dll, const char *function,
                         void *replacement)
    : module_(module), dll_(dll), function_(function),
      original_(patchImport(module, dll, function, replacement))
{
}

ImportPatch::~ImportPatch()
{
    if (original_)
        patchImport(module_, dll_, function_, original_);
}

} // namespace testing_support
