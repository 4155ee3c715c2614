/* Compiled calls by name: the argument variants built, IDispatch::Invoke called
 * and the result read in C, with the conversion rules of _automation.py.
 *
 * Names are still resolved by the object (GetIDsOfNames, from _dispatch.py,
 * once per spelling); this module only keeps the identifiers it was given.
 * It links against nothing of the library: the automation-value functions are
 * the ones the ctypes side loaded, handed over by configure(). Calls keep the
 * interpreter's lock: an object is called by one thread at a time, as its
 * apartment rule asks, even when Python threads share it. */
#define PY_SSIZE_T_CLEAN
#include <Python.h>
#include <structmember.h>

#include "morphel/automation.h"

/* ---- The library's functions, given by configure() -------------------------- */

static struct {
  BSTR (*SysAllocStringLen)(const OLECHAR *, UINT);
  BSTR (*SysAllocStringByteLen)(const char *, UINT);
  UINT (*SysStringLen)(BSTR);
  UINT (*SysStringByteLen)(BSTR);
  void (*SysFreeString)(BSTR);
  HRESULT (*VariantClear)(VARIANT *);
  SAFEARRAY *(*SafeArrayCreateVector)(VARTYPE, LONG, ULONG);
  HRESULT (*SafeArrayPutElement)(SAFEARRAY *, LONG *, void *);
  UINT (*SafeArrayGetDim)(SAFEARRAY *);
  HRESULT (*SafeArrayAccessData)(SAFEARRAY *, void **);
  HRESULT (*SafeArrayUnaccessData)(SAFEARRAY *);
  HRESULT (*SafeArrayDestroy)(SAFEARRAY *);
} lib;

static const char *const kFunctionNames[] = {
    "SysAllocStringLen",   "SysAllocStringByteLen", "SysStringLen",
    "SysStringByteLen",    "SysFreeString",         "VariantClear",
    "SafeArrayCreateVector", "SafeArrayPutElement", "SafeArrayGetDim",
    "SafeArrayAccessData", "SafeArrayUnaccessData", "SafeArrayDestroy"};
#define FUNCTION_COUNT (sizeof kFunctionNames / sizeof kFunctionNames[0])

/* Python objects the calls need: the error class, the warning class, the
 * Sequence ABC, the wrapper of returned objects and the docstring source. */
static PyObject *error_class, *warning_class, *sequence_class, *wrap_dispatch, *doc_source;
static PyObject *str_dispatch_pointer, *str_positional, *str_bind;

/* ---- IDispatch through its vtable ------------------------------------------ */

typedef HRESULT (*InvokeFn)(void *, DISPID, const GUID *, LCID, WORD, DISPPARAMS *, VARIANT *,
                            EXCEPINFO *, UINT *);
typedef ULONG (*AddRefFn)(void *);
static const GUID null_guid;

static void *vtable_slot(void *object, int slot) { return (*(void ***)object)[slot]; }

static PyObject *method_vectorcall(PyObject *callable, PyObject *const *args, size_t nargsf,
                                   PyObject *kwnames);

/* ---- Python values to variants ---------------------------------------------- */

static int fill_variant(VARIANT *variant, PyObject *value);

static int fill_text(VARIANT *variant, PyObject *text) {
  PyObject *units = PyUnicode_AsEncodedString(text, "utf-16-le", "surrogatepass");
  if (units == NULL) return -1;
  Py_ssize_t size = PyBytes_GET_SIZE(units);
  if (size / 2 > 0x3FFFFFFF) {
    Py_DECREF(units);
    PyErr_SetString(PyExc_MemoryError, "no memory for an automation string");
    return -1;
  }
  BSTR made = lib.SysAllocStringLen((const OLECHAR *)PyBytes_AS_STRING(units), (UINT)(size / 2));
  Py_DECREF(units);
  if (made == NULL && size > 0) {
    PyErr_SetString(PyExc_MemoryError, "no memory for an automation string");
    return -1;
  }
  V_VT(variant) = VT_BSTR;
  V_BSTR(variant) = made;
  return 0;
}

