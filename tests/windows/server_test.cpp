// The in-process server as the component runtime sees it: loads morphel.dll,
// takes its four entry points and checks the module lock count, the class
// factory, the interface table, aggregation and the dispatch binding. The
// dispatch checks need the type library registered (regsvr32 first).
// Usage: morphel_server_test <path of morphel.dll> [unregistered]. The second
// form runs while the server is not registered. Prints ok or FAIL per check
// and a closing "N passed, N failed"; exit code 0 when all pass.
#include <cstdio>
#include <cstring>
#include <string>

#include "memory_field.h"
#include "morphel/morphel.h"

namespace {

int passed = 0;
int failed = 0;

void Check(bool ok, const char *what, long value = 0) {
  if (ok) {
    ++passed;
    std::printf("ok   %s\n", what);
  } else {
    ++failed;
    std::printf("FAIL %s (0x%08lX)\n", what, static_cast<unsigned long>(value));
  }
}

void CheckStatus(HRESULT actual, HRESULT expected, const char *what) {
  Check(actual == expected, what, actual);
}

std::string Narrow(BSTR text) {
  std::string out;
  if (text == nullptr) return out;
  for (UINT i = 0; i < SysStringLen(text); ++i) out += static_cast<char>(text[i]);
  return out;
}

using GetClassObjectFn = HRESULT(STDAPICALLTYPE *)(REFCLSID, REFIID, void **);
using NoArgumentFn = HRESULT(STDAPICALLTYPE *)();

struct Module {
  HMODULE handle = nullptr;
  GetClassObjectFn getClassObject = nullptr;
  NoArgumentFn canUnloadNow = nullptr;
  NoArgumentFn registerServer = nullptr;
  NoArgumentFn unregisterServer = nullptr;
};

template <typename Fn>
Fn Entry(HMODULE module, const char *name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void *>(GetProcAddress(module, name)));
}

bool LoadModule(const wchar_t *path, Module *module) {
  module->handle = LoadLibraryW(path);
  Check(module->handle != nullptr, "LoadLibrary", static_cast<long>(GetLastError()));
  if (module->handle == nullptr) return false;
  module->getClassObject = Entry<GetClassObjectFn>(module->handle, "DllGetClassObject");
  module->canUnloadNow = Entry<NoArgumentFn>(module->handle, "DllCanUnloadNow");
  module->registerServer = Entry<NoArgumentFn>(module->handle, "DllRegisterServer");
  module->unregisterServer = Entry<NoArgumentFn>(module->handle, "DllUnregisterServer");
  Check(module->getClassObject != nullptr, "entry point DllGetClassObject");
  Check(module->canUnloadNow != nullptr, "entry point DllCanUnloadNow");
  Check(module->registerServer != nullptr, "entry point DllRegisterServer");
  Check(module->unregisterServer != nullptr, "entry point DllUnregisterServer");
  return module->getClassObject != nullptr && module->canUnloadNow != nullptr;
}

