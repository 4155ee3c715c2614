// Internal helpers of the automation stand-in layer, shared by its files and
// reached by the tests.
#ifndef MORPHEL_PLATFORM_PLATFORM_P_H
#define MORPHEL_PLATFORM_PLATFORM_P_H

#include "morphel/automation.h"

namespace morphel::platform {

// Type-word bits and codes outside the public enumeration.
constexpr VARTYPE kVtVector = 0x1000;
constexpr VARTYPE kVtReserved = 0x8000;
constexpr VARTYPE kVtSafeArray = 27;

// S_OK when vt is a type word a variant may carry, else DISP_E_BADVARTYPE.
HRESULT ValidateVariantType(VARTYPE vt);

// Deep copy of a safe array: strings and variants are duplicated, interfaces
// gain a reference. A null source gives a null copy.
HRESULT SafeArrayCopy(SAFEARRAY *psa, SAFEARRAY **ppsaOut);

// Element size for a safe-array element type (also the size of the value a
// by-reference scalar variant points at); 0 for a type arrays cannot hold.
ULONG SafeArrayElementSize(VARTYPE vt);

// The code page CP_ACP stands for, given the value of MORPHEL_ACP (may be null):
// 1252 when it says so, UTF-8 otherwise.
UINT AnsiCodePageFor(const char *environmentValue);

// The two conversions with the code page already resolved (CP_UTF8 or 1252).
// viaAcp tells that the caller named CP_ACP: the UTF-8 page then accepts the
// default-character arguments, which an explicit CP_UTF8 refuses.
int WideToMultiByte(UINT codePage, bool viaAcp, DWORD flags, const OLECHAR *wide, int wideCount,
                    char *narrow, int narrowSize, const char *defaultChar, BOOL *usedDefaultChar);
int MultiByteToWide(UINT codePage, DWORD flags, const char *narrow, int narrowCount,
                    OLECHAR *wide, int wideSize);

// Sets the calling thread's last error code and returns 0, the failure value of
// the conversions.
int FailWithLastError(DWORD code);

}  // namespace morphel::platform

#endif  // MORPHEL_PLATFORM_PLATFORM_P_H
