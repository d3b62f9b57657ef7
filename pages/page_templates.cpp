#include "pages/page_templates.hpp"

#include "pages/configuration/configuration_controls.hpp"
#include "pages/options/options_controls.hpp"
#include "pages/oscilloscope/oscilloscope_controls.hpp"
#include "pages/readings/readings_controls.hpp"
#include "pages/service/service_templates.hpp"

namespace korvel {

const DialogTemplate* FindDialogTemplate(int id) {
  for (auto group : {ReadingsTemplates(), ConfigurationTemplates(), OptionsTemplates(), ServiceTemplates(),
                     OscilloscopeTemplates()}) {
    if (const DialogTemplate* dialog = FindTemplateIn(group, id)) return dialog;
  }
  return nullptr;
}

}  // namespace korvel
