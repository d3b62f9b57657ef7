#pragma once
#include <cstdint>

namespace korvel {

// Byte positions of the 11-byte live-data reply.
enum LiveDataByte : int {
  kAuxInput = 1,
  kLambdaProbe = 2,
  kAtt = 3,
  kAttInit = 4,
  kPeriodLo = 5,
  kPeriodHi = 6,
  kIndicatorFlags = 7,
  kStateFlags = 8,
  kTempRaw = 9,
};

// raw * 196 / 10000 volts (0.0196 V per count).
double VoltsFromRaw(uint32_t raw);

// The first four characters of v formatted with "%f" (for 0 <= v < 10: "d.dd", cut, not rounded),
// zero-terminated.
struct VoltString {
  char text[8];
};
VoltString VoltText(double v);

// Engine speed of a live-data record: EngineSpeedFromPeriod(PeriodHi, PeriodLo), 0 when PeriodHi is 255.
uint32_t LiveEngineSpeed(const uint8_t (&live)[11]);

constexpr uint8_t LambdaRange(uint8_t lambda_type) { return lambda_type >> 4; }
constexpr uint8_t LambdaMode(uint8_t lambda_type) { return lambda_type & 0x0F; }

// The second-input read-out by LambdaMode: the text and how many of its characters are drawn.
struct AuxText {
  char text[8];
  int count;
};
AuxText AuxInputText(uint8_t aux_raw, uint8_t lambda_type, uint8_t indicator_flags);

}  // namespace korvel
