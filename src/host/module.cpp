// Module lifetime: the load and unload work and the unload rule.
#include "host/module.h"

#include <gd.h>

namespace morphel {
namespace {

// libgd prints diagnostics on stderr by default; a component inside a host
// process keeps quiet and reports through its statuses instead.
void SilentGdErrorHandler(int, const char *, va_list) {}

}  // namespace

void ModuleAttach() {
  gdSetErrorMethod(SilentGdErrorHandler);
  gdFontCacheSetup();  // the lazy set-up inside the text call is not thread-safe
}

void ModuleDetach() {
  ReleaseClassFactories();
  gdFontCacheShutdown();
}

}  // namespace morphel

#if !defined(_WIN32)
namespace {
// Load and unload of the shared library stand in for process attach and detach.
__attribute__((constructor)) void OnLoad() { morphel::ModuleAttach(); }
__attribute__((destructor)) void OnUnload() { morphel::ModuleDetach(); }
}  // namespace

STDAPI DllCanUnloadNow(void) { return morphel::ModuleLockCount() == 0 ? S_OK : S_FALSE; }
#endif
