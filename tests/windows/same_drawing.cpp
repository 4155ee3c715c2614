// The drawing of drawing.vbs, made by the Linux library through the binary
// interface, so that the files written under Wine can be compared byte for
// byte with these. Built by tools/windows/test.sh with the build machine's
// compiler and linked against libmorphel.so.
// Usage: same_drawing <folder>. Exit code 0 when every call succeeded.
#include <cstdio>
#include <string>
#include <vector>

#include "morphel/morphel.h"

namespace {

int failures = 0;

void Expect(HRESULT hr, const char *call) {
  if (hr != S_OK) {
    ++failures;
    std::printf("FAIL %s: 0x%08X\n", call, static_cast<unsigned>(hr));
  }
}

// A string for the interface, from ASCII text.
BSTR Text(const std::string &ascii) {
  std::u16string wide(ascii.begin(), ascii.end());
  return SysAllocStringLen(reinterpret_cast<const OLECHAR *>(wide.data()),
                           static_cast<UINT>(wide.size()));
}

// What a script's Array(...) of small numbers is: variants holding 16-bit
// integers.
VARIANT ScriptArray(const std::vector<short> &values) {
  VARIANT array;
  VariantInit(&array);
  SAFEARRAY *elements = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(values.size()));
  for (LONG i = 0; i < static_cast<LONG>(values.size()); ++i) {
    VARIANT element;
    VariantInit(&element);
    V_VT(&element) = VT_I2;
    V_I2(&element) = values[i];
    SafeArrayPutElement(elements, &i, &element);
  }
  V_VT(&array) = VT_ARRAY | VT_VARIANT;
  V_ARRAY(&array) = elements;
  return array;
}

void Polygon(IImages *o, bool filled, const std::vector<short> &values, int n) {
  VARIANT array = ScriptArray(values);
  Expect(filled ? o->DrawFilledPolygon(&array, n) : o->DrawPolygon(&array, n), "polygon");
  VariantClear(&array);
}

void DrawText(IImages *o, int x, int y, const char *text) {
  BSTR s = Text(text);
  Expect(o->DrawText(x, y, s), "DrawText");
  SysFreeString(s);
}

void DrawTextAngle(IImages *o, int x, int y, int angle, const char *text) {
  BSTR s = Text(text);
  Expect(o->DrawTextAngle(x, y, angle, s), "DrawTextAngle");
  SysFreeString(s);
}

void Write(IImages *o, int type, const std::string &path) {
  Expect(o->SetImageType(type), "SetImageType");
  BSTR s = Text(path);
  Expect(o->WriteToFile(s), path.c_str());
  SysFreeString(s);
}

void Draw(IImages *o, const std::string &folder) {
  Expect(o->CreateImage(160, 120), "CreateImage");
  o->SetColor(30, 60, 90);
  o->DrawFilledRectangle(0, 0, 159, 119);
  o->SetColor(255, 255, 0);
  o->SetLineThickness(2);
  o->DrawLine(0, 0, 159, 119);
  o->SetLineThickness(1);
  o->SetColor(255, 0, 0);
  o->DrawRectangle(5, 5, 60, 40);
  o->DrawFilledEllipse(100, 30, 40, 30);
  o->SetAlphaColor(0, 255, 0, 60);
  o->DrawFilledArc(40, 80, 50, 50, 30, 300);
  o->SetColor(0, 0, 255);
  o->DrawArc(120, 90, 30, 30, 0, 180);
  o->DrawEllipse(80, 60, 70, 20);
  Polygon(o, true, {10, 110, 40, 70, 70, 110}, 6);
  o->SetColor(255, 255, 255);
  Polygon(o, false, {90, 100, 150, 110, 120, 70, 100, 80}, 8);
  o->SetFont(2);
  DrawText(o, 8, 8, "Morphel");
  o->SetFont(3);
  DrawTextAngle(o, 150, 115, 45, "angle");
  o->SetPixel(1, 1);
  o->SetColor(200, 100, 50);
  o->Fill(150, 2);
  o->SetJpegQuality(75);
  const char *names[] = {"drawing.png", "drawing.jpg", "drawing.wbmp", "drawing.gif",
                         "drawing.bmp"};
  for (int type = 0; type < 5; ++type) Write(o, type, folder + names[type]);

  o->SetImage(1);
  Expect(o->CreateImagePalette(50, 40), "CreateImagePalette");
  o->SetColor(10, 200, 10);
  o->DrawFilledRectangle(5, 5, 44, 34);
  o->SetColor(255, 255, 255);
  o->DrawLine(0, 39, 49, 0);
  Write(o, 0, folder + "palette.png");
  Write(o, 3, folder + "palette.gif");
  o->SetColorByIndex(0);
  o->SetTransparent(1);
  Write(o, 3, folder + "palette-transparent.gif");
}

