/*
 * Automation values, error information and the COM base interfaces.
 *
 * On Windows these are the platform's own (oleauto.h, objbase.h). Elsewhere this
 * header declares a layer of our own with the same names, meanings and x86-64
 * memory layouts, implemented in src/platform and exported from libmorphel with
 * C linkage, so that C, C++ and ctypes hosts see the same shapes everywhere.
 *
 * The header compiles as C and as C++. The interfaces are C++ abstract classes
 * with COM-compatible vtables (single inheritance, no virtual destructor); a C
 * host reaches them through the first pointer of the object (the vtable).
 */
#ifndef MORPHEL_AUTOMATION_H
#define MORPHEL_AUTOMATION_H

#if defined(_WIN32)

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#undef DrawText /* a winuser.h macro; DrawText is an operation of IImages */

#define MORPHEL_API
#if defined(__cplusplus)
#define MORPHEL_API_DATA extern "C"
#else
#define MORPHEL_API_DATA extern
#endif
#define MORPHEL_API_DATA_DEFINE MORPHEL_API_DATA

#else /* !_WIN32 */

#include <stddef.h>
#include <stdint.h>

#if defined(__cplusplus)
#define MORPHEL_EXTERN_C extern "C"
#else
#define MORPHEL_EXTERN_C extern
#endif
#define MORPHEL_API MORPHEL_EXTERN_C __attribute__((visibility("default")))
#define MORPHEL_API_DATA MORPHEL_EXTERN_C __attribute__((visibility("default")))
#define MORPHEL_API_DATA_DEFINE MORPHEL_API_DATA

#define STDMETHODCALLTYPE
#define STDAPI MORPHEL_API HRESULT

/* ---- Scalar types (LP64 host, Windows sizes) ---------------------------- */
typedef int32_t HRESULT;
typedef int32_t SCODE;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef int32_t INT;
typedef uint32_t UINT;
typedef int32_t BOOL;
typedef int16_t SHORT;
typedef uint16_t USHORT;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef uint8_t BYTE;
typedef char CHAR;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef float FLOAT;
typedef double DOUBLE;
typedef double DATE;
typedef int16_t VARIANT_BOOL;
typedef uint16_t VARTYPE;
typedef int32_t DISPID;
typedef uint32_t LCID;
typedef int32_t MEMBERID;
#if defined(__cplusplus)
typedef char16_t OLECHAR;
#else
typedef uint16_t OLECHAR;
#endif
typedef OLECHAR *LPOLESTR;
typedef const OLECHAR *LPCOLESTR;
typedef OLECHAR *BSTR;
typedef void *HINSTANCE;
#define OLESTR(str) u##str

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#define VARIANT_TRUE ((VARIANT_BOOL)-1)
#define VARIANT_FALSE ((VARIANT_BOOL)0)

/* ---- Status values ------------------------------------------------------ */
#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_NOTIMPL ((HRESULT)0x80004001L)
#define E_NOINTERFACE ((HRESULT)0x80004002L)
#define E_POINTER ((HRESULT)0x80004003L)
#define E_FAIL ((HRESULT)0x80004005L)
#define E_UNEXPECTED ((HRESULT)0x8000FFFFL)
#define E_OUTOFMEMORY ((HRESULT)0x8007000EL)
#define E_INVALIDARG ((HRESULT)0x80070057L)
#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110L)
#define CLASS_E_CLASSNOTAVAILABLE ((HRESULT)0x80040111L)
#define DISP_E_UNKNOWNINTERFACE ((HRESULT)0x80020001L)
#define DISP_E_MEMBERNOTFOUND ((HRESULT)0x80020003L)
#define DISP_E_PARAMNOTFOUND ((HRESULT)0x80020004L)
#define DISP_E_TYPEMISMATCH ((HRESULT)0x80020005L)
#define DISP_E_UNKNOWNNAME ((HRESULT)0x80020006L)
#define DISP_E_NONAMEDARGS ((HRESULT)0x80020007L)
#define DISP_E_BADVARTYPE ((HRESULT)0x80020008L)
#define DISP_E_EXCEPTION ((HRESULT)0x80020009L)
#define DISP_E_OVERFLOW ((HRESULT)0x8002000AL)
#define DISP_E_BADINDEX ((HRESULT)0x8002000BL)
#define DISP_E_ARRAYISLOCKED ((HRESULT)0x8002000DL)
#define DISP_E_BADPARAMCOUNT ((HRESULT)0x8002000EL)
#define DISP_E_PARAMNOTOPTIONAL ((HRESULT)0x8002000FL)
#define TYPE_E_ELEMENTNOTFOUND ((HRESULT)0x8002802BL)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

