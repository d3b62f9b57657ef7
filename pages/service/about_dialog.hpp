#pragma once
#include <cstdint>

#include "pages/common/page_context.hpp"
#include "pages/service/about_controls.hpp"
#include "platform/window.hpp"

namespace korvel {

constexpr int kAboutTimer = 2;

// The controller version as the box shows it: (V * 100 + F) / 100 in single precision, "%.2f".
struct VersionText {
  char text[16];
};
VersionText ControllerVersionText(uint32_t variant, uint32_t firmware_version);

// The modal program-information box (template 103). While it is open it polls the controller's
// identity on its own timer, and the page timers stand still (BusyFlag, set by the main window).
class AboutDialog : public WindowProc {
 public:
  explicit AboutDialog(PageContext& context) : context_(context) {}

  bool OnInitDialog(Window& dialog) override;
  void OnPaint(Window& dialog) override;
  void OnTimer(Window& dialog, int timer_id) override;
  void OnCommand(Window& dialog, int control_id, int code) override;

  // One tick: asks the controller who it is and shows its version.
  void ShowControllerVersion(Window& dialog);

 private:
  PageContext& context_;
};

}  // namespace korvel
