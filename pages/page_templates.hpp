#pragma once
// Every page's and dialog's template, found by id: what the main window creates a page from and
// what the tests walk. The templates themselves live in each page's folder.
#include "resources/dialog_templates.hpp"

namespace korvel {

// The template of `id`, or nullptr when no page has it.
const DialogTemplate* FindDialogTemplate(int id);

}  // namespace korvel
