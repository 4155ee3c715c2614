// Encoding into memory and decoding from it, per format, on a 512 x 512 image.
#include <benchmark/benchmark.h>

#include <vector>

#include "core/images.h"
#include "io/codec_p.h"
#include "io/memory_channel_p.h"

namespace {

constexpr int kSide = 512;

// An object holding a patterned true-colour image in slot 0.
class BenchObject {
 public:
  explicit BenchObject(int format) {
    object_ = new morphel::Images();
    object_->AddRef();
    object_->CreateImage(kSide, kSide);
    gdImagePtr im = object_->CurrentImage();
    for (int y = 0; y < kSide; ++y) {
      for (int x = 0; x < kSide; ++x) {
        gdImageSetPixel(im, x, y, gdTrueColor((x * 3) & 0xFF, (y * 5) & 0xFF, (x ^ y) & 0xFF));
      }
    }
    object_->SetImageType(format);
  }
  ~BenchObject() { object_->Release(); }
  morphel::Images &get() { return *object_; }

 private:
  morphel::Images *object_;
};

void BM_CollectEncodedBytes(benchmark::State &state) {
  BenchObject object(static_cast<int>(state.range(0)));
  size_t bytes = 0;
  for (auto _ : state) {
    morphel::EncodedBytes encoded;
    morphel::CollectEncodedBytes(object.get(), object.get().CurrentImage(), &encoded);
    bytes = encoded.bytes.size();
    benchmark::DoNotOptimize(encoded.bytes.data());
  }
  state.counters["encoded_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_CollectEncodedBytes)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

void BM_DecodeImage(benchmark::State &state) {
  const int format = static_cast<int>(state.range(0));
  BenchObject object(format);
  morphel::EncodedBytes encoded;
  morphel::CollectEncodedBytes(object.get(), object.get().CurrentImage(), &encoded);
  for (auto _ : state) {
    gdImagePtr im = morphel::DecodeImage(format, encoded.bytes.data(), encoded.bytes.size());
    benchmark::DoNotOptimize(im);
    if (im != nullptr) gdImageDestroy(im);
  }
}
BENCHMARK(BM_DecodeImage)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

}  // namespace
