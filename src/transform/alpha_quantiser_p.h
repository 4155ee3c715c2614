// The component's median-cut quantisers: one engine, two channel layouts.
#ifndef MORPHEL_TRANSFORM_ALPHA_QUANTISER_P_H
#define MORPHEL_TRANSFORM_ALPHA_QUANTISER_P_H

#include <gd.h>

namespace morphel {

// Converts the true-colour image im in place into a palette image of at most
// 256 entries chosen by median cut over a histogram of red, green, blue and
// alpha; entries carry the mean alpha of their pixels, except that where fully
// transparent pixels were present the most transparent entries become fully
// transparent, and where fully opaque ones were present the most opaque entries
// become fully opaque. Pixels map to the nearest entry without dithering. The
// transparent colour is not looked at. Returns false, with im unchanged, when
// memory runs out.
bool QuantiseWithAlpha(gdImagePtr im);

// The same conversion over red, green and blue only (5, 6 and 5 bits), alpha
// ignored and every entry opaque: the result is that of the graphics library's
// own gdImageTrueColorToPalette(im, 0, 256) on an image without a transparent
// colour, palette and indices alike. Returns false, with im unchanged, when
// memory runs out.
bool QuantiseColourOnly(gdImagePtr im);

}  // namespace morphel

#endif  // MORPHEL_TRANSFORM_ALPHA_QUANTISER_P_H
