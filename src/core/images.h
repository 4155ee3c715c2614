// The Images object: its state, its ten image slots and its COM identity.
#ifndef MORPHEL_CORE_IMAGES_H
#define MORPHEL_CORE_IMAGES_H

#include <gd.h>

#include "morphel/morphel.h"

namespace morphel {

inline constexpr int kSlotCount = 10;
// Largest canvas the component makes or accepts from a decoder, in pixels.
inline constexpr long long kMaxPixels = 36'000'000;

// True when w x h is a canvas size the component accepts (both at least 1 and
// at most kMaxPixels pixels, the product formed in 64 bits).
bool IsAcceptedSize(long long w, long long h);

// Every true-colour image the component makes or decodes starts with blending
// off and alpha saving on; palette images keep both flags off.
void SetNewImageFlags(gdImagePtr im);

#define P_IN MORPHEL_DECLARE_P_IN
#define P_INREF MORPHEL_DECLARE_P_INREF
#define P_OUT MORPHEL_DECLARE_P_OUT
#define MORPHEL_DECLARE_OVERRIDE(id, name, params) \
  HRESULT STDMETHODCALLTYPE name params override;

class Images final : public IImages, public ISupportErrorInfo {
 public:
  // outer is the controlling unknown of an aggregate, or null for a plain object.
  explicit Images(IUnknown *outer = nullptr);
  ~Images();
  Images(const Images &) = delete;
  Images &operator=(const Images &) = delete;

  // IUnknown: delegated to the outer object when aggregated.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // The object's own interface table (IImages, IDispatch, ISupportErrorInfo).
  HRESULT InnerQueryInterface(REFIID riid, void **ppv);

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *pctinfo) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo **ppTInfo) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR *rgszNames, UINT cNames, LCID lcid,
                                          DISPID *rgDispId) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                   DISPPARAMS *pDispParams, VARIANT *pVarResult,
                                   EXCEPINFO *pExcepInfo, UINT *puArgErr) override;

  // ISupportErrorInfo
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;

  // The 75 operations.
  MORPHEL_OPERATIONS(MORPHEL_DECLARE_OVERRIDE)

  // ---- Slot helpers -------------------------------------------------------
  // The image of the current slot, or null.
  gdImagePtr CurrentImage() const { return slotImages[currentSlot]; }
  // Slot look-up: the current image, or "NO IMAGE!" when the slot is empty.
  HRESULT LookUpImage(gdImagePtr *im) const;
  // Destroys the image of a slot (when owned) and leaves the slot empty.
  void EmptySlot(int slot);
  void EmptyCurrentSlot() { EmptySlot(currentSlot); }
  // Puts a new image into the current slot, destroying what it held.
  void PlaceImage(gdImagePtr im);

  // ---- State (initial values are the object's defaults) --------------------
  int slotOwned[kSlotCount] = {};
  int textAntialias = 1;
  int penGreen = 0;
  int penRed = 0;
  int penBlue = 0;
  int penAlpha = 0;
  int borderColor = 0;
  int saveAlphaOnWrite = 1;
  int builtinFontCode = 0;
  int lineThickness = 1;
  gdFontPtr builtinFont = nullptr;  // the font of builtinFontCode
  int ttfFontSize = 10;
  char ttfFontName[200] = {};
  char ttfFontPath[256] = {};
  int penColor = 0;
  int jpegQuality = -1;
  int imageType = 0;
  int currentSlot = 0;
  gdImagePtr slotImages[kSlotCount] = {};

 private:
  HRESULT CreateCanvas(int w, int h, gdImagePtr (*create)(int, int));

  IUnknown *outer_;
  ULONG refs_ = 0;
};

#undef MORPHEL_DECLARE_OVERRIDE
#undef P_IN
#undef P_INREF
#undef P_OUT

// A private interface identifier: QueryInterface answers it with the Images
// object itself (referenced), so entry points of this library that take an
// IDispatch* can reach the object's state; no other object answers it.
extern const IID kIidImagesObject;

// The Images object behind an interface pointer of this library's own, or null
// (the pointer stays the caller's; no reference is kept).
Images *ImagesFromInterface(IUnknown *object);

// Makes a plain or aggregated object and hands out its interface riid.
HRESULT CreateImagesObject(IUnknown *outer, REFIID riid, void **ppv);

}  // namespace morphel

#endif  // MORPHEL_CORE_IMAGES_H
