#ifndef _WIN32
// The serial line on Linux and other POSIX systems: termios for the line settings, poll() for the
// read time-outs, tcflush() for the purges.

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>
#include <vector>

#include "link/serial_driver.hpp"
#include "link/serial_port.hpp"

#ifdef __linux__
#include <linux/serial.h>
#endif

namespace korvel {
namespace {

using SteadyClock = std::chrono::steady_clock;

// Milliseconds from now until `until`, rounded up so that a wait never ends before its deadline
// (and a gap "more than 50 ms" is really more), and 0 once the deadline has passed.
int MillisecondsUntil(SteadyClock::time_point until) {
  const auto left = until - SteadyClock::now();
  if (left <= SteadyClock::duration::zero()) return 0;
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  return static_cast<int>(ms);
}

class PosixSerialPort final : public SerialPort {
 public:
  PosixSerialPort(std::vector<std::string> lock_folders, const SerialDriverCalls& driver)
      : driver_(driver), lock_folders_(std::move(lock_folders)) {}
  ~PosixSerialPort() override { Close(); }

  OpenResult Open(const char* port_name) override {
    Close();
    const std::string device = ResolvePortDevice(port_name);
    OpenResult result;
    // A line another program has locked the UUCP way (a terminal program, a modem daemon) is not
    // touched at all: not opened, not set up, not written to.
    if (!TakeLineLock(device, result.reason)) {
      result.status = OpenStatus::kBusy;
      return result;
    }
    // Non-blocking, so that neither the open (no carrier) nor a write (line stalled) can hang
    // the caller; every wait goes through poll() with a deadline instead.
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
      result.status = errno == EBUSY ? OpenStatus::kBusy : OpenStatus::kCannotOpen;
      result.reason = std::strerror(errno);
      ReleaseLineLock();
      return result;
    }
    // The exclusive flag below keeps other users away, but not a process with administrator
    // rights; a lock on the open line also tells our own programs (and the port finder) that the
    // line is taken, before its settings are touched.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
      ::close(fd);
      result.status = OpenStatus::kBusy;
      result.reason = "in use by another program";
      ReleaseLineLock();
      return result;
    }
    // The line's own settings, put back when it is closed: a line that turns out not to lead to a
    // controller (a probe of every device) is left as its owner set it.
    have_saved_settings_ = ::tcgetattr(fd, &saved_settings_) == 0;
    have_saved_lines_ = ::ioctl(fd, TIOCMGET, &saved_lines_) == 0;
    if (!Configure(fd, result.reason)) {
      RestoreLine(fd);
      ::close(fd);
      ReleaseLineLock();
      return result;
    }
    AskForLowLatency(fd, driver_);
    fd_ = fd;
    return {OpenStatus::kOpen, {}};
  }

  void Close() override {
    if (fd_ < 0) return;
    // A pseudo-terminal keeps its exclusive flag while its master side lives; drop it so that the
    // next open (after a bad reply or a port change) is not refused.
    ::ioctl(fd_, TIOCNXCL);
    RestoreLine(fd_);
    ::close(fd_);
    fd_ = -1;
    ReleaseLineLock();
  }

  void PurgeInput() override {
    if (fd_ >= 0) ::tcflush(fd_, TCIFLUSH);
  }

  void PurgeOutput() override {
    if (fd_ >= 0) ::tcflush(fd_, TCOFLUSH);
  }

