// Module state of the in-process server: load and unload work and the class
// factories (the lock count and the module handle are in core/module_lock.h).
#ifndef MORPHEL_HOST_MODULE_H
#define MORPHEL_HOST_MODULE_H

#include "core/module_lock.h"
#include "morphel/automation.h"

namespace morphel {

// Process-wide set-up at load and clean-up at unload (libgd diagnostics off,
// font cache).
void ModuleAttach();
void ModuleDetach();

// DllGetClassObject's work; the cached class factories are released at unload.
HRESULT GetClassObject(REFCLSID rclsid, REFIID riid, void **ppv);
void ReleaseClassFactories();

}  // namespace morphel

#endif  // MORPHEL_HOST_MODULE_H
