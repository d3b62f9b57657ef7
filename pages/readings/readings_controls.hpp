#pragma once
// The Readings page's template and controls, shared by the page procedure and its template. The
// page draws everything else itself.
#include <span>

#include "pages/common/page_descriptor.hpp"
#include "resources/dialog_templates.hpp"

namespace korvel {

// The page's template (readings_templates.cpp).
std::span<const DialogTemplate> ReadingsTemplates();

// The page's entry for the main window's page table and menu bars.
extern const PageDescriptor kReadingsPage;

constexpr int kReadingsTemplate = 101;

enum ReadingsControl : int {
  kLearnButtonId = 1005,  // starts the controller's learning cycle; the main window places it
  kReadingsUnusedEdit = 1006,  // a hidden edit field the page never uses
};

constexpr int kReadingsPollTimer = 1;

}  // namespace korvel
