#pragma once
#include <cstdint>
#include <string>

#include "link/controller_link.hpp"
#include "link/parameter_map.hpp"

namespace korvel {

// The 31 expected strings of a configuration file: three header lines, then the 28 keys with "=".
constexpr int kExpectedStringCount = 31;
struct ExpectedStrings {
  char entries[kExpectedStringCount][30];
};
void BuildExpectedStrings(ExpectedStrings& strings);

// Saving writes a temporary file beside the target and renames it over the target, so an existing
// file is never truncated by a failed save. What is not a plain file (a terminal, a pipe, a device,
// /dev/stdout) is written where it is and never replaced; a pipe nobody reads is reported, not
// waited on. A writable file in a folder that takes no new file is overwritten in place.
struct SaveResult {
  bool ok;
  std::string error;  // what failed, for the message shown to the fitter
};
SaveResult SaveConfigurationFile(const ExpectedStrings& strings, const ControllerLink& link, const char* path);

enum class LoadStatus { kOk, kCannotOpen, kKeyMismatch };
struct LoadedConfiguration {
  LoadStatus status = LoadStatus::kCannotOpen;
  uint8_t values[kParameterCount] = {};
  std::string reason;  // for kKeyMismatch: which token was wrong or missing
};
// Reads and validates the file: a plain file only (anything else is kCannotOpen at once), the three
// header lines and the 28 keys exactly and in order, each followed by a decimal number within the
// signed 32-bit range (its low 8 bits are kept). Whatever follows the 28th value is not read.
// Nothing is sent to the controller.
LoadedConfiguration ReadConfigurationFile(const ExpectedStrings& strings, const char* path);

// Sends the 28 values in file order to their addresses; stops at the first write that does not
// return 3. Returns the index of the failed parameter, or -1 when all 28 were acknowledged.
int WriteConfiguration(ControllerLink& link, const uint8_t (&values)[kParameterCount]);

}  // namespace korvel