/* ---- GUIDs -------------------------------------------------------------- */
typedef struct _GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
} GUID;
typedef GUID IID;
typedef GUID CLSID;
#if defined(__cplusplus)
#define REFGUID const GUID &
#define REFIID const IID &
#define REFCLSID const CLSID &
#else
#define REFGUID const GUID *
#define REFIID const IID *
#define REFCLSID const CLSID *
#endif

MORPHEL_API_DATA const IID IID_IUnknown;
MORPHEL_API_DATA const IID IID_IDispatch;
MORPHEL_API_DATA const IID IID_IClassFactory;
MORPHEL_API_DATA const IID IID_ISupportErrorInfo;
MORPHEL_API_DATA const IID IID_IErrorInfo;
MORPHEL_API_DATA const IID IID_ICreateErrorInfo;
MORPHEL_API_DATA const IID IID_NULL;

MORPHEL_API int IsEqualGUID(REFGUID a, REFGUID b);
#if defined(__cplusplus)
inline bool operator==(const GUID &a, const GUID &b) { return IsEqualGUID(a, b) != 0; }
inline bool operator!=(const GUID &a, const GUID &b) { return !(a == b); }
#endif

/* ---- Variant type codes -------------------------------------------------- */
enum VARENUM {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_CY = 6,
  VT_DATE = 7,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_DECIMAL = 14,
  VT_I1 = 16,
  VT_UI1 = 17,
  VT_UI2 = 18,
  VT_UI4 = 19,
  VT_I8 = 20,
  VT_UI8 = 21,
  VT_INT = 22,
  VT_UINT = 23,
  VT_VOID = 24,
  VT_HRESULT = 25,
  VT_ARRAY = 0x2000,
  VT_BYREF = 0x4000,
  VT_TYPEMASK = 0x0FFF
};

/* ---- Safe arrays ---------------------------------------------------------- */
typedef struct tagSAFEARRAYBOUND {
  ULONG cElements;
  LONG lLbound;
} SAFEARRAYBOUND;

typedef struct tagSAFEARRAY {
  USHORT cDims;
  USHORT fFeatures;
  ULONG cbElements;
  ULONG cLocks;
  void *pvData;
  SAFEARRAYBOUND rgsabound[1];
} SAFEARRAY;

#define FADF_AUTO 0x0001
#define FADF_STATIC 0x0002
#define FADF_EMBEDDED 0x0004
#define FADF_FIXEDSIZE 0x0010
#define FADF_RECORD 0x0020
#define FADF_HAVEIID 0x0040
#define FADF_HAVEVARTYPE 0x0080
#define FADF_BSTR 0x0100
#define FADF_UNKNOWN 0x0200
#define FADF_DISPATCH 0x0400
#define FADF_VARIANT 0x0800

/* ---- Variants -------------------------------------------------------------- */
#if defined(__cplusplus)
struct IUnknown;
struct IDispatch;
#else
typedef struct IUnknown IUnknown;
typedef struct IDispatch IDispatch;
#endif

typedef union tagCY {
  struct {
    ULONG Lo;
    LONG Hi;
  } s;
  LONGLONG int64;
} CY;

typedef struct tagDEC {
  USHORT wReserved;
  BYTE scale;
  BYTE sign;
  ULONG Hi32;
  ULONGLONG Lo64;
} DECIMAL;

