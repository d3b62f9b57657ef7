#ifndef _WIN32
// The device search on Linux and other POSIX systems.

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/serial.h>
#endif

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "link/port_finder.hpp"

namespace korvel {
namespace {

namespace fs = std::filesystem;

// The names in `folder` that start with `prefix`, sorted by the number that follows (ttyUSB2
// before ttyUSB10), then by name.
std::vector<std::string> NamesStartingWith(const fs::path& folder, const std::string& prefix) {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0) names.push_back(name);
  }
  auto number = [&](const std::string& name) {
    const std::string tail = name.substr(prefix.size());
    return tail.find_first_not_of("0123456789") == std::string::npos && tail.size() < 9 ? std::stol(tail) : -1L;
  };
  std::sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
    const long na = number(a);
    const long nb = number(b);
    return na != nb ? na < nb : a < b;
  });
  return names;
}

// The device a link leads to, through every link on the way; a link whose device is gone keeps
// its target, so that the probe can say what is missing.
std::string DeviceBehind(const fs::path& link) {
  std::error_code error;
  const fs::path device = fs::canonical(link, error);
  if (!error) return device.string();
  fs::path target = fs::read_symlink(link, error);
  if (error) return link.string();
  if (target.is_relative()) target = link.parent_path() / target;
  return target.lexically_normal().string();
}

// Whether a built-in port has a UART behind it. The kernel names ttyS0 to ttyS31 whether or not
// the ports exist; the serial core tells their UART type in sysfs (0: none), and the port itself
// answers TIOCGSERIAL where sysfs is not there. A port that answers neither is left out.
bool HasUart(const fs::path& device, const fs::path& sys_entry) {
  std::ifstream type_file(sys_entry / "type");
  int type = -1;
  if (type_file >> type) return type != 0;
#ifdef __linux__
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  serial_struct serial{};
  const bool uart = ::ioctl(fd, TIOCGSERIAL, &serial) == 0 && serial.type != PORT_UNKNOWN;
  ::close(fd);
  return uart;
#else
  return fs::exists(device);
#endif
}

// The names of the system console's terminals: what the kernel lists as active consoles, the
// console device itself and the virtual terminals. Writing to one of them writes on the machine's
// screen or over its serial console line.
std::vector<std::string> ConsoleNames(const fs::path& sys_tty) {
  std::vector<std::string> names = {"console", "tty"};
  std::ifstream active(sys_tty / "console" / "active");
  std::string name;
  while (active >> name) names.push_back(name);
  return names;
}

bool IsConsole(const std::string& device, const std::vector<std::string>& consoles) {
  const std::string name = fs::path(device).filename().string();
  if (std::find(consoles.begin(), consoles.end(), name) != consoles.end()) return true;
  // tty0, tty1, ...: the virtual terminals.
  return name.size() > 3 && name.compare(0, 3, "tty") == 0 &&
         name.find_first_not_of("0123456789", 3) == std::string::npos;
}

void AddDevice(std::vector<SerialDevice>& devices, const std::string& path, const std::string& name) {
  for (SerialDevice& device : devices) {
    if (device.path != path) continue;
    if (!name.empty() && std::find(device.names.begin(), device.names.end(), name) == device.names.end()) {
      device.names.push_back(name);
    }
    return;
  }
  devices.push_back({path, {}, {}});
  if (!name.empty()) devices.back().names.push_back(name);
}

}  // namespace

std::vector<SerialDevice> ListSerialDevices(const DeviceSearchRoots& roots, bool builtin_ports) {
  std::vector<SerialDevice> devices;
  const fs::path ports(roots.ports);
  std::string why;
  if (PortsFolderTrusted(roots.ports, why)) {
    for (const std::string& name : NamesStartingWith(ports, "COM")) {
      AddDevice(devices, DeviceBehind(ports / name), (ports / name).string());
    }
  }
  const fs::path dev(roots.dev);
  for (const char* prefix : {"ttyUSB", "ttyACM"}) {
    for (const std::string& name : NamesStartingWith(dev, prefix)) AddDevice(devices, DeviceBehind(dev / name), "");
  }
  const fs::path by_id = dev / "serial" / "by-id";
  for (const std::string& name : NamesStartingWith(by_id, "")) {
    AddDevice(devices, DeviceBehind(by_id / name), (by_id / name).string());
  }
  const std::vector<std::string> consoles = ConsoleNames(roots.sys_tty);
  if (builtin_ports) {
    for (const std::string& name : NamesStartingWith(dev, "ttyS")) {
      // The console is not even opened to ask for its UART.
      if (IsConsole(name, consoles) || HasUart(dev / name, fs::path(roots.sys_tty) / name)) {
        AddDevice(devices, DeviceBehind(dev / name), "");
      }
    }
  }
  for (SerialDevice& device : devices) {
    if (IsConsole(device.path, consoles)) device.not_probed = "the system console; not asked";
  }
  return devices;
}

}  // namespace korvel

#endif  // _WIN32
