#include "resources/templates_internal.hpp"

namespace korvel::templates {

std::span<const DialogTemplate> OptionsTemplates() { return {}; }

}  // namespace korvel::templates
