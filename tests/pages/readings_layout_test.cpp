// Where the Readings page draws: the frame in each size class (design rectangles and labels scaled
// and truncated with the class's factors, the per-class indicator segments, the strip under the
// frame that only the smallest page window has), the lambda slider and the Att bars, held inside
// their tracks, and the dial's needle and red zone.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "pages/readings/readings_layout.hpp"
#include "pages/common/size_classes.hpp"
#include "texts/text_slots.hpp"

namespace korvel {

std::ostream& operator<<(std::ostream& os, const DeviceRect& r) {
  return os << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
}
std::ostream& operator<<(std::ostream& os, const DesignRect& r) {
  return os << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
}

namespace {

TEST(ReadingsLayout, FrameInEverySizeClass) {
  struct Case {
    int size_class;
    DeviceRect background, lambda_panel, att_bar;
    bool fills_below;
    int segment_left[4];
    int segment_width, segment_top, segment_bottom;
    Point lambda_label;
  };
  const Case cases[] = {
      {1, {0, 0, 640, 438}, {16, 15, 360, 84}, {127, 206, 335, 224}, true, {113, 172, 231, 290}, 57, 123, 142, {192, 19}},
      {2, {0, 0, 800, 570}, {20, 20, 450, 110}, {159, 268, 419, 292}, false, {140, 214, 288, 362}, 72, 160, 185, {240, 25}},
      {3, {0, 0, 1024, 752}, {25, 26, 576, 145}, {203, 353, 536, 385}, false, {180, 274, 368, 462}, 92, 211, 243, {307, 33}},
      {4, {0, 0, 1280, 963}, {32, 33, 720, 185}, {254, 452, 670, 493}, false, {225, 343, 461, 579}, 115, 268, 313, {384, 42}},
      {5, {0, 0, 1280, 1031}, {32, 36, 720, 199}, {254, 485, 670, 528}, false, {225, 343, 461, 579}, 115, 288, 335, {384, 45}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("class " + std::to_string(c.size_class));
    SharedState shared;
    ApplyWholeSizeClass(shared, c.size_class);
    const ReadingsFrameLayout f = LayoutReadingsFrame(shared);
    EXPECT_EQ(f.background, c.background);
    EXPECT_EQ(f.panels[0], c.lambda_panel);
    EXPECT_EQ(f.att_bar_frame, c.att_bar);
    EXPECT_EQ(f.labels[0].at, c.lambda_label);
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
  }
}

TEST(ReadingsLayout, DesignClassFrameIsTheDesignLayout) {
  SharedState shared;
  ApplyWholeSizeClass(shared, 2);
  const ReadingsFrameLayout f = LayoutReadingsFrame(shared);
  const DeviceRect panels[6] = {{20, 20, 450, 110},  {20, 130, 450, 220},  {20, 240, 450, 370},
                                {20, 390, 450, 520}, {470, 340, 780, 430}, {470, 450, 780, 520}};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(f.panels[i], panels[i]) << "panel " << i;
  EXPECT_EQ(f.dial_panel, (DeviceRect{470, 20, 780, 320}));
  const DeviceRect tracks[3] = {{135, 45, 440, 80}, {135, 155, 440, 190}, {135, 265, 440, 315}};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(f.tracks[i], tracks[i]) << "track " << i;
  EXPECT_EQ(f.message_area, (DeviceRect{30, 400, 440, 510}));
  const FrameLabel labels[13] = {
      {lang::kLambdaPanel, nullptr, 0, {240, 25}},      {lang::kSecondInputPanel, nullptr, 0, {270, 135}},
      {lang::kAttPanel, nullptr, 0, {245, 245}},        {lang::kTpsInertReadout, nullptr, 0, {150, 196}},
      {-1, "V", 1, {345, 196}},                         {-1, "LPG ON:", 7, {630, 385}},
      {-1, "\xB0\x43", 2, {730, 385}},                  {lang::kTemperaturePanel, nullptr, 0, {520, 345}},
      {lang::kLambdaLean, nullptr, 0, {150, 86}},       {lang::kLambdaRich, nullptr, 0, {360, 86}},
      {-1, "V", 1, {110, 45}},                          {-1, "V", 1, {110, 155}},
      {-1, "\xB0\x43", 2, {550, 375}},  // the last three in ValueFont
  };
  for (int i = 0; i < 13; ++i) {
    const FrameLabel& got = i < 10 ? f.labels[i] : f.value_labels[i - 10];
    EXPECT_EQ(got.slot, labels[i].slot) << "label " << i;
    EXPECT_EQ(got.at, labels[i].at) << "label " << i;
    if (labels[i].fixed != nullptr) {
      EXPECT_EQ(std::string(got.fixed, static_cast<size_t>(got.count)), labels[i].fixed) << "label " << i;
    }
  }
}

TEST(ReadingsLayout, LambdaSliderStopsAt255) {
  struct Case {
    uint8_t probe, lambda_type;
    int block_left;
  };
  const Case cases[] = {
      {0, 0x00, 140},   {51, 0x00, 395},  // the 0..1 V probe moves five times as far ...
      {60, 0x00, 395},  {60, 0x10, 200},  // ... and stops at 255 (300 held); other probes move by the raw value
      {255, 0x5F, 395},
  };
  for (const Case& c : cases) {
    const LambdaSliderLayout slider = LayoutLambdaSlider(c.probe, c.lambda_type);
    EXPECT_EQ(slider.block, (DesignRect{c.block_left, 52, c.block_left + 40, 73})) << int(c.probe);
    EXPECT_EQ(slider.left_rest, (DesignRect{137, 52, c.block_left, 73})) << int(c.probe);
    EXPECT_EQ(slider.right_rest, (DesignRect{439, 52, c.block_left + 40, 73})) << int(c.probe);
  }
}

TEST(ReadingsLayout, AttBandsStayInsideTheBar) {
  struct Case {
    const char* what;
    int att, att_init;
    AttLimits limits;  // min_bj, max_bj, min, max
    int cyan_left, cyan_right, red_left, red_right;
  };
  const Case cases[] = {
      {"red band held at the bar's left end", 255, 10, {5, 30, 50, 20}, 166, 201, 161, 191},
      {"red band held at 418", 0, 250, {0, 0, 0, 50}, 411, 411, 411, 418},
      {"caret at 0, widest limits", 100, 0, {255, 255, 255, 255}, 161, 416, 161, 416},
      {"caret at 255, widest limits", 100, 255, {255, 255, 0, 0}, 161, 418, 416, 416},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const AttPanelLayout a = LayoutAttPanel(c.att, c.att_init, c.limits);
    EXPECT_EQ(a.bar, (DesignRect{161, 270, 161 + c.att, 290}));
    EXPECT_EQ(a.bar_rest, (DesignRect{161 + c.att, 270, 417, 290}));
    EXPECT_EQ(a.cyan_band, (DesignRect{c.cyan_left, 295, c.cyan_right, 300}));
    EXPECT_EQ(a.red_band, (DesignRect{c.red_left, 305, c.red_right, 310}));
    EXPECT_EQ(a.band_rests[0], (DesignRect{160, 295, c.cyan_left, 300}));
    EXPECT_EQ(a.band_rests[1], (DesignRect{c.cyan_right, 295, 418, 300}));
    EXPECT_EQ(a.band_rests[2], (DesignRect{160, 305, c.red_left, 310}));
    EXPECT_EQ(a.band_rests[3], (DesignRect{c.red_right, 305, 418, 310}));
  }
}

TEST(ReadingsLayout, DialNeedleIsHeldAt8000RpmAndTheRedZoneStartsAboveTheLpgOffSpeed) {
  GaugeTables gauges{};
  ArcScratch arc;
  BuildGaugeTables(gauges, arc);
  SharedState shared;
  ApplyWholeSizeClass(shared, 2);
  const DialLine rest{{608, 180}, {525, 227}};
  const DialLine at_8000{{642, 180}, {725, 227}};
  struct Case {
    uint32_t speed, last_index;
    bool red_zone;
    uint32_t lpg_off;
    uint32_t needle_index;
    int first_red_major, first_red_minor;  // every tick from there on is red; 9 and 41: none
  };
  const Case cases[] = {
      {0, 0, true, 5500, 0, 6, 28},           {4999, 0, false, 5500, 99, 9, 41},
      {9000, 160, true, 0, 160, 1, 1},        {12000, 500, true, 6000, 160, 7, 31},
      {8000, 0, true, 9999, 160, 9, 41},      {8100, 0, false, 0, 160, 9, 41},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("speed " + std::to_string(c.speed) + " LPG off " + std::to_string(c.lpg_off));
    const DialPicture d = DecideDial(shared, gauges, c.speed, c.last_index, c.red_zone, c.lpg_off);
    EXPECT_EQ(d.needle_index, c.needle_index);
    const DialLine& old_needle = c.last_index == 0 ? rest : at_8000;
    EXPECT_EQ(d.old_needle.from, old_needle.from);
    EXPECT_EQ(d.old_needle.to, old_needle.to);
    if (c.needle_index == 160) {
      EXPECT_EQ(d.needle.from, at_8000.from);
      EXPECT_EQ(d.needle.to, at_8000.to);
    }
    for (int k = 0; k < 9; ++k) EXPECT_EQ(d.major_red[k], k >= c.first_red_major) << "major " << k;
    for (int k = 0; k < 41; ++k) EXPECT_EQ(d.minor_red[k], k >= c.first_red_minor) << "minor " << k;
  }
  // Class 2 puts the dial box at (495, 40): the scale's digits, the caption, the hub cap, and tick
  // k of each row from the rim at its position (20k, 4k) to the row's own table.
  const DialPicture d = DecideDial(shared, gauges, 0, 0, false, 0);
  const Point digits[9] = {{540, 205}, {525, 155}, {540, 110}, {570, 80}, {617, 65},
                           {664, 80},  {699, 110}, {714, 155}, {699, 205}};
  for (int k = 0; k < 9; ++k) EXPECT_EQ(d.digits[k], digits[k]) << "digit " << k;
  EXPECT_EQ(d.caption, (Point{575, 115}));
  EXPECT_EQ(d.hub_cap, (DeviceRect{605, 150, 645, 190}));
  auto placed = [](const GaugeTable& table, int i) { return Point{495 + table.u[i], 40 + table.v[i]}; };
  for (int k : {0, 1, 8}) {
    EXPECT_EQ(d.major[k].from, placed(gauges.rim, 20 * k)) << "major " << k;
    EXPECT_EQ(d.major[k].to, placed(gauges.major, k)) << "major " << k;
  }
  for (int k : {0, 1, 40}) {
    EXPECT_EQ(d.minor[k].from, placed(gauges.rim, 4 * k)) << "minor " << k;
    EXPECT_EQ(d.minor[k].to, placed(gauges.minor, k)) << "minor " << k;
  }
}

}  // namespace
}  // namespace korvel
