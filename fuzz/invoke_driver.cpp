// Builds by-name calls from arbitrary bytes and makes them on an Images object.
#include "invoke_driver.h"

#include <cstring>
#include <deque>
#include <limits>
#include <memory>
#include <vector>

#include "core/images.h"
#include "host/dispatch_table.h"

namespace morphel::fuzz {
namespace {

// ---- Reading the input --------------------------------------------------------

// Hands out the input's bytes; zeros once they are used up.
class Input {
 public:
  Input(const uint8_t *data, size_t size) : data_(data), size_(size) {}
  bool Empty() const { return size_ == 0; }
  uint8_t Byte() {
    if (size_ == 0) return 0;
    --size_;
    return *data_++;
  }
  uint32_t Word() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | Byte();
    return v;
  }
  uint64_t Wide() { return (static_cast<uint64_t>(Word()) << 32) | Word(); }
  // One of n choices (n > 0).
  unsigned Pick(unsigned n) { return Byte() % n; }
  bool OneIn(unsigned n) { return Pick(n) == 0; }

 private:
  const uint8_t *data_;
  size_t size_;
};

// Integers a caller plausibly passes, and the edges around them.
int32_t Integer(Input &in) {
  static constexpr int32_t kEdges[] = {0, 1, -1, 2, 255, 256, 65535, 65536, 1000000, 0x7FFFFFFF,
                                       static_cast<int32_t>(0x80000000)};
  switch (in.Pick(4)) {
    case 0: return static_cast<int32_t>(in.Pick(16));
    case 1: return kEdges[in.Pick(std::size(kEdges))];
    case 2: return static_cast<int8_t>(in.Byte());
    default: return static_cast<int32_t>(in.Word());
  }
}

// ---- A caller's objects -----------------------------------------------------------

// An automation object as a caller may pass one (a database field, say):
// answers every name with one identifier and every call with one value, and
// counts its references so that a call that keeps one shows.
class FakeObject final : public IDispatch {
 public:
  FakeObject(DISPID id, HRESULT invokeStatus) : id_(id), status_(invokeStatus) {
    VariantInit(&answer_);
  }
  ~FakeObject() { VariantClear(&answer_); }
  VARIANT *Answer() { return &answer_; }
  ULONG Count() const { return refs_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDispatch) return E_NOINTERFACE;
    *ppv = static_cast<IDispatch *>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs_; }  // the driver owns it
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) override {
    if (count != nullptr) *count = 0;
    return count != nullptr ? S_OK : E_POINTER;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **info) override {
    if (info != nullptr) *info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *, UINT count, LCID,
                                          DISPID *ids) override {
    if (ids == nullptr) return E_POINTER;
    for (UINT i = 0; i < count; ++i) ids[i] = id_;
    return id_ == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *result,
                                   EXCEPINFO *, UINT *) override {
    if (FAILED(status_)) return status_;
    return result != nullptr ? VariantCopy(result, &answer_) : S_OK;
  }

 private:
  ULONG refs_ = 1;
  DISPID id_;
  HRESULT status_;
  VARIANT answer_;
};

// ---- Building variants -------------------------------------------------------------

// Keeps what the arguments point to alive for the call, and frees it after.
class Arena {
 public:
  ~Arena() {
    for (auto &o : objects_) VariantClear(o->Answer());
    for (VARIANT &v : variants_) VariantClear(&v);
    for (BSTR s : strings_) SysFreeString(s);
    for (SAFEARRAY *a : arrays_) SafeArrayDestroy(a);
    for (IDispatch *o : objectRefs_) {
      if (o != nullptr) o->Release();
    }
  }
  VARIANT *NewVariant() {
    variants_.emplace_back();
    VariantInit(&variants_.back());
    return &variants_.back();
  }
  BSTR *NewString(BSTR s) { return &strings_.emplace_back(s); }
  SAFEARRAY **NewArray(SAFEARRAY *a) { return &arrays_.emplace_back(a); }
  void *NewScalar() { return &scalars_.emplace_back(); }
  FakeObject *NewObject(DISPID id, HRESULT status) {
    objects_.push_back(std::make_unique<FakeObject>(id, status));
    return objects_.back().get();
  }
  IDispatch **NewObjectRef(IDispatch *o) { return &objectRefs_.emplace_back(o); }
  // The reference counts of the caller's objects, to compare before and after a call.
  std::vector<ULONG> Counts() const {
    std::vector<ULONG> counts;
    for (const auto &o : objects_) counts.push_back(o->Count());
    return counts;
  }