static int fill_bytes(VARIANT *variant, PyObject *data) {
  Py_buffer view;
  if (PyObject_GetBuffer(data, &view, PyBUF_SIMPLE) < 0) {
    /* a strided memoryview: its bytes in order, as bytes() gives them */
    PyErr_Clear();
    PyObject *copy = PyBytes_FromObject(data);
    if (copy == NULL) return -1;
    int status = fill_bytes(variant, copy);
    Py_DECREF(copy);
    return status;
  }
  BSTR made = view.len <= 0x7FFFFFFF
                  ? lib.SysAllocStringByteLen((const char *)view.buf, (UINT)view.len)
                  : NULL;
  PyBuffer_Release(&view);
  if (made == NULL) {
    PyErr_SetString(PyExc_MemoryError, "no memory for an automation string");
    return -1;
  }
  V_VT(variant) = VT_BSTR;
  V_BSTR(variant) = made;
  return 0;
}

static int fill_int(VARIANT *variant, PyObject *value) {
  int overflow = 0;
  long long number = PyLong_AsLongLongAndOverflow(value, &overflow);
  if (overflow != 0) {
    PyErr_Format(PyExc_OverflowError, "%S does not fit in a 64-bit integer", value);
    return -1;
  }
  if (number == -1 && PyErr_Occurred()) return -1;
  if (number >= INT32_MIN && number <= INT32_MAX) {
    V_VT(variant) = VT_I4;
    V_I4(variant) = (LONG)number;
  } else {
    V_VT(variant) = VT_I8; /* the operation reports the overflow */
    V_I8(variant) = number;
  }
  return 0;
}

static int fill_dispatch(VARIANT *variant, PyObject *value, PyObject *get_pointer) {
  PyObject *address = PyObject_CallNoArgs(get_pointer);
  if (address == NULL) return -1;
  void *pointer = PyLong_AsVoidPtr(address);
  Py_DECREF(address);
  if (pointer == NULL) {
    if (!PyErr_Occurred()) PyErr_Format(PyExc_ValueError, "%R has no object", value);
    return -1;
  }
  ((AddRefFn)vtable_slot(pointer, 1))(pointer);
  V_VT(variant) = VT_DISPATCH;
  V_DISPATCH(variant) = (IDispatch *)pointer;
  return 0;
}

static int fill_array(VARIANT *variant, PyObject *items) {
  PyObject *fast = PySequence_Fast(items, "a sequence");
  if (fast == NULL) return -1;
  Py_ssize_t count = PySequence_Fast_GET_SIZE(fast);
  SAFEARRAY *array = lib.SafeArrayCreateVector(VT_VARIANT, 0, (ULONG)count);
  if (array == NULL) {
    Py_DECREF(fast);
    PyErr_SetString(PyExc_MemoryError, "no memory for a safe array");
    return -1;
  }
  for (Py_ssize_t i = 0; i < count; ++i) {
    VARIANT element;
    memset(&element, 0, sizeof element);
    if (fill_variant(&element, PySequence_Fast_GET_ITEM(fast, i)) < 0) goto failed;
    LONG index = (LONG)i;
    HRESULT stored = lib.SafeArrayPutElement(array, &index, &element);
    lib.VariantClear(&element);
    if (stored < 0) {
      PyErr_Format(PyExc_MemoryError, "cannot store element %zd of a safe array", i);
      goto failed;
    }
  }
  Py_DECREF(fast);
  V_VT(variant) = VT_ARRAY | VT_VARIANT;
  V_ARRAY(variant) = array;
  return 0;
failed:
  lib.SafeArrayDestroy(array);
  Py_DECREF(fast);
  return -1;
}

