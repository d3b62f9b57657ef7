#include "pages/readings/readings_controls.hpp"

#include "pages/common/shared_state.hpp"
#include "resources/menu_commands.hpp"
#include "texts/text_slots.hpp"

namespace korvel {

namespace {

// Readings page: the page draws everything itself; only the learn button and an unused edit field
// are controls. The page moves the learn button to its place for the size class.
constexpr ControlTemplate kReadingsControls[] = {
    {kLearnButtonId, ControlKind::kPushButton, 879, 624, 38, 23, kStyleNone, "NAUKA", 0},
    {kReadingsUnusedEdit, ControlKind::kEdit, 790, 8, 40, 14, kHidden | kBorder, "", 0},
};

constexpr DialogTemplate kReadings[] = {
    {kReadingsTemplate, 920, 650, "MS Sans Serif", 8, false, "", kReadingsControls, 2},
};

}  // namespace

std::span<const DialogTemplate> ReadingsTemplates() { return kReadings; }

const PageDescriptor kReadingsPage{ReadingsView, kCommandReadings, lang::kCaptionReadings, "Odczyty", "Readings", ReadingsTemplates};

}  // namespace korvel
