#pragma once
// The templates of the wiring-diagram page, the factory-reset page and the program-information box.
#include <span>

#include "pages/common/page_descriptor.hpp"
#include "resources/dialog_templates.hpp"

namespace korvel {

std::span<const DialogTemplate> ServiceTemplates();  // 132, 126, 103

// The wiring-diagram page's and the factory-reset page's entries for the main window's page table
// and menu bars.
extern const PageDescriptor kSchemaPage;
extern const PageDescriptor kResetPage;

}  // namespace korvel
