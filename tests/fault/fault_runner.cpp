// Allocation-failure test: every operation that allocates runs with its 1st,
// 2nd, ... allocation refused, each run in a child process, until a run
// refuses none. A run passes when it does not crash, hang, trip a sanitizer
// or leak, and ends either in S_OK with the result of the run without
// failures or in a failure with error information, the other slots unchanged
// and the object still working. Two models: every allocation, and only
// allocations of 16 KB or more. Prints a table and fails on any bad run
// outside the known failures of the graphics library's TrueType text.
#include <gd.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "core/images.h"
#include "fault/failing_allocator.h"
#include "io/sqlite_field_p.h"
#include "morphel/field.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace morphel::fault {
namespace {

namespace fs = std::filesystem;

// ---- Fingerprints of results -------------------------------------------------

struct Digest {
  uint64_t h = 1469598103934665603ull;
  void Add(const void *p, size_t n) {
    const auto *b = static_cast<const unsigned char *>(p);
    for (size_t i = 0; i < n; ++i) h = (h ^ b[i]) * 1099511628211ull;
  }
  void Add(long long v) { Add(&v, sizeof v); }
};

void AddImage(Digest &d, gdImagePtr im) {
  if (im == nullptr) return d.Add(-1);
  d.Add(gdImageSX(im));
  d.Add(gdImageSY(im));
  d.Add(gdImageTrueColor(im));
  d.Add(im->transparent);
  d.Add(gdImageGetInterlaced(im));
  d.Add(im->saveAlphaFlag);
  d.Add(im->alphaBlendingFlag);
  d.Add(im->thick);
  if (!gdImageTrueColor(im)) {
    d.Add(im->colorsTotal);
    for (int i = 0; i < im->colorsTotal; ++i) {
      d.Add(im->red[i] | im->green[i] << 8 | im->blue[i] << 16 | im->alpha[i] << 24);
      d.Add(im->open[i]);
    }
  }
  for (int y = 0; y < gdImageSY(im); ++y) {
    for (int x = 0; x < gdImageSX(im); ++x) d.Add(gdImageGetPixel(im, x, y));
  }
}

uint64_t SlotDigest(const Images &o, int slot) {
  Digest d;
  AddImage(d, o.slotImages[slot]);
  return d.h;
}

// The object's observable state: every slot, the current one, the pen.
uint64_t ObjectDigest(const Images &o) {
  Digest d;
  for (int s = 0; s < kSlotCount; ++s) d.Add(static_cast<long long>(SlotDigest(o, s)));
  d.Add(o.currentSlot);
  d.Add(o.penColor);
  d.Add(o.imageType);
  return d.h;
}

std::string FileBytes(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// ---- The cases ---------------------------------------------------------------

// Per-run context: a scratch folder of the child's own and what the
// operation hands back.
struct Run {
  std::string dir;
  std::string out;  // bytes of an out-parameter, file or field
  IDispatch *sqliteField = nullptr;
  std::string sqlitePath;
  BSTR text = nullptr;  // the case's string argument, made before arming
  VARIANT polygon{};    // a point array, made before arming
  // What the operation hands back, turned into out once disarmed.
  long long numbers[16] = {};
  BSTR bytes = nullptr;
  VARIANT value{};
  // A call by name: its arguments (last first), made before arming, and the
  // exception record it fills.
  VARIANT args[4]{};
  UINT argCount = 0;
  EXCEPINFO exception{};
  bool exceptionRecord = false;  // the call failed with an exception record
};

struct Case {
  std::string name;
  std::function<void(Images &, Run &)> setup;              // runs before arming
  std::function<HRESULT(Images &, Run &)> op;              // runs armed
  std::function<void(Images &, Run &)> collect = nullptr;  // gathers results, disarmed
  bool libgdText = false;                                  // calls the library's TrueType text
  std::string text;  // string argument; a leading "@/" stands for the run's folder
};

BSTR Text(const std::string &ascii) {
  const std::u16string wide(ascii.begin(), ascii.end());
  return SysAllocStringLen(reinterpret_cast<const OLECHAR *>(wide.c_str()),
                           static_cast<UINT>(wide.size()));
}

constexpr int kW = 48, kH = 36;

void Paint(Images &o, bool palette, int w = kW, int h = kH) {
  if (palette) {
    o.CreateImagePalette(w, h);
    o.SetColor(255, 255, 255);
    o.DrawFilledRectangle(0, 0, w, h);
  } else {
    o.CreateImage(w, h);
  }
  for (int i = 0; i < 24; ++i) {
    o.SetAlphaColor(i * 10, 255 - i * 9, (i * 37) & 0xFF, palette ? 0 : (i * 5) % 128);
    o.DrawFilledRectangle(i * w / 24, (i * 7) % h, i * w / 24 + w / 8, (i * 7) % h + h / 5);
    o.DrawLine(0, i, w - 1, h - 1 - i);
  }
  o.SetColor(10, 20, 30);
}

// The system's DejaVu fonts for the TrueType calls.
void ChooseFont(Images &o) {
  BSTR path = Text("/usr/share/fonts/truetype/dejavu");
  BSTR name = Text("DejaVuSans");
  o.SetFontPathTTF(path);
  o.SetFontTTF(name);
  o.SetFontSizeTTF(11);
  SysFreeString(path);
  SysFreeString(name);
}

// Slot 0 current with a picture; slot 1 another picture (copy sources).
void TwoSlots(Images &o, bool palette0, bool palette1, int w = kW, int h = kH) {
  ChooseFont(o);
  o.SetImage(1);
  Paint(o, palette1, w, h);
  o.SetImage(0);
  Paint(o, palette0, w, h);
}

// Arguments for a call by name, from text: numbers become VT_I4, anything
// else VT_BSTR; stored last first, as the call takes them.
void ByNameArgs(Run &r, std::initializer_list<const char *> values) {
  r.argCount = static_cast<UINT>(values.size());
  UINT i = r.argCount;
  for (const char *v : values) {
    VARIANT &arg = r.args[--i];
    char *end = nullptr;
    const long n = std::strtol(v, &end, 10);
    if (*v != '\0' && *end == '\0') {
      V_VT(&arg) = VT_I4;
      V_I4(&arg) = static_cast<LONG>(n);
    } else {
      V_VT(&arg) = VT_BSTR;
      V_BSTR(&arg) = Text(v + (*v == '"'));
    }
  }
}

// Calls operation id by name (IDispatch::Invoke) with the prepared arguments.
HRESULT CallByName(Images &o, Run &r, DISPID id, WORD flags) {
  DISPPARAMS params{r.args, nullptr, r.argCount, 0};
  UINT argErr = 0;
  const HRESULT hr = o.Invoke(id, IID_NULL, 0, flags, &params, &r.value, &r.exception, &argErr);
  r.exceptionRecord = hr == DISP_E_EXCEPTION && FAILED(r.exception.scode);
  return hr;
}

std::vector<Case> AllCases() {
  std::vector<Case> cases;
  auto add = [&cases](std::string name, std::function<void(Images &, Run &)> setup,
                      std::function<HRESULT(Images &, Run &)> op, std::string text = "",
                      bool libgdText = false) {
    cases.push_back(
        {std::move(name), std::move(setup), std::move(op), nullptr, libgdText, std::move(text)});
  };
  auto tc = [](Images &o, Run &) { TwoSlots(o, false, true); };
  auto pal = [](Images &o, Run &) { TwoSlots(o, true, false); };
  auto big = [](Images &o, Run &) { TwoSlots(o, false, true, 400, 300); };
  const std::pair<const char *, std::function<void(Images &, Run &)>> kinds[] = {
      {"true colour", tc}, {"palette", pal}};
  const char *formats[] = {"PNG", "JPEG", "WBMP", "GIF", "BMP"};

  // Images, slots and settings.
  add("CreateImage", tc, [](Images &o, Run &) { return o.CreateImage(300, 200); });
  add("CreateImagePalette", tc, [](Images &o, Run &) { return o.CreateImagePalette(300, 200); });
  add("SetImage/GetImage", tc, [](Images &o, Run &r) {
    INT v = 0;
    HRESULT hr = o.SetImage(4);
    if (SUCCEEDED(hr)) hr = o.GetImage(&v);
    r.numbers[0] = v;
    return hr;
  });
  add("DestroyImage", tc, [](Images &o, Run &) {
    LONG v;
    return o.DestroyImage(&v);
  });
  add("DestroyAll", tc, [](Images &o, Run &) { return o.DestroyAll(); });
  add("settings (type, quality, thickness, font, size, alpha, interlace, antialias)", tc,
      [](Images &o, Run &r) {
        INT a = 0, b = 0, c = 0, d = 0, e = 0;
        HRESULT hr = S_OK;
        for (HRESULT step :
             {o.SetImageType(1), o.GetImageType(&a), o.SetJpegQuality(40), o.GetJpegQuality(&b),
              o.SetLineThickness(3), o.GetLineThickness(&c), o.SetFont(2), o.GetFont(&d),
              o.SetFontSizeTTF(20), o.SetSaveAlpha(0), o.SetAlphaBlending(1), o.SetInterlace(1),
              o.GetInterlace(&e), o.SetTextAntialias(0), o.SetBorderColor()}) {
          if (FAILED(step)) hr = step;
        }
        r.numbers[0] = a + b * 7 + c * 49 + d * 343 + e * 2401;
        return hr;
      });
  for (auto &[kind, setup] : kinds) {
    std::string k = std::string(" (") + kind + ")";
    add("getters" + k, setup, [](Images &o, Run &r) {
      INT v[12] = {};
      LONG t = 0;
      HRESULT hr = S_OK;
      for (HRESULT step :
           {o.GetColorRed(&v[0]), o.GetColorGreen(&v[1]), o.GetColorBlue(&v[2]),
            o.GetColorAlpha(&v[3]), o.GetColorTotal(&v[4]), o.GetPixelRed(5, 5, &v[5]),
            o.GetPixelGreen(5, 5, &v[6]), o.GetPixelBlue(5, 5, &v[7]), o.GetPixelAlpha(5, 5, &v[8]),
            o.GetTransparent(&v[9]), o.GetHeight(&v[10]), o.GetWidth(&v[11]), o.GetTrueColor(&t)}) {
        if (FAILED(step)) hr = step;
      }
      for (int i = 0; i < 12; ++i) r.numbers[i] = v[i];
      r.numbers[12] = t;
      return hr;
    });
    add("SetColor" + k, setup, [](Images &o, Run &) { return o.SetColor(1, 2, 3); });
    add("SetAlphaColor" + k, setup, [](Images &o, Run &) { return o.SetAlphaColor(9, 8, 7, 60); });
    add("SetColorByIndex" + k, setup, [](Images &o, Run &) { return o.SetColorByIndex(3); });
    add("SetTransparent" + k, setup, [](Images &o, Run &) { return o.SetTransparent(1); });
    add("SetPixel" + k, setup, [](Images &o, Run &) { return o.SetPixel(3, 4); });
    add("DrawLine" + k, setup, [](Images &o, Run &) { return o.DrawLine(0, 0, 40, 30); });
    add("DrawLine thick" + k, setup, [](Images &o, Run &) {
      o.SetLineThickness(5);
      return o.DrawLine(0, 0, 40, 30);
    });
    add("DrawRectangle thick" + k, setup, [](Images &o, Run &) {
      o.SetLineThickness(4);
      return o.DrawRectangle(2, 3, 40, 30);
    });
    add("DrawFilledRectangle" + k, setup,
        [](Images &o, Run &) { return o.DrawFilledRectangle(2, 3, 40, 30); });
    add("DrawEllipse" + k, setup, [](Images &o, Run &) { return o.DrawEllipse(20, 15, 30, 20); });
    add("DrawFilledEllipse" + k, setup,
        [](Images &o, Run &) { return o.DrawFilledEllipse(20, 15, 30, 20); });
    add("DrawArc" + k, setup, [](Images &o, Run &) { return o.DrawArc(20, 15, 30, 20, 10, 250); });
    add("DrawFilledArc" + k, setup,
        [](Images &o, Run &) { return o.DrawFilledArc(20, 15, 30, 20, 10, 250); });
    for (bool filled : {false, true}) {
      add(
          std::string(filled ? "DrawFilledPolygon" : "DrawPolygon") + k,
          [setup](Images &o, Run &r) {
            setup(o, r);
            SAFEARRAY *array = SafeArrayCreateVector(VT_VARIANT, 0, 10);
            const int xy[10] = {1, 1, 40, 3, 30, 30, 5, 20, 20, 10};
            for (LONG i = 0; i < 10; ++i) {
              VARIANT v;
              V_VT(&v) = VT_I4;
              V_I4(&v) = xy[i];
              SafeArrayPutElement(array, &i, &v);
            }
            V_VT(&r.polygon) = VT_ARRAY | VT_VARIANT;
            V_ARRAY(&r.polygon) = array;
          },
          [filled](Images &o, Run &r) {
            return filled ? o.DrawFilledPolygon(&r.polygon, 10) : o.DrawPolygon(&r.polygon, 10);
          });
    }
    add("Fill" + k, setup, [](Images &o, Run &) { return o.Fill(1, 30); });
    add("FillToBorder" + k, setup, [](Images &o, Run &) {
      o.SetBorderColor();
      o.SetColor(200, 0, 0);
      return o.FillToBorder(20, 20);
    });
    add(
        "DrawText" + k, setup, [](Images &o, Run &r) { return o.DrawText(2, 2, r.text); },
        "Hello, world");
    add(
        "DrawTextAngle" + k, setup,
        [](Images &o, Run &r) { return o.DrawTextAngle(2, 30, 60, r.text); }, "Angle");
    add(
        "DrawTextTTF" + k, setup, [](Images &o, Run &r) { return o.DrawTextTTF(2, 30, r.text); },
        "Type", true);
    add(
        "DrawTextAngleTTF" + k, setup,
        [](Images &o, Run &r) { return o.DrawTextAngleTTF(10, 30, 30, r.text); }, "Turn", true);
    add("ConvertToPalette" + k, setup, [](Images &o, Run &) { return o.ConvertToPalette(); });
    add("ConvertToPaletteNoAlpha" + k, setup,
        [](Images &o, Run &) { return o.ConvertToPaletteNoAlpha(); });
    add("ConvertToGrayScale" + k, setup, [](Images &o, Run &) { return o.ConvertToGrayScale(); });
    add("ConvertToMonochrome" + k, setup,
        [](Images &o, Run &) { return o.ConvertToMonochrome(100); });
    add("ConvertToMonochromeAuto" + k, setup,
        [](Images &o, Run &) { return o.ConvertToMonochromeAuto(); });
    add("CopyImage" + k, setup,
        [](Images &o, Run &) { return o.CopyImage(0, 1, 3, 3, 0, 0, 30, 20); });
    add("CopyImageResize" + k, setup,
        [](Images &o, Run &) { return o.CopyImageResize(0, 1, 1, 1, 0, 0, 40, 30, 20, 15); });
    add("CopyImageMerge" + k, setup,
        [](Images &o, Run &) { return o.CopyImageMerge(0, 1, 2, 2, 0, 0, 30, 20, 40); });
    add("CopyImageSimpleRotate" + k, setup,
        [](Images &o, Run &) { return o.CopyImageSimpleRotate(0, 1, 20, 15, 0, 0, 30, 20, 45); });
    for (int angle : {90, 33}) {
      add("CopyImageRotate " + std::to_string(angle) + k, setup,
          [angle](Images &o, Run &) { return o.CopyImageRotate(2, 1, angle); });
    }
  }
  add(
      "GetTextTTFRectangle", tc,
      [](Images &o, Run &r) { return o.GetTextTTFRectangle(1, 20, r.text, &r.value); }, "Measure",
      true);
  add(
      "SetFontTTF", tc, [](Images &o, Run &r) { return o.SetFontTTF(r.text); }, "DejaVuSerif");
  add(
      "SetFontPathTTF", tc, [](Images &o, Run &r) { return o.SetFontPathTTF(r.text); },
      "/usr/share/fonts/truetype/dejavu;/tmp");
  add("SetFontPathTTFAuto", tc, [](Images &o, Run &) { return o.SetFontPathTTFAuto(); });

  // Writes and reads, every format, to and from every kind of storage.
  for (int f = 0; f < 5; ++f) {
    for (auto &[kind, setup] : kinds) {
      std::string k = std::string(formats[f]) + " (" + kind + ")";
      auto prepare = [f, setup](Images &o, Run &r) {
        setup(o, r);
        o.SetImageType(f);
      };
      add("WriteToVariable " + k, prepare,
          [](Images &o, Run &r) { return o.WriteToVariable(&r.bytes); });
      add(
          "WriteToFile " + k,
          [prepare](Images &o, Run &r) {
            prepare(o, r);
            std::ofstream(r.dir + "/out") << "old content";
          },
          [](Images &o, Run &r) { return o.WriteToFile(r.text); }, "@/out");
      add(
          "ReadFromVariable " + k,
          [prepare](Images &o, Run &r) {
            prepare(o, r);
            BSTR b = nullptr;
            o.WriteToVariable(&b);
            r.out.assign(reinterpret_cast<const char *>(b), SysStringByteLen(b));
            SysFreeString(b);
            r.bytes = SysAllocStringByteLen(r.out.data(), static_cast<UINT>(r.out.size()));
            r.out.clear();
          },
          [](Images &o, Run &r) { return o.ReadFromVariable(&r.bytes); });
      add(
          "ReadFromFile " + k,
          [prepare](Images &o, Run &r) {
            prepare(o, r);
            BSTR path = Text((r.dir + "/in").c_str());
            o.WriteToFile(path);
            SysFreeString(path);
          },
          [](Images &o, Run &r) { return o.ReadFromFile(r.text); }, "@/in");
    }
  }
  for (int f : {0, 3}) {
    std::string k = formats[f];
    add(
        "WriteToVariableVariant " + k,
        [f](Images &o, Run &) {
          TwoSlots(o, false, true);
          o.SetImageType(f);
        },
        [](Images &o, Run &r) { return o.WriteToVariableVariant(&r.value); });
    // The component's own SQLite field, on a database of the child's own.
    auto openField = [f](Images &o, Run &r, bool withImage) {
      TwoSlots(o, false, true);
      o.SetImageType(f);
      r.sqlitePath = r.dir + "/fields.db";
      sqlite3 *db = nullptr;
      sqlite3_open(r.sqlitePath.c_str(), &db);
      sqlite3_exec(
          db,
          "CREATE TABLE t (id INTEGER PRIMARY KEY, image BLOB); INSERT INTO t VALUES (1, x'0102');",
          nullptr, nullptr, nullptr);
      sqlite3_close(db);
      MorphelOpenSqliteField(r.sqlitePath.c_str(), "t", "image", 1, &r.sqliteField);
      if (withImage) {
        VARIANT arg;
        V_VT(&arg) = VT_DISPATCH;
        V_DISPATCH(&arg) = r.sqliteField;
        // The field holds an image: rewritten as the only value.
        db = nullptr;
        sqlite3_open(r.sqlitePath.c_str(), &db);
        sqlite3_exec(db, "UPDATE t SET image = NULL", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        o.WriteToDatabase(arg);
      }
    };
    add(
        "WriteToDatabase SQLite " + k, [openField](Images &o, Run &r) { openField(o, r, false); },
        [](Images &o, Run &r) {
          VARIANT arg;
          V_VT(&arg) = VT_DISPATCH;
          V_DISPATCH(&arg) = r.sqliteField;
          return o.WriteToDatabase(arg);
        });
    add(
        "ReadFromDatabase SQLite " + k, [openField](Images &o, Run &r) { openField(o, r, true); },
        [](Images &o, Run &r) {
          VARIANT arg;
          V_VT(&arg) = VT_DISPATCH;
          V_DISPATCH(&arg) = r.sqliteField;
          return o.ReadFromDatabase(arg);
        });
  }
  // The same operations called by name, arguments converted on the way in
  // and results (or the exception record) on the way out.
  add(
      "Invoke DrawText",
      [tc](Images &o, Run &r) {
        tc(o, r);
        ByNameArgs(r, {"4", "5", "by name"});
      },
      [](Images &o, Run &r) { return CallByName(o, r, 29, DISPATCH_METHOD); });
  add(
      "Invoke DrawLine with text numbers",
      [tc](Images &o, Run &r) {
        tc(o, r);
        ByNameArgs(r, {"\"1", "\"2", "\"40", "\"30"});
      },
      [](Images &o, Run &r) { return CallByName(o, r, 9, DISPATCH_METHOD); });
  add("Invoke WriteToVariable PNG", tc, [](Images &o, Run &r) {
    return CallByName(o, r, 16, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
  });
  add(
      "Invoke ReadFromFile of a missing file",
      [tc](Images &o, Run &r) {
        tc(o, r);
        ByNameArgs(r, {"/nonexistent/none.png"});
      },
      [](Images &o, Run &r) { return CallByName(o, r, 7, DISPATCH_METHOD); });
  // Larger pictures, where the codecs and transforms make large allocations.
  add("WriteToVariable PNG large", big,
      [](Images &o, Run &r) { return o.WriteToVariable(&r.bytes); });
  for (int f : {1, 3, 4}) {
    add(
        std::string("WriteToFile large ") + formats[f],
        [f, big](Images &o, Run &r) {
          big(o, r);
          o.SetImageType(f);
          std::ofstream(r.dir + "/out") << "old content";
        },
        [](Images &o, Run &r) { return o.WriteToFile(r.text); }, "@/out");
  }
  add("ConvertToPaletteNoAlpha large", big,
      [](Images &o, Run &) { return o.ConvertToPaletteNoAlpha(); });
  add("ConvertToPalette large", big, [](Images &o, Run &) { return o.ConvertToPalette(); });
  add("CopyImageRotate 33 large", big,
      [](Images &o, Run &) { return o.CopyImageRotate(2, 1, 33); });
  add("CopyImageResize large", big,
      [](Images &o, Run &) { return o.CopyImageResize(0, 1, 0, 0, 0, 0, 400, 300, 200, 150); });
  // A source rectangle far larger than the library's loops are let run: the
  // resize is computed by the component over the destination's pixels.
  add("CopyImageResize outsized (palette)", pal, [](Images &o, Run &) {
    return o.CopyImageResize(0, 1, 0, 0, 0, 0, 48, 36, 1000000, 900000);
  });
  add("CopyImageSimpleRotate outsized (palette)", pal,
      [](Images &o, Run &) { return o.CopyImageSimpleRotate(0, 1, 20, 15, 0, 0, 6000, 6000, 30); });
  add("CopyImageResize outsized (true colour)", tc,
      [](Images &o, Run &) { return o.CopyImageResize(0, 1, 0, 0, 0, 0, 48, 36, 100000, 90000); });
  add("Fill large", big, [](Images &o, Run &) { return o.Fill(399, 299); });
  return cases;
}

// What a case hands back besides the object: out-parameters, a written file
// or field.
void Collect(Images &, Run &r, const Case &c) {
  if (c.name.rfind("WriteToVariable ", 0) == 0 && r.bytes != nullptr) {
    r.out.assign(reinterpret_cast<const char *>(r.bytes), SysStringByteLen(r.bytes));
  }
  for (long long n : r.numbers) r.out += std::to_string(n) + ",";
  if (V_VT(&r.value) == VT_BSTR && V_BSTR(&r.value) != nullptr) {
    r.out.append(reinterpret_cast<const char *>(V_BSTR(&r.value)),
                 SysStringByteLen(V_BSTR(&r.value)));
  }
  if (V_VT(&r.value) & VT_ARRAY) {
    SAFEARRAY *array = V_ARRAY(&r.value);
    for (LONG i = 0; i < static_cast<LONG>(array->rgsabound[0].cElements); ++i) {
      VARIANT e;
      VariantInit(&e);
      SafeArrayGetElement(array, &i, &e);
      r.out += std::to_string(V_VT(&e)) + ":" +
               std::to_string(V_VT(&e) == VT_UI1 ? V_UI1(&e) : V_I4(&e)) + ",";
      VariantClear(&e);
    }
  }
  if (c.name.rfind("WriteToFile", 0) == 0) r.out = FileBytes(r.dir + "/out");
  if (!r.sqlitePath.empty()) {
    sqlite3 *db = nullptr;
    sqlite3_open(r.sqlitePath.c_str(), &db);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "SELECT image FROM t WHERE id = 1", -1, &st, nullptr);
    if (sqlite3_step(st) == SQLITE_ROW) {
      r.out.assign(static_cast<const char *>(sqlite3_column_blob(st, 0)),
                   sqlite3_column_bytes(st, 0));
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
  }
}

// ---- One run in a child --------------------------------------------------------

struct Report {
  bool reached = false;  // the refused allocation happened
  long counted = 0;      // allocations counted while armed
  HRESULT status = S_OK;
  bool errorInfo = false;     // a failure came with error information
  uint64_t objectDigest = 0;  // the object after the call
  uint64_t outDigest = 0;     // what the call handed back
  bool othersKept = true;     // slots other than the current one unchanged
  bool works = false;         // the object still creates, draws and writes
  bool storageKept = true;    // a failed write left the file or field as it was
  bool noLeftovers = true;    // no temporary file left beside a written one
  long long liveDelta = 0;    // allocations left after releasing everything
  bool leakReported = false;  // the leak checker found unreachable blocks
};

// The object still works: a new image in another slot can be drawn and written.
bool StillWorks(Images &o) {
  BSTR bytes = nullptr;
  bool ok = SUCCEEDED(o.SetImage(9)) && SUCCEEDED(o.CreateImage(8, 8)) &&
            SUCCEEDED(o.SetColor(1, 2, 3)) && SUCCEEDED(o.DrawLine(0, 0, 7, 7)) &&
            SUCCEEDED(o.SetImageType(0)) && SUCCEEDED(o.WriteToVariable(&bytes)) &&
            SysStringByteLen(bytes) > 50;
  SysFreeString(bytes);
  return ok;
}

Report RunCase(const Case &c, FaultModel model, long failAt, const std::string &dir) {
  Report report;
  Run run;
  run.dir = dir;
  Images *object = new Images();
  object->AddRef();
  c.setup(*object, run);
  if (!c.text.empty())
    run.text = Text(c.text.rfind("@/", 0) == 0 ? dir + c.text.substr(1) : c.text);
  SetErrorInfo(0, nullptr);
  const int slot = object->currentSlot;
  uint64_t before[kSlotCount];
  for (int s = 0; s < kSlotCount; ++s) before[s] = SlotDigest(*object, s);
  const std::string storedBefore =
      c.name.rfind("WriteToFile", 0) == 0 ? FileBytes(dir + "/out") : "";
  const long long live0 = LiveAllocations();
  Arm(model, failAt);
  report.status = c.op(*object, run);
  report.counted = Disarm();
  report.reached = FaultHappened();
  IErrorInfo *info = nullptr;
  report.errorInfo = (GetErrorInfo(0, &info) == S_OK && info != nullptr) || run.exceptionRecord;
  if (info != nullptr) info->Release();
  Collect(*object, run, c);
  Digest out;
  out.Add(run.out.data(), run.out.size());
  report.outDigest = out.h;
  report.objectDigest = ObjectDigest(*object);
  for (int s = 0; s < kSlotCount; ++s) {
    if (s != slot && s != 2 && before[s] != SlotDigest(*object, s)) report.othersKept = false;
  }
  if (FAILED(report.status) && c.name.rfind("WriteToFile", 0) == 0) {
    report.storageKept = FileBytes(dir + "/out") == storedBefore;
  }
  for (const auto &entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() == ".tmp") report.noLeftovers = false;
  }
  report.works = StillWorks(*object);
  SysFreeString(run.text);
  SysFreeString(run.bytes);
  VariantClear(&run.polygon);
  VariantClear(&run.value);
  for (VARIANT &arg : run.args) VariantClear(&arg);
  SysFreeString(run.exception.bstrSource);
  SysFreeString(run.exception.bstrDescription);
  SysFreeString(run.exception.bstrHelpFile);
  if (run.sqliteField != nullptr) run.sqliteField->Release();
  object->Release();
  SetErrorInfo(0, nullptr);
  run = Run();
#if defined(__SANITIZE_ADDRESS__)
  // The sanitizer allocates some blocks itself (its own strdup and the like),
  // so counting is left to its leak checker.
  (void)live0;
  report.leakReported = __lsan_do_recoverable_leak_check() != 0;
#else
  report.liveDelta = LiveAllocations() - live0;
#endif
  return report;
}

// ---- The runner ------------------------------------------------------------------

enum class Outcome { kOk, kFailedCleanly, kCrash, kHang, kSanitizer, kLeak, kBroken };

struct Child {
  bool finished = false;  // exited normally with a report
  Outcome abnormal = Outcome::kCrash;
  Report report;
};

constexpr unsigned kTimeoutSeconds = 30;

Child RunInChild(const Case &c, FaultModel model, long failAt, const std::string &root) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) std::abort();
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    close(pipeEnds[0]);
    alarm(kTimeoutSeconds);
    const std::string dir = root + "/run-" + std::to_string(getpid());
    fs::create_directories(dir);
    Report r = RunCase(c, model, failAt, dir);
    fs::remove_all(dir);
    if (write(pipeEnds[1], &r, sizeof r) != static_cast<ssize_t>(sizeof r)) _exit(3);
    _exit(0);
  }
  close(pipeEnds[1]);
  Child child;
  ssize_t got = 0;
  for (ssize_t n; got < static_cast<ssize_t>(sizeof child.report) &&
                  (n = read(pipeEnds[0], reinterpret_cast<char *>(&child.report) + got,
                            sizeof child.report - got)) > 0;) {
    got += n;
  }
  close(pipeEnds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFSIGNALED(status)) {
    child.abnormal = WTERMSIG(status) == SIGALRM ? Outcome::kHang : Outcome::kCrash;
  } else if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
    child.abnormal = Outcome::kSanitizer;  // a sanitizer's report ends the run with a status
  } else if (got == static_cast<ssize_t>(sizeof child.report)) {
    child.finished = true;
  }
  return child;
}

