// Windows-only parts of the host: registration, type information, clean-up.
#ifndef MORPHEL_HOST_WINDOWS_WINDOWS_P_H
#define MORPHEL_HOST_WINDOWS_WINDOWS_P_H

#include <string>

#include "morphel/automation.h"

namespace morphel {

// Writes the registry entries of the class and registers the type library.
HRESULT RegisterServer();
// Removes them again; always S_OK.
HRESULT UnregisterServer();

// The module's full file name.
std::wstring ModuleFileName();

// Loads the type library from the module, or from the ".tlb" file beside it;
// *path receives where it was found.
HRESULT LoadModuleTypeLib(ITypeLib **library, std::wstring *path);

// Work to run at unload, most recently added first.
void AddModuleCleanUp(void (*function)(void *), void *argument);
void RunModuleCleanUp();

}  // namespace morphel

#endif  // MORPHEL_HOST_WINDOWS_WINDOWS_P_H
