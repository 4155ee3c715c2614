// The raw pixel exchange for hosts on Linux: the current slot's image copied to
// or made from a caller's buffer of RGBA, RGBX or palette-index pixels.
#include <algorithm>

#include "core/images.h"
#include "core/status.h"

#if !defined(_WIN32)

namespace morphel {
namespace {

// libgd's PNG codec mapping between its 7-bit alpha (0 opaque) and 8-bit alpha
// (255 opaque): exact both ways for the 128 values of the 7-bit side.
inline unsigned char Alpha8(int alpha7) {
  return static_cast<unsigned char>(255 - ((alpha7 << 1) + (alpha7 >> 6)));
}
inline int Alpha7(unsigned char alpha8) { return gdAlphaMax - (alpha8 >> 1); }

bool IsKnownLayout(int layout) {
  return layout == MORPHEL_PIXELS_RGBA || layout == MORPHEL_PIXELS_RGBX ||
         layout == MORPHEL_PIXELS_INDEX;
}

long long BytesPerPixel(int layout) { return layout == MORPHEL_PIXELS_INDEX ? 1 : 4; }

// The buffer's shape fits the size: a buffer, and rows long enough.
bool IsUsableBuffer(const void *pixels, int layout, int width, long long stride) {
  return pixels != nullptr && IsKnownLayout(layout) && stride >= width * BytesPerPixel(layout);
}

// ---- Reading ----------------------------------------------------------------

void ReadTrueColorRows(gdImagePtr im, int layout, unsigned char *pixels, long long stride) {
  const bool opaque = layout == MORPHEL_PIXELS_RGBX;
  for (int y = 0; y < gdImageSY(im); ++y) {
    const int *source = im->tpixels[y];
    unsigned char *out = pixels + y * stride;
    for (int x = 0; x < gdImageSX(im); ++x, out += 4) {
      const int c = source[x];
      out[0] = static_cast<unsigned char>(c >> 16);
      out[1] = static_cast<unsigned char>(c >> 8);
      out[2] = static_cast<unsigned char>(c);
      out[3] = opaque ? 255 : Alpha8((c >> 24) & 0x7F);
    }
  }
}

// A palette entry as a pixel read resolves it: its red, green and blue, alpha
// transparent at the image's transparent colour and opaque elsewhere (the
// entry's own stored alpha is not consulted).
void ResolvePalette(gdImagePtr im, unsigned char table[256][4]) {
  for (int i = 0; i < 256; ++i) {
    table[i][0] = static_cast<unsigned char>(im->red[i]);
    table[i][1] = static_cast<unsigned char>(im->green[i]);
    table[i][2] = static_cast<unsigned char>(im->blue[i]);
    table[i][3] = i == gdImageGetTransparent(im) ? 0 : 255;
  }
}

void ReadPaletteRows(gdImagePtr im, int layout, unsigned char *pixels, long long stride) {
  unsigned char table[256][4];
  ResolvePalette(im, table);
  if (layout == MORPHEL_PIXELS_RGBX) {
    for (auto &entry : table) entry[3] = 255;
  }
  for (int y = 0; y < gdImageSY(im); ++y) {
    const unsigned char *source = im->pixels[y];
    unsigned char *out = pixels + y * stride;
    for (int x = 0; x < gdImageSX(im); ++x, out += 4) {
      const unsigned char *entry = table[source[x]];
      out[0] = entry[0], out[1] = entry[1], out[2] = entry[2], out[3] = entry[3];
    }
  }
}

void ReadIndexRows(gdImagePtr im, unsigned char *pixels, long long stride) {
  for (int y = 0; y < gdImageSY(im); ++y) {
    const unsigned char *source = im->pixels[y];
    std::copy(source, source + gdImageSX(im), pixels + y * stride);
  }
}

HRESULT ReadPixels(gdImagePtr im, int layout, int width, int height, unsigned char *pixels,
                   long long stride, unsigned char *palette, int *colors) {
  if (width != gdImageSX(im) || height != gdImageSY(im)) return E_INVALIDARG;
  if (!IsUsableBuffer(pixels, layout, width, stride)) return E_INVALIDARG;
  if (layout != MORPHEL_PIXELS_INDEX) {
    (gdImageTrueColor(im) ? ReadTrueColorRows : ReadPaletteRows)(im, layout, pixels, stride);
    return S_OK;
  }
  if (gdImageTrueColor(im)) return E_INVALIDARG;
  ReadIndexRows(im, pixels, stride);
  if (palette != nullptr) ResolvePalette(im, reinterpret_cast<unsigned char(*)[4]>(palette));
  if (colors != nullptr) *colors = gdImageColorsTotal(im);
  return S_OK;
}

// ---- Writing ----------------------------------------------------------------

void WriteTrueColorRows(gdImagePtr im, int layout, const unsigned char *pixels,
                        long long stride) {
  const bool opaque = layout == MORPHEL_PIXELS_RGBX;
  for (int y = 0; y < gdImageSY(im); ++y) {
    const unsigned char *in = pixels + y * stride;
    int *target = im->tpixels[y];
    for (int x = 0; x < gdImageSX(im); ++x, in += 4) {
      const int alpha = opaque ? gdAlphaOpaque : Alpha7(in[3]);
      target[x] = gdTrueColorAlpha(in[0], in[1], in[2], alpha);
    }
  }
}

// The entries as libgd's PNG reader allocates a palette with transparency: each
// with its alpha, the first fully transparent one the transparent colour.
void AllocatePalette(gdImagePtr im, const unsigned char *palette, int colors) {
  int transparent = -1;
  for (int i = 0; i < colors; ++i) {
    const unsigned char *entry = palette + 4 * i;
    gdImageColorAllocateAlpha(im, entry[0], entry[1], entry[2], Alpha7(entry[3]));
    if (entry[3] == 0 && transparent < 0) transparent = i;
  }
  if (transparent >= 0) gdImageColorTransparent(im, transparent);
}

// False when an index names no allocated entry.
bool WriteIndexRows(gdImagePtr im, const unsigned char *pixels, long long stride, int colors) {
  for (int y = 0; y < gdImageSY(im); ++y) {
    const unsigned char *in = pixels + y * stride;
    unsigned char highest = 0;
    for (int x = 0; x < gdImageSX(im); ++x) highest = std::max(highest, in[x]);
    if (highest >= colors) return false;
    std::copy(in, in + gdImageSX(im), im->pixels[y]);
  }
  return true;
}

gdImagePtr MakeImage(int layout, int width, int height, const unsigned char *pixels,
                     long long stride, const unsigned char *palette, int colors, HRESULT *hr) {
  const bool indexed = layout == MORPHEL_PIXELS_INDEX;
  gdImagePtr im = indexed ? gdImageCreate(width, height) : gdImageCreateTrueColor(width, height);
  if (im == nullptr) {
    *hr = ReportError(kMsgNoImage);
    return nullptr;
  }
  SetNewImageFlags(im);
  if (!indexed) {
    WriteTrueColorRows(im, layout, pixels, stride);
    return im;
  }
  AllocatePalette(im, palette, colors);
  if (!WriteIndexRows(im, pixels, stride, colors)) {
    gdImageDestroy(im);
    *hr = E_INVALIDARG;
    return nullptr;
  }
  return im;
}

}  // namespace
}  // namespace morphel

