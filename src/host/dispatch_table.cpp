#include "host/dispatch_table.h"

#include <array>
#include <cstring>
#include <tuple>
#include <utility>

namespace morphel {
namespace {

// ---- Argument binders: one per parameter kind and type --------------------

template <typename T>
struct InArg;

// [in] INT: any value the platform's conversion turns into a 32-bit integer.
template <>
struct InArg<INT> {
  static constexpr bool kTakesArgument = true;
  INT value = 0;
  HRESULT Bind(VARIANT *arg) {
    VARIANT converted;
    VariantInit(&converted);
    HRESULT hr = VariantChangeType(&converted, arg, 0, VT_I4);
    if (FAILED(hr)) return hr;
    value = V_I4(&converted);
    return S_OK;
  }
  INT Get() { return value; }
};

// [in] BSTR: the string form of the argument, owned for the call.
template <>
struct InArg<BSTR> {
  static constexpr bool kTakesArgument = true;
  VARIANT holder;
  InArg() { VariantInit(&holder); }
  ~InArg() { VariantClear(&holder); }
  HRESULT Bind(VARIANT *arg) { return VariantChangeType(&holder, arg, 0, VT_BSTR); }
  BSTR Get() { return V_BSTR(&holder); }
};

// [in] VARIANT: the caller's value as it is, by value.
template <>
struct InArg<VARIANT> {
  static constexpr bool kTakesArgument = true;
  VARIANT value;
  HRESULT Bind(VARIANT *arg) {
    value = *arg;
    return S_OK;
  }
  VARIANT Get() { return value; }
};

template <typename T>
struct InRefArg;

// [in] BSTR*: the caller's string by reference when it passes one, else a
// converted copy.
template <>
struct InRefArg<BSTR> {
  static constexpr bool kTakesArgument = true;
  InArg<BSTR> copy;
  BSTR *ref = nullptr;
  HRESULT Bind(VARIANT *arg) {
    if (V_VT(arg) == (VT_BSTR | VT_BYREF)) {
      ref = V_BSTRREF(arg);
      return S_OK;
    }
    HRESULT hr = copy.Bind(arg);
    ref = &V_BSTR(&copy.holder);
    return hr;
  }
  BSTR *Get() { return ref; }
};

// [in] VARIANT*: the caller's variant (the referenced one for VT_BYREF|VT_VARIANT).
template <>
struct InRefArg<VARIANT> {
  static constexpr bool kTakesArgument = true;
  VARIANT *ref = nullptr;
  HRESULT Bind(VARIANT *arg) {
    ref = V_VT(arg) == (VT_VARIANT | VT_BYREF) ? V_VARIANTREF(arg) : arg;
    return S_OK;
  }
  VARIANT *Get() { return ref; }
};

// Result kinds (INT and LONG are the same C++ type here, but not the same
// automation type).
struct OutINT;
struct OutLONG;
struct OutBSTR;
struct OutVARIANT;

template <typename T>
struct OutArg;

template <>
struct OutArg<OutINT> {
  static constexpr bool kTakesArgument = false;
  INT value = 0;
  INT *Get() { return &value; }
  void Deliver(VARIANT *result) {
    V_VT(result) = VT_INT;
    V_INT(result) = value;
  }
};

template <>
struct OutArg<OutLONG> {
  static constexpr bool kTakesArgument = false;
  LONG value = 0;
  LONG *Get() { return &value; }
  void Deliver(VARIANT *result) {
    V_VT(result) = VT_I4;
    V_I4(result) = value;
  }
};

template <>
struct OutArg<OutBSTR> {
  static constexpr bool kTakesArgument = false;
  BSTR value = nullptr;
  ~OutArg() { SysFreeString(value); }
  BSTR *Get() { return &value; }
  void Deliver(VARIANT *result) {
    V_VT(result) = VT_BSTR;
    V_BSTR(result) = std::exchange(value, nullptr);
  }
};

template <>
struct OutArg<OutVARIANT> {
  static constexpr bool kTakesArgument = false;
  VARIANT value;
  OutArg() { VariantInit(&value); }
  ~OutArg() { VariantClear(&value); }
  VARIANT *Get() { return &value; }
  void Deliver(VARIANT *result) {
    *result = value;
    VariantInit(&value);
  }
};

template <typename Binder>
constexpr bool IsOut() {
  return !Binder::kTakesArgument;
}

// ---- The invoker of one operation ------------------------------------------

template <auto Method, typename... Binders>
struct Invoker {
  static constexpr UINT kArgumentCount = (0u + ... + (Binders::kTakesArgument ? 1u : 0u));

  static HRESULT Call(IImages *object, DISPPARAMS *params, VARIANT *result, UINT *argErr,
                      HRESULT *status) {
    if (params->cArgs != kArgumentCount) return DISP_E_BADPARAMCOUNT;
    std::tuple<Binders...> binders;
    HRESULT hr = BindAll(binders, params, argErr, std::index_sequence_for<Binders...>{});
    if (FAILED(hr)) return hr;
    *status = std::apply([object](auto &...b) { return (object->*Method)(b.Get()...); }, binders);
    if (SUCCEEDED(*status) && result != nullptr) {
      std::apply([result](auto &...b) { (DeliverIfOut(b, result), ...); }, binders);
    }
    return S_OK;
  }

