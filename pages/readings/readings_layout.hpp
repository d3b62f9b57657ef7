#pragma once
// Where the Readings page's static frame lies in device pixels of the size class in force: the
// background, the panels, the tracks and the Att bar frame, the indicator segments and the labels.
// Drawing the frame only walks these values.
#include "pages/common/shared_state.hpp"
#include "platform/drawing.hpp"

namespace korvel {

// A rectangle in device pixels; its right column and bottom row lie outside it.
struct DeviceRect {
  int left, top, right, bottom;
  friend bool operator==(const DeviceRect&, const DeviceRect&) = default;
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

}  // namespace korvel
