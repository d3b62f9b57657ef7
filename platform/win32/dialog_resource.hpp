#pragma once
// The parts of the Windows window system's data formats that the program builds itself: the
// in-memory dialog template that the dialog manager creates pages and dialogs from, the UTF-16
// texts it takes, and the icon file that the resource compiler puts into korvel.exe. Free of the
// system headers, so that the tests check them on any machine.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "resources/bitmaps.hpp"
#include "resources/dialog_templates.hpp"

namespace korvel::win32 {

// Window-class atoms of the predefined control classes.
constexpr uint16_t kButtonClass = 0x0080;
constexpr uint16_t kEditClass = 0x0081;
constexpr uint16_t kStaticClass = 0x0082;
constexpr uint16_t kScrollBarClass = 0x0084;
constexpr uint16_t kComboBoxClass = 0x0085;

// Window and control styles used here (the window system's values).
constexpr uint32_t kWsPopup = 0x80000000u;
constexpr uint32_t kWsChild = 0x40000000u;
constexpr uint32_t kWsVisible = 0x10000000u;
constexpr uint32_t kWsClipChildren = 0x02000000u;
constexpr uint32_t kWsCaption = 0x00C00000u;
constexpr uint32_t kWsBorder = 0x00800000u;
constexpr uint32_t kWsVScroll = 0x00200000u;
constexpr uint32_t kWsSysMenu = 0x00080000u;
constexpr uint32_t kWsTabStop = 0x00010000u;
constexpr uint32_t kDsSetFont = 0x0040u;
constexpr uint32_t kDsModalFrame = 0x0080u;
constexpr uint32_t kBsPushButton = 0x0000u;
constexpr uint32_t kBsDefPushButton = 0x0001u;
constexpr uint32_t kBsAutoCheckBox = 0x0003u;
constexpr uint32_t kBsGroupBox = 0x0007u;
constexpr uint32_t kBsMultiLine = 0x2000u;
constexpr uint32_t kSsLeft = 0x0000u;
constexpr uint32_t kSsCenter = 0x0001u;
constexpr uint32_t kSsRight = 0x0002u;
constexpr uint32_t kSsIcon = 0x0003u;
constexpr uint32_t kSsGrayRect = 0x0005u;
constexpr uint32_t kSsBitmap = 0x000Eu;
constexpr uint32_t kSsEtchedFrame = 0x0012u;
constexpr uint32_t kSsNoPrefix = 0x0080u;
constexpr uint32_t kSsCenterImage = 0x0200u;
constexpr uint32_t kSsSunken = 0x1000u;
constexpr uint32_t kEsAutoHScroll = 0x0080u;
constexpr uint32_t kSbsHorz = 0x0000u;
constexpr uint32_t kSbsVert = 0x0001u;
constexpr uint32_t kCbsDropDownList = 0x0003u;

// UTF-8 to UTF-16; a malformed sequence becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
// Code page 1250 (the language files, the templates) to UTF-16.
std::u16string Cp1250ToUtf16(const char* text);
std::u16string Cp1250ToUtf16(const char* text, int count);

// The window class and style of one control of a template. `in_dialog` is set for a modal dialog,
// where the button with the OK id is the default button that the Enter key presses.
struct ControlClassAndStyle {
  uint16_t class_atom;
  uint32_t style;
};
ControlClassAndStyle ControlClassOf(const ControlTemplate& control, bool in_dialog);
// A page is a visible child without frame; a modal dialog a pop-up with caption and close box.
uint32_t DialogStyleOf(const DialogTemplate& dialog);

// The dialog template in the system's binary form, as 16-bit words from a 32-bit boundary: header,
// font, then every control on a 32-bit boundary. Coordinates stay in dialog units; the host places
// the controls in pixels with the fixed base units once the dialog manager has created them.
std::vector<uint16_t> BuildDialogResource(const DialogTemplate& dialog);

// An icon file of one 32-bit image (opaque, no mask) from a bitmap resource; empty for an empty
// bitmap.
std::vector<uint8_t> EncodeIconFile(const BitmapResource& bitmap);

}  // namespace korvel::win32
