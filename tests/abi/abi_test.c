/* The binary interface, as a C host sees it: load libmorphel.so, get the class
 * factory, create an object and call its operations through the raw vtable by
 * slot number. */
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "morphel/morphel.h"

typedef void **Vtbl;
#define VTBL(obj) (*(Vtbl *)(obj))
#define METHOD(obj, slot, type) ((type)VTBL(obj)[slot])

/* IImages slots: IUnknown 0-2, IDispatch 3-6, then operation d at 6 + d. */
#define OP_SLOT(dispid) (6 + (dispid))

typedef HRESULT (*QueryFn)(void *, const IID *, void **);
typedef ULONG (*RefFn)(void *);
typedef HRESULT (*CreateInstanceFn)(void *, void *, const IID *, void **);
typedef HRESULT (*LockServerFn)(void *, BOOL);
typedef HRESULT (*Int2Fn)(void *, INT, INT);
typedef HRESULT (*IntFn)(void *, INT);
typedef HRESULT (*IntOutFn)(void *, INT *);
typedef HRESULT (*LongOutFn)(void *, LONG *);
typedef HRESULT (*NoArgFn)(void *);
typedef HRESULT (*BstrOutFn)(void *, BSTR *);
typedef HRESULT (*GuidOutFn)(void *, GUID *);
typedef HRESULT (*VariantFn)(void *, VARIANT);
typedef HRESULT (*OpenFieldFn)(const char *, const char *, const char *, long long, IDispatch **);
typedef HRESULT (*BstrFn)(void *, BSTR);
typedef HRESULT (*TextAtFn)(void *, INT, INT, BSTR);
typedef HRESULT (*TextAngleFn)(void *, INT, INT, INT, BSTR);
typedef HRESULT (*TextBoxFn)(void *, INT, INT, BSTR, VARIANT *);

static int passed, failed;

static void check(int ok, const char *what, int line) {
  if (ok) {
    passed++;
  } else {
    failed++;
    printf("FAILED (line %d): %s\n", line, what);
  }
}
#define CHECK(expr) check((expr) != 0, #expr, __LINE__)

static HRESULT (*pDllGetClassObject)(const CLSID *, const IID *, void **);
static HRESULT (*pDllCanUnloadNow)(void);
static HRESULT (*pGetErrorInfo)(ULONG, void **);
static UINT (*pSysStringLen)(BSTR);
static void (*pSysFreeString)(BSTR);
static BSTR (*pSysAllocStringLen)(const OLECHAR *, UINT);
static HRESULT (*pVariantClear)(VARIANT *);
static const IID *pIID_IClassFactory, *pIID_IUnknown, *pIID_IImages, *pIID_IDispatch;
static const CLSID *pCLSID_Images;

static int bstr_equals(BSTR s, const char *ascii) {
  size_t n = strlen(ascii);
  if (s == NULL || pSysStringLen(s) != n) return 0;
  for (size_t i = 0; i < n; i++)
    if (s[i] != (OLECHAR)ascii[i]) return 0;
  return 1;
}

static int load(const char *path) {
  void *lib = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (lib == NULL) {
    printf("cannot load %s: %s\n", path, dlerror());
    return 0;
  }
  pDllGetClassObject = (HRESULT(*)(const CLSID *, const IID *, void **))dlsym(lib, "DllGetClassObject");
  pDllCanUnloadNow = (HRESULT(*)(void))dlsym(lib, "DllCanUnloadNow");
  pGetErrorInfo = (HRESULT(*)(ULONG, void **))dlsym(lib, "GetErrorInfo");
  pSysStringLen = (UINT(*)(BSTR))dlsym(lib, "SysStringLen");
  pSysFreeString = (void (*)(BSTR))dlsym(lib, "SysFreeString");
  pSysAllocStringLen = (BSTR(*)(const OLECHAR *, UINT))dlsym(lib, "SysAllocStringLen");
  pVariantClear = (HRESULT(*)(VARIANT *))dlsym(lib, "VariantClear");
  pIID_IClassFactory = (const IID *)dlsym(lib, "IID_IClassFactory");
  pIID_IUnknown = (const IID *)dlsym(lib, "IID_IUnknown");
  pIID_IDispatch = (const IID *)dlsym(lib, "IID_IDispatch");
  pIID_IImages = (const IID *)dlsym(lib, "IID_IImages");
  pCLSID_Images = (const CLSID *)dlsym(lib, "CLSID_Images");
  return pDllGetClassObject && pDllCanUnloadNow && pGetErrorInfo && pSysStringLen &&
         pSysFreeString && pSysAllocStringLen && pVariantClear && pIID_IClassFactory && pIID_IUnknown && pIID_IImages &&
         pIID_IDispatch && pCLSID_Images;
}