// Blending, alpha, the border fill and the output switches.
void DrawBlend(IImages *o, const std::string &folder) {
  o->SetImage(2);
  Expect(o->CreateImage(64, 48), "CreateImage");
  o->SetColor(0, 0, 255);
  o->DrawFilledRectangle(0, 0, 63, 47);
  o->SetAlphaBlending(1);
  o->SetAlphaColor(255, 0, 0, 64);
  o->DrawFilledEllipse(32, 24, 40, 30);
  o->SetAlphaBlending(0);
  o->SetAlphaColor(0, 255, 0, 100);
  o->DrawFilledRectangle(0, 0, 15, 15);
  o->SetColor(255, 255, 255);
  o->SetBorderColor();
  o->DrawRectangle(40, 30, 60, 44);
  o->SetColor(255, 255, 0);
  o->FillToBorder(50, 37);
  Write(o, 0, folder + "blend.png");
  o->SetSaveAlpha(0);
  Write(o, 0, folder + "blend-noalpha.png");
  o->SetSaveAlpha(1);
  o->SetInterlace(1);
  Write(o, 0, folder + "blend-interlaced.png");
  Write(o, 1, folder + "blend-progressive.jpg");
}

// One picture with a gradient and alpha, through greyscale and both palette
// conversions.
void DrawColourReduction(IImages *o, const std::string &folder) {
  const char *names[] = {"colour-grey.png", "colour-palette.png", "colour-palette-noalpha.png"};
  for (int reduction = 0; reduction < 3; ++reduction) {
    o->SetImage(3 + reduction);
    Expect(o->CreateImage(64, 48), "CreateImage");
    for (int t = 0; t < 48; ++t) {
      o->SetColor(40 + t * 4, 200 - t * 3, 90 + t);
      o->DrawLine(0, t, 63, t);
    }
    o->SetAlphaBlending(1);
    o->SetAlphaColor(255, 200, 0, 50);
    o->DrawFilledEllipse(40, 20, 36, 30);
    o->SetAlphaBlending(0);
    o->SetAlphaColor(0, 0, 0, 127);
    o->DrawFilledRectangle(4, 30, 20, 44);
    if (reduction == 0) Expect(o->ConvertToGrayScale(), "ConvertToGrayScale");
    if (reduction == 1) Expect(o->ConvertToPalette(), "ConvertToPalette");
    if (reduction == 2) Expect(o->ConvertToPaletteNoAlpha(), "ConvertToPaletteNoAlpha");
    Write(o, 0, folder + names[reduction]);
  }
}

// TrueType text, with the font that drawing.vbs finds in the Windows Fonts
// folder: the test command copies it there from this folder.
void DrawTrueType(IImages *o, const std::string &folder) {
  o->SetImage(6);
  Expect(o->CreateImage(160, 60), "CreateImage");
  o->SetColor(255, 255, 240);
  o->DrawFilledRectangle(0, 0, 159, 59);
  BSTR s = Text("/usr/share/fonts/truetype/dejavu");
  Expect(o->SetFontPathTTF(s), "SetFontPathTTF");
  SysFreeString(s);
  s = Text("nosuch DejaVuSans");
  o->SetFontTTF(s);
  SysFreeString(s);
  o->SetFontSizeTTF(16);
  o->SetColor(0, 0, 128);
  s = Text("TrueType &#233; &amp;");
  Expect(o->DrawTextTTF(6, 24, s), "DrawTextTTF");
  SysFreeString(s);
  o->SetColor(160, 0, 0);
  s = Text("angle 15");
  Expect(o->DrawTextAngleTTF(20, 56, 15, s), "DrawTextAngleTTF");
  SysFreeString(s);
  Write(o, 0, folder + "truetype.png");
  o->SetImage(7);
  Expect(o->CreateImagePalette(160, 40), "CreateImagePalette");
  o->SetColor(255, 255, 255);
  o->SetColor(0, 0, 0);
  o->SetTextAntialias(0);
  s = Text("Plain text");
  Expect(o->DrawTextTTF(6, 18, s), "DrawTextTTF");
  SysFreeString(s);
  o->SetTextAntialias(1);
  s = Text("Smooth text");
  Expect(o->DrawTextTTF(6, 36, s), "DrawTextTTF");
  SysFreeString(s);
  Write(o, 0, folder + "truetype-palette.png");
}

// A free rotation of the first drawing and a resized copy of the blend.
void DrawTransforms(IImages *o, const std::string &folder) {
  o->SetImage(0);
  o->SetColor(40, 40, 40);
  Expect(o->CopyImageRotate(8, 0, 30), "CopyImageRotate");
  o->SetImage(8);
  Expect(o->CopyImageResize(8, 2, 0, 0, 0, 0, 32, 24, 64, 48), "CopyImageResize");
  Write(o, 0, folder + "rotated.png");
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::printf("usage: same_drawing <folder>\n");
    return 2;
  }
  std::string folder = argv[1];
  if (!folder.empty() && folder.back() != '/') folder += '/';
  IClassFactory *factory = nullptr;
  IImages *images = nullptr;
  if (DllGetClassObject(CLSID_Images, IID_IClassFactory, reinterpret_cast<void **>(&factory)) !=
          S_OK ||
      factory->CreateInstance(nullptr, IID_IImages, reinterpret_cast<void **>(&images)) != S_OK) {
    std::printf("cannot create an Images object\n");
    return 1;
  }
  factory->Release();
  Draw(images, folder);
  DrawBlend(images, folder);
  DrawColourReduction(images, folder);
  DrawTrueType(images, folder);
  DrawTransforms(images, folder);
  images->Release();
  return failures == 0 ? 0 : 1;
}
