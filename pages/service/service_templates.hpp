#pragma once
// The templates of the wiring-diagram page, the factory-reset page and the program-information box.
#include <span>

#include "resources/dialog_templates.hpp"

namespace korvel {

std::span<const DialogTemplate> ServiceTemplates();  // 132, 126, 103

}  // namespace korvel
