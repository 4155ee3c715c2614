// The process-wide font search path under concurrent use: objects on several
// threads set the path and draw and measure text at the same time. Run in the
// thread-sanitizer build (preset tsan) this proves the path is race-free.
#include <atomic>
#include <thread>

#include "text/truetype_fixture.h"

namespace morphel {
namespace {

using test::Bstr;
using test::FontFolderTest;
using test::ObjectHolder;

using TrueTypeThreads = FontFolderTest;

TEST_F(TrueTypeThreads, ObjectsOnSeveralThreadsSetThePathAndDraw) {
  // Both folders hold the font under the same name, so every path set by any
  // thread lets every other thread's next call find it.
  const std::string folders[] = {
      (root_ / "one").string() + ";" + (root_ / "two").string(),
      (root_ / "two").string(),
  };
  Place(test::kDejaVuSans, "one/Shared.ttf");
  Place(test::kDejaVuBold, "two/Shared.pfb");
  SetFontSearchPath(folders[0]);
  constexpr int kThreads = 4, kObjects = 3, kRounds = 12;
  std::atomic<int> failures{0};
  auto work = [&](int thread) {
    ObjectHolder objects[kObjects];
    Bstr name("Shared"), text("Threads");
    for (int k = 0; k < kObjects; ++k) {
      if (objects[k]->CreateImagePalette(120, 40) != S_OK) ++failures;
      objects[k]->SetColor(0, 0, 0);
      objects[k]->SetColor(255, 255, 255);
      objects[k]->SetFontTTF(name.get());
    }
    for (int round = 0; round < kRounds; ++round) {
      for (int k = 0; k < kObjects; ++k) {
        Bstr path(folders[(thread + round + k) % 2]);
        VARIANT box;
        VariantInit(&box);
        if (objects[k]->SetFontPathTTF(path.get()) != S_OK ||
            objects[k]->DrawTextAngleTTF(4, 30, round * 7, text.get()) != S_OK ||
            objects[k]->GetTextTTFRectangle(0, 20, text.get(), &box) != S_OK) {
          ++failures;
        }
        VariantClear(&box);
      }
    }
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back(work, t);
  for (std::thread &thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
}

}  // namespace
}  // namespace morphel
