#include "resources/dialog_templates.hpp"


namespace korvel {

namespace {

// Dialog units to pixels. A dialog unit is a quarter of the average character width (x) and an
// eighth of the character height (y) of the template's font, so
//     x_px = x_du * base_x / 4,   y_px = y_du * base_y / 8   (integer division).
// The base units are fixed per point size, so every machine lays the pages out alike. They are
// the largest whole values with which every page template of a size class fits that class's page:
//
//   point size | base x | base y | check (template size -> pixels, page)
//   -----------+--------+--------+---------------------------------------------------------------
//        8     |    6   |   13   | 170 options correction 258 x 146 -> 387 x 237; 101 readings is
//              |        |        | sized by the page itself
//       10     |    7   |   15   | 106/152 357 x 227 -> 624 x 425 in 640 x 450; 103 -> 383 x 316
//       12     |    8   |   20   | 157/125 357 x 227 -> 714 x 567 in 800 x 570; 126 358 x 227
//              |        |        | -> 716 x 567
//       14     |   10   |   22   | 145 389 x 260 -> 972 x 715, 153 385 x 227 -> 962 x 624,
//              |        |        | in 1024 x 738
//       17     |   12   |   29   | 151 399 x 254 -> 1197 x 920, 154 380 x 254 -> 1140 x 920 in
//              |        |        | 1280 x 930; 150 367 x 272 -> 1101 x 986, 156 380 x 268
//              |        |        | -> 1140 x 971 in 1280 x 994
//
// Any other size takes the row of the nearest smaller size (8 below 8).
struct BaseUnits {
  int point_size;
  int x, y;
};
constexpr BaseUnits kBaseUnits[] = {{8, 6, 13}, {10, 7, 15}, {12, 8, 20}, {14, 10, 22}, {17, 12, 29}};

BaseUnits BaseUnitsOf(int point_size) {
  BaseUnits chosen = kBaseUnits[0];
  for (const auto& row : kBaseUnits) {
    if (row.point_size <= point_size) chosen = row;
  }
  return chosen;
}

}  // namespace

const DialogTemplate* FindTemplateIn(std::span<const DialogTemplate> group, int id) {
  for (const DialogTemplate& dialog : group) {
    if (dialog.id == id) return &dialog;
  }
  return nullptr;
}

PixelRect DialogUnitsToPixels(const DialogTemplate& dialog, int x, int y, int width, int height) {
  const BaseUnits units = BaseUnitsOf(dialog.font_size);
  return PixelRect{x * units.x / 4, y * units.y / 8, width * units.x / 4, height * units.y / 8};
}

PixelRect DialogSizeInPixels(const DialogTemplate& dialog) {
  return DialogUnitsToPixels(dialog, 0, 0, dialog.width, dialog.height);
}

}  // namespace korvel
