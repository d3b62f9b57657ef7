#include "korvelctl/arguments.hpp"

#include <cstring>

#include "link/parameter_map.hpp"
#include "link/serial_port.hpp"

namespace korvel::ctl {

namespace {

struct CommandName {
  const char* name;
  Command command;
  int operands;       // positional arguments after the command name
  int more_operands;  // how many more may follow (diff's second file)
  const char* usage;
};

constexpr CommandName kCommands[] = {
    {"identity", Command::kIdentity, 0, 0, "identity"},
    {"save", Command::kSave, 1, 0, "save FILE"},
    {"load", Command::kLoad, 1, 0, "load FILE"},
    {"get", Command::kGet, 1, 0, "get NAME"},
    {"set", Command::kSet, 2, 0, "set NAME VALUE"},
    {"live", Command::kLive, 0, 0, "live"},
    {"learn", Command::kLearn, 0, 0, "learn"},
    {"reset", Command::kReset, 0, 0, "reset"},
    {"ports", Command::kPorts, 0, 0, "ports [--builtin] [--link COMn]"},
    {"diff", Command::kDiff, 1, 1, "diff FILE [FILE2]"},
    {"restore-points", Command::kRestorePoints, 0, 0, "restore-points"},
};

// A decimal number without sign, at most `max`.
bool ParseUnsigned(const char* text, uint64_t max, uint64_t& value) {
  if (text == nullptr || *text == '\0') return false;
  uint64_t v = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return false;
    v = v * 10 + static_cast<uint64_t>(*p - '0');
    if (v > max) return false;
  }
  value = v;
  return true;
}

std::string ParameterNames() {
  std::string names;
  for (int i = 0; i < kParameterCount; ++i) {
    names += i == 0 ? "" : ", ";
    names += ParameterMap[i].name;
  }
  return names;
}

// One option that takes a value. `live_option` is set for the options of the live command.
bool ParseOptionValue(const std::string& name, const std::string& value, Arguments& arguments, bool& live_option,
                      std::string& error) {
  if (name == "--port") {
    if (value.empty() || value.size() >= 64) {
      error = "--port needs COM1 to COM4 or a device path (at most 63 characters)";
      return false;
    }
    arguments.port = value;
  } else if (name == "--period") {
    uint64_t ms = 0;
    if (!ParseUnsigned(value.c_str(), 3600000, ms) || ms == 0) {
      error = "--period needs milliseconds, 1 to 3600000";
      return false;
    }
    arguments.period_ms = static_cast<uint32_t>(ms);
    live_option = true;
  } else if (name == "--count") {
    uint64_t n = 0;
    if (!ParseUnsigned(value.c_str(), UINT32_MAX, n) || n == 0) {
      error = "--count needs a number of ticks, 1 or more";
      return false;
    }
    arguments.count = n;
    live_option = true;
  } else if (name == "--link") {
    // ports/COMn is what the window program's COM menu and --port COMn open.
    const int n = ComPortNumber(value.c_str());
    if (n == 0) {
      error = "--link needs a port name COM1 to COM255: " + value;
      return false;
    }
    arguments.link_port = "COM" + std::to_string(n);
  } else {
    if (value.empty()) {
      error = "--csv needs a file name";
      return false;
    }
    arguments.csv = value;
    live_option = true;
  }
  return true;
}

// The operands of a command (positional[0] is its name): file names, or a parameter and its value.
bool ParseOperands(const CommandName& command, const std::vector<std::string>& positional, Arguments& arguments,
                   std::string& error) {
  const int operands = static_cast<int>(positional.size()) - 1;
  const bool takes_files =
      command.command == Command::kSave || command.command == Command::kLoad || command.command == Command::kDiff;
  for (int i = 1; takes_files && i <= operands; ++i) {
    // An empty name is no file: for diff it would quietly mean the controller instead.
    if (positional[static_cast<size_t>(i)].empty()) {
      error = "a file name cannot be empty";
      return false;
    }
  }
  switch (command.command) {
    case Command::kSave:
    case Command::kLoad:
      arguments.file = positional[1];
      break;
    case Command::kDiff:
      arguments.file = positional[1];
      if (operands == 2) arguments.other_file = positional[2];
      break;
    case Command::kGet:
    case Command::kSet: {
      std::string key = positional[1];
      // The file's spelling with "=" is accepted too.
      if (!key.empty() && key.back() == '=') key.pop_back();
      arguments.parameter = FindParameter(key.c_str());
      if (arguments.parameter < 0) {
        error = "unknown parameter " + positional[1] + "; the parameters are " + ParameterNames();
        return false;
      }
      if (command.command == Command::kSet) {
        uint64_t v = 0;
        if (!ParseUnsigned(positional[2].c_str(), 255, v)) {
          error = "the value must be a raw byte, 0 to 255: " + positional[2];
          return false;
        }
        arguments.value = static_cast<uint8_t>(v);
      }
      break;
    }
    default:
      break;
  }
  return true;
}

}  // namespace