/* The order of the checks is the order of _automation.fill_variant. */
static int fill_variant(VARIANT *variant, PyObject *value) {
  if (value == Py_None) {
    V_VT(variant) = VT_EMPTY;
    return 0;
  }
  if (PyBool_Check(value)) {
    V_VT(variant) = VT_BOOL;
    V_BOOL(variant) = value == Py_True ? VARIANT_TRUE : 0;
    return 0;
  }
  if (PyLong_Check(value)) return fill_int(variant, value);
  if (PyFloat_Check(value)) {
    V_VT(variant) = VT_R8;
    V_R8(variant) = PyFloat_AS_DOUBLE(value);
    return 0;
  }
  if (PyUnicode_Check(value)) return fill_text(variant, value);
  if (PyBytes_Check(value) || PyByteArray_Check(value) || PyMemoryView_Check(value)) {
    return fill_bytes(variant, value);
  }
  PyObject *get_pointer = PyObject_GetAttr(value, str_dispatch_pointer);
  if (get_pointer != NULL) {
    int status = fill_dispatch(variant, value, get_pointer);
    Py_DECREF(get_pointer);
    return status;
  }
  if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return -1;
  PyErr_Clear();
  int is_sequence = PyObject_IsInstance(value, sequence_class);
  if (is_sequence < 0) return -1;
  if (is_sequence) {
    if (Py_EnterRecursiveCall(" while converting a nested sequence")) return -1;
    int status = fill_array(variant, value);
    Py_LeaveRecursiveCall();
    return status;
  }
  PyErr_Format(PyExc_TypeError, "cannot pass a %s to the component", Py_TYPE(value)->tp_name);
  return -1;
}

/* ---- Variants to Python values ------------------------------------------------ */

static PyObject *to_python(VARIANT *variant, PyObject *wrap, int strings_as_bytes);

static PyObject *text_of_bstr(BSTR text) {
  if (text == NULL) return PyUnicode_FromStringAndSize("", 0);
  return PyUnicode_DecodeUTF16((const char *)text, 2 * (Py_ssize_t)lib.SysStringLen(text),
                               "replace", &(int){-1});
}

static PyObject *bytes_of_bstr(BSTR text) {
  if (text == NULL) return PyBytes_FromStringAndSize("", 0);
  return PyBytes_FromStringAndSize((const char *)text, lib.SysStringByteLen(text));
}

/* A scalar of type vt at address, or NULL without an exception when vt is none. */
static PyObject *scalar(VARTYPE vt, const void *at) {
  switch (vt) {
    case VT_I1: return PyLong_FromLong(*(const signed char *)at);
    case VT_UI1: return PyLong_FromLong(*(const unsigned char *)at);
    case VT_I2: return PyLong_FromLong(*(const int16_t *)at);
    case VT_UI2: return PyLong_FromLong(*(const uint16_t *)at);
    case VT_I4:
    case VT_INT: return PyLong_FromLong(*(const int32_t *)at);
    case VT_UI4:
    case VT_UINT: return PyLong_FromUnsignedLong(*(const uint32_t *)at);
    case VT_I8: return PyLong_FromLongLong(*(const int64_t *)at);
    case VT_UI8: return PyLong_FromUnsignedLongLong(*(const uint64_t *)at);
    case VT_R4: return PyFloat_FromDouble(*(const float *)at);
    case VT_R8: return PyFloat_FromDouble(*(const double *)at);
    default: return NULL;
  }
}

static int is_scalar_type(VARTYPE vt) {
  return vt == VT_I1 || vt == VT_UI1 || vt == VT_I2 || vt == VT_UI2 || vt == VT_I4 ||
         vt == VT_INT || vt == VT_UI4 || vt == VT_UINT || vt == VT_I8 || vt == VT_UI8 ||
         vt == VT_R4 || vt == VT_R8;
}

static PyObject *array_to_list(SAFEARRAY *array, VARTYPE vt, int strings_as_bytes) {
  if (array == NULL || lib.SafeArrayGetDim(array) != 1) {
    PyErr_SetString(PyExc_TypeError, "only one-dimensional arrays are converted");
    return NULL;
  }
  if (vt != VT_VARIANT && !is_scalar_type(vt)) {
    PyErr_Format(PyExc_TypeError, "cannot convert an array of variant type %d", (int)vt);
    return NULL;
  }
  void *data = NULL;
  if (lib.SafeArrayAccessData(array, &data) < 0) {
    PyErr_SetString(PyExc_TypeError, "the array cannot be read");
    return NULL;
  }
  Py_ssize_t count = array->rgsabound[0].cElements;
  PyObject *list = PyList_New(count);
  for (Py_ssize_t i = 0; list != NULL && i < count; ++i) {
    const char *at = (const char *)data + i * (Py_ssize_t)array->cbElements;
    PyObject *item = vt == VT_VARIANT ? to_python((VARIANT *)at, NULL, strings_as_bytes)
                                      : scalar(vt, at);
    if (item == NULL) Py_CLEAR(list);
    else PyList_SET_ITEM(list, i, item);
  }
  lib.SafeArrayUnaccessData(array);
  return list;
}

