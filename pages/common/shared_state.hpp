#pragma once
#include <cstdint>

#include "platform/drawing.hpp"

namespace korvel {

enum ViewIdValue : int {
  ReadingsView = 1,
  ConfigurationView = 2,
  OptionsView = 3,
  SchemaView = 4,
  ResetView = 5,
  OscilloscopeView = 6,
};

// Presentation state and the flags that several pages share. One instance, owned by the
// application object.
struct SharedState {
  int ViewId = ReadingsView;
  int SizeClass = 1;
  int page_width = 640;
  int page_height = 450;
  double ScaleX = 0.8;
  double ScaleY = 0.77;
  Font ValueFont = Font::ValueFont1;  // current fonts of the size class
  Font LabelFont = Font::LabelFont1;
  int LearningLamp = 30;              // indicator circle diameter
  int indicator_box[4] = {};          // left, top, right, bottom
  int column_offsets[4] = {};
  int screen_width = 0;               // desktop size seen last
  int screen_height = 0;

  bool BusyFlag = false;       // AboutDialog open: page timers return at once
  bool DropDownOpen = false;   // a combo-box list of a parameter page is dropped down
  bool SubDialogOpen = false;  // OptionsSubDialog open
  uint32_t ActiveTimerPeriod = 0;
  uint32_t CurrentEngineSpeed = 0;
};

// Design units (the layout of size class 2) to device pixels, truncated toward zero.
inline int DesignX(const SharedState& s, double x) { return static_cast<int>(x * s.ScaleX); }
inline int DesignY(const SharedState& s, double y) { return static_cast<int>(y * s.ScaleY); }

}  // namespace korvel
