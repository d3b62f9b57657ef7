#include "link/parameter_map.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "link/conversions.hpp"
#include "tests/link/scripted_port.hpp"

namespace korvel {
namespace {

using testing::GoodReply;
using testing::ScriptedPort;

// --- the table --------------------------------------------------------------------------------

TEST(ParameterMap, AddressesFollowTheFileOrderAndSkipTheCommandAddress) {
  std::set<int> addresses;
  for (int i = 0; i < kParameterCount; ++i) {
    const int expected = i <= 24 ? 5 + i : 6 + i;
    EXPECT_EQ(ParameterMap[i].address, expected) << ParameterMap[i].name;
    EXPECT_NE(ParameterMap[i].address, CommandAddress);
    addresses.insert(ParameterMap[i].address);
  }
  EXPECT_EQ(addresses.size(), 28u);
}

TEST(ParameterMap, EveryRecordDataByteHoldsExactlyOneParameter) {
  std::array<int, 15> config_uses{};
  std::array<int, 16> options_uses{};
  for (const ParameterInfo& p : ParameterMap) {
    switch (p.record) {
      case RecordKind::kConfig:
        ASSERT_TRUE(p.byte >= 1 && p.byte <= 13) << p.name;
        ++config_uses[static_cast<size_t>(p.byte)];
        break;
      case RecordKind::kOptions:
        ASSERT_TRUE(p.byte >= 1 && p.byte <= 14) << p.name;
        ++options_uses[static_cast<size_t>(p.byte)];
        break;
      case RecordKind::kLiveData:
        EXPECT_STREQ(p.name, "AttInit");
        EXPECT_EQ(p.byte, 4);
        break;
    }
  }
  for (int b = 1; b <= 13; ++b) EXPECT_EQ(config_uses[static_cast<size_t>(b)], 1) << "config byte " << b;
  for (int b = 1; b <= 14; ++b) EXPECT_EQ(options_uses[static_cast<size_t>(b)], 1) << "options byte " << b;
}

TEST(ParameterMap, SaveReadsEachKeyFromItsRecordByte) {
  // File order against the records: config 1..11, options 1..2, live 4, options 3..12, config 12,
  // options 13..14, config 13.
  struct Place {
    RecordKind record;
    int byte;
  };
  auto expected = [](int i) -> Place {
    if (i <= 10) return {RecordKind::kConfig, i + 1};
    if (i <= 12) return {RecordKind::kOptions, i - 10};
    if (i == 13) return {RecordKind::kLiveData, 4};
    if (i <= 23) return {RecordKind::kOptions, i - 11};
    if (i == 24) return {RecordKind::kConfig, 12};
    if (i <= 26) return {RecordKind::kOptions, i - 12};
    return {RecordKind::kConfig, 13};
  };
  for (int i = 0; i < kParameterCount; ++i) {
    const ParameterInfo& p = ParameterMap[i];
    EXPECT_EQ(p.record, expected(i).record) << p.name;
    EXPECT_EQ(p.byte, expected(i).byte) << p.name;
    EXPECT_EQ(FindParameter(p.name), i);
  }
  EXPECT_STREQ(ParameterMap[13].name, "AttInit");
  EXPECT_STREQ(ParameterMap[24].name, "TPSInert");
  EXPECT_STREQ(ParameterMap[27].name, "Otwarcie_GAZU");
  EXPECT_EQ(FindParameter("Otwarcie_GAZU="), -1);
  EXPECT_EQ(FindParameter("options"), -1);
}

TEST(ParameterMap, EncodingKindsMatchTheEditors) {
  const char* plain_plus_one[] = {"LambdaDelay", "EmulBJ_TimeHi", "EmulBJ_TimeLo", "IgnitionType",
                                  "TPSInert", "InjectDelay", "Otwarcie_GAZU"};
  const char* bit_fields[] = {"Options", "LambdaType", "EmulType", "EmulDO_TimeHi", "EmulDO_TimeLo"};
  const char* plain[] = {"AttMax", "AttMin", "AttInit", "AttJump", "AttMax_BJ", "AttMin_BJ"};
  for (const char* name : plain_plus_one) EXPECT_EQ(ParameterMap[FindParameter(name)].encoding, Encoding::kPlainPlusOne) << name;
  for (const char* name : bit_fields) EXPECT_EQ(ParameterMap[FindParameter(name)].encoding, Encoding::kBitField) << name;
  for (const char* name : plain) EXPECT_EQ(ParameterMap[FindParameter(name)].encoding, Encoding::kPlain) << name;
}

TEST(ParameterMap, SpeedPairsAreLowByteThenHighByteAtTheNextAddress) {
  for (int i = 0; i < kParameterCount; ++i) {
    if (ParameterMap[i].encoding != Encoding::kSpeedPairLo) continue;
    const ParameterInfo& lo = ParameterMap[i];
    const ParameterInfo& hi = ParameterMap[i + 1];
    EXPECT_EQ(hi.encoding, Encoding::kSpeedPairHi) << lo.name;
    EXPECT_EQ(hi.address, lo.address + 1) << lo.name;
    EXPECT_EQ(hi.byte, lo.byte + 1) << lo.name;
    EXPECT_EQ(std::string(hi.name), std::string(lo.name, std::strlen(lo.name) - 2) + "Hi");
  }
}

TEST(ParameterMap, StoredValuesComeFromTheirRecords) {
  ScriptedPort port;
  ControllerLink link(port);
  link.ConfigRecord[12] = 7;    // TPSInert
  link.OptionsRecord[14] = 9;   // AttMin_BJ
  link.LiveDataRecord[4] = 128; // AttInit
  link.ConfigRecord[1] = 0x5A;  // Options, the first parameter
  EXPECT_EQ(StoredParameterValue(link, 0), 0x5A);
  EXPECT_EQ(StoredParameterValue(link, FindParameter("TPSInert")), 7);
  EXPECT_EQ(StoredParameterValue(link, FindParameter("AttMin_BJ")), 9);
  EXPECT_EQ(StoredParameterValue(link, FindParameter("AttInit")), 128);
  EXPECT_EQ(StoredParameterValue(link, -1), 0);
  EXPECT_EQ(StoredParameterValue(link, kParameterCount), 0);
  // An engine-speed pair is read from its two neighbouring options bytes, low byte first.
  const uint32_t period = PeriodFromEngineSpeed(1400);
  link.OptionsRecord[8] = LowByte(period);    // CutOffRPMLo
  link.OptionsRecord[9] = HighByte(period);   // CutOffRPMHi
  link.OptionsRecord[10] = 0x30;              // CutOffSteps, next in the record
  EXPECT_EQ(SpeedPairPosition(link, Parameter::CutOffRPMLo, kCutOffSpeedBase), static_cast<int>((1400 - kCutOffSpeedBase) / 100));
}

// --- encodings and their inverses -------------------------------------------------------------

TEST(ParameterEncoding, AllZeroRecordsShowTheFirstEntryEverywhere) {
  EXPECT_EQ(PlainPlusOnePosition(0), 0);
  for (uint8_t range : {0, 1, 5, 15}) EXPECT_EQ(LambdaPointPosition(0, range), 0);
  EXPECT_EQ(TpsJumpPosition(0), 0);
  EXPECT_EQ(CutOffStepsPosition(0), 0);
  EXPECT_EQ(LpgOnTempPosition(0), 0);
  EXPECT_EQ(SpeedPairPosition(0, 0, kLpgOnSpeedBase), 0);
  EXPECT_EQ(SpeedPairPosition(0, 0, kCutOffSpeedBase), 0);
  EXPECT_EQ(SpeedPairPosition(0, 0, kLpgOffSpeedBase), 0);
}

TEST(ParameterEncoding, LambdaPointDependsOnTheRange) {
  EXPECT_EQ(LambdaPointPosition(25, 0), 5);  // 0,50 V
  EXPECT_EQ(LambdaPointPosition(25, 1), 0);  // below the offset 100
  EXPECT_EQ(LambdaPointPosition(60, 5), 10);
  EXPECT_EQ(LambdaPointPosition(150, 4), 50);
  EXPECT_EQ(LambdaPointOffset(0), 20);
  EXPECT_EQ(LambdaPointOffset(5), 50);
  EXPECT_EQ(LambdaPointOffset(3), 100);
  EXPECT_EQ(DefaultLambdaPoint(0), 22);
  EXPECT_EQ(DefaultLambdaPoint(5), 60);
  EXPECT_EQ(DefaultLambdaPoint(2), 127);
  // Each default lies inside its own range's span.
  EXPECT_EQ(LambdaPointPosition(DefaultLambdaPoint(0), 0), 2);
  EXPECT_EQ(LambdaPointPosition(DefaultLambdaPoint(5), 5), 10);
  EXPECT_EQ(LambdaPointPosition(DefaultLambdaPoint(1), 1), 27);
}

TEST(ParameterEncoding, EveryLambdaModeHasItsListEntry) {
  // Modes 2..5 share one entry; 8 and above show as the last.
  const int expected[16] = {0, 1, 2, 2, 2, 2, 3, 4, 5, 5, 5, 5, 5, 5, 5, 5};
  for (int mode = 0; mode < 16; ++mode) EXPECT_EQ(LambdaModePosition(static_cast<uint8_t>(mode)), expected[mode]) << mode;
}

TEST(ParameterEncoding, ScaledListsRoundTrip) {
  for (int k = 0; k <= 50; ++k) EXPECT_EQ(TpsJumpPosition(TpsJumpValue(k)), k) << k;      // 0..250
  for (int k = 0; k <= 49; ++k) EXPECT_EQ(CutOffStepsPosition(CutOffStepsValue(k)), k) << k;  // 2..100
  EXPECT_EQ(CutOffStepsValue(49), 100);
  EXPECT_EQ(TpsJumpValue(50), 250);
  for (int raw = 1; raw <= 255; ++raw) {
    EXPECT_EQ(PlainPlusOnePosition(static_cast<uint8_t>(raw)) + 1, raw);
  }
}

TEST(ParameterEncoding, EveryTemperatureEntryReadsBackAsItself) {
  EXPECT_EQ(LpgOnTempValue(15), 171);  // 40 degrees
  EXPECT_EQ(LpgOnTempPosition(171), 15);
  for (int k = 0; k <= 25; ++k) {  // 10 .. 60 degrees in steps of 2
    const uint8_t raw = LpgOnTempValue(k);
    EXPECT_EQ(raw, RawFromTemperature(10 + 2 * k));
    EXPECT_EQ(TemperatureFromRaw(raw), 10 + 2 * k) << "k " << k;
    EXPECT_EQ(LpgOnTempPosition(raw), k) << "k " << k;
  }
  EXPECT_EQ(LpgOnTempPosition(RawFromTemperature(9)), 0);
}

struct SpeedList {
  const char* name;
  uint32_t base;
  uint32_t top;
};

class SpeedListTest : public ::testing::TestWithParam<SpeedList> {};

TEST_P(SpeedListTest, EveryEntryReadsBackAsItself) {
  const SpeedList list = GetParam();
  for (uint32_t rpm = list.base; rpm <= list.top; rpm += 100) {
    const uint32_t p = PeriodFromEngineSpeed(rpm);
    EXPECT_LT(p, 65536u);
    EXPECT_EQ(EngineSpeedFromPeriod(HighByte(p), LowByte(p)), rpm);
    EXPECT_EQ(SpeedPairPosition(HighByte(p), LowByte(p), list.base), static_cast<int>((rpm - list.base) / 100))
        << rpm;
  }
}

INSTANTIATE_TEST_SUITE_P(Lists, SpeedListTest,
                         ::testing::Values(SpeedList{"LpgOn", kLpgOnSpeedBase, 3500},
                                           SpeedList{"CutOff", kCutOffSpeedBase, 2500},
                                           SpeedList{"LpgOff", kLpgOffSpeedBase, 8000}),
                         [](const ::testing::TestParamInfo<SpeedList>& param_info) { return param_info.param.name; });

TEST(ParameterEncoding, SpeedBelowTheListBaseShowsTheFirstEntry) {
  const uint32_t p = PeriodFromEngineSpeed(900);
  EXPECT_EQ(SpeedPairPosition(HighByte(p), LowByte(p), kCutOffSpeedBase), 0);
  EXPECT_EQ(SpeedPairPosition(HighByte(p), LowByte(p), kLpgOffSpeedBase), 0);
}

TEST(ParameterEncoding, EmulDoFieldsMeanTopMinusTwiceTheField) {
  const uint8_t stored = 0x9A;
  EXPECT_EQ(EmulDoCorrection(kEmulDoHiLowTop, stored & 0x0F), -2);
  EXPECT_EQ(EmulDoCorrection(kEmulDoHiHighTop, stored >> 4), 2);
  // Field 0 is the largest correction of each list, 15 the smallest.
  EXPECT_EQ(EmulDoCorrection(kEmulDoHiLowTop, 15), -12);
  EXPECT_EQ(EmulDoCorrection(kEmulDoHiHighTop, 15), -10);
  EXPECT_EQ(EmulDoCorrection(kEmulDoLoLowTop, 15), -20);
  EXPECT_EQ(EmulDoCorrection(kEmulDoLoHighTop, 0), 14);
}

// --- writes -------------------------------------------------------------------------------------

class ParameterWriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port.Reply(GoodReply({0x00, 0x25}));  // variant 2
    link.ReadIdentity();
    port.ClearRecord();
  }
  ScriptedPort port;
  ControllerLink link{port};
};

