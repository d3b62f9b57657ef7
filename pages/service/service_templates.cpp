#include <iterator>

#include "pages/service/service_templates.hpp"
#include "pages/service/about_controls.hpp"
#include "pages/service/reset_controls.hpp"
#include "pages/service/schema_controls.hpp"

#include "pages/common/shared_state.hpp"
#include "resources/menu_commands.hpp"
#include "texts/text_slots.hpp"

namespace korvel {

namespace {

// Wiring diagram page: scroll bars for the small screens, where the diagram does not fit.
constexpr ControlTemplate kSchema[] = {
    {kSchemaHorizontalBar, ControlKind::kHScrollBar, 0, 194, 297, 8, kStyleNone, "", 0},
    {kSchemaVerticalBar, ControlKind::kVScrollBar, 302, 0, 8, 183, kStyleNone, "", 0},
};

// Factory reset page; the texts are replaced from the language table when the page paints and
// the controls are moved into place for the size class (here: where they go at 800 x 600, kept
// inside the page).
constexpr ControlTemplate kReset[] = {
    {kResetHeadingText, ControlKind::kStatic, 75, 52, 283, 16, kStyleNone,
     "PRZYWR\xD3" "CENIE USTAWIE\xD1" " FABRYCZNYCH STEROWNIKA:", 0},
    {kResetExplanationText, ControlKind::kStatic, 75, 68, 283, 16, kStyleNone,
     "-pami\xEA\xE6" " w urz\xB9" "dzeniu zostanie zapisana warto\x9C" "ciami  fabrycznymi.", 0},
    {kResetButton, ControlKind::kPushButton, 60, 100, 275, 22, kMultiLine,
     "ZRESETUJ   I   PRZYWR\xD3\xC6" " USTAWIENIA FABRYCZNE", 0},
};

// Program information.
constexpr ControlTemplate kAbout[] = {
    {-1, ControlKind::kEtchedFrame, 7, 0, 205, 162, kStyleNone, "", 0},
    {-1, ControlKind::kEtchedFrame, 14, 7, 191, 83, kStyleNone, "", 0},
    {-1, ControlKind::kBitmap, 50, 22, 119, 31, kStyleNone, "", 178},
    {-1, ControlKind::kIcon, 85, 67, 20, 20, kStyleNone, "", 101},
    {kAboutProgramName, ControlKind::kStatic, 109, 73, 24, 8, kStyleNone, "Korvel", 0},
    {kAboutProgramVersionLabel, ControlKind::kStatic, 57, 99, 73, 8, kRightAligned, "Wersja programu:", 0},
    {-1, ControlKind::kStatic, 137, 99, 13, 8, kStyleNone, "1.03", 0},
    {kAboutControllerVersionLabel, ControlKind::kStatic, 65, 110, 89, 8, kCentred, "Odczytana wersja sterownika:", 0},
    {kControllerVersionId, ControlKind::kStatic, 49, 121, 120, 16, kCentred | kSunken | kVCentred, "", 0},
    {kAboutCloseButton, ControlKind::kPushButton, 85, 142, 50, 14, kStyleNone, "Zamknij", 0},
};

constexpr DialogTemplate kService[] = {
    {kSchemaTemplate, 556, 447, "MS Sans Serif", 12, false, "", kSchema, static_cast<int>(std::size(kSchema))},
    {kResetTemplate, 358, 227, "MS Sans Serif", 12, false, "", kReset, static_cast<int>(std::size(kReset))},
    {kAboutTemplate, 219, 169, "MS Sans Serif", 10, true, "Informacje o programie", kAbout, static_cast<int>(std::size(kAbout))},
};

}  // namespace

std::span<const DialogTemplate> ServiceTemplates() { return kService; }

const PageDescriptor kSchemaPage{SchemaView, kCommandSchema, lang::kCaptionSchema, "Schemat", "Schema", ServiceTemplates};

const PageDescriptor kResetPage{ResetView, kCommandReset, lang::kCaptionReset, "Reset", "Reset", ServiceTemplates};

}  // namespace korvel
