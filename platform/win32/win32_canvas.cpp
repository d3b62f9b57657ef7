#include "platform/win32/win32_canvas.hpp"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/win32/dialog_resource.hpp"

namespace korvel {

namespace {

// Line points are kept within 16-bit coordinates, far more than any page needs, so a point far off
// the page cannot overflow the system's line walk.
constexpr LONG kMaxLineCoordinate = 32767;

void Normalise(int& left, int& top, int& right, int& bottom) {
  if (right < left) std::swap(left, right);
  if (bottom < top) std::swap(top, bottom);
}

}  // namespace

void Win32Canvas::Reset() {
  pen_ = Pen::DefaultPen;
  brush_ = Brush::DefaultBrush;
  font_ = Font::SystemFont;
  text_colour_ = kBlack;
  background_colour_ = kWhite;
}

HDC Win32Canvas::Prepare() {
  HDC dc = surface_.ImageContext();
  if (dc == nullptr) return nullptr;
  ::SelectObject(dc, gdi_.PenHandle(pen_));
  ::SelectObject(dc, gdi_.BrushHandle(brush_));
  ::SelectObject(dc, gdi_.FontHandle(font_));
  ::SetTextColor(dc, ToColorRef(text_colour_));
  ::SetBkColor(dc, ToColorRef(background_colour_));
  ::SetBkMode(dc, OPAQUE);
  ::SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
  return dc;
}

void Win32Canvas::TouchedBox(int left, int top, int right, int bottom) {
  // A wide pen reaches half its width beyond the path.
  const int grow = DescribePen(pen_).width / 2 + 1;
  surface_.Touched(RECT{left - grow, top - grow, right + grow, bottom + grow});
}

void Win32Canvas::Rectangle(int left, int top, int right, int bottom) {
  Normalise(left, top, right, bottom);
  if (right <= left || bottom <= top) return;
  HDC dc = Prepare();
  if (dc == nullptr) return;
  ::Rectangle(dc, left, top, right, bottom);
  TouchedBox(left, top, right, bottom);
}

void Win32Canvas::RoundRect(int left, int top, int right, int bottom, int corner_width, int corner_height) {
  Normalise(left, top, right, bottom);
  if (right <= left || bottom <= top) return;
  HDC dc = Prepare();
  if (dc == nullptr) return;
  ::RoundRect(dc, left, top, right, bottom, corner_width, corner_height);
  TouchedBox(left, top, right, bottom);
}

void Win32Canvas::Ellipse(int left, int top, int right, int bottom) {
  Normalise(left, top, right, bottom);
  if (right <= left || bottom <= top) return;
  HDC dc = Prepare();
  if (dc == nullptr) return;
  ::Ellipse(dc, left, top, right, bottom);
  TouchedBox(left, top, right, bottom);
}

void Win32Canvas::Polyline(const Point* points, int count) {
  if (points == nullptr || count < 2) return;
  HDC dc = Prepare();
  if (dc == nullptr) return;
  points_.resize(static_cast<size_t>(count));
  LONG min_x = kMaxLineCoordinate, max_x = -kMaxLineCoordinate;
  LONG min_y = kMaxLineCoordinate, max_y = -kMaxLineCoordinate;
  for (int i = 0; i < count; ++i) {
    const LONG x = std::clamp<LONG>(points[i].x, -kMaxLineCoordinate, kMaxLineCoordinate);
    const LONG y = std::clamp<LONG>(points[i].y, -kMaxLineCoordinate, kMaxLineCoordinate);
    points_[static_cast<size_t>(i)] = POINT{x, y};
    min_x = std::min(min_x, x), max_x = std::max(max_x, x);
    min_y = std::min(min_y, y), max_y = std::max(max_y, y);
  }
  ::Polyline(dc, points_.data(), count);
  TouchedBox(min_x, min_y, max_x + 1, max_y + 1);
}

void Win32Canvas::TextOut(int x, int y, const char* text, int count) {
  if (text == nullptr || count <= 0) return;
  HDC dc = Prepare();
  if (dc == nullptr) return;
  // The count never reaches past the end of the text, so a count larger than the text cannot read
  // beyond its buffer.
  const int length = static_cast<int>(strnlen(text, static_cast<size_t>(count)));
  text_ = win32::Cp1250ToUtf16(text, length);
  if (text_.empty()) return;
  const auto* wide = reinterpret_cast<const wchar_t*>(text_.c_str());
  const int units = static_cast<int>(text_.size());
  ::TextOutW(dc, x, y, wide, units);
  SIZE extent{0, 0};
  ::GetTextExtentPoint32W(dc, wide, units, &extent);
  // Glyphs may overhang their advance a little; report a slightly larger area.
  surface_.Touched(RECT{x - 2, y, x + extent.cx + extent.cy / 2 + 2, y + extent.cy});
}

void Win32Canvas::DrawBitmap(int bitmap_id, int x, int y, int width, int height, int src_x, int src_y) {
  int source_width = 0, source_height = 0;
  HBITMAP bitmap = gdi_.Bitmap(bitmap_id, &source_width, &source_height);
  if (bitmap == nullptr || width <= 0 || height <= 0) return;
  // Only the part of the request that lies on the bitmap is copied.
  const int left = std::max(src_x, 0), top = std::max(src_y, 0);
  const int right = std::min(src_x + width, source_width), bottom = std::min(src_y + height, source_height);
  if (right <= left || bottom <= top) return;
  HDC dc = surface_.ImageContext();
  if (dc == nullptr) return;
  HDC source = gdi_.BitmapContext();
  HGDIOBJ previous = ::SelectObject(source, bitmap);
  const int to_x = x + (left - src_x), to_y = y + (top - src_y);
  ::BitBlt(dc, to_x, to_y, right - left, bottom - top, source, left, top, SRCCOPY);
  ::SelectObject(source, previous);
  surface_.Touched(RECT{to_x, to_y, to_x + (right - left), to_y + (bottom - top)});
}

}  // namespace korvel
