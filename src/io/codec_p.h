// The shared encode and decode rules, the save-alpha rule and the BMP codec.
#ifndef MORPHEL_IO_CODEC_P_H
#define MORPHEL_IO_CODEC_P_H

#include <gd.h>

#include <cstddef>

namespace morphel {

class Images;

// Format codes held in Images::imageType.
enum ImageFormat : int {
  kFormatPng = 0,
  kFormatJpeg = 1,
  kFormatWbmp = 2,
  kFormatGif = 3,
  kFormatBmp = 4,
};
inline constexpr int kLastFormat = kFormatBmp;

// Whether an encoder ran to its end, had to stop for want of memory (its output
// then ends early or is empty), or wrote nothing because the format cannot
// hold the image.
enum class EncodeOutcome { kComplete, kNoMemory, kNotEncodable };

// Save-alpha rule: with saveAlphaOnWrite at 0 the image's own alpha-saving flag
// is switched off (for good); at 1 the flag is left as it is.
void ApplySaveAlphaRule(const Images &object, gdImagePtr im);

// Writes im to out in the object's format (imageType), with its JPEG quality
// and, for WBMP, its pen colour as the foreground.
EncodeOutcome EncodeImage(const Images &object, gdImagePtr im, gdIOCtx *out);

// Reads an image of the given format from length bytes. Gives null when the
// bytes are not a readable image of that format or when the size they claim is
// not an accepted canvas size (checked before any pixel memory is taken).
// A true-colour result carries the component's new-image flags.
gdImagePtr DecodeImage(int format, const unsigned char *bytes, size_t length);

// Width and height that bytes of a format claim, read from the header only.
// False when the header is not there or not of that format.
bool PeekImageSize(int format, const unsigned char *bytes, size_t length, long long *width,
                   long long *height);

// The component's BMP codec: a 24-bit bottom-up writer and a reader of
// uncompressed 1, 4, 8 and 24-bit bottom-up files.
EncodeOutcome BmpEncode(gdImagePtr im, gdIOCtx *out);
gdImagePtr BmpDecode(gdIOCtx *in);

// The context's own transfer functions (the library does not export its
// gdPutBuf/gdGetBuf wrappers).
inline int PutBuf(gdIOCtx *ctx, const void *buf, int size) { return ctx->putBuf(ctx, buf, size); }
inline int GetBuf(gdIOCtx *ctx, void *buf, int size) { return ctx->getBuf(ctx, buf, size); }

}  // namespace morphel

#endif  // MORPHEL_IO_CODEC_P_H
