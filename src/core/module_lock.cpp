// The module's lock count and instance handle.
#include "core/module_lock.h"

#include <atomic>

namespace morphel {
namespace {

std::atomic<long> lockCount{0};
void *moduleInstance = nullptr;

}  // namespace

void ModuleLock() { lockCount.fetch_add(1); }
void ModuleUnlock() { lockCount.fetch_sub(1); }
long ModuleLockCount() { return lockCount.load(); }

void *ModuleInstance() { return moduleInstance; }
void SetModuleInstance(void *instance) { moduleInstance = instance; }

}  // namespace morphel
