#pragma once
// Building one page layout for several size classes: the controls keep their arrangement and are
// stretched from the size of the first template to the size of another (rounded to the nearest
// dialog unit, halves up), so every control keeps its place relative to the page.
#include <array>
#include <cstddef>

#include "resources/dialog_templates.hpp"

namespace korvel::templates {

constexpr int ScaleUnits(int value, int from, int to) { return (2 * value * to + from) / (2 * from); }

template <std::size_t N>
constexpr std::array<ControlTemplate, N> ScaleLayout(const ControlTemplate (&base)[N], int from_width, int from_height,
                                                     int to_width, int to_height) {
  std::array<ControlTemplate, N> scaled{};
  for (std::size_t i = 0; i < N; ++i) {
    scaled[i] = base[i];
    scaled[i].x = ScaleUnits(base[i].x, from_width, to_width);
    scaled[i].y = ScaleUnits(base[i].y, from_height, to_height);
    scaled[i].width = ScaleUnits(base[i].width, from_width, to_width);
    scaled[i].height = ScaleUnits(base[i].height, from_height, to_height);
  }
  return scaled;
}

template <std::size_t N>
constexpr std::array<ControlTemplate, N> WithText(std::array<ControlTemplate, N> controls, int id, const char* text) {
  for (auto& control : controls) {
    if (control.id == id) control.text = text;
  }
  return controls;
}

}  // namespace korvel::templates
