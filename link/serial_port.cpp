#include "link/serial_port.hpp"

namespace korvel {

int ComPortNumber(const char* port_name) {
  if (port_name == nullptr || port_name[0] != 'C' || port_name[1] != 'O' || port_name[2] != 'M') {
    return 0;
  }
  const char* p = port_name + 3;
  int n = 0;
  int digits = 0;
  while (*p >= '0' && *p <= '9') {
    if (++digits > 3) return 0;
    n = n * 10 + (*p - '0');
    ++p;
  }
  if (digits == 0 || n < 1 || n > 255) return 0;
  if (*p == ':') ++p;
  return *p == '\0' ? n : 0;
}

}  // namespace korvel
