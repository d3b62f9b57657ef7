#include "pages/options/options_page.hpp"
#include "texts/text_slots.hpp"

#include <cstdint>

#include "link/parameter_map.hpp"
#include "pages/common/parameter_binding.hpp"
#include "pages/common/poll_tick.hpp"
#include "texts/language_table.hpp"

namespace korvel {

namespace {

constexpr int kPollTimer = 1;

// The controls each option box shows while ticked.
constexpr int kAttInitShows[] = {kAttInitList, kAttInitUnit};
constexpr int kAccelerationShows[] = {kAttJumpList,  kTpsJumpList, kAttJumpLabel,
                                      kTpsJumpLabel, kAttJumpUnit, kTpsJumpUnit};
constexpr int kCutOffShows[] = {kCutOffSpeedList, kCutOffStepsList, kCutOffSpeedLabel,
                                kCutOffStepsLabel, kCutOffSpeedUnit, kCutOffStepsUnit};
constexpr int kLpgOffShows[] = {kLpgOffSpeedList, kLpgOffSpeedUnit};
constexpr int kLpgOnTempShows[] = {kLpgOnTempList, kLpgOnTempUnit};

// Ticking the AttInit box also clears bit 2 in the stored record itself, so the box stays ticked
// at the next refresh whether or not the controller took the write.
void KeepAttInitTicked(ControllerLink& link, int ticked) {
  if (ticked == 0 || !HoldsControllerReply(link, Parameter::Options)) return;
  link.ConfigRecord[Describe(Parameter::Options).byte] &= kOptionsKeepBit2;
}

// The page's controls in the order a refresh shows them: each group's box, then its lists.
constexpr ParameterBinding kBindings[] = {
    {kAttInitBox, Parameter::Options, CheckBox(), kOptionsKeepBit2, FieldRule::kReversed, kAttInitShows, 0,
     KeepAttInitTicked},
    {kAttInitList, Parameter::AttInit, Numbers(256, "%ld")},
    {kAttMaxIdleList, Parameter::AttMax_BJ, Numbers(256, "+%ld")},
    {kAttMinIdleList, Parameter::AttMin_BJ, Numbers(256, "-%ld")},
    {kAttMaxList, Parameter::AttMax, Numbers(256, "+%ld")},
    {kAttMinList, Parameter::AttMin, Numbers(256, "-%ld")},
    {kAccelerationBox, Parameter::Options, CheckBox(), kOptionsKeepBit3, FieldRule::kPosition, kAccelerationShows},
    {kAttJumpList, Parameter::AttJump, Numbers(256, "%ld")},
    {kTpsJumpList, Parameter::TPSJump, Fractions(51, "%ld,%ld", 0, 1, 10, 1)},
    {kCutOffBox, Parameter::Options, CheckBox(), kOptionsKeepBit5, FieldRule::kPosition, kCutOffShows},
    {kCutOffSpeedList, Parameter::CutOffRPMLo, Numbers(16, "%ld", kCutOffSpeedBase, 100)},
    {kCutOffStepsList, Parameter::CutOffSteps, Numbers(50, "%ld", 2, 2)},
    {kLpgOffBox, Parameter::Options, CheckBox(), kOptionsKeepBit6, FieldRule::kPosition, kLpgOffShows},
    {kLpgOffSpeedList, Parameter::LPGOffRPMLo, Numbers(41, "%ld", kLpgOffSpeedBase, 100)},
    {kLpgOnTempBox, Parameter::Options, CheckBox(), kOptionsKeepBit1, FieldRule::kPosition, kLpgOnTempShows},
    {kLpgOnTempList, Parameter::LPGOnTemp, Numbers(26, "%ld", 10, 2)},
    {kDrivingTypeList, Parameter::EmulType, Texts(lang::kDrivingEconomy, lang::kDrivingSport), kEmulTypeKeepDriving},
};
static_assert(SoundBindings(kBindings));

// Corrections dialog: the four nibbles of EmulDO_TimeHi and EmulDO_TimeLo, each list 16 even
// corrections from its most negative one; the nibble holds 15 - k.
constexpr ParameterBinding kCorrections[] = {
    {kHiLowCorrectionList, Parameter::EmulDO_TimeHi, Signed(16, -12, 2), kKeepHighNibble, FieldRule::kReversed},
    {kHiHighCorrectionList, Parameter::EmulDO_TimeHi, Signed(16, -10, 2), kKeepLowNibble, FieldRule::kReversed},
    {kLoLowCorrectionList, Parameter::EmulDO_TimeLo, Signed(16, -20, 2), kKeepHighNibble, FieldRule::kReversed},
    {kLoHighCorrectionList, Parameter::EmulDO_TimeLo, Signed(16, -16, 2), kKeepLowNibble, FieldRule::kReversed},
};
static_assert(SoundBindings(kCorrections));
constexpr int kCorrectionLabels[] = {kHiLowCorrectionLabel, kHiHighCorrectionLabel, kLoLowCorrectionLabel,
                                     kLoHighCorrectionLabel};
constexpr int kCorrectionsTimer = 2;

}  // namespace

// ---------------------------------------------------------------------------------------------
// The page

int OptionsPage::TemplateFor(int size_class) const {
  return kOptionsTemplates[ClampClass(size_class) - 1];
}

void OptionsPage::FillOptionsPage(Window& page) {
  for (const ParameterBinding& row : kBindings) FillList(page, Scope(), row);
}

void OptionsPage::LabelOptionsPage(Window& page) {
  for (int i = 0; i < OptionsPageLabelCount; ++i) {
    const LabelBinding& label = OptionsPageLabels[i];
    page.SetControlText(label.control_id, context_.texts.Text(label.slot));
  }
}

// Hidden lists are selected all the same; only their visibility follows the boxes.
void OptionsPage::RefreshOptionsPage(Window& page) {
  for (const ParameterBinding& row : kBindings) ShowStored(page, Scope(), row);
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
  if (OnBoundCommand(page, Scope(), context_.shared, kBindings, control_id, code)) return;
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

// ---------------------------------------------------------------------------------------------
// The corrections dialog

void OptionsSubDialog::FillOptionsSubDialog(Window& dialog) {
  const LanguageTable& texts = context_.texts;
  dialog.SetTitle(texts.Text(lang::kCorrectionsCaption));
  for (int i = 0; i < 4; ++i) {
    dialog.SetControlText(kCorrectionLabels[i], texts.Text(lang::kCorrectionHighSpeedLowLoad + i));
  }
  dialog.SetControlText(kCorrectionsOk, texts.Text(lang::kCorrectionsOkButton));
  for (const ParameterBinding& row : kCorrections) FillList(dialog, Scope(), row);
}

void OptionsSubDialog::RefreshOptionsSubDialog(Window& dialog) {
  for (const ParameterBinding& row : kCorrections) ShowStored(dialog, Scope(), row);
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
  OnBoundCommand(dialog, Scope(), context_.shared, kCorrections, control_id, code);
}

}  // namespace korvel
