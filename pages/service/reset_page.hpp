#pragma once
#include "pages/common/page_context.hpp"
#include "pages/common/parameter_change_guard.hpp"
#include "pages/common/page_procedure.hpp"
#include "pages/service/reset_controls.hpp"

namespace korvel {

// The factory-reset page: one button that sends the factory-reset command and tells the fitter
// whether the controller confirmed it. It has no timer and does not poll.
class ResetPage : public PageProcedure {
 public:
  explicit ResetPage(PageContext& context) : context_(context) {}

  int TemplateFor(int size_class) const override;
  bool KeptAcrossRebuilds() const override { return true; }
  void RelabelInPlace(Window& page) override;
  bool PaintFromMainWindow(Window& page) override;

  void OnPaint(Window& page) override;
  void OnCommand(Window& page, int control_id, int code) override;

  // Sizes the page to the page of the size class and places its three controls for the class.
  void PlaceResetControls(Window& page);
  // Sends the factory-reset command with the 250 ms acknowledgement delay and shows the outcome.
  void RestoreFactorySettings(Window& page);

  // Keeps the parameters before the reset; may be null.
  ParameterChangeGuard* guard = nullptr;

 private:
  PageContext& context_;
};

}  // namespace korvel
