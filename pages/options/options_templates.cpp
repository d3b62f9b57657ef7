#include "pages/options/options_controls.hpp"
#include "resources/template_layout.hpp"

#include <iterator>

#include "pages/common/shared_state.hpp"
#include "resources/menu_commands.hpp"
#include "texts/text_slots.hpp"

namespace korvel {

namespace {

using templates::ScaleLayout;
using templates::WithText;

constexpr auto kCombo = ControlKind::kComboBox;
constexpr auto kLabel = ControlKind::kStatic;
constexpr auto kCheck = ControlKind::kCheckBox;
constexpr auto kRule = ControlKind::kGreyRule;
constexpr uint32_t kHeading = kSunken | kVCentred;

// Options page, 640 x 480 screens (template 152): attenuation limits, cut-off, LPG off, LPG-on
// temperature and driving type. The controls that belong to an option bit start hidden; the
// check boxes show them.
constexpr ControlTemplate kLayout152[] = {
    {kAttLimitsHeading, kLabel, 2, 4, 75, 10, kHeading, "", 0},
    {kAttInitBox, kCheck, 87, 4, 138, 10, kStyleNone, "", 0},
    {kAttInitList, kCombo, 235, 2, 48, 54, kHidden, "", 0},
    {kAttInitUnit, kLabel, 287, 3, 29, 8, kHidden, "", 0},
    {kAttMinIdleLabel, kLabel, 86, 16, 139, 8, kStyleNone, "", 0},
    {kAttMinIdleList, kCombo, 235, 15, 48, 53, kStyleNone, "", 0},
    {kAttMinIdleUnit, kLabel, 287, 17, 29, 8, kStyleNone, "", 0},
    {kAttMaxIdleLabel, kLabel, 87, 29, 138, 8, kStyleNone, "", 0},
    {kAttMaxIdleList, kCombo, 235, 28, 48, 54, kStyleNone, "", 0},
    {kAttMaxIdleUnit, kLabel, 287, 30, 29, 8, kStyleNone, "", 0},
    {kCorrectionsButton, ControlKind::kPushButton, 6, 31, 72, 31, kMultiLine, "", 0},
    {kAttMinLabel, kLabel, 86, 42, 139, 8, kStyleNone, "", 0},
    {kAttMinList, kCombo, 235, 41, 48, 54, kStyleNone, "", 0},
    {kAttMinUnit, kLabel, 287, 42, 29, 8, kStyleNone, "", 0},
    {kAttMaxLabel, kLabel, 86, 55, 139, 8, kStyleNone, "", 0},
    {kAttMaxList, kCombo, 235, 54, 48, 52, kStyleNone, "", 0},
    {kAttMaxUnit, kLabel, 287, 56, 29, 8, kStyleNone, "", 0},
    {kAccelerationBox, kCheck, 86, 69, 143, 10, kStyleNone, "", 0},
    {kAttJumpList, kCombo, 235, 76, 48, 55, kHidden, "", 0},
    {kAttJumpUnit, kLabel, 287, 77, 29, 8, kHidden, "", 0},
    {kAttJumpLabel, kLabel, 117, 79, 108, 8, kHidden, "", 0},
    {kTpsJumpList, kCombo, 235, 89, 48, 56, kHidden, "", 0},
    {kTpsJumpUnit, kLabel, 287, 90, 11, 8, kHidden, "[V] ", 0},
    {kTpsJumpLabel, kLabel, 117, 91, 108, 8, kHidden, "", 0},
    {-1, kRule, 2, 104, 317, 1, kStyleNone, "", 0},
    {kCutOffHeading, kLabel, 2, 107, 75, 10, kHeading, "", 0},
    {kCutOffBox, kCheck, 86, 107, 139, 10, kStyleNone, "", 0},
    {kCutOffSpeedList, kCombo, 235, 113, 48, 57, kHidden, "", 0},
    {kCutOffSpeedUnit, kLabel, 287, 114, 32, 8, kHidden, "", 0},
    {kCutOffSpeedLabel, kLabel, 121, 117, 104, 8, kHidden, "", 0},
    {kCutOffStepsList, kCombo, 235, 126, 48, 55, kHidden, "", 0},
    {kCutOffStepsUnit, kLabel, 287, 127, 17, 8, kHidden, "[%]    ", 0},
    {kCutOffStepsLabel, kLabel, 122, 128, 103, 8, kHidden, "", 0},
    {-1, kRule, 2, 141, 317, 1, kStyleNone, "", 0},
    {kLpgOffHeading, kLabel, 2, 147, 75, 10, kHeading, "", 0},
    {kLpgOffBox, kCheck, 88, 147, 137, 10, kStyleNone, "", 0},
    {kLpgOffSpeedList, kCombo, 235, 146, 48, 55, kHidden, "", 0},
    {kLpgOffSpeedUnit, kLabel, 287, 147, 32, 8, kHidden, "", 0},
    {-1, kRule, 2, 161, 317, 1, kStyleNone, "", 0},
    {kLpgOnTempHeading, kLabel, 2, 168, 75, 10, kHeading, "", 0},
    {kLpgOnTempBox, kCheck, 88, 168, 137, 10, kStyleNone, "", 0},
    {kLpgOnTempList, kCombo, 235, 166, 48, 57, kHidden, "", 0},
    {kLpgOnTempUnit, kLabel, 288, 167, 16, 8, kHidden, "[\xB0" "C]  ", 0},
    {-1, kRule, 2, 181, 317, 1, kStyleNone, "", 0},
    {kDrivingTypeHeading, kLabel, 2, 186, 75, 10, kHeading, "", 0},
    {kDrivingTypeLabel, kLabel, 87, 186, 138, 8, kStyleNone, "", 0},
    {kDrivingTypeList, kCombo, 235, 185, 56, 57, kStyleNone, "", 0},
};
constexpr int kCount = static_cast<int>(std::size(kLayout152));
static_assert(kCount == 47);

constexpr auto kLayout153 = ScaleLayout(kLayout152, 357, 227, 385, 227);
constexpr auto kLayout154 = WithText(
    WithText(WithText(ScaleLayout(kLayout152, 357, 227, 380, 254), kCutOffBox, "Aktywacja Cut-Off"), kDrivingTypeLabel,
             "Preferowany typ jazdy     "),
    kDrivingTypeHeading, "Typ jazdy");
constexpr auto kLayout156 = ScaleLayout(kLayout152, 357, 227, 380, 268);

// Correction dialog of the Options page: four drop-down lists in a group box and an OK button.
// The caption, labels and button text come from the language table.
constexpr ControlTemplate kCorrections[] = {
    {-1, ControlKind::kGroupBox, 7, 0, 243, 116, kStyleNone, "", 0},
    {kHiLowCorrectionLabel, kLabel, 15, 21, 141, 8, kStyleNone, "", 0},
    {kHiLowCorrectionList, kCombo, 162, 18, 75, 60, kStyleNone, "", 0},
    {kHiHighCorrectionLabel, kLabel, 15, 45, 141, 8, kStyleNone, "", 0},
    {kHiHighCorrectionList, kCombo, 162, 42, 75, 61, kStyleNone, "", 0},
    {kLoLowCorrectionLabel, kLabel, 15, 69, 141, 8, kStyleNone, "", 0},
    {kLoLowCorrectionList, kCombo, 162, 66, 75, 58, kStyleNone, "", 0},
    {kLoHighCorrectionLabel, kLabel, 15, 91, 141, 8, kStyleNone, "", 0},
    {kLoHighCorrectionList, kCombo, 162, 88, 75, 59, kStyleNone, "", 0},
    {kCorrectionsOk, ControlKind::kPushButton, 103, 125, 50, 14, kStyleNone, "OK", 0},
};

constexpr DialogTemplate kOptions[] = {
    {kOptionsTemplates[0], 357, 227, "MS Sans Serif", 10, false, "", kLayout152, kCount},
    {kOptionsTemplates[1], 357, 227, "MS Sans Serif", 12, false, "", kLayout152, kCount},
    {kOptionsTemplates[2], 385, 227, "MS Sans Serif", 14, false, "", kLayout153.data(), kCount},
    {kOptionsTemplates[3], 380, 254, "MS Sans Serif", 17, false, "", kLayout154.data(), kCount},
    {kOptionsTemplates[4], 380, 268, "MS Sans Serif", 17, false, "", kLayout156.data(), kCount},
    {kCorrectionsTemplate, 258, 146, "MS Shell Dlg", 8, true, "", kCorrections, static_cast<int>(std::size(kCorrections))},
};

}  // namespace

std::span<const DialogTemplate> OptionsTemplates() { return kOptions; }

const PageDescriptor kOptionsPage{OptionsView, kCommandOptions, lang::kCaptionOptions, "Opcje", "Options", OptionsTemplates};

}  // namespace korvel
