#pragma once
#include <cstdint>

namespace korvel {

struct Rgb {
  uint8_t r, g, b;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kGrey{128, 128, 128};
constexpr Rgb kSilver{192, 192, 192};
constexpr Rgb kDarkGreen{0, 128, 0};
constexpr Rgb kCyan{0, 255, 255};
constexpr Rgb kLime{0, 255, 0};
constexpr Rgb kDialGrey{210, 210, 210};
// The system button-face colour: the background the window system gives dialogs and pages, and
// the background of texts drawn to blend with it.
constexpr Rgb kButtonFace{240, 240, 240};

// The 17 solid pens created at start-up and never deleted, plus the default pen of a fresh context.
enum class Pen : uint8_t {
  PenCyan1, PenGreen1, PenYellow1, PenRed1, PenRed2, PenRed4, PenNavy1, PenNavy2, PenBlue2,
  PenGrey1, PenBlack1, PenBlack4, PenWhite1, PenSilver1, PenOlive2, PenLime2, PenLightGrey2,
  DefaultPen,  // black, 1 pixel: what a fresh context holds
};
// The 11 solid brushes, plus the default brush of a fresh context.
enum class Brush : uint8_t {
  BrushGrey, BrushLime, BrushBlack, BrushNavy, BrushSilver, BrushCyan, BrushRed, BrushWhite,
  BrushGreen, BrushYellow, BrushOlive,
  DefaultBrush,  // white
};

struct PenInfo {
  const char* name;
  int width;
  Rgb colour;
};
struct BrushInfo {
  const char* name;
  Rgb colour;
};
const PenInfo& DescribePen(Pen pen);
const BrushInfo& DescribeBrush(Brush brush);

// ValueFont and LabelFont of each size class (1..5), and the system font of a fresh context.
enum class Font : uint8_t {
  SystemFont,
  ValueFont1, ValueFont2, ValueFont3, ValueFont4, ValueFont5,
  LabelFont1, LabelFont2, LabelFont3, LabelFont4, LabelFont5,
};
struct FontInfo {
  const char* name;
  int height;  // cell height in pixels
  int width;   // average character width in pixels
  int weight;  // 300 light .. 600 semi-bold; 400 for the system font
};
const FontInfo& DescribeFont(Font font);
// The size class 1..5 nearest to `size_class`: every table indexed by class clamps through here.
constexpr int ClampClass(int size_class) { return size_class < 1 ? 1 : (size_class > 5 ? 5 : size_class); }
Font ValueFontOf(int size_class);
Font LabelFontOf(int size_class);

struct Point {
  int32_t x, y;
  friend bool operator==(const Point&, const Point&) = default;
};

// A device context: what is selected (pen, brush, font, colours) and the drawing operations, in
// device pixels of the window it belongs to. A context obtained from a window starts with
// DefaultPen, DefaultBrush, SystemFont, black text on an opaque white background.
class Canvas {
 public:
  virtual ~Canvas() = default;

  virtual void SelectPen(Pen pen) = 0;
  virtual void SelectBrush(Brush brush) = 0;
  virtual void SelectFont(Font font) = 0;
  virtual void SetTextColor(Rgb colour) = 0;
  virtual void SetBkColor(Rgb colour) = 0;

  // Filled with the brush and outlined with the pen inside left..right-1, top..bottom-1.
  virtual void Rectangle(int left, int top, int right, int bottom) = 0;
  // Corners are quarter ellipses of corner_width x corner_height.
  virtual void RoundRect(int left, int top, int right, int bottom, int corner_width, int corner_height) = 0;
  virtual void Ellipse(int left, int top, int right, int bottom) = 0;
  virtual void Polyline(const Point* points, int count) = 0;
  // Opaque text: the first `count` bytes of `text` (code page 1250) with the top-left corner of the
  // first character cell at x, y, on the background colour.
  virtual void TextOut(int x, int y, const char* text, int count) = 0;
  // Plain copy of a width x height part of a bitmap resource, from (src_x, src_y), to (x, y).
  virtual void DrawBitmap(int bitmap_id, int x, int y, int width, int height, int src_x, int src_y) = 0;
};

}  // namespace korvel
