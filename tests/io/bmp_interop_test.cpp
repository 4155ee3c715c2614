// BMP files exchanged with an independent codec (the Python imaging library).
#include <cstdio>
#include <sstream>

#include "io_fixture.h"

namespace morphel::io_test {
namespace {

// The interpreter that has the imaging library, or "" when none has it.
std::string PythonWithImaging() {
  for (const char *python : {"/usr/bin/python3", "python3"}) {
    std::string probe = std::string(python) + " -c 'import PIL.Image' >/dev/null 2>&1";
    if (std::system(probe.c_str()) == 0) return python;
  }
  return "";
}

// Runs a script with arguments and returns what it printed.
std::string RunPython(const std::string &python, const std::string &script, const std::string &args) {
  std::string command = python + " -c \"" + script + "\" " + args;
  std::string out;
  if (FILE *pipe = popen(command.c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
    pclose(pipe);
  }
  return out;
}

// Prints the size and the RGB value of every pixel of the BMP at argv[1].
const char kPrintPixels[] =
    "import sys, PIL.Image as I\n"
    "im = I.open(sys.argv[1]); im.load(); rgb = im.convert('RGB')\n"
    "print(im.size[0], im.size[1], ' '.join('%06x' % (r << 16 | g << 8 | b)"
    " for (r, g, b) in rgb.getdata()))\n";

std::string OurPixels(gdImagePtr im) {
  std::ostringstream out;
  out << gdImageSX(im) << " " << gdImageSY(im);
  char hex[8];
  for (int y = 0; y < gdImageSY(im); ++y) {
    for (int x = 0; x < gdImageSX(im); ++x) {
      std::snprintf(hex, sizeof hex, "%06x", RgbAt(im, x, y));
      out << " " << hex;
    }
  }
  out << "\n";
  return out.str();
}

class BmpInterop : public IoTest {
 protected:
  void SetUp() override {
    IoTest::SetUp();
    python_ = PythonWithImaging();
    if (python_.empty()) GTEST_SKIP() << "python3-pil is not installed";
  }
  std::string python_;
};

TEST_F(BmpInterop, ImagingLibraryReadsOurBmpsWithTheSamePixels) {
  for (const auto &[w, h] : {std::pair{1, 1}, std::pair{3, 2}, std::pair{4, 1}, std::pair{13, 5}}) {
    gdImagePtr im = MakePatterned(w, h);
    ASSERT_EQ(obj()->SetImageType(kFormatBmp), S_OK);
    std::string path = ScratchPath("ours-" + std::to_string(w) + "x" + std::to_string(h) + ".bmp");
    Text name(path);
    ASSERT_EQ(obj()->WriteToFile(name.get()), S_OK);
    EXPECT_EQ(RunPython(python_, kPrintPixels, path), OurPixels(im));
  }
}

// Writes a BMP of the mode in argv[2] (1, L, P or RGB) and prints its pixels.
const char kWriteBmp[] =
    "import sys, PIL.Image as I\n"
    "w, h = 11, 6; mode = sys.argv[2]\n"
    "im = I.new(mode, (w, h))\n"
    "if mode == 'P': im.putpalette([(i * 7 + c * 50) % 256 for i in range(256) for c in range(3)])\n"
    "for y in range(h):\n"
    "  for x in range(w):\n"
    "    v = (x * 31 + y * 17) % 256\n"
    "    im.putpixel((x, y), (v, 255 - v, x * 20) if mode == 'RGB' else (v % 2 if mode == '1' else v))\n"
    "im.save(sys.argv[1], 'BMP')\n"
    "rgb = im.convert('RGB')\n"
    "print(w, h, ' '.join('%06x' % (r << 16 | g << 8 | b) for (r, g, b) in rgb.getdata()))\n";

TEST_F(BmpInterop, WeReadBmpsTheImagingLibraryWrites) {
  for (const char *mode : {"1", "L", "P", "RGB"}) {
    std::string path = ScratchPath(std::string("theirs-") + mode + ".bmp");
    std::string expected = RunPython(python_, kWriteBmp, path + " " + mode);
    ASSERT_FALSE(expected.empty()) << mode;
    ASSERT_EQ(obj()->SetImageType(kFormatBmp), S_OK);
    Text name(path);
    ASSERT_EQ(obj()->ReadFromFile(name.get()), S_OK) << mode;
    EXPECT_EQ(OurPixels(obj()->CurrentImage()), expected) << mode;
  }
}

// The imaging library does not write 4-bit files; it reads one made by hand,
// with 5 colours used, and both readers must agree.
const char kWriteFourBit[] =
    "import sys, struct\n"
    "w, h, used = 7, 3, 5\n"
    "stride = ((w * 4 + 31) // 32) * 4\n"
    "table = b''.join(bytes([i * 40, 255 - i * 30, i * 11, 0]) for i in range(used))\n"
    "rows = b''\n"
    "for y in range(h):\n"
    "  px = [(x + y) % used for x in range(w)] + [0]\n"
    "  row = bytes(px[i] << 4 | px[i + 1] for i in range(0, w, 2))\n"
    "  rows += row + bytes(stride - len(row))\n"
    "off = 54 + len(table)\n"
    "hdr = b'BM' + struct.pack('<IHHI', off + len(rows), 0, 0, off)\n"
    "hdr += struct.pack('<IiiHHIIiiII', 40, w, h, 1, 4, 0, len(rows), 2835, 2835, used, 0)\n"
    "open(sys.argv[1], 'wb').write(hdr + table + rows)\n";

TEST_F(BmpInterop, FourBitFileReadsAsTheImagingLibraryReadsIt) {
  std::string path = ScratchPath("four-bit.bmp");
  RunPython(python_, kWriteFourBit, path);
  std::string expected = RunPython(python_, kPrintPixels, path);
  ASSERT_FALSE(expected.empty());
  ASSERT_EQ(obj()->SetImageType(kFormatBmp), S_OK);
  Text name(path);
  ASSERT_EQ(obj()->ReadFromFile(name.get()), S_OK);
  EXPECT_EQ(OurPixels(obj()->CurrentImage()), expected);
}

// Files written by ImageMagick carry the 108 or 124-byte information header
// (the 124-byte one by default) with the colour table right after it; both
// readers must agree on every pixel.
TEST_F(BmpInterop, WeReadImageMagickBmpsWithLongHeaders) {
  if (std::system("convert -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "convert is missing";
  const std::pair<const char *, const char *> kinds[] = {
      {"1-bit", "-colors 2 -type Palette"},
      {"1-bit-108", "-monochrome"},
      {"4-bit", "-colors 16 -type Palette"},
      {"8-bit", "-colors 100 -type Palette -compress None"},
      {"24-bit", "-type TrueColor"},
  };
  for (const auto &[name, options] : kinds) {
    std::string path = ScratchPath(std::string("magick-") + name + ".bmp");
    std::string command = std::string("convert -size 53x37 plasma:fractal -seed 7 ") + options +
                          " bmp:" + path + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << name;
    std::string expected = RunPython(python_, kPrintPixels, path);
    ASSERT_FALSE(expected.empty()) << name;
    ASSERT_EQ(obj()->SetImageType(kFormatBmp), S_OK);
    Text file(path);
    ASSERT_EQ(obj()->ReadFromFile(file.get()), S_OK) << name;
    EXPECT_EQ(OurPixels(obj()->CurrentImage()), expected) << name;
  }
}

}  // namespace
}  // namespace morphel::io_test
