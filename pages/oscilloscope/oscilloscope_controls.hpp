#pragma once
// Named controls of the Oscilloscope page, shared by its procedure and its template.
#include <span>

#include "pages/common/page_descriptor.hpp"
#include "resources/dialog_templates.hpp"

namespace korvel {

// The page's template (oscilloscope_templates.cpp).
std::span<const DialogTemplate> OscilloscopeTemplates();

// The page's entry for the main window's page table and menu bars.
extern const PageDescriptor kOscilloscopePage;

constexpr int kOscilloscopeTemplate = 159;
constexpr int kScopePollTimer = 1;

enum ScopeControl : int {
  kPwaTraceCheck = 1068,      // "PWA": the AttInit trace on or off (not in template 159)
  kValueCursorCheck = 1071,   // freezes the sweep and shows the value cursor
  kCursorScrollBar = 1117,    // moves the value cursor over the recorded sweep
};

}  // namespace korvel