/* Internal functions must not be exported: only the class entry points, the
 * automation and error-information functions, the SQLite field's opener and
 * the raw pixel exchange are. */
static void check_exports(const char *path) {
  void *lib = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  CHECK(dlsym(lib, "_ZN7morphel11ReportErrorEj") == NULL);
  CHECK(dlsym(lib, "SysAllocStringByteLen") != NULL);
  CHECK(dlsym(lib, "SetErrorInfo") != NULL);
  CHECK(dlsym(lib, "MorphelOpenSqliteField") != NULL);
  CHECK(dlsym(lib, "MorphelGetImagePixels") != NULL);
  CHECK(dlsym(lib, "MorphelSetImagePixels") != NULL);
  CHECK(dlsym(lib, "_ZN7morphel19ImagesFromInterfaceEP8IUnknown") == NULL);
  CHECK(dlsym(lib, "kIidImagesObject") == NULL);
  CHECK(dlsym(lib, "IID_AdoField") != NULL);
  CHECK(dlsym(lib, "gdImageCreate") == NULL || 1); /* libgd's own, not ours */
  dlclose(lib);
}

/* The SQLite field through its vtable: the current image written to a row and
 * read back. */
static void check_sqlite_field(void *lib, void *object) {
  OpenFieldFn open_field = (OpenFieldFn)dlsym(lib, "MorphelOpenSqliteField");
  char dir[] = "/tmp/morphel-abi-XXXXXX", path[64], command[128];
  if (open_field == NULL || mkdtemp(dir) == NULL) {
    CHECK(0);
    return;
  }
  snprintf(path, sizeof path, "%s/album.db", dir);
  snprintf(command, sizeof command, "sqlite3 %s 'CREATE TABLE t (b BLOB); INSERT INTO t VALUES (NULL)'", path);
  CHECK(system(command) == 0);
  IDispatch *field = NULL;
  CHECK(open_field(path, "t", "b", 2, &field) == E_FAIL && field == NULL);
  CHECK(open_field(path, "t", "b", 1, &field) == S_OK && field != NULL);
  if (field == NULL) return;
  VARIANT argument;
  memset(&argument, 0, sizeof argument);
  V_VT(&argument) = VT_DISPATCH;
  V_DISPATCH(&argument) = field;
  LONG size = 0;
  CHECK(METHOD(object, OP_SLOT(1), Int2Fn)(object, 4, 3) == S_OK);                 /* CreateImage */
  CHECK(METHOD(object, OP_SLOT(15), VariantFn)(object, argument) == S_OK); /* WriteToDatabase */
  CHECK(METHOD(field, FIELD_SLOT_GET_ACTUAL_SIZE, LongOutFn)(field, &size) == S_OK && size > 8);
  CHECK(METHOD(object, OP_SLOT(14), VariantFn)(object, argument) == S_OK); /* ReadFromDatabase */
  CHECK(METHOD(field, 2, RefFn)(field) == 0);
  unlink(path);
  rmdir(dir);
}

/* A field object of the host's own, built in C as a bare vtable of the field
 * interface's 29 slots: the component must reach ActualSize, AppendChunk and
 * GetChunk by slot number and call nothing else. */
typedef struct CField CField;
struct CField {
  void **vtbl;
  ULONG refs;
  int stray, appends, sizes, chunks;
  LONG askedLength;
  unsigned char *bytes;
  ULONG length;
  LONG lowerBound;
};
static const IID *pIID_AdoField;
static SAFEARRAY *(*pSafeArrayCreateVector)(VARTYPE, LONG, ULONG);

static HRESULT cfield_query(CField *self, const IID *iid, void **out) {
  *out = NULL;
  if (memcmp(iid, pIID_IUnknown, sizeof *iid) != 0 && memcmp(iid, pIID_AdoField, sizeof *iid) != 0)
    return E_NOINTERFACE;
  *out = self;
  self->refs++;
  return S_OK;
}
static ULONG cfield_add_ref(CField *self) { return ++self->refs; }
static ULONG cfield_release(CField *self) { return --self->refs; }
static HRESULT cfield_stray(CField *self) {
  self->stray++;
  return E_NOTIMPL;
}
static HRESULT cfield_actual_size(CField *self, LONG *size) {
  self->sizes++;
  *size = (LONG)self->length;
  return S_OK;
}
static HRESULT cfield_append_chunk(CField *self, VARIANT data) {
  self->appends++;
  SAFEARRAY *array = V_VT(&data) == (VT_ARRAY | VT_UI1) ? V_ARRAY(&data) : NULL;
  if (array == NULL || array->cDims != 1) return E_INVALIDARG;
  free(self->bytes);
  self->length = array->rgsabound[0].cElements;
  self->lowerBound = array->rgsabound[0].lLbound;
  self->bytes = malloc(self->length);
  memcpy(self->bytes, array->pvData, self->length);
  return S_OK;
}
static HRESULT cfield_get_chunk(CField *self, LONG length, VARIANT *chunk) {
  self->chunks++;
  self->askedLength = length;
  SAFEARRAY *array = pSafeArrayCreateVector(VT_UI1, 0, self->length);
  memcpy(array->pvData, self->bytes, self->length);
  V_VT(chunk) = VT_ARRAY | VT_UI1;
  V_ARRAY(chunk) = array;
  return S_OK;
}

