#include "pages/configuration/configuration_page.hpp"

#include <cstdio>

#include "link/conversions.hpp"
#include "link/live_data.hpp"
#include "link/parameter_map.hpp"
#include "texts/language_table.hpp"

namespace korvel {

namespace {

// Combo boxes in the order they are filled.
enum ConfigurationControl : int {
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
  kOtwarcieGazuBox = 1074,
};

constexpr int kComboIds[] = {kLambdaRangeList,  kLambdaPointList,  kLambdaDelayList, kEmulKindList,
                             kEmulBjTimeHiList, kEmulBjTimeLoList, kIgnitionTypeList, kLpgOnSpeedList,
                             kOptionsBit4List,  kLambdaModeList,   kTpsInertList,    kInjectDelayList,
                             kOtwarcieGazuList};

constexpr const char* kLambdaRangeNames[] = {"0-1 V", "0-5 V -", "0-5 V +", "5-0 V -", "5-0 V +", "0,8-1,6 V"};
// LambdaMode values written for the six entries of list 1024.
constexpr uint8_t kLambdaModeValues[] = {0, 1, 2, 6, 7, 8};

// Address of each parameter byte in ConfigRecord / OptionsRecord.
constexpr int kOptionsByte = 1;
constexpr int kLambdaTypeByte = 2;
constexpr int kLambdaPointByte = 3;
constexpr int kLambdaDelayByte = 4;
constexpr int kEmulTypeByte = 5;
constexpr int kEmulBjTimeHiByte = 6;
constexpr int kEmulBjTimeLoByte = 7;
constexpr int kInjectDelayByte = 10;
constexpr int kTpsInertByte = 12;
constexpr int kOtwarcieGazuByte = 13;
constexpr int kLpgOnRpmLoByte = 5;  // OptionsRecord
constexpr int kLpgOnRpmHiByte = 6;
constexpr int kIgnitionTypeByte = 7;

constexpr int kTemplates[5] = {106, 157, 145, 151, 150};

bool IsCombo(int id) {
  for (int combo : kComboIds) {
    if (combo == id) return true;
  }
  return false;
}

int LambdaModePosition(uint8_t mode) {
  if (mode >= 8) return 5;
  if (mode == 7) return 4;
  if (mode == 6) return 3;
  if (mode >= 2) return 2;
  return mode;  // 0 or 1
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
  if (size_class < 1) size_class = 1;
  if (size_class > 5) size_class = 5;
  return kTemplates[size_class - 1];
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

  for (int slot = 61; slot <= 63; ++slot) page.AddListEntry(kEmulKindList, texts.Text(slot));

  for (int list : {kEmulBjTimeHiList, kEmulBjTimeLoList}) {
    for (long n = 1; n <= 255; ++n) {
      std::snprintf(text, sizeof text, "%ld,%03ld", n / 40, 25 * (n % 40));
      page.AddListEntry(list, text);
    }
  }

  for (int slot = 64; slot <= 81; ++slot) page.AddListEntry(kIgnitionTypeList, texts.Text(slot));

  for (long k = 0; k < 21; ++k) {
    std::snprintf(text, sizeof text, "%ld", 1500 + 100 * k);
    page.AddListEntry(kLpgOnSpeedList, text);
  }

  page.AddListEntry(kOptionsBit4List, texts.Text(82));
  page.AddListEntry(kOptionsBit4List, texts.Text(83));

  for (int slot = 84; slot <= 89; ++slot) page.AddListEntry(kLambdaModeList, texts.Text(slot));

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
  const uint8_t* config = context_.link.ConfigRecord;
  const uint8_t* options = context_.link.OptionsRecord;
  const uint8_t lambda_type = config[kLambdaTypeByte];
  const uint8_t range = LambdaRange(lambda_type);
  const uint8_t emul_type = config[kEmulTypeByte];

  page.SelectListEntry(kLambdaRangeList, range);

  if (range != state_.ShownLambdaRange) {
    page.ResetList(kLambdaPointList);
    FillLambdaPointList(page, range);
    state_.ShownLambdaRange = range;
  }
  page.SelectListEntry(kLambdaPointList, LambdaPointPosition(config[kLambdaPointByte], range));

  page.SelectListEntry(kLambdaDelayList, PlainPlusOnePosition(config[kLambdaDelayByte]));

  page.SelectListEntry(kEmulKindList, emul_type & 3);
  const bool bj_times_enabled = (emul_type & 3) == 0;
  for (int id : {1019, 1020, 1079, 1080, 1091, 1092}) page.EnableControl(id, bj_times_enabled);

  page.SelectListEntry(kEmulBjTimeHiList, PlainPlusOnePosition(config[kEmulBjTimeHiByte]));
  page.SelectListEntry(kEmulBjTimeLoList, PlainPlusOnePosition(config[kEmulBjTimeLoByte]));

  page.SelectListEntry(kIgnitionTypeList, PlainPlusOnePosition(options[kIgnitionTypeByte]));

  page.SelectListEntry(kLpgOnSpeedList,
                       SpeedPairPosition(options[kLpgOnRpmHiByte], options[kLpgOnRpmLoByte], kLpgOnSpeedBase));

  page.SelectListEntry(kOptionsBit4List, (config[kOptionsByte] >> 4) & 1);

  page.SelectListEntry(kLambdaModeList, LambdaModePosition(LambdaMode(lambda_type)));

  const bool tps_inert_enabled = (lambda_type & 0x02) == 0;
  for (int id : {1025, 1085, 1093}) page.EnableControl(id, tps_inert_enabled);

  page.SelectListEntry(kTpsInertList, PlainPlusOnePosition(config[kTpsInertByte]));
  page.SelectListEntry(kInjectDelayList, PlainPlusOnePosition(config[kInjectDelayByte]));

  page.SetCheck(kOtwarcieGazuBox, (emul_type & 0x08) != 0);
  const bool gazu_shown = page.GetCheck(kOtwarcieGazuBox);
  for (int id : {1027, 1088, 1095}) page.ShowControl(id, gazu_shown);
  if (gazu_shown) page.SelectListEntry(kOtwarcieGazuList, PlainPlusOnePosition(config[kOtwarcieGazuByte]));
}

bool ConfigurationPage::OnInitDialog(Window& page) {
  (void)page;
  return true;
}

void ConfigurationPage::OnPaint(Window& page) {
  page.SetTimer(1, context_.link.state.poll_period);
  page.MoveWindow(0, 0, context_.shared.page_width, context_.shared.page_height);
}

void ConfigurationPage::OnTimer(Window& page, int timer_id) {
  if (timer_id != 1) return;
  SharedState& shared = context_.shared;
  ControllerLink& link = context_.link;
  if (shared.BusyFlag) return;
  if (!shared.DropDownOpen) {
    link.ReadIdentity();
    // The variant is asked on every tick, connected or not.
    const uint32_t variant = link.GetControllerVariant();
    if (link.Connected() && variant == 2) {
      link.ReadLiveData();
      link.ReadConfig();
      link.ReadOptions();
    }
    RefreshConfigurationPage(page);
  }
  if (link.state.poll_period != shared.ActiveTimerPeriod) {
    page.SetTimer(1, link.state.poll_period);
    shared.ActiveTimerPeriod = link.state.poll_period;
  }
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
  const uint8_t* config = link.ConfigRecord;
  if (control_id == kOtwarcieGazuBox) {
    const uint8_t kept = config[kEmulTypeByte] & 0xF7;
    link.WriteParameter(9, static_cast<uint8_t>(page.GetCheck(kOtwarcieGazuBox) ? (kept | 0x08) : kept));
    return;
  }
  const int k = page.GetListSelection(control_id);
  if (k < 0) return;  // a list without a selection has nothing to send
  switch (control_id) {
    case kLambdaRangeList: {
      const auto range = static_cast<uint8_t>(k & 0x0F);
      link.WriteParameter(6, static_cast<uint8_t>((range << 4) | (config[kLambdaTypeByte] & 0x0F)));
      link.WriteParameter(7, DefaultLambdaPoint(range));
      break;
    }
    case kLambdaPointList:
      link.WriteParameter(7, static_cast<uint8_t>(k + LambdaPointOffset(state_.ShownLambdaRange)));
      break;
    case kLambdaDelayList:
      link.WriteParameter(8, static_cast<uint8_t>(k + 1));
      break;
    case kEmulKindList:
      link.WriteParameter(9, static_cast<uint8_t>((config[kEmulTypeByte] & 0xFC) | (k & 3)));
      break;
    case kEmulBjTimeHiList:
      link.WriteParameter(10, static_cast<uint8_t>(k + 1));
      break;
    case kEmulBjTimeLoList:
      link.WriteParameter(11, static_cast<uint8_t>(k + 1));
      break;
    case kIgnitionTypeList:
      link.WriteParameter(23, static_cast<uint8_t>(k + 1));
      break;
    case kLpgOnSpeedList:
      WriteEngineSpeedPair(link, 21, kLpgOnSpeedBase + 100u * static_cast<uint32_t>(k));
      break;
    case kOptionsBit4List:
      link.WriteParameter(5, static_cast<uint8_t>((config[kOptionsByte] & 0xEF) | ((k & 1) << 4)));
      break;
    case kLambdaModeList:
      if (k < 6) {
        link.WriteParameter(6, static_cast<uint8_t>((config[kLambdaTypeByte] & 0xF0) | kLambdaModeValues[k]));
      }
      break;
    case kTpsInertList:
      link.WriteParameter(29, static_cast<uint8_t>(k + 1));
      break;
    case kInjectDelayList:
      link.WriteParameter(14, static_cast<uint8_t>(k + 1));
      break;
    case kOtwarcieGazuList:
      link.WriteParameter(33, static_cast<uint8_t>(k + 1));
      break;
    default:
      break;
  }
}

}  // namespace korvel
