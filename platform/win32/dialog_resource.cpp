#include "platform/win32/dialog_resource.hpp"

#include <cstring>

#include "texts/language_table.hpp"

namespace korvel::win32 {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

void PutWord(std::vector<uint16_t>& out, uint16_t word) { out.push_back(word); }

void PutDword(std::vector<uint16_t>& out, uint32_t value) {
  // Little-endian, as the system reads the template.
  out.push_back(static_cast<uint16_t>(value & 0xFFFFu));
  out.push_back(static_cast<uint16_t>(value >> 16));
}

void PutShort(std::vector<uint16_t>& out, int value) {
  // Dialog-unit coordinates are signed 16-bit; anything beyond is held at the edge of that range.
  const int held = value < -32768 ? -32768 : (value > 32767 ? 32767 : value);
  out.push_back(static_cast<uint16_t>(static_cast<int16_t>(held)));
}

void PutString(std::vector<uint16_t>& out, const std::u16string& text) {
  for (char16_t c : text) out.push_back(static_cast<uint16_t>(c));
  out.push_back(0);
}

void AlignToDword(std::vector<uint16_t>& out) {
  if (out.size() % 2 != 0) out.push_back(0);
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    int extra = 0;
    uint32_t code = 0;
    uint32_t minimum = 0;
    if (lead < 0x80) {
      code = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1, code = lead & 0x1Fu, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2, code = lead & 0x0Fu, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3, code = lead & 0x07u, minimum = 0x10000;
    } else {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    bool valid = true;
    size_t j = 1;
    for (; valid && j <= static_cast<size_t>(extra); ++j) {
      if (i + j >= text.size()) {
        valid = false;
        break;
      }
      const auto next = static_cast<unsigned char>(text[i + j]);
      if ((next & 0xC0) != 0x80) {
        valid = false;
        break;
      }
      code = (code << 6) | (next & 0x3Fu);
    }
    // Overlong forms, surrogates and values past the last code point are not characters.
    if (!valid || code < minimum || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
      out.push_back(kReplacement);
      i += j;  // the lead and the continuation bytes that belonged to it
      continue;
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(code));
    }
    i += static_cast<size_t>(extra) + 1;
  }
  return out;
}

std::u16string Cp1250ToUtf16(const char* text) {
  if (text == nullptr) return {};
  return Utf8ToUtf16(Cp1250ToUtf8(text));
}

std::u16string Cp1250ToUtf16(const char* text, int count) {
  if (text == nullptr || count <= 0) return {};
  return Utf8ToUtf16(Cp1250ToUtf8(text, count));
}

ControlClassAndStyle ControlClassOf(const ControlTemplate& control, bool in_dialog) {
  uint32_t style = kWsChild;
  if ((control.style & kHidden) == 0) style |= kWsVisible;
  if ((control.style & kBorder) != 0) style |= kWsBorder;
  switch (control.kind) {
    case ControlKind::kPushButton: {
      const bool default_button = in_dialog && control.id == 1;
      style |= kWsTabStop | (default_button ? kBsDefPushButton : kBsPushButton);
      if ((control.style & kMultiLine) != 0) style |= kBsMultiLine;
      return {kButtonClass, style};
    }
    case ControlKind::kCheckBox: return {kButtonClass, style | kWsTabStop | kBsAutoCheckBox};
    case ControlKind::kComboBox: return {kComboBoxClass, style | kWsTabStop | kWsVScroll | kCbsDropDownList};
    case ControlKind::kStatic: {
      // Texts are shown as they are: an ampersand is a character, not a mnemonic.
      style |= kSsNoPrefix;
      if ((control.style & kCentred) != 0) {
        style |= kSsCenter;
      } else if ((control.style & kRightAligned) != 0) {
        style |= kSsRight;
      } else {
        style |= kSsLeft;
      }
      // A vertically centred text stays on one line; the others wrap at spaces.
      if ((control.style & kVCentred) != 0) style |= kSsCenterImage;
      if ((control.style & kSunken) != 0) style |= kSsSunken;
      return {kStaticClass, style};
    }
    case ControlKind::kEdit: return {kEditClass, style | kWsTabStop | kEsAutoHScroll};
    case ControlKind::kHScrollBar: return {kScrollBarClass, style | kSbsHorz};
    case ControlKind::kVScrollBar: return {kScrollBarClass, style | kSbsVert};
    case ControlKind::kGroupBox: return {kButtonClass, style | kBsGroupBox};
    case ControlKind::kEtchedFrame: return {kStaticClass, style | kSsEtchedFrame};
    case ControlKind::kGreyRule: return {kStaticClass, style | kSsGrayRect};
    case ControlKind::kBitmap: return {kStaticClass, style | kSsBitmap};
    case ControlKind::kIcon: return {kStaticClass, style | kSsIcon};
  }
  return {kStaticClass, style};
}

