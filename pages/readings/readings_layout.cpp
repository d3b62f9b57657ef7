#include "pages/readings/readings_layout.hpp"

#include "link/live_data.hpp"
#include "texts/text_slots.hpp"

namespace korvel {

namespace {

// The frame in design units.
constexpr DesignRect kPanels[6] = {{20, 20, 450, 110},  {20, 130, 450, 220},  {20, 240, 450, 370},
                                   {20, 390, 450, 520}, {470, 340, 780, 430}, {470, 450, 780, 520}};
constexpr DesignRect kDialPanel{470, 20, 780, 320};
constexpr DesignRect kTracks[3] = {{135, 45, 440, 80}, {135, 155, 440, 190}, {135, 265, 440, 315}};
constexpr DesignRect kAttBarFrame{159, 268, 419, 292};
constexpr DesignRect kMessageArea{30, 400, 440, 510};
constexpr DesignRect kFrame{0, 0, 800, 570};

// Labels at design positions, in the order they are drawn.
constexpr FrameLabel kLabels[10] = {
    {lang::kLambdaPanel, nullptr, 0, {240, 25}},
    {lang::kSecondInputPanel, nullptr, 0, {270, 135}},
    {lang::kAttPanel, nullptr, 0, {245, 245}},
    {lang::kTpsInertReadout, nullptr, 0, {150, 196}},
    {-1, "V", 1, {345, 196}},
    {-1, "LPG ON:", 7, {630, 385}},
    {-1, "\xB0\x43", 2, {730, 385}},
    {lang::kTemperaturePanel, nullptr, 0, {520, 345}},
    {lang::kLambdaLean, nullptr, 0, {150, 86}},
    {lang::kLambdaRich, nullptr, 0, {360, 86}},
};
constexpr FrameLabel kValueLabels[3] = {
    {-1, "V", 1, {110, 45}},
    {-1, "V", 1, {110, 155}},
    {-1, "\xB0\x43", 2, {550, 375}},
};

// The needle's last position: 8000 rpm.
constexpr uint32_t kMaxNeedleIndex = 160;
// Dial positions, scaled by ScaleX on both axes.
constexpr Point kDigits[9] = {{540, 205}, {525, 155}, {540, 110}, {570, 80}, {617, 65},
                              {664, 80},  {699, 110}, {714, 155}, {699, 205}};
constexpr Point kCaption{575, 115};
constexpr DesignRect kHubCap{605, 150, 645, 190};

int DialCoord(const SharedState& s, int design) { return static_cast<int>(design * s.ScaleX); }

// The point of a gauge table at `index` (held to its last position), on the page: the 260 x 260
// dial box sits at design (495, 40).
Point DialPoint(const SharedState& s, const GaugeTable& table, uint32_t index) {
  if (index >= static_cast<uint32_t>(kArcPositions)) index = kArcPositions - 1;
  return {static_cast<int32_t>(495 * s.ScaleX + table.u[index] * s.ScaleX),
          static_cast<int32_t>(40 * s.ScaleX + table.v[index] * s.ScaleX)};
}

DialLine Spoke(const SharedState& s, const GaugeTable& from, uint32_t from_index, const GaugeTable& to,
               uint32_t to_index) {
  return {DialPoint(s, from, from_index), DialPoint(s, to, to_index)};
}

DeviceRect Scaled(const SharedState& s, const DesignRect& r) {
  return {DesignX(s, r.left), DesignY(s, r.top), DesignX(s, r.right), DesignY(s, r.bottom)};
}

FrameLabel Scaled(const SharedState& s, FrameLabel label) {
  label.at = {DesignX(s, label.at.x), DesignY(s, label.at.y)};
  return label;
}

}  // namespace

DeviceRect IndicatorSegment(const SharedState& s, int k) {
  return {s.indicator_box[0] + s.column_offsets[k], s.indicator_box[1], s.indicator_box[2] + s.column_offsets[k],
          s.indicator_box[3]};
}

ReadingsFrameLayout LayoutReadingsFrame(const SharedState& s) {
  ReadingsFrameLayout f{};
  f.background = Scaled(s, kFrame);
  f.fills_below_frame = s.page_height > f.background.bottom;
  f.below_frame = {0, f.background.bottom, s.page_width, s.page_height};
  for (int i = 0; i < 6; ++i) f.panels[i] = Scaled(s, kPanels[i]);
  f.dial_panel = Scaled(s, kDialPanel);
  for (int i = 0; i < 3; ++i) f.tracks[i] = Scaled(s, kTracks[i]);
  f.att_bar_frame = Scaled(s, kAttBarFrame);
  f.message_area = Scaled(s, kMessageArea);
  for (int k = 0; k < 4; ++k) f.segments[k] = IndicatorSegment(s, k);
  for (int i = 0; i < 10; ++i) f.labels[i] = Scaled(s, kLabels[i]);
  for (int i = 0; i < 3; ++i) f.value_labels[i] = Scaled(s, kValueLabels[i]);
  return f;
}

DialPicture DecideDial(const SharedState& s, const GaugeTables& g, uint32_t engine_speed,
                       uint32_t last_needle_index, bool red_zone, uint32_t lpg_off_speed) {
  DialPicture d{};
  const uint32_t last = last_needle_index > kMaxNeedleIndex ? kMaxNeedleIndex : last_needle_index;
  d.old_needle = Spoke(s, g.hub, last, g.needle, last);
  d.needle_index = engine_speed / 50 > kMaxNeedleIndex ? kMaxNeedleIndex : engine_speed / 50;
  d.needle = Spoke(s, g.hub, d.needle_index, g.needle, d.needle_index);
  d.hub_cap = {DialCoord(s, kHubCap.left), DialCoord(s, kHubCap.top), DialCoord(s, kHubCap.right),
               DialCoord(s, kHubCap.bottom)};
  for (uint32_t k = 0; k <= 8; ++k) {
    d.major[k] = Spoke(s, g.rim, 20 * k, g.major, k);
    d.major_red[k] = red_zone && lpg_off_speed / 1000 < k;
  }
  for (uint32_t k = 0; k <= 40; ++k) {
    d.minor[k] = Spoke(s, g.rim, 4 * k, g.minor, k);
    d.minor_red[k] = red_zone && lpg_off_speed / 200 < k;
  }
  for (int k = 0; k < 9; ++k) d.digits[k] = {DialCoord(s, kDigits[k].x), DialCoord(s, kDigits[k].y)};
  d.caption = {DialCoord(s, kCaption.x), DialCoord(s, kCaption.y)};
  return d;
}

LambdaSliderLayout LayoutLambdaSlider(uint8_t probe, uint8_t lambda_type) {
  int p = probe;
  if (LambdaRange(lambda_type) == 0) p *= 5;  // the 0..1 V probe
  if (p > 255) p = 255;
  return {{140 + p, 52, 180 + p, 73}, {137, 52, 140 + p, 73}, {439, 52, 180 + p, 73}};
}

AttPanelLayout LayoutAttPanel(int att, int att_init, const AttLimits& limits) {
  // The bar's inside runs from 161; the bands may reach 418, one column past the bar's fill.
  constexpr int kBarLeft = 161;
  constexpr int kBandRight = 418;
  auto at_least = [](int v, int low) { return v < low ? low : v; };
  auto at_most = [](int v, int high) { return v > high ? high : v; };
  AttPanelLayout a{};
  a.bar = {kBarLeft, 270, kBarLeft + att, 290};
  a.bar_rest = {kBarLeft + att, 270, 417, 290};
  a.caret = {att_init + 157, 315};
  a.caret_caption = {att_init + 144, 345};
  a.caret_value = {att_init + 147, 326};
  const int c = att_init + kBarLeft;
  const int cyan_left = at_least(c - limits.min_bj, kBarLeft);
  const int cyan_right = at_most(c + limits.max_bj, kBandRight);
  const int red_left = at_least(c - limits.min, kBarLeft);
  const int red_right = at_most(c + limits.max, kBandRight);
  a.cyan_band = {cyan_left, 295, cyan_right, 300};
  a.red_band = {red_left, 305, red_right, 310};
  a.band_rests[0] = {160, 295, cyan_left, 300};
  a.band_rests[1] = {cyan_right, 295, kBandRight, 300};
  a.band_rests[2] = {160, 305, red_left, 310};
  a.band_rests[3] = {red_right, 305, kBandRight, 310};
  return a;
}

}  // namespace korvel
