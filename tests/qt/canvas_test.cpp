// The canvas draws with the pixel rules the pages were laid out for: rectangles filled inside
// left..right-1 and outlined on their border pixels, polylines without their last pixel, opaque
// text cut at its count, and every touched pixel reported for display.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QRegion>
#include <climits>
#include <cstring>

#include "platform/qt/qt_bitmaps.hpp"
#include "platform/qt/qt_canvas.hpp"
#include "platform/qt/qt_fonts.hpp"
#include "qt_test_support.hpp"
#include "resources/bitmaps.hpp"

namespace korvel {
namespace {

using qt_test::PixelAt;
using qt_test::ToColour;

const QColor kUntouched(1, 2, 3);

class CanvasTest : public ::testing::Test {
 protected:
  CanvasTest() : image_(200, 120, QImage::Format_RGB32) {
    qt_test::App();
    image_.fill(kUntouched);
    canvas_ = std::make_unique<QtCanvas>(image_, Fonts(), bitmaps_, [this](const QRect& rect) { reported_ += rect; });
  }
  static const QtFontSet& Fonts() {
    static const QtFontSet* fonts = new QtFontSet();
    return *fonts;
  }
  QColor At(int x, int y) const { return PixelAt(image_, x, y); }
  // Every pixel that differs from `before` lies in what the canvas reported.
  void ExpectChangesReported(const QImage& before) const {
    for (int y = 0; y < image_.height(); ++y) {
      for (int x = 0; x < image_.width(); ++x) {
        if (image_.pixel(x, y) != before.pixel(x, y)) {
          ASSERT_TRUE(reported_.contains(QPoint(x, y))) << "pixel " << x << "," << y << " changed unreported";
        }
      }
    }
  }

