#include "sim/pty/sim_options.hpp"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string_view>
#include <vector>

#include "link/conversions.hpp"
#include "link/live_data.hpp"
#include "link/parameter_map.hpp"

namespace korvel::sim {

namespace {

constexpr char kHelp[] =
    "Usage: korvel-sim [options]\n"
    "\n"
    "Simulates the LPG injection controller on a pseudo-terminal. The first line on standard\n"
    "output is the device to open (for example /dev/pts/4); point the service tool's port at it,\n"
    "or use --link to give it a stable name (the run script maps bin/ports/COM1 this way).\n"
    "korvel-sim serves until it receives SIGINT (Ctrl+C) or SIGTERM; then it removes its link.\n"
    "The tool may close and reopen the port at any time (it does so every 500 ms while the\n"
    "controller is silent); the simulator keeps serving.\n"
    "\n"
    "  --version            print the version and the source revision\n"
    "\n"
    "Device:\n"
    "  --link PATH          make PATH a symlink to the device (parent folders are created; an old\n"
    "                       symlink there is replaced, anything else is left alone and is an error)\n"
    "  --log                print every frame received and every reply, one line each:\n"
    "                       seconds since start, rx/tx, the bytes in hex, and a note when the\n"
    "                       controller stays silent\n"
    "\n"
    "Controller:\n"
    "  --variant N          controller variant 1..8 (default 2; the tool works with 2 only)\n"
    "  --firmware N         firmware version 0..31 (default 5; identity byte 2 = 0x25)\n"
    "  --set KEY=VALUE      start with parameter KEY (a configuration-file key such as Options or\n"
    "                       AttMax) holding VALUE, 0..255 or 0x00..0xFF; may be repeated\n"
    "\n"
    "Engine:\n"
    "  --scenario NAME      drive   cold start, idle near 800 rpm, revs to about 3500 rpm and now\n"
    "                               and then past the LPG-off speed, decelerations (default)\n"
    "                       idle    cold start, idle only (no switch-over: below the LPG-on speed)\n"
    "                       cruise  idle for 8 s, then a steady 2600 rpm (switches to LPG once warm)\n"
    "                       stopped ignition on, engine not turning (no speed)\n"
    "  --seed N             seed of the engine's randomness (default 1; same seed, same engine)\n"
    "  --ambient DEG        ambient temperature in degrees Celsius (default 18)\n"
    "  --warmup SEC         seconds from ambient to operating temperature, about 85 degrees\n"
    "                       (default 240)\n"
    "  --warm               start with the engine at operating temperature\n"
    "  --fast-forward SEC   run the engine and the controller SEC seconds ahead before serving\n"
    "\n"
    "Line timing:\n"
    "  --wire-timing        emulate 9600 baud: every byte takes about 1.04 ms each way\n"
    "  --turnaround MS      the controller waits MS milliseconds (fractions allowed) between a\n"
    "                       request and its reply (default 0)\n"
    "  --adapter-latency MS the tool's USB serial adapter hands received bytes on in batches, MS\n"
    "                       milliseconds after the first byte of each (a latency timer; default\n"
    "                       0: every byte at once; common adapters default to 16)\n"
    "\n"
    "Faults (all can also be switched while running, see below):\n"
    "  --silence            no answer to any frame\n"
    "  --bad-checksum F     a share F (0..1) of the polled replies carries a wrong checksum\n"
    "  --short-replies N    polled replies lose their last N bytes\n"
    "  --noise N            N random bytes (never 0x65) on the line ahead of every reply\n"
    "  --other-variant      the identity reply reports variant 3\n"
    "  --no-ack             writes are taken but not acknowledged\n"
    "  --short-ack          acknowledgements stop after two bytes\n"
    "  --slow               every reply starts 100 ms after the reader's time-out\n"
    "  --late F             a share F (0..1) of the replies of every kind comes one to three of\n"
    "                       the reader's time-outs late, between or inside later exchanges\n"
    "  --late-sums-right    a late reply running straight into the next reply is bent so that\n"
    "                       the next reader's bytes (late bytes first) still sum right\n"
    "\n"
    "Replay of a recorded drive:\n"
    "  --replay LOG.csv     answer live-data requests with the ticks of a log that\n"
    "                       `korvelctl live --csv` wrote, at their recorded pace (rows the\n"
    "                       controller did not answer are skipped); a log that is not such a\n"
    "                       file is refused with its line number\n"
    "  --loop               start the drive again when the log is over (otherwise its last\n"
    "                       values stay on the line)\n"
    "  --config FILE.kvs    hold the 28 parameters of a configuration file instead of the\n"
    "                       factory set (the second input is read back by its LambdaType)\n"
    "\n"
    "Commands on standard input while serving, one per line:\n"
    "  silence on|off       bad-checksum F      short-replies N     noise N\n"
    "  other-variant on|off no-ack on|off       short-ack on|off    slow on|off\n"
    "  late F               late-sums-right on|off\n"
    "  unplug               the device disappears (the tool's open handle dies; the link, if\n"
    "                       any, dangles)\n"
    "  replug               a new device appears (its path is printed; the link follows it)\n"
    "  clear                every fault off (a missing device is replugged)\n"
    "  wire-timing on|off   turnaround MS       adapter-latency MS  variant N\n"
    "  firmware N\n"
    "  warm                 engine to operating temperature at once\n"
    "  fast-forward SEC     run the engine SEC seconds ahead\n"
    "  learn                start a learning cycle (as command 50 does)\n"
    "  reset                factory settings (as command 51 does)\n"
    "  status               one line about the engine, the controller and the faults\n"
    "  help                 this list          quit                 stop serving\n"
    "Without a terminal, SIGUSR1 unplugs the device and SIGUSR2 plugs it back.\n"
    "\n"
    "Factory settings: 0-1 V probe, switch point 0.44 V; LPG on at 40 degrees and 2300 rpm;\n"
    "cut-off active from 1500 rpm; LPG off above 5500 rpm; Att 128, limits +-40 (idle +-20).\n";

bool ParseInt(const char* text, long low, long high, long& value) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (errno != 0 || *end != '\0' || v < low || v > high) return false;
  value = v;
  return true;
}

bool ParseDouble(const char* text, double low, double high, double& value) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(text, &end);
  if (errno != 0 || *end != '\0' || !(v >= low && v <= high)) return false;
  value = v;
  return true;
}

