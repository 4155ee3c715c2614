// The SQLite-backed field object: the field interface over one database value,
// its by-name dispatch, and the exported function that opens it.
#include "io/sqlite_field_p.h"

#if !defined(_WIN32)

#include <climits>
#include <cstring>
#include <new>

#include "core/status.h"
#include "io/sqlite_cell_p.h"

namespace morphel {

namespace {

const OLECHAR kFieldErrorSource[] = OLESTR("Morphel.SqliteField");

// ADO's type code of a long binary value and the attributes of such a field
// (updatable, may be null, long).
constexpr INT kLongVarBinary = 205;
constexpr LONG kFieldAttributes = 0x4 | 0x40 | 0x80;

BSTR Utf8ToBstr(const char *text) {
  const int length = static_cast<int>(std::strlen(text));
  const int wide = MultiByteToWideChar(CP_UTF8, 0, text, length, nullptr, 0);
  BSTR out = SysAllocStringLen(nullptr, static_cast<UINT>(wide > 0 ? wide : 0));
  if (out != nullptr && wide > 0) MultiByteToWideChar(CP_UTF8, 0, text, length, out, wide);
  return out;
}

// Records the field's error information and returns status (allocates no
// C++ memory, so it can report a std::bad_alloc).
HRESULT FieldError(HRESULT status, const char *message) {
  BSTR description = Utf8ToBstr(message);
  RecordErrorInfo(IID_AdoField20, kFieldErrorSource, description);
  SysFreeString(description);
  return status;
}

// Runs one call of the object; no exception leaves it.
template <typename Call>
HRESULT Guarded(Call call) {
  try {
    return call();
  } catch (const std::bad_alloc &) {
    return FieldError(E_OUTOFMEMORY, "out of memory");
  }
}

// The byte array a variant holds, also by reference; null for anything else.
SAFEARRAY *ByteArrayOf(const VARIANT &data) {
  if (V_VT(&data) == (VT_VARIANT | VT_BYREF)) {
    return V_VARIANTREF(&data) != nullptr ? ByteArrayOf(*V_VARIANTREF(&data)) : nullptr;
  }
  SAFEARRAY *array = nullptr;
  if (V_VT(&data) == (VT_ARRAY | VT_UI1)) array = V_ARRAY(&data);
  if (V_VT(&data) == (VT_ARRAY | VT_UI1 | VT_BYREF) && V_ARRAYREF(&data) != nullptr) {
    array = *V_ARRAYREF(&data);
  }
  if (array == nullptr || SafeArrayGetDim(array) != 1 || SafeArrayGetElemsize(array) != 1) {
    return nullptr;
  }
  return array;
}

// A byte array of length bytes, lower bound 0, in result.
HRESULT PutBytes(const unsigned char *bytes, size_t length, VARIANT *result) {
  SAFEARRAY *array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(length));
  if (array == nullptr) return FieldError(E_OUTOFMEMORY, "out of memory");
  if (length > 0) std::memcpy(array->pvData, bytes, length);
  V_VT(result) = VT_ARRAY | VT_UI1;
  V_ARRAY(result) = array;
  return S_OK;
}

class SqliteField final : public AdoFieldBase, public ISupportErrorInfo {
 public:
  SqliteCell &cell() { return cell_; }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_AdoField ||
        riid == IID_AdoField20) {
      *ppv = static_cast<IAdoField *>(this);
    } else if (riid == IID_ISupportErrorInfo) {
      *ppv = static_cast<ISupportErrorInfo *>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  // IDispatch, by name only (no type information).
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **info) override {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    return DISP_E_BADINDEX;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR *names, UINT count, LCID,
                                          DISPID *ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID riid, LCID, WORD flags,
                                   DISPPARAMS *params, VARIANT *result, EXCEPINFO *exception,
                                   UINT *argError) override;

  // ISupportErrorInfo: every failure of the field carries error information.
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override {
    return riid == IID_AdoField || riid == IID_AdoField20 || riid == IID_IDispatch ? S_OK
                                                                                   : S_FALSE;
  }