Outcome Judge(const Child &child, const Report &reference) {
  if (!child.finished) return child.abnormal;
  const Report &r = child.report;
  if (r.leakReported || r.liveDelta > reference.liveDelta) return Outcome::kLeak;
  // A run whose allocations all succeeded is the reference run again.
  const bool sameAsReference = r.status == reference.status &&
                               r.objectDigest == reference.objectDigest &&
                               r.outDigest == reference.outDigest;
  if (!r.reached) return sameAsReference && r.works ? Outcome::kOk : Outcome::kBroken;
  if ((reference.othersKept && !r.othersKept) || !r.works || !r.noLeftovers)
    return Outcome::kBroken;
  if (r.status == S_OK) {
    const bool same =
        r.objectDigest == reference.objectDigest && r.outDigest == reference.outDigest;
    return same ? Outcome::kOk : Outcome::kBroken;
  }
  // E_OUTOFMEMORY says what happened by itself (a call by name whose
  // argument could not be converted).
  const bool explained = r.errorInfo || r.status == E_OUTOFMEMORY;
  if (FAILED(r.status) && explained && r.storageKept) return Outcome::kFailedCleanly;
  return Outcome::kBroken;
}

// The failure points tried for an operation of n allocations: all of them up
// to a limit, beyond it the first ones and then evenly spread samples.
std::vector<long> Points(long n, long limit) {
  std::vector<long> points;
  if (n <= limit) {
    for (long i = 1; i <= n; ++i) points.push_back(i);
    return points;
  }
  for (long i = 1; i <= limit / 2; ++i) points.push_back(i);
  const long rest = limit - limit / 2;
  for (long k = 1; k <= rest; ++k) points.push_back(limit / 2 + (n - limit / 2) * k / rest);
  return points;
}