// "KEY=VALUE" of --set: a parameter's configuration-file key and a byte, decimal or 0x hex.
bool ParseParameterSetting(const char* text, ParameterSetting& setting) {
  if (text == nullptr) return false;
  const char* equals = std::strchr(text, '=');
  if (equals == nullptr) return false;
  const std::string key(text, static_cast<size_t>(equals - text));
  const int index = FindParameter(key.c_str());
  if (index < 0) return false;
  const char* value = equals + 1;
  long n = 0;
  const bool hex = value[0] == '0' && (value[1] == 'x' || value[1] == 'X');
  if (hex) {
    const char* digits = value + 2;
    const size_t count = std::strlen(digits);
    if (count == 0 || count > 2 || std::strspn(digits, "0123456789abcdefABCDEF") != count) return false;
    n = std::strtol(digits, nullptr, 16);
  } else if (!ParseInt(value, 0, 255, n)) {
    return false;
  }
  setting.address = ParameterMap[index].address;
  setting.value = static_cast<uint8_t>(n);
  return true;
}

bool ParseOnOff(const std::string& word, bool& value) {
  if (word == "on" || word == "1") {
    value = true;
    return true;
  }
  if (word == "off" || word == "0") {
    value = false;
    return true;
  }
  return false;
}

// The line faults by the names that the command line (--NAME [VALUE]), the command input
// (NAME [VALUE]) and the status line give them: a fault switched on or off, a share of replies
// (0 to 1) or a number of bytes (0 to `most`). One of the three members is set.
struct FaultSetting {
  const char* name;
  bool Faults::*flag;
  double Faults::*share;
  int Faults::*bytes;
  long most;
};
constexpr FaultSetting kFaultSettings[] = {
    {"silence", &Faults::silence, nullptr, nullptr, 0},
    {"bad-checksum", nullptr, &Faults::bad_checksum_fraction, nullptr, 0},
    {"short-replies", nullptr, nullptr, &Faults::short_reply_missing, 16},
    {"noise", nullptr, nullptr, &Faults::noise_bytes, 32},
    {"other-variant", &Faults::other_variant, nullptr, nullptr, 0},
    {"no-ack", &Faults::no_acknowledgement, nullptr, nullptr, 0},
    {"short-ack", &Faults::short_acknowledgement, nullptr, nullptr, 0},
    {"slow", &Faults::slow_replies, nullptr, nullptr, 0},
    {"late", nullptr, &Faults::late_reply_fraction, nullptr, 0},
    {"late-sums-right", &Faults::late_reply_sums_right, nullptr, nullptr, 0},
};

