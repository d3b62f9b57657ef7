#pragma once
#include <cstdint>

#include "link/controller_link.hpp"

namespace korvel {

// Write address 30 carries a one-byte command instead of a parameter.
constexpr uint8_t CommandAddress = 30;
constexpr uint8_t kLearnCommand = 50;
constexpr uint8_t kFactoryResetCommand = 51;

enum class RecordKind { kConfig, kOptions, kLiveData };

// How an editing list position k becomes the byte that is written.
enum class Encoding {
  kPlain,          // k
  kPlainPlusOne,   // k + 1
  kLambdaPoint,    // k + offset of the lambda range (20, 50, 100)
  kTpsJump,        // 5 * k
  kCutOffSteps,    // 2 * k + 2
  kTemperature,    // RawFromTemperature(2 * k + 10)
  kSpeedPairLo,    // LowByte of 15000000 / rpm, sent first
  kSpeedPairHi,    // HighByte of the same period, sent second
  kBitField,       // stored byte with the edited field replaced
};

struct ParameterInfo {
  const char* name;     // configuration-file key without "="
  RecordKind record;
  int byte;             // index in its record (lead byte is 0)
  uint8_t address;      // write address
  Encoding encoding;
};

constexpr int kParameterCount = 28;
// The 28 parameters in configuration-file order.
extern const ParameterInfo ParameterMap[kParameterCount];

// The parameters by name: each value indexes ParameterMap, so a page reaches a parameter's record
// byte and write address through the map and never through a literal.
enum class Parameter : int {
  Options,
  LambdaType,
  LambdaPoint,
  LambdaDelay,
  EmulType,
  EmulBJ_TimeHi,
  EmulBJ_TimeLo,
  EmulDO_TimeHi,
  EmulDO_TimeLo,
  InjectDelay,
  LPGOnTemp,
  AttMax,
  AttMin,
  AttInit,
  TPSJump,
  AttJump,
  LPGOnRPMLo,
  LPGOnRPMHi,
  IgnitionType,
  CutOffRPMLo,
  CutOffRPMHi,
  CutOffSteps,
  LPGOffRPMLo,
  LPGOffRPMHi,
  TPSInert,
  AttMax_BJ,
  AttMin_BJ,
  Otwarcie_GAZU,
};
static_assert(static_cast<int>(Parameter::Otwarcie_GAZU) == kParameterCount - 1);

inline const ParameterInfo& Describe(Parameter parameter) { return ParameterMap[static_cast<int>(parameter)]; }
inline uint8_t AddressOf(Parameter parameter) { return Describe(parameter).address; }
// The byte of the last good poll (0 while the records are zero-filled).
uint8_t Stored(const ControllerLink& link, Parameter parameter);
// One ParameterWrite of `value` to the parameter's address; the result of WriteParameter.
int WriteParameterValue(ControllerLink& link, Parameter parameter, uint8_t value);

// Index in ParameterMap of a key (without "="), or -1.
int FindParameter(const char* name);
// The stored byte of parameter `index` in the link's records (0 for an index outside 0..27).
uint8_t StoredParameterValue(const ControllerLink& link, int index);

// Offset of the LambdaPoint list for a lambda range: 20 (range 0), 50 (range 5), 100 (others).
uint8_t LambdaPointOffset(uint8_t range);
// Default LambdaPoint written after a range change: 22, 60 or 127.
uint8_t DefaultLambdaPoint(uint8_t range);

// The names of LambdaRange 0 to 5, as the Configuration page lists them.
constexpr const char* kLambdaRangeNames[6] = {"0-1 V", "0-5 V -", "0-5 V +", "5-0 V -", "5-0 V +", "0,8-1,6 V"};
// The LambdaMode values written for the six entries of the lambda-mode list.
constexpr uint8_t kLambdaModeValues[6] = {0, 1, 2, 6, 7, 8};
// The entry of that list shown for a stored LambdaMode: 8 or more the last, 3 to 5 the entry of 2.
int LambdaModePosition(uint8_t mode);

// Base engine speed of the three speed lists.
constexpr uint32_t kLpgOnSpeedBase = 1500;
constexpr uint32_t kCutOffSpeedBase = 1000;
constexpr uint32_t kLpgOffSpeedBase = 4000;

// List positions shown for stored bytes (the inverse rules the pages apply on every refresh).
int PlainPlusOnePosition(uint8_t raw);
int LambdaPointPosition(uint8_t raw, uint8_t range);
int TpsJumpPosition(uint8_t raw);
int CutOffStepsPosition(uint8_t raw);
int LpgOnTempPosition(uint8_t raw);
int SpeedPairPosition(uint8_t hi, uint8_t lo, uint32_t base);

// Bytes written for list positions.
uint8_t LpgOnTempValue(int k);
uint8_t CutOffStepsValue(int k);
uint8_t TpsJumpValue(int k);

// Writes an engine speed as its period: low byte to lo_address, then high byte to lo_address + 1.
// Returns the results of the two writes.
struct PairWriteResult {
  int low;
  int high;
};
PairWriteResult WriteEngineSpeedPair(ControllerLink& link, uint8_t lo_address, uint32_t rpm);
// The same for a pair named by its low parameter (LPGOnRPMLo, CutOffRPMLo, LPGOffRPMLo).
PairWriteResult WriteEngineSpeedPair(ControllerLink& link, Parameter low, uint32_t rpm);
// List position of a stored engine-speed pair named by its low parameter.
int SpeedPairPosition(const ControllerLink& link, Parameter low, uint32_t base);

// Keep-masks of the bit fields the pages edit: the stored byte is ANDed with the mask and the new
// field value ORed in, so every other bit goes back to the controller as last read.
constexpr uint8_t kOptionsKeepBit1 = 0xFD;   // LPGOnTemp choice shown
constexpr uint8_t kOptionsKeepBit2 = 0xFB;   // AttInit choice hidden (box 1034 is inverted)
constexpr uint8_t kOptionsKeepBit3 = 0xF7;   // AttJump and TPSJump choices shown
constexpr uint8_t kOptionsKeepBit4 = 0xEF;   // the two-way choice of the Configuration page
constexpr uint8_t kOptionsKeepBit5 = 0xDF;   // cut-off active
constexpr uint8_t kOptionsKeepBit6 = 0xBF;   // LPG-off choice shown
constexpr uint8_t kKeepLowNibble = 0x0F;     // for an edit of the high nibble (LambdaRange, EmulDO)
constexpr uint8_t kKeepHighNibble = 0xF0;    // for an edit of the low nibble (LambdaMode, EmulDO)
constexpr uint8_t kEmulTypeKeepKind = 0xFC;      // bits 0-1: emulation kind 0..2
constexpr uint8_t kEmulTypeKeepGasOpening = 0xF7;  // bit 3: Otwarcie_GAZU choice shown
constexpr uint8_t kEmulTypeKeepDriving = 0xCF;   // bits 4-5: driving type 0..2

// The four 4-bit correction fields of EmulDO_TimeHi/EmulDO_TimeLo store 15 - k for list position k
// of 16 even corrections; field n means top - 2n, with top the largest correction of the list.
constexpr int kEmulDoHiLowTop = 18;   // EmulDO_TimeHi bits 0-3: -12 .. +18
constexpr int kEmulDoHiHighTop = 20;  // EmulDO_TimeHi bits 4-7: -10 .. +20
constexpr int kEmulDoLoLowTop = 10;   // EmulDO_TimeLo bits 0-3: -20 .. +10
constexpr int kEmulDoLoHighTop = 14;  // EmulDO_TimeLo bits 4-7: -16 .. +14
constexpr int EmulDoCorrection(int top, uint8_t field) { return top - 2 * (field & 0x0F); }

// Read-modify-write of a bit field: (stored & keep_mask) | field, sent to address.
int WriteBitField(ControllerLink& link, uint8_t address, uint8_t stored, uint8_t keep_mask, uint8_t field);
// The same for a bit-field parameter, from its stored byte. While the record that holds the byte
// holds no controller reply (zero-filled when the link was lost, or never polled), nothing is sent
// and the result is kWriteNotSent: the bits to keep are not known, and writing zeros in their place
// would change settings the fitter never touched.
int WriteBitField(ControllerLink& link, Parameter parameter, uint8_t keep_mask, uint8_t field);
// True when the record that holds `parameter` holds a reply of the controller (lead byte 0x65).
bool HoldsControllerReply(const ControllerLink& link, Parameter parameter);

}  // namespace korvel
