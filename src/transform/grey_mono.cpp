// Greyscale and black-and-white conversion: every pixel becomes the grey of its
// brightness, or black or white at a given or an automatic threshold.
#include "core/images.h"
#include "core/status.h"

namespace morphel {

namespace {

// Brightness of a pixel from its channels: double precision, the green term
// first, then red, then blue, so that equal channels can come out just below
// their value (as the weights are not exact in binary).
double Brightness(int r, int g, int b) {
  return (0.587 * g + 0.299 * r) + 0.114 * b;
}

// Brightness of the pixel value p (a palette index or a packed colour); alpha
// plays no part.
double PixelBrightness(gdImagePtr im, int p) {
  if (gdImageTrueColor(im)) {
    return Brightness(gdTrueColorGetRed(p), gdTrueColorGetGreen(p), gdTrueColorGetBlue(p));
  }
  return Brightness(im->red[p], im->green[p], im->blue[p]);
}

// The palette entries of the greys (v, v, v): an exact opaque match, else a new
// entry, else the nearest one. Each level is looked up once and remembered: an
// entry found or added for a level stays the first exact match (entries are only
// added, never changed), and a palette too full to add to never changes again.
class GreyEntries {
 public:
  explicit GreyEntries(gdImagePtr im) : im_(im) {
    for (int &entry : entries_) entry = -1;
  }

  int For(int v) {
    int &entry = entries_[v];
    if (entry >= 0) return entry;
    entry = gdImageColorExact(im_, v, v, v);
    if (entry == -1) entry = gdImageColorAllocate(im_, v, v, v);
    if (entry == -1) entry = gdImageColorClosest(im_, v, v, v);
    return entry;
  }

 private:
  gdImagePtr im_;
  int entries_[256];
};

// Replaces every pixel, row by row, by the grey level (0..255) that level()
// gives for its brightness. On a true-colour image the rows are rewritten in
// place with the opaque packed grey, which is what the library's exact match
// and pixel write give there (an opaque colour replaces the pixel whether
// blending is on or off); a palette image goes through its entries.
template <typename Level>
void MapToGreys(gdImagePtr im, Level level) {
  const int w = gdImageSX(im), h = gdImageSY(im);
  if (gdImageTrueColor(im)) {
    for (int y = 0; y < h; ++y) {
      int *row = im->tpixels[y];
      for (int x = 0; x < w; ++x) {
        const int v = level(PixelBrightness(im, row[x]));
        row[x] = gdTrueColor(v, v, v);
      }
    }
    return;
  }
  GreyEntries greys(im);
  for (int y = 0; y < h; ++y) {
    unsigned char *row = im->pixels[y];
    for (int x = 0; x < w; ++x) {
      row[x] = static_cast<unsigned char>(greys.For(level(PixelBrightness(im, row[x]))));
    }
  }
}

// Black at or below the threshold, white above it, by truncated brightness.
void MapToBlackAndWhite(gdImagePtr im, int threshold) {
  MapToGreys(im, [threshold](double y) { return static_cast<int>(y) <= threshold ? 0 : 255; });
}

// The mean brightness of all pixels, truncated. The total is kept in double
// precision: a single-precision total stops growing by whole pixels once it
// passes a few million and would pull the threshold far below the mean on
// large pictures.
int MeanBrightnessThreshold(gdImagePtr im) {
  const int w = gdImageSX(im), h = gdImageSY(im);
  double total = 0.0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      total += PixelBrightness(im, gdImageTrueColor(im) ? im->tpixels[y][x] : im->pixels[y][x]);
    }
  }
  const long long count = static_cast<long long>(w) * h;
  return static_cast<int>(total / static_cast<double>(count));
}

}  // namespace

HRESULT Images::ConvertToGrayScale() {
  gdImagePtr im;
  if (HRESULT hr = LookUpImage(&im); FAILED(hr)) return hr;
  MapToGreys(im, [](double y) { return y > 255.0 ? 255 : static_cast<int>(y); });
  return S_OK;
}

HRESULT Images::ConvertToMonochrome(INT newVal) {
  if (newVal < 0 || newVal > 255) return E_INVALIDARG;
  gdImagePtr im;
  if (HRESULT hr = LookUpImage(&im); FAILED(hr)) return hr;
  MapToBlackAndWhite(im, newVal);
  return S_OK;
}

HRESULT Images::ConvertToMonochromeAuto() {
  gdImagePtr im;
  if (HRESULT hr = LookUpImage(&im); FAILED(hr)) return hr;
  MapToBlackAndWhite(im, MeanBrightnessThreshold(im));
  return S_OK;
}

}  // namespace morphel
