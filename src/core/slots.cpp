// Creating, selecting, measuring and destroying the images of the ten slots.
#include "core/images.h"
#include "core/status.h"

namespace morphel {

bool IsAcceptedSize(long long w, long long h) {
  // Each side is checked first, so the product cannot overflow for any input.
  return w >= 1 && h >= 1 && w <= kMaxPixels && h <= kMaxPixels && w * h <= kMaxPixels;
}

void SetNewImageFlags(gdImagePtr im) {
  if (im != nullptr && gdImageTrueColor(im)) {
    gdImageAlphaBlending(im, 0);
    gdImageSaveAlpha(im, 1);
  }
}

HRESULT Images::LookUpImage(gdImagePtr *im) const {
  *im = CurrentImage();
  return *im != nullptr ? S_OK : ReportError(kMsgNoImage);
}

void Images::EmptySlot(int slot) {
  if (slotOwned[slot] && slotImages[slot] != nullptr) gdImageDestroy(slotImages[slot]);
  slotImages[slot] = nullptr;
  slotOwned[slot] = 0;
}

void Images::PlaceImage(gdImagePtr im) {
  EmptyCurrentSlot();
  slotImages[currentSlot] = im;
  slotOwned[currentSlot] = 1;
}

// The old image goes first, whatever the arguments: a refused size still leaves
// the slot empty.
HRESULT Images::CreateCanvas(int w, int h, gdImagePtr (*create)(int, int)) {
  EmptyCurrentSlot();
  if (!IsAcceptedSize(w, h)) return E_INVALIDARG;
  gdImagePtr im = create(w, h);
  if (im == nullptr) return ReportError(kMsgNoImage);
  SetNewImageFlags(im);
  PlaceImage(im);
  return S_OK;
}

HRESULT Images::CreateImage(INT w, INT h) {
  return CreateCanvas(w, h, [](int cx, int cy) { return gdImageCreateTrueColor(cx, cy); });
}

HRESULT Images::CreateImagePalette(INT w, INT h) {
  return CreateCanvas(w, h, [](int cx, int cy) { return gdImageCreate(cx, cy); });
}

HRESULT Images::SetImage(INT newVal) {
  if (newVal < 0 || newVal >= kSlotCount) return E_INVALIDARG;
  currentSlot = newVal;
  return S_OK;
}

// A direct caller's null result pointer gets E_POINTER; nothing is written.
HRESULT Images::GetImage(INT *pVal) {
  if (pVal == nullptr) return E_POINTER;
  *pVal = currentSlot;
  return S_OK;
}

HRESULT Images::GetWidth(INT *pVal) {
  if (pVal == nullptr) return E_POINTER;
  gdImagePtr im;
  if (HRESULT hr = LookUpImage(&im); FAILED(hr)) return hr;
  *pVal = gdImageSX(im);
  return S_OK;
}

HRESULT Images::GetHeight(INT *pVal) {
  if (pVal == nullptr) return E_POINTER;
  gdImagePtr im;
  if (HRESULT hr = LookUpImage(&im); FAILED(hr)) return hr;
  *pVal = gdImageSY(im);
  return S_OK;
}

HRESULT Images::GetTrueColor(LONG *pVal) {
  if (pVal == nullptr) return E_POINTER;
  gdImagePtr im;
  if (HRESULT hr = LookUpImage(&im); FAILED(hr)) return hr;
  *pVal = gdImageTrueColor(im) ? 1 : 0;
  return S_OK;
}

HRESULT Images::DestroyImage(LONG *pVal) {
  if (pVal == nullptr) return E_POINTER;
  if (CurrentImage() == nullptr) {
    *pVal = 0;
    return ReportError(kMsgNoImage);
  }
  *pVal = 1;
  EmptyCurrentSlot();
  return S_OK;
}

HRESULT Images::DestroyAll() {
  for (int slot = 0; slot < kSlotCount; ++slot) {
    if (slotOwned[slot]) EmptySlot(slot);
  }
  return S_OK;
}

}  // namespace morphel