static void check_c_field(void *lib, void *object) {
  pIID_AdoField = (const IID *)dlsym(lib, "IID_AdoField");
  pSafeArrayCreateVector = (SAFEARRAY * (*)(VARTYPE, LONG, ULONG)) dlsym(lib, "SafeArrayCreateVector");
  CHECK(pIID_AdoField && pSafeArrayCreateVector);
  if (!pIID_AdoField || !pSafeArrayCreateVector) return;
  void *vtbl[29];
  for (int i = 0; i < 29; i++) vtbl[i] = (void *)cfield_stray;
  vtbl[0] = (void *)cfield_query;
  vtbl[1] = (void *)cfield_add_ref;
  vtbl[2] = (void *)cfield_release;
  vtbl[FIELD_SLOT_GET_ACTUAL_SIZE] = (void *)cfield_actual_size;
  vtbl[FIELD_SLOT_APPEND_CHUNK] = (void *)cfield_append_chunk;
  vtbl[FIELD_SLOT_GET_CHUNK] = (void *)cfield_get_chunk;
  CField field = {vtbl, 1, 0, 0, 0, 0, 0, NULL, 0, -1};
  VARIANT argument;
  memset(&argument, 0, sizeof argument);
  V_VT(&argument) = VT_UNKNOWN;
  V_UNKNOWN(&argument) = (IUnknown *)&field;
  CHECK(METHOD(object, OP_SLOT(1), Int2Fn)(object, 5, 4) == S_OK);         /* CreateImage */
  CHECK(METHOD(object, OP_SLOT(15), VariantFn)(object, argument) == S_OK); /* WriteToDatabase */
  CHECK(field.appends == 1 && field.lowerBound == 0 && field.length > 8);
  CHECK(field.bytes != NULL && memcmp(field.bytes, "\x89PNG", 4) == 0);
  CHECK(METHOD(object, OP_SLOT(14), VariantFn)(object, argument) == S_OK); /* ReadFromDatabase */
  CHECK(field.sizes == 1 && field.chunks == 1 && field.askedLength == (LONG)field.length);
  CHECK(field.stray == 0 && field.refs == 1);
  free(field.bytes);
}

static void check_error_info(const char *source, const char *description) {
  void *info = NULL;
  CHECK(pGetErrorInfo(0, &info) == S_OK && info != NULL);
  if (info == NULL) return;
  GUID guid;
  BSTR text = NULL;
  CHECK(METHOD(info, 3, GuidOutFn)(info, &guid) == S_OK);
  CHECK(memcmp(&guid, pIID_IUnknown, sizeof guid) == 0);
  CHECK(METHOD(info, 4, BstrOutFn)(info, &text) == S_OK && bstr_equals(text, source));
  pSysFreeString(text);
  CHECK(METHOD(info, 5, BstrOutFn)(info, &text) == S_OK && bstr_equals(text, description));
  pSysFreeString(text);
  METHOD(info, 2, RefFn)(info);
}

static BSTR ascii_bstr(const char *ascii) {
  OLECHAR wide[64];
  UINT n = (UINT)strlen(ascii);
  for (UINT i = 0; i < n && i < 64; i++) wide[i] = (OLECHAR)ascii[i];
  return pSysAllocStringLen(wide, n < 64 ? n : 64);
}

/* TrueType text through the vtable: the system's DejaVu Sans found through the
 * automatic font path, drawn, turned and measured; an empty path finds none. */
