#include "pages/service/reset_page.hpp"
#include "texts/text_slots.hpp"

#include "link/parameter_map.hpp"

namespace korvel {

namespace {

constexpr int kResetControlIds[3] = {kResetHeadingText, kResetExplanationText, kResetButton};
constexpr int kResetTextSlots[3] = {lang::kResetHeading, lang::kResetExplanation, lang::kResetButton};
// x, y, width, height of the three controls by size class, device pixels.
constexpr int kResetPlacement[5][3][4] = {
    {{65, 90, 800, 40}, {65, 130, 800, 40}, {85, 190, 450, 45}},
    {{150, 130, 800, 40}, {150, 170, 800, 40}, {120, 250, 550, 55}},
    {{250, 150, 800, 40}, {250, 200, 800, 40}, {150, 300, 700, 65}},
    {{360, 250, 800, 40}, {360, 300, 800, 40}, {220, 400, 800, 75}},
    {{360, 300, 800, 40}, {360, 350, 800, 40}, {220, 450, 800, 75}},
};
// The controller takes this long to restore its settings before it acknowledges.
constexpr uint32_t kFactoryResetDelayMs = 250;

}  // namespace

int ResetPage::TemplateFor(int size_class) const {
  (void)size_class;
  return kResetTemplate;
}

void ResetPage::RelabelInPlace(Window& page) {
  for (int i = 0; i < 3; ++i) page.SetControlText(kResetControlIds[i], context_.texts.Text(kResetTextSlots[i]));
}

bool ResetPage::PaintFromMainWindow(Window& page) {
  PlaceResetControls(page);
  return false;
}

void ResetPage::PlaceResetControls(Window& page) {
  const SharedState& shared = context_.shared;
  page.MoveWindow(0, 0, shared.page_width, shared.page_height);
  const int index = ClampClass(shared.SizeClass) - 1;
  for (int i = 0; i < 3; ++i) {
    const int* r = kResetPlacement[index][i];
    page.MoveControl(kResetControlIds[i], r[0], r[1], r[2], r[3]);
  }
}

void ResetPage::OnPaint(Window& page) {
  RelabelInPlace(page);
  PlaceResetControls(page);
}

void ResetPage::OnCommand(Window& page, int control_id, int code) {
  (void)code;
  if (control_id == kResetButton) RestoreFactorySettings(page);
}

void ResetPage::RestoreFactorySettings(Window& page) {
  ControllerLink& link = context_.link;
  // The page does not poll, so the identity may be stale: the fitter may have plugged in another
  // controller since a page last asked. Ask again right before the command, so that the factory
  // reset reaches only a controller that has just said it is of variant 2, and so that a port whose
  // device was unplugged and plugged back is closed and reopened by the identity failure rule.
  link.ReadIdentity();
  if (guard != nullptr) guard->BeforeFactoryReset();
  // The decision rests on acknowledgement byte 1 alone: clear it so that a write that was never
  // sent, or never answered, cannot pass for a confirmation.
  link.WriteAcknowledgement[1] = 0;
  link.state.WriteDelay = kFactoryResetDelayMs;
  link.WriteParameter(CommandAddress, kFactoryResetCommand);
  link.state.WriteDelay = 0;
  const bool confirmed = link.WriteAcknowledgement[1] == kFactoryResetCommand;
  context_.host.ShowMessageBox(&page, context_.texts.Text(confirmed ? lang::kResetConfirmed : lang::kResetNotConfirmed),
                               context_.texts.Text(lang::kResetCaption),
                               confirmed ? MessageIcon::kInformation : MessageIcon::kWarning, MessageButtons::kOk);
  if (guard != nullptr) guard->ReportIfNotKept(&page);
}

}  // namespace korvel
