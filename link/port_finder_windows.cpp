#ifdef _WIN32
// The device search on Windows: the COM ports the system has a device for.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

#include "link/port_finder.hpp"

namespace korvel {

std::vector<SerialDevice> ListSerialDevices(const DeviceSearchRoots& roots, bool builtin_ports) {
  (void)roots;
  (void)builtin_ports;
  std::vector<SerialDevice> devices;
  char target[512];
  for (int n = 1; n <= 255; ++n) {
    const std::string name = "COM" + std::to_string(n);
    if (::QueryDosDeviceA(name.c_str(), target, sizeof target) != 0) devices.push_back({name, {}, {}});
  }
  return devices;
}

}  // namespace korvel

#endif  // _WIN32
