#include "pages/options/options_page.hpp"
#include "texts/text_slots.hpp"

#include <cstdint>
#include <cstdio>
#include <iterator>

#include "link/parameter_map.hpp"
#include "pages/common/poll_tick.hpp"
#include "texts/language_table.hpp"

namespace korvel {

namespace {

constexpr int kPollTimer = 1;

constexpr int kComboIds[] = {kAttInitList,     kAttMinIdleList,  kAttMaxIdleList,  kAttMinList,
                             kAttMaxList,      kAttJumpList,     kTpsJumpList,     kCutOffSpeedList,
                             kCutOffStepsList, kLpgOffSpeedList, kLpgOnTempList,   kDrivingTypeList};
constexpr int kCheckBoxIds[] = {kAttInitBox, kAccelerationBox, kCutOffBox, kLpgOffBox, kLpgOnTempBox};

// The six attenuation lists filled side by side, one value at a time, with their formats.
struct AttList {
  int id;
  const char* format;
};
constexpr AttList kAttLists[] = {
    {kAttInitList, "%ld"},    {kAttMinIdleList, "-%ld"}, {kAttMaxIdleList, "+%ld"},
    {kAttMinList, "-%ld"},    {kAttMaxList, "+%ld"},     {kAttJumpList, "%ld"},
};

// A check box that switches one bit of Options and shows the controls of its group while ticked.
struct OptionGroup {
  int box;
  uint8_t bit;
  bool ticked_when_set;  // false: the box is ticked while the bit is clear (AttInit)
  int shown[6];
  int shown_count;
};
constexpr OptionGroup kAttInitGroup = {kAttInitBox, 0x04, false, {kAttInitList, kAttInitUnit}, 2};
constexpr OptionGroup kAccelerationGroup = {
    kAccelerationBox, 0x08, true,
    {kAttJumpList, kTpsJumpList, kAttJumpLabel, kTpsJumpLabel, kAttJumpUnit, kTpsJumpUnit}, 6};
constexpr OptionGroup kCutOffGroup = {
    kCutOffBox, 0x20, true,
    {kCutOffSpeedList, kCutOffStepsList, kCutOffSpeedLabel, kCutOffStepsLabel, kCutOffSpeedUnit, kCutOffStepsUnit},
    6};
constexpr OptionGroup kLpgOffGroup = {kLpgOffBox, 0x40, true, {kLpgOffSpeedList, kLpgOffSpeedUnit}, 2};
constexpr OptionGroup kLpgOnTempGroup = {kLpgOnTempBox, 0x02, true, {kLpgOnTempList, kLpgOnTempUnit}, 2};

constexpr int kDrivingTypeFirstSlot = lang::kDrivingEconomy;

bool IsOneOf(int id, const int* ids, int count) {
  for (int i = 0; i < count; ++i) {
    if (ids[i] == id) return true;
  }
  return false;
}

// Sets the box from its bit, reads the check back and shows or hides the group by what it reads:
// the controls follow the box as the window system keeps it.
void ShowOptionGroup(Window& page, const OptionGroup& group, uint8_t options) {
  const bool bit_set = (options & group.bit) != 0;
  page.SetCheck(group.box, bit_set == group.ticked_when_set);
  const bool shown = page.GetCheck(group.box);
  for (int i = 0; i < group.shown_count; ++i) page.ShowControl(group.shown[i], shown);
}

// The list formats put at most one character before the number ("+%ld"); the text has room for
// that, the longest long with its sign (20 characters) and the terminating NUL.
void AddNumber(Window& page, int id, const char* format, long value) {
  char text[1 + 20 + 1 + 2];
  std::snprintf(text, sizeof text, format, value);
  page.AddListEntry(id, text);
}

// Corrections dialog: the four lists, the first (most negative) correction of each, and the
// nibble each one edits.
struct CorrectionList {
  int id;
  int label;
  long first;
  Parameter parameter;
  bool high_nibble;
};
constexpr CorrectionList kCorrectionLists[4] = {
    {kHiLowCorrectionList, kHiLowCorrectionLabel, -12, Parameter::EmulDO_TimeHi, false},
    {kHiHighCorrectionList, kHiHighCorrectionLabel, -10, Parameter::EmulDO_TimeHi, true},
    {kLoLowCorrectionList, kLoLowCorrectionLabel, -20, Parameter::EmulDO_TimeLo, false},
    {kLoHighCorrectionList, kLoHighCorrectionLabel, -16, Parameter::EmulDO_TimeLo, true},
};
constexpr int kCorrectionEntries = 16;
constexpr int kCorrectionsTimer = 2;
constexpr int kCorrectionsCaptionSlot = lang::kCorrectionsCaption;
constexpr int kCorrectionsFirstLabelSlot = lang::kCorrectionHighSpeedLowLoad;
constexpr int kCorrectionsOkSlot = lang::kCorrectionsOkButton;

const CorrectionList* FindCorrectionList(int id) {
  for (const CorrectionList& list : kCorrectionLists) {
    if (list.id == id) return &list;
  }
  return nullptr;
}

uint8_t CorrectionField(uint8_t stored, bool high_nibble) {
  return static_cast<uint8_t>(high_nibble ? stored >> 4 : stored & 0x0F);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The page

int OptionsPage::TemplateFor(int size_class) const {
  return kOptionsTemplates[ClampClass(size_class) - 1];
}

void OptionsPage::FillOptionsPage(Window& page) {
  for (long k = 0; k < 256; ++k) {
    for (const AttList& list : kAttLists) AddNumber(page, list.id, list.format, k);
  }
  char text[16];
  for (long k = 0; k < 51; ++k) {
    std::snprintf(text, sizeof text, "%ld,%ld", k / 10, k % 10);
    page.AddListEntry(kTpsJumpList, text);
  }
  for (long k = 0; k < 16; ++k) AddNumber(page, kCutOffSpeedList, "%ld", 1000 + 100 * k);
  for (long k = 0; k < 50; ++k) AddNumber(page, kCutOffStepsList, "%ld", 2 * k + 2);
  for (long k = 0; k < 41; ++k) AddNumber(page, kLpgOffSpeedList, "%ld", 4000 + 100 * k);
  for (long k = 0; k < 26; ++k) AddNumber(page, kLpgOnTempList, "%ld", 2 * k + 10);
  for (int slot = kDrivingTypeFirstSlot; slot < kDrivingTypeFirstSlot + 3; ++slot) {
    page.AddListEntry(kDrivingTypeList, context_.texts.Text(slot));
  }
}

void OptionsPage::LabelOptionsPage(Window& page) {
  for (int i = 0; i < OptionsPageLabelCount; ++i) {
    const LabelBinding& label = OptionsPageLabels[i];
    page.SetControlText(label.control_id, context_.texts.Text(label.slot));
  }
}

void OptionsPage::RefreshOptionsPage(Window& page) {
  const ControllerLink& link = context_.link;
  const uint8_t options = Stored(link, Parameter::Options);

  ShowOptionGroup(page, kAttInitGroup, options);
  page.SelectListEntry(kAttInitList, Stored(link, Parameter::AttInit));

  page.SelectListEntry(kAttMaxIdleList, Stored(link, Parameter::AttMax_BJ));
  page.SelectListEntry(kAttMinIdleList, Stored(link, Parameter::AttMin_BJ));
  page.SelectListEntry(kAttMaxList, Stored(link, Parameter::AttMax));
  page.SelectListEntry(kAttMinList, Stored(link, Parameter::AttMin));

  ShowOptionGroup(page, kAccelerationGroup, options);
  page.SelectListEntry(kAttJumpList, Stored(link, Parameter::AttJump));
  page.SelectListEntry(kTpsJumpList, TpsJumpPosition(Stored(link, Parameter::TPSJump)));

  ShowOptionGroup(page, kCutOffGroup, options);
  page.SelectListEntry(kCutOffSpeedList, SpeedPairPosition(link, Parameter::CutOffRPMLo, kCutOffSpeedBase));
  page.SelectListEntry(kCutOffStepsList, CutOffStepsPosition(Stored(link, Parameter::CutOffSteps)));

  ShowOptionGroup(page, kLpgOffGroup, options);
  page.SelectListEntry(kLpgOffSpeedList, SpeedPairPosition(link, Parameter::LPGOffRPMLo, kLpgOffSpeedBase));

  ShowOptionGroup(page, kLpgOnTempGroup, options);
  page.SelectListEntry(kLpgOnTempList, LpgOnTempPosition(Stored(link, Parameter::LPGOnTemp)));

  page.SelectListEntry(kDrivingTypeList, (Stored(link, Parameter::EmulType) >> 4) & 3);
}

bool OptionsPage::OnInitDialog(Window& page) {
  (void)page;
  return true;
}

void OptionsPage::OnPaint(Window& page) {
  page.SetTimer(kPollTimer, context_.link.state.poll_period);
  page.MoveWindow(0, 0, context_.shared.page_width, context_.shared.page_height);
}

void OptionsPage::OnTimer(Window& page, int timer_id) {
  if (timer_id != kPollTimer) return;
  SharedState& shared = context_.shared;
  // While the corrections dialog is open only the dialog talks to the controller.
  if (shared.BusyFlag || shared.SubDialogOpen) return;
  if (!shared.DropDownOpen) {
    PollController(context_.link, kPollLiveData | kPollConfig | kPollOptions);
    RefreshOptionsPage(page);
  }
  FollowPollPeriod(page, kPollTimer, context_.link, shared);
}

void OptionsPage::OnCommand(Window& page, int control_id, int code) {
  if (IsOneOf(control_id, kComboIds, static_cast<int>(std::size(kComboIds)))) {
    if (code == kComboSelectionChanged) {
      WriteSelection(page, control_id);
    } else {
      context_.shared.DropDownOpen = (code == kComboDroppedDown);
    }
    return;
  }
  if (IsOneOf(control_id, kCheckBoxIds, static_cast<int>(std::size(kCheckBoxIds)))) {
    if (code == kButtonClicked) WriteSelection(page, control_id);
    return;
  }
  if (control_id == kCorrectionsButton) RunCorrectionsDialog(page);
}

void OptionsPage::RunCorrectionsDialog(Window& page) {
  SharedState& shared = context_.shared;
  shared.SubDialogOpen = true;
  if (const DialogTemplate* dialog = FindTemplateIn(OptionsTemplates(), kCorrectionsTemplate)) {
    context_.host.RunModalDialog(*dialog, sub_dialog_, &page);
  }
  // The dialog clears the flag when it ends; a dialog that ended any other way (or could not be
  // created) must not leave the page without polls for good.
  shared.SubDialogOpen = false;
  // The dialog covered the page: its repaint restarts the poll timer at the period in force, which
  // the dialog's own timer may have changed meanwhile.
  context_.host.InvalidatePage(&page);
}

void OptionsPage::WriteSelection(Window& page, int control_id) {
  ControllerLink& link = context_.link;
  if (control_id == kAttInitBox) {
    // A zero-filled record does not know the other option bits: nothing is sent from it.
    if (!HoldsControllerReply(link, Parameter::Options)) return;
    uint8_t& stored = link.ConfigRecord[Describe(Parameter::Options).byte];
    if (page.GetCheck(kAttInitBox)) {
      // The stored byte itself loses bit 2, so the box stays ticked at the next refresh whether
      // or not the controller took the write.
      stored &= kOptionsKeepBit2;
      WriteParameterValue(link, Parameter::Options, stored);
    } else {
      WriteParameterValue(link, Parameter::Options, static_cast<uint8_t>(stored | 0x04));
    }
    return;
  }
  for (const OptionGroup* group : {&kAccelerationGroup, &kCutOffGroup, &kLpgOffGroup, &kLpgOnTempGroup}) {
    if (group->box != control_id) continue;
    const uint8_t field = page.GetCheck(control_id) ? group->bit : 0;
    WriteBitField(link, Parameter::Options, static_cast<uint8_t>(~group->bit), field);
    return;
  }

  const int k = page.GetListSelection(control_id);
  if (k < 0) return;  // a list without a selection has nothing to send
  const auto plain = static_cast<uint8_t>(k);
  switch (control_id) {
    case kAttInitList:
      WriteParameterValue(link, Parameter::AttInit, plain);
      break;
    case kAttMinIdleList:
      WriteParameterValue(link, Parameter::AttMin_BJ, plain);
      break;
    case kAttMaxIdleList:
      WriteParameterValue(link, Parameter::AttMax_BJ, plain);
      break;
    case kAttMinList:
      WriteParameterValue(link, Parameter::AttMin, plain);
      break;
    case kAttMaxList:
      WriteParameterValue(link, Parameter::AttMax, plain);
      break;
    case kAttJumpList:
      WriteParameterValue(link, Parameter::AttJump, plain);
      break;
    case kTpsJumpList:
      WriteParameterValue(link, Parameter::TPSJump, TpsJumpValue(k));
      break;
    case kCutOffSpeedList:
      WriteEngineSpeedPair(link, Parameter::CutOffRPMLo, kCutOffSpeedBase + 100u * static_cast<uint32_t>(k));
      break;
    case kCutOffStepsList:
      WriteParameterValue(link, Parameter::CutOffSteps, CutOffStepsValue(k));
      break;
    case kLpgOffSpeedList:
      WriteEngineSpeedPair(link, Parameter::LPGOffRPMLo, kLpgOffSpeedBase + 100u * static_cast<uint32_t>(k));
      break;
    case kLpgOnTempList:
      WriteParameterValue(link, Parameter::LPGOnTemp, LpgOnTempValue(k));
      break;
    case kDrivingTypeList:
      WriteBitField(link, Parameter::EmulType, kEmulTypeKeepDriving, static_cast<uint8_t>((k & 3) << 4));
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------------------------------------
// The corrections dialog

void OptionsSubDialog::FillOptionsSubDialog(Window& dialog) {
  const LanguageTable& texts = context_.texts;
  dialog.SetTitle(texts.Text(kCorrectionsCaptionSlot));
  for (int i = 0; i < 4; ++i) {
    dialog.SetControlText(kCorrectionLists[i].label, texts.Text(kCorrectionsFirstLabelSlot + i));
  }
  dialog.SetControlText(kCorrectionsOk, texts.Text(kCorrectionsOkSlot));
  for (long k = 0; k < kCorrectionEntries; ++k) {
    for (const CorrectionList& list : kCorrectionLists) {
      const long value = 2 * k + list.first;
      AddNumber(dialog, list.id, value > 0 ? "+%ld" : "%ld", value);
    }
  }
}

void OptionsSubDialog::RefreshOptionsSubDialog(Window& dialog) {
  for (const CorrectionList& list : kCorrectionLists) {
    const uint8_t field = CorrectionField(Stored(context_.link, list.parameter), list.high_nibble);
    dialog.SelectListEntry(list.id, kCorrectionEntries - 1 - field);
  }
}

bool OptionsSubDialog::OnInitDialog(Window& dialog) {
  FillOptionsSubDialog(dialog);
  // Centred on the screen the shell recorded, halves truncated toward zero.
  const Size size = dialog.GetWindowSize();
  const int x = (context_.shared.screen_width - size.width) / 2;
  const int y = (context_.shared.screen_height - size.height) / 2;
  dialog.MoveWindow(x, y, size.width, size.height);
  return true;
}

void OptionsSubDialog::OnPaint(Window& dialog) {
  dialog.SetTimer(kCorrectionsTimer, context_.link.state.poll_period);
}

void OptionsSubDialog::OnTimer(Window& dialog, int timer_id) {
  if (timer_id != kCorrectionsTimer) return;
  SharedState& shared = context_.shared;
  if (!shared.DropDownOpen) {
    PollController(context_.link, kPollConfig);
    RefreshOptionsSubDialog(dialog);
  }
  FollowPollPeriod(dialog, kCorrectionsTimer, context_.link, shared);
}

void OptionsSubDialog::OnCommand(Window& dialog, int control_id, int code) {
  if (control_id == kCorrectionsOk || control_id == kIdCancel) {
    dialog.EndDialog(control_id);
    context_.shared.SubDialogOpen = false;
    return;
  }
  const CorrectionList* list = FindCorrectionList(control_id);
  if (list == nullptr) return;
  if (code != kComboSelectionChanged) {
    context_.shared.DropDownOpen = (code == kComboDroppedDown);
    return;
  }
  const int k = dialog.GetListSelection(control_id);
  if (k < 0 || k >= kCorrectionEntries) return;
  const auto field = static_cast<uint8_t>(kCorrectionEntries - 1 - k);
  if (list->high_nibble) {
    WriteBitField(context_.link, list->parameter, kKeepLowNibble, static_cast<uint8_t>(field << 4));
  } else {
    WriteBitField(context_.link, list->parameter, kKeepHighNibble, field);
  }
}

}  // namespace korvel
