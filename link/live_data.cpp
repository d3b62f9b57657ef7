#include "link/live_data.hpp"

#include <cstdio>
#include <cstring>

#include "link/conversions.hpp"

namespace korvel {

double VoltsFromRaw(uint32_t raw) { return raw * 196.0 / 10000.0; }

VoltString VoltText(double v) {
  char full[64];
  std::snprintf(full, sizeof full, "%f", v);
  VoltString out{};
  std::memcpy(out.text, full, 4);
  out.text[4] = '\0';
  return out;
}

uint32_t LiveEngineSpeed(const uint8_t (&live)[11]) {
  if (live[kPeriodHi] == 255) return 0;
  return EngineSpeedFromPeriod(live[kPeriodHi], live[kPeriodLo]);
}

AuxText AuxInputText(uint8_t aux_raw, uint8_t lambda_type, uint8_t indicator_flags) {
  AuxText out{};
  const double volts = VoltsFromRaw(aux_raw);
  switch (LambdaMode(lambda_type)) {
    case 1:
      std::memcpy(out.text, VoltText(5.0 - volts).text, 5);
      out.count = 4;
      break;
    case 2:
    case 3:
      std::memcpy(out.text, "_.__", 5);
      out.count = 4;
      break;
    case 6:
    case 7:
      std::memcpy(out.text, (indicator_flags & 0x10) ? "OFF" : " ON", 4);
      out.count = 3;
      break;
    default:
      std::memcpy(out.text, VoltText(volts).text, 5);
      out.count = 4;
      break;
  }
  return out;
}

}  // namespace korvel