typedef struct tagVARIANT VARIANT;
typedef VARIANT VARIANTARG;

struct tagVARIANT {
  union {
    struct {
      VARTYPE vt;
      WORD wReserved1;
      WORD wReserved2;
      WORD wReserved3;
      union {
        LONGLONG llVal;
        LONG lVal;
        BYTE bVal;
        SHORT iVal;
        FLOAT fltVal;
        DOUBLE dblVal;
        VARIANT_BOOL boolVal;
        SCODE scode;
        CY cyVal;
        DATE date;
        BSTR bstrVal;
        IUnknown *punkVal;
        IDispatch *pdispVal;
        SAFEARRAY *parray;
        BYTE *pbVal;
        SHORT *piVal;
        LONG *plVal;
        LONGLONG *pllVal;
        FLOAT *pfltVal;
        DOUBLE *pdblVal;
        VARIANT_BOOL *pboolVal;
        SCODE *pscode;
        CY *pcyVal;
        DATE *pdate;
        BSTR *pbstrVal;
        IUnknown **ppunkVal;
        IDispatch **ppdispVal;
        SAFEARRAY **pparray;
        VARIANT *pvarVal;
        void *byref;
        CHAR cVal;
        USHORT uiVal;
        ULONG ulVal;
        ULONGLONG ullVal;
        INT intVal;
        UINT uintVal;
        DECIMAL *pdecVal;
        CHAR *pcVal;
        USHORT *puiVal;
        ULONG *pulVal;
        ULONGLONG *pullVal;
        INT *pintVal;
        UINT *puintVal;
        struct {
          void *pvRecord;
          void *pRecInfo;
        } brecVal;
      } n3;
    } n2;
    DECIMAL decVal;
  } n1;
};

/* Member access as the platform's headers spell it (V_VT(&v), V_I4(&v), ...). */
#define V_VT(X) ((X)->n1.n2.vt)
#define V_ISBYREF(X) (V_VT(X) & VT_BYREF)
#define V_ISARRAY(X) (V_VT(X) & VT_ARRAY)
#define V_UNION(X, Y) ((X)->n1.n2.n3.Y)
#define V_I1(X) V_UNION(X, cVal)
#define V_UI1(X) V_UNION(X, bVal)
#define V_UI1REF(X) V_UNION(X, pbVal)
#define V_I2(X) V_UNION(X, iVal)
#define V_I2REF(X) V_UNION(X, piVal)
#define V_UI2(X) V_UNION(X, uiVal)
#define V_I4(X) V_UNION(X, lVal)
#define V_I4REF(X) V_UNION(X, plVal)
#define V_UI4(X) V_UNION(X, ulVal)
#define V_I8(X) V_UNION(X, llVal)
#define V_UI8(X) V_UNION(X, ullVal)
#define V_INT(X) V_UNION(X, intVal)
#define V_INTREF(X) V_UNION(X, pintVal)
#define V_UINT(X) V_UNION(X, uintVal)
#define V_R4(X) V_UNION(X, fltVal)
#define V_R8(X) V_UNION(X, dblVal)
#define V_CY(X) V_UNION(X, cyVal)
#define V_DATE(X) V_UNION(X, date)
#define V_BOOL(X) V_UNION(X, boolVal)
#define V_ERROR(X) V_UNION(X, scode)
#define V_BSTR(X) V_UNION(X, bstrVal)
#define V_BSTRREF(X) V_UNION(X, pbstrVal)
#define V_UNKNOWN(X) V_UNION(X, punkVal)
#define V_DISPATCH(X) V_UNION(X, pdispVal)
#define V_ARRAY(X) V_UNION(X, parray)
#define V_ARRAYREF(X) V_UNION(X, pparray)
#define V_VARIANTREF(X) V_UNION(X, pvarVal)
#define V_BYREF(X) V_UNION(X, byref)
#define V_DECIMAL(X) ((X)->n1.decVal)

#define VARIANT_NOVALUEPROP 0x0001
#define VARIANT_ALPHABOOL 0x0002
#define VARIANT_NOUSEROVERRIDE 0x0004
#define VARIANT_LOCALBOOL 0x0010