static PyObject *to_python(VARIANT *variant, PyObject *wrap, int strings_as_bytes) {
  VARTYPE vt = V_VT(variant);
  if (vt == VT_EMPTY || vt == VT_NULL) Py_RETURN_NONE;
  if (vt == VT_BOOL) return PyBool_FromLong(V_BOOL(variant) != 0);
  if (vt == VT_BSTR) {
    return strings_as_bytes ? bytes_of_bstr(V_BSTR(variant)) : text_of_bstr(V_BSTR(variant));
  }
  if (is_scalar_type(vt)) return scalar(vt, &V_I8(variant));
  if ((vt & VT_ARRAY) && !(vt & VT_BYREF)) {
    return array_to_list(V_ARRAY(variant), (VARTYPE)(vt & ~VT_ARRAY), strings_as_bytes);
  }
  if (vt == VT_DISPATCH && wrap != NULL && wrap != Py_None) {
    if (V_DISPATCH(variant) == NULL) Py_RETURN_NONE;
    return PyObject_CallFunction(wrap, "N", PyLong_FromVoidPtr(V_DISPATCH(variant)));
  }
  PyErr_Format(PyExc_TypeError, "cannot convert a variant of type %#x", (unsigned)vt);
  return NULL;
}

/* ---- Objects reached by name ---------------------------------------------------- */

/* The base of _dispatch.Dispatch: the interface pointer, the identifiers of the
 * names resolved so far, and attribute access that answers a known spelling
 * without leaving C. */
typedef struct {
  PyObject_HEAD
  void *pointer;        /* IDispatch*, one reference owned by the Python side */
  PyObject *ids;        /* spelling -> dispatch identifier */
  int strings_as_bytes; /* the class's _strings_as_bytes */
} ObjectData;

typedef struct {
  PyObject_HEAD
  ObjectData *owner;
  PyObject *name;
  PyObject *doc; /* NULL: taken from the docstring source when asked */
  DISPID dispid;
  vectorcallfunc vectorcall;
} MethodData;

static PyTypeObject ObjectType, MethodType;

static PyObject *new_method(ObjectData *owner, PyObject *name, DISPID dispid) {
  MethodData *method = PyObject_GC_New(MethodData, &MethodType);
  if (method == NULL) return NULL;
  Py_INCREF(owner);
  Py_INCREF(name);
  method->owner = owner;
  method->name = name;
  method->doc = NULL;
  method->dispid = dispid;
  method->vectorcall = method_vectorcall;
  PyObject_GC_Track(method);
  return (PyObject *)method;
}

static PyObject *object_new(PyTypeObject *type, PyObject *args, PyObject *kwargs) {
  (void)args, (void)kwargs;
  ObjectData *self = (ObjectData *)type->tp_alloc(type, 0);
  if (self == NULL) return NULL;
  PyObject *flag = PyObject_GetAttrString((PyObject *)type, "_strings_as_bytes");
  if (flag == NULL) {
    PyErr_Clear();
  } else {
    self->strings_as_bytes = PyObject_IsTrue(flag) == 1;
    Py_DECREF(flag);
  }
  return (PyObject *)self;
}

static void object_dealloc(ObjectData *self) {
  Py_CLEAR(self->ids);
  Py_TYPE(self)->tp_free((PyObject *)self);
}

/* A spelling resolved before gives a new callable at once; anything else is a
 * plain attribute, and a miss goes to the class's _bind (which resolves it). */
