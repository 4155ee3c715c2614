// Module state of the in-process server: the lock count and the module handle.
#ifndef MORPHEL_HOST_MODULE_H
#define MORPHEL_HOST_MODULE_H

#include "morphel/automation.h"

namespace morphel {

// Live objects, a client-held class factory and LockServer(TRUE) calls each hold
// one lock; the module may be unloaded only at 0. Interlocked.
void ModuleLock();
void ModuleUnlock();
long ModuleLockCount();

// The module's instance handle (Windows), or null.
void *ModuleInstance();
void SetModuleInstance(void *instance);

// Process-wide set-up at load and clean-up at unload (libgd diagnostics off,
// font cache).
void ModuleAttach();
void ModuleDetach();

// DllGetClassObject's work; the cached class factories are released at unload.
HRESULT GetClassObject(REFCLSID rclsid, REFIID riid, void **ppv);
void ReleaseClassFactories();

}  // namespace morphel

#endif  // MORPHEL_HOST_MODULE_H
