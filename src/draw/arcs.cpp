// Elliptic arcs and pie slices.
#include "core/status.h"
#include "draw/draw_p.h"

namespace morphel {

namespace {

constexpr long long kTurn = 360;

}  // namespace

// The rule: when e is less than s, whole turns are added to e until it is
// not; a span of a turn or more is the whole ellipse and an empty span draws
// nothing. The library normalises differently (it reduces angles above 360
// and treats equal angles as a whole turn), so the range is worked out here
// and handed over in a form the library keeps as it is: a start in 0..359 and
// a span below one turn, or exactly 0..360.
ArcRange ArcRangeFor(int s, int e) {
  long long start = s, end = e;  // 64 bits: no overflow while adding turns
  if (start < 0) {
    // A negative start is brought into 0..359 by whole turns, added to both
    // angles so that the span stays as given.
    const long long turns = (-start + kTurn - 1) / kTurn;
    start += turns * kTurn;
    end += turns * kTurn;
  }
  long long span;
  if (end >= start) {
    span = end - start;
  } else {
    const long long rest = (start - end) % kTurn;
    span = rest == 0 ? 0 : kTurn - rest;
  }
  if (span == 0) return {0, 0, true};
  if (span >= kTurn) return {0, 360, false};
  const int from = static_cast<int>(start % kTurn);
  return {from, from + static_cast<int>(span), false};
}

HRESULT Images::DrawArc(INT x, INT y, INT w, INT h, INT s, INT e) {
  gdImagePtr im;
  if (HRESULT hr = LookUpImage(&im); FAILED(hr)) return hr;
  const ArcRange range = ArcRangeFor(s, e);
  if (!range.empty) gdImageArc(im, x, y, w, h, range.start, range.end, penColor);
  return S_OK;
}

HRESULT Images::DrawFilledArc(INT x, INT y, INT w, INT h, INT s, INT e) {
  gdImagePtr im;
  if (HRESULT hr = LookUpImage(&im); FAILED(hr)) return hr;
  const ArcRange range = ArcRangeFor(s, e);
  if (range.empty) return S_OK;
  return FilledArcChecked(im, x, y, w, h, range.start, range.end, penColor);
}

}  // namespace morphel
