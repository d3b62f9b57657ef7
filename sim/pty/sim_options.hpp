#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "sim/controller_model.hpp"

namespace korvel::sim {

// One --set KEY=VALUE: the parameter's write address and the byte it starts with.
struct ParameterSetting {
  int address = 0;
  uint8_t value = 0;
};

// What korvel-sim was asked for on its command line.
struct SimOptions {
  std::string link_path;       // --link: symlink to the device, replaced when stale
  EngineSettings engine;       // --scenario, --seed, --ambient, --warmup
  bool warm = false;           // --warm
  double fast_forward_s = 0.0; // --fast-forward
  bool wire_timing = false;    // --wire-timing
  double turnaround_ms = 0.0;  // --turnaround
  double adapter_latency_ms = 0.0;  // --adapter-latency
  int variant = kDefaultVariant;
  int firmware = kDefaultFirmwareVersion;
  std::vector<ParameterSetting> parameters;  // --set, in the order given
  Faults faults;               // --silence, --bad-checksum, ...
  bool log = false;            // --log
  std::string replay_path;     // --replay: a `korvelctl live --csv` log to answer live data from
  bool replay_loop = false;    // --loop: start the recorded drive again at its end
  std::string config_path;     // --config: a *.kvs file with the 28 parameters to hold
  bool help = false;           // --help
};

// Parses the command line; false with a message in `error` when it cannot be understood.
bool ParseSimOptions(int argc, const char* const* argv, SimOptions& options, std::string& error);

// The text of --help.
const char* SimHelpText();

// Puts the options that concern the controller into a model built from options.engine.
void ApplySimOptions(const SimOptions& options, ControllerModel& model);

// One line about the controller and its faults, for the "status" command.
std::string StatusLine(const ControllerModel& model);

// A command typed on korvel-sim's standard input while it serves ("noise 3", "slow on", ...).
// Changes the model and tells what happened (or why the command was not understood). Unplug and
// replug come back as requests for the server in `plug_request`: -1 unplug, +1 replug, 0 none.
std::string RunSimCommand(const std::string& line, ControllerModel& model, int& plug_request,
                          bool& quit);

}  // namespace korvel::sim
