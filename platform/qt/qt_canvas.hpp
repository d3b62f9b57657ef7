#pragma once
#include <QImage>
#include <QRect>
#include <functional>

#include "platform/drawing.hpp"

namespace korvel {

class QtFontSet;
class QtBitmapCache;

// A device context on a persistent page image: the selected pen, brush, font and colours, and the
// drawing operations with the pixel rules of the controller pages' drawing code (no antialiasing;
// a rectangle is filled with the brush and outlined with the pen inside left..right-1,
// top..bottom-1; a polyline leaves out its last pixel; text is opaque with an explicit count).
class QtCanvas : public Canvas {
 public:
  // `changed` hears of every rectangle of the image that an operation touched.
  QtCanvas(QImage& image, const QtFontSet& fonts, QtBitmapCache& bitmaps,
           std::function<void(const QRect&)> changed = {});

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

  Pen SelectedPen() const { return pen_; }
  Brush SelectedBrush() const { return brush_; }
  Font SelectedFont() const { return font_; }

 private:
  void Touched(const QRect& rect);
  void SetPixel(int x, int y, QRgb colour);
  void ThinLine(Point from, Point to, QRgb colour);  // leaves out the end point

  QImage* image_;
  const QtFontSet* fonts_;
  QtBitmapCache* bitmaps_;
  std::function<void(const QRect&)> changed_;
  Pen pen_ = Pen::DefaultPen;
  Brush brush_ = Brush::DefaultBrush;
  Font font_ = Font::SystemFont;
  Rgb text_colour_ = kBlack;
  Rgb background_colour_ = kWhite;
};

}  // namespace korvel
