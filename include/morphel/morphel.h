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

/* The raw pixel exchange: the image of an Images object's current slot copied
 * to or from a caller's buffer without encoding, for hosts that hand pictures
 * to other libraries. `images` is an interface pointer of an Images object of
 * this library (IImages, IDispatch or IUnknown); the caller keeps its
 * reference. Row y of the buffer starts at pixels + y * stride (stride in
 * bytes, at least width times the layout's bytes a pixel).
 *
 * Layouts:
 *   MORPHEL_PIXELS_RGBA   4 bytes a pixel: red, green, blue, alpha (255 opaque).
 *   MORPHEL_PIXELS_RGBX   4 bytes a pixel: red, green, blue and a byte that is
 *                         ignored when read from the caller (the pixel is
 *                         opaque) and written as 255.
 *   MORPHEL_PIXELS_INDEX  1 byte a pixel: a palette index (palette images).
 * Alpha is 7 bits inside (0 opaque, 127 transparent) and 8 bits here, mapped
 * as libgd's PNG codec maps it: a8 = 255 - (2 * a7 + a7 / 64) and
 * a7 = 127 - a8 / 2, so every 7-bit value survives a round trip and an 8-bit
 * value does when it is one of the 128 the first formula gives.
 *
 * MorphelGetImagePixels writes the current image (width and height must be
 * its size) in the layout asked for. A palette image in RGBA or RGBX gives the
 * colours its pixels resolve to, with alpha 0 at the transparent colour and
 * 255 elsewhere (as GetPixelAlpha reads them); in INDEX it gives the indexes,
 * and `palette`, when not null, receives 256 entries of 4 bytes (red, green,
 * blue, alpha by the same rule) and `colors` the number allocated. INDEX on a
 * true-colour image is refused.
 *
 * MorphelSetImagePixels puts a new width x height image made from the buffer
 * into the current slot, destroying what the slot held first, as CreateImage
 * does: RGBA and RGBX give a true-colour image with blending off and alpha
 * saving on; INDEX gives a palette image whose `colors` (1 to 256) entries
 * are read from `palette` (4 bytes each, RGBA), the first entry with alpha 0
 * becoming the transparent colour; an index at or beyond `colors` is refused.
 *
 * Both return S_OK, E_INVALIDARG (no error information) for a size beyond
 * 36,000,000 pixels, a size that is not the image's, a null buffer, a short
 * stride, an unknown layout or a refused index, E_NOINTERFACE for an object
 * that is not this library's Images object, or E_FAIL with "NO IMAGE!" for an
 * empty current slot (get) or an image that cannot be made (set); after a
 * failed set the slot is empty. */
#define MORPHEL_PIXELS_RGBA 0
#define MORPHEL_PIXELS_RGBX 1
#define MORPHEL_PIXELS_INDEX 2
MORPHEL_API HRESULT MorphelGetImagePixels(IUnknown *images, int layout, int width, int height,
                                          unsigned char *pixels, long long stride,
                                          unsigned char *palette, int *colors);
MORPHEL_API HRESULT MorphelSetImagePixels(IUnknown *images, int layout, int width, int height,
                                          const unsigned char *pixels, long long stride,
                                          const unsigned char *palette, int colors);
#endif

#endif /* MORPHEL_MORPHEL_H */
