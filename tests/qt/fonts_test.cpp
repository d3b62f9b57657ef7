// The fonts of the drawing pages match their cell heights and average widths, carry the Polish
// letters, and are bold for values and light (or regular) for labels.
#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>
#include <cstdio>
#include <cstdlib>

#include "platform/qt/qt_fonts.hpp"
#include "qt_test_support.hpp"

// The system's font configuration library keeps a cache it never frees; under the leak checker
// of the sanitizer build that is not a fault of ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace korvel {
namespace {

TEST(QtFonts, EveryFontMatchesItsCellHeightAndAverageWidth) {
  qt_test::App();
  const QtFontSet fonts;
  std::printf("font          want h/w  got h/w  pixel stretch weight style\n");
  for (int i = 0; i <= static_cast<int>(Font::LabelFont5); ++i) {
    const Font font = static_cast<Font>(i);
    const FontInfo& info = DescribeFont(font);
    const QtFontFit& fit = fonts.Fit(font);
    std::printf("%-12s  %2d/%-2d     %2d/%-2d    %3d   %3d     %d    %s %s\n", info.name, info.height, info.width,
                fit.height, fit.avg_width, fit.pixel_size, fit.stretch, info.weight,
                qPrintable(fit.font.family()), qPrintable(fit.style));
    SCOPED_TRACE(info.name);
    EXPECT_LE(std::abs(fit.height - info.height), 1);
    EXPECT_LE(std::abs(fit.avg_width - info.width), 1);
    // What the fitting reports is what the font measures.
    const QFontMetrics metrics(fit.font);
    EXPECT_EQ(metrics.height(), fit.height);
    EXPECT_EQ(metrics.averageCharWidth(), fit.avg_width);
  }
}

TEST(QtFonts, ValueFontsAreHeavierThanLabelFonts) {
  qt_test::App();
  const QtFontSet fonts;
  for (int size_class = 1; size_class <= 5; ++size_class) {
    const QFontInfo value(fonts.Get(ValueFontOf(size_class)));
    const QFontInfo label(fonts.Get(LabelFontOf(size_class)));
    EXPECT_GT(value.weight(), label.weight()) << size_class;
    EXPECT_GE(value.weight(), QFont::DemiBold) << size_class;
  }
}

TEST(QtFonts, PolishLettersAndTheDegreeSignArePresent) {
  qt_test::App();
  const QtFontSet fonts;
  const QString letters = QString::fromUtf8("ĄĆĘŁŃÓŚŹŻąćęłńóśźż°");
  for (int i = 0; i <= static_cast<int>(Font::LabelFont5); ++i) {
    const QFontMetrics metrics(fonts.Get(static_cast<Font>(i)));
    for (const QChar letter : letters) {
      EXPECT_TRUE(metrics.inFont(letter)) << DescribeFont(static_cast<Font>(i)).name << " lacks U+"
                                          << std::hex << static_cast<int>(letter.unicode());
    }
  }
}

}  // namespace
}  // namespace korvel