 private:
  struct alignas(16) Scalar {
    unsigned char bytes[16] = {};
  };
  std::deque<VARIANT> variants_;
  std::deque<BSTR> strings_;
  std::deque<SAFEARRAY *> arrays_;
  std::deque<Scalar> scalars_;
  std::deque<IDispatch *> objectRefs_;
  // Declared last, destroyed first: the variants above may still hold references.
  std::vector<std::unique_ptr<FakeObject>> objects_;
};

// Element types of arrays and of scalar variants.
constexpr VARTYPE kScalarTypes[] = {VT_EMPTY, VT_NULL, VT_I2,   VT_I4,   VT_R4,  VT_R8,
                                    VT_CY,    VT_DATE, VT_BSTR, VT_ERROR, VT_BOOL, VT_DECIMAL,
                                    VT_I1,    VT_UI1,  VT_UI2,  VT_UI4,  VT_I8,  VT_UI8,
                                    VT_INT,   VT_UINT, VT_DISPATCH, VT_UNKNOWN};
constexpr VARTYPE kArrayTypes[] = {VT_UI1, VT_I1,   VT_I2,   VT_UI2,  VT_I4,    VT_UI4,  VT_INT,
                                   VT_UINT, VT_I8,  VT_UI8,  VT_R4,   VT_R8,    VT_CY,   VT_DATE,
                                   VT_BOOL, VT_ERROR, VT_BSTR, VT_VARIANT, VT_DECIMAL,
                                   VT_DISPATCH, VT_UNKNOWN};

constexpr DISPID kSetFontTTF = 11;
constexpr DISPID kSetFontPathTTF = 13;

class Builder {
 public:
  // pathOp: the operation when it opens files (its strings are then names
  // in the folder, or fonts to read), else 0.
  Builder(Input &in, Arena &arena, const std::string &folder, DISPID pathOp)
      : in_(in), arena_(arena), folder_(folder), pathOp_(pathOp) {}

  // A variant the caller owns, of any kind, into v (initialised).
  void Any(VARIANT *v, int depth) {
    if (pathOp_ != 0) return Path(v);
    switch (in_.Pick(depth > 2 ? 6 : 10)) {
      case 0: case 1: case 2: return Scalar(v, kScalarTypes[in_.Pick(std::size(kScalarTypes))]);
      case 3: return Scalar(v, VT_I4);
      case 4: return Scalar(v, VT_BSTR);
      case 5: return OddType(v);
      case 6: case 7: return ByReference(v, depth);
      default: return Array(v, depth);
    }
  }

  // A string argument of an operation that opens files: a name in the
  // folder; for the font operations also fonts and font folders to read.
  void Path(VARIANT *v) {
    static constexpr const char *kEndings[] = {".png", ".jpg", ".gif", ".bmp", ".wbmp", "", ".ttf"};
    static constexpr const char *kFonts[] = {"DejaVuSans", "DejaVuSans.ttf", "dejavusans-bold",
                                             "NoSuchFont", ""};
    static constexpr const char *kFontFolder = "/usr/share/fonts/truetype/dejavu";
    std::string path = folder_ + "/f" + std::to_string(in_.Pick(6)) + kEndings[in_.Pick(7)];
    if (pathOp_ == kSetFontTTF && in_.OneIn(2)) path = kFonts[in_.Pick(std::size(kFonts))];
    if (pathOp_ == kSetFontPathTTF && in_.OneIn(2)) {
      path = in_.OneIn(2) ? std::string(kFontFolder) : folder_ + ";" + kFontFolder;
    }
    std::u16string wide(path.begin(), path.end());
    BSTR s = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (in_.OneIn(3)) {
      V_VT(v) = VT_BSTR | VT_BYREF;
      V_BSTRREF(v) = arena_.NewString(s);
    } else {
      V_VT(v) = VT_BSTR;
      V_BSTR(v) = s;
    }
  }

