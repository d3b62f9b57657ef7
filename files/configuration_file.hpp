#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "files/file_writing.hpp"
#include "link/controller_link.hpp"
#include "link/parameter_map.hpp"

namespace korvel {

// The 31 expected strings of a configuration file: three header lines, then the 28 keys with "=".
constexpr int kExpectedStringCount = 31;
struct ExpectedStrings {
  char entries[kExpectedStringCount][30];
};
void BuildExpectedStrings(ExpectedStrings& strings);

// Saves the 31 lines for the records as they are now, by ReplaceFileContents: an existing file is
// never truncated by a failed save.
Result SaveConfigurationFile(const ExpectedStrings& strings, const ControllerLink& link, const char* path);

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

// Sends the 28 values in file order to their addresses; stops at the first write the controller
// does not acknowledge whole. Returns the index of that parameter (the ones after it were not
// sent), or nothing when all 28 were acknowledged.
std::optional<int> WriteConfiguration(ControllerLink& link, const uint8_t (&values)[kParameterCount]);

}  // namespace korvel
