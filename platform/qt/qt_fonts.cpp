#include "platform/qt/qt_fonts.hpp"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QStringList>
#include <cstdlib>
#include <vector>

namespace korvel {

QString SansFamily() {
  const QStringList families = QFontDatabase::families();
  for (const char* name : {"Liberation Sans", "DejaVu Sans"}) {
    if (families.contains(QString::fromLatin1(name))) return QString::fromLatin1(name);
  }
  return QStringLiteral("Sans Serif");
}

QtFontFit FitFont(int cell_height, int average_width, int weight) {
  QFont font(SansFamily());
  font.setStyleHint(QFont::SansSerif);
  font.setStyleStrategy(QFont::NoAntialias);
  font.setHintingPreference(QFont::PreferFullHinting);
  font.setWeight(weight >= 600 ? QFont::DemiBold : (weight <= 300 ? QFont::Light : QFont::Normal));
  font.setItalic(false);
  font.setUnderline(false);
  font.setStrikeOut(false);

  // Pixel size: the cell height grows in steps; take the closest, the smaller cell on a tie so
  // that text never outgrows the cell the page reserved for it.
  int best_size = 1;
  int best_height = 0;
  for (int size = 1; size <= 2 * cell_height + 4; ++size) {
    font.setPixelSize(size);
    const int height = QFontMetrics(font).height();
    if (best_height == 0 || std::abs(height - cell_height) < std::abs(best_height - cell_height)) {
      best_size = size;
      best_height = height;
    }
    if (height > cell_height + 2) break;
  }
  font.setPixelSize(best_size);

  // Stretch: several stretches round to the best width; take the middle one of them, which is the
  // closest to the exact width.
  std::vector<int> best_stretches;
  int best_difference = -1;
  for (int stretch = 40; stretch <= 200; ++stretch) {
    font.setStretch(stretch);
    const int difference = std::abs(QFontMetrics(font).averageCharWidth() - average_width);
    if (best_difference < 0 || difference < best_difference) {
      best_difference = difference;
      best_stretches.clear();
    }
    if (difference == best_difference) best_stretches.push_back(stretch);
  }
  const int stretch = best_stretches[best_stretches.size() / 2];
  font.setStretch(stretch);

  QtFontFit fit;
  fit.font = font;
  fit.pixel_size = best_size;
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