 private:
  void Scalar(VARIANT *v, VARTYPE vt) {
    V_VT(v) = vt;
    switch (vt) {
      case VT_BSTR: V_BSTR(v) = String(); break;
      case VT_DECIMAL: Decimal(&v->n1.decVal); V_VT(v) = VT_DECIMAL; break;
      case VT_DISPATCH: V_DISPATCH(v) = Object(); break;
      case VT_UNKNOWN: V_UNKNOWN(v) = Object(); break;
      case VT_R4: V_R4(v) = static_cast<float>(Real()); break;
      case VT_R8: case VT_DATE: V_R8(v) = Real(); break;
      case VT_BOOL: V_BOOL(v) = in_.OneIn(2) ? VARIANT_TRUE : static_cast<VARIANT_BOOL>(in_.Word()); break;
      default: V_I8(v) = in_.OneIn(2) ? Integer(in_) : static_cast<int64_t>(in_.Wide()); break;
    }
  }

  double Real() {
    static constexpr double kReals[] = {0.0, 0.5, -0.5, 1.5, 2.5, 1e10, -1e10, 2147483647.5,
                                        -2147483648.5, 1e300, -1e300, std::numeric_limits<double>::infinity(),
                                        std::numeric_limits<double>::quiet_NaN()};
    if (in_.OneIn(2)) return kReals[in_.Pick(std::size(kReals))];
    uint64_t bits = in_.Wide();
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
  }

  void Decimal(DECIMAL *d) {
    d->wReserved = 0;
    d->scale = in_.Byte();
    d->sign = in_.OneIn(2) ? 0x80 : in_.Byte();
    d->Hi32 = in_.OneIn(2) ? 0 : in_.Word();
    d->Lo64 = in_.OneIn(2) ? static_cast<uint64_t>(in_.Pick(300)) : in_.Wide();
  }

  // Text of any length, odd byte lengths included, or a null string.
  BSTR String() {
    switch (in_.Pick(5)) {
      case 0: return nullptr;
      case 1: {  // digits, as scripts pass numbers in strings
        std::u16string s;
        for (unsigned n = in_.Pick(6); n > 0; --n) s += static_cast<char16_t>(u"0123456789-.,e &hH"[in_.Pick(18)]);
        return SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
      }
      case 2: {  // raw bytes, odd lengths included
        char bytes[64];
        unsigned n = in_.Pick(sizeof bytes);
        for (unsigned i = 0; i < n; ++i) bytes[i] = static_cast<char>(in_.Byte());
        return SysAllocStringByteLen(bytes, n);
      }
      default: {  // characters of any code point, lone surrogates included
        std::u16string s;
        for (unsigned n = in_.Pick(12); n > 0; --n) {
          s += in_.OneIn(2) ? static_cast<char16_t>(u'A' + in_.Pick(58))
                            : static_cast<char16_t>(in_.Byte() << 8 | in_.Byte());
        }
        return SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
      }
    }
  }

  // Null, or a caller's object holding one reference for this variant; its
  // calls answer a string or an array.
  IDispatch *Object() {
    if (in_.OneIn(2)) return nullptr;
    FakeObject *o = arena_.NewObject(in_.OneIn(2) ? 0 : Integer(in_), in_.OneIn(4) ? E_FAIL : S_OK);
    if (in_.OneIn(2)) {
      V_VT(o->Answer()) = VT_BSTR;
      V_BSTR(o->Answer()) = String();
    } else {
      Array(o->Answer(), 3);
    }
    o->AddRef();
    return o;
  }

