#include <iterator>

#include "pages/oscilloscope/oscilloscope_controls.hpp"

#include "pages/common/shared_state.hpp"
#include "resources/menu_commands.hpp"
#include "texts/text_slots.hpp"

namespace korvel {

namespace {

// Oscilloscope page: the traces are drawn by the page; the value-cursor check box and its scroll
// bar sit above them and are moved into place for the size class when the page paints (at
// 800 x 600 the check box keeps this position).
constexpr ControlTemplate kOscilloscopeControls[] = {
    {kValueCursorCheck, ControlKind::kCheckBox, 315, 0, 75, 10, kStyleNone, "Kursor warto\x9C" "ci", 0},
    {kCursorScrollBar, ControlKind::kHScrollBar, 90, 0, 220, 10, kHidden, "", 0},
};

constexpr DialogTemplate kOscilloscope[] = {
    {kOscilloscopeTemplate, 527, 405, "MS Sans Serif", 12, false, "", kOscilloscopeControls, static_cast<int>(std::size(kOscilloscopeControls))},
};

}  // namespace

std::span<const DialogTemplate> OscilloscopeTemplates() { return kOscilloscope; }

const PageDescriptor kOscilloscopePage{OscilloscopeView, kCommandOscilloscope, lang::kCaptionOscilloscope, "Oscyloskop", "Oscilloscope", OscilloscopeTemplates};

}  // namespace korvel
