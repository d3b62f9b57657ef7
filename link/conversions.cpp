#include "link/conversions.hpp"

#include <cmath>
#include <cstdio>
#include <limits>

namespace korvel {

int32_t RoundValue(double x) {
  // Values beyond the 32-bit range (never met by record bytes) saturate instead of overflowing.
  constexpr double kHighest = std::numeric_limits<int32_t>::max();
  constexpr double kLowest = std::numeric_limits<int32_t>::min();
  if (std::isnan(x)) return 0;
  if (x >= kHighest) return std::numeric_limits<int32_t>::max();
  if (x <= kLowest) return std::numeric_limits<int32_t>::min();
  const auto n = static_cast<int32_t>(x);
  const double f = (x - n) * 100.0;
  return f > 50.0 ? n + 1 : n;
}

uint32_t EngineSpeedFromPeriod(uint8_t hi, uint8_t lo) {
  const uint32_t period = static_cast<uint32_t>(hi) * 256u + lo;
  double q = 0.0;
  if (period != 0) q = static_cast<double>(15000000u / period) / 50.0;
  return static_cast<uint32_t>(RoundValue(q)) * 50u;
}

uint32_t PeriodFromEngineSpeed(uint32_t rpm) { return rpm == 0 ? 0 : 15000000u / rpm; }

int32_t TemperatureFromRaw(uint32_t raw) {
  if (raw < 68) return 0;
  if (raw < 200) return RoundValue((static_cast<double>(raw) - 68.0) / 2.582);
  return RoundValue(static_cast<double>(raw) * 1.057 - 160.0);
}

void TemperatureText(uint32_t raw, char (&buffer)[32]) {
  long t = TemperatureFromRaw(raw);
  if (t < 0) t = 0;
  if (t > 100) t = 100;
  std::snprintf(buffer, sizeof buffer, "%02ld", t);
}

uint8_t RawFromTemperature(int32_t t) {
  // Below zero the first segment would leave the raw span 68..246 (and wrap around the byte for
  // t < -26); the controller's scale starts at 0 degrees, so those temperatures write raw 68.
  if (t <= 0) return 68;
  if (t <= 50) return static_cast<uint8_t>(RoundValue(t * 2.582 + 68.0));
  if (t <= 100) return static_cast<uint8_t>(RoundValue((t + 160.0) / 1.057));
  return 245;
}

}  // namespace korvel
