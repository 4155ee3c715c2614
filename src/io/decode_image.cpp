// The shared decode rule: the format code picks the decoder, never the bytes.
#include "core/images.h"
#include "io/codec_p.h"
#include "io/memory_channel_p.h"

namespace morphel {

namespace {

gdImagePtr RunDecoder(int format, gdIOCtx *in) {
  switch (format) {
    case kFormatPng:
      return gdImageCreateFromPngCtx(in);
    case kFormatJpeg:
      return gdImageCreateFromJpegCtx(in);
    case kFormatWbmp:
      return gdImageCreateFromWBMPCtx(in);
    case kFormatGif:
      return gdImageCreateFromGifCtx(in);
    case kFormatBmp:
      return BmpDecode(in);
    default:
      return nullptr;
  }
}

// The decoders take their pixel memory from the header's size before they read
// a pixel, so the size is checked on the bytes first.
bool ClaimsAcceptedSize(int format, const unsigned char *bytes, size_t length) {
  long long width = 0;
  long long height = 0;
  if (!PeekImageSize(format, bytes, length, &width, &height)) return false;
  // Each side alone first: header fields can be so large that their product
  // would not fit in 64 bits.
  return width <= kMaxPixels && height <= kMaxPixels && IsAcceptedSize(width, height);
}

}  // namespace

gdImagePtr DecodeImage(int format, const unsigned char *bytes, size_t length) {
  if (!ClaimsAcceptedSize(format, bytes, length)) return nullptr;
  MemorySource source{bytes, length, 0};
  SourceContext ctx(&source);
  gdImagePtr im = RunDecoder(format, ctx.get());
  if (im == nullptr) return nullptr;
  if (!IsAcceptedSize(gdImageSX(im), gdImageSY(im))) {
    gdImageDestroy(im);
    return nullptr;
  }
  SetNewImageFlags(im);
  // A GIF with a transparent colour comes back from the library with line
  // thickness 0; every new image starts with thickness 1.
  gdImageSetThickness(im, 1);
  return im;
}

}  // namespace morphel
