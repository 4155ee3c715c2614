// Side by side: each operation through the component's interface beside the
// same work done by calling libgd directly, on the same image in one run.
//
//   side_by_side [--runs N] [--tsv] [--files DIR] [--count] [--only KEY,KEY...]
//
// Every operation is timed N times (default 9), the component and libgd
// taking turns, and the medians are printed with their ratio. --tsv prints
// key, label, component ms and libgd ms as tab-separated lines for
// bench/compare/table.py; --files writes the component's encodings of the
// test image (image.png, .jpg, .gif, .bmp) into DIR for the same script.
// --count is for a run under callgrind (--collect-atstart=no): on images a
// quarter of the size, each side of each operation runs once with collection
// on and its instruction count is dumped under "<key> component" or
// "<key> libgd", a measure that load on the machine does not disturb.
// --only runs the operations of the keys given (as printed with --tsv).
#include <gd.h>
#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/images.h"

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define MORPHEL_CAN_COUNT 1
#endif

namespace {

// Sizes of the timed run; --count quarters the sides and the number of shapes.
struct Sizes {
  int width = 2000;
  int height = 1500;
  int mazeSide = 2000;
  int shapes = 10000;
  int pixels = 1000000;
} sizes;
bool counting = false;
std::string only;  // ",key,key," or empty for all

bool Selected(const char *key) {
  return only.empty() || only.find("," + std::string(key) + ",") != std::string::npos;
}

struct Row {
  std::string key;
  std::string label;
  double ours;
  double gd;
};

double MedianOf(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double MillisecondsOf(const std::function<void()> &work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// One run with callgrind's collection on, dumped under the key and side.
void CountInstructions(const std::string &name, const std::function<void()> &work) {
#ifdef MORPHEL_CAN_COUNT
  CALLGRIND_ZERO_STATS;
  CALLGRIND_TOGGLE_COLLECT;
  work();
  CALLGRIND_TOGGLE_COLLECT;
  CALLGRIND_DUMP_STATS_AT(name.c_str());
#else
  (void)name;
  work();
#endif
}

// Medians of runs of both, taking turns so that load on the machine falls on
// both alike.
Row Compare(const char *key, const char *label, int runs, const std::function<void()> &ours,
            const std::function<void()> &gd) {
  if (!Selected(key)) return Row{};  // left out of the table
  std::vector<double> a, b;
  ours();  // warm-up of both
  gd();
  if (counting) {
    CountInstructions(std::string(key) + " component", ours);
    CountInstructions(std::string(key) + " libgd", gd);
    return Row{key, label, 0, 0};
  }
  for (int i = 0; i < runs; ++i) {
    a.push_back(MillisecondsOf(ours));
    b.push_back(MillisecondsOf(gd));
  }
  return Row{key, label, MedianOf(a), MedianOf(b)};
}

// A holder for one component object, called through its interface.
class Component {
 public:
  Component() {
    auto *object = new morphel::Images();
    object->AddRef();
    object_ = object;
    images_ = object;
  }
  ~Component() { object_->Release(); }
  IImages *operator->() { return images_; }
  gdImagePtr image() { return object_->CurrentImage(); }

 private:
  morphel::Images *object_;
  IImages *images_;
};

BSTR Path(const std::string &ascii) {
  std::u16string wide(ascii.begin(), ascii.end());
  return SysAllocStringLen(reinterpret_cast<const OLECHAR *>(wide.data()),
                           static_cast<UINT>(wide.size()));
}

// Smooth gradients with a little noise, like a photograph as far as the
// encoders are concerned.
void PaintPhoto(gdImagePtr im) {
  unsigned seed = 12345;
  for (int y = 0; y < gdImageSY(im); ++y) {
    for (int x = 0; x < gdImageSX(im); ++x) {
      seed = seed * 1103515245u + 12345u;
      const int noise = static_cast<int>((seed >> 16) & 3) - 2;
      const int r = std::clamp(x * 255 / sizes.width + noise, 0, 255);
      const int g = std::clamp(static_cast<int>(128 + 100 * std::sin(x / 37.0 + y / 53.0)) + noise, 0, 255);
      const int b = std::clamp((y * 255 / sizes.height + x / 9) % 256 + noise, 0, 255);
      im->tpixels[y][x] = gdTrueColor(r, g, b);
    }
  }
}

// A perfect maze of one-pixel corridors and walls (depth-first carving with a
// fixed seed): black walls, white corridors, one region of some 2,000,000
// pixels in about a million runs.
void PaintMaze(gdImagePtr im) {
  const int cells = (gdImageSX(im) - 1) / 2;
  for (int y = 0; y < gdImageSY(im); ++y) {
    for (int x = 0; x < gdImageSX(im); ++x) im->tpixels[y][x] = gdTrueColor(0, 0, 0);
  }
  std::vector<char> seen(size_t(cells) * cells, 0);
  std::vector<int> stack{0};
  seen[0] = 1;
  unsigned seed = 7;
  const int white = gdTrueColor(255, 255, 255);
  im->tpixels[1][1] = white;
  while (!stack.empty()) {
    const int cell = stack.back();
    const int cx = cell % cells, cy = cell / cells;
    int options[4], count = 0;
    const int dx[4] = {1, -1, 0, 0}, dy[4] = {0, 0, 1, -1};
    for (int d = 0; d < 4; ++d) {
      const int nx = cx + dx[d], ny = cy + dy[d];
      if (nx >= 0 && ny >= 0 && nx < cells && ny < cells && !seen[size_t(ny) * cells + nx]) {
        options[count++] = d;
      }
    }
    if (count == 0) {
      stack.pop_back();
      continue;
    }
    seed = seed * 1103515245u + 12345u;
    const int d = options[(seed >> 16) % count];
    const int nx = cx + dx[d], ny = cy + dy[d];
    seen[size_t(ny) * cells + nx] = 1;
    im->tpixels[1 + cy * 2 + dy[d]][1 + cx * 2 + dx[d]] = white;
    im->tpixels[1 + ny * 2][1 + nx * 2] = white;
    stack.push_back(ny * cells + nx);
  }
}

// libgd's bounded fill recurses once per run: on the maze it needs a far
// larger stack than a thread has by default, so it runs on one of 2 GiB.
void FillToBorderOnLargeStack(gdImagePtr im, int x, int y, int border, int colour) {
  struct Call {
    gdImagePtr im;
    int x, y, border, colour;
  } call{im, x, y, border, colour};
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, size_t(2) << 30);
  pthread_t thread;
  auto run = [](void *p) -> void * {
    auto *c = static_cast<Call *>(p);
    gdImageFillToBorder(c->im, c->x, c->y, c->border, c->colour);
    return nullptr;
  };
  if (pthread_create(&thread, &attr, run, &call) == 0) pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
}

// The bytes of the component's current image in a format, as a byte string.
BSTR EncodedString(Component &c, int format) {
  c->SetImageType(format);
  BSTR bytes = nullptr;
  c->WriteToVariable(&bytes);
  return bytes;
}

using Rows = std::vector<Row>;

void CompareEncoders(Component &c, int runs, Rows *rows) {
  gdImagePtr im = c.image();
  auto toVariable = [&](int format) {
    return [&c, format] {
      c->SetImageType(format);
      BSTR bytes = nullptr;
      c->WriteToVariable(&bytes);
      SysFreeString(bytes);
    };
  };
  auto freeing = [](void *p) { gdFree(p); };
  int size = 0;
  rows->push_back(Compare("png_write", "PNG to variable", runs, toVariable(0),
                          [&] { freeing(gdImagePngPtr(im, &size)); }));
  c->SetImageType(0);
  BSTR path = Path("/tmp/morphel-side-by-side.png");
  rows->push_back(Compare("png_file", "PNG to file", runs, [&] { c->WriteToFile(path); }, [&] {
    FILE *f = std::fopen("/tmp/morphel-side-by-side-gd.png", "wb");
    gdImagePng(im, f);
    std::fclose(f);
  }));
  SysFreeString(path);
  c->SetJpegQuality(85);
  rows->push_back(Compare("jpeg_write", "JPEG q85 to variable", runs, toVariable(1),
                          [&] { freeing(gdImageJpegPtr(im, &size, 85)); }));
  rows->push_back(Compare("gif_write", "GIF of true colour to variable", runs, toVariable(3), [&] {
    gdImagePtr copy = gdImageCreateTrueColor(sizes.width, sizes.height);
    gdImageAlphaBlending(copy, 0);
    gdImageSaveAlpha(copy, 1);
    gdImageCopy(copy, im, 0, 0, 0, 0, sizes.width, sizes.height);
    gdImageTrueColorToPalette(copy, 0, 256);
    freeing(gdImageGifPtr(copy, &size));
    gdImageDestroy(copy);
  }));
  c->SetColor(0, 0, 0);
  rows->push_back(Compare("wbmp_write", "WBMP to variable", runs, toVariable(2),
                          [&] { freeing(gdImageWBMPPtr(im, &size, gdTrueColor(0, 0, 0))); }));
  rows->push_back(Compare("bmp_write", "BMP to variable (libgd: its own BMP writer)", runs,
                          toVariable(4), [&] { freeing(gdImageBmpPtr(im, &size, 0)); }));
  rows->push_back(Compare("variant_write", "PNG to variant array (libgd: PNG only)", runs,
                          [&] {
                            c->SetImageType(0);
                            VARIANT v;
                            c->WriteToVariableVariant(&v);
                            VariantClear(&v);
                          },
                          [&] { freeing(gdImagePngPtr(im, &size)); }));
}

void CompareDecoders(Component &c, int runs, Rows *rows) {
  Component reader;
  struct Format {
    const char *key;
    const char *label;
    int code;
    gdImagePtr (*decode)(int, void *);
  };
  const Format formats[] = {
      {"png_read", "PNG from variable", 0, gdImageCreateFromPngPtr},
      {"jpeg_read", "JPEG from variable", 1, gdImageCreateFromJpegPtr},
      {"gif_read", "GIF from variable", 3, gdImageCreateFromGifPtr},
      {"wbmp_read", "WBMP from variable", 2, gdImageCreateFromWBMPPtr},
      {"bmp_read", "BMP from variable (libgd: its own BMP reader)", 4, gdImageCreateFromBmpPtr},
  };
  // Like the slot, the libgd side keeps each decoded image until the next
  // read replaces it (the heap then behaves alike on both sides).
  gdImagePtr held = nullptr;
  auto replaceHeld = [&held](gdImagePtr im) {
    if (held != nullptr) gdImageDestroy(held);
    held = im;
  };
  for (const Format &f : formats) {
    BSTR bytes = EncodedString(c, f.code);
    reader->SetImageType(f.code);
    const int length = static_cast<int>(SysStringByteLen(bytes));
    rows->push_back(Compare(f.key, f.label, runs, [&] { reader->ReadFromVariable(&bytes); }, [&] {
      replaceHeld(nullptr);
      replaceHeld(f.decode(length, bytes));
    }));
    SysFreeString(bytes);
  }
  replaceHeld(nullptr);
}

void CompareDrawing(Component &c, int runs, Rows *rows) {
  gdImagePtr im = c.image();
  c->SetColor(200, 30, 60);
  const int pen = gdTrueColor(200, 30, 60);
  auto shapes = [](const std::function<void(int, int, int)> &draw) {
    return [draw] {
      for (int i = 0; i < sizes.shapes; ++i) draw(i, (i * 37) % sizes.width, (i * 91) % sizes.height);
    };
  };
  rows->push_back(Compare(
      "lines", "10,000 lines", runs, shapes([&](int i, int x, int y) { c->DrawLine(x, y, sizes.width - x, i % sizes.height); }),
      shapes([&](int i, int x, int y) { gdImageLine(im, x, y, sizes.width - x, i % sizes.height, pen); })));
  rows->push_back(Compare(
      "rectangles", "10,000 filled rectangles 40 x 30", runs,
      shapes([&](int, int x, int y) { c->DrawFilledRectangle(x, y, x + 40, y + 30); }),
      shapes([&](int, int x, int y) { gdImageFilledRectangle(im, x, y, x + 40, y + 30, pen); })));
  rows->push_back(Compare(
      "ellipses", "10,000 ellipses 60 x 40", runs, shapes([&](int, int x, int y) { c->DrawEllipse(x, y, 60, 40); }),
      shapes([&](int, int x, int y) { gdImageArc(im, x, y, 60, 40, 0, 360, pen); })));
  rows->push_back(Compare(
      "filled_ellipses", "10,000 filled ellipses 60 x 40", runs,
      shapes([&](int, int x, int y) { c->DrawFilledEllipse(x, y, 60, 40); }),
      shapes([&](int, int x, int y) { gdImageFilledEllipse(im, x, y, 60, 40, pen); })));
  rows->push_back(Compare(
      "pies", "10,000 pie slices 60 x 40, 30..300", runs,
      shapes([&](int, int x, int y) { c->DrawFilledArc(x, y, 60, 40, 30, 300); }),
      shapes([&](int, int x, int y) { gdImageFilledArc(im, x, y, 60, 40, 30, 300, pen, gdPie); })));
  // A six-vertex polygon as a script hands it over: a variant array.
  SAFEARRAYBOUND bound{12, 0};
  SAFEARRAY *array = SafeArrayCreate(VT_VARIANT, 1, &bound);
  VARIANT arg;
  VariantInit(&arg);
  V_VT(&arg) = VT_ARRAY | VT_VARIANT;
  V_ARRAY(&arg) = array;
  const int shape[12] = {0, 0, 50, 5, 70, 40, 40, 70, 5, 50, 20, 20};
  gdPoint points[6];
  auto place = [&](int x, int y) {
    VARIANT *cells = nullptr;
    SafeArrayAccessData(array, reinterpret_cast<void **>(&cells));
    for (int k = 0; k < 12; ++k) {
      V_VT(&cells[k]) = VT_I2;
      V_I2(&cells[k]) = static_cast<SHORT>(shape[k] + (k % 2 == 0 ? x : y));
    }
    SafeArrayUnaccessData(array);
  };
  rows->push_back(Compare(
      "polygons", "10,000 filled polygons of 6 vertices", runs,
      shapes([&](int, int x, int y) {
        place(x, y);
        c->DrawFilledPolygon(&arg, 12);
      }),
      shapes([&](int, int x, int y) {
        place(x, y);
        for (int k = 0; k < 6; ++k) points[k] = gdPoint{shape[2 * k] + x, shape[2 * k + 1] + y};
        gdImageFilledPolygon(im, points, 6, pen);
      })));
  VariantClear(&arg);
  rows->push_back(Compare(
      "pixels", "1,000,000 SetPixel", runs,
      [&] {
        for (int i = 0; i < sizes.pixels; ++i) c->SetPixel(i % sizes.width, i / sizes.width);
      },
      [&] {
        for (int i = 0; i < sizes.pixels; ++i) gdImageSetPixel(im, i % sizes.width, i / sizes.width, pen);
      }));
}

// Fills alternate between two colours, so that every run repaints the whole
// region and neither side needs the canvas reset.
void CompareFills(int runs, Rows *rows) {
  Component c;
  c->CreateImage(sizes.width, sizes.height);
  gdImagePtr im = c.image();
  int turn = 0;
  auto ourFill = [&](bool bounded, int x, int y) {
    return [&c, &turn, bounded, x, y] {
      ++turn;
      c->SetColor(turn % 2 ? 10 : 20, 200, 30);
      if (bounded) {
        c->FillToBorder(x, y);
      } else {
        c->Fill(x, y);
      }
    };
  };
  auto gdColour = [&] { return gdTrueColor(++turn % 2 ? 10 : 20, 100, 30); };
  gdImagePtr held = gdImageCreateTrueColor(sizes.width, sizes.height);  // replaced like a slot's image
  rows->push_back(Compare("create", "CreateImage 2000 x 1500", runs,
                          [&] { c->CreateImage(sizes.width, sizes.height); }, [&] {
                            gdImageDestroy(held);
                            held = gdImageCreateTrueColor(sizes.width, sizes.height);
                            gdImageAlphaBlending(held, 0);
                            gdImageSaveAlpha(held, 1);
                          }));
  gdImageDestroy(held);
  im = c.image();
  rows->push_back(Compare("fill_canvas", "Fill 2000 x 1500 uniform canvas", runs,
                          ourFill(false, sizes.width / 2, sizes.height / 2),
                          [&] { gdImageFill(im, sizes.width / 2, sizes.height / 2, gdColour()); }));
  c->SetColor(255, 0, 255);  // a border colour no pixel has
  c->SetBorderColor();
  const int noBorder = gdTrueColor(255, 0, 255);
  rows->push_back(Compare("border_canvas", "FillToBorder 2000 x 1500 uniform canvas", runs,
                          ourFill(true, sizes.width / 2, sizes.height / 2),
                          [&] { gdImageFillToBorder(im, sizes.width / 2, sizes.height / 2, noBorder, gdColour()); }));
  c->CreateImage(sizes.mazeSide, sizes.mazeSide);
  im = c.image();
  PaintMaze(im);
  rows->push_back(Compare("fill_maze", "Fill 2000 x 2000 maze", runs, ourFill(false, 1, 1),
                          [&] { gdImageFill(im, 1, 1, gdColour()); }));
  c->SetColor(0, 0, 0);
  c->SetBorderColor();
  rows->push_back(Compare("border_maze", "FillToBorder 2000 x 2000 maze (libgd on a 2 GiB stack)", runs,
                          ourFill(true, 1, 1),
                          [&] { FillToBorderOnLargeStack(im, 1, 1, 0, gdColour()); }));
}

// The test image, and the component's encodings of it for the decoders.
bool WriteFiles(Component &c, const std::string &dir) {
  const std::pair<const char *, int> encodings[] = {
      {"/image.png", 0}, {"/image.jpg", 1}, {"/image.gif", 3}, {"/image.bmp", 4}};
  c->SetJpegQuality(85);
  for (const auto &[name, format] : encodings) {
    c->SetImageType(format);
    BSTR path = Path(dir + name);
    const HRESULT hr = c->WriteToFile(path);
    SysFreeString(path);
    if (FAILED(hr)) return false;
  }
  return true;
}

void PrintTable(const Rows &rows, bool tsv) {
  if (tsv) {
    for (const Row &r : rows) {
      if (!r.key.empty()) std::printf("%s\t%s\t%.3f\t%.3f\n", r.key.c_str(), r.label.c_str(), r.ours, r.gd);
    }
    return;
  }
  std::printf("%-56s %12s %12s %8s\n", "operation", "component ms", "libgd ms", "ratio");
  for (const Row &r : rows) {
    if (r.key.empty()) continue;
    std::printf("%-56s %12.2f %12.2f %7.2fx\n", r.label.c_str(), r.ours, r.gd, r.ours / r.gd);
  }
}

}  // namespace

int main(int argc, char **argv) {
  int runs = 9;
  bool tsv = false;
  std::string files;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "--tsv") == 0) {
      tsv = true;
    } else if (std::strcmp(argv[i], "--files") == 0 && i + 1 < argc) {
      files = argv[++i];
    } else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) {
      only = "," + std::string(argv[++i]) + ",";
    } else if (std::strcmp(argv[i], "--count") == 0) {
      counting = true;
      sizes = Sizes{500, 375, 500, 2500, 62500};
    } else {
      std::fprintf(stderr, "usage: %s [--runs N] [--tsv] [--files DIR] [--count] [--only KEYS]\n", argv[0]);
      return 2;
    }
  }
  Component c;
  c->CreateImage(sizes.width, sizes.height);
  PaintPhoto(c.image());
  if (!files.empty() && !WriteFiles(c, files)) return 1;
  Rows rows;
  CompareEncoders(c, runs, &rows);
  CompareDecoders(c, runs, &rows);
  CompareFills(runs, &rows);
  CompareDrawing(c, runs, &rows);
  if (!counting) PrintTable(rows, tsv);
  return 0;
}