  template <size_t... I>
  static HRESULT BindAll([[maybe_unused]] std::tuple<Binders...> &binders,
                         [[maybe_unused]] DISPPARAMS *params, [[maybe_unused]] UINT *argErr,
                         std::index_sequence<I...>) {
    HRESULT hr = S_OK;
    [[maybe_unused]] UINT next = 0;  // position among the taken arguments, first parameter first
    ((hr = SUCCEEDED(hr) ? BindOne(std::get<I>(binders), params, next, argErr) : hr), ...);
    return hr;
  }

  template <typename Binder>
  static HRESULT BindOne(Binder &binder, DISPPARAMS *params, UINT &next, UINT *argErr) {
    if constexpr (Binder::kTakesArgument) {
      UINT position = params->cArgs - 1 - next++;  // arguments come last first
      HRESULT hr = binder.Bind(&params->rgvarg[position]);
      if (FAILED(hr)) {
        if (argErr != nullptr) *argErr = position;
        // An argument that could not be converted for want of memory is
        // not of the wrong type.
        return hr == DISP_E_OVERFLOW || hr == E_OUTOFMEMORY ? hr : DISP_E_TYPEMISMATCH;
      }
    }
    return S_OK;
  }

  template <typename Binder>
  static void DeliverIfOut(Binder &binder, VARIANT *result) {
    if constexpr (IsOut<Binder>()) binder.Deliver(result);
  }
};

#define UNPAREN(...) __VA_ARGS__

template <typename... P>
constexpr auto MakeParams(P... params) {
  return std::array<ParamInfo, sizeof...(P)>{params...};
}

template <typename Binder>
struct BinderTag {};

template <auto Method, typename... Binders>
constexpr OperationInvoker MakeInvoker(BinderTag<Binders>...) {
  return &Invoker<Method, Binders...>::Call;
}

// Parameter descriptions.
#define VT_OF_INT VT_INT
#define VT_OF_LONG VT_I4
#define VT_OF_BSTR VT_BSTR
#define VT_OF_VARIANT VT_VARIANT
#define P_IN(type, name) ParamInfo{#name, ParamKind::kIn, VT_OF_##type}
#define P_INREF(type, name) ParamInfo{#name, ParamKind::kInRef, VT_OF_##type}
#define P_OUT(type, name) ParamInfo{#name, ParamKind::kOut, VT_OF_##type}
#define PARAM_LIST(id, name, params) constexpr auto kParams_##name = MakeParams(UNPAREN params);
MORPHEL_OPERATIONS(PARAM_LIST)
#undef PARAM_LIST
#undef P_IN
#undef P_INREF
#undef P_OUT

// Invokers.
#define P_IN(type, name) BinderTag<InArg<type>>{}
#define P_INREF(type, name) BinderTag<InRefArg<type>>{}
#define P_OUT(type, name) BinderTag<OutArg<Out##type>>{}
#define OPERATION_ENTRY(id, name, params)                                              \
  OperationInfo{id, #name, std::span<const ParamInfo>(kParams_##name.data(), kParams_##name.size()), \
                MakeInvoker<&IImages::name>(UNPAREN params)},
constexpr OperationInfo kOperations[] = {MORPHEL_OPERATIONS(OPERATION_ENTRY)};
#undef OPERATION_ENTRY
#undef P_IN
#undef P_INREF
#undef P_OUT

static_assert(std::size(kOperations) == MORPHEL_OPERATION_COUNT);

constexpr bool IdsFollowTheTableOrder() {
  for (size_t i = 0; i < std::size(kOperations); ++i) {
    if (kOperations[i].id != static_cast<DISPID>(i + 1)) return false;
  }
  return true;
}
static_assert(IdsFollowTheTableOrder());

char16_t LowerAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c; }

bool NameEquals(const char *name, const OLECHAR *candidate, bool ignoreCase) {
  size_t i = 0;
  for (; name[i] != '\0'; ++i) {
    char16_t a = static_cast<unsigned char>(name[i]);
    char16_t b = candidate[i];
    if (b == 0) return false;
    if (ignoreCase ? LowerAscii(a) != LowerAscii(b) : a != b) return false;
  }
  return candidate[i] == 0;
}

}  // namespace

std::span<const OperationInfo> Operations() { return kOperations; }

const OperationInfo *FindOperation(DISPID id) {
  if (id < 1 || id > static_cast<DISPID>(std::size(kOperations))) return nullptr;
  return &kOperations[id - 1];
}

const OperationInfo *FindOperationByName(const OLECHAR *name) {
  if (name == nullptr) return nullptr;
  for (bool ignoreCase : {false, true}) {
    for (const OperationInfo &op : kOperations) {
      if (NameEquals(op.name, name, ignoreCase)) return &op;
    }
  }
  return nullptr;
}

}  // namespace morphel
