// A gallery of the drawing primitives: loads libmorphel.so, draws one scene on
// a true-colour and on a palette canvas through the IImages vtable (lines,
// rectangles, ellipses, arcs, pies, fills, pixels, polygons from arrays and
// bitmap text) and writes them as PNG files into the directory given as the
// first argument (default out/); a second page shows a photograph-like picture
// through the colour reductions, a third TrueType text, a fourth rotations and
// copies between slots.
#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "morphel/morphel.h"

namespace {

// The automation functions the gallery needs, taken from the library.
struct Automation {
  BSTR (*sysAllocStringLen)(const OLECHAR *, UINT);
  void (*sysFreeString)(BSTR);
  SAFEARRAY *(*safeArrayCreateVector)(VARTYPE, LONG, ULONG);
  HRESULT (*safeArrayPutElement)(SAFEARRAY *, LONG *, void *);
  HRESULT (*safeArrayDestroy)(SAFEARRAY *);
};

Automation api;

template <typename T>
bool Resolve(void *library, const char *name, T *out) {
  *out = reinterpret_cast<T>(dlsym(library, name));
  if (*out == nullptr) std::printf("missing %s in the library\n", name);
  return *out != nullptr;
}

// A BSTR from ASCII text, freed with the holder.
class Text {
 public:
  explicit Text(const char *ascii) {
    std::u16string wide(ascii, ascii + std::char_traits<char>::length(ascii));
    value_ = api.sysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  }
  ~Text() { api.sysFreeString(value_); }
  Text(const Text &) = delete;
  Text &operator=(const Text &) = delete;
  operator BSTR() const { return value_; }

 private:
  BSTR value_;
};

// A flat polygon array x0, y0, x1, y1, ... as a variant of the element type a
// script would pass, destroyed with the holder.
class PolygonArray {
 public:
  PolygonArray(VARTYPE elementType, const std::vector<int> &values, LONG lowerBound = 0) {
    array_ = api.safeArrayCreateVector(elementType, lowerBound, static_cast<ULONG>(values.size()));
    for (size_t i = 0; i < values.size(); ++i) {
      LONG index = lowerBound + static_cast<LONG>(i);
      Put(elementType, index, values[i]);
    }
    V_VT(&arg_) = static_cast<VARTYPE>(VT_ARRAY | elementType);
    V_ARRAY(&arg_) = array_;
    V_VT(&ref_) = static_cast<VARTYPE>(VT_ARRAY | VT_BYREF | elementType);
    V_ARRAYREF(&ref_) = &array_;
  }
  ~PolygonArray() { api.safeArrayDestroy(array_); }
  PolygonArray(const PolygonArray &) = delete;
  PolygonArray &operator=(const PolygonArray &) = delete;

  VARIANT *Direct() { return &arg_; }
  VARIANT *ByReference() { return &ref_; }

 private:
  void Put(VARTYPE elementType, LONG index, int value) {
    if (elementType == VT_VARIANT) {
      VARIANT element{};
      V_VT(&element) = VT_I4;
      V_I4(&element) = value;
      api.safeArrayPutElement(array_, &index, &element);
    } else if (elementType == VT_I2) {
      SHORT element = static_cast<SHORT>(value);
      api.safeArrayPutElement(array_, &index, &element);
    } else {
      LONG element = value;
      api.safeArrayPutElement(array_, &index, &element);
    }
  }

