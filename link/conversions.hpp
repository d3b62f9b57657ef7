#pragma once
#include <cstdint>

namespace korvel {

// The one rounding rule of the system: truncate, then add 1 when the fraction times 100 exceeds 50.
int32_t RoundValue(double x);

// 15000000 / period, rounded to a multiple of 50 rpm; period 0 gives 0.
uint32_t EngineSpeedFromPeriod(uint8_t hi, uint8_t lo);
// 15000000 / rpm (integer division); rpm must be greater than 0.
uint32_t PeriodFromEngineSpeed(uint32_t rpm);

int32_t TemperatureFromRaw(uint32_t raw);
// Writes the temperature of a raw byte as "%02ld", clamped to 0..100, into the 32-byte buffer.
void TemperatureText(uint32_t raw, char (&buffer)[32]);
// Raw byte for a temperature, 68..246: 68 at 0 degrees and below, 245 above 100 degrees.
uint8_t RawFromTemperature(int32_t t);

constexpr uint8_t LowByte(uint32_t v) { return static_cast<uint8_t>(v & 0xFF); }
constexpr uint8_t HighByte(uint32_t v) { return static_cast<uint8_t>((v >> 8) & 0xFF); }

}  // namespace korvel
