// CPU time of one Readings tick: the polls through the in-process simulated controller and all the
// drawing, on the headless window system. Prints the median; the bound is loose so that a slow or
// instrumented build does not fail on it.
#include <time.h>

#include <algorithm>

#include "tests/pages/readings_fixture.hpp"

namespace korvel::readings_test {
namespace {

uint64_t ThreadCpuNs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<uint64_t>(t.tv_sec) * 1000000000u + static_cast<uint64_t>(t.tv_nsec);
}

TEST(ReadingsBenchmark, MedianCpuTimeOfOneTick) {
  for (int size_class : {2, 5}) {
    ReadingsWorld w(size_class);
    w.model.FastForward(600000);  // warm, driving: the needle moves on most ticks
    w.window->Paint();
    w.Tick(8);
    std::vector<uint64_t> samples;
    int dial_redraws = 0;
    for (int tick = 0; tick < 400; ++tick) {
      w.clock.AdvanceMs(50);
      w.window->ClearOps();
      const uint32_t needle_before = w.state.LastDrawnSpeed;
      const uint64_t start = ThreadCpuNs();
      w.Tick();
      samples.push_back(ThreadCpuNs() - start);
      if (w.state.LastDrawnSpeed != needle_before) ++dial_redraws;
    }
    std::sort(samples.begin(), samples.end());
    const double median_us = samples[samples.size() / 2] / 1000.0;
    const double p90_us = samples[samples.size() * 9 / 10] / 1000.0;
    std::printf("Readings tick, headless canvas, class %d: median %.1f us, 90th percentile %.1f us, "
                "dial redrawn on %d of %zu ticks\n",
                size_class, median_us, p90_us, dial_redraws, samples.size());
    RecordProperty("median_us_class" + std::to_string(size_class), std::to_string(median_us));
    EXPECT_GT(dial_redraws, 0);
    EXPECT_LT(median_us, 20000.0);
  }
}

}  // namespace
}  // namespace korvel::readings_test