static PyObject *object_getattro(ObjectData *self, PyObject *name) {
  if (self->ids != NULL && PyDict_CheckExact(self->ids)) {
    PyObject *dispid = PyDict_GetItemWithError(self->ids, name);
    if (dispid != NULL) {
      long id = PyLong_AsLong(dispid);
      return id == -1 && PyErr_Occurred() ? NULL : new_method(self, name, (DISPID)id);
    }
    if (PyErr_Occurred()) return NULL;
  }
  PyObject *found = PyObject_GenericGetAttr((PyObject *)self, name);
  if (found != NULL || !PyErr_ExceptionMatches(PyExc_AttributeError)) return found;
  if (PyUnicode_Check(name) && PyUnicode_GET_LENGTH(name) > 0 &&
      PyUnicode_READ_CHAR(name, 0) == '_') {
    return NULL;
  }
  PyErr_Clear();
  return PyObject_CallMethodOneArg((PyObject *)self, str_bind, name);
}

static PyObject *object_get_pointer(ObjectData *self, void *closure) {
  (void)closure;
  if (self->pointer == NULL) Py_RETURN_NONE;
  return PyLong_FromVoidPtr(self->pointer);
}

static int object_set_pointer(ObjectData *self, PyObject *value, void *closure) {
  (void)closure;
  if (value == NULL || value == Py_None) {
    self->pointer = NULL;
    return 0;
  }
  void *pointer = PyLong_AsVoidPtr(value);
  if (pointer == NULL && PyErr_Occurred()) return -1;
  self->pointer = pointer;
  return 0;
}

static PyGetSetDef object_getset[] = {
    {"_pointer", (getter)object_get_pointer, (setter)object_set_pointer,
     "the IDispatch pointer's address, None once released", NULL},
    {NULL, NULL, NULL, NULL, NULL}};

static PyMemberDef object_members[] = {
    {"_ids", T_OBJECT, offsetof(ObjectData, ids), 0, "dispatch identifiers by spelling"},
    {NULL, 0, 0, 0, NULL}};

static PyObject *object_method(ObjectData *self, PyObject *args) {
  PyObject *name;
  int dispid;
  if (!PyArg_ParseTuple(args, "Ui", &name, &dispid)) return NULL;
  return new_method(self, name, dispid);
}

static PyMethodDef object_methods[] = {
    {"_method", (PyCFunction)object_method, METH_VARARGS,
     "_method(name, dispid): the callable that invokes dispid as name"},
    {NULL, NULL, 0, NULL}};

static PyTypeObject ObjectType = {
    PyVarObject_HEAD_INIT(NULL, 0)
    .tp_name = "morphel._fast.Object",
    .tp_basicsize = sizeof(ObjectData),
    .tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE,
    .tp_doc = "An automation object's pointer and resolved names, for calls made in C.",
    .tp_new = object_new,
    .tp_dealloc = (destructor)object_dealloc,
    .tp_getattro = (getattrofunc)object_getattro,
    .tp_getset = object_getset,
    .tp_members = object_members,
    .tp_methods = object_methods,
};

/* ---- Calls ------------------------------------------------------------------ */

static void raise_error(HRESULT status, PyObject *source, PyObject *description,
                        PyObject *operation, PyObject *argument) {
  PyObject *error = PyObject_CallFunction(error_class, "kOOOO", (unsigned long)(uint32_t)status,
                                          source, description, operation, argument);
  if (error != NULL) {
    PyErr_SetObject((PyObject *)Py_TYPE(error), error);
    Py_DECREF(error);
  }
}

static void raise_exception_record(EXCEPINFO *record, PyObject *operation) {
  PyObject *source = text_of_bstr(record->bstrSource);
  PyObject *description = text_of_bstr(record->bstrDescription);
  lib.SysFreeString(record->bstrSource);
  lib.SysFreeString(record->bstrDescription);
  lib.SysFreeString(record->bstrHelpFile);
  if (source != NULL && description != NULL) {
    raise_error(record->scode, source, description, operation, Py_None);
  }
  Py_XDECREF(source);
  Py_XDECREF(description);
}