struct Row {
  std::string name;
  long allocations = 0;
  long tried = 0;
  long ok = 0, failed = 0, crash = 0, hang = 0, sanitizer = 0, leak = 0, broken = 0, known = 0;
  std::string firstBad;
  unsigned knownKinds = 0;  // the outcomes among the known runs, one bit each
};

const char *OutcomeName(Outcome o) {
  switch (o) {
    case Outcome::kCrash:
      return "crash";
    case Outcome::kHang:
      return "hang";
    case Outcome::kSanitizer:
      return "sanitizer";
    case Outcome::kLeak:
      return "leak";
    case Outcome::kBroken:
      return "broken";
    default:
      return "ok";
  }
}

// Faults of the graphics library that the component cannot mend without
// replacing the function (listed in the README): its TrueType text
// (gdImageStringFTEx) under failing small allocations; its PNG writer
// (gdImagePngCtx), which loses its row buffers when libpng gives up part-way
// (the component still refuses the incomplete file).
bool KnownLibraryFault(const Case &c, FaultModel model, Outcome o) {
  if (c.libgdText) return model == FaultModel::kEvery;
  const bool png =
      c.name.find("PNG") != std::string::npos && c.name.find("Read") == std::string::npos;
  return png && o == Outcome::kLeak;
}

Row RunOperation(const Case &c, FaultModel model, const std::string &root, long limit) {
  Row row;
  row.name = c.name;
  Child reference = RunInChild(c, model, 0, root);
  if (!reference.finished) {
    row.crash = 1;
    row.firstBad = "reference run did not finish";
    return row;
  }
  row.allocations = reference.report.counted;
  std::vector<long> points = Points(row.allocations, limit);
  points.push_back(row.allocations + 1);
  for (size_t i = 0; i < points.size(); ++i) {
    Child child = RunInChild(c, model, points[i], root);
    ++row.tried;
    const Outcome o = Judge(child, reference.report);
    const bool bad = o != Outcome::kOk && o != Outcome::kFailedCleanly;
    if (bad && KnownLibraryFault(c, model, o)) {
      ++row.known;
      row.knownKinds |= 1u << static_cast<unsigned>(o);
    } else {
      switch (o) {
        case Outcome::kOk:
          ++row.ok;
          break;
        case Outcome::kFailedCleanly:
          ++row.failed;
          break;
        case Outcome::kCrash:
          ++row.crash;
          break;
        case Outcome::kHang:
          ++row.hang;
          break;
        case Outcome::kSanitizer:
          ++row.sanitizer;
          break;
        case Outcome::kLeak:
          ++row.leak;
          break;
        case Outcome::kBroken:
          ++row.broken;
          break;
      }
      if (bad && row.firstBad.empty()) {
        row.firstBad = std::string(OutcomeName(o)) + " at " + std::to_string(points[i]);
      }
    }
    // The last point is past the allocations; if it still hit one, go on.
    if (i + 1 == points.size() && child.finished && child.report.reached)
      points.push_back(points[i] + 1);
  }
  return row;
}

