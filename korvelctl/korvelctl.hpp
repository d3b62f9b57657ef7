#pragma once
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "files/drive_log.hpp"
#include "link/port_finder.hpp"
#include "link/serial_port.hpp"

namespace korvel::ctl {

// Exit statuses of korvelctl (also listed by --help).
enum ExitStatus : int {
  kExitOk = 0,
  kExitDifferent = 1,         // diff: the two parameter sets differ
  kExitUsage = 2,             // unknown command or option, missing or bad argument
  kExitNoAnswer = 3,          // the controller did not answer (identity or a poll)
  kExitWrongVariant = 4,      // a controller of another variant than 2
  kExitMalformedFile = 5,     // the configuration file is not exact; nothing was sent
  kExitNotAcknowledged = 6,   // a write was not acknowledged, or the reset not confirmed
  kExitFileError = 7,         // a file could not be opened, written or replaced
  kExitNotOnLpg = 8,          // learn refused: the controller is not running on LPG
  kExitCannotOpenPort = 9,    // the serial port could not be opened (no such device, no permission)
  kExitNoController = 10,     // ports --link: no device answers as a controller of variant 2
  kExitSeveralControllers = 11,  // ports --link: more than one does; which one is meant is unclear
  kExitInterrupted = 130,     // Ctrl-C or SIGTERM before the command was done (live ends with 0)
};

// Time as korvelctl sees it: the wall clock for the timestamps of the live log, a steady clock for
// the tick schedule. The program uses the system clocks; tests use the simulator's virtual clock.
class CtlClock {
 public:
  virtual ~CtlClock() = default;
  virtual int64_t WallMs() = 0;     // milliseconds since 1970-01-01 00:00 UTC
  virtual uint64_t SteadyMs() = 0;  // never goes back
};

// Everything a korvelctl run talks to. Waits go through port.Sleep(), so a simulated port moves
// its virtual clock instead of sleeping.
struct Environment {
  SerialPort& port;
  CtlClock& clock;
  std::FILE* out;
  std::FILE* err;
  // Set (by the Ctrl-C and SIGTERM handler) to end the command at its next safe point: live after
  // the current tick, load before the next write; may be null.
  const volatile std::sig_atomic_t* stop_requested = nullptr;
  // Where a port name leads, shown in messages (ResolvePortDevice in the program); may be empty.
  std::function<std::string(const char*)> describe_port;
  // The wait between live ticks, which a stop request cuts short; empty: port.Sleep().
  std::function<void(uint32_t ms)> pause;
  // ports: the serial devices present (the built-in ports too when asked), and a port of their own
  // for each probe thread; without them the command says it cannot search.
  std::function<std::vector<SerialDevice>(bool builtin_ports)> list_devices = nullptr;
  SerialPortFactory make_port = nullptr;
  // ports --link: the folder of the COMn links (the one ResolvePortDevice reads).
  std::string ports_folder = "ports";
  // diff: where to look for the English language file (folders ending in '/'), first found wins:
  // the installed texts first, so that a file planted in ../Lang of a shared folder is not read.
  std::vector<std::string> language_folders = {"../Lang/"};
  // load and reset keep the controller's parameters here first; restore-points lists them.
  // Empty: no restore points, and restore_point_folder_error (when set) says why.
  std::string restore_point_folder{};
  std::string restore_point_folder_error{};
};

// Runs one korvelctl command line (argv[0] is the program name) and returns its exit status.
int RunKorvelctl(int argc, const char* const* argv, Environment& env);

// "2024-03-05T14:07:09.123Z": ISO-8601 with milliseconds, UTC.
using korvel::IsoTimestamp;

// The firmware version as the program-information box shows it: (V * 100 + F) / 100 in single
// precision with two decimals, "2.05" for variant 2, firmware 5.
std::string FirmwareText(uint32_t variant, uint32_t firmware);

}  // namespace korvel::ctl
