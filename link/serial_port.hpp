#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace korvel {

// What opening a line came to. A line held by another program is told apart from one that does
// not exist or may not be opened; `reason` is the system's words for either ("Permission denied",
// "locked by process 412 (...)"), empty when the line opened.
enum class OpenStatus { kOpen, kBusy, kCannotOpen };
struct OpenResult {
  OpenStatus status = OpenStatus::kCannotOpen;
  std::string reason;
};

// The serial line to the controller. Every exchange of the link goes through this interface;
// the operating-system backends and the simulator's in-memory port implement it.
//
// Time-out rule of Read(n): the call returns after at most 100 + 10 * n ms, or earlier when more
// than 50 ms pass between two received bytes (the first byte included: a silent line ends the read
// after the total time-out, not after 50 ms). The result is the number of bytes stored.
class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Opens "COM1:" .. "COM4:" (or, on POSIX, a device path). A port that failed to open yields no
  // replies; the link keeps the failure and its reason so that a tool can say why.
  virtual OpenResult Open(const char* port_name) = 0;
  virtual void Close() = 0;
  virtual void PurgeInput() = 0;
  virtual void PurgeOutput() = 0;
  virtual int Write(const uint8_t* data, int count) = 0;
  virtual int Read(uint8_t* buffer, int count) = 0;
  // Waits up to `ms`, but never past the total time-out of the last Read, for another byte; true
  // when one came (it may be taken from the input) or when that time-out cut the wait short, since
  // then nothing shows the reply stood alone. The link asks this after a reply without making the
  // exchange outlast its time-out. A line that cannot tell answers false at once.
  virtual bool InputFollowsWithin(uint32_t ms) {
    (void)ms;
    return false;
  }
  virtual void Sleep(uint32_t ms) = 0;
};

// Read time-outs shared by every backend.
constexpr uint32_t kReadIntervalTimeoutMs = 50;
constexpr uint32_t ReadTotalTimeoutMs(int count) { return 100 + 10 * static_cast<uint32_t>(count); }

// "COMn:" (the colon may be left out) gives n, 1..255; any other name gives 0.
int ComPortNumber(const char* port_name);

// The serial backend of the machine the program runs on (termios on POSIX, kernel32 on Windows).
// On POSIX a line is opened only when no other live process holds its UUCP lock file
// (LCK..name in /run/lock or /var/lock); the port takes that lock itself where it may, and puts
// back the line's settings when it closes. A test gives lock folders of its own.
std::unique_ptr<SerialPort> CreateSystemSerialPort();
std::unique_ptr<SerialPort> CreateSystemSerialPort(const std::vector<std::string>& lock_folders);

// Whether the working folder's ports folder (or link) may map COM names: it must belong to this
// user or the administrator and not be writable by others. A missing folder is trusted (there is
// nothing to follow). False with the reason in `why`. Always true on Windows.
bool PortsFolderTrusted(const std::string& folder, std::string& why);

// Where a port name leads on this machine. POSIX: "COMn:" opens the device that the symlink
// ports/COMn in the working directory points to when it exists (and the folder is trusted, see
// PortsFolderTrusted), otherwise /dev/ttyS<n-1>; any other
// name is taken as a device path. Windows: "\\.\COMn".
std::string ResolvePortDevice(const char* port_name);

}  // namespace korvel
