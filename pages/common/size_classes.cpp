#include "pages/common/size_classes.hpp"

#include "resources/menu_commands.hpp"

namespace korvel {

namespace {

constexpr SizeClassInfo kClasses[5] = {
    {kCommandSize640x480, 640, 450, 0.8, 0.77, 22, {0, 123, 57, 142}, {113, 172, 231, 290}},
    {kCommandSize800x600, 800, 570, 1.0, 1.0, 30, {0, 160, 72, 185}, {140, 214, 288, 362}},
    {kCommandSize1024x768, 1024, 738, 1.28, 1.32, 40, {0, 211, 92, 243}, {180, 274, 368, 462}},
    {kCommandSize1280x960, 1280, 930, 1.6, 1.69, 50, {0, 268, 115, 313}, {225, 343, 461, 579}},
    {kCommandSize1280x1024, 1280, 994, 1.6, 1.81, 55, {0, 288, 115, 335}, {225, 343, 461, 579}},
};

}  // namespace

const SizeClassInfo& DescribeSizeClass(int size_class) {
  return kClasses[ClampClass(size_class) - 1];
}

void SetSizeClassState(SharedState& shared, int size_class) {
  const SizeClassInfo& info = DescribeSizeClass(size_class);
  shared.SizeClass = ClampClass(size_class);
  shared.page_width = info.page_width;
  shared.page_height = info.page_height;
}

void ApplySizeLayoutState(SharedState& shared) {
  const SizeClassInfo& info = DescribeSizeClass(shared.SizeClass);
  shared.ScaleX = info.ScaleX;
  shared.ScaleY = info.ScaleY;
  for (int i = 0; i < 4; ++i) {
    shared.indicator_box[i] = info.indicator_box[i];
    shared.column_offsets[i] = info.column_offsets[i];
  }
}

void ApplyClassFontState(SharedState& shared) {
  shared.ValueFont = ValueFontOf(shared.SizeClass);
  shared.LabelFont = LabelFontOf(shared.SizeClass);
  shared.LearningLamp = DescribeSizeClass(shared.SizeClass).LearningLamp;
}

void ApplyWholeSizeClass(SharedState& shared, int size_class) {
  SetSizeClassState(shared, size_class);
  ApplySizeLayoutState(shared);
  ApplyClassFontState(shared);
}

int ClassifyScreen(int w, int h) {
  if (w >= 1280 && h >= 1024) return 5;
  if (w >= 1280 && h >= 960) return 4;
  if (w >= 1024) return 3;
  if (w >= 800) return 2;
  return 1;
}

}  // namespace korvel