using morphel::Images;

MORPHEL_API HRESULT MorphelGetImagePixels(IUnknown *images, int layout, int width, int height,
                                          unsigned char *pixels, long long stride,
                                          unsigned char *palette, int *colors) {
  Images *object = morphel::ImagesFromInterface(images);
  if (object == nullptr) return E_NOINTERFACE;
  gdImagePtr im;
  if (HRESULT hr = object->LookUpImage(&im); FAILED(hr)) return hr;
  return morphel::ReadPixels(im, layout, width, height, pixels, stride, palette, colors);
}

// The slot's old image goes first, whatever the arguments, as with CreateImage.
MORPHEL_API HRESULT MorphelSetImagePixels(IUnknown *images, int layout, int width, int height,
                                          const unsigned char *pixels, long long stride,
                                          const unsigned char *palette, int colors) {
  Images *object = morphel::ImagesFromInterface(images);
  if (object == nullptr) return E_NOINTERFACE;
  object->EmptyCurrentSlot();
  if (!morphel::IsAcceptedSize(width, height)) return E_INVALIDARG;
  if (!morphel::IsUsableBuffer(pixels, layout, width, stride)) return E_INVALIDARG;
  if (layout == MORPHEL_PIXELS_INDEX && (palette == nullptr || colors < 1 || colors > 256)) {
    return E_INVALIDARG;
  }
  HRESULT hr = S_OK;
  gdImagePtr im =
      morphel::MakeImage(layout, width, height, pixels, stride, palette, colors, &hr);
  if (im == nullptr) return hr;
  object->PlaceImage(im);
  return S_OK;
}

#endif
