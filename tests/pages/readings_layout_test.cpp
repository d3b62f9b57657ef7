// Where the Readings frame lies in each size class: design rectangles and labels scaled and
// truncated with the class's factors, the per-class indicator segments, and the strip under the
// frame that only the smallest page window has.
#include <gtest/gtest.h>

#include <ostream>

#include "pages/readings/readings_layout.hpp"
#include "tests/pages/size_class_state.hpp"
#include "texts/text_slots.hpp"

namespace korvel {

std::ostream& operator<<(std::ostream& os, const DeviceRect& r) {
  return os << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
}

namespace {

TEST(ReadingsLayout, FrameInEverySizeClass) {
  struct Case {
    int size_class;
    DeviceRect background, lambda_panel, state_panel, dial_panel, att_track, att_bar, message_area;
    bool fills_below;
    int segment_left[4];
    int segment_width, segment_top, segment_bottom;
    Point lambda_label, rich_label, degrees_value;
  };
  const Case cases[] = {
      {1, {0, 0, 640, 438}, {16, 15, 360, 84}, {376, 346, 624, 400}, {376, 15, 624, 246}, {108, 204, 352, 242},
       {127, 206, 335, 224}, {24, 308, 352, 392}, true, {113, 172, 231, 290}, 57, 123, 142, {192, 19}, {288, 66},
       {440, 288}},
      {2, {0, 0, 800, 570}, {20, 20, 450, 110}, {470, 450, 780, 520}, {470, 20, 780, 320}, {135, 265, 440, 315},
       {159, 268, 419, 292}, {30, 400, 440, 510}, false, {140, 214, 288, 362}, 72, 160, 185, {240, 25}, {360, 86},
       {550, 375}},
      {3, {0, 0, 1024, 752}, {25, 26, 576, 145}, {601, 594, 998, 686}, {601, 26, 998, 422}, {172, 349, 563, 415},
       {203, 353, 536, 385}, {38, 528, 563, 673}, false, {180, 274, 368, 462}, 92, 211, 243, {307, 33}, {460, 113},
       {704, 495}},
      {4, {0, 0, 1280, 963}, {32, 33, 720, 185}, {752, 760, 1248, 878}, {752, 33, 1248, 540}, {216, 447, 704, 532},
       {254, 452, 670, 493}, {48, 676, 704, 861}, false, {225, 343, 461, 579}, 115, 268, 313, {384, 42}, {576, 145},
       {880, 633}},
      {5, {0, 0, 1280, 1031}, {32, 36, 720, 199}, {752, 814, 1248, 941}, {752, 36, 1248, 579}, {216, 479, 704, 570},
       {254, 485, 670, 528}, {48, 724, 704, 923}, false, {225, 343, 461, 579}, 115, 288, 335, {384, 45}, {576, 155},
       {880, 678}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("class " + std::to_string(c.size_class));
    SharedState shared;
    ApplyClass(shared, c.size_class);
    const ReadingsFrameLayout f = LayoutReadingsFrame(shared);
    EXPECT_EQ(f.background, c.background);
    EXPECT_EQ(f.panels[0], c.lambda_panel);
    EXPECT_EQ(f.panels[5], c.state_panel);
    EXPECT_EQ(f.dial_panel, c.dial_panel);
    EXPECT_EQ(f.tracks[2], c.att_track);
    EXPECT_EQ(f.att_bar_frame, c.att_bar);
    EXPECT_EQ(f.message_area, c.message_area);
    // The smallest page window is 450 pixels high against a frame of 438.
    EXPECT_EQ(f.fills_below_frame, c.fills_below);
    if (c.fills_below) {
      EXPECT_EQ(f.below_frame, (DeviceRect{0, 438, 640, 450}));
    }
    for (int k = 0; k < 4; ++k) {
      const DeviceRect segment{c.segment_left[k], c.segment_top, c.segment_left[k] + c.segment_width,
                               c.segment_bottom};
      EXPECT_EQ(f.segments[k], segment) << "segment " << k + 1;
    }
    EXPECT_EQ(f.labels[0].slot, lang::kLambdaPanel);
    EXPECT_EQ(f.labels[0].at, c.lambda_label);
    EXPECT_EQ(f.labels[9].slot, lang::kLambdaRich);
    EXPECT_EQ(f.labels[9].at, c.rich_label);
    EXPECT_EQ(f.value_labels[2].at, c.degrees_value);
  }
}

}  // namespace
}  // namespace korvel
