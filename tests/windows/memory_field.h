// A database field held in memory, for the Windows tests (Wine's record sets
// have no GetChunk or AppendChunk): the field interface with the platform's
// semantics (the first AppendChunk replaces the value, later ones append;
// GetChunk reads on and gives VT_NULL when nothing is left), and by name
// ActualSize, Value (an array of one-byte variants, or Null) and Clear.
#ifndef MORPHEL_TESTS_WINDOWS_MEMORY_FIELD_H
#define MORPHEL_TESTS_WINDOWS_MEMORY_FIELD_H

#include <cstring>
#include <string>

#include "morphel/morphel.h"

class MemoryField final : public AdoFieldBase {
 public:
  std::string bytes;
  bool isNull = true;
  ULONG refs = 1;
  int appends = 0;
  int chunks = 0;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDispatch && riid != IID_AdoField &&
        riid != IID_AdoField20) {
      return E_NOINTERFACE;
    }
    *ppv = static_cast<IAdoField *>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --refs;
    if (left == 0 && ownedByCom_) delete this;
    return left;
  }
  // For objects made by a class factory: deleted at the last release.
  void DeleteAtLastRelease() { ownedByCom_ = true; }

  HRESULT STDMETHODCALLTYPE get_ActualSize(FieldLength *size) override {
    if (size == nullptr) return E_POINTER;
    *size = static_cast<FieldLength>(bytes.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetChunk(LONG length, VARIANT *chunk) override {
    if (chunk == nullptr) return E_POINTER;
    VariantInit(chunk);
    if (length < 0) return E_INVALIDARG;
    ++chunks;
    size_t left = bytes.size() - position_;
    if (isNull || left == 0) {
      V_VT(chunk) = VT_NULL;
      return S_OK;
    }
    size_t taken = static_cast<size_t>(length) < left ? static_cast<size_t>(length) : left;
    SAFEARRAY *array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(taken));
    if (array == nullptr) return E_OUTOFMEMORY;
    std::memcpy(array->pvData, bytes.data() + position_, taken);
    position_ += taken;
    V_VT(chunk) = VT_ARRAY | VT_UI1;
    V_ARRAY(chunk) = array;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE AppendChunk(VARIANT data) override {
    if (V_VT(&data) != (VT_ARRAY | VT_UI1) || SafeArrayGetDim(V_ARRAY(&data)) != 1) {
      return DISP_E_TYPEMISMATCH;
    }
    SAFEARRAY *array = V_ARRAY(&data);
    if (!written_) bytes.clear();
    bytes.append(static_cast<const char *>(array->pvData), array->rgsabound[0].cElements);
    isNull = false;
    written_ = true;
    position_ = 0;
    ++appends;
    return S_OK;
  }

  // By name: ActualSize (1), Value (0, read only) and Clear (2).
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **) override {
    return DISP_E_BADINDEX;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *names, UINT count, LCID,
                                          DISPID *ids) override {
    const wchar_t *known[] = {L"Value", L"ActualSize", L"Clear"};
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    for (DISPID id = 0; id < 3 && count == 1; ++id) {
      if (_wcsicmp(names[0], known[id]) == 0) ids[0] = id;
    }
    return count == 1 && ids[0] != DISPID_UNKNOWN ? S_OK : DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *result,
                                   EXCEPINFO *, UINT *) override {
    VARIANT ignored;
    VARIANT *out = result != nullptr ? result : &ignored;
    VariantInit(out);
    if (id == 2) {
      bytes.clear();
      isNull = true;
      written_ = false;
      position_ = 0;
      return S_OK;
    }
    if (id == 1) {
      V_VT(out) = VT_I4;
      V_I4(out) = static_cast<LONG>(bytes.size());
      return S_OK;
    }
    if (id != 0) return DISP_E_MEMBERNOTFOUND;
    V_VT(out) = VT_NULL;
    if (!isNull) {
      SAFEARRAY *array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(bytes.size()));
      if (array == nullptr) return E_OUTOFMEMORY;
      auto *elements = static_cast<VARIANT *>(array->pvData);
      for (size_t i = 0; i < bytes.size(); ++i) {
        V_VT(&elements[i]) = VT_UI1;
        V_UI1(&elements[i]) = static_cast<BYTE>(bytes[i]);
      }
      V_VT(out) = VT_ARRAY | VT_VARIANT;
      V_ARRAY(out) = array;
    }
    if (out == &ignored) VariantClear(out);
    return S_OK;
  }


 private:
  bool ownedByCom_ = false;
  bool written_ = false;
  size_t position_ = 0;
};

#endif  // MORPHEL_TESTS_WINDOWS_MEMORY_FIELD_H
