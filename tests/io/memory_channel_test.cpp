// The memory sink and source and the library contexts over them.
#include "io/memory_channel_p.h"
#include "io_fixture.h"

namespace morphel::io_test {
namespace {

TEST(MemoryChannel, SinkStoresWhatFitsAndCountsEverything) {
  unsigned char buffer[4] = {};
  MemorySink sink;
  sink.buffer = buffer;
  sink.capacity = 4;
  SinkContext ctx(&sink);
  const unsigned char bytes[] = {1, 2, 3};
  EXPECT_EQ(ctx.get()->putBuf(ctx.get(), bytes, 3), 3);
  EXPECT_FALSE(sink.overflow);
  ctx.get()->putC(ctx.get(), 0x104);  // only the low byte is a byte
  EXPECT_FALSE(sink.overflow);
  EXPECT_EQ(ctx.get()->putBuf(ctx.get(), bytes, 3), 3);
  EXPECT_TRUE(sink.overflow);
  ctx.get()->putC(ctx.get(), 9);
  EXPECT_EQ(sink.count, 8);
  EXPECT_EQ(Bytes(buffer, buffer + 4), (Bytes{1, 2, 3, 4}));
  EXPECT_EQ(ctx.get()->putBuf(ctx.get(), bytes, 0), 0);
  EXPECT_EQ(sink.count, 8);
}

// Bytes offered across the end of a growing buffer land after the ones held.
TEST(MemoryChannel, GrowingSinkKeepsWhatItHolds) {
  ByteBuffer bytes;
  ASSERT_TRUE(bytes.Allocate(kFirstPassCapacity));
  MemorySink sink;
  sink.buffer = bytes.data();
  sink.capacity = kFirstPassCapacity;
  sink.growth = &bytes;
  SinkContext ctx(&sink);
  Bytes offered(kFirstPassCapacity - 2);
  for (size_t i = 0; i < offered.size(); ++i) offered[i] = static_cast<unsigned char>(i * 7);
  ctx.get()->putBuf(ctx.get(), offered.data(), static_cast<int>(offered.size()));
  const unsigned char tail[] = {1, 2, 3, 4, 5};
  EXPECT_EQ(ctx.get()->putBuf(ctx.get(), tail, 5), 5);
  for (int i = 0; i < 200000; ++i) ctx.get()->putC(ctx.get(), i);
  EXPECT_FALSE(sink.overflow);
  ASSERT_EQ(sink.count, kFirstPassCapacity + 3 + 200000);
  ASSERT_GE(bytes.size(), size_t(sink.count));
  EXPECT_EQ(sink.buffer, bytes.data());
  EXPECT_EQ(Bytes(bytes.data(), bytes.data() + offered.size()), offered);
  EXPECT_EQ(Bytes(bytes.data() + offered.size(), bytes.data() + offered.size() + 5),
            Bytes(tail, tail + 5));
  for (int i = 0; i < 200000; i += 997) {
    EXPECT_EQ(bytes.data()[offered.size() + 5 + i], static_cast<unsigned char>(i)) << i;
  }
}

TEST(MemoryChannel, SourceEndsWithZeroBytesAndEof) {
  const unsigned char bytes[] = {0, 0xFF, 7};
  MemorySource source{bytes, 3, 0};
  SourceContext ctx(&source);
  gdIOCtx *in = ctx.get();
  EXPECT_EQ(in->getC(in), 0);
  EXPECT_EQ(in->getC(in), 0xFF);
  unsigned char out[8] = {};
  EXPECT_EQ(in->getBuf(in, out, 8), 1);
  EXPECT_EQ(out[0], 7);
  EXPECT_EQ(in->getBuf(in, out, 8), 0);
  EXPECT_EQ(in->getC(in), -1);
  EXPECT_EQ(in->seek(in, 1), 1);
  EXPECT_EQ(in->tell(in), 1);
  EXPECT_EQ(in->getC(in), 0xFF);
  EXPECT_EQ(in->seek(in, 4), 0);
}

class MemoryDecoding : public IoTest {};

// The WBMP reader takes any end of data as white pixels.
TEST_F(MemoryDecoding, TruncatedWbmpEndsInWhite) {
  ASSERT_EQ(ReadBytes(kFormatWbmp, Bytes{0, 0, 8, 2, 0x0F}), S_OK);
  gdImagePtr im = obj()->CurrentImage();
  ASSERT_EQ(gdImageSX(im), 8);
  ASSERT_EQ(gdImageSY(im), 2);
  auto white = [&](int x, int y) {
    int c = gdImageGetPixel(im, x, y);
    return gdImageRed(im, c) == 255 && gdImageGreen(im, c) == 255 && gdImageBlue(im, c) == 255;
  };
  for (int x = 0; x < 4; ++x) EXPECT_FALSE(white(x, 0)) << x;
  for (int x = 4; x < 8; ++x) EXPECT_TRUE(white(x, 0)) << x;
  for (int x = 0; x < 8; ++x) EXPECT_TRUE(white(x, 1)) << x;
}

TEST_F(MemoryDecoding, WbmpOfAnotherTypeIsRefused) {
  EXPECT_EQ(ReadBytes(kFormatWbmp, Bytes{1, 0, 8, 1, 0}), E_FAIL);
  EXPECT_EQ(TakeErrorText(), "NO IMAGE!");
}

TEST_F(MemoryDecoding, SaveAlphaRuleComesBeforeTheFileIsOpened) {
  MakePatterned(1, 1);
  ASSERT_EQ(obj()->SetSaveAlpha(0), S_OK);
  Text name("/nonexistent-dir/x.png");
  EXPECT_EQ(obj()->WriteToFile(name.get()), E_FAIL);
  EXPECT_EQ(TakeErrorText(), "NO FILE!");
  EXPECT_EQ(obj()->CurrentImage()->saveAlphaFlag, 0);
}

// A whole file of every format is recognised; the same bytes cut short
// anywhere, or with a byte more, are not.
TEST_F(MemoryDecoding, OnlyWholeFilesCountAsWhole) {
  for (int format = 0; format <= kLastFormat; ++format) {
    for (bool palette : {false, true}) {
      SCOPED_TRACE(std::to_string(format) + (palette ? " palette" : " true colour"));
      if (palette) {
        ASSERT_EQ(obj()->CreateImagePalette(37, 23), S_OK);
        ASSERT_EQ(obj()->SetColor(200, 10, 10), S_OK);
        ASSERT_EQ(obj()->DrawLine(0, 0, 36, 22), S_OK);
      } else {
        MakePatterned(37, 23);
      }
      const Bytes whole = WriteBytes(format);
      ASSERT_TRUE(EncodingIsWhole(format, whole.data(), whole.size()));
      Bytes longer = whole;
      longer.push_back(0);
      EXPECT_FALSE(EncodingIsWhole(format, longer.data(), longer.size()));
      for (size_t cut = 0; cut < whole.size(); ++cut) {
        ASSERT_FALSE(EncodingIsWhole(format, whole.data(), cut)) << cut;
      }
    }
  }
}

}  // namespace
}  // namespace morphel::io_test
