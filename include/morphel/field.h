/*
 * The database field interface that WriteToDatabase and ReadFromDatabase call.
 *
 * A host hands the two operations a field object of its database library in a
 * VARIANT (VT_DISPATCH or VT_UNKNOWN, also by reference). The component asks it
 * for the ADO Field interface and calls ActualSize, GetChunk and AppendChunk
 * through its vtable, never by name. The slots below are in the platform's
 * order: IUnknown 0-2, IDispatch 3-6, then the field's own members.
 *
 * Lengths are 32-bit, except the ActualSize and DefinedSize values of 64-bit
 * Windows, where the platform passes them pointer-sized for this interface.
 */
#ifndef MORPHEL_FIELD_H
#define MORPHEL_FIELD_H

#include "morphel/automation.h"

/* {00000569-0000-0010-8000-00AA006D2EA4}: Field; {0000054C-...}: Field20. */
MORPHEL_API_DATA const IID IID_AdoField;
MORPHEL_API_DATA const IID IID_AdoField20;

/* 64-bit Windows fields write 8 bytes through get_ActualSize; a 4-byte
 * variable there would be overrun. */
#if defined(_WIN64)
typedef LONGLONG FieldLength;
#else
typedef LONG FieldLength;
#endif

/* The vtable slots a C or ctypes host calls. */
enum FieldSlot {
  FIELD_SLOT_GET_ACTUAL_SIZE = 8,
  FIELD_SLOT_GET_NAME = 11,
  FIELD_SLOT_GET_VALUE = 13,
  FIELD_SLOT_PUT_VALUE = 14,
  FIELD_SLOT_APPEND_CHUNK = 17,
  FIELD_SLOT_GET_CHUNK = 18,
  FIELD_SLOT_GET_STATUS = 28
};

#if defined(__cplusplus)
struct IAdoField20 : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_Properties(IDispatch **properties) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ActualSize(FieldLength *size) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Attributes(LONG *attributes) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DefinedSize(FieldLength *size) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR *name) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Type(INT *dataType) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Value(VARIANT *value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Value(VARIANT value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Precision(BYTE *precision) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_NumericScale(BYTE *scale) = 0;
  virtual HRESULT STDMETHODCALLTYPE AppendChunk(VARIANT data) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetChunk(LONG length, VARIANT *chunk) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_OriginalValue(VARIANT *value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_UnderlyingValue(VARIANT *value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DataFormat(IUnknown **format) = 0;
  virtual HRESULT STDMETHODCALLTYPE putref_DataFormat(IUnknown *format) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Precision(BYTE precision) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_NumericScale(BYTE scale) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Type(INT dataType) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_DefinedSize(FieldLength size) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Attributes(LONG attributes) = 0;
};

struct IAdoField : public IAdoField20 {
  virtual HRESULT STDMETHODCALLTYPE get_Status(LONG *status) = 0;
};

/* A base for a host's own field objects: every field member answers E_NOTIMPL
 * until overridden; IUnknown and IDispatch are left to the object. */
struct AdoFieldBase : public IAdoField {
  HRESULT STDMETHODCALLTYPE get_Properties(IDispatch **) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ActualSize(FieldLength *) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Attributes(LONG *) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_DefinedSize(FieldLength *) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Name(BSTR *) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Type(INT *) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Value(VARIANT *) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Value(VARIANT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Precision(BYTE *) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_NumericScale(BYTE *) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE AppendChunk(VARIANT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetChunk(LONG, VARIANT *) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_OriginalValue(VARIANT *) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_UnderlyingValue(VARIANT *) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_DataFormat(IUnknown **) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE putref_DataFormat(IUnknown *) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Precision(BYTE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_NumericScale(BYTE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Type(INT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_DefinedSize(FieldLength) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Attributes(LONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Status(LONG *) override { return E_NOTIMPL; }
};
#endif

#endif /* MORPHEL_FIELD_H */
