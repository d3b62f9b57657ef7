#pragma once
#include "platform/drawing.hpp"

namespace korvel {

// Layout of each screen-size class 1..5.
struct SizeClassInfo {
  int size_menu_item;
  int page_width, page_height;
  double ScaleX, ScaleY;
  int LearningLamp;  // indicator circle diameter, pixels
  int learn_button[4];      // x, y, width, height, pixels
  int indicator_box[4];     // template left, top, right, bottom, pixels
  int column_offsets[4];    // added to left and right of the template for segment 1..4
};

const SizeClassInfo& DescribeSizeClass(int size_class);  // 1..5 (others clamp)
// Classification of a desktop of width w and height h.
int ClassifyScreen(int w, int h);

}  // namespace korvel
