// The object core and the by-name dispatch: canvas creation at the size
// ceiling, and the cost of a call by dispatch identifier against a direct one.
#include <benchmark/benchmark.h>

#include "core/images.h"

namespace {

class BenchObject {
 public:
  BenchObject() {
    object_ = new morphel::Images();
    object_->AddRef();
  }
  ~BenchObject() { object_->Release(); }
  morphel::Images *operator->() { return object_; }

 private:
  morphel::Images *object_;
};

// Creating a canvas of w x w pixels (the old one is destroyed first).
void BM_CreateImage(benchmark::State &state) {
  BenchObject object;
  const int side = static_cast<int>(state.range(0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(object->CreateImage(side, side));
  }
  state.SetItemsProcessed(state.iterations() * side * side);
}
BENCHMARK(BM_CreateImage)->Arg(100)->Arg(1000)->Arg(6000)->Unit(benchmark::kMillisecond);

void BM_DirectCall(benchmark::State &state) {
  BenchObject object;
  object->CreateImage(10, 10);
  INT width = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(object->GetWidth(&width));
  }
}
BENCHMARK(BM_DirectCall);

// GetWidth through IDispatch::Invoke, result variant included.
void BM_DispatchCall(benchmark::State &state) {
  BenchObject object;
  object->CreateImage(10, 10);
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  VARIANT result;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        object->Invoke(48, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr));
  }
}
BENCHMARK(BM_DispatchCall);

// CreateImage(w, h) with two integer arguments converted from strings.
void BM_DispatchCallWithConversion(benchmark::State &state) {
  BenchObject object;
  BSTR text = SysAllocString(OLESTR("64"));
  VARIANT args[2];
  for (VARIANT &arg : args) {
    VariantInit(&arg);
    V_VT(&arg) = VT_BSTR;
    V_BSTR(&arg) = text;
  }
  DISPPARAMS params{args, nullptr, 2, 0};
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        object->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr));
  }
  SysFreeString(text);
}
BENCHMARK(BM_DispatchCallWithConversion);

}  // namespace