TEST_F(ParameterWriteTest, EngineSpeedPairGoesLowByteFirst) {
  port.Reply({0x65, 0, 0});
  port.Reply({0x65, 0, 0});
  const PairWriteResult r = WriteEngineSpeedPair(link, 21, 2300);
  EXPECT_EQ(r.low, kWriteAcknowledged);
  EXPECT_EQ(r.high, kWriteAcknowledged);
  ASSERT_EQ(port.frames.size(), 2u);
  EXPECT_EQ(port.frames[0][1], 21);
  EXPECT_EQ(port.frames[0][2], 0x79);
  EXPECT_EQ(port.frames[1][1], 22);
  EXPECT_EQ(port.frames[1][2], 0x19);
  // Once the controller returns what was written, the list shows 2300 again (position 8).
  EXPECT_EQ(SpeedPairPosition(port.frames[1][2], port.frames[0][2], kLpgOnSpeedBase), 8);
}

TEST_F(ParameterWriteTest, BitFieldWriteKeepsEveryOtherBitAsLastRead) {
  const uint8_t options = 0x81;  // bits 0 and 7 are nobody's, yet go back as read
  WriteBitField(link, 5, options, kOptionsKeepBit5, 0x20);
  WriteBitField(link, 5, 0xFF, kOptionsKeepBit2, 0x00);
  // LambdaRange change: the high nibble replaced, LambdaMode kept.
  WriteBitField(link, 6, 0x27, kKeepLowNibble, 0x50);
  // Driving type 2 into EmulType bits 4-5.
  WriteBitField(link, 9, 0xDB, kEmulTypeKeepDriving, 2 << 4);
  ASSERT_EQ(port.frames.size(), 4u);
  EXPECT_EQ(port.frames[0][2], 0xA1);
  EXPECT_EQ(port.frames[1][2], 0xFB);
  EXPECT_EQ(port.frames[2][2], 0x57);
  EXPECT_EQ(port.frames[3][2], 0xEB);
  // A write never changes the stored record.
  for (uint8_t b : link.ConfigRecord) EXPECT_EQ(b, 0);
}

