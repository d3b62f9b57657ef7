#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "link/serial_port.hpp"

namespace korvel {

// A serial device found on this machine: the path that opens it, and the names that lead to it
// (ports/COMn links of the working folder, /dev/serial/by-id links), in the order found.
struct SerialDevice {
  SerialDevice(std::string device_path, std::vector<std::string> device_names = {}, std::string why_not = {})
      : path(std::move(device_path)), names(std::move(device_names)), not_probed(std::move(why_not)) {}
  std::string path;
  std::vector<std::string> names;
  // Why the device must not be asked (the system console); empty for a device to probe.
  std::string not_probed;
};

// Where the device search looks; the defaults are the machine's own folders, a test gives a tree
// of its own.
struct DeviceSearchRoots {
  std::string ports = "ports";             // the working folder's ports/COMn links
  std::string dev = "/dev";                // ttyUSB*, ttyACM*, ttyS*, serial/by-id/*
  std::string sys_tty = "/sys/class/tty";  // <name>/type: the kind of UART behind a ttyS port
};

// The serial devices present: every ports/COMn entry (also one whose device is gone, so that the
// fitter sees the broken link) when the ports folder is trusted (PortsFolderTrusted), USB adapters,
// /dev/serial/by-id links resolved to their adapters, and with `builtin_ports` the built-in ports
// that really have a UART behind them (the kernel lists many ttyS names that lead nowhere; the
// others are often a console or a modem, so they are asked only on request). Each device once,
// named by everything that leads to it; the system console (sys_tty/console/active, /dev/console,
// the virtual terminals) is listed with not_probed set. On Windows: the COM ports the system knows.
std::vector<SerialDevice> ListSerialDevices(const DeviceSearchRoots& roots = {}, bool builtin_ports = false);

// What a device answered to the identity exchange.
enum class ProbeAnswer {
  kController,     // a controller of variant 2: the one the tool works with
  kOtherVariant,   // a controller of another variant
  kSilent,         // opened, but no good identity reply in three tries
  kGarbled,        // replies came, but none with a good checksum
  kBusy,           // held by another program
  kCannotOpen,     // absent, not a serial line, no permission, ...
};

struct PortProbe {
  ProbeAnswer answer = ProbeAnswer::kSilent;
  uint32_t variant = 0;
  uint32_t firmware = 0;
  std::string reason;  // kCannotOpen, kBusy: the system's words
};

// Up to three identity polls on `device` through a link of its own on `port` (about 420 ms on a
// silent line); stops at the first good reply or at a port that cannot be opened.
PortProbe ProbePort(SerialPort& port, const std::string& device);

// Probes every device side by side, one thread each with its own port from `make_port` (called on
// the caller's thread before the probes start), so the whole search takes as long as one silent
// device. The results are in the order of `devices`.
using SerialPortFactory = std::function<std::unique_ptr<SerialPort>(const std::string& device)>;
std::vector<PortProbe> ProbePorts(const std::vector<std::string>& devices, const SerialPortFactory& make_port);

// "variant 2, firmware 2.05", "another variant (3)", "silent", "busy", "cannot open: <reason>".
std::string ProbeAnswerText(const PortProbe& probe);

}  // namespace korvel
