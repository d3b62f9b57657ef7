#include "link/conversions.hpp"

#include <cstdio>

namespace korvel {

int32_t RoundValue(double x) {
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
  if (t == 0) return 68;
  if (t <= 50) return static_cast<uint8_t>(RoundValue(t * 2.582 + 68.0));
  if (t <= 100) return static_cast<uint8_t>(RoundValue((t + 160.0) / 1.057));
  return 245;
}

}  // namespace korvel