  int Write(const uint8_t* data, int count) override {
    if (fd_ < 0 || count <= 0) return 0;
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(ReadTotalTimeoutMs(count));
    int written = 0;
    while (written < count) {
      const ssize_t r = ::write(fd_, data + written, static_cast<size_t>(count - written));
      if (r > 0) {
        written += static_cast<int>(r);
        continue;
      }
      if (r < 0 && errno == EINTR) continue;
      if (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK) break;
      // The output queue is full: wait for room until the write time-out.
      const int wait = MillisecondsUntil(deadline);
      if (wait == 0) break;
      pollfd p{fd_, POLLOUT, 0};
      const int ready = ::poll(&p, 1, wait);
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) break;
    }
    return written;
  }

  int Read(uint8_t* buffer, int count) override {
    if (fd_ < 0 || count <= 0) return 0;
    const auto start = SteadyClock::now();
    const auto total_deadline = start + std::chrono::milliseconds(ReadTotalTimeoutMs(count));
    read_deadline_ = total_deadline;
    const auto interval = std::chrono::milliseconds(kReadIntervalTimeoutMs);
    int received = 0;
    SteadyClock::time_point last_byte{};
    while (received < count) {
      // Until the first byte only the total time-out runs; after it, a gap of more than 50 ms
      // since the last byte also ends the read.
      auto deadline = total_deadline;
      if (received > 0 && last_byte + interval < deadline) deadline = last_byte + interval;
      const int wait = MillisecondsUntil(deadline);
      if (wait == 0) break;
      pollfd p{fd_, POLLIN, 0};
      const int ready = ::poll(&p, 1, wait);
      if (ready < 0) {
        if (errno == EINTR) continue;
        break;
      }
      if (ready == 0) continue;  // the deadline is re-checked at the top
      if ((p.revents & POLLIN) == 0) break;  // hang-up or error without data: nothing more comes
      const ssize_t r = ::read(fd_, buffer + received, static_cast<size_t>(count - received));
      if (r > 0) {
        received += static_cast<int>(r);
        last_byte = SteadyClock::now();
        continue;
      }
      if (r < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
      break;  // end of file or a device error (adapter unplugged)
    }
    return received;
  }

  bool InputFollowsWithin(uint32_t ms) override {
    if (fd_ < 0) return false;
    const auto wanted = SteadyClock::now() + std::chrono::milliseconds(ms);
    const auto deadline = std::min(wanted, read_deadline_);
    for (;;) {
      pollfd p{fd_, POLLIN, 0};
      const int ready = ::poll(&p, 1, MillisecondsUntil(deadline));
      if (ready < 0 && errno == EINTR) continue;
      if (ready > 0 && (p.revents & POLLIN) != 0) return true;
      // A watch the read's time-out cut short cannot show that nothing followed.
      return ready == 0 && deadline < wanted;
    }
  }

  void Sleep(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

 private:
  // Puts back the line settings and the DTR and RTS lines found at the open. Output still queued
  // is dropped first, so that restoring does not wait on a stalled line.
  void RestoreLine(int fd) {
    ::tcflush(fd, TCIOFLUSH);
    if (have_saved_settings_) ::tcsetattr(fd, TCSANOW, &saved_settings_);
    if (have_saved_lines_) {
      int modem = saved_lines_ & (TIOCM_DTR | TIOCM_RTS);
      ::ioctl(fd, TIOCMBIS, &modem);
    }
    have_saved_settings_ = false;
    have_saved_lines_ = false;
  }

  // The UUCP lock of `device`: LCK..<name> in the lock folder, holding the owner's process id as
  // ten ASCII digits. A lock of a live process other than this one refuses the line (false, with
  // the reason in `reason`); a lock whose process is gone is ignored. Where the folder lets
  // this program, it takes the lock itself while the line is open.
  bool TakeLineLock(const std::string& device, std::string& reason) {
    const std::string name = LockFileName(device);
    for (const std::string& folder : lock_folders_) {
      const std::string path = folder + "/" + name;
      const long owner = LockOwner(path);
      if (owner > 0 && owner != static_cast<long>(::getpid()) &&
          (::kill(static_cast<pid_t>(owner), 0) == 0 || errno == EPERM)) {
        reason = "locked by process " + std::to_string(owner) + " (" + path + ")";
        return false;
      }
      if (owner < 0) {
        reason = "locked by another program (" + path + " cannot be read)";
        return false;
      }
    }
    for (const std::string& folder : lock_folders_) {
      const std::string path = folder + "/" + name;
      const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
      if (fd < 0) continue;
      char text[16];
      const int length = std::snprintf(text, sizeof text, "%10ld\n", static_cast<long>(::getpid()));
      const bool written = ::write(fd, text, static_cast<size_t>(length)) == length;
      ::close(fd);
      if (!written) {
        ::unlink(path.c_str());
        continue;
      }
      lock_path_ = path;
      break;
    }
    return true;
  }

  // Removes the lock this port took, and only that: the file must still name this process.
  void ReleaseLineLock() {
    if (lock_path_.empty()) return;
    if (LockOwner(lock_path_) == static_cast<long>(::getpid())) ::unlink(lock_path_.c_str());
    lock_path_.clear();
  }

  // "LCK..ttyUSB0" for /dev/ttyUSB0, "LCK..pts_3" for /dev/pts/3 (the device reached through
  // every link, so that ports/COM1 and the device's own name share one lock).
  static std::string LockFileName(const std::string& device) {
    std::error_code error;
    std::string path = std::filesystem::weakly_canonical(device, error).string();
    if (error || path.empty()) path = device;
    if (path.rfind("/dev/", 0) == 0) path.erase(0, 5);
    while (!path.empty() && path[0] == '/') path.erase(0, 1);
    for (char& c : path) {
      if (c == '/') c = '_';
    }
    return "LCK.." + path;
  }

  // The process id in a lock file: 0 when there is no such file (or it names no process), -1 when
  // it exists but cannot be read. Ten ASCII digits (with leading blanks) or, from old programs, a
  // binary int.
  static long LockOwner(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? 0 : -1;
    char text[32] = {};
    const ssize_t got = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (got < 0) return -1;
    if (got == static_cast<ssize_t>(sizeof(int)) && (text[0] < ' ' || text[sizeof(int) - 1] < ' ')) {
      int binary = 0;
      std::memcpy(&binary, text, sizeof binary);
      return binary > 0 ? binary : 0;
    }
    char* end = nullptr;
    const long pid = std::strtol(text, &end, 10);
    return end != text && pid > 0 ? pid : 0;
  }

  // 9600 baud, 8 data bits, no parity, one stop bit, raw bytes both ways, no flow control of any
  // kind, reads that never block inside read() (poll() does the waiting); DTR and RTS inactive;
  // no other process may open the line while we hold it.
  static bool Configure(int fd, std::string& error) {
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
      error = std::string("not a serial line (") + std::strerror(errno) + ")";
      return false;
    }
    tio.c_iflag = 0;  // no XON/XOFF, no parity checking, no CR/NL translation, no break handling
    tio.c_oflag = 0;
    tio.c_lflag = 0;  // no canonical mode, echo or signal characters
    tio.c_cflag = CS8 | CREAD | CLOCAL | HUPCL;  // no PARENB, no CSTOPB, no CRTSCTS
    for (cc_t& c : tio.c_cc) c = 0;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
      error = std::string("cannot set 9600 8N1: ") + std::strerror(errno);
      return false;
    }
    // Opening a serial port raises DTR and RTS; hold them inactive. A device without modem lines
    // (a pseudo-terminal, some adapters) refuses the request, which is fine.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(fd, TIOCMBIC, &lines);
    if (::ioctl(fd, TIOCEXCL) != 0) {
      error = std::string("cannot take the line for this program alone: ") + std::strerror(errno);
      return false;
    }
    return true;
  }

  const SerialDriverCalls& driver_;
  SteadyClock::time_point read_deadline_{};  // the total time-out of the last Read
  int fd_ = -1;
  std::vector<std::string> lock_folders_;
  std::string lock_path_;  // the lock file this port made, removed when it closes
  termios saved_settings_{};
  bool have_saved_settings_ = false;
  int saved_lines_ = 0;
  bool have_saved_lines_ = false;
};

