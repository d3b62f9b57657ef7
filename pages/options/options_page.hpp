#pragma once
#include "pages/common/page_context.hpp"
#include "pages/common/page_procedure.hpp"
#include "pages/common/parameter_binding.hpp"
#include "pages/options/options_controls.hpp"
#include "platform/window.hpp"

namespace korvel {

// The modal corrections dialog of the Options page (template 170): the four emulation-time
// corrections packed in EmulDO_TimeHi and EmulDO_TimeLo. While it is open it polls the identity
// and the configuration on its own timer 2, and the Options page underneath stands still
// (SubDialogOpen).
class OptionsSubDialog : public WindowProc {
 public:
  explicit OptionsSubDialog(PageContext& context) : context_(context) {}

  void FillOptionsSubDialog(Window& dialog);
  void RefreshOptionsSubDialog(Window& dialog);

  bool OnInitDialog(Window& dialog) override;
  void OnPaint(Window& dialog) override;
  void OnTimer(Window& dialog, int timer_id) override;
  void OnCommand(Window& dialog, int control_id, int code) override;

 private:
  BindingScope Scope() const { return {context_.link, context_.texts}; }

  PageContext& context_;
};

// The Options page: attenuation limits, cut-off, LPG off, LPG-on temperature and driving type.
// It keeps no state of its own: every refresh shows the link's records, and the only flags it
// uses are the shared ones.
class OptionsPage : public PageProcedure {
 public:
  explicit OptionsPage(PageContext& context) : context_(context), sub_dialog_(context) {}

  int TemplateFor(int size_class) const override;
  void Build(Window& page) override {
    FillOptionsPage(page);
    LabelOptionsPage(page);
  }

  void FillOptionsPage(Window& page);
  void LabelOptionsPage(Window& page);
  void RefreshOptionsPage(Window& page);

  bool OnInitDialog(Window& page) override;
  void OnPaint(Window& page) override;
  void OnTimer(Window& page, int timer_id) override;
  void OnCommand(Window& page, int control_id, int code) override;

 private:
  BindingScope Scope() const { return {context_.link, context_.texts}; }
  void RunCorrectionsDialog(Window& page);

  PageContext& context_;
  OptionsSubDialog sub_dialog_;
};

}  // namespace korvel
