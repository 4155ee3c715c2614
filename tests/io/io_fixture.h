// Shared helpers of the image-format and transfer tests.
#ifndef MORPHEL_TESTS_IO_IO_FIXTURE_H
#define MORPHEL_TESTS_IO_IO_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/images.h"
#include "io/codec_p.h"

namespace morphel::io_test {

using Bytes = std::vector<unsigned char>;

// The description of the thread's error information, taken (and so cleared);
// empty when there is none.
inline std::string TakeErrorText() {
  IErrorInfo *info = nullptr;
  if (GetErrorInfo(0, &info) != S_OK || info == nullptr) return "";
  BSTR description = nullptr;
  info->GetDescription(&description);
  info->Release();
  std::string text;
  for (UINT i = 0; description != nullptr && i < SysStringLen(description); ++i) {
    text += static_cast<char>(description[i]);
  }
  SysFreeString(description);
  return text;
}

// A BSTR from ASCII text, freed with the holder.
class Text {
 public:
  explicit Text(const std::string &ascii) {
    std::u16string wide(ascii.begin(), ascii.end());
    value_ = SysAllocStringLen(reinterpret_cast<const OLECHAR *>(wide.data()),
                               static_cast<UINT>(wide.size()));
  }
  ~Text() { SysFreeString(value_); }
  Text(const Text &) = delete;
  Text &operator=(const Text &) = delete;
  BSTR get() const { return value_; }

 private:
  BSTR value_;
};

// An object per test plus a scratch directory.
class IoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    object_ = new Images();
    object_->AddRef();
    TakeErrorText();
  }
  void TearDown() override { object_->Release(); }

  Images *obj() { return object_; }

  // A true-colour canvas in the current slot, filled with a pattern that has a
  // different colour at nearly every pixel.
  gdImagePtr MakePatterned(int w, int h) {
    EXPECT_EQ(obj()->CreateImage(w, h), S_OK);
    gdImagePtr im = obj()->CurrentImage();
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) gdImageSetPixel(im, x, y, PatternColour(x, y));
    }
    return im;
  }
  static int PatternColour(int x, int y) {
    return gdTrueColor((x * 37 + y * 11) & 0xFF, (x * 5 + y * 101) & 0xFF, (x * 13 + y * 3 + 7) & 0xFF);
  }

  // The encoded bytes of the current image in the given format.
  Bytes WriteBytes(int format) {
    EXPECT_EQ(obj()->SetImageType(format), S_OK);
    BSTR text = nullptr;
    EXPECT_EQ(obj()->WriteToVariable(&text), S_OK);
    const auto *data = reinterpret_cast<const unsigned char *>(text);
    Bytes bytes(data, data + SysStringByteLen(text));
    SysFreeString(text);
    return bytes;
  }

  // Reads bytes in the given format into the current slot.
  HRESULT ReadBytes(int format, const Bytes &bytes) {
    EXPECT_EQ(obj()->SetImageType(format), S_OK);
    BSTR text = SysAllocStringByteLen(reinterpret_cast<const char *>(bytes.data()),
                                      static_cast<UINT>(bytes.size()));
    HRESULT hr = obj()->ReadFromVariable(&text);
    SysFreeString(text);
    return hr;
  }

  // A fresh file name in the scratch directory.
  std::string ScratchPath(const std::string &name) {
    const char *dir = std::getenv("MORPHEL_TEST_TMP");
    std::string base = dir != nullptr ? dir : "/tmp/morphel-io-tests";
    std::string command = "mkdir -p '" + base + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return base + "/" + name;
  }

 private:
  Images *object_ = nullptr;
};

// Little-endian BMP headers for hand-made test files.
struct BmpLayout {
  int32_t width = 1;
  int32_t height = 1;
  uint16_t bits = 24;
  uint32_t compression = 0;
  uint32_t coloursUsed = 0;
  uint32_t pixelOffset = 54;
  uint32_t infoHeaderSize = 40;  // above 40: zero bytes follow the 40 written
};

inline void PutLe(Bytes *out, uint32_t value, int size) {
  for (int i = 0; i < size; ++i) out->push_back(static_cast<unsigned char>(value >> (8 * i)));
}

inline Bytes BmpHeaders(const BmpLayout &layout) {
  Bytes out = {'B', 'M'};
  PutLe(&out, 0, 4);
  PutLe(&out, 0, 4);
  PutLe(&out, layout.pixelOffset, 4);
  PutLe(&out, layout.infoHeaderSize, 4);
  PutLe(&out, static_cast<uint32_t>(layout.width), 4);
  PutLe(&out, static_cast<uint32_t>(layout.height), 4);
  PutLe(&out, 1, 2);
  PutLe(&out, layout.bits, 2);
  PutLe(&out, layout.compression, 4);
  PutLe(&out, 0, 4);
  PutLe(&out, 2952, 4);
  PutLe(&out, 2952, 4);
  PutLe(&out, layout.coloursUsed, 4);
  PutLe(&out, 0, 4);
  if (layout.infoHeaderSize > 40) out.resize(14 + layout.infoHeaderSize, 0);
  return out;
}

inline void Append(Bytes *out, const Bytes &more) { out->insert(out->end(), more.begin(), more.end()); }

// The RGB value of a pixel of the current image.
inline int RgbAt(gdImagePtr im, int x, int y) {
  return gdImageGetTrueColorPixel(im, x, y) & 0xFFFFFF;
}

}  // namespace morphel::io_test

#endif  // MORPHEL_TESTS_IO_IO_FIXTURE_H
