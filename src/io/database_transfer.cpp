// Moving the current image to and from a database field object.
#include <climits>
#include <cstring>

#include "core/images.h"
#include "core/status.h"
#include "io/codec_p.h"
#include "io/memory_channel_p.h"
#include "morphel/field.h"

namespace morphel {

namespace {

// The field's interface, held for one call.
class FieldReference {
 public:
  FieldReference() = default;
  ~FieldReference() {
    if (field_ != nullptr) field_->Release();
  }
  FieldReference(const FieldReference &) = delete;
  FieldReference &operator=(const FieldReference &) = delete;
  IAdoField *get() const { return field_; }
  void **out() { return reinterpret_cast<void **>(&field_); }

 private:
  IAdoField *field_ = nullptr;
};

// A failure before the field is reached carries no error information, so that
// none left from an earlier call is taken for this one's.
HRESULT FailWithoutInfo(HRESULT status) {
  SetErrorInfo(0, nullptr);
  return status;
}

HRESULT AskForField(IUnknown *object, FieldReference *field) {
  if (object == nullptr) return E_POINTER;
  return object->QueryInterface(IID_AdoField, field->out());
}

// The object of a VT_DISPATCH or VT_UNKNOWN value.
IUnknown *ObjectOf(const VARIANT &value) {
  if (V_VT(&value) == VT_DISPATCH) return V_DISPATCH(&value);
  return V_VT(&value) == VT_UNKNOWN ? V_UNKNOWN(&value) : nullptr;
}

// Converts value (an object by reference, or a value that converts to one) to
// the type vt and asks the object for the field.
HRESULT AskConverted(VARIANT *value, VARTYPE vt, FieldReference *field) {
  VARIANT converted;
  VariantInit(&converted);
  HRESULT hr = VariantChangeType(&converted, value, 0, vt);
  if (SUCCEEDED(hr)) hr = AskForField(ObjectOf(converted), field);
  VariantClear(&converted);
  return hr;
}

HRESULT AskVariantForField(VARIANT *value, FieldReference *field) {
  if (V_VT(value) == VT_DISPATCH || V_VT(value) == VT_UNKNOWN) {
    return AskForField(ObjectOf(*value), field);
  }
  HRESULT hr = AskConverted(value, VT_DISPATCH, field);
  if (hr == E_NOINTERFACE) hr = AskConverted(value, VT_UNKNOWN, field);
  // Empty, null and plain values hold no object at all.
  if (hr == DISP_E_TYPEMISMATCH || hr == DISP_E_BADVARTYPE) hr = E_POINTER;
  return hr;
}

// Obtains the field from a copy of the argument. Fails with E_POINTER when the
// argument holds no object and E_NOINTERFACE when its object is not a field.
HRESULT ObtainField(VARIANT *argument, FieldReference *field) {
  VARIANT copy;
  VariantInit(&copy);
  HRESULT hr = VariantCopy(&copy, argument);
  if (SUCCEEDED(hr)) hr = AskVariantForField(&copy, field);
  VariantClear(&copy);
  if (SUCCEEDED(hr) && field->get() == nullptr) hr = E_POINTER;
  return FAILED(hr) ? FailWithoutInfo(hr) : S_OK;
}

// A failing field call returns its own status. Its error information stays
// the thread's when the field says it offers some; otherwise there is none.
HRESULT FieldFailure(IAdoField *field, HRESULT status) {
  ISupportErrorInfo *support = nullptr;
  bool offered = false;
  if (SUCCEEDED(field->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void **>(&support))) &&
      support != nullptr) {
    offered = support->InterfaceSupportsErrorInfo(IID_AdoField20) == S_OK;
    support->Release();
  }
  if (!offered) SetErrorInfo(0, nullptr);
  return status;
}

// A one-dimensional byte array, lower bound 0, holding bytes.
HRESULT MakeByteArray(const ByteBuffer &bytes, SAFEARRAY **out) {
  SAFEARRAYBOUND bound;
  bound.lLbound = 0;
  bound.cElements = static_cast<ULONG>(bytes.size());
  SAFEARRAY *array = SafeArrayCreate(VT_UI1, 1, &bound);
  if (array == nullptr) return ReportError(kMsgNoMemory);
  void *data = nullptr;
  HRESULT hr = SafeArrayAccessData(array, &data);
  if (FAILED(hr)) {
    SafeArrayDestroy(array);
    return FailWithoutInfo(hr);
  }
  std::memcpy(data, bytes.data(), bytes.size());
  SafeArrayUnaccessData(array);
  *out = array;
  return S_OK;
}

// Hands the bytes to the field in one AppendChunk call.
HRESULT AppendBytes(IAdoField *field, const ByteBuffer &bytes) {
  SAFEARRAY *array = nullptr;
  if (HRESULT hr = MakeByteArray(bytes, &array); FAILED(hr)) return hr;
  VARIANT chunk;
  VariantInit(&chunk);
  V_VT(&chunk) = VT_ARRAY | VT_UI1;
  V_ARRAY(&chunk) = array;
  VARIANT copy;
  VariantInit(&copy);
  HRESULT hr = VariantCopy(&copy, &chunk);
  if (SUCCEEDED(hr)) {
    hr = field->AppendChunk(copy);
    if (FAILED(hr)) hr = FieldFailure(field, hr);
  } else {
    hr = ReportError(kMsgNoMemory);
  }
  VariantClear(&copy);
  SafeArrayDestroy(array);
  return hr;
}

// Copies a chunk's bytes into a private buffer. Only a one-dimensional byte
// array holds bytes, as many as its bounds say; anything else (a null value,
// a string, another array) leaves the buffer empty.
HRESULT CopyChunkBytes(VARIANT *chunk, ByteBuffer *out) {
  SAFEARRAY *array = V_VT(chunk) == (VT_ARRAY | VT_UI1) ? V_ARRAY(chunk) : nullptr;
  bool isBytes = array != nullptr && SafeArrayGetDim(array) == 1 && SafeArrayGetElemsize(array) == 1;
  size_t count = isBytes ? array->rgsabound[0].cElements : 0;
  if (!out->Allocate(count)) return ReportError(kMsgNoMemory);
  if (count == 0) return S_OK;
  void *data = nullptr;
  HRESULT hr = SafeArrayAccessData(array, &data);
  if (FAILED(hr)) return FailWithoutInfo(hr);
  std::memcpy(out->data(), data, count);
  SafeArrayUnaccessData(array);
  return S_OK;
}

// Reads the field's whole value with one GetChunk of its ActualSize.
HRESULT ReadFieldBytes(IAdoField *field, ByteBuffer *out) {
  FieldLength size = 0;
  HRESULT hr = field->get_ActualSize(&size);
  if (FAILED(hr)) return FieldFailure(field, hr);
  // GetChunk takes a 32-bit length; nothing longer can be an accepted image.
  if (size > INT_MAX) return ReportError(kMsgNoImage);
  VARIANT chunk;
  VariantInit(&chunk);
  hr = field->GetChunk(static_cast<LONG>(size), &chunk);
  if (FAILED(hr)) {
    hr = FieldFailure(field, hr);
  } else {
    hr = CopyChunkBytes(&chunk, out);
  }
  VariantClear(&chunk);
  return hr;
}

}  // namespace

HRESULT Images::WriteToDatabase(VARIANT ADOField) {
  gdImagePtr im;
  if (HRESULT hr = LookUpImage(&im); FAILED(hr)) return hr;
  FieldReference field;
  if (HRESULT hr = ObtainField(&ADOField, &field); FAILED(hr)) return hr;
  // An encoding that fails part-way or yields nothing is not appended.
  EncodedBytes encoded;
  if (HRESULT hr = CollectEncodedBytes(*this, im, &encoded); FAILED(hr)) return hr;
  return AppendBytes(field.get(), encoded.bytes);
}

HRESULT Images::ReadFromDatabase(VARIANT ADOField) {
  EmptyCurrentSlot();
  FieldReference field;
  if (HRESULT hr = ObtainField(&ADOField, &field); FAILED(hr)) return hr;
  ByteBuffer bytes;
  if (HRESULT hr = ReadFieldBytes(field.get(), &bytes); FAILED(hr)) return hr;
  gdImagePtr im = DecodeImage(imageType, bytes.data(), bytes.size());
  if (im == nullptr) return ReportError(kMsgNoImage);
  PlaceImage(im);
  return S_OK;
}

}  // namespace morphel