// A controlling object for aggregation: answers IUnknown itself and asks the
// inner object for everything else.
class Outer final : public IUnknown {
 public:
  IUnknown *inner = nullptr;
  ULONG refs = 1;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (riid == IID_IUnknown) {
      *ppv = static_cast<IUnknown *>(this);
      AddRef();
      return S_OK;
    }
    if (inner == nullptr) {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    return inner->QueryInterface(riid, ppv);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
};

void CheckUnloadRule(const Module &module, IClassFactory *factory) {
  CheckStatus(module.canUnloadNow(), S_FALSE, "DllCanUnloadNow while a client holds the factory");
  IImages *images = nullptr;
  CheckStatus(factory->CreateInstance(nullptr, IID_IImages, reinterpret_cast<void **>(&images)),
              S_OK, "CreateInstance IImages");
  CheckStatus(factory->LockServer(TRUE), S_OK, "LockServer(TRUE)");
  factory->Release();
  CheckStatus(module.canUnloadNow(), S_FALSE, "DllCanUnloadNow with an object and a lock");
  images->Release();
  CheckStatus(module.canUnloadNow(), S_FALSE, "DllCanUnloadNow with a lock only");
  IClassFactory *again = nullptr;
  module.getClassObject(CLSID_Images, IID_IClassFactory, reinterpret_cast<void **>(&again));
  again->LockServer(FALSE);
  again->Release();
  CheckStatus(module.canUnloadNow(), S_OK, "DllCanUnloadNow after the last object and lock");
}

void CheckClassObject(const Module &module) {
  CheckStatus(module.canUnloadNow(), S_OK, "DllCanUnloadNow right after load");
  IClassFactory *first = nullptr, *second = nullptr;
  CheckStatus(module.getClassObject(CLSID_Images, IID_IClassFactory,
                                    reinterpret_cast<void **>(&first)),
              S_OK, "DllGetClassObject");
  CheckStatus(module.getClassObject(CLSID_Images, IID_IClassFactory,
                                    reinterpret_cast<void **>(&second)),
              S_OK, "DllGetClassObject again");
  Check(first != nullptr && first == second, "the same factory from both calls");
  if (first == nullptr || second == nullptr) return;
  second->Release();
  void *none = reinterpret_cast<void *>(1);
  CheckStatus(module.getClassObject(IID_IImages, IID_IClassFactory, &none),
              CLASS_E_CLASSNOTAVAILABLE, "DllGetClassObject of another class");
  Check(none == nullptr, "no object for another class");
  CheckStatus(module.getClassObject(CLSID_Images, IID_IClassFactory, nullptr), E_POINTER,
              "DllGetClassObject without a result pointer");
  CheckStatus(module.getClassObject(CLSID_Images, IID_IDispatch, &none), E_NOINTERFACE,
              "the factory has no IDispatch");
  CheckUnloadRule(module, first);
}

void CheckAggregation(IClassFactory *factory) {
  Outer outer;
  void *none = reinterpret_cast<void *>(1);
  CheckStatus(factory->CreateInstance(&outer, IID_IDispatch, &none), CLASS_E_NOAGGREGATION,
              "aggregation asking for IDispatch");
  Check(none == nullptr, "no object when aggregation is refused");
  CheckStatus(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void **>(&outer.inner)),
              S_OK, "aggregation asking for IUnknown");
  if (outer.inner == nullptr) return;
  IImages *images = nullptr;
  CheckStatus(outer.QueryInterface(IID_IImages, reinterpret_cast<void **>(&images)), S_OK,
              "the outer object reaches IImages");
  if (images == nullptr) return;
  Check(outer.refs == 2, "the inner interface counts on the outer object", outer.refs);
  IUnknown *identity = nullptr;
  images->QueryInterface(IID_IUnknown, reinterpret_cast<void **>(&identity));
  Check(identity == static_cast<IUnknown *>(&outer), "IUnknown of the inner interface is the outer");
  if (identity != nullptr) identity->Release();
  CheckStatus(images->CreateImage(10, 20), S_OK, "CreateImage through the aggregate");
  INT height = 0;
  images->GetHeight(&height);
  Check(height == 20, "GetHeight through the aggregate", height);
  images->Release();
  Check(outer.refs == 1, "outer count back after the release", outer.refs);
  Check(outer.inner->Release() == 0, "the inner object goes at 0");
}

void CheckInterfaces(IImages *images) {
  void *p = nullptr;
  CheckStatus(images->QueryInterface(IID_IDispatch, &p), S_OK, "QueryInterface IDispatch");
  Check(p == static_cast<void *>(images), "IDispatch is IImages");
  if (p != nullptr) images->Release();
  ISupportErrorInfo *support = nullptr;
  CheckStatus(images->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void **>(&support)),
              S_OK, "QueryInterface ISupportErrorInfo");
  if (support != nullptr) {
    CheckStatus(support->InterfaceSupportsErrorInfo(IID_IImages), S_OK,
                "InterfaceSupportsErrorInfo IImages");
    CheckStatus(support->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE,
                "InterfaceSupportsErrorInfo IDispatch");
    support->Release();
  }
  p = reinterpret_cast<void *>(1);
  CheckStatus(images->QueryInterface(IID_IPersist, &p), E_NOINTERFACE, "QueryInterface IPersist");
  Check(p == nullptr, "no pointer for IPersist");
  CheckStatus(images->QueryInterface(IID_IImages, nullptr), E_POINTER,
              "QueryInterface without a result pointer");
}

