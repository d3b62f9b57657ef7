#include "pages/service/about_dialog.hpp"
#include "texts/text_slots.hpp"

#include <cstdio>

namespace korvel {

namespace {

// Control texts set at every paint: program name, "program version", "controller version", Close.
constexpr int kLabelIds[4] = {kAboutProgramName, kAboutProgramVersionLabel, kAboutControllerVersionLabel,
                               kAboutCloseButton};
constexpr int kLabelSlots[4] = {lang::kAboutProgramName, lang::kAboutProgramVersion, lang::kAboutControllerVersion,
                               lang::kAboutCloseButton};

}  // namespace

VersionText ControllerVersionText(uint32_t variant, uint32_t firmware_version) {
  // Single precision on purpose: the read-out is the one the fitters know.
  const float version = static_cast<float>(variant * 100 + firmware_version) / 100.0f;
  VersionText out{};
  std::snprintf(out.text, sizeof out.text, "%.2f", static_cast<double>(version));
  return out;
}

bool AboutDialog::OnInitDialog(Window& dialog) {
  // Centred on the screen, halves truncated toward zero.
  const Size size = dialog.GetWindowSize();
  const int x = (context_.shared.screen_width - size.width) / 2;
  const int y = (context_.shared.screen_height - size.height) / 2;
  dialog.MoveWindow(x, y, size.width, size.height);
  // The period in force now stays for the life of the box.
  dialog.SetTimer(kAboutTimer, context_.link.state.poll_period);
  return true;
}

void AboutDialog::OnPaint(Window& dialog) {
  dialog.SetTitle(context_.texts.Text(lang::kAboutTitle));
  for (int i = 0; i < 4; ++i) dialog.SetControlText(kLabelIds[i], context_.texts.Text(kLabelSlots[i]));
}

void AboutDialog::OnTimer(Window& dialog, int timer_id) {
  if (timer_id == kAboutTimer) ShowControllerVersion(dialog);
}

void AboutDialog::ShowControllerVersion(Window& dialog) {
  ControllerLink& link = context_.link;
  link.ReadIdentity();
  if (!link.Connected()) {
    dialog.SetControlText(kControllerVersionId, context_.texts.Text(lang::kAboutNoConnection));
  } else if (link.GetControllerVariant() == 2) {
    const VersionText version = ControllerVersionText(link.state.variant, link.state.firmware_version);
    dialog.SetControlText(kControllerVersionId, version.text);
  } else {
    dialog.SetControlText(kControllerVersionId, context_.texts.Text(lang::kAboutWrongController));
  }
}

void AboutDialog::OnCommand(Window& dialog, int control_id, int code) {
  (void)code;
  if (control_id != kIdOk && control_id != kIdCancel) return;
  dialog.KillTimer(kAboutTimer);
  context_.shared.BusyFlag = false;
  dialog.EndDialog(control_id);
}

}  // namespace korvel
