#include "link/parameter_map.hpp"

#include <cstring>

#include "link/conversions.hpp"

namespace korvel {

const ParameterInfo ParameterMap[kParameterCount] = {
    {"Options", RecordKind::kConfig, 1, 5, Encoding::kBitField},
    {"LambdaType", RecordKind::kConfig, 2, 6, Encoding::kBitField},
    {"LambdaPoint", RecordKind::kConfig, 3, 7, Encoding::kLambdaPoint},
    {"LambdaDelay", RecordKind::kConfig, 4, 8, Encoding::kPlainPlusOne},
    {"EmulType", RecordKind::kConfig, 5, 9, Encoding::kBitField},
    {"EmulBJ_TimeHi", RecordKind::kConfig, 6, 10, Encoding::kPlainPlusOne},
    {"EmulBJ_TimeLo", RecordKind::kConfig, 7, 11, Encoding::kPlainPlusOne},
    {"EmulDO_TimeHi", RecordKind::kConfig, 8, 12, Encoding::kBitField},
    {"EmulDO_TimeLo", RecordKind::kConfig, 9, 13, Encoding::kBitField},
    {"InjectDelay", RecordKind::kConfig, 10, 14, Encoding::kPlainPlusOne},
    {"LPGOnTemp", RecordKind::kConfig, 11, 15, Encoding::kTemperature},
    {"AttMax", RecordKind::kOptions, 1, 16, Encoding::kPlain},
    {"AttMin", RecordKind::kOptions, 2, 17, Encoding::kPlain},
    {"AttInit", RecordKind::kLiveData, 4, 18, Encoding::kPlain},
    {"TPSJump", RecordKind::kOptions, 3, 19, Encoding::kTpsJump},
    {"AttJump", RecordKind::kOptions, 4, 20, Encoding::kPlain},
    {"LPGOnRPMLo", RecordKind::kOptions, 5, 21, Encoding::kSpeedPairLo},
    {"LPGOnRPMHi", RecordKind::kOptions, 6, 22, Encoding::kSpeedPairHi},
    {"IgnitionType", RecordKind::kOptions, 7, 23, Encoding::kPlainPlusOne},
    {"CutOffRPMLo", RecordKind::kOptions, 8, 24, Encoding::kSpeedPairLo},
    {"CutOffRPMHi", RecordKind::kOptions, 9, 25, Encoding::kSpeedPairHi},
    {"CutOffSteps", RecordKind::kOptions, 10, 26, Encoding::kCutOffSteps},
    {"LPGOffRPMLo", RecordKind::kOptions, 11, 27, Encoding::kSpeedPairLo},
    {"LPGOffRPMHi", RecordKind::kOptions, 12, 28, Encoding::kSpeedPairHi},
    {"TPSInert", RecordKind::kConfig, 12, 29, Encoding::kPlainPlusOne},
    {"AttMax_BJ", RecordKind::kOptions, 13, 31, Encoding::kPlain},
    {"AttMin_BJ", RecordKind::kOptions, 14, 32, Encoding::kPlain},
    {"Otwarcie_GAZU", RecordKind::kConfig, 13, 33, Encoding::kPlainPlusOne},
};

int FindParameter(const char* name) {
  for (int i = 0; i < kParameterCount; ++i) {
    if (std::strcmp(ParameterMap[i].name, name) == 0) return i;
  }
  return -1;
}

uint8_t StoredParameterValue(const ControllerLink& link, int index) {
  if (index < 0 || index >= kParameterCount) return 0;
  const ParameterInfo& p = ParameterMap[index];
  switch (p.record) {
    case RecordKind::kConfig:
      return link.ConfigRecord[p.byte];
    case RecordKind::kOptions:
      return link.OptionsRecord[p.byte];
    case RecordKind::kLiveData:
      return link.LiveDataRecord[p.byte];
  }
  return 0;
}

uint8_t LambdaPointOffset(uint8_t range) {
  if (range == 0) return 20;
  if (range == 5) return 50;
  return 100;
}

uint8_t DefaultLambdaPoint(uint8_t range) {
  if (range == 0) return 22;
  if (range == 5) return 60;
  return 127;
}

int LambdaModePosition(uint8_t mode) {
  if (mode >= 8) return 5;
  if (mode == 7) return 4;
  if (mode == 6) return 3;
  if (mode >= 2) return 2;
  return mode;  // 0 or 1
}

int PlainPlusOnePosition(uint8_t raw) { return raw == 0 ? 0 : raw - 1; }

int LambdaPointPosition(uint8_t raw, uint8_t range) {
  const uint8_t offset = LambdaPointOffset(range);
  return raw < offset ? 0 : raw - offset;
}

int TpsJumpPosition(uint8_t raw) { return raw / 5; }

int CutOffStepsPosition(uint8_t raw) {
  const int h = raw >> 1;
  return h == 0 ? 0 : h - 1;
}

int LpgOnTempPosition(uint8_t raw) {
  const int32_t t = TemperatureFromRaw(raw);
  return t <= 9 ? 0 : (t - 10) / 2;
}

int SpeedPairPosition(uint8_t hi, uint8_t lo, uint32_t base) {
  const uint32_t rpm = EngineSpeedFromPeriod(hi, lo);
  return rpm >= base ? static_cast<int>((rpm - base) / 100) : 0;
}

uint8_t LpgOnTempValue(int k) { return RawFromTemperature(2 * k + 10); }
uint8_t CutOffStepsValue(int k) { return static_cast<uint8_t>(2 * k + 2); }
uint8_t TpsJumpValue(int k) { return static_cast<uint8_t>(5 * k); }

PairWriteResult WriteEngineSpeedPair(ControllerLink& link, uint8_t lo_address, uint32_t rpm) {
  const uint32_t period = PeriodFromEngineSpeed(rpm);
  PairWriteResult result{};
  result.low = link.WriteParameter(lo_address, LowByte(period));
  result.high = link.WriteParameter(static_cast<uint8_t>(lo_address + 1), HighByte(period));
  return result;
}

int WriteBitField(ControllerLink& link, uint8_t address, uint8_t stored, uint8_t keep_mask, uint8_t field) {
  return link.WriteParameter(address, static_cast<uint8_t>((stored & keep_mask) | field));
}

uint8_t Stored(const ControllerLink& link, Parameter parameter) {
  return StoredParameterValue(link, static_cast<int>(parameter));
}

int WriteParameterValue(ControllerLink& link, Parameter parameter, uint8_t value) {
  return link.WriteParameter(AddressOf(parameter), value);
}

PairWriteResult WriteEngineSpeedPair(ControllerLink& link, Parameter low, uint32_t rpm) {
  return WriteEngineSpeedPair(link, AddressOf(low), rpm);
}

int SpeedPairPosition(const ControllerLink& link, Parameter low, uint32_t base) {
  const auto high = static_cast<Parameter>(static_cast<int>(low) + 1);
  return SpeedPairPosition(Stored(link, high), Stored(link, low), base);
}

bool HoldsControllerReply(const ControllerLink& link, Parameter parameter) {
  switch (Describe(parameter).record) {
    case RecordKind::kConfig:
      return link.ConfigRecord[0] == kLeadByte;
    case RecordKind::kOptions:
      return link.OptionsRecord[0] == kLeadByte;
    case RecordKind::kLiveData:
      return link.LiveDataRecord[0] == kLeadByte;
  }
  return false;
}

int WriteBitField(ControllerLink& link, Parameter parameter, uint8_t keep_mask, uint8_t field) {
  if (!HoldsControllerReply(link, parameter)) return kWriteNotSent;
  return WriteBitField(link, AddressOf(parameter), Stored(link, parameter), keep_mask, field);
}

}  // namespace korvel
