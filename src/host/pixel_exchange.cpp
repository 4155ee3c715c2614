// The raw pixel exchange for hosts on Linux: the current slot's image copied to
// or made from a caller's buffer of RGBA, RGBX or palette-index pixels.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "core/images.h"
#include "core/status.h"

#if !defined(_WIN32)

namespace morphel {
namespace {

// libgd's PNG codec mapping between its 7-bit alpha (0 opaque) and 8-bit alpha
// (255 opaque): exact both ways for the 128 values of the 7-bit side.
constexpr uint32_t Alpha8(uint32_t alpha7) { return 255 - ((alpha7 << 1) + (alpha7 >> 6)); }
constexpr uint32_t Alpha7(uint32_t alpha8) { return gdAlphaMax - (alpha8 >> 1); }

// Four bytes r, g, b, a in memory order, as one 32-bit value and back. The
// loops below work on whole 32-bit values so the compiler can vectorise them.
constexpr uint32_t Pack(uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  if constexpr (std::endian::native == std::endian::little) return r | g << 8 | b << 16 | a << 24;
  return r << 24 | g << 16 | b << 8 | a;
}
constexpr uint32_t Byte(uint32_t packed, int index) {
  const int shift = std::endian::native == std::endian::little ? 8 * index : 24 - 8 * index;
  return (packed >> shift) & 0xFF;
}

// A libgd true colour (alpha << 24 | r << 16 | g << 8 | b) as packed RGBA and back.
constexpr uint32_t RgbaOf(uint32_t c) {
  return Pack((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF, Alpha8((c >> 24) & 0x7F));
}
constexpr int TrueColorOf(uint32_t rgba, bool opaque) {
  const uint32_t alpha = opaque ? gdAlphaOpaque : Alpha7(Byte(rgba, 3));
  return static_cast<int>(alpha << 24 | Byte(rgba, 0) << 16 | Byte(rgba, 1) << 8 | Byte(rgba, 2));
}
static_assert(RgbaOf(0x7F0A141E) == Pack(10, 20, 30, 0) && RgbaOf(0x00FFFFFF) == ~0u);
static_assert(TrueColorOf(Pack(10, 20, 30, 129), false) == 0x3F0A141E);

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
  const uint32_t opaque = layout == MORPHEL_PIXELS_RGBX ? Pack(0, 0, 0, 255) : 0;
  const int width = gdImageSX(im), height = gdImageSY(im);  // locals: the stores cannot alias
  for (int y = 0; y < height; ++y) {
    const int *source = im->tpixels[y];
    unsigned char *out = pixels + y * stride;
    for (int x = 0; x < width; ++x) {
      const uint32_t rgba = RgbaOf(static_cast<uint32_t>(source[x])) | opaque;
      std::memcpy(out + 4 * x, &rgba, 4);
    }
  }
}

// A palette entry as a pixel read resolves it: its red, green and blue, alpha
// transparent at the image's transparent colour and opaque elsewhere (the
// entry's own stored alpha is not consulted).
void ResolvePalette(gdImagePtr im, uint32_t table[256]) {
  for (int i = 0; i < 256; ++i) {
    const uint32_t alpha = i == gdImageGetTransparent(im) ? 0 : 255;
    table[i] = Pack(static_cast<uint32_t>(im->red[i]) & 0xFF,
                    static_cast<uint32_t>(im->green[i]) & 0xFF,
                    static_cast<uint32_t>(im->blue[i]) & 0xFF, alpha);
  }
}

void ReadPaletteRows(gdImagePtr im, int layout, unsigned char *pixels, long long stride) {
  uint32_t table[256];
  ResolvePalette(im, table);
  const uint32_t opaque = layout == MORPHEL_PIXELS_RGBX ? Pack(0, 0, 0, 255) : 0;
  const int width = gdImageSX(im), height = gdImageSY(im);  // locals: the stores cannot alias
  for (int y = 0; y < height; ++y) {
    const unsigned char *source = im->pixels[y];
    unsigned char *out = pixels + y * stride;
    for (int x = 0; x < width; ++x) {
      const uint32_t rgba = table[source[x]] | opaque;
      std::memcpy(out + 4 * x, &rgba, 4);
    }
  }
}

void ReadIndexRows(gdImagePtr im, unsigned char *pixels, long long stride) {
  const int width = gdImageSX(im), height = gdImageSY(im);  // locals: the stores cannot alias
  for (int y = 0; y < height; ++y) {
    const unsigned char *source = im->pixels[y];
    std::copy(source, source + width, pixels + y * stride);
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
  if (palette != nullptr) {
    uint32_t table[256];
    ResolvePalette(im, table);
    std::memcpy(palette, table, sizeof table);
  }
  if (colors != nullptr) *colors = gdImageColorsTotal(im);
  return S_OK;
}

// ---- Writing ----------------------------------------------------------------

void WriteTrueColorRows(gdImagePtr im, int layout, const unsigned char *pixels,
                        long long stride) {
  const bool opaque = layout == MORPHEL_PIXELS_RGBX;
  const int width = gdImageSX(im), height = gdImageSY(im);  // locals: the stores cannot alias
  for (int y = 0; y < height; ++y) {
    const unsigned char *in = pixels + y * stride;
    int *target = im->tpixels[y];
    for (int x = 0; x < width; ++x) {
      uint32_t rgba;
      std::memcpy(&rgba, in + 4 * x, 4);
      target[x] = TrueColorOf(rgba, opaque);
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
  const int width = gdImageSX(im), height = gdImageSY(im);  // locals: the stores cannot alias
  for (int y = 0; y < height; ++y) {
    const unsigned char *in = pixels + y * stride;
    unsigned char highest = 0;
    for (int x = 0; x < width; ++x) highest = std::max(highest, in[x]);
    if (highest >= colors) return false;
    std::copy(in, in + width, im->pixels[y]);
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
