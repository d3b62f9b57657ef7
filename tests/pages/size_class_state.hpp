#pragma once
// The whole presentation state of a size class at once, as the main window leaves it after
// creation and a paint: for page tests that run without the shell.
#include "pages/common/size_classes.hpp"

namespace korvel {

inline void ApplyClass(SharedState& s, int size_class) { ApplyWholeSizeClass(s, size_class); }

}  // namespace korvel
