#ifndef _WIN32
// The serial line on Linux and other POSIX systems: termios for the line settings, poll() for the
// read time-outs, tcflush() for the purges.

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
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
  explicit PosixSerialPort(const SerialDriverCalls& driver) : driver_(driver) {}
  ~PosixSerialPort() override { Close(); }

  bool Open(const char* port_name) override {
    Close();
    const std::string device = ResolvePortDevice(port_name);
    // Non-blocking, so that neither the open (no carrier) nor a write (line stalled) can hang
    // the caller; every wait goes through poll() with a deadline instead.
    busy_ = false;
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
      busy_ = errno == EBUSY;
      open_error_ = std::strerror(errno);
      return false;
    }
    // The exclusive flag below keeps other users away, but not a process with administrator
    // rights; a lock on the open line also tells our own programs (and the port finder) that the
    // line is taken, before its settings are touched.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
      ::close(fd);
      busy_ = true;
      open_error_ = "in use by another program";
      return false;
    }
    if (!Configure(fd, open_error_)) {
      ::close(fd);
      return false;
    }
    AskForLowLatency(fd, driver_);
    fd_ = fd;
    open_error_.clear();
    return true;
  }

  std::string OpenError() const override { return open_error_; }
  bool OpenFoundBusy() const override { return busy_; }

  void Close() override {
    if (fd_ < 0) return;
    // A pseudo-terminal keeps its exclusive flag while its master side lives; drop it so that the
    // next open (after a bad reply or a port change) is not refused.
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    fd_ = -1;
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
  std::string open_error_;
  bool busy_ = false;
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
  return std::make_unique<PosixSerialPort>(calls);
}

std::string ResolvePortDevice(const char* port_name) {
  const int n = ComPortNumber(port_name);
  if (n == 0) return port_name != nullptr ? port_name : "";
  // A fitter (or our run script, for the simulator) maps COMn to any device with a symlink in the
  // working directory.
  char link_name[16];
  std::snprintf(link_name, sizeof link_name, "ports/COM%d", n);
  std::error_code error;
  const std::filesystem::path link_path(link_name);
  const auto status = std::filesystem::symlink_status(link_path, error);
  if (!error && std::filesystem::exists(status)) {
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

}  // namespace korvel

#endif  // _WIN32