/* ---- Dispatch structures ------------------------------------------------- */
typedef struct tagDISPPARAMS {
  VARIANTARG *rgvarg;
  DISPID *rgdispidNamedArgs;
  UINT cArgs;
  UINT cNamedArgs;
} DISPPARAMS;

typedef struct tagEXCEPINFO {
  WORD wCode;
  WORD wReserved;
  BSTR bstrSource;
  BSTR bstrDescription;
  BSTR bstrHelpFile;
  DWORD dwHelpContext;
  void *pvReserved;
  HRESULT (*pfnDeferredFillIn)(struct tagEXCEPINFO *);
  SCODE scode;
} EXCEPINFO;

#define DISPATCH_METHOD 0x1
#define DISPATCH_PROPERTYGET 0x2
#define DISPATCH_PROPERTYPUT 0x4
#define DISPATCH_PROPERTYPUTREF 0x8
#define DISPID_VALUE 0
#define DISPID_UNKNOWN (-1)
#define DISPID_PROPERTYPUT (-3)
#define LOCALE_USER_DEFAULT 0x0400
#define LOCALE_SYSTEM_DEFAULT 0x0800

/* ---- Code pages ------------------------------------------------------------ */
#define CP_ACP 0
#define CP_UTF8 65001
#define WC_ERR_INVALID_CHARS 0x0080
#define MB_ERR_INVALID_CHARS 0x0008
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_INVALID_FLAGS 1004L
#define ERROR_NO_UNICODE_TRANSLATION 1113L

/* ---- Interfaces ------------------------------------------------------------ */
#if defined(__cplusplus)

struct ITypeInfo; /* opaque here: type information exists only on Windows */

struct IUnknown {
  virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) = 0;
  virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE Release() = 0;
};

struct IDispatch : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *pctinfo) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo **ppTInfo) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR *rgszNames, UINT cNames,
                                                  LCID lcid, DISPID *rgDispId) = 0;
  virtual HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                           DISPPARAMS *pDispParams, VARIANT *pVarResult,
                                           EXCEPINFO *pExcepInfo, UINT *puArgErr) = 0;
};

struct IClassFactory : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *pUnkOuter, REFIID riid, void **ppv) = 0;
  virtual HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) = 0;
};

struct ISupportErrorInfo : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) = 0;
};

struct IErrorInfo : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetGUID(GUID *pGUID) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetSource(BSTR *pBstrSource) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDescription(BSTR *pBstrDescription) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR *pBstrHelpFile) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD *pdwHelpContext) = 0;
};

struct ICreateErrorInfo : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE SetGUID(REFGUID rguid) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetSource(LPOLESTR szSource) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetDescription(LPOLESTR szDescription) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetHelpFile(LPOLESTR szHelpFile) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetHelpContext(DWORD dwHelpContext) = 0;
};

#else /* C: interfaces are opaque; call through the vtable pointer. */
typedef struct IClassFactory IClassFactory;
typedef struct ISupportErrorInfo ISupportErrorInfo;
typedef struct IErrorInfo IErrorInfo;
typedef struct ICreateErrorInfo ICreateErrorInfo;
typedef struct ITypeInfo ITypeInfo;
#endif

/* ---- Automation strings ---------------------------------------------------- */
MORPHEL_API BSTR SysAllocString(const OLECHAR *psz);
MORPHEL_API BSTR SysAllocStringLen(const OLECHAR *pch, UINT cch);
MORPHEL_API BSTR SysAllocStringByteLen(const char *psz, UINT len);
MORPHEL_API int SysReAllocString(BSTR *pbstr, const OLECHAR *psz);
MORPHEL_API int SysReAllocStringLen(BSTR *pbstr, const OLECHAR *psz, UINT len);
MORPHEL_API void SysFreeString(BSTR bstr);
MORPHEL_API UINT SysStringLen(BSTR bstr);
MORPHEL_API UINT SysStringByteLen(BSTR bstr);

