#pragma once
#include <cstdint>

#include "pages/common/page_context.hpp"
#include "pages/common/page_procedure.hpp"
#include "pages/common/parameter_binding.hpp"
#include "platform/window.hpp"

namespace korvel {

constexpr int kConfigurationPollTimer = 1;

// Lasting state of the Configuration page.
struct ConfigurationState {
  uint8_t ShownLambdaRange = 0;  // the range the LambdaPoint list (1013) was last built for
};

// Template of the Configuration page for a size class: 106, 157, 145, 151, 150.
int ConfigurationTemplateFor(int size_class);

// The Configuration page procedure.
class ConfigurationPage : public PageProcedure {
 public:
  ConfigurationPage(PageContext& context, ConfigurationState& state) : context_(context), state_(state) {}

  int TemplateFor(int size_class) const override { return ConfigurationTemplateFor(size_class); }
  void Build(Window& page) override {
    FillConfigurationPage(page);
    LabelConfigurationPage(page);
  }
  // After a language change the labels come first.
  void BuildForLanguage(Window& page) override {
    LabelConfigurationPage(page);
    FillConfigurationPage(page);
  }

  void FillConfigurationPage(Window& page);
  void LabelConfigurationPage(Window& page);
  void RefreshConfigurationPage(Window& page);

  bool OnInitDialog(Window& page) override;
  void OnPaint(Window& page) override;
  void OnTimer(Window& page, int timer_id) override;
  void OnCommand(Window& page, int control_id, int code) override;

 private:
  // The threshold list and its writes follow the lambda range it was built for.
  BindingScope Scope() const { return {context_.link, context_.texts, state_.ShownLambdaRange}; }

  PageContext& context_;
  ConfigurationState& state_;
};

}  // namespace korvel