const FaultSetting* FindFaultSetting(const std::string& name) {
  for (const FaultSetting& setting : kFaultSettings) {
    if (name == setting.name) return &setting;
  }
  return nullptr;
}

// Sets a share or a number of bytes from its text; false (and nothing set) when it is not one.
bool SetFaultValue(const FaultSetting& setting, const char* text, Faults& faults) {
  if (setting.share != nullptr) {
    double d = 0.0;
    if (!ParseDouble(text, 0.0, 1.0, d)) return false;
    faults.*setting.share = d;
    return true;
  }
  long n = 0;
  if (!ParseInt(text, 0, setting.most, n)) return false;
  faults.*setting.bytes = static_cast<int>(n);
  return true;
}

// How a setting takes its value. An action and a switch take none on the command line (the
// option turns them on); on the command input an action is done at once whatever follows, and a
// switch takes on|off (none: on). A number is whole or has fractions, within [low, high].
enum class SettingKind { kAction, kSwitch, kInteger, kDecimal };

// Where the command line keeps a setting until the model is built: one of the three is set.
struct OptionField {
  constexpr OptionField(bool SimOptions::*field) : flag(field) {}
  constexpr OptionField(int SimOptions::*field) : whole(field) {}
  constexpr OptionField(double SimOptions::*field) : decimal(field) {}
  bool SimOptions::*flag = nullptr;
  int SimOptions::*whole = nullptr;
  double SimOptions::*decimal = nullptr;

  void Set(SimOptions& options, double value) const {
    if (flag != nullptr) options.*flag = value != 0.0;
    if (whole != nullptr) options.*whole = static_cast<int>(value);
    if (decimal != nullptr) options.*decimal = value;
  }
  double Get(const SimOptions& options) const {
    if (flag != nullptr) return options.*flag ? 1.0 : 0.0;
    if (whole != nullptr) return options.*whole;
    return options.*decimal;
  }
};

uint32_t Microseconds(double ms) { return static_cast<uint32_t>(ms * 1000.0 + 0.5); }

// The controller's and the line's settings that the command line (--NAME [VALUE]) and the command
// input (NAME [VALUE]) both take: the command line keeps the value in `option`, a command puts it
// into the running model at once, and `apply` is what it does to the controller either way. A new
// model gets them in this order (the engine is warmed before it runs ahead).
struct ControllerSetting {
  const char* name;
  SettingKind kind;
  double low;
  double high;
  OptionField option;
  void (*apply)(ControllerModel& model, double value);
};
constexpr ControllerSetting kControllerSettings[] = {
    {"variant", SettingKind::kInteger, 1, 8, &SimOptions::variant,
     [](ControllerModel& model, double n) { model.SetVariant(static_cast<int>(n)); }},
    {"firmware", SettingKind::kInteger, 0, 31, &SimOptions::firmware,
     [](ControllerModel& model, double n) { model.SetFirmwareVersion(static_cast<int>(n)); }},
    {"wire-timing", SettingKind::kSwitch, 0, 1, &SimOptions::wire_timing,
     [](ControllerModel& model, double on) { model.wire.enabled = on != 0.0; }},
    {"turnaround", SettingKind::kDecimal, 0.0, 10000.0, &SimOptions::turnaround_ms,
     [](ControllerModel& model, double ms) { model.wire.turnaround_us = Microseconds(ms); }},
    {"adapter-latency", SettingKind::kDecimal, 0.0, 1000.0, &SimOptions::adapter_latency_ms,
     [](ControllerModel& model, double ms) { model.wire.adapter_latency_us = Microseconds(ms); }},
    {"warm", SettingKind::kAction, 0, 1, &SimOptions::warm,
     [](ControllerModel& model, double on) { if (on != 0.0) model.MakeEngineWarm(); }},
    {"fast-forward", SettingKind::kDecimal, 0.0, 86400.0, &SimOptions::fast_forward_s,
     [](ControllerModel& model, double s) { model.FastForward(static_cast<uint64_t>(s * 1000.0)); }},
};

const ControllerSetting* FindControllerSetting(const std::string& name) {
  for (const ControllerSetting& setting : kControllerSettings) {
    if (name == setting.name) return &setting;
  }
  return nullptr;
}

bool TakesNumber(const ControllerSetting& setting) {
  return setting.kind == SettingKind::kInteger || setting.kind == SettingKind::kDecimal;
}

