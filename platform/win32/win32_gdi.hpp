#pragma once
// The drawing objects of the program on GDI: the named pens and brushes, the canvas fonts of every
// size class, the control fonts of the template font sizes, and the bitmap resources as bitmaps
// the system can copy. Created once per host and kept for its life.
#include "platform/win32/win32_system.hpp"

#include <array>
#include <map>
#include <string>
#include <utility>

#include "platform/drawing.hpp"

namespace korvel {

COLORREF ToColorRef(Rgb colour);

class Win32Gdi {
 public:
  Win32Gdi();
  ~Win32Gdi();
  Win32Gdi(const Win32Gdi&) = delete;
  Win32Gdi& operator=(const Win32Gdi&) = delete;

  HPEN PenHandle(Pen pen) const { return pens_[static_cast<size_t>(pen)]; }
  HBRUSH BrushHandle(Brush brush) const { return brushes_[static_cast<size_t>(brush)]; }
  HFONT FontHandle(Font font) const { return fonts_[static_cast<size_t>(font)]; }
  // The font whose average character width and cell height are the base units of a template.
  HFONT ControlFont(int base_width, int base_height);

  // A bitmap resource as a 32-bit device-independent bitmap; nullptr for an unknown id.
  HBITMAP Bitmap(int bitmap_id, int* width = nullptr, int* height = nullptr);
  // The same picture as an icon.
  HICON Icon(int bitmap_id);
  // A memory context for copying bitmaps from.
  HDC BitmapContext() const { return bitmap_dc_; }

  // The background of pages and dialogs and of the texts drawn to blend with them.
  HBRUSH FaceBrush() const { return face_brush_; }
  // The main window's client area around the page.
  HBRUSH ClientBrush() const { return client_brush_; }

  const std::wstring& FaceName() const { return face_; }

 private:
  HFONT MakeFont(int height, int width, int weight) const;

  std::wstring face_;
  std::array<HPEN, 18> pens_{};
  std::array<HBRUSH, 12> brushes_{};
  std::array<HFONT, 11> fonts_{};
  std::map<std::pair<int, int>, HFONT> control_fonts_;
  struct CachedBitmap {
    HBITMAP bitmap;
    int width, height;
  };
  std::map<int, CachedBitmap> bitmaps_;
  std::map<int, HICON> icons_;
  HDC bitmap_dc_ = nullptr;
  HBRUSH face_brush_ = nullptr;
  HBRUSH client_brush_ = nullptr;
};

}  // namespace korvel
