#pragma once
#include "platform/window.hpp"

namespace korvel {

// What a page calls around a command that overwrites the controller's parameters for good, so
// that the set before it can be brought back (the window program keeps a restore point).
class ParameterChangeGuard {
 public:
  virtual ~ParameterChangeGuard() = default;
  // Right before the factory-reset command is sent.
  virtual void BeforeFactoryReset() = 0;
  // After the command's own message: says, owned by `owner`, why nothing was kept, if so.
  virtual void ReportIfNotKept(Window* owner) = 0;
};

}  // namespace korvel