  // A type word outside the usual set, its value zero so that nothing
  // pointer-like points anywhere.
  void OddType(VARIANT *v) {
    VARTYPE vt = static_cast<VARTYPE>(in_.Word()) & ~VT_BYREF;
    if ((vt & VT_ARRAY) == 0 && (vt & VT_TYPEMASK) > VT_UINT && in_.OneIn(2)) {
      V_VT(v) = vt;  // unknown types carry a value the callee must not touch
      V_I8(v) = static_cast<int64_t>(in_.Wide());
      return;
    }
    V_VT(v) = vt;
    V_I8(v) = 0;
    v->n1.n2.wReserved1 = static_cast<WORD>(in_.Word());
  }

  // VT_BYREF to a value of the referenced type, or a null reference.
  void ByReference(VARIANT *v, int depth) {
    unsigned kind = in_.Pick(6);
    if (in_.OneIn(12)) {  // a null reference
      static constexpr VARTYPE kRefs[] = {VT_VARIANT, VT_BSTR, VT_I4, VT_ARRAY | VT_VARIANT, VT_DISPATCH};
      V_VT(v) = VT_BYREF | kRefs[in_.Pick(std::size(kRefs))];
      V_BYREF(v) = nullptr;
      return;
    }
    switch (kind) {
      case 0: case 1: {  // a variant inside a variant
        VARIANT *inner = arena_.NewVariant();
        Any(inner, depth + 1);
        V_VT(v) = VT_BYREF | VT_VARIANT;
        V_VARIANTREF(v) = inner;
        return;
      }
      case 2:
        V_VT(v) = VT_BYREF | VT_BSTR;
        V_BSTRREF(v) = arena_.NewString(String());
        return;
      case 3: {
        VARIANT tmp;
        VariantInit(&tmp);
        Array(&tmp, depth + 1);
        V_VT(v) = VT_BYREF | V_VT(&tmp);
        V_ARRAYREF(v) = arena_.NewArray(V_ARRAY(&tmp));
        return;
      }
      case 4:
        V_VT(v) = VT_BYREF | VT_DISPATCH;
        V_UNION(v, ppdispVal) = arena_.NewObjectRef(Object());
        return;
      default: {  // a scalar by reference
        static constexpr VARTYPE kTypes[] = {VT_I2, VT_I4, VT_R4, VT_R8, VT_CY, VT_DATE, VT_BOOL,
                                             VT_ERROR, VT_I1, VT_UI1, VT_UI2, VT_UI4, VT_I8,
                                             VT_UI8, VT_INT, VT_UINT, VT_DECIMAL};
        VARTYPE vt = kTypes[in_.Pick(std::size(kTypes))];
        void *p = arena_.NewScalar();
        uint64_t bits = in_.OneIn(2) ? static_cast<uint64_t>(Integer(in_)) : in_.Wide();
        if (vt == VT_R8 || vt == VT_DATE) {
          double d = Real();
          std::memcpy(&bits, &d, sizeof d);
        }
        if (vt == VT_DECIMAL) {
          Decimal(static_cast<DECIMAL *>(p));
        } else {
          std::memcpy(p, &bits, sizeof bits);
        }
        V_VT(v) = VT_BYREF | vt;
        V_BYREF(v) = p;
        return;
      }
    }
  }

  // VT_ARRAY of any element type, one to three dimensions of any bounds, or
  // a null array.
  void Array(VARIANT *v, int depth) {
    VARTYPE vt = kArrayTypes[in_.Pick(std::size(kArrayTypes))];
    if (depth > 3 && vt == VT_VARIANT) vt = VT_I4;
    V_VT(v) = VT_ARRAY | vt;
    V_ARRAY(v) = nullptr;
    if (in_.OneIn(10)) return;
    UINT dims = 1 + (in_.OneIn(4) ? in_.Pick(3) : 0);
    SAFEARRAYBOUND bounds[3];
    ULONG total = 1;
    for (UINT d = 0; d < dims; ++d) {
      bounds[d].cElements = in_.Pick(in_.OneIn(4) ? 64 : 12);
      bounds[d].lLbound = in_.OneIn(2) ? static_cast<LONG>(in_.Pick(3)) : Integer(in_);
      total *= bounds[d].cElements;
    }
    SAFEARRAY *a = SafeArrayCreate(vt, dims, bounds);
    if (a == nullptr) return;
    V_ARRAY(v) = a;
    FillArray(a, vt, total, depth);
  }

