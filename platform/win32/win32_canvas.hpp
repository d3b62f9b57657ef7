#pragma once
#include <string>
#include <vector>

#include "platform/drawing.hpp"
#include "platform/win32/win32_gdi.hpp"

namespace korvel {

// Where a canvas draws: the persistent image of a page or dialog, which hears of every rectangle
// that an operation touched so that it can show it.
class Win32Surface {
 public:
  virtual ~Win32Surface() = default;
  virtual HDC ImageContext() = 0;
  virtual void Touched(const RECT& rect) = 0;
};

// A device context on the image of a window: its own selected pen, brush, font and colours, put
// into the image's context before every operation (two canvases of one window may be held at a
// time), and the drawing operations of GDI itself.
class Win32Canvas : public Canvas {
 public:
  Win32Canvas(Win32Gdi& gdi, Win32Surface& surface) : gdi_(gdi), surface_(surface) {}

  // Back to the state of a fresh context: DefaultPen, DefaultBrush, SystemFont, black text on an
  // opaque white background.
  void Reset();

  void SelectPen(Pen pen) override { pen_ = pen; }
  void SelectBrush(Brush brush) override { brush_ = brush; }
  void SelectFont(Font font) override { font_ = font; }
  void SetTextColor(Rgb colour) override { text_colour_ = colour; }
  void SetBkColor(Rgb colour) override { background_colour_ = colour; }

  void Rectangle(int left, int top, int right, int bottom) override;
  void RoundRect(int left, int top, int right, int bottom, int corner_width, int corner_height) override;
  void Ellipse(int left, int top, int right, int bottom) override;
  void Polyline(const Point* points, int count) override;
  void TextOut(int x, int y, const char* text, int count) override;
  void DrawBitmap(int bitmap_id, int x, int y, int width, int height, int src_x, int src_y) override;

 private:
  HDC Prepare();
  void TouchedBox(int left, int top, int right, int bottom);

  Win32Gdi& gdi_;
  Win32Surface& surface_;
  Pen pen_ = Pen::DefaultPen;
  Brush brush_ = Brush::DefaultBrush;
  Font font_ = Font::SystemFont;
  Rgb text_colour_ = kBlack;
  Rgb background_colour_ = kWhite;
  std::vector<POINT> points_;     // kept between polylines: nothing is allocated per tick
  std::u16string text_;
};

}  // namespace korvel