void CheckErrorInfo(IImages *images) {
  INT width = 0;
  CheckStatus(images->GetWidth(&width), E_FAIL, "GetWidth on an empty slot");
  IErrorInfo *info = nullptr;
  CheckStatus(GetErrorInfo(0, &info), S_OK, "error information recorded");
  if (info == nullptr) return;
  BSTR source = nullptr, description = nullptr;
  GUID guid{};
  info->GetSource(&source);
  info->GetDescription(&description);
  info->GetGUID(&guid);
  Check(Narrow(source) == "Morphel", "error source Morphel");
  Check(Narrow(description) == "NO IMAGE!", "error description NO IMAGE!");
  Check(guid == IID_IUnknown, "error interface identifier IUnknown");
  SysFreeString(source);
  SysFreeString(description);
  info->Release();
}

DISPID IdOf(IImages *images, const wchar_t *name, HRESULT *status) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  DISPID id = 0;
  *status = images->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  return id;
}

void CheckDispatch(IImages *images) {
  UINT count = 0;
  CheckStatus(images->GetTypeInfoCount(&count), S_OK, "GetTypeInfoCount");
  Check(count == 1, "one type information", count);
  ITypeInfo *info = nullptr;
  CheckStatus(images->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info), S_OK, "GetTypeInfo");
  if (info != nullptr) {
    BSTR name = nullptr;
    info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
    Check(Narrow(name) == "IImages", "type information of IImages");
    SysFreeString(name);
    info->Release();
  }
  CheckStatus(images->GetTypeInfo(0, LOCALE_USER_DEFAULT, nullptr), E_POINTER,
              "GetTypeInfo without a result pointer");
  HRESULT status = E_FAIL;
  Check(IdOf(images, L"CreateImage", &status) == 1 && status == S_OK, "GetIDsOfNames CreateImage");
  Check(IdOf(images, L"createimage", &status) == 1 && status == S_OK, "GetIDsOfNames createimage");
  Check(IdOf(images, L"CONVERTTOPALETTENOALPHA", &status) == 74 && status == S_OK,
        "GetIDsOfNames in capitals");
  IdOf(images, L"NoSuchOperation", &status);
  CheckStatus(status, DISP_E_UNKNOWNNAME, "GetIDsOfNames of an unknown name");
  DISPID id = 0;
  CheckStatus(images->GetIDsOfNames(IID_NULL, nullptr, 1, LOCALE_USER_DEFAULT, &id), E_POINTER,
              "GetIDsOfNames without names");
  LPOLESTR noName[] = {nullptr};
  CheckStatus(images->GetIDsOfNames(IID_NULL, noName, 1, LOCALE_USER_DEFAULT, &id),
              DISP_E_UNKNOWNNAME, "GetIDsOfNames of a null name");

  DISPPARAMS none{};
  VARIANT result;
  VariantInit(&result);
  EXCEPINFO exception{};
  UINT argError = 0;
  CheckStatus(images->Invoke(47, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &result,
                             &exception, &argError),
              DISP_E_EXCEPTION, "Invoke 47 on an empty slot");
  Check(Narrow(exception.bstrDescription) == "NO IMAGE!", "exception description NO IMAGE!");
  Check(Narrow(exception.bstrSource) == "Morphel", "exception source Morphel");
  Check(exception.scode == E_FAIL, "exception status E_FAIL", exception.scode);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrHelpFile);

  HRESULT noParams = images->Invoke(47, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, nullptr,
                                    &result, nullptr, &argError);
  CheckStatus(noParams, E_INVALIDARG, "Invoke without parameters");
  VariantClear(&result);
  HRESULT unknown = images->Invoke(76, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none,
                                   &result, nullptr, &argError);
  CheckStatus(unknown, DISP_E_MEMBERNOTFOUND, "Invoke of dispatch identifier 76");

  // CreateImage("64", 32): the string becomes an INT on the way.
  VARIANT args[2];
  VariantInit(&args[0]);
  VariantInit(&args[1]);
  V_VT(&args[0]) = VT_I4;
  V_I4(&args[0]) = 32;
  V_VT(&args[1]) = VT_BSTR;
  V_BSTR(&args[1]) = SysAllocString(L"64");
  DISPPARAMS two{args, nullptr, 2, 0};
  CheckStatus(images->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &two, nullptr,
                             nullptr, &argError),
              S_OK, "Invoke 1 with a string width");
  VariantClear(&args[1]);
  CheckStatus(images->Invoke(48, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &result,
                             nullptr, &argError),
              S_OK, "Invoke 48");
  Check(V_VT(&result) == VT_INT || V_VT(&result) == VT_I4, "width comes back as an integer",
        V_VT(&result));
  Check(V_I4(&result) == 64, "width 64", V_I4(&result));
  VariantClear(&result);
}

