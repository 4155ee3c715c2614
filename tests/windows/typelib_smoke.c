/* Checks a type library embedded as resource TYPELIB 1 in a DLL.
 *
 *   typelib_smoke MODULE.dll
 *
 * Expects the probe library written by tools/windows/smoke.sh: library
 * PROBELib 1.0, a dual interface IProbe (Add = 1, Name = 2, Echo = 3) that
 * derives from IDispatch out of stdole2.tlb, and a coclass Probe.
 * Prints "TYPELIB_SMOKE_OK" and returns 0 when every check passes.
 */
#define COBJMACROS
#include <windows.h>
#include <oleauto.h>
#include <stdio.h>

static int failures = 0;

static void check(int ok, const char *what)
{
    if (!ok) {
        fprintf(stderr, "FAIL: %s\n", what);
        failures++;
    }
}

static const GUID IID_IProbe = {
    0x6f1d3a52, 0x8c1e, 0x4b7a, {0x9d, 0x55, 0x0a, 0x3c, 0x9e, 0x2b, 0x7f, 0x11}};
static const GUID CLSID_Probe = {
    0x6f1d3a52, 0x8c1e, 0x4b7a, {0x9d, 0x55, 0x0a, 0x3c, 0x9e, 0x2b, 0x7f, 0x12}};

static void print_name(const char *label, BSTR name)
{
    printf("%s %ls\n", label, name != NULL ? name : L"(null)");
}

static void check_library(ITypeLib *lib)
{
    BSTR name = NULL, doc = NULL;
    TLIBATTR *attr = NULL;
    check(SUCCEEDED(ITypeLib_GetDocumentation(lib, -1, &name, &doc, NULL, NULL)),
          "library documentation");
    print_name("library", name);
    print_name("helpstring", doc);
    check(name != NULL && lstrcmpW(name, L"PROBELib") == 0, "library name");
    SysFreeString(name);
    SysFreeString(doc);
    if (SUCCEEDED(ITypeLib_GetLibAttr(lib, &attr))) {
        printf("version %u.%u syskind %d\n", attr->wMajorVerNum, attr->wMinorVerNum,
               (int)attr->syskind);
        check(attr->wMajorVerNum == 1 && attr->wMinorVerNum == 0, "library version");
        ITypeLib_ReleaseTLibAttr(lib, attr);
    } else {
        check(0, "library attributes");
    }
}

static void check_ids(ITypeInfo *info)
{
    static const WCHAR *names[] = {L"Add", L"Name", L"Echo"};
    for (int i = 0; i < 3; i++) {
        MEMBERID id = -1;
        LPOLESTR name = (LPOLESTR)names[i];
        check(SUCCEEDED(ITypeInfo_GetIDsOfNames(info, &name, 1, &id)) && id == i + 1,
              "dispatch identifier by name");
        printf("%ls = %ld\n", names[i], (long)id);
    }
}

static void check_base_is_idispatch(ITypeInfo *iface)
{
    HREFTYPE ref = 0;
    ITypeInfo *base = NULL;
    BSTR name = NULL;
    check(SUCCEEDED(ITypeInfo_GetRefTypeOfImplType(iface, 0, &ref)), "base interface");
    if (FAILED(ITypeInfo_GetRefTypeInfo(iface, ref, &base))) {
        check(0, "base interface type information (stdole2 import)");
        return;
    }
    ITypeInfo_GetDocumentation(base, MEMBERID_NIL, &name, NULL, NULL, NULL);
    print_name("base", name);
    check(name != NULL && lstrcmpW(name, L"IDispatch") == 0, "base is IDispatch");
    SysFreeString(name);
    ITypeInfo_Release(base);
}

/* A dual interface comes back as its dispatch view; its -1 implemented type
 * is the vtable view. */
static void check_interface(ITypeLib *lib)
{
    ITypeInfo *info = NULL, *vtable = NULL;
    TYPEATTR *attr = NULL;
    HREFTYPE ref = 0;
    if (FAILED(ITypeLib_GetTypeInfoOfGuid(lib, &IID_IProbe, &info))) {
        check(0, "IProbe type information");
        return;
    }
    if (SUCCEEDED(ITypeInfo_GetTypeAttr(info, &attr))) {
        printf("IProbe typekind %d flags 0x%x functions %u\n", (int)attr->typekind,
               (unsigned)attr->wTypeFlags, (unsigned)attr->cFuncs);
        check(attr->typekind == TKIND_DISPATCH, "IProbe is a dispatch interface");
        check((attr->wTypeFlags & TYPEFLAG_FDUAL) != 0, "IProbe is dual");
        ITypeInfo_ReleaseTypeAttr(info, attr);
    }
    check_ids(info);
    if (SUCCEEDED(ITypeInfo_GetRefTypeOfImplType(info, -1, &ref)) &&
        SUCCEEDED(ITypeInfo_GetRefTypeInfo(info, ref, &vtable))) {
        check_base_is_idispatch(vtable);
        ITypeInfo_Release(vtable);
    } else {
        check(0, "IProbe vtable view");
    }
    ITypeInfo_Release(info);
}

static void check_coclass(ITypeLib *lib)
{
    ITypeInfo *info = NULL;
    TYPEATTR *attr = NULL;
    if (FAILED(ITypeLib_GetTypeInfoOfGuid(lib, &CLSID_Probe, &info))) {
        check(0, "Probe coclass type information");
        return;
    }
    if (SUCCEEDED(ITypeInfo_GetTypeAttr(info, &attr))) {
        check(attr->typekind == TKIND_COCLASS && attr->cImplTypes == 1, "Probe coclass");
        ITypeInfo_ReleaseTypeAttr(info, attr);
    }
    ITypeInfo_Release(info);
}

int main(int argc, char **argv)
{
    WCHAR path[MAX_PATH];
    ITypeLib *lib = NULL;
    if (argc < 2) {
        fprintf(stderr, "usage: typelib_smoke MODULE.dll\n");
        return 2;
    }
    MultiByteToWideChar(CP_ACP, 0, argv[1], -1, path, MAX_PATH);
    HRESULT hr = LoadTypeLibEx(path, REGKIND_NONE, &lib);
    if (FAILED(hr)) {
        fprintf(stderr, "FAIL: LoadTypeLibEx(%s) = 0x%08lx\n", argv[1], (unsigned long)hr);
        return 1;
    }
    check_library(lib);
    check_interface(lib);
    check_coclass(lib);
    ITypeLib_Release(lib);
    if (failures != 0) {
        printf("TYPELIB_SMOKE_FAILED %d\n", failures);
        return 1;
    }
    printf("TYPELIB_SMOKE_OK\n");
    return 0;
}
