// The dispatch table: every operation of IImages by name and dispatch
// identifier, with an invoker that converts automation arguments to the
// declared parameter types and calls the operation through the interface.
#ifndef MORPHEL_HOST_DISPATCH_TABLE_H
#define MORPHEL_HOST_DISPATCH_TABLE_H

#include <span>

#include "morphel/morphel.h"

namespace morphel {

enum class ParamKind { kIn, kInRef, kOut };

struct ParamInfo {
  const char *name;
  ParamKind kind;
  VARTYPE type;  // VT_INT, VT_I4, VT_BSTR or VT_VARIANT (without VT_BYREF)
};

// Calls one operation with the arguments of a dispatch call (last argument
// first, as the platform passes them). Returns S_OK once the operation was
// called, with its own status in *status, or the binding failure
// (DISP_E_BADPARAMCOUNT, DISP_E_TYPEMISMATCH, DISP_E_OVERFLOW) when it was not;
// on a conversion failure *argErr names the argument's position in rgvarg.
using OperationInvoker = HRESULT (*)(IImages *object, DISPPARAMS *params, VARIANT *result,
                                     UINT *argErr, HRESULT *status);

struct OperationInfo {
  DISPID id;
  const char *name;
  std::span<const ParamInfo> params;
  OperationInvoker invoke;
};

// The 75 operations, in dispatch-identifier order.
std::span<const OperationInfo> Operations();
// The operation with dispatch identifier id, or null.
const OperationInfo *FindOperation(DISPID id);
// The operation whose name matches exactly, then ignoring letter case; or null.
const OperationInfo *FindOperationByName(const OLECHAR *name);

}  // namespace morphel

#endif  // MORPHEL_HOST_DISPATCH_TABLE_H