#ifdef __linux__
int GetSerial(int fd, serial_struct* settings) { return ::ioctl(fd, TIOCGSERIAL, settings); }
int SetSerial(int fd, const serial_struct* settings) { return ::ioctl(fd, TIOCSSERIAL, settings); }
#else
int GetSerial(int, serial_struct*) {
  errno = ENOTTY;
  return -1;
}
int SetSerial(int, const serial_struct*) {
  errno = ENOTTY;
  return -1;
}
#endif

constexpr SerialDriverCalls kSystemDriverCalls{&GetSerial, &SetSerial};

// The lock folders of this machine: /run/lock, and /var/lock where it is a folder of its own.
std::vector<std::string> SystemLockFolders() {
  std::vector<std::string> folders;
  std::error_code error;
  for (const char* folder : {"/run/lock", "/var/lock"}) {
    if (!std::filesystem::is_directory(folder, error)) continue;
    const std::filesystem::path real = std::filesystem::canonical(folder, error);
    bool seen = false;
    for (const std::string& known : folders) seen = seen || std::filesystem::path(known) == real;
    if (!seen && !error) folders.push_back(real.string());
  }
  return folders;
}

}  // namespace

const SerialDriverCalls& SystemSerialDriverCalls() { return kSystemDriverCalls; }