static void check_truetype(void *object) {
  BSTR name = ascii_bstr("DejaVuSans"), text = ascii_bstr("Vtable"), empty = ascii_bstr("");
  VARIANT box;
  memset(&box, 0, sizeof box);
  CHECK(METHOD(object, OP_SLOT(1), Int2Fn)(object, 100, 30) == S_OK);
  CHECK(METHOD(object, OP_SLOT(61), NoArgFn)(object) == S_OK);              /* SetFontPathTTFAuto */
  CHECK(METHOD(object, OP_SLOT(11), BstrFn)(object, name) == S_OK);         /* SetFontTTF */
  CHECK(METHOD(object, OP_SLOT(12), IntFn)(object, 501) == E_INVALIDARG);   /* SetFontSizeTTF */
  CHECK(METHOD(object, OP_SLOT(75), IntFn)(object, 0) == S_OK);             /* SetTextAntialias */
  CHECK(METHOD(object, OP_SLOT(10), TextAtFn)(object, 2, 20, text) == S_OK);
  CHECK(METHOD(object, OP_SLOT(51), TextAngleFn)(object, 2, 28, 10, text) == S_OK);
  CHECK(METHOD(object, OP_SLOT(73), TextBoxFn)(object, 2, 20, text, &box) == S_OK &&
        V_VT(&box) == (VT_ARRAY | VT_VARIANT));
  pVariantClear(&box);
  CHECK(METHOD(object, OP_SLOT(13), BstrFn)(object, empty) == S_OK);        /* SetFontPathTTF */
  CHECK(METHOD(object, OP_SLOT(10), TextAtFn)(object, 2, 20, text) == E_FAIL);
  check_error_info("Morphel", "font error");
  pSysFreeString(name);
  pSysFreeString(text);
  pSysFreeString(empty);
}

int main(int argc, char **argv) {
  if (argc < 2 || !load(argv[1])) {
    printf("0 passed, 1 failed\n");
    return 1;
  }
  check_exports(argv[1]);
  CHECK(pDllCanUnloadNow() == S_OK);

  void *factory = NULL;
  CHECK(pDllGetClassObject(pCLSID_Images, pIID_IClassFactory, &factory) == S_OK);
  CHECK(factory != NULL);
  void *object = NULL;
  CHECK(METHOD(factory, 3, CreateInstanceFn)(factory, NULL, pIID_IImages, &object) == S_OK);
  CHECK(METHOD(factory, 2, RefFn)(factory) == 1); /* the module's cached reference stays */
  CHECK(pDllCanUnloadNow() == S_FALSE);

  INT w = -1, h = -1, slot = -1;
  LONG flag = -1;
  CHECK(METHOD(object, OP_SLOT(1), Int2Fn)(object, 200, 100) == S_OK);           /* CreateImage */
  CHECK(METHOD(object, OP_SLOT(48), IntOutFn)(object, &w) == S_OK && w == 200);   /* GetWidth */
  CHECK(METHOD(object, OP_SLOT(47), IntOutFn)(object, &h) == S_OK && h == 100);   /* GetHeight */
  CHECK(METHOD(object, OP_SLOT(57), LongOutFn)(object, &flag) == S_OK && flag == 1);
  CHECK(METHOD(object, OP_SLOT(38), IntFn)(object, 3) == S_OK);                   /* SetImage */
  CHECK(METHOD(object, OP_SLOT(39), IntOutFn)(object, &slot) == S_OK && slot == 3);
  CHECK(METHOD(object, OP_SLOT(53), Int2Fn)(object, 7, 9) == S_OK);              /* palette */
  CHECK(METHOD(object, OP_SLOT(57), LongOutFn)(object, &flag) == S_OK && flag == 0);
  CHECK(METHOD(object, OP_SLOT(1), Int2Fn)(object, 6001, 6000) == E_INVALIDARG);
  CHECK(METHOD(object, OP_SLOT(49), LongOutFn)(object, &flag) == E_FAIL && flag == 0);
  check_error_info("Morphel", "NO IMAGE!");
  CHECK(METHOD(object, OP_SLOT(38), IntFn)(object, 0) == S_OK);
  CHECK(METHOD(object, OP_SLOT(49), LongOutFn)(object, &flag) == S_OK && flag == 1);
  w = 1234;
  CHECK(METHOD(object, OP_SLOT(48), IntOutFn)(object, &w) == E_FAIL && w == 1234);
  check_error_info("Morphel", "NO IMAGE!");
  check_sqlite_field(dlopen(argv[1], RTLD_NOW | RTLD_NOLOAD), object);
  check_c_field(dlopen(argv[1], RTLD_NOW | RTLD_NOLOAD), object);
  check_truetype(object);
  CHECK(METHOD(object, OP_SLOT(70), NoArgFn)(object) == S_OK);                    /* DestroyAll */

  void *dispatch = NULL;
  CHECK(METHOD(object, 0, QueryFn)(object, pIID_IDispatch, &dispatch) == S_OK && dispatch == object);
  CHECK(METHOD(object, 2, RefFn)(object) == 1);
  CHECK(METHOD(object, 2, RefFn)(object) == 0);
  CHECK(pDllCanUnloadNow() == S_OK);

  printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