// A setting's number from its text; false when it is not one within the setting's range.
bool ParseSettingNumber(const ControllerSetting& setting, const char* text, double& value) {
  if (setting.kind == SettingKind::kDecimal) return ParseDouble(text, setting.low, setting.high, value);
  long n = 0;
  if (!ParseInt(text, static_cast<long>(setting.low), static_cast<long>(setting.high), n)) return false;
  value = static_cast<double>(n);
  return true;
}

// A switch on the command input: "on" or "off" (or 1 and 0), on when no word follows.
bool ReadSwitch(const char* word, bool& on) {
  if (word == nullptr) {
    on = true;
    return true;
  }
  return ParseOnOff(word, on);
}

// The value a command gives a setting; false when the command's word does not fit the setting.
bool ReadCommandValue(const ControllerSetting& setting, const char* word, double& value) {
  bool on = true;
  switch (setting.kind) {
    case SettingKind::kAction:
      value = 1.0;
      return true;
    case SettingKind::kSwitch:
      if (!ReadSwitch(word, on)) return false;
      value = on ? 1.0 : 0.0;
      return true;
    case SettingKind::kInteger:
    case SettingKind::kDecimal:
      break;
  }
  return ParseSettingNumber(setting, word, value);
}

// Whether the help text lists `name` both as an option ("  --NAME") and, below the heading of
// the commands, as a command (" NAME"), each followed by a space or the end of the line.
constexpr bool HelpLists(std::string_view name) {
  const std::string_view help(kHelp);
  const auto listed = [&](std::string_view lead, size_t from) {
    for (size_t at = help.find(lead, from); at != std::string_view::npos; at = help.find(lead, at + 1)) {
      const size_t end = at + lead.size() + name.size();
      if (end < help.size() && help.substr(at + lead.size(), name.size()) == name &&
          (help[end] == ' ' || help[end] == '\n')) {
        return true;
      }
    }
    return false;
  };
  return listed("  --", 0) && listed(" ", help.find("Commands on standard input"));
}

constexpr bool HelpListsEverySetting() {
  for (const FaultSetting& setting : kFaultSettings) {
    if (!HelpLists(setting.name)) return false;
  }
  for (const ControllerSetting& setting : kControllerSettings) {
    if (!HelpLists(setting.name)) return false;
  }
  return true;
}
static_assert(HelpListsEverySetting(), "every setting of the command line and the command input is in kHelp");

std::string FaultList(const Faults& f) {
  std::string text;
  char buffer[48];
  for (const FaultSetting& setting : kFaultSettings) {
    if (setting.flag != nullptr && f.*setting.flag) {
      text += std::string(" ") + setting.name;
    } else if (setting.share != nullptr && f.*setting.share > 0.0) {
      std::snprintf(buffer, sizeof buffer, " %s %.2f", setting.name, f.*setting.share);
      text += buffer;
    } else if (setting.bytes != nullptr && f.*setting.bytes > 0) {
      std::snprintf(buffer, sizeof buffer, " %s %d", setting.name, f.*setting.bytes);
      text += buffer;
    }
  }
  if (f.unplugged) text += " unplugged";
  return text.empty() ? " none" : text;
}

}  // namespace

const char* SimHelpText() { return kHelp; }

bool ParseSimOptions(int argc, const char* const* argv, SimOptions& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const std::string name = arg.rfind("--", 0) == 0 ? arg.substr(2) : std::string();
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    long n = 0;
    double d = 0.0;
    bool used_value = true;
    bool ok = true;
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      used_value = false;
    } else if (arg == "--log") {
      options.log = true;
      used_value = false;
    } else if (arg == "--replay" || arg == "--config") {
      ok = value != nullptr && *value != '\0';
      if (ok) (arg == "--replay" ? options.replay_path : options.config_path) = value;
    } else if (arg == "--loop") {
      options.replay_loop = true;
      used_value = false;
    } else if (arg == "--link") {
      ok = value != nullptr && *value != '\0';
      if (ok) options.link_path = value;
    } else if (arg == "--set") {
      ParameterSetting setting;
      ok = ParseParameterSetting(value, setting);
      if (ok) options.parameters.push_back(setting);
    } else if (arg == "--scenario") {
      ok = value != nullptr && ParseScenario(value, options.engine.scenario);
    } else if (arg == "--seed") {
      ok = ParseInt(value, 0, 2147483647L, n);
      options.engine.seed = static_cast<uint64_t>(n);
    } else if (arg == "--ambient") {
      ok = ParseDouble(value, -30.0, 45.0, d);
      options.engine.ambient_c = d;
    } else if (arg == "--warmup") {
      ok = ParseDouble(value, 1.0, 36000.0, d);
      options.engine.warmup_s = d;
    } else if (const ControllerSetting* setting = FindControllerSetting(name)) {
      double number = 1.0;  // an action or a switch named on the command line is on
      used_value = TakesNumber(*setting);
      ok = !used_value || ParseSettingNumber(*setting, value, number);
      if (ok) setting->option.Set(options, number);
    } else if (const FaultSetting* fault = FindFaultSetting(name)) {
      if (fault->flag != nullptr) {
        options.faults.*fault->flag = true;
        used_value = false;
      } else {
        ok = SetFaultValue(*fault, value, options.faults);
      }
    } else {
      error = "unknown option '" + arg + "' (see --help)";
      return false;
    }
    if (!ok) {
      error = "option " + arg + (value != nullptr ? " has a bad value '" + std::string(value) + "'"
                                                  : " needs a value") + " (see --help)";
      return false;
    }
    if (used_value) ++i;
  }
  return true;
}

