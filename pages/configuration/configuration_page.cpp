#include "pages/configuration/configuration_page.hpp"
#include "texts/text_slots.hpp"

#include <cstdio>

#include "pages/configuration/configuration_controls.hpp"
#include "pages/common/poll_tick.hpp"

#include "link/conversions.hpp"
#include "link/live_data.hpp"
#include "link/parameter_map.hpp"
#include "texts/language_table.hpp"

namespace korvel {

namespace {

constexpr int kComboIds[] = {kLambdaRangeList,  kLambdaPointList,  kLambdaDelayList, kEmulKindList,
                             kEmulBjTimeHiList, kEmulBjTimeLoList, kIgnitionTypeList, kLpgOnSpeedList,
                             kOptionsBit4List,  kLambdaModeList,   kTpsInertList,    kInjectDelayList,
                             kOtwarcieGazuList};

constexpr int kTemplates[5] = {106, 157, 145, 151, 150};

bool IsCombo(int id) {
  for (int combo : kComboIds) {
    if (combo == id) return true;
  }
  return false;
}

void FillLambdaPointList(Window& page, uint8_t range) {
  char text[32];
  if (range == 0) {
    for (long k = 0; k < 11; ++k) {
      std::snprintf(text, sizeof text, "0,%ld", 40 + 2 * k);
      page.AddListEntry(kLambdaPointList, text);
    }
  } else if (range == 5) {
    for (long k = 0; k < 16; ++k) {
      std::snprintf(text, sizeof text, "1,%02ld", 2 * k);
      page.AddListEntry(kLambdaPointList, text);
    }
  } else {
    for (long k = 0; k < 51; ++k) {
      std::snprintf(text, sizeof text, "%ld:%02ld", 2 + k / 50, (2 * k) % 100);
      page.AddListEntry(kLambdaPointList, text);
    }
  }
}

}  // namespace

int ConfigurationTemplateFor(int size_class) {
  return kTemplates[ClampClass(size_class) - 1];
}

void ConfigurationPage::FillConfigurationPage(Window& page) {
  const LanguageTable& texts = context_.texts;
  char text[32];

  for (const char* name : kLambdaRangeNames) page.AddListEntry(kLambdaRangeList, name);

  FillLambdaPointList(page, state_.ShownLambdaRange);

  for (long n = 1; n <= 255; ++n) {
    std::snprintf(text, sizeof text, "%ld:%02ld", n / 12, 5 * (n % 12));
    page.AddListEntry(kLambdaDelayList, text);
  }

  for (int slot = lang::kEmulationStandard; slot <= lang::kEmulationOff; ++slot) page.AddListEntry(kEmulKindList, texts.Text(slot));

  for (int list : {kEmulBjTimeHiList, kEmulBjTimeLoList}) {
    for (long n = 1; n <= 255; ++n) {
      std::snprintf(text, sizeof text, "%ld,%03ld", n / 40, 25 * (n % 40));
      page.AddListEntry(list, text);
    }
  }

  for (int slot = lang::kIgnition01; slot <= lang::kIgnition18; ++slot) page.AddListEntry(kIgnitionTypeList, texts.Text(slot));

  for (long k = 0; k < 21; ++k) {
    std::snprintf(text, sizeof text, "%ld", 1500 + 100 * k);
    page.AddListEntry(kLpgOnSpeedList, text);
  }

  page.AddListEntry(kOptionsBit4List, texts.Text(lang::kSwitchOnDeceleration));
  page.AddListEntry(kOptionsBit4List, texts.Text(lang::kSwitchOnAcceleration));

  for (int slot = lang::kSecondInputMode0; slot <= lang::kSecondInputMode8; ++slot) page.AddListEntry(kLambdaModeList, texts.Text(slot));

  for (long n = 1; n <= 19; ++n) {
    std::snprintf(text, sizeof text, "%ld,%02ld", 0L, 2 * n + 2);
    page.AddListEntry(kTpsInertList, text);
  }

  for (int list : {kInjectDelayList, kOtwarcieGazuList}) {
    for (long n = 1; n <= 50; ++n) {
      std::snprintf(text, sizeof text, "%ld,%ld", n / 10, n % 10);
      page.AddListEntry(list, text);
    }
  }
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
  const uint8_t range = LambdaRange(lambda_type);
  const uint8_t emul_type = Stored(link, Parameter::EmulType);

  page.SelectListEntry(kLambdaRangeList, range);

  if (range != state_.ShownLambdaRange) {
    page.ResetList(kLambdaPointList);
    FillLambdaPointList(page, range);
    state_.ShownLambdaRange = range;
  }
  page.SelectListEntry(kLambdaPointList, LambdaPointPosition(Stored(link, Parameter::LambdaPoint), range));

  page.SelectListEntry(kLambdaDelayList, PlainPlusOnePosition(Stored(link, Parameter::LambdaDelay)));

  page.SelectListEntry(kEmulKindList, emul_type & 3);
  // The petrol-injector emulation times belong to emulation kind 0 only.
  const bool bj_times_enabled = (emul_type & 3) == 0;
  for (int id : {kEmulBjTimeHiList, kEmulBjTimeLoList, kEmulBjTimeHiLabel, kEmulBjTimeLoLabel, kEmulBjTimeHiUnit,
                 kEmulBjTimeLoUnit}) {
    page.EnableControl(id, bj_times_enabled);
  }

  page.SelectListEntry(kEmulBjTimeHiList, PlainPlusOnePosition(Stored(link, Parameter::EmulBJ_TimeHi)));
  page.SelectListEntry(kEmulBjTimeLoList, PlainPlusOnePosition(Stored(link, Parameter::EmulBJ_TimeLo)));

  page.SelectListEntry(kIgnitionTypeList, PlainPlusOnePosition(Stored(link, Parameter::IgnitionType)));

  page.SelectListEntry(kLpgOnSpeedList, SpeedPairPosition(link, Parameter::LPGOnRPMLo, kLpgOnSpeedBase));

  page.SelectListEntry(kOptionsBit4List, (Stored(link, Parameter::Options) >> 4) & 1);

  page.SelectListEntry(kLambdaModeList, LambdaModePosition(LambdaMode(lambda_type)));

  // Throttle inertia means nothing to the lambda modes with bit 1 set.
  const bool tps_inert_enabled = (lambda_type & 0x02) == 0;
  for (int id : {kTpsInertList, kTpsInertLabel, kTpsInertUnit}) page.EnableControl(id, tps_inert_enabled);

  page.SelectListEntry(kTpsInertList, PlainPlusOnePosition(Stored(link, Parameter::TPSInert)));
  page.SelectListEntry(kInjectDelayList, PlainPlusOnePosition(Stored(link, Parameter::InjectDelay)));

  page.SetCheck(kOtwarcieGazuBox, (emul_type & 0x08) != 0);
  const bool gazu_shown = page.GetCheck(kOtwarcieGazuBox);
  for (int id : {kOtwarcieGazuList, kOtwarcieGazuLabel, kOtwarcieGazuUnit}) page.ShowControl(id, gazu_shown);
  if (gazu_shown) {
    page.SelectListEntry(kOtwarcieGazuList, PlainPlusOnePosition(Stored(link, Parameter::Otwarcie_GAZU)));
  }
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
  SharedState& shared = context_.shared;
  if (IsCombo(control_id)) {
    if (code == kComboSelectionChanged) {
      WriteSelection(page, control_id);
    } else {
      shared.DropDownOpen = (code == kComboDroppedDown);
    }
    return;
  }
  if (control_id == kOtwarcieGazuBox && code == kButtonClicked) WriteSelection(page, control_id);
}

void ConfigurationPage::WriteSelection(Window& page, int control_id) {
  ControllerLink& link = context_.link;
  if (control_id == kOtwarcieGazuBox) {
    const uint8_t shown = page.GetCheck(kOtwarcieGazuBox) ? 0x08 : 0x00;
    WriteBitField(link, Parameter::EmulType, kEmulTypeKeepGasOpening, shown);
    return;
  }
  const int k = page.GetListSelection(control_id);
  if (k < 0) return;  // a list without a selection has nothing to send
  const auto plus_one = static_cast<uint8_t>(k + 1);
  switch (control_id) {
    case kLambdaRangeList: {
      // A new range invalidates the threshold: the range's default threshold follows it.
      const auto range = static_cast<uint8_t>(k & 0x0F);
      WriteBitField(link, Parameter::LambdaType, kKeepLowNibble, static_cast<uint8_t>(range << 4));
      WriteParameterValue(link, Parameter::LambdaPoint, DefaultLambdaPoint(range));
      break;
    }
    case kLambdaPointList:
      WriteParameterValue(link, Parameter::LambdaPoint,
                          static_cast<uint8_t>(k + LambdaPointOffset(state_.ShownLambdaRange)));
      break;
    case kLambdaDelayList:
      WriteParameterValue(link, Parameter::LambdaDelay, plus_one);
      break;
    case kEmulKindList:
      WriteBitField(link, Parameter::EmulType, kEmulTypeKeepKind, static_cast<uint8_t>(k & 3));
      break;
    case kEmulBjTimeHiList:
      WriteParameterValue(link, Parameter::EmulBJ_TimeHi, plus_one);
      break;
    case kEmulBjTimeLoList:
      WriteParameterValue(link, Parameter::EmulBJ_TimeLo, plus_one);
      break;
    case kIgnitionTypeList:
      WriteParameterValue(link, Parameter::IgnitionType, plus_one);
      break;
    case kLpgOnSpeedList:
      WriteEngineSpeedPair(link, Parameter::LPGOnRPMLo, kLpgOnSpeedBase + 100u * static_cast<uint32_t>(k));
      break;
    case kOptionsBit4List:
      WriteBitField(link, Parameter::Options, kOptionsKeepBit4, static_cast<uint8_t>((k & 1) << 4));
      break;
    case kLambdaModeList:
      if (k < 6) WriteBitField(link, Parameter::LambdaType, kKeepHighNibble, kLambdaModeValues[k]);
      break;
    case kTpsInertList:
      WriteParameterValue(link, Parameter::TPSInert, plus_one);
      break;
    case kInjectDelayList:
      WriteParameterValue(link, Parameter::InjectDelay, plus_one);
      break;
    case kOtwarcieGazuList:
      WriteParameterValue(link, Parameter::Otwarcie_GAZU, plus_one);
      break;
    default:
      break;
  }
}

}  // namespace korvel