bool AskForLowLatency(int fd, const SerialDriverCalls& calls) {
#ifdef __linux__
  serial_struct settings{};
  if (calls.get(fd, &settings) != 0) return false;
  if ((settings.flags & ASYNC_LOW_LATENCY) != 0) return true;
  settings.flags |= ASYNC_LOW_LATENCY;
  return calls.set(fd, &settings) == 0;
#else
  (void)fd;
  (void)calls;
  return false;
#endif
}

std::unique_ptr<SerialPort> CreatePosixSerialPort(const SerialDriverCalls& calls) {
  return std::make_unique<PosixSerialPort>(SystemLockFolders(), calls);
}


bool PortsFolderTrusted(const std::string& folder, std::string& why) {
  // The folder (and a link standing for it) must belong to this user or to the administrator, and
  // no one else may write in it: otherwise anyone could point COM1 at a device or file of theirs.
  struct stat entry {};
  if (::lstat(folder.c_str(), &entry) != 0) {
    why.clear();
    return errno == ENOENT;
  }
  const uid_t me = ::geteuid();
  auto owned = [me](const struct stat& st) { return st.st_uid == me || st.st_uid == 0; };
  if (S_ISLNK(entry.st_mode) && !owned(entry)) {
    why = folder + " is a link that belongs to another user";
    return false;
  }
  struct stat target {};
  if (::stat(folder.c_str(), &target) != 0) {
    why.clear();
    return true;  // a link to nothing leads nowhere: nothing to trust or fear
  }
  if (!owned(target)) {
    why = folder + " belongs to another user";
    return false;
  }
  if ((target.st_mode & S_IWOTH) != 0) {
    why = folder + " may be written by other users";
    return false;
  }
  why.clear();
  return true;
}

std::string ResolvePortDevice(const char* port_name) {
  const int n = ComPortNumber(port_name);
  if (n == 0) return port_name != nullptr ? port_name : "";
  // A fitter (or our run script, for the simulator) maps COMn to any device with a symlink in the
  // working directory's ports folder, when that folder is the user's own.
  char link_name[16];
  std::snprintf(link_name, sizeof link_name, "ports/COM%d", n);
  std::error_code error;
  const std::filesystem::path link_path(link_name);
  std::string why;
  const auto status = std::filesystem::symlink_status(link_path, error);
  if (!error && std::filesystem::exists(status) && PortsFolderTrusted("ports", why)) {
    if (!std::filesystem::is_symlink(status)) return link_path.string();
    std::filesystem::path target = std::filesystem::read_symlink(link_path, error);
    if (error) return link_path.string();
    if (target.is_relative()) target = link_path.parent_path() / target;
    return target.string();
  }
  char device[32];
  std::snprintf(device, sizeof device, "/dev/ttyS%d", n - 1);
  return device;
}

std::unique_ptr<SerialPort> CreateSystemSerialPort() { return CreatePosixSerialPort(SystemSerialDriverCalls()); }

std::unique_ptr<SerialPort> CreateSystemSerialPort(const std::vector<std::string>& lock_folders) {
  return std::make_unique<PosixSerialPort>(lock_folders, SystemSerialDriverCalls());
}

}  // namespace korvel

#endif  // _WIN32
