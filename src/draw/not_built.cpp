// Operations of this subsystem that are not built yet: each answers E_NOTIMPL.
#include "core/images.h"

namespace morphel {

HRESULT Images::SetColor(INT, INT, INT) { return E_NOTIMPL; }
HRESULT Images::DrawLine(INT, INT, INT, INT) { return E_NOTIMPL; }
HRESULT Images::GetColorRed(INT *) { return E_NOTIMPL; }
HRESULT Images::GetColorGreen(INT *) { return E_NOTIMPL; }
HRESULT Images::GetColorBlue(INT *) { return E_NOTIMPL; }
HRESULT Images::SetLineThickness(INT) { return E_NOTIMPL; }
HRESULT Images::GetLineThickness(INT *) { return E_NOTIMPL; }
HRESULT Images::DrawFilledPolygon(VARIANT *, INT) { return E_NOTIMPL; }
HRESULT Images::DrawPolygon(VARIANT *, INT) { return E_NOTIMPL; }
HRESULT Images::DrawEllipse(INT, INT, INT, INT) { return E_NOTIMPL; }
HRESULT Images::DrawFilledEllipse(INT, INT, INT, INT) { return E_NOTIMPL; }
HRESULT Images::DrawRectangle(INT, INT, INT, INT) { return E_NOTIMPL; }
HRESULT Images::DrawFilledRectangle(INT, INT, INT, INT) { return E_NOTIMPL; }
HRESULT Images::SetPixel(INT, INT) { return E_NOTIMPL; }
HRESULT Images::GetPixelRed(INT, INT, INT *) { return E_NOTIMPL; }
HRESULT Images::GetPixelGreen(INT, INT, INT *) { return E_NOTIMPL; }
HRESULT Images::GetPixelBlue(INT, INT, INT *) { return E_NOTIMPL; }
HRESULT Images::DrawArc(INT, INT, INT, INT, INT, INT) { return E_NOTIMPL; }
HRESULT Images::DrawFilledArc(INT, INT, INT, INT, INT, INT) { return E_NOTIMPL; }
HRESULT Images::SetTransparent(INT) { return E_NOTIMPL; }
HRESULT Images::GetTransparent(INT *) { return E_NOTIMPL; }
HRESULT Images::Fill(INT, INT) { return E_NOTIMPL; }
HRESULT Images::GetColorAlpha(INT *) { return E_NOTIMPL; }
HRESULT Images::GetColorTotal(INT *) { return E_NOTIMPL; }
HRESULT Images::GetPixelAlpha(INT, INT, INT *) { return E_NOTIMPL; }
HRESULT Images::SetAlphaColor(INT, INT, INT, INT) { return E_NOTIMPL; }
HRESULT Images::SetAlphaBlending(INT) { return E_NOTIMPL; }
HRESULT Images::SetColorByIndex(INT) { return E_NOTIMPL; }
HRESULT Images::SetBorderColor() { return E_NOTIMPL; }
HRESULT Images::FillToBorder(INT, INT) { return E_NOTIMPL; }

}  // namespace morphel
