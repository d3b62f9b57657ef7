#include "platform/qt/qt_fonts.hpp"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QStringList>
#include <algorithm>
#include <cstdlib>

namespace korvel {

namespace {
constexpr int kMinStretch = 25;
constexpr int kMaxStretch = 300;
}  // namespace

QString SansFamily() {
  const QStringList families = QFontDatabase::families();
  for (const char* name : {"Liberation Sans", "DejaVu Sans"}) {
    if (families.contains(QString::fromLatin1(name))) return QString::fromLatin1(name);
  }
  return QStringLiteral("Sans Serif");
}

namespace {

// The pixel size whose cell is closest to `cell_height`. The cell height grows in steps of about
// one pixel per pixel of size; search around the estimate and take the closest, the smaller cell
// on a tie so that text never outgrows the cell the page reserved for it.
int FitPixelSize(QFont& font, int cell_height) {
  auto height_at = [&font](int size) {
    font.setPixelSize(size);
    return QFontMetrics(font).height();
  };
  const int target_height = std::max(1, cell_height);
  const int probe = height_at(target_height);
  const int estimate = std::max(1, target_height * target_height / std::max(1, probe));
  int best_size = 0;
  int best_height = 0;
  for (int size = std::max(1, estimate - 3); size <= estimate + 3; ++size) {
    const int height = height_at(size);
    if (best_size == 0 || std::abs(height - target_height) < std::abs(best_height - target_height)) {
      best_size = size;
      best_height = height;
    }
  }
  return best_size;
}

// The stretch whose average character width is closest to `average_width`. The width grows in
// proportion to the stretch, and several stretches round to the best width: take the middle one
// of them, which is the closest to the exact width.
int FitStretch(QFont& font, int average_width) {
  auto difference_at = [&font, average_width](int stretch) {
    font.setStretch(stretch);
    return std::abs(QFontMetrics(font).averageCharWidth() - average_width);
  };
  font.setStretch(100);
  const int natural = std::max(1, QFontMetrics(font).averageCharWidth());
  const int guess = std::clamp(100 * average_width / natural, kMinStretch, kMaxStretch);
  int best_difference = difference_at(guess);
  int low = guess, high = guess;
  // Walk each way while the width is no worse; a better width moves the whole plateau.
  for (bool moved = true; moved;) {
    moved = false;
    if (low > kMinStretch) {
      const int d = difference_at(low - 1);
      if (d < best_difference) {
        best_difference = d;
        high = low = low - 1;
        moved = true;
      } else if (d == best_difference) {
        --low;
        moved = true;
      }
    }
    if (high < kMaxStretch) {
      const int d = difference_at(high + 1);
      if (d < best_difference) {
        best_difference = d;
        low = high = high + 1;
        moved = true;
      } else if (d == best_difference) {
        ++high;
        moved = true;
      }
    }
  }
  return (low + high) / 2;
}

}  // namespace

QtFontFit FitFont(int cell_height, int average_width, int weight) {
  QFont font(SansFamily());
  font.setStyleHint(QFont::SansSerif);
  font.setStyleStrategy(QFont::NoAntialias);
  font.setHintingPreference(QFont::PreferFullHinting);
  font.setWeight(weight >= 600 ? QFont::DemiBold : (weight <= 300 ? QFont::Light : QFont::Normal));
  font.setItalic(false);
  font.setUnderline(false);
  font.setStrikeOut(false);

  // The size first, then the stretch at that size.
  const int pixel_size = FitPixelSize(font, cell_height);
  font.setPixelSize(pixel_size);
  const int stretch = FitStretch(font, average_width);
  font.setStretch(stretch);

  QtFontFit fit;
  fit.font = font;
  fit.pixel_size = pixel_size;
  fit.stretch = stretch;
  const QFontMetrics metrics(font);
  fit.height = metrics.height();
  fit.avg_width = metrics.averageCharWidth();
  fit.weight = weight;
  fit.style = QFontInfo(font).styleName();
  return fit;
}

QtFontSet::QtFontSet() {
  for (int i = 0; i < static_cast<int>(fits_.size()); ++i) {
    const FontInfo& info = DescribeFont(static_cast<Font>(i));
    fits_[i] = FitFont(info.height, info.width, info.weight);
  }
}

}  // namespace korvel