VARIANT ObjectArgument(IUnknown *object, VARTYPE vt = VT_DISPATCH) {
  VARIANT argument;
  VariantInit(&argument);
  V_VT(&argument) = vt;
  V_UNKNOWN(&argument) = object;
  return argument;
}

// A field object of the test's own, through the interface table and by name:
// one AppendChunk of the bytes WriteToVariable gives, one GetChunk to read them.
void CheckDatabaseField(IImages *images) {
  MemoryField field;
  images->SetImage(0);
  images->CreateImage(40, 30);
  images->SetImageType(0);
  BSTR expected = nullptr;
  images->WriteToVariable(&expected);
  VARIANT argument = ObjectArgument(static_cast<IAdoField *>(&field));
  CheckStatus(images->WriteToDatabase(argument), S_OK, "WriteToDatabase to a field");
  Check(field.appends == 1 && field.bytes.size() == SysStringByteLen(expected) &&
            std::memcmp(field.bytes.data(), expected, field.bytes.size()) == 0,
        "one AppendChunk of the encoded bytes", field.appends);
  SysFreeString(expected);
  images->SetImage(1);
  CheckStatus(images->ReadFromDatabase(argument), S_OK, "ReadFromDatabase from the field");
  INT width = 0;
  images->GetWidth(&width);
  Check(field.chunks == 1 && width == 40, "one GetChunk, the image read back", width);

  MemoryField byName;
  VARIANT args[1] = {ObjectArgument(static_cast<IAdoField *>(&byName), VT_UNKNOWN)};
  DISPPARAMS one{args, nullptr, 1, 0};
  UINT argError = 0;
  images->SetImage(0);
  CheckStatus(images->Invoke(15, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &one, nullptr,
                             nullptr, &argError),
              S_OK, "Invoke 15 (WriteToDatabase) with the field as an unknown");
  Check(byName.appends == 1 && byName.bytes.size() == field.bytes.size(),
        "the same bytes appended by name", byName.appends);

  VARIANT empty;
  VariantInit(&empty);
  CheckStatus(images->WriteToDatabase(empty), E_POINTER, "WriteToDatabase without an object");
  CheckStatus(images->ReadFromDatabase(ObjectArgument(images)), E_NOINTERFACE,
              "ReadFromDatabase of an object that is no field");
  Check(field.refs == 1 && byName.refs == 1, "every field reference released", field.refs);
}

void CheckStrings(HMODULE module) {
  const char *expected[] = {"Morphel",  "NO IMAGE!",  "NO COLOR!", "NO FONT!",
                            "NO MEMORY!", "NO FILE!", "NO MEMORY!"};
  int same = 0;
  for (UINT id = 100; id <= 106; ++id) {
    char text[512] = {};
    if (LoadStringA(module, id, text, sizeof text) > 0 && std::string(text) == expected[id - 100]) {
      ++same;
    }
  }
  Check(same == 7, "string table 100 to 106", same);
}