bool ParseArguments(int argc, const char* const* argv, Arguments& arguments, std::string& error) {
  std::vector<std::string> positional;
  bool live_options = false;
  bool options_done = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (options_done || arg.size() < 2 || arg[0] != '-') {
      positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_done = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      arguments.command = Command::kHelp;
      return true;
    }
    if (arg == "--builtin") {
      arguments.builtin_ports = true;
      continue;
    }
    // Options with a value: "--name value" or "--name=value".
    std::string name = arg;
    std::string value;
    bool has_value = false;
    const size_t equals = arg.find('=');
    if (equals != std::string::npos) {
      name = arg.substr(0, equals);
      value = arg.substr(equals + 1);
      has_value = true;
    }
    if (name != "--port" && name != "--period" && name != "--count" && name != "--csv" && name != "--link") {
      error = "unknown option " + arg;
      return false;
    }
    if (!has_value) {
      if (i + 1 >= argc) {
        error = name + " needs a value";
        return false;
      }
      value = argv[++i];
    }
    if (!ParseOptionValue(name, value, arguments, live_options, error)) return false;
  }

  if (positional.empty()) {
    error = "no command given";
    return false;
  }
  const CommandName* found = nullptr;
  for (const CommandName& c : kCommands) {
    if (positional[0] == c.name) found = &c;
  }
  if (found == nullptr) {
    error = "unknown command " + positional[0];
    return false;
  }
  arguments.command = found->command;
  const int operands = static_cast<int>(positional.size()) - 1;
  if (operands < found->operands || operands > found->operands + found->more_operands) {
    error = std::string("usage: korvelctl [--port P] ") + found->usage;
    return false;
  }
  if (live_options && found->command != Command::kLive) {
    error = "--period, --count and --csv belong to the live command";
    return false;
  }
  if ((!arguments.link_port.empty() || arguments.builtin_ports) && found->command != Command::kPorts) {
    error = "--link and --builtin belong to the ports command";
    return false;
  }
  return ParseOperands(*found, positional, arguments, error);
}

