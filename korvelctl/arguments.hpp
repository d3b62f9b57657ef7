#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace korvel::ctl {

enum class Command { kNone, kHelp, kIdentity, kSave, kLoad, kGet, kSet, kLive, kLearn, kReset, kPorts, kDiff, kRestorePoints };

// A parsed command line.
struct Arguments {
  Command command = Command::kNone;
  std::string port = "COM1";
  std::string file;        // save, load, diff (the first file)
  std::string other_file;  // diff: the second file; empty: the controller
  std::string link_port;   // ports --link: "COMn" to point at the controller found; empty: list only
  bool builtin_ports = false;  // ports --builtin: also ask the built-in ttyS* ports
  int parameter = -1;      // get, set: index in ParameterMap
  uint8_t value = 0;       // set
  // live
  uint32_t period_ms = 0;  // 0: follow the link (50 ms, 500 ms while the controller is silent)
  uint64_t count = 0;      // 0: until interrupted
  std::string csv;
};

// Parses argv[1..]; on failure returns false with the message in `error`.
bool ParseArguments(int argc, const char* const* argv, Arguments& arguments, std::string& error);

// The text of --help.
const char* HelpText();

}  // namespace korvel::ctl
