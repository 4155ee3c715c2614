// The module's entry points on Windows: load and unload, the class object and
// the unload rule.
#include "host/module.h"
#include "host/windows/windows_p.h"
#include "morphel/morphel.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      morphel::SetModuleInstance(instance);
      DisableThreadLibraryCalls(instance);
      morphel::ModuleAttach();
      break;
    case DLL_PROCESS_DETACH:
      morphel::ModuleDetach();
      morphel::RunModuleCleanUp();
      break;
    default:
      break;
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void **ppv) {
  return morphel::GetClassObject(rclsid, riid, ppv);
}

STDAPI DllCanUnloadNow() { return morphel::ModuleLockCount() == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() { return morphel::RegisterServer(); }

STDAPI DllUnregisterServer() { return morphel::UnregisterServer(); }
