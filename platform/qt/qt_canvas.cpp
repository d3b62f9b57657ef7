#include "platform/qt/qt_canvas.hpp"

#include <QFontMetrics>
#include <QPainter>
#include <QPen>
#include <QString>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/qt/qt_bitmaps.hpp"
#include "platform/qt/qt_fonts.hpp"
#include "texts/language_table.hpp"

namespace korvel {

namespace {

QColor ToQColor(Rgb colour) { return QColor(colour.r, colour.g, colour.b); }

// Pixel band of a pen of width `width` centred on the path coordinate `at`: a 1-pixel pen covers
// exactly `at`, a 2-pixel pen at-1..at, a 4-pixel pen at-2..at+1.
int BandStart(int at, int width) { return at - width / 2; }

QPen MakeQPen(Pen pen) {
  const PenInfo& info = DescribePen(pen);
  QPen qpen(ToQColor(info.colour));
  qpen.setWidth(info.width);
  qpen.setStyle(Qt::SolidLine);
  // Wide pens are geometric pens with round ends and joins.
  qpen.setCapStyle(info.width > 1 ? Qt::RoundCap : Qt::FlatCap);
  qpen.setJoinStyle(info.width > 1 ? Qt::RoundJoin : Qt::MiterJoin);
  return qpen;
}

// Line points are kept within 16-bit coordinates, far more than any page needs: a point far off
// the page is brought to the edge of that range, so a line's walk stays short and no width or
// error term of it can overflow.
constexpr int kMaxLineCoordinate = 32767;
Point ToLineSpace(Point point) {
  return Point{std::clamp(point.x, -kMaxLineCoordinate, kMaxLineCoordinate),
               std::clamp(point.y, -kMaxLineCoordinate, kMaxLineCoordinate)};
}

void Normalise(int& left, int& top, int& right, int& bottom) {
  if (right < left) std::swap(left, right);
  if (bottom < top) std::swap(top, bottom);
}

}  // namespace

QtCanvas::QtCanvas(QImage& image, const QtFontSet& fonts, QtBitmapCache& bitmaps,
                   std::function<void(const QRect&)> changed)
    : image_(&image), fonts_(&fonts), bitmaps_(&bitmaps), changed_(std::move(changed)) {}

void QtCanvas::Reset() {
  pen_ = Pen::DefaultPen;
  brush_ = Brush::DefaultBrush;
  font_ = Font::SystemFont;
  text_colour_ = kBlack;
  background_colour_ = kWhite;
}

void QtCanvas::Touched(const QRect& rect) {
  const QRect clipped = rect.intersected(image_->rect());
  if (!clipped.isEmpty() && changed_) changed_(clipped);
}

void QtCanvas::SetPixel(int x, int y, QRgb colour) {
  if (x < 0 || y < 0 || x >= image_->width() || y >= image_->height()) return;
  reinterpret_cast<QRgb*>(image_->scanLine(y))[x] = colour;
}

void QtCanvas::Rectangle(int left, int top, int right, int bottom) {
  Normalise(left, top, right, bottom);
  if (right <= left || bottom <= top || image_->isNull()) return;
  const PenInfo& pen = DescribePen(pen_);
  const QColor pen_colour = ToQColor(pen.colour);
  const int w = pen.width;
  {
    QPainter painter(image_);
    painter.fillRect(QRect(left, top, right - left, bottom - top), ToQColor(DescribeBrush(brush_).colour));
    // The outline path runs along x = left, x = right-1, y = top, y = bottom-1.
    const int x0 = BandStart(left, w), x1 = BandStart(right - 1, w);
    const int y0 = BandStart(top, w), y1 = BandStart(bottom - 1, w);
    const int span_x = (right - 1 - left) + w, span_y = (bottom - 1 - top) + w;
    painter.fillRect(QRect(x0, y0, span_x, w), pen_colour);
    painter.fillRect(QRect(x0, y1, span_x, w), pen_colour);
    painter.fillRect(QRect(x0, y0, w, span_y), pen_colour);
    painter.fillRect(QRect(x1, y0, w, span_y), pen_colour);
  }
  const int grow = w / 2 + 1;
  Touched(QRect(left, top, right - left, bottom - top).adjusted(-grow, -grow, grow, grow));
}

void QtCanvas::RoundRect(int left, int top, int right, int bottom, int corner_width, int corner_height) {
  Normalise(left, top, right, bottom);
  if (right <= left || bottom <= top || image_->isNull()) return;
  const QPen pen = MakeQPen(pen_);
  {
    QPainter painter(image_);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(pen);
    painter.setBrush(ToQColor(DescribeBrush(brush_).colour));
    // Outline through x = left .. right-1 and y = top .. bottom-1; the corner radii are half the
    // corner ellipse.
    painter.drawRoundedRect(QRectF(left, top, right - 1 - left, bottom - 1 - top), std::abs(corner_width) / 2.0,
                            std::abs(corner_height) / 2.0, Qt::AbsoluteSize);
  }
  const int grow = pen.width() / 2 + 1;
  Touched(QRect(left, top, right - left, bottom - top).adjusted(-grow, -grow, grow, grow));
}

void QtCanvas::Ellipse(int left, int top, int right, int bottom) {
  Normalise(left, top, right, bottom);
  if (right <= left || bottom <= top || image_->isNull()) return;
  const QPen pen = MakeQPen(pen_);
  {
    QPainter painter(image_);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(pen);
    painter.setBrush(ToQColor(DescribeBrush(brush_).colour));
    painter.drawEllipse(QRectF(left, top, right - 1 - left, bottom - 1 - top));
  }
  const int grow = pen.width() / 2 + 1;
  Touched(QRect(left, top, right - left, bottom - top).adjusted(-grow, -grow, grow, grow));
}

void QtCanvas::ThinLine(Point from, Point to, QRgb colour) {
  // Bresenham from `from` towards `to`, without the pixel at `to` (the next segment starts there).
  // A segment wholly beside the image has nothing to draw.
  if (std::max(from.x, to.x) < 0 || std::min(from.x, to.x) >= image_->width() || std::max(from.y, to.y) < 0 ||
      std::min(from.y, to.y) >= image_->height()) {
    return;
  }
  int x = from.x, y = from.y;
  const int dx = std::abs(to.x - from.x), dy = -std::abs(to.y - from.y);
  const int sx = from.x < to.x ? 1 : -1, sy = from.y < to.y ? 1 : -1;
  int error = dx + dy;
  while (x != to.x || y != to.y) {
    SetPixel(x, y, colour);
    const int twice = 2 * error;
    if (twice >= dy) {
      error += dy;
      x += sx;
    }
    if (twice <= dx) {
      error += dx;
      y += sy;
    }
  }
}

void QtCanvas::Polyline(const Point* points, int count) {
  if (points == nullptr || count < 2 || image_->isNull()) return;
  std::vector<Point> line(points, points + count);
  for (Point& point : line) point = ToLineSpace(point);
  const PenInfo& info = DescribePen(pen_);
  int min_x = line[0].x, max_x = line[0].x, min_y = line[0].y, max_y = line[0].y;
  for (int i = 1; i < count; ++i) {
    min_x = std::min(min_x, line[i].x);
    max_x = std::max(max_x, line[i].x);
    min_y = std::min(min_y, line[i].y);
    max_y = std::max(max_y, line[i].y);
  }
  if (info.width <= 1) {
    const QRgb colour = qRgb(info.colour.r, info.colour.g, info.colour.b);
    for (int i = 1; i < count; ++i) ThinLine(line[i - 1], line[i], colour);
  } else {
    QPolygon polygon(count);
    for (int i = 0; i < count; ++i) polygon.setPoint(i, line[i].x, line[i].y);
    QPainter painter(image_);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(MakeQPen(pen_));
    painter.drawPolyline(polygon);
  }
  const int grow = info.width / 2 + 1;
  Touched(QRect(QPoint(min_x, min_y), QPoint(max_x, max_y)).adjusted(-grow, -grow, grow, grow));
}

void QtCanvas::TextOut(int x, int y, const char* text, int count) {
  if (text == nullptr || count <= 0 || image_->isNull()) return;
  // The count never reaches past the end of the text, so a count larger than the text cannot read
  // beyond its buffer.
  const int length = static_cast<int>(strnlen(text, static_cast<size_t>(count)));
  const QString shown = QString::fromStdString(Cp1250ToUtf8(text, length));
  const QFont& font = fonts_->Get(font_);
  const QFontMetrics metrics(font);
  const QRect cell(x, y, metrics.horizontalAdvance(shown), metrics.height());
  {
    QPainter painter(image_);
    painter.fillRect(cell, ToQColor(background_colour_));
    // Glyph parts below the cell (the ogonek of a Polish letter reaches a pixel under the cell in
    // some sizes) would stay on the page after the cell is drawn over again: the glyphs are kept
    // to the rows of the cell. Sideways they may reach past the advance as usual.
    painter.setClipRect(QRect(x - metrics.maxWidth(), y, cell.width() + 2 * metrics.maxWidth(), cell.height()));
    painter.setFont(font);
    painter.setPen(ToQColor(text_colour_));
    painter.drawText(x, y + metrics.ascent(), shown);
  }
  // Glyphs may overhang their advance a little; report a slightly larger area.
  Touched(cell.adjusted(-2, 0, metrics.maxWidth() / 2 + 2, 0));
}

void QtCanvas::DrawBitmap(int bitmap_id, int x, int y, int width, int height, int src_x, int src_y) {
  const QImage& source = bitmaps_->Image(bitmap_id);
  if (source.isNull() || width <= 0 || height <= 0 || image_->isNull()) return;
  const QRect wanted(src_x, src_y, width, height);
  const QRect available = wanted.intersected(source.rect());
  if (available.isEmpty()) return;
  const QPoint target(x + (available.x() - src_x), y + (available.y() - src_y));
  {
    QPainter painter(image_);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(target, source, available);
  }
  Touched(QRect(target, available.size()));
}

}  // namespace korvel