static PyObject *finish_call(MethodData *self, HRESULT status, VARIANT *result,
                             EXCEPINFO *record, UINT arg_err, Py_ssize_t count) {
  if (status == DISP_E_EXCEPTION) {
    raise_exception_record(record, self->name);
    return NULL;
  }
  if (status < 0) {
    PyObject *argument = status == DISP_E_TYPEMISMATCH || status == DISP_E_OVERFLOW
                             ? PyLong_FromSsize_t(count - (Py_ssize_t)arg_err)
                             : Py_NewRef(Py_None);
    PyObject *empty = PyUnicode_FromStringAndSize("", 0);
    if (argument != NULL && empty != NULL) raise_error(status, empty, empty, self->name, argument);
    Py_XDECREF(argument);
    Py_XDECREF(empty);
    return NULL;
  }
  if (status == S_FALSE &&
      PyErr_WarnFormat(warning_class, 1,
                       "%U: a string did not convert to the narrow code page; nothing was done",
                       self->name) < 0) {
    return NULL;
  }
  return to_python(result, wrap_dispatch, self->owner->strings_as_bytes);
}

/* Keyword arguments placed by the object's parameter names (through
 * Dispatch._positional): all the arguments in parameter order, as a tuple. */
static PyObject *ordered_arguments(MethodData *self, PyObject *const *args, Py_ssize_t positional,
                                   PyObject *kwnames) {
  PyObject *tuple = PyTuple_New(positional);
  PyObject *keywords = PyDict_New();
  PyObject *ordered = NULL;
  if (tuple == NULL || keywords == NULL) goto done;
  for (Py_ssize_t i = 0; i < positional; ++i) PyTuple_SET_ITEM(tuple, i, Py_NewRef(args[i]));
  for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(kwnames); ++i) {
    if (PyDict_SetItem(keywords, PyTuple_GET_ITEM(kwnames, i), args[positional + i]) < 0) goto done;
  }
  PyObject *list = PyObject_CallMethodObjArgs((PyObject *)self->owner, str_positional, self->name,
                                              tuple, keywords, NULL);
  if (list != NULL) ordered = PySequence_Tuple(list);
  Py_XDECREF(list);
done:
  Py_XDECREF(tuple);
  Py_XDECREF(keywords);
  return ordered;
}

static PyObject *invoke(MethodData *self, void *pointer, PyObject *const *values,
                        Py_ssize_t count) {
  VARIANT fixed[12], *rgvarg = fixed;
  if (count > 12 && (rgvarg = PyMem_Calloc((size_t)count, sizeof(VARIANT))) == NULL) {
    return PyErr_NoMemory();
  }
  if (rgvarg == fixed) memset(fixed, 0, sizeof fixed);
  PyObject *outcome = NULL;
  Py_ssize_t filled = 0;
  for (; filled < count; ++filled) { /* last argument first */
    if (fill_variant(&rgvarg[filled], values[count - 1 - filled]) < 0) goto done;
  }
  DISPPARAMS params = {rgvarg, NULL, (UINT)count, 0};
  VARIANT result;
  EXCEPINFO record;
  UINT arg_err = 0;
  memset(&result, 0, sizeof result);
  memset(&record, 0, sizeof record);
  HRESULT status = ((InvokeFn)vtable_slot(pointer, 6))(pointer, self->dispid, &null_guid, 0,
                                                        DISPATCH_METHOD, &params, &result,
                                                        &record, &arg_err);
  outcome = finish_call(self, status, &result, &record, arg_err, count);
  lib.VariantClear(&result);
done:
  for (Py_ssize_t i = 0; i < filled; ++i) lib.VariantClear(&rgvarg[i]);
  if (rgvarg != fixed) PyMem_Free(rgvarg);
  return outcome;
}

