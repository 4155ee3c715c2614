/* A minimal in-process automation server for checking the platform under
 * Wine: registration through regsvr32, creation from a script host by ProgID,
 * and late-bound calls dispatched by the registered type information
 * (ITypeInfo::Invoke on the dual interface).
 *
 * Built by tools/windows/smoke.sh together with probe.h, which widl writes
 * from the probe IDL there; the type library is resource TYPELIB 1.
 * ProgID "MorphelProbe.Probe".
 */
#define COBJMACROS
#define CONST_VTABLE
#include <windows.h>
#include <ole2.h>
#include <olectl.h>
#include <stdio.h>

#include <initguid.h>

#include "probe.h"

static const char CLSID_TEXT[] = "{6F1D3A52-8C1E-4B7A-9D55-0A3C9E2B7F12}";
static const char PROGID[] = "MorphelProbe.Probe";

static HINSTANCE module_instance;
static LONG object_count;
static LONG lock_count;
static ITypeInfo *probe_info;

typedef struct {
    IProbe IProbe_iface;
    LONG ref;
    BSTR name;
} ProbeObject;

static ProbeObject *impl_from_IProbe(IProbe *iface)
{
    return CONTAINING_RECORD(iface, ProbeObject, IProbe_iface);
}

/* The dispatch view of IProbe from the registered library, loaded once. */
static HRESULT load_type_info(ITypeInfo **out)
{
    if (probe_info == NULL) {
        ITypeLib *lib = NULL;
        ITypeInfo *info = NULL;
        HRESULT hr = LoadRegTypeLib(&LIBID_PROBELib, 1, 0, LOCALE_NEUTRAL, &lib);
        if (FAILED(hr))
            return hr;
        hr = ITypeLib_GetTypeInfoOfGuid(lib, &IID_IProbe, &info);
        ITypeLib_Release(lib);
        if (FAILED(hr))
            return hr;
        if (InterlockedCompareExchangePointer((void **)&probe_info, info, NULL) != NULL)
            ITypeInfo_Release(info);
    }
    *out = probe_info;
    return S_OK;
}

static HRESULT WINAPI probe_QueryInterface(IProbe *iface, REFIID riid, void **out)
{
    if (IsEqualIID(riid, &IID_IUnknown) || IsEqualIID(riid, &IID_IDispatch) ||
        IsEqualIID(riid, &IID_IProbe)) {
        *out = iface;
        IProbe_AddRef(iface);
        return S_OK;
    }
    *out = NULL;
    return E_NOINTERFACE;
}

static ULONG WINAPI probe_AddRef(IProbe *iface)
{
    return InterlockedIncrement(&impl_from_IProbe(iface)->ref);
}

static ULONG WINAPI probe_Release(IProbe *iface)
{
    ProbeObject *probe = impl_from_IProbe(iface);
    ULONG ref = InterlockedDecrement(&probe->ref);
    if (ref == 0) {
        SysFreeString(probe->name);
        HeapFree(GetProcessHeap(), 0, probe);
        InterlockedDecrement(&object_count);
    }
    return ref;
}

static HRESULT WINAPI probe_GetTypeInfoCount(IProbe *iface, UINT *count)
{
    (void)iface;
    *count = 1;
    return S_OK;
}

static HRESULT WINAPI probe_GetTypeInfo(IProbe *iface, UINT index, LCID lcid, ITypeInfo **out)
{
    ITypeInfo *info = NULL;
    HRESULT hr = load_type_info(&info);
    (void)iface;
    (void)index;
    (void)lcid;
    if (SUCCEEDED(hr))
        ITypeInfo_AddRef(info);
    *out = info;
    return hr;
}

static HRESULT WINAPI probe_GetIDsOfNames(IProbe *iface, REFIID riid, LPOLESTR *names,
                                          UINT count, LCID lcid, DISPID *ids)
{
    ITypeInfo *info = NULL;
    HRESULT hr = load_type_info(&info);
    (void)iface;
    (void)riid;
    (void)lcid;
    return FAILED(hr) ? hr : ITypeInfo_GetIDsOfNames(info, names, count, ids);
}

static HRESULT WINAPI probe_Invoke(IProbe *iface, DISPID id, REFIID riid, LCID lcid,
                                   WORD flags, DISPPARAMS *params, VARIANT *result,
                                   EXCEPINFO *excep, UINT *arg_err)
{
    ITypeInfo *info = NULL;
    HRESULT hr = load_type_info(&info);
    (void)riid;
    (void)lcid;
    if (FAILED(hr))
        return hr;
    return ITypeInfo_Invoke(info, iface, id, flags, params, result, excep, arg_err);
}

static HRESULT WINAPI probe_Add(IProbe *iface, LONG a, LONG b, LONG *sum)
{
    (void)iface;
    *sum = a + b;
    return S_OK;
}

static HRESULT WINAPI probe_get_Name(IProbe *iface, BSTR *name)
{
    ProbeObject *probe = impl_from_IProbe(iface);
    *name = SysAllocStringLen(probe->name, SysStringLen(probe->name));
    return *name != NULL || probe->name == NULL ? S_OK : E_OUTOFMEMORY;
}

static HRESULT WINAPI probe_put_Name(IProbe *iface, BSTR name)
{
    ProbeObject *probe = impl_from_IProbe(iface);
    BSTR copy = SysAllocStringLen(name, SysStringLen(name));
    if (copy == NULL && name != NULL)
        return E_OUTOFMEMORY;
    SysFreeString(probe->name);
    probe->name = copy;
    return S_OK;
}

