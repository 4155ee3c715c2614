// A stack-held database field for the transfer tests: serves a chunk, records
// every call made through its vtable, and fails on request.
#ifndef MORPHEL_TESTS_IO_RECORDING_FIELD_H
#define MORPHEL_TESTS_IO_RECORDING_FIELD_H

#include <cstring>
#include <vector>

#include "morphel/field.h"

namespace morphel::io_test {

class RecordingField : public AdoFieldBase, public ISupportErrorInfo {
 public:
  RecordingField() { VariantInit(&chunk_); }
  ~RecordingField() {
    VariantClear(&chunk_);
    for (VARIANT &v : appended) VariantClear(&v);
  }
  RecordingField(const RecordingField &) = delete;
  RecordingField &operator=(const RecordingField &) = delete;

  // ---- What the test sets --------------------------------------------------
  FieldLength actualSize = 0;
  HRESULT actualSizeStatus = S_OK;
  HRESULT getChunkStatus = S_OK;
  HRESULT appendStatus = S_OK;
  bool answersAsField = true;
  bool offersErrorInfo = false;
  // Serves bytes as a byte array of their length, lower bound 0.
  void ServeBytes(const std::vector<unsigned char> &bytes) {
    VariantClear(&chunk_);
    V_VT(&chunk_) = VT_ARRAY | VT_UI1;
    V_ARRAY(&chunk_) = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    if (!bytes.empty()) std::memcpy(V_ARRAY(&chunk_)->pvData, bytes.data(), bytes.size());
    actualSize = static_cast<FieldLength>(bytes.size());
  }
  // Serves any value (takes it over).
  void Serve(VARIANT value) {
    VariantClear(&chunk_);
    chunk_ = value;
  }

  // ---- What the test reads -------------------------------------------------
  ULONG references = 1;
  int actualSizeCalls = 0;
  std::vector<LONG> chunkLengths;
  std::vector<VARIANT> appended;  // copies of every AppendChunk argument
  int byNameCalls = 0;

  IUnknown *unknown() { return static_cast<IAdoField *>(this); }
  IDispatch *dispatch() { return static_cast<IAdoField *>(this); }
  std::vector<unsigned char> AppendedBytes(size_t i) const {
    SAFEARRAY *array = V_ARRAY(&appended[i]);
    const auto *data = static_cast<const unsigned char *>(array->pvData);
    return {data, data + array->rgsabound[0].cElements};
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override {
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDispatch || (answersAsField && riid == IID_AdoField)) {
      *ppv = static_cast<IAdoField *>(this);
    } else if (riid == IID_ISupportErrorInfo) {
      *ppv = static_cast<ISupportErrorInfo *>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override { return --references; }
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override {
    return offersErrorInfo && riid == IID_AdoField20 ? S_OK : S_FALSE;
  }

  HRESULT STDMETHODCALLTYPE get_ActualSize(FieldLength *size) override {
    ++actualSizeCalls;
    *size = actualSize;
    return actualSizeStatus;
  }
  HRESULT STDMETHODCALLTYPE GetChunk(LONG length, VARIANT *chunk) override {
    chunkLengths.push_back(length);
    return FAILED(getChunkStatus) ? getChunkStatus : VariantCopy(chunk, &chunk_);
  }
  HRESULT STDMETHODCALLTYPE AppendChunk(VARIANT data) override {
    VARIANT copy;
    VariantInit(&copy);
    VariantCopy(&copy, &data);
    appended.push_back(copy);
    return appendStatus;
  }

  // The component calls the field by vtable only, never by name; the other
  // field members answer E_NOTIMPL.
  HRESULT ByName() {
    ++byNameCalls;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *) override { return ByName(); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **) override { return ByName(); }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override {
    return ByName();
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *,
                                   EXCEPINFO *, UINT *) override {
    return ByName();
  }

 private:
  VARIANT chunk_;
};

// A VARIANT holding an object, without a reference of its own.
inline VARIANT ObjectVariant(IDispatch *object) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_DISPATCH;
  V_DISPATCH(&v) = object;
  return v;
}

}  // namespace morphel::io_test

#endif  // MORPHEL_TESTS_IO_RECORDING_FIELD_H