  // The field members this object serves.
  HRESULT STDMETHODCALLTYPE get_ActualSize(FieldLength *size) override;
  HRESULT STDMETHODCALLTYPE get_Name(BSTR *name) override;
  HRESULT STDMETHODCALLTYPE get_Value(VARIANT *value) override;
  HRESULT STDMETHODCALLTYPE put_Value(VARIANT value) override;
  HRESULT STDMETHODCALLTYPE AppendChunk(VARIANT data) override;
  HRESULT STDMETHODCALLTYPE GetChunk(LONG length, VARIANT *chunk) override;
  HRESULT STDMETHODCALLTYPE get_Type(INT *dataType) override {
    if (dataType == nullptr) return E_POINTER;
    *dataType = kLongVarBinary;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Attributes(LONG *attributes) override {
    if (attributes == nullptr) return E_POINTER;
    *attributes = kFieldAttributes;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_DefinedSize(FieldLength *size) override {
    if (size == nullptr) return E_POINTER;
    *size = INT_MAX;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Status(LONG *status) override {
    if (status == nullptr) return E_POINTER;
    *status = 0;
    return S_OK;
  }

  // The other members of a record set's field answer E_NOTIMPL (AdoFieldBase).

 private:
  HRESULT CellError() { return FieldError(E_FAIL, cell_.error().c_str()); }
  HRESULT Write(SAFEARRAY *bytes);
  HRESULT InvokeMember(DISPID member, WORD flags, DISPPARAMS *params, VARIANT *result,
                       HRESULT *status);

  ULONG refs_ = 1;
  SqliteCell cell_;
  // Where the next GetChunk starts.
  size_t readPosition_ = 0;
  // Whether this object has written: its first AppendChunk replaces the value.
  bool written_ = false;
};

HRESULT SqliteField::get_ActualSize(FieldLength *size) {
  if (size == nullptr) return E_POINTER;
  *size = 0;
  return Guarded([&] {
    ByteBuffer value;
    bool isNull = false;
    if (!cell_.Load(&value, &isNull)) return CellError();
    if (value.size() > INT_MAX) return FieldError(E_FAIL, "the value is longer than 2 GiB");
    *size = static_cast<FieldLength>(value.size());
    return S_OK;
  });
}

HRESULT SqliteField::get_Name(BSTR *name) {
  if (name == nullptr) return E_POINTER;
  *name = nullptr;
  return Guarded([&] {
    *name = Utf8ToBstr(cell_.column().c_str());
    return *name != nullptr ? S_OK : FieldError(E_OUTOFMEMORY, "out of memory");
  });
}

HRESULT SqliteField::get_Value(VARIANT *value) {
  if (value == nullptr) return E_POINTER;
  VariantInit(value);
  return Guarded([&] {
    ByteBuffer bytes;
    bool isNull = false;
    if (!cell_.Load(&bytes, &isNull)) return CellError();
    if (isNull) {
      V_VT(value) = VT_NULL;
      return S_OK;
    }
    return PutBytes(bytes.data(), bytes.size(), value);
  });
}

// Reads on from where the last chunk ended; a null value, or nothing left,
// gives VT_NULL.
HRESULT SqliteField::GetChunk(LONG length, VARIANT *chunk) {
  if (chunk == nullptr) return E_POINTER;
  VariantInit(chunk);
  return Guarded([&] {
    if (length < 0) return FieldError(E_INVALIDARG, "GetChunk takes a length of 0 or more");
    ByteBuffer bytes;
    bool isNull = false;
    if (!cell_.Load(&bytes, &isNull)) return CellError();
    const size_t left = readPosition_ < bytes.size() ? bytes.size() - readPosition_ : 0;
    if (isNull || left == 0) {
      V_VT(chunk) = VT_NULL;
      return S_OK;
    }
    const size_t taken = static_cast<size_t>(length) < left ? static_cast<size_t>(length) : left;
    HRESULT hr = PutBytes(bytes.data() + readPosition_, taken, chunk);
    if (SUCCEEDED(hr)) readPosition_ += taken;
    return hr;
  });
}

// The first write of the object replaces the value, later ones append; a
// write starts reading over from the beginning.
HRESULT SqliteField::Write(SAFEARRAY *bytes) {
  void *data = nullptr;
  HRESULT hr = SafeArrayAccessData(bytes, &data);
  if (FAILED(hr)) return FieldError(hr, "the byte array is locked");
  bool stored = cell_.Store(static_cast<const unsigned char *>(data), bytes->rgsabound[0].cElements,
                            written_);
  SafeArrayUnaccessData(bytes);
  if (!stored) return CellError();
  written_ = true;
  readPosition_ = 0;
  return S_OK;
}

HRESULT SqliteField::AppendChunk(VARIANT data) {
  return Guarded([&] {
    SAFEARRAY *bytes = ByteArrayOf(data);
    if (bytes == nullptr) return FieldError(DISP_E_TYPEMISMATCH, "AppendChunk takes a byte array");
    return Write(bytes);
  });
}

// A byte array replaces the value; null or empty sets it to null.
HRESULT SqliteField::put_Value(VARIANT value) {
  return Guarded([&] {
    if (V_VT(&value) == VT_NULL || V_VT(&value) == VT_EMPTY) {
      if (!cell_.StoreNull()) return CellError();
      written_ = true;
      readPosition_ = 0;
      return S_OK;
    }
    SAFEARRAY *bytes = ByteArrayOf(value);
    if (bytes == nullptr) return FieldError(DISP_E_TYPEMISMATCH, "Value takes a byte array or Null");
    written_ = false;
    return Write(bytes);
  });
}

// ---- By-name dispatch ------------------------------------------------------

struct Member {
  const char *name;
  DISPID id;
};
// Value is the default member, as a record set's field has it.
constexpr Member kMembers[] = {
    {"Value", DISPID_VALUE}, {"ActualSize", 1}, {"GetChunk", 2}, {"AppendChunk", 3}, {"Name", 4}};

bool SameNameIgnoringCase(const char *ascii, const OLECHAR *name) {
  size_t k = 0;
  for (; ascii[k] != '\0' && name[k] != 0; ++k) {
    char16_t a = static_cast<unsigned char>(ascii[k]), b = name[k];
    if ((a | 0x20) != (b | 0x20)) return false;
  }
  return ascii[k] == '\0' && name[k] == 0;
}

HRESULT SqliteField::GetIDsOfNames(REFIID riid, LPOLESTR *names, UINT count, LCID, DISPID *ids) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (count == 0) return S_OK;
  if (names == nullptr || ids == nullptr) return E_POINTER;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  for (const Member &member : kMembers) {
    if (names[0] != nullptr && SameNameIgnoringCase(member.name, names[0])) ids[0] = member.id;
  }
  // Arguments are passed by position only.
  return ids[0] != DISPID_UNKNOWN && count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
}

HRESULT GetLength(VARIANT *argument, LONG *length) {
  VARIANT converted;
  VariantInit(&converted);
  HRESULT hr = VariantChangeType(&converted, argument, 0, VT_I4);
  if (SUCCEEDED(hr)) *length = V_I4(&converted);
  return hr;
}

// Binds the arguments and calls the member: a failure to bind is the result,
// the member's own status goes to status.
HRESULT SqliteField::InvokeMember(DISPID member, WORD flags, DISPPARAMS *params, VARIANT *result,
                                  HRESULT *status) {
  const bool put = (flags & DISPATCH_PROPERTYPUT) != 0;
  if (put && member != DISPID_VALUE) return DISP_E_MEMBERNOTFOUND;
  const UINT wanted = put || member == 2 || member == 3 ? 1 : 0;
  if (params->cArgs != wanted) return DISP_E_BADPARAMCOUNT;
  FieldLength size = 0;
  LONG length = 0;
  switch (member) {
    case DISPID_VALUE:
      *status = put ? put_Value(params->rgvarg[0]) : get_Value(result);
      return S_OK;
    case 1:
      *status = get_ActualSize(&size);
      V_VT(result) = VT_I4;
      V_I4(result) = static_cast<LONG>(size);
      return S_OK;
    case 2:
      if (HRESULT hr = GetLength(&params->rgvarg[0], &length); FAILED(hr)) return hr;
      *status = GetChunk(length, result);
      return S_OK;
    case 3:
      *status = AppendChunk(params->rgvarg[0]);
      return S_OK;
    default:
      V_VT(result) = VT_BSTR;
      *status = get_Name(&V_BSTR(result));
      return S_OK;
  }
}

HRESULT SqliteField::Invoke(DISPID member, REFIID riid, LCID, WORD flags, DISPPARAMS *params,
                            VARIANT *result, EXCEPINFO *exception, UINT *) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (member < DISPID_VALUE || member > 4) return DISP_E_MEMBERNOTFOUND;
  if (params == nullptr || (params->cArgs > 0 && params->rgvarg == nullptr)) return E_INVALIDARG;
  const bool put = (flags & DISPATCH_PROPERTYPUT) != 0;
  if (params->cNamedArgs > (put ? 1u : 0u)) return DISP_E_NONAMEDARGS;
  VARIANT local;
  VariantInit(&local);
  VARIANT *out = result != nullptr ? result : &local;
  VariantInit(out);
  HRESULT status = S_OK;
  HRESULT hr = InvokeMember(member, flags, params, out, &status);
  VariantClear(&local);
  if (FAILED(hr)) return hr;
  return FAILED(status) ? ExceptionFromErrorInfo(status, exception) : status;
}

}  // namespace

HRESULT OpenSqliteField(const char *database, const char *table, const char *column,
                        long long rowId, int busyTimeoutMs, IDispatch **field) {
  if (field == nullptr) return E_POINTER;
  *field = nullptr;
  if (database == nullptr || table == nullptr || column == nullptr) {
    return FieldError(E_INVALIDARG, "the database, table and column must be named");
  }
  return Guarded([&] {
    auto *object = new (std::nothrow) SqliteField();
    if (object == nullptr) return FieldError(E_OUTOFMEMORY, "out of memory");
    if (!object->cell().Open(database, table, column, rowId, busyTimeoutMs)) {
      HRESULT hr = FieldError(E_FAIL, object->cell().error().c_str());
      object->Release();
      return hr;
    }
    *field = static_cast<IAdoField *>(object);
    return S_OK;
  });
}

}  // namespace morphel

MORPHEL_API HRESULT MorphelOpenSqliteField(const char *database, const char *table,
                                           const char *column, long long rowId,
                                           IDispatch **field) {
  return morphel::OpenSqliteField(database, table, column, rowId, morphel::kSqliteBusyTimeoutMs,
                                  field);
}

#endif  // !_WIN32
