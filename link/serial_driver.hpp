#pragma once
#ifndef _WIN32
#include <memory>

#include "link/serial_port.hpp"

struct serial_struct;

namespace korvel {

// The serial driver's settings calls that the POSIX port makes when it opens a line (on Linux the
// TIOCGSERIAL and TIOCSSERIAL requests); tests put fakes in their place. Each returns 0 or -1 with
// errno set, as ioctl() does.
struct SerialDriverCalls {
  int (*get)(int fd, serial_struct* settings);
  int (*set)(int fd, const serial_struct* settings);
};

// The calls of the running system.
const SerialDriverCalls& SystemSerialDriverCalls();

// Asks the driver to hand received bytes on at once instead of holding them for its latency timer
// (USB adapters hold them up to 16 ms by default, which halves the Oscilloscope's rate). True when
// the line has low latency afterwards; a driver that has no such setting (a pseudo-terminal) or
// refuses it gives false, and the line works as before.
bool AskForLowLatency(int fd, const SerialDriverCalls& calls);

// The termios port with the given driver calls (CreateSystemSerialPort uses the system's).
std::unique_ptr<SerialPort> CreatePosixSerialPort(const SerialDriverCalls& calls);

}  // namespace korvel
#endif  // _WIN32
