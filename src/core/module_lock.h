// The module's bookkeeping the object core needs: the lock count that decides
// when the module may be unloaded, and the module handle its strings load from.
#ifndef MORPHEL_CORE_MODULE_LOCK_H
#define MORPHEL_CORE_MODULE_LOCK_H

namespace morphel {

// Live objects, a client-held class factory and LockServer(TRUE) calls each hold
// one lock; the module may be unloaded only at 0. Interlocked.
void ModuleLock();
void ModuleUnlock();
long ModuleLockCount();

// The module's instance handle (Windows), or null.
void *ModuleInstance();
void SetModuleInstance(void *instance);

}  // namespace morphel

#endif  // MORPHEL_CORE_MODULE_LOCK_H
