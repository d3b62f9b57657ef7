#ifdef _WIN32
// The serial line on Windows: the COM device through the kernel32 file interface, with the line
// settings in a device-control block and the read and write time-outs done by the driver.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "link/serial_port.hpp"

namespace korvel {
namespace {

class WindowsSerialPort final : public SerialPort {
 public:
  ~WindowsSerialPort() override { Close(); }

  OpenResult Open(const char* port_name) override {
    Close();
    const std::string device = ResolvePortDevice(port_name);
    // Read and write, no sharing, existing device only, no overlapped I/O.
    handle_ = ::CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            0, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) {
      const DWORD error = ::GetLastError();
      // A COM port held by another program refuses a second opener with "access denied".
      return {error == ERROR_ACCESS_DENIED ? OpenStatus::kBusy : OpenStatus::kCannotOpen, SystemMessage(error)};
    }

    // From an all-zero block only the line itself is set: 9600 8N1 with DTR and RTS disabled, so
    // every kind of flow control, parity checking, error-character and null-stripping option is
    // off.
    DCB dcb;
    std::memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = CBR_9600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    const BOOL line_set = ::SetCommState(handle_, &dcb);
    const DWORD line_error = line_set != FALSE ? 0 : ::GetLastError();

    // A read of n bytes ends after 100 + 10 n ms, or when more than 50 ms pass between bytes; a
    // write of n bytes may take 100 + 10 n ms.
    COMMTIMEOUTS timeouts;
    std::memset(&timeouts, 0, sizeof timeouts);
    timeouts.ReadIntervalTimeout = kReadIntervalTimeoutMs;
    timeouts.ReadTotalTimeoutMultiplier = 10;
    timeouts.ReadTotalTimeoutConstant = 100;
    timeouts.WriteTotalTimeoutMultiplier = 10;
    timeouts.WriteTotalTimeoutConstant = 100;
    const BOOL timeouts_set = ::SetCommTimeouts(handle_, &timeouts);
    // The handle stays open either way, as the window program always kept it; the message says
    // which step the device refused.
    if (line_set == FALSE) return {OpenStatus::kCannotOpen, "cannot set 9600 8N1: " + SystemMessage(line_error)};
    if (timeouts_set == FALSE) {
      return {OpenStatus::kCannotOpen, "cannot set the time-outs: " + SystemMessage(::GetLastError())};
    }
    return {OpenStatus::kOpen, {}};
  }

  void Close() override {
    if (handle_ == INVALID_HANDLE_VALUE) return;
    ::CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

  void PurgeInput() override {
    if (handle_ != INVALID_HANDLE_VALUE) ::PurgeComm(handle_, PURGE_RXABORT | PURGE_RXCLEAR);
  }

  void PurgeOutput() override {
    if (handle_ != INVALID_HANDLE_VALUE) ::PurgeComm(handle_, PURGE_TXABORT | PURGE_TXCLEAR);
  }

  int Write(const uint8_t* data, int count) override {
    if (handle_ == INVALID_HANDLE_VALUE || count <= 0) return 0;
    // A write that fails or times out still reports the bytes that went out.
    DWORD written = 0;
    ::WriteFile(handle_, data, static_cast<DWORD>(count), &written, nullptr);
    return static_cast<int>(written);
  }

  int Read(uint8_t* buffer, int count) override {
    if (handle_ == INVALID_HANDLE_VALUE || count <= 0) return 0;
    // A time-out is a successful read of fewer bytes; a failed read reports what it stored.
    DWORD received = 0;
    read_deadline_ = ::GetTickCount64() + ReadTotalTimeoutMs(count);
    ::ReadFile(handle_, buffer, static_cast<DWORD>(count), &received, nullptr);
    return static_cast<int>(received);
  }

  bool InputFollowsWithin(uint32_t ms) override {
    if (handle_ == INVALID_HANDLE_VALUE) return false;
    // The driver's input queue is looked at every millisecond; the byte stays there for the purge
    // that follows a reply found not to stand alone.
    const ULONGLONG wanted = ::GetTickCount64() + ms;
    const ULONGLONG deadline = std::min<ULONGLONG>(wanted, read_deadline_);
    for (;;) {
      COMSTAT status{};
      DWORD errors = 0;
      if (::ClearCommError(handle_, &errors, &status) && status.cbInQue > 0) return true;
      // A watch the read's time-out cut short cannot show that nothing followed.
      if (::GetTickCount64() >= deadline) return deadline < wanted;
      ::Sleep(1);
    }
  }

  void Sleep(uint32_t ms) override { ::Sleep(ms); }

 private:
  // The system's text for an error code, without the line end it carries ("Access is denied.").
  static std::string SystemMessage(DWORD code) {
    char text[256] = {};
    const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                          0, text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
      message.pop_back();
    }
    if (message.empty()) message = "system error " + std::to_string(code);
    return message;
  }

  HANDLE handle_ = INVALID_HANDLE_VALUE;
  ULONGLONG read_deadline_ = 0;  // the total time-out of the last Read
};

}  // namespace

std::string ResolvePortDevice(const char* port_name) {
  const int n = ComPortNumber(port_name);
  if (n == 0) return port_name != nullptr ? port_name : "";
  char device[16];
  std::snprintf(device, sizeof device, "\\\\.\\COM%d", n);
  return device;
}

std::unique_ptr<SerialPort> CreateSystemSerialPort() {
  return std::make_unique<WindowsSerialPort>();
}

// Windows keeps its ports to one program by itself; there are no lock files to honour.
std::unique_ptr<SerialPort> CreateSystemSerialPort(const std::vector<std::string>&) {
  return std::make_unique<WindowsSerialPort>();
}

// COM names are the system's own on Windows; there is no ports folder to trust.
bool PortsFolderTrusted(const std::string&, std::string& why) {
  why.clear();
  return true;
}

}  // namespace korvel

#endif  // _WIN32
