// The shared encode rule and the save-alpha rule.
#include "core/images.h"
#include "io/codec_p.h"
#include "transform/alpha_quantiser_p.h"

namespace morphel {

void ApplySaveAlphaRule(const Images &object, gdImagePtr im) {
  if (object.saveAlphaOnWrite == 0) gdImageSaveAlpha(im, 0);
}

namespace {

constexpr int kGifMaxSide = 65535;
constexpr int kJpegMaxSide = 65500;

// A true-colour image goes out as GIF through a temporary copy reduced to at
// most 256 colours without dithering; the slot image is left as it is. The
// copy has neither the interlace flag nor the transparent colour of the image.
EncodeOutcome EncodeGif(gdImagePtr im, gdIOCtx *out) {
  // The format stores each side in 16 bits; the library would cut it silently.
  if (gdImageSX(im) > kGifMaxSide || gdImageSY(im) > kGifMaxSide) {
    return EncodeOutcome::kNotEncodable;
  }
  if (!gdImageTrueColor(im)) {
    gdImageGifCtx(im, out);
    return EncodeOutcome::kComplete;
  }
  const int width = gdImageSX(im);
  const int height = gdImageSY(im);
  gdImagePtr copy = gdImageCreateTrueColor(width, height);
  if (copy == nullptr) return EncodeOutcome::kNoMemory;
  SetNewImageFlags(copy);
  gdImageCopy(copy, im, 0, 0, 0, 0, width, height);
  EncodeOutcome outcome = EncodeOutcome::kComplete;
  if (QuantiseColourOnly(copy)) {
    gdImageGifCtx(copy, out);
  } else {
    outcome = EncodeOutcome::kNoMemory;
  }
  gdImageDestroy(copy);
  return outcome;
}

}  // namespace

EncodeOutcome EncodeImage(const Images &object, gdImagePtr im, gdIOCtx *out) {
  switch (object.imageType) {
    case kFormatPng:
      gdImagePngCtx(im, out);
      return EncodeOutcome::kComplete;
    case kFormatJpeg:
      // The JPEG library refuses longer sides; that is not a want of memory.
      if (gdImageSX(im) > kJpegMaxSide || gdImageSY(im) > kJpegMaxSide) {
        return EncodeOutcome::kNotEncodable;
      }
      gdImageJpegCtx(im, out, object.jpegQuality);
      return EncodeOutcome::kComplete;
    case kFormatWbmp:
      gdImageWBMPCtx(im, object.penColor, out);
      return EncodeOutcome::kComplete;
    case kFormatGif:
      return EncodeGif(im, out);
    case kFormatBmp:
      return BmpEncode(im, out);
    default:
      return EncodeOutcome::kComplete;
  }
}

}  // namespace morphel
