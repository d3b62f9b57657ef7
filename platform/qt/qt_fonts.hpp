#pragma once
#include <QFont>
#include <QString>
#include <array>

#include "platform/drawing.hpp"

namespace korvel {

// A Qt font fitted to a GDI-style description (cell height, average character width, weight),
// with what the fitting actually achieved.
struct QtFontFit {
  QFont font;
  int pixel_size = 0;
  int stretch = 100;   // horizontal scaling in percent
  int height = 0;      // achieved cell height: ascent + descent
  int avg_width = 0;   // achieved average character width
  int weight = 400;    // weight asked for
  QString style;       // face style the system picked (e.g. "Bold", "Regular")
};

// The sans-serif face used everywhere: Liberation Sans (metrics of the usual Swiss face of the
// controller's service laptops), else DejaVu Sans, else whatever the system calls sans-serif.
QString SansFamily();

// Fits the sans-serif face: pixel size so that the cell height is as close as possible to
// `cell_height`, then horizontal stretch so that the average character width is as close as
// possible to `average_width`. Weight 600 and above asks for semi-bold, 300 and below for light.
// Text is drawn without antialiasing, as the controller's pages were designed for.
QtFontFit FitFont(int cell_height, int average_width, int weight);

// The canvas fonts (SystemFont, ValueFont1..5, LabelFont1..5), fitted once per host.
class QtFontSet {
 public:
  QtFontSet();
  const QtFontFit& Fit(Font font) const { return fits_[static_cast<int>(font)]; }
  const QFont& Get(Font font) const { return Fit(font).font; }

 private:
  std::array<QtFontFit, 11> fits_;
};

}  // namespace korvel
