// Moving the current image to and from script variables.
#include <climits>
#include <cstring>

#include "core/images.h"
#include "core/status.h"
#include "io/codec_p.h"
#include "io/memory_channel_p.h"

namespace morphel {

namespace {

// An array of one-byte variants, one for each encoded byte, lower bound 0,
// filled in place through the array's data (its elements start empty).
SAFEARRAY *MakeByteVariantArray(const ByteBuffer &bytes) {
  SAFEARRAYBOUND bound;
  bound.lLbound = 0;
  bound.cElements = static_cast<ULONG>(bytes.size());
  SAFEARRAY *array = SafeArrayCreate(VT_VARIANT, 1, &bound);
  if (array == nullptr) return nullptr;
  void *data = nullptr;
  if (FAILED(SafeArrayAccessData(array, &data))) {
    SafeArrayDestroy(array);
    return nullptr;
  }
  auto *elements = static_cast<VARIANT *>(data);
  for (size_t i = 0; i < bytes.size(); ++i) {
    V_VT(&elements[i]) = VT_UI1;
    V_UI1(&elements[i]) = bytes.data()[i];
  }
  SafeArrayUnaccessData(array);
  return array;
}

}  // namespace

HRESULT Images::WriteToVariable(BSTR *pVal) {
  if (pVal == nullptr) return E_POINTER;
  *pVal = nullptr;
  gdImagePtr im;
  if (HRESULT hr = LookUpImage(&im); FAILED(hr)) return hr;
  EncodedBytes encoded;
  if (HRESULT hr = CollectEncodedBytes(*this, im, &encoded); FAILED(hr)) return hr;
  BSTR text = SysAllocStringByteLen(reinterpret_cast<const char *>(encoded.bytes.data()),
                                    static_cast<UINT>(encoded.bytes.size()));
  if (text == nullptr) return ReportError(kMsgNoMemory);
  *pVal = text;
  return S_OK;
}

HRESULT Images::WriteToVariableVariant(VARIANT *pVal) {
  if (pVal == nullptr) return E_POINTER;
  VariantInit(pVal);
  gdImagePtr im;
  if (HRESULT hr = LookUpImage(&im); FAILED(hr)) return hr;
  EncodedBytes encoded;
  if (HRESULT hr = CollectEncodedBytes(*this, im, &encoded); FAILED(hr)) return hr;
  SAFEARRAY *array = MakeByteVariantArray(encoded.bytes);
  if (array == nullptr) return ReportError(kMsgNoMemory);
  V_VT(pVal) = VT_ARRAY | VT_VARIANT;
  V_ARRAY(pVal) = array;
  return S_OK;
}

// The string's bytes are decoded as stored, with no character conversion; a
// null string (or a null pointer) has no bytes.
HRESULT Images::ReadFromVariable(BSTR *pVal) {
  EmptyCurrentSlot();
  BSTR text = pVal != nullptr ? *pVal : nullptr;
  const size_t length = text != nullptr ? SysStringByteLen(text) : 0;
  ByteBuffer copy;
  if (!copy.Allocate(length)) return ReportError(kMsgNoMemory);
  if (length > 0) std::memcpy(copy.data(), text, length);
  gdImagePtr im = DecodeImage(imageType, copy.data(), copy.size());
  if (im == nullptr) return ReportError(kMsgNoImage);
  PlaceImage(im);
  return S_OK;
}

}  // namespace morphel
