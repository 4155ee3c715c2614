/*
 * Morphel: the public interface of the Images component.
 *
 * A host gets the class factory with DllGetClassObject(CLSID_Images,
 * IID_IClassFactory, ...), creates an object with CreateInstance(nullptr,
 * IID_IImages, ...) and calls the 75 operations of IImages through its vtable
 * (or by name through IDispatch). Every operation returns an HRESULT status;
 * results come back through the last, [out, retval] parameter.
 */
#ifndef MORPHEL_MORPHEL_H
#define MORPHEL_MORPHEL_H

#include "morphel/automation.h"
#include "morphel/field.h"
#include "morphel/operations.h"


/* The three identifiers, chosen once and never changed. */
/* {9A77BC89-042C-40AB-B0B9-60819F5CDABF} */
#define MORPHEL_CLSID_IMAGES_TEXT "9A77BC89-042C-40AB-B0B9-60819F5CDABF"
/* {1DFA3D05-66CE-4B0F-A467-326C1E3A0135} */
#define MORPHEL_IID_IIMAGES_TEXT "1DFA3D05-66CE-4B0F-A467-326C1E3A0135"
/* {7FE78370-A78D-4324-9935-F43ECBF71709} */
#define MORPHEL_LIBID_TEXT "7FE78370-A78D-4324-9935-F43ECBF71709"

MORPHEL_API_DATA const CLSID CLSID_Images;
MORPHEL_API_DATA const IID IID_IImages;
MORPHEL_API_DATA const GUID LIBID_MORPHELLib;

#if defined(__cplusplus)
/* IImages: IUnknown, IDispatch, then the 75 operations in dispatch-identifier order. */
#define P_IN MORPHEL_DECLARE_P_IN
#define P_INREF MORPHEL_DECLARE_P_INREF
#define P_OUT MORPHEL_DECLARE_P_OUT
#define MORPHEL_DECLARE_PURE(id, name, params) virtual HRESULT STDMETHODCALLTYPE name params = 0;
struct IImages : public IDispatch {
  MORPHEL_OPERATIONS(MORPHEL_DECLARE_PURE)
};
#undef MORPHEL_DECLARE_PURE
#undef P_IN
#undef P_INREF
#undef P_OUT
#endif

/* The in-process server's entry points. */
#if !defined(_WIN32)
MORPHEL_API HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void **ppv);
MORPHEL_API HRESULT DllCanUnloadNow(void);

/* A field object over one value of a SQLite database: the column of the row
 * with the given rowid in the table (UTF-8 names, the database file must
 * exist). It answers IUnknown, IDispatch (by name: ActualSize, GetChunk,
 * AppendChunk, Name, Value) and the field interface of morphel/field.h, so it
 * can be handed to WriteToDatabase and ReadFromDatabase. GetChunk reads on from
 * where the last one stopped and gives VT_NULL for a null value or when nothing
 * is left (so one object serves one ReadFromDatabase; a write starts reading
 * over); the first AppendChunk replaces the value and later ones append;
 * every write is committed before the call returns. A locked database is
 * waited for up to five seconds. A missing database, table, column or row
 * fails with E_FAIL and error information saying which. The caller releases
 * the object. */
MORPHEL_API HRESULT MorphelOpenSqliteField(const char *database, const char *table,
                                           const char *column, long long rowId,
                                           IDispatch **field);
#endif

#endif /* MORPHEL_MORPHEL_H */