  SAFEARRAY *array_;
  VARIANT arg_{};
  VARIANT ref_{};
};

void Shapes(IImages *images) {
  images->SetColor(30, 30, 120);
  images->DrawLine(10, 10, 150, 60);
  images->SetLineThickness(4);
  images->DrawLine(10, 60, 150, 10);
  images->SetLineThickness(1);
  images->SetColor(200, 40, 40);
  images->DrawRectangle(170, 10, 250, 60);
  images->DrawFilledRectangle(260, 10, 340, 60);
  images->SetColor(40, 150, 60);
  images->DrawEllipse(390, 35, 80, 50);
  images->DrawFilledEllipse(480, 35, 80, 50);
  images->SetColor(120, 60, 160);
  images->DrawArc(50, 120, 70, 70, 0, 90);      // quarter, right to below
  images->DrawArc(130, 120, 70, 70, 270, 90);   // through angle 0
  images->DrawFilledArc(210, 120, 70, 70, 30, 330);  // a pie with a wedge cut out
  images->DrawFilledArc(290, 120, 70, 70, -45, 45);  // negative start: whole turns
}

void Fills(IImages *images) {
  images->SetColor(0, 0, 0);
  images->DrawRectangle(340, 90, 400, 150);
  images->DrawLine(340, 120, 400, 90);
  images->SetColor(250, 200, 0);
  images->Fill(390, 140);  // the lower part of the split square
  images->SetColor(200, 0, 120);
  images->DrawEllipse(470, 120, 80, 60);
  images->DrawEllipse(470, 120, 30, 20);
  images->SetBorderColor();
  images->SetColor(0, 180, 200);
  images->FillToBorder(495, 120);  // the ring between the two outlines
  images->SetColor(0, 0, 0);
  for (int x = 10; x < 580; x += 4) images->SetPixel(x, 170);
}

void Polygons(IImages *images) {
  PolygonArray star(VT_VARIANT, {60, 185, 72, 220, 110, 220, 80, 242, 92, 278,
                                 60, 256, 28, 278, 40, 242, 10, 220, 48, 220});
  images->SetColor(230, 120, 0);
  images->DrawFilledPolygon(star.Direct(), 20);
  images->SetColor(0, 0, 0);
  images->DrawPolygon(star.Direct(), 20);
  PolygonArray triangle(VT_I2, {130, 275, 190, 190, 250, 275}, 1);
  images->SetColor(0, 90, 200);
  images->DrawPolygon(triangle.Direct(), 6);
  PolygonArray kite(VT_I4, {300, 190, 340, 230, 300, 280, 260, 230});
  images->SetColor(20, 160, 90);
  images->DrawFilledPolygon(kite.ByReference(), 8);
}

void Lettering(IImages *images) {
  images->SetColor(0, 0, 0);
  const char *names[] = {"font 0 small", "font 1 bold", "font 2 large", "font 3 tiny",
                         "font 4 giant"};
  for (int code = 0; code < 5; ++code) {
    images->SetFont(code);
    images->DrawText(370, 190 + 18 * code, Text(names[code]));
  }
  images->SetFont(1);
  images->SetColor(160, 0, 0);
  images->DrawTextAngle(20, 300, 0, Text("angle 0"));
  images->DrawTextAngle(120, 290, 45, Text("at 45"));
  images->DrawTextAngle(230, 290, 90, Text("down"));
  images->DrawTextAngle(330, 330, 180, Text("180"));
  images->DrawTextAngle(400, 340, -30, Text("up -30"));
}

void Translucent(IImages *images) {
  images->SetAlphaBlending(1);
  images->SetAlphaColor(255, 0, 0, 80);
  images->DrawFilledEllipse(300, 35, 120, 40);
  images->SetAlphaBlending(0);
}

void Scene(IImages *images) {
  images->SetColor(245, 245, 235);
  images->DrawFilledRectangle(0, 0, 599, 359);
  Shapes(images);
  Fills(images);
  Polygons(images);
  Lettering(images);
  Translucent(images);
}

// TrueType text on a palette canvas: the system's DejaVu Sans found through the
// automatic font path, with and without anti-aliasing, turned about one point,
// and a text inside the box that measuring it gives.
void TrueTypePage(IImages *images, void *library) {
  images->CreateImagePalette(600, 320);
  images->SetColor(250, 248, 240);
  images->DrawFilledRectangle(0, 0, 599, 319);
  images->SetFontPathTTFAuto();
  images->SetFontTTF(Text("DejaVuSans"));
  images->SetFontSizeTTF(18);
  images->SetColor(20, 20, 60);
  images->DrawTextTTF(10, 30, Text("Anti-aliased TrueType text &#8212; size 18"));
  images->SetTextAntialias(0);
  images->DrawTextTTF(10, 60, Text("The same without anti-aliasing"));
  images->SetTextAntialias(1);
  images->SetFontSizeTTF(12);
  const int angles[] = {0, 30, 60, 90, 150, 210, 270, 330};
  const int reds[] = {200, 160, 120, 80, 40, 0, 0, 0};
  for (int i = 0; i < 8; ++i) {
    images->SetColor(reds[i], 40 + 20 * i, 120);
    images->DrawTextAngleTTF(150, 185, angles[i], Text(("    " + std::to_string(angles[i]) +
                                                        " degrees").c_str()));
  }
  images->SetFontTTF(Text("nosuch DejaVuSans-Bold"));  // the second name is used
  images->SetFontSizeTTF(24);
  images->SetColor(0, 100, 0);
  images->DrawTextTTF(320, 190, Text("Measured box"));
  auto getElement = reinterpret_cast<HRESULT (*)(SAFEARRAY *, LONG *, void *)>(
      dlsym(library, "SafeArrayGetElement"));
  auto clear = reinterpret_cast<HRESULT (*)(VARIANT *)>(dlsym(library, "VariantClear"));
  VARIANT box{};
  if (getElement == nullptr || clear == nullptr ||
      images->GetTextTTFRectangle(320, 190, Text("Measured box"), &box) != S_OK) {
    return;
  }
  LONG side[4] = {};
  for (LONG i = 0; i < 4; ++i) {
    VARIANT element{};
    getElement(V_ARRAY(&box), &i, &element);
    side[i] = V_I4(&element);
  }
  clear(&box);
  images->SetColor(200, 0, 0);
  images->DrawRectangle(side[0] - 3, side[1] - 3, side[2] + 3, side[3] + 3);
}

// ---- Transforms page: free rotations and copies between slots -------------------

// A small picture to turn: a frame, a disc and a label.
void TransformSource(IImages *images, int slot, bool palette) {
  images->SetImage(slot);
  palette ? images->CreateImagePalette(120, 80) : images->CreateImage(120, 80);
  images->SetColor(250, 240, 200);
  images->DrawFilledRectangle(0, 0, 119, 79);
  images->SetColor(200, 40, 40);
  images->DrawRectangle(2, 2, 117, 77);
  images->SetColor(40, 110, 200);
  images->DrawFilledEllipse(40, 40, 50, 50);
  images->SetColor(0, 0, 0);
  images->SetFont(1);
  images->DrawText(70, 30, Text("turn"));
}

// Pastes the image of slot from onto the page (slot 9) at (x, y); returns
// the pasted width.
int Paste(IImages *images, int from, int x, int y) {
  INT w = 0, h = 0;
  images->SetImage(from);
  images->GetWidth(&w);
  images->GetHeight(&h);
  images->CopyImage(9, from, x, y, 0, 0, w, h);
  return w;
}

// Turns slot source by angle into slot 5 on a background of (r, g, b).
void Turn(IImages *images, int source, int angle, int r, int g, int b) {
  images->SetImage(source);
  images->SetColor(r, g, b);
  images->CopyImageRotate(5, source, angle);
}

void TransformsPage(IImages *images) {
  TransformSource(images, 2, false);
  TransformSource(images, 3, true);
  TransformSource(images, 4, false);
  images->SetColor(250, 240, 200);  // the cream background of slot 4 is see-through
  images->SetTransparent(1);
  images->SetImage(9);
  images->CreateImage(880, 470);
  images->SetColor(255, 255, 255);
  images->DrawFilledRectangle(0, 0, 879, 469);
  int x = 10;
  for (int angle : {0, 30, 90, 135, -20}) {
    Turn(images, 2, angle, 220, 220, 255);
    x += Paste(images, 5, x, 10) + 10;
  }
  x = 10;
  Turn(images, 3, 45, 200, 255, 200);  // palette source
  x += Paste(images, 5, x, 170) + 10;
  Turn(images, 4, 0, 255, 200, 200);  // transparent colour: background at 0
  x += Paste(images, 5, x, 170) + 10;
  Turn(images, 4, 60, 255, 200, 200);
  x += Paste(images, 5, x, 170) + 10;
  images->CopyImageResize(9, 2, 10, 340, 0, 0, 180, 120, 120, 80);   // enlarged
  images->CopyImageResize(9, 2, 200, 340, 0, 0, 60, 40, 120, 80);    // reduced
  images->CopyImageMerge(9, 2, 280, 340, 0, 0, 120, 80, 50);         // half over white
  images->CopyImageSimpleRotate(9, 2, 500, 390, 0, 0, 120, 80, 45);  // about a point
  images->CopyImageSimpleRotate(9, 3, 680, 390, 0, 0, 120, 80, -60);
  images->SetImage(9);
}

// Writes the current image as PNG; false when writing failed.
bool Save(IImages *images, const std::string &path) {
  std::u16string wide(path.begin(), path.end());
  BSTR name = api.sysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  images->SetImageType(0);
  HRESULT hr = images->WriteToFile(name);
  api.sysFreeString(name);
  if (hr == E_NOTIMPL) {
    std::printf("WriteToFile is not built yet: nothing written\n");
    return true;  // not a failure of the gallery
  }
  std::printf("%s: 0x%08X\n", path.c_str(), static_cast<unsigned>(hr));
  return hr == S_OK;
}

// A photograph-like picture for the colour reduction page: a sky gradient, a
// translucent sun with a halo, shaded hills, and alpha at the bottom (a ramp
// from opaque to fully transparent and a fully transparent window).
void Landscape(IImages *images) {
  images->CreateImage(320, 200);
  for (int y = 0; y < 200; ++y) {
    images->SetColor(40 + y / 2, 90 + y * 3 / 4, 230 - y / 3);
    images->DrawLine(0, y, 319, y);
  }
  images->SetAlphaBlending(1);
  for (int r = 90; r >= 30; r -= 12) {
    images->SetAlphaColor(255, 220 - r, 60, 60 + r / 2);
    images->DrawFilledEllipse(230, 60, r, r);
  }
  for (int band = 0; band < 4; ++band) {
    const int top = 110 + band * 18;
    PolygonArray hill(VT_I4, {0, 200, 0, top + 20, 80, top, 170, top + 25, 260, top - 5,
                              319, top + 15, 319, 200});
    images->SetAlphaColor(30 + band * 25, 110 - band * 15, 40 + band * 10, band * 20);
    images->DrawFilledPolygon(hill.Direct(), 14);
  }
  images->SetAlphaBlending(0);
  for (int x = 0; x < 320; ++x) {
    images->SetAlphaColor(90, 60, 30, x * 127 / 319);
    images->DrawLine(x, 185, x, 199);
  }
  images->SetAlphaColor(0, 0, 0, 127);
  images->DrawFilledRectangle(20, 20, 70, 60);
}

// The colour reduction page: the picture as drawn and through each of the
// five conversions, one file each.
bool ColourReduction(IImages *images, const std::string &directory) {
  struct Step {
    const char *name;
    HRESULT (*convert)(IImages *);
  } steps[] = {
      {"original", [](IImages *) { return S_OK; }},
      {"palette", [](IImages *o) { return o->ConvertToPalette(); }},
      {"palette-noalpha", [](IImages *o) { return o->ConvertToPaletteNoAlpha(); }},
      {"greyscale", [](IImages *o) { return o->ConvertToGrayScale(); }},
      {"monochrome-160", [](IImages *o) { return o->ConvertToMonochrome(160); }},
      {"monochrome-auto", [](IImages *o) { return o->ConvertToMonochromeAuto(); }},
  };
  bool written = true;
  images->SetImage(2);
  for (const Step &step : steps) {
    Landscape(images);
    const HRESULT hr = step.convert(images);
    if (hr != S_OK) std::printf("%s: 0x%08X\n", step.name, static_cast<unsigned>(hr));
    written = Save(images, directory + "/gallery-colour-" + step.name + ".png") && written;
  }
  return written;
}

IImages *CreateImages(void *library) {
  HRESULT (*getClassObject)(REFCLSID, REFIID, void **) = nullptr;
  if (!Resolve(library, "DllGetClassObject", &getClassObject)) return nullptr;
  auto *clsid = static_cast<const CLSID *>(dlsym(library, "CLSID_Images"));
  auto *iidFactory = static_cast<const IID *>(dlsym(library, "IID_IClassFactory"));
  auto *iidImages = static_cast<const IID *>(dlsym(library, "IID_IImages"));
  if (clsid == nullptr || iidFactory == nullptr || iidImages == nullptr) return nullptr;
  IClassFactory *factory = nullptr;
  IImages *images = nullptr;
  if (getClassObject(*clsid, *iidFactory, reinterpret_cast<void **>(&factory)) != S_OK) {
    return nullptr;
  }
  factory->CreateInstance(nullptr, *iidImages, reinterpret_cast<void **>(&images));
  factory->Release();
  return images;
}

}  // namespace

