#include "resources/templates_internal.hpp"

namespace korvel::templates {

std::span<const DialogTemplate> ConfigurationTemplates() { return {}; }

}  // namespace korvel::templates
