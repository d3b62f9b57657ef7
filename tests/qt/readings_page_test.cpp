// The Readings page drawn on the Qt canvas with the real fonts: what a blanked or overwritten
// cell leaves behind, and what of the page window its frame covers.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QString>
#include <cstdio>
#include <map>
#include <set>
#include <string>

#include "link/conversions.hpp"
#include "pages/readings/readings_page.hpp"
#include "tests/pages/page_world.hpp"
#include "tests/qt/image_page.hpp"
#include "tests/qt/qt_test_support.hpp"

namespace korvel {
namespace {

// The page world with the page on an image of its window's size.
struct QtReadingsWorld : testing::PageWorld {
  explicit QtReadingsWorld(int size_class, QColor fill = Qt::white) : PageWorld(size_class) {
    image_page = std::make_unique<qt_test::ImagePage>(shared.page_width, shared.page_height, fonts, bitmaps, fill);
  }
  QApplication& application = qt_test::App();  // before the fonts
  ReadingsState state;
  ReadingsPage page{context, state};
  QtFontSet fonts;
  QtBitmapCache bitmaps;
  std::unique_ptr<qt_test::ImagePage> image_page;
};

int DifferingPixels(const QImage& a, const QImage& b) {
  int count = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) count += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
  }
  return count;
}

TEST(ReadingsQt, LpgOnTemperatureLeavesNoDigitOfALongerValue) {
  for (int size_class = 1; size_class <= 5; ++size_class) {
    // '100', then '60': the page must look as if '60' had been the only value.
    QtReadingsWorld stale(size_class);
    stale.link.ConfigRecord[11] = 255;
    stale.page.DrawReadingsValues(*stale.image_page);
    stale.link.ConfigRecord[11] = RawFromTemperature(60);
    stale.page.DrawReadingsValues(*stale.image_page);
    QtReadingsWorld fresh(size_class);
    fresh.link.ConfigRecord[11] = RawFromTemperature(60);
    fresh.page.DrawReadingsValues(*fresh.image_page);
    EXPECT_EQ(DifferingPixels(stale.image_page->image(), fresh.image_page->image()), 0) << "class " << size_class;
  }
}

TEST(ReadingsQt, FrameCoversTheWholePageWindow) {
  // The page window shows its own light background wherever the frame does not draw; a main
  // window without a caption bar shows the page's lower rows too.
  const QColor light(240, 240, 240);
  for (int size_class = 1; size_class <= 5; ++size_class) {
    QtReadingsWorld w(size_class, light);
    w.page.DrawReadingsFrame(*w.image_page);
    const QImage& image = w.image_page->image();
    int uncovered = 0, lowest = -1;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        if (image.pixelColor(x, y) == light) {
          ++uncovered;
          lowest = y;
        }
      }
    }
    EXPECT_EQ(uncovered, 0) << "class " << size_class << ", lowest uncovered row " << lowest;
  }
}

// Every message slot of both language files, in the label font of every size class, against
// every run of spaces its line is blanked with: after the run nothing of the text may remain,
// overhanging glyph parts included.
TEST(ReadingsQt, EveryMessageTextFitsTheBlankingRunsOfItsLine) {
  qt_test::App();
  // Which slots and which runs each line sees, from the decision itself over all its inputs.
  std::map<int, std::set<int>> slots, runs;
  for (int bits = 0; bits < 1 << 8; ++bits) {
    for (int flags = 0; flags < 256; ++flags) {
      MessageInputs in;
      in.connected = (bits & 1) != 0;
      in.variant = (bits & 2) ? 2 : 3;
      in.indicator_flags = (bits & 4) ? 0x08 : 0;
      in.emul_type = (bits & 8) ? 0x80 : 0;
      in.options = (bits & 16) ? 0x10 : 0;
      in.engine_speed = (bits & 32) ? 3000 : 1000;
      in.lpg_on_speed = 2000;
      in.state_flags = static_cast<uint8_t>(flags);
      ReadingsState state;
      state.LearnRequested = (bits & 64) != 0;
      state.SegmentRaised = (bits & 128) != 0;
      for (uint32_t age : {0u, 60u}) {
        state.MessageAge = age;
        const MessagePanel panel = DecideMessagePanel(in, state);
        for (int i = 0; i < panel.step_count; ++i) {
          runs[panel.steps[i].line].insert(panel.steps[i].spaces);
          if (panel.steps[i].slot >= 0) slots[panel.steps[i].line].insert(panel.steps[i].slot);
        }
      }
    }
  }
  slots[kLearnCancelledLine].insert(lang::kLearningCancelled);
  runs[kLearnCancelledLine].insert(kMessageLineSpaces[kLearnCancelledLine]);

  LanguageTable languages[2];
  const char* codes[2] = {"pol", "ang"};
  for (int l = 0; l < 2; ++l) ASSERT_TRUE(LoadLanguageTexts(languages[l], codes[l], KORVEL_LANG_DIR)) << codes[l];

  const QtFontSet fonts;
  QtBitmapCache bitmaps;
  std::printf("class line  narrowest run (px)  widest text (px, slot) pol / ang\n");
  for (int size_class = 1; size_class <= 5; ++size_class) {
    const Font font = LabelFontOf(size_class);
    const QFontMetrics metrics(fonts.Get(font));
    for (const auto& [line, line_slots] : slots) {
      const int narrowest = *runs[line].begin();
      int widest[2] = {0, 0}, widest_slot[2] = {-1, -1};
      for (int l = 0; l < 2; ++l) {
        for (int slot : line_slots) {
          const char* text = languages[l].Text(slot);
          for (int run : runs[line]) {
            const int margin = 24;
            QImage image(metrics.horizontalAdvance(QString(run, QLatin1Char(' '))) + 4 * margin,
                         metrics.height() + 2 * margin, QImage::Format_RGB32);
            image.fill(Qt::white);
            QtCanvas canvas(image, fonts, bitmaps);
            canvas.SelectFont(font);
            canvas.SetTextColor(kRed);
            canvas.TextOut(margin, margin, text, static_cast<int>(strnlen(text, kSlotBytes)));
            int ink_right = 0;
            for (int y = 0; y < image.height(); ++y) {
              for (int x = 0; x < image.width(); ++x) {
                if (image.pixel(x, y) != qRgb(255, 255, 255)) ink_right = std::max(ink_right, x + 1 - margin);
              }
            }
            if (ink_right > widest[l]) {
              widest[l] = ink_right;
              widest_slot[l] = slot;
            }
            canvas.SetTextColor(kBlack);
            canvas.TextOut(margin, margin, std::string(static_cast<size_t>(run), ' ').c_str(), run);
            int left = 0;
            for (int y = 0; y < image.height(); ++y) {
              for (int x = 0; x < image.width(); ++x) left += image.pixel(x, y) != qRgb(255, 255, 255) ? 1 : 0;
            }
            EXPECT_EQ(left, 0) << codes[l] << " slot " << slot << " \"" << Cp1250ToUtf8(text) << "\", class "
                               << size_class << ", line " << line << ": the text reaches " << ink_right
                               << " px, a run of " << run << " spaces "
                               << metrics.horizontalAdvance(QString(run, QLatin1Char(' '))) << " px";
          }
        }
      }
      std::printf("%5d %4d  %3d spaces = %4d    %4d (%d) / %4d (%d)\n", size_class, line, narrowest,
                  metrics.horizontalAdvance(QString(narrowest, QLatin1Char(' '))), widest[0], widest_slot[0],
                  widest[1], widest_slot[1]);
    }
  }
}

}  // namespace
}  // namespace korvel