int RunModel(FaultModel model, const std::vector<Case> &cases, const std::string &root, long limit,
             const std::string &only) {
  std::printf("\nFault model: %s\n", model == FaultModel::kEvery
                                         ? "the n-th allocation fails"
                                         : "the n-th allocation of 16 KB or more fails");
  std::printf("%-58s %6s %6s %6s %6s %5s %4s %4s %4s %6s %5s\n", "operation", "allocs", "tried",
              "S_OK", "E_FAIL", "crash", "hang", "san", "leak", "broken", "known");
  Row total;
  int bad = 0;
  for (const Case &c : cases) {
    if (!only.empty() && c.name.find(only) == std::string::npos) continue;
    Row row = RunOperation(c, model, root, limit);
    if (row.firstBad.empty() && row.knownKinds != 0) {
      row.firstBad = "known:";
      for (Outcome o : {Outcome::kCrash, Outcome::kHang, Outcome::kSanitizer, Outcome::kLeak,
                        Outcome::kBroken}) {
        if (row.knownKinds & (1u << static_cast<unsigned>(o)))
          row.firstBad += std::string(" ") + OutcomeName(o);
      }
    }
    std::printf("%-58.58s %6ld %6ld %6ld %6ld %5ld %4ld %4ld %4ld %6ld %5ld %s\n", row.name.c_str(),
                row.allocations, row.tried, row.ok, row.failed, row.crash, row.hang, row.sanitizer,
                row.leak, row.broken, row.known, row.firstBad.c_str());
    std::fflush(stdout);
    total.allocations += row.allocations;
    total.tried += row.tried;
    total.ok += row.ok;
    total.failed += row.failed;
    total.crash += row.crash;
    total.hang += row.hang;
    total.sanitizer += row.sanitizer;
    total.leak += row.leak;
    total.broken += row.broken;
    total.known += row.known;
    bad += row.crash + row.hang + row.sanitizer + row.leak + row.broken > 0;
  }
  std::printf("%-58s %6ld %6ld %6ld %6ld %5ld %4ld %4ld %4ld %6ld %5ld\n", "total",
              total.allocations, total.tried, total.ok, total.failed, total.crash, total.hang,
              total.sanitizer, total.leak, total.broken, total.known);
  return bad;
}

}  // namespace
}  // namespace morphel::fault

