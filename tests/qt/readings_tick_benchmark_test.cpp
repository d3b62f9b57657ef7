// CPU time of one Readings tick drawn on the Qt canvas in size class 5: the polls through the
// in-process simulated controller plus all the drawing into a page image, against the goal of
// 1 ms. The page window here is a bare image with the Qt canvases, so that only the drawing that
// the page asks for is measured (no widget, no event loop).
#include <gtest/gtest.h>
#include <time.h>

#include <QImage>
#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <vector>

#include "link/controller_link.hpp"
#include "pages/common/gauge_geometry.hpp"
#include "pages/common/page_context.hpp"
#include "pages/common/size_classes.hpp"
#include "pages/readings/readings_page.hpp"
#include "platform/qt/qt_bitmaps.hpp"
#include "platform/qt/qt_canvas.hpp"
#include "platform/qt/qt_fonts.hpp"
#include "sim/controller_model.hpp"
#include "sim/simulated_port.hpp"
#include "tests/headless/headless_host.hpp"
#include "tests/qt/image_page.hpp"
#include "tests/qt/qt_test_support.hpp"

namespace korvel {
namespace {

using qt_test::ThreadCpuNs;

TEST(ReadingsQtBenchmark, TickInClass5TakesUnderOneMillisecondOfCpu) {
  qt_test::App();
  const int size_class = 5;
  SharedState shared;
  ApplyWholeSizeClass(shared, size_class);
  LanguageTable texts;
  for (int slot = 0; slot < kLanguageSlots; ++slot) std::snprintf(texts.slots[slot], kSlotBytes, "Text %d", slot);
  GaugeTables gauges{};
  ArcScratch arc;
  BuildGaugeTables(gauges, arc);

  VirtualClock clock;
  sim::ControllerModel model;
  model.FastForward(600000);  // warm and driving: the needle moves on many ticks
  sim::SimulatedPort port(model, clock);
  ControllerLink link(port);

  QtFontSet fonts;
  QtBitmapCache bitmaps;
  // The class-5 page image (the frame is drawn in design units and reaches a little further down).
  qt_test::ImagePage window(shared.page_width, 1040, fonts, bitmaps);

  // The page keeps its host but a tick never calls it.
  headless::HeadlessHost host(clock);
  PageContext context{link, texts, shared, gauges, host};
  ReadingsState state;
  ReadingsPage page(context, state);

  page.DrawReadingsFrame(window);
  for (int tick = 0; tick < 8; ++tick) page.OnTimer(window, kReadingsPollTimer);

  std::vector<uint64_t> sorted, with_dial, without_dial;
  for (int tick = 0; tick < 300; ++tick) {
    clock.AdvanceMs(50);
    const uint32_t before = state.LastDrawnSpeed;
    const uint64_t start = ThreadCpuNs();
    page.OnTimer(window, kReadingsPollTimer);
    const uint64_t spent = ThreadCpuNs() - start;
    sorted.push_back(spent);
    (state.LastDrawnSpeed != before ? with_dial : without_dial).push_back(spent);
  }
  auto median = [](std::vector<uint64_t>& v) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2] / 1000.0;
  };
  const double median_us = median(sorted);
  const double p90_us = sorted[sorted.size() * 9 / 10] / 1000.0;
  const int dial_redraws = static_cast<int>(with_dial.size());
  std::printf("Readings tick on the Qt canvas, class 5: median %.1f us, 90th percentile %.1f us, "
              "max %.1f us; ticks with a dial redraw (%d of %zu) median %.1f us, without %.1f us\n",
              median_us, p90_us, sorted.back() / 1000.0, dial_redraws, sorted.size(), median(with_dial),
              median(without_dial));
  RecordProperty("median_us", std::to_string(median_us));
  EXPECT_GT(dial_redraws, 0);
  // The goal is 1 ms; an unoptimised or instrumented build gets more room.
#if defined(__OPTIMIZE__) && !defined(__SANITIZE_ADDRESS__)
  EXPECT_LT(median_us, 1000.0);
#else
  EXPECT_LT(median_us, 20000.0);
#endif
  // Something was really drawn: the dial panel is black, the state box green or cyan.
  EXPECT_EQ(window.image().pixelColor(DesignX(shared, 480), DesignY(shared, 300)), QColor(0, 0, 0));
}

}  // namespace
}  // namespace korvel
