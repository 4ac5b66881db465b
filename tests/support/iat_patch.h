// Intercepting a module's calls into system DLLs by rewriting its import
// address table in this process: for the calls whose effect Wine cannot show
// (the notification area, sound output) and for checking the exact arguments
// a module passes.
#ifndef TESTS_SUPPORT_IAT_PATCH_H
#define TESTS_SUPPORT_IAT_PATCH_H

namespace testing_support {

// Points the import `function` of `dll` (compared case-insensitively, e.g.
// "USER32.dll") in the loaded module `module` at `replacement`.  Returns the
// address it replaced, or null when the module or the import is not there.
void *patchImport(const char *module, const char *dll, const char *function, void *replacement);

// A patch for the lifetime of the object.
class ImportPatch {
public:
    ImportPatch(const char *module, const char *dll, const char *function, void *replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch &) = delete;
    ImportPatch &operator=(const ImportPatch &) = delete;
    // The real function, or null when the patch could not be made.
    void *original() const { return original_; }
    template <typename F> F call() const { return reinterpret_cast<F>(original_); }

private:
    const char *module_, *dll_, *function_;
    void *original_;
};

} // namespace testing_support

#endif