// A bit field is rewritten from the last polled byte; from a record that holds no reply (never
// polled, or zero-filled when the link was lost) nothing is sent, since the bits to keep are not
// known. A plain value still goes out: it needs nothing from the record.
TEST_F(ParameterWriteTest, BitFieldWriteNeedsARecordThatHoldsAReply) {
  const Parameter bit_fields[] = {Parameter::Options, Parameter::LambdaType, Parameter::EmulType,
                                  Parameter::EmulDO_TimeHi, Parameter::EmulDO_TimeLo};
  for (Parameter p : bit_fields) EXPECT_EQ(WriteBitField(link, p, kKeepHighNibble, 0x01), kWriteNotSent);
  EXPECT_TRUE(port.frames.empty());
  // Whether a record holds a reply is its own lead byte, for each of the three records.
  const Parameter one_of_each[] = {Parameter::Options, Parameter::AttMax, Parameter::AttInit};
  for (Parameter p : one_of_each) EXPECT_FALSE(HoldsControllerReply(link, p)) << Describe(p).name;
  port.Reply(GoodReply(std::vector<uint8_t>(13, 0)));
  port.Reply(GoodReply(std::vector<uint8_t>(14, 0)));
  port.Reply(GoodReply(std::vector<uint8_t>(9, 0)));
  link.ReadConfig();
  link.ReadOptions();
  link.ReadLiveData();
  for (Parameter p : one_of_each) EXPECT_TRUE(HoldsControllerReply(link, p)) << Describe(p).name;
  link.ConfigRecord[0] = link.OptionsRecord[0] = link.LiveDataRecord[0] = 0;
  port.ClearRecord();
  port.Reply({0x65, 0, 0});
  EXPECT_EQ(WriteParameterValue(link, Parameter::LambdaDelay, 12), kWriteAcknowledged);
  ASSERT_EQ(port.frames.size(), 1u);

  // With the configuration in, each goes out with the other bits as read.
  std::vector<uint8_t> config = {0x6A, 0x27, 22, 6, 0xDB, 40, 20, 0x9A, 0x3C, 10, 171, 4, 15};
  port.Reply(GoodReply(config));
  link.ReadConfig();
  port.ClearRecord();
  for (Parameter p : bit_fields) {
    port.Reply({0x65, 0, 0});
    EXPECT_EQ(WriteBitField(link, p, kKeepHighNibble, 0x01), kWriteAcknowledged);
  }
  ASSERT_EQ(port.frames.size(), 5u);
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(port.frames[i][1], AddressOf(bit_fields[i]));
    EXPECT_EQ(port.frames[i][2], (Stored(link, bit_fields[i]) & 0xF0) | 0x01);
  }
}

}  // namespace
}  // namespace korvel