  void FillArray(SAFEARRAY *a, VARTYPE vt, ULONG total, int depth) {
    void *data = nullptr;
    if (FAILED(SafeArrayAccessData(a, &data))) return;
    const ULONG size = SafeArrayGetElemsize(a);
    for (ULONG i = 0; i < total && !in_.Empty(); ++i) {
      char *element = static_cast<char *>(data) + static_cast<size_t>(i) * size;
      if (vt == VT_VARIANT) {
        Any(reinterpret_cast<VARIANT *>(element), depth + 1);
      } else if (vt == VT_BSTR) {
        *reinterpret_cast<BSTR *>(element) = String();
      } else if (vt == VT_DISPATCH || vt == VT_UNKNOWN) {
        *reinterpret_cast<IDispatch **>(element) = Object();
      } else if (vt == VT_DECIMAL) {
        Decimal(reinterpret_cast<DECIMAL *>(element));
      } else {
        uint64_t bits = in_.OneIn(2) ? static_cast<uint64_t>(Integer(in_)) : in_.Wide();
        if (vt == VT_R8 || vt == VT_DATE) {
          double d = Real();
          std::memcpy(&bits, &d, sizeof d);
        } else if (vt == VT_R4) {
          float f = static_cast<float>(Real());
          std::memcpy(&bits, &f, sizeof f);
        }
        std::memcpy(element, &bits, size < sizeof bits ? size : sizeof bits);
      }
    }
    SafeArrayUnaccessData(a);
  }

  Input &in_;
  Arena &arena_;
  const std::string &folder_;
  DISPID pathOp_;
};

// ---- The calls ------------------------------------------------------------------------

// Operations that open files or folders: their strings are names in the folder.
bool OpensFiles(DISPID id) {
  switch (id) {
    case 2: case 7: case 11: case 13: case 14: case 15: return true;
    default: return false;
  }
}

DISPID MemberId(Input &in) {
  static constexpr DISPID kOdd[] = {0, -1, -3, -4, -5, 76, 0x7FFFFFFF, static_cast<DISPID>(0x80000000)};
  switch (in.Pick(8)) {
    case 0: return kOdd[in.Pick(std::size(kOdd))];
    case 1: return static_cast<DISPID>(in.Word());
    default: return static_cast<DISPID>(1 + in.Pick(MORPHEL_OPERATION_COUNT));
  }
}

UINT ArgumentCount(Input &in, const OperationInfo *op) {
  UINT wanted = 0;
  if (op != nullptr) {
    for (const ParamInfo &p : op->params) wanted += p.kind != ParamKind::kOut ? 1 : 0;
  }
  switch (in.Pick(8)) {
    case 0: return in.Pick(12);
    case 1: return wanted + 1;
    case 2: return wanted > 0 ? wanted - 1 : 0;
    default: return wanted;
  }
}

