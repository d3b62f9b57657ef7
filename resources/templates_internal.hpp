#pragma once
// The dialog template tables, one group per file; dialog_templates.cpp looks them up.
#include <span>

#include "resources/dialog_templates.hpp"

namespace korvel::templates {

std::span<const DialogTemplate> ReadingsTemplates();       // 101
std::span<const DialogTemplate> ConfigurationTemplates();  // 106, 157, 145, 151, 150
std::span<const DialogTemplate> OptionsTemplates();        // 152, 125, 153, 154, 156, 170
std::span<const DialogTemplate> ServiceTemplates();        // 159, 132, 126, 103

}  // namespace korvel::templates