  QImage image_;
  QtBitmapCache bitmaps_;
  QRegion reported_;
  std::unique_ptr<QtCanvas> canvas_;
};

TEST_F(CanvasTest, FreshContextOutlinesBlackAndFillsWhite) {
  canvas_->Rectangle(10, 20, 30, 40);
  EXPECT_EQ(At(10, 30), QColor(Qt::black));
  EXPECT_EQ(At(29, 30), QColor(Qt::black));
  EXPECT_EQ(At(20, 20), QColor(Qt::black));
  EXPECT_EQ(At(20, 39), QColor(Qt::black));
  EXPECT_EQ(At(11, 21), QColor(Qt::white));
  EXPECT_EQ(At(28, 38), QColor(Qt::white));
  // Nothing at right and bottom themselves, nothing before left and top.
  EXPECT_EQ(At(30, 30), kUntouched);
  EXPECT_EQ(At(20, 40), kUntouched);
  EXPECT_EQ(At(9, 30), kUntouched);
  EXPECT_EQ(At(20, 19), kUntouched);
}

TEST_F(CanvasTest, ResetRestoresTheFreshContext) {
  canvas_->SelectPen(Pen::PenRed4);
  canvas_->SelectBrush(Brush::BrushNavy);
  canvas_->SelectFont(Font::ValueFont3);
  canvas_->SetTextColor(kRed);
  canvas_->SetBkColor(kSilver);
  canvas_->Reset();
  EXPECT_EQ(canvas_->SelectedPen(), Pen::DefaultPen);
  EXPECT_EQ(canvas_->SelectedBrush(), Brush::DefaultBrush);
  EXPECT_EQ(canvas_->SelectedFont(), Font::SystemFont);
  canvas_->TextOut(5, 5, "8", 1);
  // Black ink on white.
  bool black = false, other = false;
  const int width = QFontMetrics(Fonts().Get(Font::SystemFont)).horizontalAdvance(QStringLiteral("8"));
  const int height = QFontMetrics(Fonts().Get(Font::SystemFont)).height();
  for (int y = 5; y < 5 + height; ++y) {
    for (int x = 5; x < 5 + width; ++x) {
      const QColor c = At(x, y);
      black |= c == QColor(Qt::black);
      other |= c != QColor(Qt::black) && c != QColor(Qt::white);
    }
  }
  EXPECT_TRUE(black);
  EXPECT_FALSE(other);
}

TEST_F(CanvasTest, RectangleFillsInsideAndOutlinesBorderForEveryBrush) {
  for (int b = 0; b <= static_cast<int>(Brush::DefaultBrush); ++b) {
    image_.fill(kUntouched);
    canvas_->SelectPen(Pen::PenCyan1);
    canvas_->SelectBrush(static_cast<Brush>(b));
    canvas_->Rectangle(50, 50, 54, 53);
    const QColor fill = ToColour(DescribeBrush(static_cast<Brush>(b)).colour);
    SCOPED_TRACE(DescribeBrush(static_cast<Brush>(b)).name);
    EXPECT_EQ(At(51, 51), fill);
    EXPECT_EQ(At(52, 51), fill);
    for (int x = 50; x <= 53; ++x) {
      EXPECT_EQ(At(x, 50), QColor(0, 255, 255));
      EXPECT_EQ(At(x, 52), QColor(0, 255, 255));
    }
    EXPECT_EQ(At(54, 51), kUntouched);
    EXPECT_EQ(At(51, 53), kUntouched);
  }
}

TEST_F(CanvasTest, WidePensAreCentredOnTheOutline) {
  const QImage before = image_;
  canvas_->SelectPen(Pen::PenRed4);  // 4 pixels: two outside, two inside the border pixel line
  canvas_->SelectBrush(Brush::BrushYellow);
  canvas_->Rectangle(40, 40, 80, 70);
  const QColor red(255, 0, 0), yellow(255, 255, 0);
  EXPECT_EQ(At(37, 55), kUntouched);
  EXPECT_EQ(At(38, 55), red);
  EXPECT_EQ(At(41, 55), red);
  EXPECT_EQ(At(42, 55), yellow);
  EXPECT_EQ(At(76, 55), yellow);
  EXPECT_EQ(At(77, 55), red);  // right-1 = 79; band 77..80
  EXPECT_EQ(At(80, 55), red);
  EXPECT_EQ(At(81, 55), kUntouched);
  EXPECT_EQ(At(60, 38), red);
  EXPECT_EQ(At(60, 37), kUntouched);
  EXPECT_EQ(At(60, 70), red);  // bottom-1 = 69; band 67..70
  EXPECT_EQ(At(60, 71), kUntouched);
  ExpectChangesReported(before);

  image_.fill(kUntouched);
  canvas_->SelectPen(Pen::PenNavy2);
  canvas_->Rectangle(40, 40, 80, 70);
  EXPECT_EQ(At(38, 55), kUntouched);
  EXPECT_EQ(At(39, 55), QColor(0, 0, 128));
  EXPECT_EQ(At(40, 55), QColor(0, 0, 128));
  EXPECT_EQ(At(41, 55), yellow);
  EXPECT_EQ(At(78, 55), QColor(0, 0, 128));
  EXPECT_EQ(At(79, 55), QColor(0, 0, 128));
  EXPECT_EQ(At(80, 55), kUntouched);
}

TEST_F(CanvasTest, InvertedAndEmptyRectangles) {
  canvas_->Rectangle(30, 40, 10, 20);  // corners given the other way round
  EXPECT_EQ(At(10, 30), QColor(Qt::black));
  EXPECT_EQ(At(29, 30), QColor(Qt::black));
  EXPECT_EQ(At(30, 30), kUntouched);
  image_.fill(kUntouched);
  const QImage before = image_;
  canvas_->Rectangle(10, 10, 10, 30);
  EXPECT_EQ(image_, before);
}

TEST_F(CanvasTest, RoundRectKeepsTheBoundingBoxAndRoundsTheCorners) {
  const QImage before = image_;
  canvas_->SelectPen(Pen::PenBlack1);
  canvas_->SelectBrush(Brush::BrushSilver);
  canvas_->RoundRect(20, 10, 121, 61, 20, 20);
  const QColor black(Qt::black), silver(192, 192, 192);
  EXPECT_EQ(At(20, 35), black);
  EXPECT_EQ(At(120, 35), black);
  EXPECT_EQ(At(70, 10), black);
  EXPECT_EQ(At(70, 60), black);
  EXPECT_EQ(At(19, 35), kUntouched);
  EXPECT_EQ(At(121, 35), kUntouched);
  EXPECT_EQ(At(70, 9), kUntouched);
  EXPECT_EQ(At(70, 61), kUntouched);
  EXPECT_EQ(At(70, 35), silver);
  EXPECT_EQ(At(21, 35), silver);
  // The corner pixels lie outside the 20 x 20 corner ellipses.
  EXPECT_EQ(At(20, 10), kUntouched);
  EXPECT_EQ(At(120, 60), kUntouched);
  EXPECT_EQ(At(22, 12), kUntouched);
  ExpectChangesReported(before);
}

TEST_F(CanvasTest, EllipseTouchesItsBoundingBoxAtTheMiddleOfEachSide) {
  const QImage before = image_;
  canvas_->SelectPen(Pen::PenGreen1);
  canvas_->SelectBrush(Brush::BrushRed);
  canvas_->Ellipse(10, 10, 51, 31);  // x 10..50, y 10..30
  const QColor green(0, 128, 0);
  EXPECT_EQ(At(10, 20), green);
  EXPECT_EQ(At(50, 20), green);
  EXPECT_EQ(At(30, 10), green);
  EXPECT_EQ(At(30, 30), green);
  EXPECT_EQ(At(9, 20), kUntouched);
  EXPECT_EQ(At(51, 20), kUntouched);
  EXPECT_EQ(At(30, 31), kUntouched);
  EXPECT_EQ(At(30, 20), QColor(255, 0, 0));
  EXPECT_EQ(At(10, 10), kUntouched);
  EXPECT_EQ(At(50, 30), kUntouched);
  ExpectChangesReported(before);
}

TEST_F(CanvasTest, PolylineLeavesOutItsLastPixel) {
  const QImage before = image_;
  canvas_->SelectPen(Pen::PenRed1);
  const Point points[] = {{10, 10}, {20, 10}, {20, 20}};
  canvas_->Polyline(points, 3);
  const QColor red(255, 0, 0);
  for (int x = 10; x <= 20; ++x) EXPECT_EQ(At(x, 10), red) << x;
  for (int y = 10; y < 20; ++y) EXPECT_EQ(At(20, y), red) << y;
  EXPECT_EQ(At(20, 20), kUntouched);
  EXPECT_EQ(At(9, 10), kUntouched);
  EXPECT_EQ(At(21, 10), kUntouched);

  // A diagonal: one pixel per step, the end point not drawn.
  const Point diagonal[] = {{100, 100}, {110, 90}};
  canvas_->Polyline(diagonal, 2);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(At(100 + i, 100 - i), red) << i;
  EXPECT_EQ(At(110, 90), kUntouched);
  ExpectChangesReported(before);

  // Fewer than two points draw nothing.
  const QImage after = image_;
  canvas_->Polyline(points, 1);
  canvas_->Polyline(nullptr, 3);
  EXPECT_EQ(image_, after);
}

TEST_F(CanvasTest, PolylineThroughPointsFarOffThePageDrawsOnlyWhatIsOnIt) {
  // A trace scaled from a wild value may hand the canvas any int: the part on the page is drawn at
  // once, and nothing overflows (UBSan watches this in the sanitizer build).
  const QImage before = image_;
  canvas_->SelectPen(Pen::PenRed1);
  const Point across[] = {{-2000000000, 40}, {2000000000, 40}};
  canvas_->Polyline(across, 2);
  for (int x = 0; x < image_.width(); ++x) ASSERT_EQ(At(x, 40), QColor(255, 0, 0)) << x;
  EXPECT_EQ(At(5, 39), kUntouched);
  EXPECT_EQ(At(5, 41), kUntouched);
  ExpectChangesReported(before);

  const QImage after = image_;
  const Point beside[] = {{INT_MIN, INT_MIN}, {-5, INT_MAX}, {INT_MAX, INT_MAX}};
  canvas_->Polyline(beside, 3);
  EXPECT_EQ(image_, after);
  canvas_->SelectPen(Pen::PenBlack4);
  canvas_->Polyline(beside, 3);
  EXPECT_EQ(image_, after);
}

TEST_F(CanvasTest, WidePolylineIsAsWideAsThePen) {
  const QImage before = image_;
  canvas_->SelectPen(Pen::PenBlack4);
  const Point points[] = {{30, 60}, {130, 60}};
  canvas_->Polyline(points, 2);
  int rows = 0;
  for (int y = 50; y < 70; ++y) rows += At(80, y) == QColor(Qt::black) ? 1 : 0;
  EXPECT_EQ(rows, 4);
  ExpectChangesReported(before);
}

// Where the text's opaque cell ends: the first column after it that still has background colour
// on the cell's top row and nothing but untouched pixels after it.
TEST_F(CanvasTest, TextIsOpaqueAndCutAtItsCount) {
  const QImage before = image_;
  canvas_->SelectFont(Font::ValueFont2);
  canvas_->SetTextColor(kRed);
  canvas_->SetBkColor(kSilver);
  canvas_->TextOut(10, 20, "12345", 3);
  const QFontMetrics metrics(Fonts().Get(Font::ValueFont2));
  const int width = metrics.horizontalAdvance(QStringLiteral("123"));
  const int height = metrics.height();
  const QColor silver(192, 192, 192), red(255, 0, 0);
  // The cell is silver at its corners, red ink inside, nothing else (no antialiasing).
  EXPECT_EQ(At(10, 20), silver);
  EXPECT_EQ(At(10 + width - 1, 20), silver);
  EXPECT_EQ(At(10, 20 + height - 1), silver);
  int ink = 0;
  for (int y = 20; y < 20 + height; ++y) {
    for (int x = 10; x < 10 + width; ++x) {
      const QColor c = At(x, y);
      ASSERT_TRUE(c == silver || c == red) << x << "," << y;
      ink += c == red ? 1 : 0;
    }
  }
  EXPECT_GT(ink, 20);
  // Beyond the three characters nothing was drawn: no "4", no "5".
  for (int y = 15; y < 20 + height + 5; ++y) {
    for (int x = 10 + width + 2; x < image_.width(); ++x) ASSERT_EQ(At(x, y), kUntouched) << x << "," << y;
  }
  EXPECT_EQ(At(10, 19), kUntouched);
  EXPECT_EQ(At(10, 20 + height), kUntouched);
  ExpectChangesReported(before);

  // The same as drawing exactly "123".
  QImage cut = image_;
  image_.fill(kUntouched);
  canvas_->TextOut(10, 20, "123", 3);
  EXPECT_EQ(image_, cut);
}

TEST_F(CanvasTest, TextCountNeverReadsPastTheEndOfTheText) {
  canvas_->TextOut(10, 10, "12", 2);
  const QImage two = image_;
  image_.fill(kUntouched);
  char text[8] = {'1', '2', '\0', '9', '9', '9', '9', '9'};
  canvas_->TextOut(10, 10, text, 8);
  EXPECT_EQ(image_, two);
  image_.fill(kUntouched);
  const QImage empty = image_;
  canvas_->TextOut(10, 10, "12", 0);
  canvas_->TextOut(10, 10, nullptr, 3);
  EXPECT_EQ(image_, empty);
}

TEST_F(CanvasTest, TextIsDecodedFromCodePage1250) {
  canvas_->SelectFont(Font::LabelFont2);
  canvas_->SetBkColor(kSilver);
  canvas_->TextOut(0, 0, "\xB0" "C", 2);  // the degree sign and C
  const QFontMetrics metrics(Fonts().Get(Font::LabelFont2));
  const int width = metrics.horizontalAdvance(QString::fromUtf8("°C"));
  EXPECT_EQ(At(width - 1, 0), QColor(192, 192, 192));
  EXPECT_EQ(At(width, 0), kUntouched);
}

TEST_F(CanvasTest, BitmapIsCopiedPlainAndClippedToItsSource) {
  const BitmapResource mark = LoadBitmapResource(109);
  ASSERT_GT(mark.width, 4);
  ASSERT_GT(mark.height, 4);
  const QImage before = image_;
  canvas_->DrawBitmap(109, 100, 50, mark.width, mark.height, 0, 0);
  for (int y = 0; y < mark.height; ++y) {
    for (int x = 0; x < mark.width; ++x) {
      const uint32_t p = mark.pixels[static_cast<size_t>(y) * mark.width + x];
      ASSERT_EQ(image_.pixel(100 + x, 50 + y) & 0xFFFFFFu, p & 0xFFFFFFu) << x << "," << y;
    }
  }
  EXPECT_EQ(At(100 + mark.width, 50), kUntouched);
  ExpectChangesReported(before);

  // A source window reaching past the bitmap copies only what exists.
  image_.fill(kUntouched);
  canvas_->DrawBitmap(109, 10, 10, 50, 50, 2, 3);
  EXPECT_EQ(image_.pixel(10, 10) & 0xFFFFFFu, mark.pixels[3 * static_cast<size_t>(mark.width) + 2] & 0xFFFFFFu);
  EXPECT_EQ(At(10 + mark.width - 2, 10), kUntouched);
  EXPECT_EQ(At(10, 10 + mark.height - 3), kUntouched);

  // An unknown bitmap draws nothing.
  image_.fill(kUntouched);
  const QImage empty = image_;
  canvas_->DrawBitmap(4242, 0, 0, 20, 20, 0, 0);
  EXPECT_EQ(image_, empty);
}

}  // namespace
}  // namespace korvel
