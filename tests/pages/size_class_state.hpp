#pragma once
// The whole presentation state of a size class at once, as the main window leaves it after
// creation and a paint: for page tests that run without the shell.
#include "pages/common/shared_state.hpp"
#include "pages/common/size_classes.hpp"

namespace korvel {

inline void ApplyClass(SharedState& s, int size_class) {
  const SizeClassInfo& info = DescribeSizeClass(size_class);
  s.SizeClass = size_class;
  s.page_width = info.page_width;
  s.page_height = info.page_height;
  s.ScaleX = info.ScaleX;
  s.ScaleY = info.ScaleY;
  s.ValueFont = ValueFontOf(size_class);
  s.LabelFont = LabelFontOf(size_class);
  s.LearningLamp = info.LearningLamp;
  for (int i = 0; i < 4; ++i) {
    s.indicator_box[i] = info.indicator_box[i];
    s.column_offsets[i] = info.column_offsets[i];
  }
}

}  // namespace korvel