void ApplySimOptions(const SimOptions& options, ControllerModel& model) {
  for (const ParameterSetting& setting : options.parameters) model.SetParameter(setting.address, setting.value);
  model.faults = options.faults;
  for (const ControllerSetting& setting : kControllerSettings) setting.apply(model, setting.option.Get(options));
}

std::string StatusLine(const ControllerModel& model) {
  const auto live = model.LiveDataReply();
  char text[384];
  std::snprintf(text, sizeof text,
                "up %.1f s, %s, %u rpm, %d degrees, %s%s%s%s, indicator 0x%02X state 0x%02X, "
                "variant %d firmware %d, wire timing %s turnaround %.1f ms adapter latency %.1f ms, faults:%s",
                static_cast<double>(model.UptimeMs()) / 1000.0, ScenarioName(model.engine().settings().scenario),
                live[kPeriodHi] == 255 ? 0u : EngineSpeedFromPeriod(live[kPeriodHi], live[kPeriodLo]),
                TemperatureFromRaw(live[kTempRaw]), model.OnLpg() ? "LPG" : "petrol",
                model.LpgOffActive() ? ", LPG off" : "", model.CutOffActive() ? ", cut-off" : "",
                model.Learning() == LearningState::kRunning ? ", learning" : "", live[kIndicatorFlags],
                live[kStateFlags], model.Variant(), model.FirmwareVersion(), model.wire.enabled ? "on" : "off",
                model.wire.turnaround_us / 1000.0, model.wire.adapter_latency_us / 1000.0,
                FaultList(model.faults).c_str());
  return text;
}

std::string RunSimCommand(const std::string& line, ControllerModel& model, int& plug_request, bool& quit) {
  plug_request = 0;
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  if (words.empty()) return "";
  const std::string& cmd = words[0];
  const char* arg = words.size() > 1 ? words[1].c_str() : nullptr;
  const std::string bad = "cannot do '" + line + "' (type help)";

  if (cmd == "help") return SimHelpText();
  if (cmd == "status") return StatusLine(model);
  if (cmd == "quit" || cmd == "exit") {
    quit = true;
    return "stopping";
  }
  if (cmd == "unplug") {
    plug_request = -1;
    return "unplugged";
  }
  if (cmd == "replug") {
    plug_request = +1;
    return "replugged";
  }
  if (cmd == "clear") {
    const bool unplugged = model.faults.unplugged;
    model.faults = Faults{};
    model.faults.unplugged = unplugged;
    if (unplugged) plug_request = +1;
    return "faults cleared";
  }
  if (const FaultSetting* fault = FindFaultSetting(cmd)) {
    if (fault->flag == nullptr) {
      if (!SetFaultValue(*fault, arg, model.faults)) return bad;
    } else {
      bool on = true;
      if (!ReadSwitch(arg, on)) return bad;
      model.faults.*fault->flag = on;
    }
  } else if (const ControllerSetting* setting = FindControllerSetting(cmd)) {
    double value = 0.0;
    if (!ReadCommandValue(*setting, arg, value)) return bad;
    setting->apply(model, value);
  } else if (cmd == "learn") {
    model.RunCommand(kLearnCommand);
  } else if (cmd == "reset") {
    model.RunCommand(kFactoryResetCommand);
  } else {
    return bad;
  }
  return StatusLine(model);
}

}  // namespace korvel::sim
