#pragma once
// Control ids of the Options page (templates 152, 125, 153, 154, 156) and of its corrections
// dialog (template 170), shared by the page procedures and the templates.
#include <span>

#include "pages/common/page_descriptor.hpp"
#include "resources/dialog_templates.hpp"

namespace korvel {

// The page's templates by size class and the corrections dialog (options_templates.cpp).
std::span<const DialogTemplate> OptionsTemplates();

// The page's entry for the main window's page table and menu bars.
extern const PageDescriptor kOptionsPage;

// Templates of the Options page by size class 1..5, and of the corrections dialog.
constexpr int kOptionsTemplates[5] = {152, 125, 153, 154, 156};
constexpr int kCorrectionsTemplate = 170;

enum OptionsControl : int {
  // Attenuation group.
  kAttLimitsHeading = 1134,
  kAttInitBox = 1034,  // ticked while Options bit 2 is clear
  kAttInitList = 1003,
  kAttInitUnit = 1057,
  kAttMinIdleLabel = 1075,
  kAttMinIdleList = 1013,  // AttMin_BJ
  kAttMinIdleUnit = 1085,
  kAttMaxIdleLabel = 1076,
  kAttMaxIdleList = 1043,  // AttMax_BJ
  kAttMaxIdleUnit = 1086,
  kCorrectionsButton = 1014,
  kAttMinLabel = 1077,
  kAttMinList = 1044,
  kAttMinUnit = 1088,
  kAttMaxLabel = 1078,
  kAttMaxList = 1045,
  kAttMaxUnit = 1139,
  kAccelerationBox = 1039,  // Options bit 3: Att jump on throttle
  kAttJumpList = 1046,
  kAttJumpUnit = 1058,
  kAttJumpLabel = 1064,
  kTpsJumpList = 1047,
  kTpsJumpUnit = 1059,
  kTpsJumpLabel = 1065,
  // Cut-off group.
  kCutOffHeading = 1135,
  kCutOffBox = 1040,  // Options bit 5
  kCutOffSpeedList = 1048,
  kCutOffSpeedUnit = 1060,
  kCutOffSpeedLabel = 1066,
  kCutOffStepsList = 1049,
  kCutOffStepsUnit = 1061,
  kCutOffStepsLabel = 1067,
  // LPG-off group.
  kLpgOffHeading = 1136,
  kLpgOffBox = 1041,  // Options bit 6
  kLpgOffSpeedList = 1050,
  kLpgOffSpeedUnit = 1062,
  // LPG-on temperature group.
  kLpgOnTempHeading = 1137,
  kLpgOnTempBox = 1042,  // Options bit 1
  kLpgOnTempList = 1051,
  kLpgOnTempUnit = 1063,
  // Driving-type group.
  kDrivingTypeHeading = 1138,
  kDrivingTypeLabel = 1079,
  kDrivingTypeList = 1052,  // EmulType bits 4-5
};

// The corrections dialog: the four 4-bit emulation-time corrections of EmulDO_TimeHi/Lo.
enum CorrectionsControl : int {
  kCorrectionsOk = 1,
  kHiLowCorrectionLabel = 1075,
  kHiLowCorrectionList = 1003,  // EmulDO_TimeHi bits 0-3
  kHiHighCorrectionLabel = 1076,
  kHiHighCorrectionList = 1013,  // EmulDO_TimeHi bits 4-7
  kLoLowCorrectionLabel = 1077,
  kLoLowCorrectionList = 1122,  // EmulDO_TimeLo bits 0-3
  kLoHighCorrectionLabel = 1078,
  kLoHighCorrectionList = 1123,  // EmulDO_TimeLo bits 4-7
};

}  // namespace korvel
