// A test page per size class with every pen, brush and shape, both fonts of the class, cut text
// and the bitmaps, drawn through a real page window; its pixels are checked at the edges and the
// page is written to <build>/screenshots/primitives_class<N>.png for a look.
#include <gtest/gtest.h>

#include <QDir>
#include <QFontMetrics>
#include <QImage>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/qt/qt_host.hpp"
#include "qt_test_support.hpp"
#include "resources/menus.hpp"
#include "shell/menu_bars.hpp"

namespace korvel {
namespace {

struct SizeClassInfo {
  int width, height;
  double scale_x, scale_y;
};
constexpr SizeClassInfo kClasses[] = {{640, 450, 0.8, 0.77},
                                      {800, 570, 1.0, 1.0},
                                      {1024, 738, 1.28, 1.32},
                                      {1280, 930, 1.6, 1.69},
                                      {1280, 994, 1.6, 1.81}};

constexpr ControlTemplate kOverlay[] = {
    {10, ControlKind::kComboBox, 0, 0, 60, 60, kStyleNone, "", 0},
    {20, ControlKind::kCheckBox, 0, 0, 80, 10, kStyleNone, "Kursor warto\x9C" "ci", 0},
    {40, ControlKind::kStatic, 0, 0, 100, 10, kSunken | kCentred | kVCentred, "Nag\xB3\xF3wek", 0},
};

class PrimitivesPage {
 public:
  PrimitivesPage(Window& window, int size_class)
      : window_(window), info_(kClasses[size_class - 1]), size_class_(size_class) {}

  int X(int design) const { return static_cast<int>(design * info_.scale_x); }
  int Y(int design) const { return static_cast<int>(design * info_.scale_y); }

  // Draws the page; returns where the cut text and the first brush box went.
  void Draw() {
    Canvas& c = window_.GetContext();
    c.SelectPen(Pen::PenGrey1);
    c.SelectBrush(Brush::BrushGrey);
    c.Rectangle(0, 0, X(800), Y(570));

    c.SelectFont(LabelFontOf(size_class_));
    c.SetBkColor(kGrey);
    c.SetTextColor(kWhite);
    char title[64];
    std::snprintf(title, sizeof title, "Klasa %d: pi\xF3ra, p\xEA" "dzle, kszta\xB3ty, czcionki", size_class_);
    c.TextOut(X(10), Y(4), title, static_cast<int>(std::strlen(title)));

    // The eleven brushes, outlined with the black pen.
    c.SelectPen(Pen::PenBlack1);
    for (int i = 0; i < 11; ++i) {
      c.SelectBrush(static_cast<Brush>(i));
      c.Rectangle(X(10 + 70 * i), Y(30), X(70 + 70 * i), Y(70));
    }
    brush_box_ = QRect(QPoint(X(10), Y(30)), QPoint(X(70) - 1, Y(70) - 1));

    // The seventeen pens, each a line with its name.
    c.SetBkColor(kGrey);
    c.SetTextColor(kBlack);
    for (int i = 0; i < 17; ++i) {
      const int column = i / 9, row = i % 9;
      const int x = 10 + 200 * column, y = 90 + 20 * row;
      c.SelectPen(static_cast<Pen>(i));
      const Point line[] = {{X(x), Y(y + 8)}, {X(x + 70), Y(y + 8)}};
      c.Polyline(line, 2);
      const char* name = DescribePen(static_cast<Pen>(i)).name;
      c.TextOut(X(x + 78), Y(y), name, static_cast<int>(std::strlen(name)));
    }

    // Shapes.
    c.SelectPen(Pen::PenBlack1);
    c.SelectBrush(Brush::BrushSilver);
    c.RoundRect(X(420), Y(90), X(600), Y(170), 20, 20);
    c.SelectPen(Pen::PenRed2);
    c.SelectBrush(Brush::BrushYellow);
    c.Ellipse(X(620), Y(90), X(780), Y(170));
    c.SelectPen(Pen::PenRed4);
    c.SelectBrush(Brush::BrushCyan);
    c.Rectangle(X(420), Y(190), X(600), Y(260));
    c.SelectPen(Pen::PenNavy2);
    Point zigzag[9];
    for (int i = 0; i < 9; ++i) zigzag[i] = Point{X(620 + 20 * i), Y(i % 2 == 0 ? 250 : 200)};
    c.Polyline(zigzag, 9);
    c.SelectPen(Pen::PenGreen1);
    for (int i = 0; i < 9; ++i) zigzag[i].y += Y(10);
    c.Polyline(zigzag, 9);

    // Value font on silver, cut text next to the whole text, label font with Polish letters.
    c.SelectFont(ValueFontOf(size_class_));
    c.SetBkColor(kSilver);
    c.SetTextColor(kBlack);
    c.TextOut(X(10), Y(280), "1234 0,85 V 25\xB0" "C", 16);
    cut_at_ = QPoint(X(520), Y(280));
    c.TextOut(cut_at_.x(), cut_at_.y(), "045l", 3);  // "%03dl": three digits, never the letter
    c.TextOut(X(640), Y(280), "045l", 4);
    c.SelectFont(LabelFontOf(size_class_));
    c.SetTextColor(kRed);
    const char polish[] = "\xAF\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ja\x9F\xF1 \xA5\xC6\xCA\xA3\xD1\xD3\x8C\x8F\xAF 0-5 V +";
    c.TextOut(X(10), Y(345), polish, static_cast<int>(std::strlen(polish)));
    c.SetTextColor(kBlack);
    const FontInfo& value = DescribeFont(ValueFontOf(size_class_));
    const FontInfo& label = DescribeFont(LabelFontOf(size_class_));
    char metrics[64];
    std::snprintf(metrics, sizeof metrics, "%s %d/%d %d, %s %d/%d %d", value.name, value.height, value.width,
                  value.weight, label.name, label.height, label.width, label.weight);
    c.TextOut(X(10), Y(380), metrics, static_cast<int>(std::strlen(metrics)));
    c.SelectFont(Font::SystemFont);
    c.SetBkColor(kWhite);
    c.TextOut(X(10), Y(410), "SystemFont: \xA3\xF3" "d\x9F 16/7", 21);

    // Bitmaps: the four language marks and the logo.
    const int marks[] = {109, 173, 176, 174};
    for (int i = 0; i < 4; ++i) c.DrawBitmap(marks[i], X(420 + 24 * i), Y(300), 14, 12, 0, 0);
    c.DrawBitmap(178, X(420), Y(330), 238, 62, 0, 0);
    window_.ReleaseContext(c);

    // Controls over the image.
    window_.MoveControl(10, X(600), Y(470), X(120), Y(150));
    window_.MoveControl(20, X(600), Y(510), X(170), Y(24));
    window_.MoveControl(40, X(420), Y(470), X(160), Y(24));
    window_.AddListEntry(10, "0,8-1,6 V");
    window_.SelectListEntry(10, 0);
  }

