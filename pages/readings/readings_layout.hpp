#pragma once
// Where the Readings page draws, decided before it draws: the static frame in device pixels of the
// size class in force (background, panels, tracks, Att bar frame, indicator segments, labels), and
// the bars that move with the values (lambda slider, Att bar, caret and limit bands) in design
// units, and the engine-speed dial with its needle and red zone. Drawing only walks these values.
#include <cstdint>

#include "pages/common/gauge_geometry.hpp"
#include "pages/common/shared_state.hpp"
#include "platform/drawing.hpp"

namespace korvel {

// A rectangle in device pixels; its right column and bottom row lie outside it.
struct DeviceRect {
  int left, top, right, bottom;
  friend bool operator==(const DeviceRect&, const DeviceRect&) = default;
};

// A rectangle in design units (the layout of class 2); it is drawn at its scaled corners.
struct DesignRect {
  int left, top, right, bottom;
  friend bool operator==(const DesignRect&, const DesignRect&) = default;
};

// A label of the frame: a language text drawn whole, or `count` characters of a fixed text.
struct FrameLabel {
  int slot;           // language slot, or -1 for `fixed`
  const char* fixed;
  int count;
  Point at;
};

// The panels' rounded corners are the same in every size class.
constexpr int kPanelCorner = 20;

struct ReadingsFrameLayout {
  DeviceRect background;
  // The page window of the smallest class is taller than its scaled frame: the strip under the
  // frame is filled too.
  bool fills_below_frame;
  DeviceRect below_frame;
  DeviceRect panels[6];    // lambda, second input, Att, messages, temperature, state
  DeviceRect dial_panel;
  DeviceRect tracks[3];    // lambda slider, second input, Att
  DeviceRect att_bar_frame;
  DeviceRect message_area;
  DeviceRect segments[4];  // the indicator, in the pixels of the class
  FrameLabel labels[10];   // in LabelFont
  FrameLabel value_labels[3];  // in ValueFont
};
ReadingsFrameLayout LayoutReadingsFrame(const SharedState& shared);

// Segment k (0..3) of the four-segment indicator: the class's box moved by the segment's column.
DeviceRect IndicatorSegment(const SharedState& shared, int k);

// The lambda slider: its block at the probe's position (the 0..1 V probe moves five times as far,
// and the block stops at 255) and the track cleared on both sides of it.
struct LambdaSliderLayout {
  DesignRect block, left_rest, right_rest;
};
LambdaSliderLayout LayoutLambdaSlider(uint8_t probe, uint8_t lambda_type);

// The Att limits of the options record around the caret: the wide (cyan) and the narrow (red) band.
struct AttLimits {
  int min_bj, max_bj, min, max;
};
// The Att panel: the bar filled up to Att and its empty rest, the caret with its caption and value
// under AttInit, and the two limit bands around the caret, held inside the bar whatever the
// limits say, with the bar's rest on either side of each.
struct AttPanelLayout {
  DesignRect bar, bar_rest;
  Point caret, caret_caption, caret_value;
  DesignRect cyan_band, red_band;
  DesignRect band_rests[4];  // left and right of the cyan band, then of the red band
};
AttPanelLayout LayoutAttPanel(int att, int att_init, const AttLimits& limits);
// Cleared when the caret moves.
constexpr DesignRect kAttCaretZone{140, 316, 440, 360};

// The engine-speed dial in device pixels. Its points come from the gauge tables placed at the dial
// box; both axes scale by ScaleX, so that the dial stays round.
struct DialLine {
  Point from, to;
};
struct DialPicture {
  DialLine old_needle;    // drawn over in black
  DialLine needle;        // hub to rim at one step per 50 rpm, held at 8000 rpm
  uint32_t needle_index;
  DeviceRect hub_cap;
  DialLine major[9];      // a tick per 1000 rpm
  DialLine minor[41];     // a tick per 200 rpm
  // The red zone: the ticks above the thousand (and above the 200 rpm step) of the LPG-off speed,
  // only while the LPG-off switching is enabled.
  bool major_red[9];
  bool minor_red[41];
  Point digits[9];        // "0" to "8"
  Point caption;          // "RPM x 1000"
};
DialPicture DecideDial(const SharedState& shared, const GaugeTables& gauges, uint32_t engine_speed,
                       uint32_t last_needle_index, bool red_zone, uint32_t lpg_off_speed);

}  // namespace korvel
