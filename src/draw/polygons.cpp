// Polygons from flat variant arrays x0, y0, x1, y1, ...
#include <cstring>

#include "core/status.h"
#include "draw/draw_p.h"

namespace morphel {

namespace {

constexpr int kMaxValues = 9998;
constexpr int kMaxPoints = kMaxValues / 2;

// Element types whose values convert to integers like numbers do.
bool IsNumericType(VARTYPE vt) {
  switch (vt) {
    case VT_I1: case VT_UI1: case VT_I2: case VT_UI2: case VT_I4: case VT_UI4:
    case VT_INT: case VT_UINT: case VT_I8: case VT_UI8: case VT_R4: case VT_R8:
    case VT_CY: case VT_DECIMAL:
      return true;
    default:
      return false;
  }
}

// Bytes of one element of a numeric array type.
ULONG NumericSize(VARTYPE vt) {
  switch (vt) {
    case VT_I1: case VT_UI1: return 1;
    case VT_I2: case VT_UI2: return 2;
    case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_R4: return 4;
    case VT_I8: case VT_UI8: case VT_R8: case VT_CY: return 8;
    case VT_DECIMAL: return sizeof(DECIMAL);
    default: return 0;
  }
}

// A number of any numeric type as a 32-bit integer, the way the platform's
// conversion does it (floating point rounds half to even); false when the
// value is not a number or does not fit. A 32-bit integer gives its whole
// value, not only its low 16 bits.
bool ValueToInt(const VARIANT &value, int *out) {
  if (!IsNumericType(V_VT(&value))) return false;
  if (V_VT(&value) == VT_I2) {
    *out = V_I2(&value);
    return true;
  }
  VARIANT converted;
  VariantInit(&converted);
  if (FAILED(VariantChangeType(&converted, const_cast<VARIANT *>(&value), 0, VT_I4))) return false;
  *out = V_I4(&converted);
  return true;
}

// The same for an element variant, which may hold its number by reference.
bool ElementToInt(const VARIANT &element, int *out) {
  if ((V_VT(&element) & VT_BYREF) == 0) return ValueToInt(element, out);
  VARIANT value;
  VariantInit(&value);
  if (FAILED(VariantCopyInd(&value, const_cast<VARIANT *>(&element)))) return false;
  const bool ok = ValueToInt(value, out);
  VariantClear(&value);
  return ok;
}

// A numeric element of an array of that type, as a variant of the same type.
VARIANT NumberVariant(VARTYPE vt, const unsigned char *bytes) {
  VARIANT v;
  VariantInit(&v);
  if (vt == VT_DECIMAL) {
    std::memcpy(&V_DECIMAL(&v), bytes, sizeof(DECIMAL));  // fills the whole variant
  } else {
    std::memcpy(&V_UI1(&v), bytes, NumericSize(vt));  // the value union starts there
  }
  V_VT(&v) = vt;
  return v;
}

// How the elements of one array are fetched and turned into coordinates.
class ElementReader {
 public:
  ElementReader(SAFEARRAY *array, VARTYPE vt) : array_(array), vt_(vt) {}

  // Whether the array's elements can be read as vt_ at all: the element size
  // must be that of the type, so no element is copied past its buffer.
  bool IsReadable() const {
    const ULONG size = SafeArrayGetElemsize(array_);
    const USHORT owned = FADF_BSTR | FADF_UNKNOWN | FADF_DISPATCH | FADF_RECORD;
    if (array_->fFeatures & owned) return false;
    if (vt_ == VT_VARIANT) {
      return (array_->fFeatures & FADF_VARIANT) != 0 && size == sizeof(VARIANT);
    }
    if (array_->fFeatures & FADF_VARIANT) return false;
    return IsNumericType(vt_) && size == NumericSize(vt_);
  }

  // The coordinate held by the element at cell; false for an element that is
  // not a number. Elements are read in place, never copied.
  bool Read(const unsigned char *cell, int *out) const {
    switch (vt_) {
      case VT_I2: {
        SHORT value;
        std::memcpy(&value, cell, sizeof value);
        *out = value;
        return true;
      }
      case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: {
        LONG value;
        std::memcpy(&value, cell, sizeof value);
        *out = value;  // taken as signed
        return true;
      }
      case VT_VARIANT:
        return ElementToInt(*reinterpret_cast<const VARIANT *>(cell), out);
      default:
        return ValueToInt(NumberVariant(vt_, cell), out);
    }
  }

