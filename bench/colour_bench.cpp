// Colour reduction on a 2000 x 1500 photograph-like picture: greyscale, black
// and white at a given and at the mean threshold, and both palette
// quantisers, each timed beside the library's own call on a copy of the same
// picture in the same run (gdImageGrayScale for the per-pixel loops,
// gdImageTrueColorToPalette for the quantisers). Counters: peer_ms, the
// peer's mean time, and ratio, the component's time over the peer's.
#include <benchmark/benchmark.h>
#include <gd.h>

#include <chrono>
#include <functional>
#include <memory>

#include "core/images.h"

namespace {

constexpr int kW = 2000, kH = 1500;

// Gradients in every channel, a ripple, and alpha from opaque to transparent
// in the lower half.
void PaintPicture(gdImagePtr im) {
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      const int r = x * 255 / (kW - 1), g = y * 255 / (kH - 1);
      const int b = (((x / 7) ^ (y / 5)) * 3 + x / 11) & 0xFF;
      const int alpha = y < kH / 2 ? 0 : (x * 127) / (kW - 1);
      im->tpixels[y][x] = gdTrueColorAlpha(r, g, b, alpha);
    }
  }
}

// An object of the component, released with the holder.
struct Releaser {
  void operator()(morphel::Images *object) const { object->Release(); }
};
using ObjectHolder = std::unique_ptr<morphel::Images, Releaser>;

ObjectHolder NewObject() {
  auto *object = new morphel::Images();
  object->AddRef();
  return ObjectHolder(object);
}

gdImagePtr PictureCopy(gdImagePtr picture) {
  gdImagePtr im = gdImageCreateTrueColor(kW, kH);
  morphel::SetNewImageFlags(im);
  gdImageCopy(im, picture, 0, 0, 0, 0, kW, kH);
  return im;
}

double Seconds(const std::function<void()> &work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Times operation on a fresh picture in the object and peer on a fresh copy,
// once each per iteration; only the operation's time counts as the
// benchmark's own.
using Operation = std::function<HRESULT(morphel::Images &)>;

void BesidePeer(benchmark::State &state, const Operation &operation, void (*peer)(gdImagePtr)) {
  gdImagePtr picture = gdImageCreateTrueColor(kW, kH);
  PaintPicture(picture);
  ObjectHolder object = NewObject();
  double own = 0.0, theirs = 0.0;
  for (auto _ : state) {
    object->PlaceImage(PictureCopy(picture));
    const double seconds = Seconds([&] { operation(*object); });
    own += seconds;
    state.SetIterationTime(seconds);
    gdImagePtr copy = PictureCopy(picture);
    theirs += Seconds([&] { peer(copy); });
    gdImageDestroy(copy);
  }
  gdImageDestroy(picture);
  state.counters["peer_ms"] = theirs * 1e3 / static_cast<double>(state.iterations());
  state.counters["ratio"] = own / theirs;
}

void LibraryGreyScale(gdImagePtr im) {
  gdImageGrayScale(im);
}
void LibraryToPalette(gdImagePtr im) {
  gdImageTrueColorToPalette(im, 0, 256);
}

void BM_ConvertToGrayScale(benchmark::State &state) {
  BesidePeer(
      state, [](morphel::Images &o) { return o.ConvertToGrayScale(); }, LibraryGreyScale);
}
void BM_ConvertToMonochrome(benchmark::State &state) {
  BesidePeer(
      state, [](morphel::Images &o) { return o.ConvertToMonochrome(128); }, LibraryGreyScale);
}
void BM_ConvertToMonochromeAuto(benchmark::State &state) {
  BesidePeer(
      state, [](morphel::Images &o) { return o.ConvertToMonochromeAuto(); }, LibraryGreyScale);
}
void BM_ConvertToPalette(benchmark::State &state) {
  BesidePeer(
      state, [](morphel::Images &o) { return o.ConvertToPalette(); }, LibraryToPalette);
}
void BM_ConvertToPaletteNoAlpha(benchmark::State &state) {
  BesidePeer(
      state, [](morphel::Images &o) { return o.ConvertToPaletteNoAlpha(); }, LibraryToPalette);
}

BENCHMARK(BM_ConvertToGrayScale)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertToMonochrome)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertToMonochromeAuto)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertToPalette)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertToPaletteNoAlpha)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