void CheckVersion(const wchar_t *path) {
  DWORD unused = 0;
  DWORD size = GetFileVersionInfoSizeW(path, &unused);
  std::string block(size, '\0');
  Check(size > 0 && GetFileVersionInfoW(path, 0, size, block.data()), "version resource");
  if (size == 0) return;
  VS_FIXEDFILEINFO *fixed = nullptr;
  UINT length = 0;
  VerQueryValueW(block.data(), L"\\", reinterpret_cast<void **>(&fixed), &length);
  Check(fixed != nullptr && fixed->dwFileVersionMS == 0x00040009 &&
            fixed->dwFileVersionLS == 0x00000001,
        "file version 4.9.0.1");
  Check(fixed != nullptr && fixed->dwProductVersionMS == 0x00040009 &&
            fixed->dwProductVersionLS == 0x00000001,
        "product version 4.9.0.1");
  void *value = nullptr;
  Check(VerQueryValueW(block.data(), L"\\StringFileInfo\\040904b0\\OLESelfRegister", &value,
                       &length) != 0,
        "OLESelfRegister entry");
}

// The embedded type library: the library, the class, and every operation
// under its dispatch identifier with the help string "method <name>".
void CheckTypeLibrary(const wchar_t *path) {
  ITypeLib *library = nullptr;
  CheckStatus(LoadTypeLib(path, &library), S_OK, "type library in the module");
  if (library == nullptr) return;
  TLIBATTR *attributes = nullptr;
  library->GetLibAttr(&attributes);
  Check(attributes != nullptr && attributes->guid == LIBID_MORPHELLib &&
            attributes->wMajorVerNum == 1 && attributes->wMinorVerNum == 0,
        "library identifier and version 1.0");
  if (attributes != nullptr) library->ReleaseTLibAttr(attributes);
  BSTR name = nullptr, help = nullptr;
  library->GetDocumentation(-1, &name, &help, nullptr, nullptr);
  Check(Narrow(name) == "MORPHELLib" && Narrow(help) == "Morphel 1.0 Type Library",
        "library name and help string");
  SysFreeString(name);
  SysFreeString(help);
  ITypeInfo *info = nullptr;
  library->GetTypeInfoOfGuid(CLSID_Images, &info);
  if (info != nullptr) {
    info->GetDocumentation(MEMBERID_NIL, &name, &help, nullptr, nullptr);
    Check(Narrow(name) == "Images" && Narrow(help) == "Images Class", "class Images");
    SysFreeString(name);
    SysFreeString(help);
    info->Release();
    info = nullptr;
  }
  library->GetTypeInfoOfGuid(IID_IImages, &info);
  Check(info != nullptr, "interface IImages");
  if (info != nullptr) {
    int described = 0;
    for (MEMBERID id = 1; id <= 75; ++id) {
      if (SUCCEEDED(info->GetDocumentation(id, &name, &help, nullptr, nullptr)) &&
          Narrow(help) == "method " + Narrow(name)) {
        ++described;
      }
      SysFreeString(name);
      SysFreeString(help);
      name = help = nullptr;
    }
    Check(described == 75, "operations 1 to 75 with their help strings", described);
    info->Release();
  }
  library->Release();
}

// With the type library not registered, by-name calls fail while calls
// through the interface table work; after DllRegisterServer in the same
// process the dispatch binding loads, and DllUnregisterServer removes it again.
int RunUnregistered(const wchar_t *path) {
  Module module;
  if (!LoadModule(path, &module)) return 1;
  IClassFactory *factory = nullptr;
  module.getClassObject(CLSID_Images, IID_IClassFactory, reinterpret_cast<void **>(&factory));
  if (factory == nullptr) return 1;
  IImages *images = nullptr;
  factory->CreateInstance(nullptr, IID_IImages, reinterpret_cast<void **>(&images));
  factory->Release();
  if (images == nullptr) return 1;
  HRESULT status = S_OK;
  IdOf(images, L"CreateImage", &status);
  Check(FAILED(status), "GetIDsOfNames fails without the registered type library", status);
  ITypeInfo *info = nullptr;
  status = images->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info);
  Check(FAILED(status) && info == nullptr, "GetTypeInfo fails likewise", status);
  CheckStatus(images->CreateImage(30, 40), S_OK, "CreateImage through the interface table");
  INT height = 0;
  images->GetHeight(&height);
  Check(height == 40, "GetHeight through the interface table", height);
  CheckStatus(module.registerServer(), S_OK, "DllRegisterServer");
  Check(IdOf(images, L"GetHeight", &status) == 47 && status == S_OK,
        "GetIDsOfNames after registration: a later call tries again");
  CheckStatus(module.unregisterServer(), S_OK, "DllUnregisterServer");
  images->Release();
  FreeLibrary(module.handle);
  return 0;
}

