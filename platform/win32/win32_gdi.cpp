#include "platform/win32/win32_gdi.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

#include "resources/bitmaps.hpp"

namespace korvel {

namespace {

// The sans-serif face of the canvas and the controls: Liberation Sans, else DejaVu Sans where the
// system has them, else the system's own choice of a proportional Swiss face.
int CALLBACK CollectFace(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM found) {
  auto* names = reinterpret_cast<std::vector<std::wstring>*>(found);
  names->emplace_back(font->lfFaceName);
  return 1;
}

std::wstring ChooseFace() {
  std::vector<std::wstring> names;
  HDC screen = ::GetDC(nullptr);
  LOGFONTW wanted;
  std::memset(&wanted, 0, sizeof wanted);
  wanted.lfCharSet = DEFAULT_CHARSET;
  ::EnumFontFamiliesExW(screen, &wanted, CollectFace, reinterpret_cast<LPARAM>(&names), 0);
  ::ReleaseDC(nullptr, screen);
  for (const wchar_t* preferred : {L"Liberation Sans", L"DejaVu Sans"}) {
    for (const auto& name : names) {
      if (name == preferred) return name;
    }
  }
  return std::wstring();
}

}  // namespace

COLORREF ToColorRef(Rgb colour) { return RGB(colour.r, colour.g, colour.b); }

Win32Gdi::Win32Gdi() : face_(ChooseFace()) {
  for (size_t i = 0; i < pens_.size(); ++i) {
    const PenInfo& info = DescribePen(static_cast<Pen>(i));
    pens_[i] = ::CreatePen(PS_SOLID, info.width, ToColorRef(info.colour));
  }
  for (size_t i = 0; i < brushes_.size(); ++i) {
    brushes_[i] = ::CreateSolidBrush(ToColorRef(DescribeBrush(static_cast<Brush>(i)).colour));
  }
  for (size_t i = 0; i < fonts_.size(); ++i) {
    const FontInfo& info = DescribeFont(static_cast<Font>(i));
    fonts_[i] = MakeFont(info.height, info.width, info.weight);
  }
  bitmap_dc_ = ::CreateCompatibleDC(nullptr);
  face_brush_ = ::CreateSolidBrush(ToColorRef(kButtonFace));
  client_brush_ = ::CreateSolidBrush(ToColorRef(kGrey));
}

Win32Gdi::~Win32Gdi() {
  if (bitmap_dc_ != nullptr) ::DeleteDC(bitmap_dc_);
  for (HPEN pen : pens_) ::DeleteObject(pen);
  for (HBRUSH brush : brushes_) ::DeleteObject(brush);
  for (HFONT font : fonts_) ::DeleteObject(font);
  for (auto& [key, font] : control_fonts_) ::DeleteObject(font);
  for (auto& [id, cached] : bitmaps_) {
    if (cached.bitmap != nullptr) ::DeleteObject(cached.bitmap);
  }
  for (auto& [id, icon] : icons_) {
    if (icon != nullptr) ::DestroyIcon(icon);
  }
  ::DeleteObject(face_brush_);
  ::DeleteObject(client_brush_);
}

HFONT Win32Gdi::MakeFont(int height, int width, int weight) const {
  // A positive height asks for the cell height and the width for the average character width, so
  // the text takes the room the layouts were drawn for. Text is drawn without smoothing.
  LOGFONTW font;
  std::memset(&font, 0, sizeof font);
  font.lfHeight = height;
  font.lfWidth = width;
  font.lfWeight = weight;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfOutPrecision = OUT_TT_PRECIS;
  font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  font.lfQuality = NONANTIALIASED_QUALITY;
  font.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
  const size_t length = std::min(face_.size(), static_cast<size_t>(LF_FACESIZE - 1));
  std::memcpy(font.lfFaceName, face_.data(), length * sizeof(wchar_t));
  return ::CreateFontIndirectW(&font);
}

HFONT Win32Gdi::ControlFont(int base_width, int base_height) {
  const auto key = std::make_pair(base_width, base_height);
  auto found = control_fonts_.find(key);
  if (found != control_fonts_.end()) return found->second;
  HFONT font = MakeFont(base_height, base_width, FW_NORMAL);
  control_fonts_.emplace(key, font);
  return font;
}

HBITMAP Win32Gdi::Bitmap(int bitmap_id, int* width, int* height) {
  auto found = bitmaps_.find(bitmap_id);
  if (found == bitmaps_.end()) {
    CachedBitmap cached{nullptr, 0, 0};
    const BitmapResource resource = LoadBitmapResource(bitmap_id);
    const size_t pixels = static_cast<size_t>(resource.width) * static_cast<size_t>(resource.height);
    if (resource.width > 0 && resource.height > 0 && resource.pixels.size() >= pixels) {
      BITMAPINFO info;
      std::memset(&info, 0, sizeof info);
      info.bmiHeader.biSize = sizeof info.bmiHeader;
      info.bmiHeader.biWidth = resource.width;
      info.bmiHeader.biHeight = -resource.height;  // rows top down, as the resource holds them
      info.bmiHeader.biPlanes = 1;
      info.bmiHeader.biBitCount = 32;
      info.bmiHeader.biCompression = BI_RGB;
      void* bits = nullptr;
      HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
      if (bitmap != nullptr && bits != nullptr) {
        // 0x00RRGGBB is the system's blue-green-red byte order of a 32-bit pixel.
        std::memcpy(bits, resource.pixels.data(), pixels * sizeof(uint32_t));
        cached = CachedBitmap{bitmap, resource.width, resource.height};
      }
    }
    found = bitmaps_.emplace(bitmap_id, cached).first;
  }
  if (width != nullptr) *width = found->second.width;
  if (height != nullptr) *height = found->second.height;
  return found->second.bitmap;
}

HICON Win32Gdi::Icon(int bitmap_id) {
  auto found = icons_.find(bitmap_id);
  if (found != icons_.end()) return found->second;
  int width = 0, height = 0;
  HICON icon = nullptr;
  if (HBITMAP colour = Bitmap(bitmap_id, &width, &height); colour != nullptr) {
    // An all-clear mask: every pixel is the picture's own.
    std::vector<uint8_t> mask_bits(static_cast<size_t>((width + 15) / 16 * 2) * static_cast<size_t>(height), 0);
    HBITMAP mask = ::CreateBitmap(width, height, 1, 1, mask_bits.data());
    ICONINFO info;
    std::memset(&info, 0, sizeof info);
    info.fIcon = TRUE;
    info.hbmMask = mask;
    info.hbmColor = colour;
    icon = ::CreateIconIndirect(&info);
    if (mask != nullptr) ::DeleteObject(mask);
  }
  icons_.emplace(bitmap_id, icon);
  return icon;
}

}  // namespace korvel
