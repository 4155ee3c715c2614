/*
 * The one table of the 75 operations of IImages.
 *
 * MORPHEL_OPERATIONS(OP) expands OP(dispid, Name, (params)) once per operation,
 * in dispatch-identifier order (which is also the vtable order). Each parameter
 * is written as one of
 *   P_IN(INT, name)        [in] int                 -> INT name
 *   P_IN(BSTR, name)       [in] BSTR                -> BSTR name
 *   P_IN(VARIANT, name)    [in] VARIANT             -> VARIANT name
 *   P_INREF(BSTR, name)    [in] BSTR*               -> BSTR *name
 *   P_INREF(VARIANT, name) [in] VARIANT*            -> VARIANT *name
 *   P_OUT(INT, name)       [out, retval] int*       -> INT *name
 *   P_OUT(LONG, name)      [out, retval] long*      -> LONG *name
 *   P_OUT(BSTR, name)      [out, retval] BSTR*      -> BSTR *name
 *   P_OUT(VARIANT, name)   [out, retval] VARIANT*   -> VARIANT *name
 * and the user of the table defines P_IN, P_INREF and P_OUT before expanding it.
 * The C++ interface, the object's method declarations, the interface description
 * language file and the by-name dispatch are all generated from this table.
 */
#ifndef MORPHEL_OPERATIONS_H
#define MORPHEL_OPERATIONS_H