// TrueType text through the interface table, with DejaVu Sans that the test
// command puts into the Windows Fonts folder.
void CheckTrueType(IImages *images) {
  BSTR name = SysAllocString(L"nosuch DejaVuSans"), text = SysAllocString(L"Fonts");
  BSTR tooLong = SysAllocStringLen(nullptr, 200);
  for (int i = 0; i < 200; ++i) tooLong[i] = L'f';
  CheckStatus(images->CreateImage(80, 30), S_OK, "CreateImage for TrueType text");
  CheckStatus(images->SetFontPathTTFAuto(), S_OK, "SetFontPathTTFAuto");
  CheckStatus(images->SetFontTTF(tooLong), E_INVALIDARG, "SetFontTTF of 200 characters");
  CheckStatus(images->SetFontTTF(name), S_OK, "SetFontTTF");
  CheckStatus(images->SetFontSizeTTF(14), S_OK, "SetFontSizeTTF");
  CheckStatus(images->DrawTextTTF(2, 20, text), S_OK, "DrawTextTTF through the Fonts folder");
  CheckStatus(images->DrawTextAngleTTF(2, 28, 20, text), S_OK, "DrawTextAngleTTF");
  VARIANT box;
  VariantInit(&box);
  CheckStatus(images->GetTextTTFRectangle(2, 20, text, &box), S_OK, "GetTextTTFRectangle");
  LONG upper = -1;
  Check(V_VT(&box) == (VT_ARRAY | VT_VARIANT) && SafeArrayGetUBound(V_ARRAY(&box), 1, &upper) == S_OK &&
            upper == 3,
        "rectangle of four variants", upper);
  VariantClear(&box);
  SysFreeString(name);
  SysFreeString(text);
  SysFreeString(tooLong);
}

int Run(const wchar_t *path) {
  Module module;
  if (!LoadModule(path, &module)) return 1;
  CheckStrings(module.handle);
  CheckVersion(path);
  CheckTypeLibrary(path);
  CheckClassObject(module);
  IClassFactory *factory = nullptr;
  module.getClassObject(CLSID_Images, IID_IClassFactory, reinterpret_cast<void **>(&factory));
  if (factory == nullptr) return 1;
  void *none = reinterpret_cast<void *>(1);
  CheckStatus(factory->CreateInstance(nullptr, IID_IPersist, &none), E_NOINTERFACE,
              "CreateInstance IPersist");
  CheckAggregation(factory);
  IImages *images = nullptr;
  factory->CreateInstance(nullptr, IID_IImages, reinterpret_cast<void **>(&images));
  factory->Release();
  if (images == nullptr) return 1;
  CheckInterfaces(images);
  CheckErrorInfo(images);
  CheckDispatch(images);
  CheckDatabaseField(images);
  CheckTrueType(images);
  Check(images->Release() == 0, "the object goes at 0");
  CheckStatus(module.canUnloadNow(), S_OK, "DllCanUnloadNow at the end");
  FreeLibrary(module.handle);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t **argv) {
  const bool unregistered = argc == 3 && std::wstring(argv[2]) == L"unregistered";
  if (argc != 2 && !unregistered) {
    std::printf("usage: morphel_server_test <morphel.dll> [unregistered]\n");
    return 2;
  }
  if (FAILED(CoInitialize(nullptr))) {
    std::printf("CoInitialize failed\n");
    return 2;
  }
  if (unregistered) {
    RunUnregistered(argv[1]);
  } else {
    Run(argv[1]);
  }
  CoUninitialize();
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
