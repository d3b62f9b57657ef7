#include "resources/templates_internal.hpp"

namespace korvel::templates {

std::span<const DialogTemplate> ServiceTemplates() { return {}; }

}  // namespace korvel::templates
