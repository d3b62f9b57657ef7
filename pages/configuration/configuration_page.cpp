#include "pages/configuration/configuration_page.hpp"
#include "texts/text_slots.hpp"

#include "pages/configuration/configuration_controls.hpp"
#include "pages/common/parameter_binding.hpp"
#include "pages/common/poll_tick.hpp"

#include "link/conversions.hpp"
#include "link/live_data.hpp"
#include "link/parameter_map.hpp"
#include "texts/language_table.hpp"

namespace korvel {

namespace {

constexpr int kTemplates[5] = {106, 157, 145, 151, 150};

// A new lambda range invalidates the threshold: the range's default threshold follows it.
void WriteDefaultLambdaPoint(ControllerLink& link, int range) {
  WriteParameterValue(link, Parameter::LambdaPoint, DefaultLambdaPoint(static_cast<uint8_t>(range)));
}

constexpr int kGasOpeningShows[] = {kOtwarcieGazuList, kOtwarcieGazuLabel, kOtwarcieGazuUnit};
constexpr ListEntries kEmulationTimes = Fractions(255, "%ld,%03ld", 1, 1, 40, 25);  // 0,025 .. 6,375
constexpr ListEntries kTenths = Fractions(50, "%ld,%ld", 1, 1, 10, 1);              // 0,1 .. 5,0

// The page's controls in the order they are filled and refreshed.
constexpr ParameterBinding kBindings[] = {
    {kLambdaRangeList, Parameter::LambdaType, Names(kLambdaRangeNames), kKeepLowNibble, FieldRule::kPosition, {}, 0,
     WriteDefaultLambdaPoint},
    {kLambdaPointList, Parameter::LambdaPoint, ByLambdaRange()},
    {kLambdaDelayList, Parameter::LambdaDelay, Fractions(255, "%ld:%02ld", 1, 1, 12, 5)},  // 0:05 .. 21:15
    {kEmulKindList, Parameter::EmulType, Texts(lang::kEmulationStandard, lang::kEmulationOff), kEmulTypeKeepKind},
    {kEmulBjTimeHiList, Parameter::EmulBJ_TimeHi, kEmulationTimes},
    {kEmulBjTimeLoList, Parameter::EmulBJ_TimeLo, kEmulationTimes},
    {kIgnitionTypeList, Parameter::IgnitionType, Texts(lang::kIgnition01, lang::kIgnition18)},
    {kLpgOnSpeedList, Parameter::LPGOnRPMLo, Numbers(21, "%ld", kLpgOnSpeedBase, 100)},
    {kOptionsBit4List, Parameter::Options, Texts(lang::kSwitchOnDeceleration, lang::kSwitchOnAcceleration),
     kOptionsKeepBit4},
    {kLambdaModeList, Parameter::LambdaType, Texts(lang::kSecondInputMode0, lang::kSecondInputMode8), kKeepHighNibble,
     FieldRule::kLambdaMode},
    {kTpsInertList, Parameter::TPSInert, Fractions(19, "%ld,%02ld", 4, 2, 100, 1)},  // 0,04 .. 0,40
    {kInjectDelayList, Parameter::InjectDelay, kTenths},
    {kOtwarcieGazuBox, Parameter::EmulType, CheckBox(), kEmulTypeKeepGasOpening, FieldRule::kPosition,
     kGasOpeningShows},
    {kOtwarcieGazuList, Parameter::Otwarcie_GAZU, kTenths, 0, FieldRule::kPosition, {}, kOtwarcieGazuBox},
};
static_assert(SoundBindings(kBindings));
constexpr const ParameterBinding& kLambdaPointRow = kBindings[1];
static_assert(kLambdaPointRow.control == kLambdaPointList);

}  // namespace

int ConfigurationTemplateFor(int size_class) {
  return kTemplates[ClampClass(size_class) - 1];
}

void ConfigurationPage::FillConfigurationPage(Window& page) {
  for (const ParameterBinding& row : kBindings) FillList(page, Scope(), row);
}

void ConfigurationPage::LabelConfigurationPage(Window& page) {
  for (int i = 0; i < ConfigurationPageLabelCount; ++i) {
    const LabelBinding& label = ConfigurationPageLabels[i];
    page.SetControlText(label.control_id, context_.texts.Text(label.slot));
  }
}

void ConfigurationPage::RefreshConfigurationPage(Window& page) {
  const ControllerLink& link = context_.link;
  const uint8_t lambda_type = Stored(link, Parameter::LambdaType);
  // The threshold list is built for the range the controller holds.
  const uint8_t range = LambdaRange(lambda_type);
  if (range != state_.ShownLambdaRange) {
    page.ResetList(kLambdaPointList);
    state_.ShownLambdaRange = range;
    FillList(page, Scope(), kLambdaPointRow);
  }

  for (const ParameterBinding& row : kBindings) ShowStored(page, Scope(), row);

  // The petrol-injector emulation times belong to emulation kind 0 only.
  const bool bj_times_enabled = (Stored(link, Parameter::EmulType) & 3) == 0;
  for (int id : {kEmulBjTimeHiList, kEmulBjTimeLoList, kEmulBjTimeHiLabel, kEmulBjTimeLoLabel, kEmulBjTimeHiUnit,
                 kEmulBjTimeLoUnit}) {
    page.EnableControl(id, bj_times_enabled);
  }
  // Throttle inertia means nothing to the lambda modes with bit 1 set.
  const bool tps_inert_enabled = (lambda_type & 0x02) == 0;
  for (int id : {kTpsInertList, kTpsInertLabel, kTpsInertUnit}) page.EnableControl(id, tps_inert_enabled);
}

bool ConfigurationPage::OnInitDialog(Window& page) {
  (void)page;
  return true;
}

void ConfigurationPage::OnPaint(Window& page) {
  page.SetTimer(kConfigurationPollTimer, context_.link.state.poll_period);
  page.MoveWindow(0, 0, context_.shared.page_width, context_.shared.page_height);
}

void ConfigurationPage::OnTimer(Window& page, int timer_id) {
  if (timer_id != kConfigurationPollTimer) return;
  SharedState& shared = context_.shared;
  ControllerLink& link = context_.link;
  if (shared.BusyFlag) return;
  if (!shared.DropDownOpen) {
    PollController(link, kPollLiveData | kPollConfig | kPollOptions);
    RefreshConfigurationPage(page);
  }
  FollowPollPeriod(page, kConfigurationPollTimer, link, shared);
}

void ConfigurationPage::OnCommand(Window& page, int control_id, int code) {
  OnBoundCommand(page, Scope(), context_.shared, kBindings, control_id, code);
}

}  // namespace korvel