const char* HelpText() {
  return "korvelctl - command-line service tool for the Korvel LPG injection controller\n"
         "\n"
         "usage: korvelctl [--port P] COMMAND [ARGUMENTS]\n"
         "\n"
         "Every command that talks to the controller first asks for its identity (three tries)\n"
         "and works only with a controller that answers and reports variant 2.\n"
         "\n"
         "Commands:\n"
         "  identity            print \"variant V, firmware F\" (F as 2.05 for firmware 5)\n"
         "  save FILE           read the 28 parameters and write them to FILE in the\n"
         "                      configuration-file format (*.kvs); an existing FILE is replaced\n"
         "                      only once the new file is completely written. A terminal, pipe\n"
         "                      or device (/dev/stdout) is written to, never replaced\n"
         "  load FILE           check FILE, then write its 28 parameters in file order. FILE\n"
         "                      must be a plain file (not a pipe or device) that holds, split\n"
         "                      by any whitespace: [Korvel] Version=1.2 [Configuration], then\n"
         "                      the 28 keys in save order, each followed by a decimal number\n"
         "                      from -2147483648 to 2147483647, of which the low 8 bits are\n"
         "                      sent (300 as 44, -1 as 255). Whatever follows the 28th number\n"
         "                      is not read. A file that fails a check sends nothing\n"
         "  get NAME            print the raw byte (0-255) of one parameter, NAME being its\n"
         "                      file key without \"=\", e.g. LambdaType\n"
         "  set NAME VALUE      write the raw byte VALUE (0-255) to one parameter\n"
         "  live [--period MS] [--count N] [--csv FILE]\n"
         "                      poll as the Readings page does and print one line per tick:\n"
         "                      time, engine speed, lambda and second-input volts, Att, AttInit,\n"
         "                      temperature, LPG or petrol, status bits (StateFlags and\n"
         "                      IndicatorFlags in hexadecimal, and their meaning)\n"
         "  learn               start the learning cycle (command 50); only while the\n"
         "                      controller runs on LPG, as the Readings page's learn button\n"
         "  reset               restore the factory settings (command 51, 250 ms wait for the\n"
         "                      answer) and say whether the controller confirmed\n"
         "  restore-points      list the restore points, oldest first: time (UTC), reason,\n"
         "                      how many parameters differ from the controller (when one\n"
         "                      answers) and the file, which load and diff take. load and\n"
         "                      reset keep one first, as the window program does before a load\n"
         "                      or a factory reset and once per connection; they live in\n"
         "                      $XDG_DATA_HOME/korvel/restore-points (default\n"
         "                      ~/.local/share/korvel/restore-points), the newest 500 kept\n"
         "  ports [--builtin] [--link COMn]\n"
         "                      list the serial devices (ports/COMn links of the working\n"
         "                      folder, USB adapters ttyUSB*, ttyACM* and serial/by-id/*, and\n"
         "                      with --builtin the built-in ttyS* ports that have a UART) and\n"
         "                      what each answers to the identity request. Each device is set\n"
         "                      to 9600 baud 8N1 raw with DTR and RTS off and sent the 4 bytes\n"
         "                      65 01 01 67 (hex) up to three times; its own settings are put\n"
         "                      back when it is closed. Not asked: the system console, a device\n"
         "                      another program holds (a lock in /run/lock or /var/lock, an\n"
         "                      exclusive open) and a ports folder of another user or one\n"
         "                      others may write. Answers: \"variant 2, firmware F\", \"another\n"
         "                      variant (V)\", \"silent\", \"busy\" or \"cannot open: REASON\". All\n"
         "                      devices are asked at once; the search takes about half a second.\n"
         "                      With --link, ports/COMn is made to point at the one device that\n"
         "                      answers as variant 2 (an old link there is replaced, anything\n"
         "                      else is left alone)\n"
         "  diff FILE [FILE2]   list the parameters that differ between two configuration\n"
         "                      files, or between FILE and the controller: each by its key, with\n"
         "                      both raw values and their meaning as the Configuration and\n"
         "                      Options pages show it (list texts in English from the\n"
         "                      installed Lang/Korvel_lang.ang, else ../Lang)\n"
         "\n"
         "Options:\n"
         "  --port P            COM1 to COM4 (ports/COMn in the working directory when that\n"
         "                      link exists, else the system's serial device), or a device\n"
         "                      path such as /dev/ttyUSB0; default COM1\n"
         "  --period MS         live: milliseconds between ticks (default 50, and 500 while\n"
         "                      the controller does not answer, as the window program polls)\n"
         "  --count N           live: stop after N ticks (default: until Ctrl-C)\n"
         "  --csv FILE          live: also write the ticks to FILE as CSV with a header row\n"
         "                      and ISO-8601 UTC timestamps with milliseconds\n"         "  --link COMn         ports: point ports/COMn at the controller found\n"
         "  --builtin           ports: also ask the built-in ttyS* ports\n"
         "  -h, --help          print this text\n"
    "  --version           print the version and the source revision\n"
         "\n"
         "Exit status:\n"
         "  0  done (diff: the parameters are equal)\n"
         "  1  diff: the parameters differ\n"
         "  2  usage error (unknown command, option, parameter name or bad value)\n"
         "  3  no answer from the controller\n"
         "  4  the controller is of another variant than 2\n"
         "  5  the configuration file is not exact (nothing was sent)\n"
         "  6  a write was not acknowledged (load stops there), or the reset was not confirmed\n"
         "  7  a file could not be opened, written or replaced\n"
         "  8  learn refused: the controller is not running on LPG\n"
         "  9  the port could not be opened (no such device, no permission, in use);\n"
         "     the message gives the system's reason. \"Permission denied\": your user\n"
         "     must be in the group that owns the device (dialout on Debian)\n"         "  10  ports --link: no device answers as a controller of variant 2\n"
         "  11  ports --link: several devices answer as variant 2; link one with ln -s\n"
         "  130  stopped by Ctrl-C or SIGTERM before the command was done (live ends\n"
         "       with 0 after its current tick; load stops between two writes)\n";
}

}  // namespace korvel::ctl
