#pragma once
#include <cstdint>
#include <vector>

namespace korvel {

// Bitmap and icon resources, drawn by the program itself into 0xRRGGBB pixels, row by row.
// 101 icon; 109/173 Polish mark unchecked/checked; 176/174 English mark unchecked/checked;
// 178 logo (238 x 62); 179/182 wiring diagrams (961 x 636) Polish/English.
struct BitmapResource {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
};

// An empty bitmap (0 x 0) for an unknown id.
BitmapResource LoadBitmapResource(int id);

// The program's icon (resource 101 is its 32-pixel form) drawn for a square of size x size pixels,
// 1..1024, for the desktop's icon theme.
BitmapResource ProgramIcon(int size);

// String table: 1 the window title "Korvel", 3 the class name "KORVELxx".
const char* LoadStringResource(int id);

}  // namespace korvel