static PyObject *method_vectorcall(PyObject *callable, PyObject *const *args, size_t nargsf,
                                   PyObject *kwnames) {
  MethodData *self = (MethodData *)callable;
  void *pointer = self->owner->pointer;
  if (pointer == NULL) { /* released: the class raises its own error */
    PyObject *none = PyObject_CallMethodNoArgs((PyObject *)self->owner, str_dispatch_pointer);
    Py_XDECREF(none);
    if (none != NULL) PyErr_SetString(PyExc_ValueError, "operation on a released object");
    return NULL;
  }
  Py_ssize_t count = PyVectorcall_NARGS(nargsf);
  if (kwnames == NULL || PyTuple_GET_SIZE(kwnames) == 0) return invoke(self, pointer, args, count);
  PyObject *ordered = ordered_arguments(self, args, count, kwnames);
  if (ordered == NULL) return NULL;
  PyObject *outcome = invoke(self, pointer, ((PyTupleObject *)ordered)->ob_item,
                             PyTuple_GET_SIZE(ordered));
  Py_DECREF(ordered);
  return outcome;
}

static int method_traverse(MethodData *self, visitproc visit, void *arg) {
  Py_VISIT(self->owner);
  Py_VISIT(self->doc);
  return 0;
}

static int method_clear(MethodData *self) {
  Py_CLEAR(self->doc);
  return 0;
}

static void method_dealloc(MethodData *self) {
  PyObject_GC_UnTrack(self);
  Py_DECREF(self->owner);
  Py_DECREF(self->name);
  Py_XDECREF(self->doc);
  PyObject_GC_Del(self);
}

static PyObject *method_get_name(MethodData *self, void *closure) {
  (void)closure;
  return Py_NewRef(self->name);
}

/* The docstring is looked up when asked, so calls pay nothing for it. */
static PyObject *method_get_doc(MethodData *self, void *closure) {
  (void)closure;
  if (self->doc != NULL) return Py_NewRef(self->doc);
  if (doc_source == NULL || doc_source == Py_None) Py_RETURN_NONE;
  return PyObject_CallOneArg(doc_source, self->name);
}

static int method_set_doc(MethodData *self, PyObject *value, void *closure) {
  (void)closure;
  Py_XINCREF(value);
  Py_XSETREF(self->doc, value);
  return 0;
}

static PyObject *method_repr(MethodData *self) {
  return PyUnicode_FromFormat("<operation %U of %R>", self->name, (PyObject *)self->owner);
}

static PyGetSetDef method_getset[] = {
    {"__name__", (getter)method_get_name, NULL, NULL, NULL},
    {"__qualname__", (getter)method_get_name, NULL, NULL, NULL},
    {"__doc__", (getter)method_get_doc, (setter)method_set_doc, NULL, NULL},
    {NULL, NULL, NULL, NULL, NULL}};

static PyMemberDef method_members[] = {
    {"__self__", T_OBJECT, offsetof(MethodData, owner), READONLY, NULL},
    {"dispid", T_INT, offsetof(MethodData, dispid), READONLY, "the dispatch identifier"},
    {NULL, 0, 0, 0, NULL}};

static PyTypeObject MethodType = {
    PyVarObject_HEAD_INIT(NULL, 0)
    .tp_name = "morphel._fast.Method",
    .tp_basicsize = sizeof(MethodData),
    .tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_VECTORCALL | Py_TPFLAGS_HAVE_GC,
    .tp_traverse = (traverseproc)method_traverse,
    .tp_clear = (inquiry)method_clear,
    .tp_vectorcall_offset = offsetof(MethodData, vectorcall),
    .tp_call = PyVectorcall_Call,
    .tp_dealloc = (destructor)method_dealloc,
    .tp_repr = (reprfunc)method_repr,
    .tp_getset = method_getset,
    .tp_members = method_members,
};

/* ---- Module functions --------------------------------------------------------- */