int main(int argc, char **argv) {
  const std::string directory = argc > 1 ? argv[1] : "out";
  void *library = dlopen(MORPHEL_LIBRARY_PATH, RTLD_NOW);
  if (library == nullptr) {
    std::printf("cannot load %s: %s\n", MORPHEL_LIBRARY_PATH, dlerror());
    return 1;
  }
  if (!Resolve(library, "SysAllocStringLen", &api.sysAllocStringLen) ||
      !Resolve(library, "SysFreeString", &api.sysFreeString) ||
      !Resolve(library, "SafeArrayCreateVector", &api.safeArrayCreateVector) ||
      !Resolve(library, "SafeArrayPutElement", &api.safeArrayPutElement) ||
      !Resolve(library, "SafeArrayDestroy", &api.safeArrayDestroy)) {
    return 1;
  }
  IImages *images = CreateImages(library);
  if (images == nullptr) {
    std::printf("cannot create an Images object\n");
    return 1;
  }
  mkdir(directory.c_str(), 0777);
  images->SetImage(0);
  images->CreateImage(600, 360);
  Scene(images);
  images->SetImage(1);
  images->CreateImagePalette(600, 360);
  Scene(images);
  images->SetImage(0);
  bool written = Save(images, directory + "/gallery-truecolour.png");
  images->SetImage(1);
  written = Save(images, directory + "/gallery-palette.png") && written;
  written = ColourReduction(images, directory) && written;
  images->SetImage(2);
  TrueTypePage(images, library);
  written = Save(images, directory + "/gallery-truetype.png") && written;
  TransformsPage(images);
  written = Save(images, directory + "/gallery-transforms.png") && written;
  images->Release();
  return written ? 0 : 2;
}
