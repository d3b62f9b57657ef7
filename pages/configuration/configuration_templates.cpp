#include "pages/configuration/configuration_controls.hpp"
#include "resources/template_layout.hpp"

#include <iterator>

#include "pages/common/shared_state.hpp"
#include "resources/menu_commands.hpp"
#include "texts/text_slots.hpp"

namespace korvel {

namespace {

using templates::ScaleLayout;

constexpr auto kCombo = ControlKind::kComboBox;
constexpr auto kLabel = ControlKind::kStatic;
constexpr auto kRule = ControlKind::kGreyRule;
constexpr uint32_t kHeading = kSunken | kVCentred;

// Configuration page, 640 x 480 screens (template 106). Four sections: lambda and emulation,
// ignition and LPG-on speed, lambda mode and throttle inertia, injection delay and gas opening.
// Combo-box heights include the dropped list. Labels are overwritten from the language table.
constexpr ControlTemplate kLayout106[] = {
    {1130, kLabel, 8, 2, 85, 10, kHeading, "", 0},
    {1075, kLabel, 103, 2, 119, 8, kStyleNone, "", 0},
    {kLambdaRangeList, kCombo, 231, 2, 48, 58, kStyleNone, "", 0},
    {1076, kLabel, 103, 15, 119, 8, kStyleNone, "", 0},
    {kLambdaPointList, kCombo, 231, 15, 48, 54, kStyleNone, "", 0},
    {1089, kLabel, 284, 17, 17, 8, kStyleNone, "[V]     ", 0},
    {1077, kLabel, 102, 29, 126, 8, kStyleNone, "", 0},
    {kLambdaDelayList, kCombo, 231, 28, 48, 53, kStyleNone, "", 0},
    {1090, kLabel, 282, 30, 30, 8, kStyleNone, "", 0},
    {1078, kLabel, 103, 41, 119, 8, kStyleNone, "", 0},
    {kEmulKindList, kCombo, 231, 41, 48, 51, kStyleNone, "", 0},
    {kEmulBjTimeHiLabel, kLabel, 114, 55, 108, 8, kStyleNone, "", 0},
    {kEmulBjTimeHiList, kCombo, 231, 54, 48, 52, kStyleNone, "", 0},
    {kEmulBjTimeHiUnit, kLabel, 284, 56, 20, 8, kStyleNone, "", 0},
    {kEmulBjTimeLoLabel, kLabel, 115, 67, 107, 8, kStyleNone, "", 0},
    {kEmulBjTimeLoList, kCombo, 231, 67, 48, 61, kStyleNone, "", 0},
    {kEmulBjTimeLoUnit, kLabel, 284, 68, 20, 8, kStyleNone, "", 0},
    {-1, kRule, 8, 82, 309, 1, kStyleNone, "", 0},
    {1131, kLabel, 8, 88, 84, 10, kHeading, "", 0},
    {1081, kLabel, 103, 88, 119, 8, kStyleNone, "", 0},
    {kIgnitionTypeList, kCombo, 231, 87, 80, 50, kStyleNone, "", 0},
    {1082, kLabel, 104, 101, 118, 8, kStyleNone, "", 0},
    {kLpgOnSpeedList, kCombo, 231, 100, 48, 60, kStyleNone, "", 0},
    {1087, kLabel, 284, 102, 32, 9, kStyleNone, "", 0},
    {1083, kLabel, 104, 114, 115, 8, kStyleNone, "", 0},
    {kOptionsBit4List, kCombo, 231, 113, 61, 47, kStyleNone, "", 0},
    {-1, kRule, 8, 129, 309, 1, kStyleNone, "", 0},
    {1132, kLabel, 8, 136, 85, 10, kHeading, "", 0},
    {1084, kLabel, 105, 136, 117, 8, kStyleNone, "", 0},
    {kLambdaModeList, kCombo, 231, 134, 71, 48, kStyleNone, "", 0},
    {kTpsInertLabel, kLabel, 104, 149, 119, 8, kStyleNone, "", 0},
    {kTpsInertList, kCombo, 231, 147, 48, 57, kStyleNone, "", 0},
    {kTpsInertUnit, kLabel, 284, 149, 17, 8, kStyleNone, "[V]     ", 0},
    {-1, kRule, 8, 163, 309, 1, kStyleNone, "", 0},
    {1133, kLabel, 8, 170, 85, 10, kHeading, "", 0},
    {1086, kLabel, 103, 170, 119, 8, kStyleNone, "", 0},
    {kInjectDelayList, kCombo, 231, 168, 48, 55, kStyleNone, "", 0},
    {1094, kLabel, 285, 169, 20, 8, kStyleNone, "", 0},
    {-1, kRule, 8, 184, 309, 1, kStyleNone, "", 0},
    {kOtwarcieGazuBox, ControlKind::kCheckBox, 8, 189, 85, 10, kStyleNone, "", 0},
    {kOtwarcieGazuLabel, kLabel, 104, 189, 116, 12, kHidden, "", 0},
    {kOtwarcieGazuList, kCombo, 231, 188, 48, 57, kHidden, "", 0},
    {kOtwarcieGazuUnit, kLabel, 285, 190, 20, 8, kHidden, "", 0},
};
constexpr int kCount = static_cast<int>(std::size(kLayout106));
static_assert(kCount == 43);

constexpr auto kLayout145 = ScaleLayout(kLayout106, 357, 227, 389, 260);
constexpr auto kLayout151 = ScaleLayout(kLayout106, 357, 227, 399, 254);
constexpr auto kLayout150 = ScaleLayout(kLayout106, 357, 227, 367, 272);

constexpr DialogTemplate kConfiguration[] = {
    {106, 357, 227, "MS Sans Serif", 10, false, "", kLayout106, kCount},
    {157, 357, 227, "MS Sans Serif", 12, false, "", kLayout106, kCount},
    {145, 389, 260, "MS Sans Serif", 14, false, "", kLayout145.data(), kCount},
    {151, 399, 254, "MS Sans Serif", 17, false, "", kLayout151.data(), kCount},
    {150, 367, 272, "MS Sans Serif", 17, false, "", kLayout150.data(), kCount},
};

}  // namespace

std::span<const DialogTemplate> ConfigurationTemplates() { return kConfiguration; }

const PageDescriptor kConfigurationPage{ConfigurationView, kCommandConfiguration, lang::kCaptionConfiguration, "Konfiguracja", "Configurations", ConfigurationTemplates};

}  // namespace korvel
