#pragma once
// Controls of the factory-reset page (template 126), shared by the page and its template.

namespace korvel {

constexpr int kResetTemplate = 126;

enum ResetControl : int {
  kResetHeadingText = 1104,
  kResetExplanationText = 1105,
  kResetButton = 126,
};

}  // namespace korvel