 private:
  SAFEARRAY *array_;
  VARTYPE vt_;
};

// The data of an array, locked while the holder lives; null when it cannot be
// had.
class ArrayData {
 public:
  explicit ArrayData(SAFEARRAY *array) {
    void *data = nullptr;
    if (FAILED(SafeArrayAccessData(array, &data))) return;
    array_ = array;
    data_ = static_cast<const unsigned char *>(data);
  }
  ~ArrayData() {
    if (array_ != nullptr) SafeArrayUnaccessData(array_);
  }
  ArrayData(const ArrayData &) = delete;
  ArrayData &operator=(const ArrayData &) = delete;
  const unsigned char *get() const { return data_; }

 private:
  SAFEARRAY *array_ = nullptr;
  const unsigned char *data_ = nullptr;
};

// The array a polygon argument holds, directly or through its reference.
SAFEARRAY *PolygonArray(const VARIANT *arg) {
  if (arg == nullptr || (V_VT(arg) & VT_ARRAY) == 0) return nullptr;
  if (V_VT(arg) & VT_BYREF) {
    SAFEARRAY **ref = V_ARRAYREF(arg);
    return ref == nullptr ? nullptr : *ref;
  }
  return V_ARRAY(arg);
}

// Reads up to n values into points; *count is the number of complete
// vertices read. Fails with E_INVALIDARG on a bad array or element.
HRESULT ReadPolygon(const VARIANT *arg, int n, gdPoint *points, int *count) {
  SAFEARRAY *array = PolygonArray(arg);
  if (array == nullptr || SafeArrayGetDim(array) != 1) return E_INVALIDARG;
  // The low byte of the type word names the element type.
  const ElementReader reader(array, static_cast<VARTYPE>(V_VT(arg) & 0xFF));
  if (!reader.IsReadable()) return E_INVALIDARG;
  // The element count itself: upper - lower + 1 is wrong where the upper
  // bound wraps round (an empty array with the lowest lower bound has the
  // highest upper bound).
  const long long available = array->rgsabound[0].cElements;
  const int wanted = available < n ? static_cast<int>(available > 0 ? available : 0) : n;
  int read = 0;
  if (wanted > 0) {
    const ArrayData data(array);
    if (data.get() == nullptr) return E_INVALIDARG;
    const size_t size = SafeArrayGetElemsize(array);
    for (int value; read < wanted && reader.Read(data.get() + size_t(read) * size, &value); ++read) {
      if (read % 2 == 0) {
        points[read / 2].x = value;
      } else {
        points[read / 2].y = value;
      }
    }
    if (read < wanted) return E_INVALIDARG;
  }
  // An array with fewer than n values gives only the vertices read in full;
  // no point is ever handed over unset.
  *count = read / 2;
  return S_OK;
}

enum class PolygonKind { kOutline, kFilled };

// Whether the library's crossing buffer was lost: a failed first allocation
// leaves none, a failed growth frees it but keeps the larger size recorded.
HRESULT CheckCrossingBuffer(gdImagePtr im) {
  if (im->polyInts != nullptr) return S_OK;
  im->polyAllocated = 0;
  return ReportError(kMsgNoMemory);
}

HRESULT DrawPolygonFrom(const Images &obj, VARIANT *arg, int n, PolygonKind kind) {
  gdImagePtr im;
  if (HRESULT hr = obj.LookUpImage(&im); FAILED(hr)) return hr;
  if (n < 0 || n > kMaxValues) return E_INVALIDARG;
  gdPoint points[kMaxPoints];  // no allocation per call
  int count = 0;
  if (HRESULT hr = ReadPolygon(arg, n, points, &count); FAILED(hr)) return hr;
  if (kind == PolygonKind::kFilled) {
    return FilledPolygonChecked(im, points, count, obj.penColor);
  } else {
    gdImagePolygon(im, points, count, obj.penColor);
  }
  return S_OK;
}

}  // namespace

HRESULT FilledPolygonChecked(gdImagePtr im, gdPointPtr points, int count, int colour) {
  // One point or none needs no crossings; a lone row is drawn as a line.
  gdImageFilledPolygon(im, points, count, colour);
  return count >= 2 ? CheckCrossingBuffer(im) : S_OK;
}

HRESULT FilledArcChecked(gdImagePtr im, int x, int y, int w, int h, int s, int e, int colour) {
  gdImageFilledArc(im, x, y, w, h, s, e, colour, gdPie);
  return CheckCrossingBuffer(im);
}

HRESULT Images::DrawFilledPolygon(VARIANT *pArray, INT n) {
  return DrawPolygonFrom(*this, pArray, n, PolygonKind::kFilled);
}

HRESULT Images::DrawPolygon(VARIANT *pArray, INT n) {
  return DrawPolygonFrom(*this, pArray, n, PolygonKind::kOutline);
}

}  // namespace morphel
