#pragma once
#include <cstdint>
#include <span>

namespace korvel {

enum class ControlKind {
  kPushButton,
  kCheckBox,     // automatic check box
  kComboBox,     // drop-down list with a vertical scroll bar; the height includes the dropped list
  kStatic,       // text label
  kEdit,
  kHScrollBar,
  kVScrollBar,
  kGroupBox,
  kEtchedFrame,
  kGreyRule,     // 1-unit-high grey rectangle separating sections
  kBitmap,       // shows bitmap resource `resource`
  kIcon,         // shows icon resource `resource`
};

enum ControlStyle : uint32_t {
  kStyleNone = 0,
  kHidden = 1u << 0,
  kSunken = 1u << 1,
  kCentred = 1u << 2,        // centred text
  kRightAligned = 1u << 3,
  kMultiLine = 1u << 4,
  kVCentred = 1u << 5,       // vertically centred text
  kBorder = 1u << 6,
};

struct ControlTemplate {
  int id;  // -1 for controls without an id
  ControlKind kind;
  int x, y, width, height;  // dialog units
  uint32_t style;
  const char* text;  // template text, code page 1250
  int resource;      // bitmap or icon resource, 0 otherwise
};

struct DialogTemplate {
  int id;
  int width, height;  // dialog units
  const char* font_name;
  int font_size;      // points
  bool popup;         // modal pop-up with caption; otherwise a child page without frame
  const char* title;  // code page 1250
  const ControlTemplate* controls;
  int control_count;
};

// The template of `id` within one page's group of templates, or nullptr.
const DialogTemplate* FindTemplateIn(std::span<const DialogTemplate> group, int id);

struct PixelRect {
  int x, y, width, height;
};
// Dialog units to device pixels with the fixed base units of the template's font size.
PixelRect DialogUnitsToPixels(const DialogTemplate& dialog, int x, int y, int width, int height);
PixelRect DialogSizeInPixels(const DialogTemplate& dialog);  // x = y = 0

}  // namespace korvel
