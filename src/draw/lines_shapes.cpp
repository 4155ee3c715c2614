// Lines, rectangles, ellipses and the line thickness.
#include "core/status.h"
#include "draw/draw_p.h"

namespace morphel {

HRESULT Images::DrawLine(INT x1, INT y1, INT x2, INT y2) {
  gdImagePtr im;
  if (HRESULT hr = LookUpImage(&im); FAILED(hr)) return hr;
  gdImageLine(im, x1, y1, x2, y2, penColor);
  return S_OK;
}

HRESULT Images::DrawRectangle(INT x1, INT y1, INT x2, INT y2) {
  gdImagePtr im;
  if (HRESULT hr = LookUpImage(&im); FAILED(hr)) return hr;
  if (im->thick > 1) {
    ThickRectangle(im, x1, y1, x2, y2, penColor);
  } else {
    gdImageRectangle(im, x1, y1, x2, y2, penColor);  // thin sides are clipped lines
  }
  return S_OK;
}

HRESULT Images::DrawFilledRectangle(INT x1, INT y1, INT x2, INT y2) {
  gdImagePtr im;
  if (HRESULT hr = LookUpImage(&im); FAILED(hr)) return hr;
  gdImageFilledRectangle(im, x1, y1, x2, y2, penColor);
  return S_OK;
}

HRESULT Images::DrawEllipse(INT x, INT y, INT w, INT h) {
  gdImagePtr im;
  if (HRESULT hr = LookUpImage(&im); FAILED(hr)) return hr;
  gdImageArc(im, x, y, w, h, 0, 360, penColor);
  return S_OK;
}

HRESULT Images::DrawFilledEllipse(INT x, INT y, INT w, INT h) {
  gdImagePtr im;
  if (HRESULT hr = LookUpImage(&im); FAILED(hr)) return hr;
  FilledEllipse(im, x, y, w, h, penColor);
  return S_OK;
}

// The record is kept even when there is no image to give the thickness to.
HRESULT Images::SetLineThickness(INT w) {
  if (w < 0 || w > 100) return E_INVALIDARG;
  lineThickness = w;
  gdImagePtr im;
  if (HRESULT hr = LookUpImage(&im); FAILED(hr)) return hr;
  gdImageSetThickness(im, w);
  return S_OK;
}

// The object's record, not the current image's own thickness.
HRESULT Images::GetLineThickness(INT *w) {
  if (w == nullptr) return E_POINTER;
  *w = lineThickness;
  return S_OK;
}

}  // namespace morphel