/* ---- Variants -------------------------------------------------------------- */
MORPHEL_API void VariantInit(VARIANT *pvarg);
MORPHEL_API HRESULT VariantClear(VARIANT *pvarg);
MORPHEL_API HRESULT VariantCopy(VARIANT *pvargDest, VARIANT *pvargSrc);
MORPHEL_API HRESULT VariantCopyInd(VARIANT *pvarDest, VARIANT *pvargSrc);
MORPHEL_API HRESULT VariantChangeType(VARIANT *pvargDest, VARIANT *pvarSrc, USHORT wFlags,
                                      VARTYPE vt);
MORPHEL_API HRESULT VariantChangeTypeEx(VARIANT *pvargDest, VARIANT *pvarSrc, LCID lcid,
                                        USHORT wFlags, VARTYPE vt);

/* ---- Safe arrays ----------------------------------------------------------- */
MORPHEL_API SAFEARRAY *SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND *rgsabound);
MORPHEL_API SAFEARRAY *SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements);
MORPHEL_API HRESULT SafeArrayDestroy(SAFEARRAY *psa);
MORPHEL_API UINT SafeArrayGetDim(SAFEARRAY *psa);
MORPHEL_API UINT SafeArrayGetElemsize(SAFEARRAY *psa);
MORPHEL_API HRESULT SafeArrayGetLBound(SAFEARRAY *psa, UINT nDim, LONG *plLbound);
MORPHEL_API HRESULT SafeArrayGetUBound(SAFEARRAY *psa, UINT nDim, LONG *plUbound);
MORPHEL_API HRESULT SafeArrayGetVartype(SAFEARRAY *psa, VARTYPE *pvt);
MORPHEL_API HRESULT SafeArrayLock(SAFEARRAY *psa);
MORPHEL_API HRESULT SafeArrayUnlock(SAFEARRAY *psa);
MORPHEL_API HRESULT SafeArrayAccessData(SAFEARRAY *psa, void **ppvData);
MORPHEL_API HRESULT SafeArrayUnaccessData(SAFEARRAY *psa);
MORPHEL_API HRESULT SafeArrayPtrOfIndex(SAFEARRAY *psa, LONG *rgIndices, void **ppvData);
MORPHEL_API HRESULT SafeArrayPutElement(SAFEARRAY *psa, LONG *rgIndices, void *pv);
MORPHEL_API HRESULT SafeArrayGetElement(SAFEARRAY *psa, LONG *rgIndices, void *pv);

/* ---- Error information (per thread) ---------------------------------------- */
MORPHEL_API HRESULT CreateErrorInfo(ICreateErrorInfo **pperrinfo);
MORPHEL_API HRESULT SetErrorInfo(ULONG dwReserved, IErrorInfo *perrinfo);
MORPHEL_API HRESULT GetErrorInfo(ULONG dwReserved, IErrorInfo **pperrinfo);

/* ---- Code pages -------------------------------------------------------------
 * CP_ACP is UTF-8 here; a host chooses Windows-1252 instead by setting the
 * environment variable MORPHEL_ACP=1252 before the first conversion (read once
 * per process). */
MORPHEL_API int WideCharToMultiByte(UINT codePage, DWORD dwFlags, const OLECHAR *lpWideCharStr,
                                    int cchWideChar, char *lpMultiByteStr, int cbMultiByte,
                                    const char *lpDefaultChar, BOOL *lpUsedDefaultChar);
MORPHEL_API int MultiByteToWideChar(UINT codePage, DWORD dwFlags, const char *lpMultiByteStr,
                                    int cbMultiByte, OLECHAR *lpWideCharStr, int cchWideChar);
MORPHEL_API UINT GetACP(void);
/* The calling thread's last error code; the two conversions set it when they fail. */
MORPHEL_API DWORD GetLastError(void);
MORPHEL_API void SetLastError(DWORD dwErrCode);

#endif /* !_WIN32 */

#endif /* MORPHEL_AUTOMATION_H */
