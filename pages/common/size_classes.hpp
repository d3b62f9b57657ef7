#pragma once
#include "pages/common/shared_state.hpp"
#include "platform/drawing.hpp"

namespace korvel {

// Layout of each screen-size class 1..5.
struct SizeClassInfo {
  int size_menu_item;
  int page_width, page_height;
  double ScaleX, ScaleY;
  int LearningLamp;  // indicator circle diameter, pixels
  int indicator_box[4];     // template left, top, right, bottom, pixels
  int column_offsets[4];    // added to left and right of the template for segment 1..4
};

const SizeClassInfo& DescribeSizeClass(int size_class);  // 1..5 (others clamp)

// The presentation state of a size class, in the three steps the main window takes at different
// moments: the class and its page size; the scale factors and indicator boxes (with the size
// menu's checks); the fonts and the lamp diameter (the page places its own class controls).
void SetSizeClassState(SharedState& shared, int size_class);
void ApplySizeLayoutState(SharedState& shared);
void ApplyClassFontState(SharedState& shared);
// All three at once: the state the main window leaves after choosing the class and painting.
void ApplyWholeSizeClass(SharedState& shared, int size_class);
// Classification of a desktop of width w and height h.
int ClassifyScreen(int w, int h);

}  // namespace korvel