bool InvokeOnce(Input &in, IDispatch *object, const std::string &folder) {
  const DISPID id = MemberId(in);
  const OperationInfo *op = FindOperation(id);
  const WORD flags = in.OneIn(4) ? static_cast<WORD>(in.Word()) : (in.OneIn(2) ? 1 : 3);
  Arena arena;
  const UINT count = ArgumentCount(in, op);
  std::vector<VARIANT> args(count);
  Builder builder(in, arena, folder, OpensFiles(id) ? id : 0);
  for (VARIANT &a : args) {
    VariantInit(&a);
    builder.Any(&a, 0);
  }
  const UINT named = in.OneIn(6) ? in.Pick(count + 2) : 0;
  std::vector<DISPID> namedIds(named + 1);
  for (DISPID &n : namedIds) n = in.OneIn(2) ? DISPID_PROPERTYPUT : static_cast<DISPID>(in.Pick(6));
  DISPPARAMS params{count > 0 && !in.OneIn(16) ? args.data() : nullptr,
                    named > 0 && !in.OneIn(4) ? namedIds.data() : nullptr, count,
                    named <= count ? named : count};
  const std::vector<VARIANT> before = args;
  const std::vector<ULONG> references = arena.Counts();
  VARIANT result;
  VariantInit(&result);
  EXCEPINFO excep{};
  UINT argErr = 0;
  HRESULT hr = object->Invoke(id, in.OneIn(16) ? IID_IDispatch : IID_NULL, LOCALE_USER_DEFAULT,
                              flags, in.OneIn(16) ? nullptr : &params,
                              in.OneIn(5) ? nullptr : &result, in.OneIn(3) ? nullptr : &excep,
                              in.OneIn(3) ? nullptr : &argErr);
  bool ok = count == 0 || std::memcmp(before.data(), args.data(), count * sizeof(VARIANT)) == 0;
  if (hr == DISP_E_EXCEPTION) ok = ok && FAILED(excep.scode);
  SysFreeString(excep.bstrSource);
  SysFreeString(excep.bstrDescription);
  SysFreeString(excep.bstrHelpFile);
  VariantClear(&result);
  ok = ok && arena.Counts() == references;  // every reference the call took is given back
  for (VARIANT &a : args) VariantClear(&a);
  return ok;
}

// GetIDsOfNames with operation and parameter names in any case, cut short,
// made up, or null.
void NamesOnce(Input &in, IDispatch *object) {
  auto ops = Operations();
  const UINT count = in.Pick(5);
  std::vector<std::u16string> texts(count);
  std::vector<LPOLESTR> names(count);
  const OperationInfo &op = ops[in.Pick(static_cast<unsigned>(ops.size()))];
  for (UINT i = 0; i < count; ++i) {
    std::string base = i == 0 || op.params.empty() ? op.name : op.params[in.Pick(static_cast<unsigned>(op.params.size()))].name;
    std::u16string &t = texts[i];
    for (char c : base) t += static_cast<char16_t>(in.OneIn(3) ? (c ^ 0x20) : c);
    if (in.OneIn(4)) t.resize(in.Pick(static_cast<unsigned>(t.size()) + 1));
    if (in.OneIn(6)) t += static_cast<char16_t>(in.Byte() << 8 | in.Byte());
    names[i] = in.OneIn(10) ? nullptr : t.data();
  }
  std::vector<DISPID> ids(count + 1, 12345);
  object->GetIDsOfNames(in.OneIn(16) ? IID_IDispatch : IID_NULL,
                        count > 0 && in.OneIn(12) ? nullptr : names.data(), count,
                        LOCALE_USER_DEFAULT, in.OneIn(12) ? nullptr : ids.data());
}

// Three small images: true colour 8x6 with a line, palette 5x4, true colour
// 3x3 with a half-transparent pixel; slot 0 current.
void MakeImages(Images *images) {
  images->CreateImage(8, 6);
  images->SetColor(200, 10, 10);
  images->DrawLine(0, 0, 7, 5);
  images->SetImage(1);
  images->CreateImagePalette(5, 4);
  images->SetColor(0, 0, 255);
  images->SetPixel(2, 2);
  images->SetImage(2);
  images->CreateImage(3, 3);
  images->SetAlphaColor(0, 255, 0, 64);
  images->SetPixel(1, 1);
  images->SetImage(0);
}

}  // namespace

bool RunInvokeInput(const uint8_t *data, size_t size, const std::string &fileFolder) {
  Input in(data, size);
  Images *images = new Images();
  images->AddRef();
  MakeImages(images);
  IDispatch *object = static_cast<IImages *>(images);
  bool ok = true;
  for (int calls = 0; calls < 16 && !in.Empty(); ++calls) {
    if (in.OneIn(5)) {
      NamesOnce(in, object);
    } else {
      ok = InvokeOnce(in, object, fileFolder) && ok;
    }
  }
  images->Release();
  SetErrorInfo(0, nullptr);
  return ok;
}

}  // namespace morphel::fuzz
