#pragma once
// Controls of the program-information box (template 103), shared by the box and its template.

namespace korvel {

constexpr int kAboutTemplate = 103;

enum AboutControl : int {
  kAboutProgramName = 1075,
  kAboutProgramVersionLabel = 1076,
  kAboutControllerVersionLabel = 1077,
  kControllerVersionId = 1125,  // the controller's firmware version, read on every tick
  kAboutCloseButton = 1,        // the dialog's OK
};

}  // namespace korvel