uint32_t DialogStyleOf(const DialogTemplate& dialog) {
  // Not clipped to the controls: frames and group boxes have no background of their own and show
  // the window's picture through them (the window keeps its drawing off the other controls).
  const uint32_t common = kDsSetFont;
  if (dialog.popup) return common | kWsPopup | kWsCaption | kWsSysMenu | kDsModalFrame;
  return common | kWsChild | kWsVisible;
}

std::vector<uint16_t> BuildDialogResource(const DialogTemplate& dialog) {
  std::vector<uint16_t> out;
  const int count = dialog.controls != nullptr && dialog.control_count > 0 ? dialog.control_count : 0;
  PutDword(out, DialogStyleOf(dialog));
  PutDword(out, 0);  // extended style
  PutWord(out, static_cast<uint16_t>(count));
  PutShort(out, 0);
  PutShort(out, 0);
  PutShort(out, dialog.width);
  PutShort(out, dialog.height);
  PutWord(out, 0);  // no menu
  PutWord(out, 0);  // the dialog class
  PutString(out, Cp1250ToUtf16(dialog.title));
  PutWord(out, static_cast<uint16_t>(dialog.font_size));
  PutString(out, Cp1250ToUtf16(dialog.font_name));
  for (int i = 0; i < count; ++i) {
    const ControlTemplate& control = dialog.controls[i];
    AlignToDword(out);
    const ControlClassAndStyle kind = ControlClassOf(control, dialog.popup);
    PutDword(out, kind.style);
    PutDword(out, 0);  // extended style
    PutShort(out, control.x);
    PutShort(out, control.y);
    PutShort(out, control.width);
    PutShort(out, control.height);
    PutWord(out, static_cast<uint16_t>(control.id));  // -1 is the "no id" 0xFFFF
    PutWord(out, 0xFFFF);
    PutWord(out, kind.class_atom);
    // Pictures are set by the host from the program's own bitmaps, so they carry no text.
    const bool picture = control.kind == ControlKind::kBitmap || control.kind == ControlKind::kIcon;
    PutString(out, picture ? std::u16string() : Cp1250ToUtf16(control.text));
    PutWord(out, 0);  // no creation data
  }
  return out;
}

std::vector<uint8_t> EncodeIconFile(const BitmapResource& bitmap) {
  const size_t pixels = static_cast<size_t>(bitmap.width) * static_cast<size_t>(bitmap.height);
  if (bitmap.width <= 0 || bitmap.height <= 0 || bitmap.width > 256 || bitmap.height > 256 ||
      bitmap.pixels.size() < pixels) {
    return {};
  }
  std::vector<uint8_t> out;
  auto u16 = [&out](uint32_t v) {
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
  };
  auto u32 = [&u16](uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  };
  const uint32_t w = static_cast<uint32_t>(bitmap.width), h = static_cast<uint32_t>(bitmap.height);
  const uint32_t mask_row = ((w + 31) / 32) * 4;  // 1 bit per pixel, rows on 32-bit boundaries
  const uint32_t image_bytes = 40 + w * h * 4 + mask_row * h;
  // Directory: one image.
  u16(0);
  u16(1);
  u16(1);
  out.push_back(static_cast<uint8_t>(w == 256 ? 0 : w));
  out.push_back(static_cast<uint8_t>(h == 256 ? 0 : h));
  out.push_back(0);  // no palette
  out.push_back(0);
  u16(1);   // planes
  u16(32);  // bits per pixel
  u32(image_bytes);
  u32(22);  // the image follows the 6-byte directory and its 16-byte entry
  // The image: a bitmap header of twice the height (colour rows, then the mask rows).
  u32(40);
  u32(w);
  u32(2 * h);
  u16(1);
  u16(32);
  u32(0);  // uncompressed
  u32(w * h * 4 + mask_row * h);
  u32(0);
  u32(0);
  u32(0);
  u32(0);
  // Colour rows bottom up, blue-green-red-alpha, fully opaque.
  for (uint32_t row = 0; row < h; ++row) {
    const uint32_t* line = bitmap.pixels.data() + static_cast<size_t>(h - 1 - row) * w;
    for (uint32_t x = 0; x < w; ++x) {
      out.push_back(static_cast<uint8_t>(line[x] & 0xFF));
      out.push_back(static_cast<uint8_t>((line[x] >> 8) & 0xFF));
      out.push_back(static_cast<uint8_t>((line[x] >> 16) & 0xFF));
      out.push_back(0xFF);
    }
  }
  // The mask: all clear, every pixel is the image's own.
  out.insert(out.end(), static_cast<size_t>(mask_row) * h, 0);
  return out;
}

}  // namespace korvel::win32
