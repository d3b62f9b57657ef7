#pragma once
// Controls of the Configuration page that its procedure works with, by name; the page's templates
// (one per size class) place them under the same names.
#include <span>

#include "pages/common/page_descriptor.hpp"
#include "resources/dialog_templates.hpp"

namespace korvel {

// The page's templates, one per size class (configuration_templates.cpp).
std::span<const DialogTemplate> ConfigurationTemplates();

// The page's entry for the main window's page table and menu bars.
extern const PageDescriptor kConfigurationPage;

enum ConfigurationControl : int {
  // Combo boxes, in the order they are filled.
  kLambdaRangeList = 1003,
  kLambdaPointList = 1013,
  kLambdaDelayList = 1017,
  kEmulKindList = 1018,
  kEmulBjTimeHiList = 1019,
  kEmulBjTimeLoList = 1020,
  kIgnitionTypeList = 1021,
  kLpgOnSpeedList = 1022,
  kOptionsBit4List = 1023,
  kLambdaModeList = 1024,
  kTpsInertList = 1025,
  kInjectDelayList = 1026,
  kOtwarcieGazuList = 1027,
  // The check box that shows the gas-opening choice.
  kOtwarcieGazuBox = 1074,
  // Labels and units that are enabled or shown with their lists.
  kEmulBjTimeHiLabel = 1079,
  kEmulBjTimeLoLabel = 1080,
  kTpsInertLabel = 1085,
  kOtwarcieGazuLabel = 1088,
  kEmulBjTimeHiUnit = 1091,
  kEmulBjTimeLoUnit = 1092,
  kTpsInertUnit = 1093,
  kOtwarcieGazuUnit = 1095,
};

}  // namespace korvel
