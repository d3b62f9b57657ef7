// korvelctl's command line against arbitrary arguments (the input split at zero bytes). A command
// line that parses must give a whole, usable command (a known parameter, a port name that fits the
// link, live settings only for live) and must parse to the same thing when written out again in
// its plainest form; one that does not parse must say why.
#include <string>
#include <vector>

#include "korvelctl/arguments.hpp"
#include "link/controller_link.hpp"
#include "link/parameter_map.hpp"
#include "tests/fuzz/fuzz_support.hpp"

namespace {

using korvel::ctl::Arguments;
using korvel::ctl::Command;
using korvel::fuzz::Check;

bool Parse(const std::vector<std::string>& words, Arguments& arguments, std::string& error) {
  std::vector<const char*> argv{"korvelctl"};
  for (const std::string& w : words) argv.push_back(w.c_str());
  return korvel::ctl::ParseArguments(static_cast<int>(argv.size()), argv.data(), arguments, error);
}

const char* CommandName(Command command) {
  switch (command) {
    case Command::kIdentity: return "identity";
    case Command::kSave: return "save";
    case Command::kLoad: return "load";
    case Command::kGet: return "get";
    case Command::kSet: return "set";
    case Command::kLive: return "live";
    case Command::kLearn: return "learn";
    case Command::kReset: return "reset";
    case Command::kPorts: return "ports";
    case Command::kDiff: return "diff";
    case Command::kRestorePoints: return "restore-points";
    default: return nullptr;
  }
}

// The parsed command written out with every option in its "--name=value" form and the operands
// after "--".
std::vector<std::string> Plainest(const Arguments& a) {
  std::vector<std::string> words{"--port=" + a.port};
  if (a.period_ms != 0) words.push_back("--period=" + std::to_string(a.period_ms));
  if (a.count != 0) words.push_back("--count=" + std::to_string(a.count));
  if (!a.csv.empty()) words.push_back("--csv=" + a.csv);
  if (!a.link_port.empty()) words.push_back("--link=" + a.link_port);
  if (a.builtin_ports) words.push_back("--builtin");
  words.push_back("--");
  words.push_back(CommandName(a.command));
  if (a.command == Command::kSave || a.command == Command::kLoad || a.command == Command::kDiff) {
    words.push_back(a.file);
  }
  if (a.command == Command::kDiff && !a.other_file.empty()) words.push_back(a.other_file);
  if (a.command == Command::kGet || a.command == Command::kSet) words.push_back(korvel::ParameterMap[a.parameter].name);
  if (a.command == Command::kSet) words.push_back(std::to_string(a.value));
  return words;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> words(1);
  for (size_t i = 0; i < size && words.size() <= 16; ++i) {
    if (data[i] == '\0') {
      words.emplace_back();
    } else {
      words.back() += static_cast<char>(data[i]);
    }
  }

  Arguments parsed;
  std::string error;
  if (!Parse(words, parsed, error)) {
    Check(!error.empty(), "a refused command line without a message");
    return 0;
  }
  Check(error.empty(), "an accepted command line with an error message");
  if (parsed.command == Command::kHelp) return 0;
  Check(CommandName(parsed.command) != nullptr, "accepted without a command");

  Check(!parsed.port.empty() && parsed.port.size() < sizeof korvel::LinkState{}.port_name,
        "a port name the link cannot take");
  const bool has_parameter = parsed.command == Command::kGet || parsed.command == Command::kSet;
  Check(!has_parameter || (parsed.parameter >= 0 && parsed.parameter < korvel::kParameterCount),
        "get or set without a known parameter");
  const bool live_settings = parsed.period_ms != 0 || parsed.count != 0 || !parsed.csv.empty();
  Check(!live_settings || parsed.command == Command::kLive, "live settings accepted for another command");
  Check(parsed.period_ms <= 3600000, "a period beyond an hour");
  Check(parsed.link_port.empty() || parsed.command == Command::kPorts, "--link accepted for another command");
  Check(!parsed.builtin_ports || parsed.command == Command::kPorts, "--builtin accepted for another command");
  Check(parsed.command != Command::kDiff || !parsed.file.empty(), "diff without a file");

  Arguments again;
  Check(Parse(Plainest(parsed), again, error), "the plainest form of an accepted command line is refused");
  Check(again.command == parsed.command && again.port == parsed.port && again.file == parsed.file &&
            again.parameter == parsed.parameter && again.value == parsed.value &&
            again.period_ms == parsed.period_ms && again.count == parsed.count && again.csv == parsed.csv &&
            again.other_file == parsed.other_file && again.link_port == parsed.link_port &&
            again.builtin_ports == parsed.builtin_ports,
        "the plainest form parses to another command");
  return 0;
}