static PyObject *configure(PyObject *module, PyObject *args) {
  (void)module;
  PyObject *addresses;
  if (!PyArg_ParseTuple(args, "O!OOOOO", &PyDict_Type, &addresses, &error_class, &warning_class,
                        &sequence_class, &wrap_dispatch, &doc_source)) {
    return NULL;
  }
  void **slots = (void **)&lib;
  for (size_t i = 0; i < FUNCTION_COUNT; ++i) {
    PyObject *address = PyDict_GetItemString(addresses, kFunctionNames[i]);
    void *function = address != NULL ? PyLong_AsVoidPtr(address) : NULL;
    if (function == NULL) {
      if (!PyErr_Occurred()) PyErr_Format(PyExc_KeyError, "no address of %s", kFunctionNames[i]);
      return NULL;
    }
    slots[i] = function;
  }
  PyObject *held[] = {error_class, warning_class, sequence_class, wrap_dispatch, doc_source};
  for (size_t i = 0; i < sizeof held / sizeof held[0]; ++i) Py_INCREF(held[i]);
  Py_RETURN_NONE;
}

static PyObject *variant_at(PyObject *address, VARIANT **variant) {
  *variant = PyLong_AsVoidPtr(address);
  return *variant == NULL && !PyErr_Occurred()
             ? (PyErr_SetString(PyExc_ValueError, "no variant"), NULL)
             : (PyErr_Occurred() ? NULL : Py_None);
}

static PyObject *py_fill_variant(PyObject *module, PyObject *args) {
  (void)module;
  PyObject *address, *value;
  VARIANT *variant;
  if (!PyArg_ParseTuple(args, "OO", &address, &value) || !variant_at(address, &variant)) {
    return NULL;
  }
  if (fill_variant(variant, value) < 0) return NULL;
  Py_RETURN_NONE;
}

static PyObject *py_to_python(PyObject *module, PyObject *args) {
  (void)module;
  PyObject *address, *wrap;
  int strings_as_bytes;
  VARIANT *variant;
  if (!PyArg_ParseTuple(args, "OOp", &address, &wrap, &strings_as_bytes) ||
      !variant_at(address, &variant)) {
    return NULL;
  }
  return to_python(variant, wrap, strings_as_bytes);
}

/* A bytearray whose bytes are not cleared first: for buffers that are
 * overwritten whole (bytearray(n) would write every byte twice). */
static PyObject *uninitialised_bytearray(PyObject *module, PyObject *arg) {
  (void)module;
  Py_ssize_t size = PyLong_AsSsize_t(arg);
  if (size < 0) {
    if (!PyErr_Occurred()) PyErr_SetString(PyExc_ValueError, "negative size");
    return NULL;
  }
  return PyByteArray_FromStringAndSize(NULL, size);
}

static PyMethodDef module_functions[] = {
    {"uninitialised_bytearray", uninitialised_bytearray, METH_O,
     "uninitialised_bytearray(size): a bytearray of size bytes, not cleared"},
    {"configure", configure, METH_VARARGS,
     "configure(addresses, Error, ConversionWarning, Sequence, wrap_dispatch, doc): the "
     "library's automation-value functions by name, and the Python side's classes"},
    {"fill_variant", py_fill_variant, METH_VARARGS,
     "fill_variant(address, value): makes the empty VARIANT at address hold value"},
    {"to_python", py_to_python, METH_VARARGS,
     "to_python(address, wrap_dispatch, strings_as_bytes): the value of the VARIANT at address"},
    {NULL, NULL, 0, NULL}};

static struct PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT, "morphel._fast",
    "Calls by name through IDispatch::Invoke, with the argument and result conversions in C.",
    -1, module_functions, NULL, NULL, NULL, NULL};

PyMODINIT_FUNC PyInit__fast(void) {
  if (PyType_Ready(&ObjectType) < 0 || PyType_Ready(&MethodType) < 0) return NULL;
  str_dispatch_pointer = PyUnicode_InternFromString("_dispatch_pointer");
  str_positional = PyUnicode_InternFromString("_positional");
  str_bind = PyUnicode_InternFromString("_bind");
  if (str_dispatch_pointer == NULL || str_positional == NULL || str_bind == NULL) return NULL;
  PyObject *module = PyModule_Create(&module_definition);
  if (module == NULL) return NULL;
  if (PyModule_AddObjectRef(module, "Object", (PyObject *)&ObjectType) < 0 ||
      PyModule_AddObjectRef(module, "Method", (PyObject *)&MethodType) < 0) {
    Py_DECREF(module);
    return NULL;
  }
  return module;
}