  QRect brush_box_;
  QPoint cut_at_;

 private:
  Window& window_;
  SizeClassInfo info_;
  int size_class_;
};

class PrimitivesPageTest : public ::testing::TestWithParam<int> {};

TEST_P(PrimitivesPageTest, EdgesTextCutAndScreenshot) {
  const int size_class = GetParam();
  const SizeClassInfo& info = kClasses[size_class - 1];
  QtHost host(qt_test::App());
  qt_test::RecordingMain main;
  ASSERT_TRUE(host.CreateMainWindow(main, "Korvel", MenuBars().Bar(kPolishMenu), 0, 0, info.width, info.height + 60));
  host.ShowMainWindow();
  qt_test::RecordingProc proc;
  const DialogTemplate dialog{9100, 100, 100, "MS Sans Serif", 12, false, "", kOverlay,
                              static_cast<int>(std::size(kOverlay))};
  auto* page = static_cast<QtWindow*>(host.CreatePage(dialog, proc));
  page->MoveWindow(0, 0, info.width, info.height);
  PrimitivesPage drawing(*page, size_class);
  drawing.Draw();
  qt_test::PumpUntil([&] { return proc.paints > 0; });
  const QImage& image = page->Image();
  ASSERT_EQ(image.size(), QSize(info.width, info.height));

  // The first brush box (BrushGrey): black outline on its border pixels, grey inside, page grey
  // beyond right-1 and bottom-1 (which is the same grey, so look at the outline instead).
  const QRect box = drawing.brush_box_;
  const int middle_y = box.center().y();
  EXPECT_EQ(image.pixel(box.left(), middle_y), qRgb(0, 0, 0));
  EXPECT_EQ(image.pixel(box.right(), middle_y), qRgb(0, 0, 0));
  EXPECT_EQ(image.pixel(box.left() + 1, middle_y), qRgb(128, 128, 128));
  EXPECT_EQ(image.pixel(box.right() + 1, middle_y), qRgb(128, 128, 128));
  EXPECT_EQ(image.pixel(box.center().x(), box.top()), qRgb(0, 0, 0));
  EXPECT_EQ(image.pixel(box.center().x(), box.bottom()), qRgb(0, 0, 0));
  EXPECT_EQ(image.pixel(box.center().x(), box.bottom() + 1), qRgb(128, 128, 128));

  // The cut text: a silver cell as wide as three digits, then the page grey where the letter
  // would have been.
  const QtFontSet& fonts = host.CanvasFonts();
  const QFontMetrics value(fonts.Get(ValueFontOf(size_class)));
  const int digits = value.horizontalAdvance(QStringLiteral("045"));
  const int letter = value.horizontalAdvance(QStringLiteral("l"));
  const QPoint at = drawing.cut_at_;
  EXPECT_EQ(image.pixel(at), qRgb(192, 192, 192));
  EXPECT_EQ(image.pixel(at.x() + digits - 1, at.y()), qRgb(192, 192, 192));
  for (int y = at.y(); y < at.y() + value.height(); ++y) {
    for (int x = at.x() + digits + 1; x < at.x() + digits + letter; ++x) {
      ASSERT_EQ(image.pixel(x, y), qRgb(128, 128, 128)) << x << "," << y;
    }
  }
  // The fonts of the class measure as the table says.
  const FontInfo& value_info = DescribeFont(ValueFontOf(size_class));
  EXPECT_EQ(value.height(), value_info.height);
  EXPECT_EQ(value.averageCharWidth(), value_info.width);

  // What the page shows is its image, with the controls over it.
  const QImage shown = page->Surface().grab().toImage();
  EXPECT_EQ(shown.pixel(box.left(), middle_y), qRgb(0, 0, 0));
  EXPECT_EQ(shown.pixel(at), qRgb(192, 192, 192));
  const QString directory = QStringLiteral(KORVEL_SCREENSHOT_DIR);
  ASSERT_TRUE(QDir().mkpath(directory));
  const QString path = directory + QStringLiteral("/primitives_class%1.png").arg(size_class);
  ASSERT_TRUE(shown.save(path));
  std::printf("written %s\n", qPrintable(path));
}

INSTANTIATE_TEST_SUITE_P(SizeClasses, PrimitivesPageTest, ::testing::Values(1, 2, 3, 4, 5));

}  // namespace
}  // namespace korvel