#define MORPHEL_OPERATIONS(OP)                                                                    \
  OP(1, CreateImage, (P_IN(INT, w), P_IN(INT, h)))                                                \
  OP(2, WriteToFile, (P_IN(BSTR, str)))                                                           \
  OP(3, SetImageType, (P_IN(INT, newVal)))                                                        \
  OP(4, GetImageType, (P_OUT(INT, pVal)))                                                         \
  OP(5, SetJpegQuality, (P_IN(INT, newVal)))                                                      \
  OP(6, GetJpegQuality, (P_OUT(INT, pVal)))                                                       \
  OP(7, ReadFromFile, (P_IN(BSTR, str)))                                                          \
  OP(8, SetColor, (P_IN(INT, r), P_IN(INT, g), P_IN(INT, b)))                                     \
  OP(9, DrawLine, (P_IN(INT, x1), P_IN(INT, y1), P_IN(INT, x2), P_IN(INT, y2)))                   \
  OP(10, DrawTextTTF, (P_IN(INT, x), P_IN(INT, y), P_IN(BSTR, str)))                              \
  OP(11, SetFontTTF, (P_IN(BSTR, str)))                                                           \
  OP(12, SetFontSizeTTF, (P_IN(INT, sz_font)))                                                    \
  OP(13, SetFontPathTTF, (P_IN(BSTR, str)))                                                       \
  OP(14, ReadFromDatabase, (P_IN(VARIANT, ADOField)))                                             \
  OP(15, WriteToDatabase, (P_IN(VARIANT, ADOField)))                                              \
  OP(16, WriteToVariable, (P_OUT(BSTR, pVal)))                                                    \
  OP(17, ReadFromVariable, (P_INREF(BSTR, pVal)))                                                 \
  OP(18, GetColorRed, (P_OUT(INT, r)))                                                            \
  OP(19, GetColorGreen, (P_OUT(INT, g)))                                                          \
  OP(20, GetColorBlue, (P_OUT(INT, b)))                                                           \
  OP(21, SetLineThickness, (P_IN(INT, w)))                                                        \
  OP(22, GetLineThickness, (P_OUT(INT, w)))                                                       \
  OP(23, DrawFilledPolygon, (P_INREF(VARIANT, pArray), P_IN(INT, n)))                             \
  OP(24, DrawPolygon, (P_INREF(VARIANT, pArray), P_IN(INT, n)))                                   \
  OP(25, DrawEllipse, (P_IN(INT, x), P_IN(INT, y), P_IN(INT, w), P_IN(INT, h)))                   \
  OP(26, DrawFilledEllipse, (P_IN(INT, x), P_IN(INT, y), P_IN(INT, w), P_IN(INT, h)))             \
  OP(27, DrawRectangle, (P_IN(INT, x1), P_IN(INT, y1), P_IN(INT, x2), P_IN(INT, y2)))             \
  OP(28, DrawFilledRectangle, (P_IN(INT, x1), P_IN(INT, y1), P_IN(INT, x2), P_IN(INT, y2)))       \
  OP(29, DrawText, (P_IN(INT, x), P_IN(INT, y), P_IN(BSTR, str)))                                 \
  OP(30, SetPixel, (P_IN(INT, x), P_IN(INT, y)))                                                  \
  OP(31, GetPixelRed, (P_IN(INT, x), P_IN(INT, y), P_OUT(INT, pVal)))                             \
  OP(32, GetPixelGreen, (P_IN(INT, x), P_IN(INT, y), P_OUT(INT, pVal)))                           \
  OP(33, GetPixelBlue, (P_IN(INT, x), P_IN(INT, y), P_OUT(INT, pVal)))                            \
  OP(34, SetFont, (P_IN(INT, newVal)))                                                            \
  OP(35, GetFont, (P_OUT(INT, pVal)))                                                             \
  OP(36, DrawArc,                                                                                 \
     (P_IN(INT, x), P_IN(INT, y), P_IN(INT, w), P_IN(INT, h), P_IN(INT, s), P_IN(INT, e)))        \
  OP(37, DrawFilledArc,                                                                           \
     (P_IN(INT, x), P_IN(INT, y), P_IN(INT, w), P_IN(INT, h), P_IN(INT, s), P_IN(INT, e)))        \
  OP(38, SetImage, (P_IN(INT, newVal)))                                                           \
  OP(39, GetImage, (P_OUT(INT, pVal)))                                                            \
  OP(40, CopyImage,                                                                               \
     (P_IN(INT, dstImg), P_IN(INT, srcImg), P_IN(INT, dstX), P_IN(INT, dstY), P_IN(INT, srcX),    \
      P_IN(INT, srcY), P_IN(INT, w), P_IN(INT, h)))                                               \
  OP(41, CopyImageResize,                                                                         \
     (P_IN(INT, dstImg), P_IN(INT, srcImg), P_IN(INT, dstX), P_IN(INT, dstY), P_IN(INT, srcX),    \
      P_IN(INT, srcY), P_IN(INT, dstW), P_IN(INT, dstH), P_IN(INT, srcW), P_IN(INT, srcH)))       \
  OP(42, DrawTextAngle, (P_IN(INT, x), P_IN(INT, y), P_IN(INT, angle), P_IN(BSTR, str)))          \
  OP(43, SetInterlace, (P_IN(INT, newVal)))                                                       \
  OP(44, GetInterlace, (P_OUT(INT, pVal)))                                                        \
  OP(45, SetTransparent, (P_IN(INT, newVal)))                                                     \
  OP(46, GetTransparent, (P_OUT(INT, pVal)))                                                      \
  OP(47, GetHeight, (P_OUT(INT, pVal)))                                                           \
  OP(48, GetWidth, (P_OUT(INT, pVal)))                                                            \
  OP(49, DestroyImage, (P_OUT(LONG, pVal)))                                                       \
  OP(50, Fill, (P_IN(INT, x), P_IN(INT, y)))                                                      \
  OP(51, DrawTextAngleTTF, (P_IN(INT, x), P_IN(INT, y), P_IN(INT, angle), P_IN(BSTR, str)))       \
  OP(52, ConvertToPalette, ())                                                                    \
  OP(53, CreateImagePalette, (P_IN(INT, w), P_IN(INT, h)))                                        \
  OP(54, GetColorAlpha, (P_OUT(INT, a)))                                                          \
  OP(55, GetColorTotal, (P_OUT(INT, pVal)))                                                       \
  OP(56, GetPixelAlpha, (P_IN(INT, x), P_IN(INT, y), P_OUT(INT, pVal)))                           \
  OP(57, GetTrueColor, (P_OUT(LONG, pVal)))                                                       \
  OP(58, SetAlphaColor, (P_IN(INT, r), P_IN(INT, g), P_IN(INT, b), P_IN(INT, a)))                 \
  OP(59, SetAlphaBlending, (P_IN(INT, newVal)))                                                   \
  OP(60, SetColorByIndex, (P_IN(INT, newVal)))                                                    \
  OP(61, SetFontPathTTFAuto, ())                                                                  \
  OP(62, SetSaveAlpha, (P_IN(INT, newVal)))                                                       \
  OP(63, SetBorderColor, ())                                                                      \
  OP(64, WriteToVariableVariant, (P_OUT(VARIANT, pVal)))                                          \
  OP(65, FillToBorder, (P_IN(INT, x), P_IN(INT, y)))                                              \
  OP(66, ConvertToMonochromeAuto, ())                                                             \
  OP(67, ConvertToMonochrome, (P_IN(INT, newVal)))                                                \
  OP(68, CopyImageMerge,                                                                          \
     (P_IN(INT, dstImg), P_IN(INT, srcImg), P_IN(INT, dstX), P_IN(INT, dstY), P_IN(INT, srcX),    \
      P_IN(INT, srcY), P_IN(INT, w), P_IN(INT, h), P_IN(INT, pct)))                               \
  OP(69, ConvertToGrayScale, ())                                                                  \
  OP(70, DestroyAll, ())                                                                          \
  OP(71, CopyImageRotate, (P_IN(INT, dstImg), P_IN(INT, srcImg), P_IN(INT, angle)))               \
  OP(72, CopyImageSimpleRotate,                                                                   \
     (P_IN(INT, dstImg), P_IN(INT, srcImg), P_IN(INT, dstX), P_IN(INT, dstY), P_IN(INT, srcX),    \
      P_IN(INT, srcY), P_IN(INT, w), P_IN(INT, h), P_IN(INT, angle)))                             \
  OP(73, GetTextTTFRectangle,                                                                     \
     (P_IN(INT, x), P_IN(INT, y), P_IN(BSTR, str), P_OUT(VARIANT, pVal)))                         \
  OP(74, ConvertToPaletteNoAlpha, ())                                                             \
  OP(75, SetTextAntialias, (P_IN(INT, newVal)))

#define MORPHEL_OPERATION_COUNT 75

/* Parameter declarations in C++ signatures. */
#define MORPHEL_DECLARE_P_IN(type, name) type name
#define MORPHEL_DECLARE_P_INREF(type, name) type *name
#define MORPHEL_DECLARE_P_OUT(type, name) type *name

#endif /* MORPHEL_OPERATIONS_H */