/* Returns its first argument, or "missing" when the optional second one is
 * absent; a string "fail" raises an automation error. */
static HRESULT WINAPI probe_Echo(IProbe *iface, VARIANT v, VARIANT opt, VARIANT *result)
{
    (void)iface;
    if (V_VT(&v) == VT_BSTR && lstrcmpW(V_BSTR(&v), L"fail") == 0)
        return E_INVALIDARG;
    if (V_VT(&opt) == VT_ERROR && V_ERROR(&opt) == DISP_E_PARAMNOTFOUND) {
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = SysAllocString(L"missing");
        return S_OK;
    }
    VariantInit(result);
    return VariantCopy(result, &v);
}

static const IProbeVtbl probe_vtbl = {
    probe_QueryInterface, probe_AddRef,    probe_Release,  probe_GetTypeInfoCount,
    probe_GetTypeInfo,    probe_GetIDsOfNames, probe_Invoke, probe_Add,
    probe_get_Name,       probe_put_Name,  probe_Echo,
};

static HRESULT WINAPI factory_QueryInterface(IClassFactory *iface, REFIID riid, void **out)
{
    if (IsEqualIID(riid, &IID_IUnknown) || IsEqualIID(riid, &IID_IClassFactory)) {
        *out = iface;
        return S_OK;
    }
    *out = NULL;
    return E_NOINTERFACE;
}

static ULONG WINAPI factory_AddRef(IClassFactory *iface)
{
    (void)iface;
    return 2;
}

static ULONG WINAPI factory_Release(IClassFactory *iface)
{
    (void)iface;
    return 1;
}

static HRESULT WINAPI factory_CreateInstance(IClassFactory *iface, IUnknown *outer,
                                             REFIID riid, void **out)
{
    ProbeObject *probe;
    HRESULT hr;
    (void)iface;
    *out = NULL;
    if (outer != NULL)
        return CLASS_E_NOAGGREGATION;
    probe = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(*probe));
    if (probe == NULL)
        return E_OUTOFMEMORY;
    probe->IProbe_iface.lpVtbl = &probe_vtbl;
    probe->ref = 1;
    InterlockedIncrement(&object_count);
    hr = IProbe_QueryInterface(&probe->IProbe_iface, riid, out);
    IProbe_Release(&probe->IProbe_iface);
    return hr;
}

static HRESULT WINAPI factory_LockServer(IClassFactory *iface, BOOL lock)
{
    (void)iface;
    if (lock)
        InterlockedIncrement(&lock_count);
    else
        InterlockedDecrement(&lock_count);
    return S_OK;
}

static const IClassFactoryVtbl factory_vtbl = {
    factory_QueryInterface, factory_AddRef, factory_Release,
    factory_CreateInstance, factory_LockServer,
};
static IClassFactory factory = {&factory_vtbl};

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        module_instance = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void **out)
{
    if (!IsEqualCLSID(clsid, &CLSID_Probe)) {
        *out = NULL;
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return IClassFactory_QueryInterface(&factory, riid, out);
}

HRESULT WINAPI DllCanUnloadNow(void)
{
    return object_count == 0 && lock_count == 0 ? S_OK : S_FALSE;
}

static BOOL set_key(const char *path, const char *name, const char *value)
{
    HKEY key;
    LONG rc = RegCreateKeyExA(HKEY_CLASSES_ROOT, path, 0, NULL, 0, KEY_WRITE, NULL, &key,
                              NULL);
    if (rc != ERROR_SUCCESS)
        return FALSE;
    rc = RegSetValueExA(key, name, 0, REG_SZ, (const BYTE *)value, lstrlenA(value) + 1);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

HRESULT WINAPI DllRegisterServer(void)
{
    char path[MAX_PATH], key[128];
    WCHAR wpath[MAX_PATH];
    ITypeLib *lib = NULL;
    HRESULT hr;
    GetModuleFileNameA(module_instance, path, MAX_PATH);
    GetModuleFileNameW(module_instance, wpath, MAX_PATH);
    snprintf(key, sizeof(key), "CLSID\\%s", CLSID_TEXT);
    if (!set_key(key, NULL, "Probe Class"))
        return SELFREG_E_CLASS;
    snprintf(key, sizeof(key), "CLSID\\%s\\InprocServer32", CLSID_TEXT);
    if (!set_key(key, NULL, path) || !set_key(key, "ThreadingModel", "Both"))
        return SELFREG_E_CLASS;
    snprintf(key, sizeof(key), "CLSID\\%s\\ProgID", CLSID_TEXT);
    if (!set_key(key, NULL, PROGID))
        return SELFREG_E_CLASS;
    snprintf(key, sizeof(key), "%s\\CLSID", PROGID);
    if (!set_key(PROGID, NULL, "Probe Class") || !set_key(key, NULL, CLSID_TEXT))
        return SELFREG_E_CLASS;
    hr = LoadTypeLibEx(wpath, REGKIND_REGISTER, &lib);
    if (FAILED(hr))
        return SELFREG_E_TYPELIB;
    ITypeLib_Release(lib);
    return S_OK;
}

HRESULT WINAPI DllUnregisterServer(void)
{
    char key[128];
    snprintf(key, sizeof(key), "CLSID\\%s", CLSID_TEXT);
    RegDeleteTreeA(HKEY_CLASSES_ROOT, key);
    RegDeleteTreeA(HKEY_CLASSES_ROOT, PROGID);
    UnRegisterTypeLib(&LIBID_PROBELib, 1, 0, LOCALE_NEUTRAL, sizeof(void *) == 8 ? SYS_WIN64 : SYS_WIN32);
    return S_OK;
}