// Arguments: [filter] — only the operations whose name contains it.
// MORPHEL_FAULT_POINTS sets how many failure points an operation gets at most.
int main(int argc, char **argv) {
  using namespace morphel::fault;
  const char *tmp = std::getenv("MORPHEL_TEST_TMP");
  std::string root =
      std::string(tmp != nullptr ? tmp : "/tmp") + "/fault-" + std::to_string(getpid());
  std::filesystem::create_directories(root);
  const char *pointsText = std::getenv("MORPHEL_FAULT_POINTS");
  const long limit = pointsText != nullptr ? std::atol(pointsText) : 120;
  const std::string only = argc > 1 ? argv[1] : "";
  gdSetErrorMethod([](int, const char *, va_list) {});
  const std::vector<Case> cases = AllCases();
  // MORPHEL_FAULT_AT=n runs the filtered operations once, in this process,
  // with the n-th allocation refused (for a debugger: break on OnRefused).
  if (const char *at = std::getenv("MORPHEL_FAULT_AT")) {
    for (const Case &c : cases) {
      if (c.name.find(only) == std::string::npos) continue;
      std::filesystem::create_directories(root + "/direct");
      const Report r = RunCase(c, FaultModel::kEvery, std::atol(at), root + "/direct");
      std::printf("%s: status %08x info %d others %d works %d live %lld\n", c.name.c_str(),
                  static_cast<unsigned>(r.status), r.errorInfo, r.othersKept, r.works, r.liveDelta);
    }
    return 0;
  }
  int bad = RunModel(FaultModel::kEvery, cases, root, limit, only);
  bad += RunModel(FaultModel::kLarge, cases, root, limit, only);
  std::filesystem::remove_all(root);
  std::printf("\n%s: %d operation(s) with bad runs\n", bad == 0 ? "PASS" : "FAIL", bad);
  return bad == 0 ? 0 : 1;
}
