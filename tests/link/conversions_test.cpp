#include "link/conversions.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "link/live_data.hpp"

namespace korvel {
namespace {

TEST(RoundValue, TruncatesAndRoundsUpOnlyAboveHalf) {
  EXPECT_EQ(RoundValue(2.5), 2);
  EXPECT_EQ(RoundValue(2.51), 3);
  EXPECT_EQ(RoundValue(0.505), 1);
  EXPECT_EQ(RoundValue(-2.7), -2);
  EXPECT_EQ(RoundValue(-0.2), 0);
  EXPECT_EQ(RoundValue(0.0), 0);
  EXPECT_EQ(RoundValue(41.0), 41);
}

TEST(RoundValue, SaturatesOutsideTheThirtyTwoBitRange) {
  EXPECT_EQ(RoundValue(1e12), 2147483647);
  EXPECT_EQ(RoundValue(-1e12), -2147483647 - 1);
}

TEST(EngineSpeed, FromPeriodRoundsToFiftyAndSurvivesZero) {
  EXPECT_EQ(EngineSpeedFromPeriod(0x0B, 0xB8), 5000u);  // 3000
  EXPECT_EQ(EngineSpeedFromPeriod(0x1B, 0x58), 2150u);  // 7000: 2142 / 50 = 42.84
  EXPECT_EQ(EngineSpeedFromPeriod(0xFF, 0xFF), 250u);
  EXPECT_EQ(EngineSpeedFromPeriod(0, 0), 0u);
  EXPECT_EQ(EngineSpeedFromPeriod(0, 1), 15000000u);
  // The high byte is the first argument.
  EXPECT_NE(EngineSpeedFromPeriod(0xB8, 0x0B), 5000u);
}

TEST(EngineSpeed, PeriodSplitsLowByteFirst) {
  EXPECT_EQ(PeriodFromEngineSpeed(1500), 10000u);
  EXPECT_EQ(LowByte(10000), 0x10);
  EXPECT_EQ(HighByte(10000), 0x27);
  EXPECT_EQ(PeriodFromEngineSpeed(2300), 6521u);
  EXPECT_EQ(HighByte(0x12345), 0x23);  // bits above 15 are ignored
  EXPECT_EQ(LowByte(0x12345), 0x45);
}

TEST(Temperature, FromRawFollowsBothSegments) {
  const struct {
    uint32_t raw;
    int32_t degrees;
  } cases[] = {{0, 0},    {67, 0},   {68, 0},   {69, 0},   {70, 1},   {150, 32},
               {197, 50}, {199, 51}, {200, 51}, {230, 83}, {255, 110}};
  for (const auto& c : cases) EXPECT_EQ(TemperatureFromRaw(c.raw), c.degrees) << c.raw;
}

TEST(Temperature, RawFromDegreesFollowsBothSegmentsAndTheCeiling) {
  const struct {
    int32_t degrees;
    uint8_t raw;
  } cases[] = {{0, 68},    {1, 71},    {10, 94},   {40, 171},  {50, 197}, {51, 200},
               {80, 227},  {99, 245},  {100, 246}, {101, 245}, {150, 245}};
  for (const auto& c : cases) EXPECT_EQ(RawFromTemperature(c.degrees), c.raw) << c.degrees;
}

TEST(Temperature, BelowZeroStaysOnTheScaleInsteadOfWrapping) {
  EXPECT_EQ(RawFromTemperature(-1), 68);
  EXPECT_EQ(RawFromTemperature(-40), 68);  // the raw formula would give -35, i.e. 221 as a byte
}

TEST(Temperature, BothDirectionsAgreeWithinOneDegree) {
  for (int32_t t = 0; t <= 100; ++t) {
    const int32_t back = TemperatureFromRaw(RawFromTemperature(t));
    EXPECT_LE(std::abs(back - t), 1) << t;
  }
  EXPECT_EQ(TemperatureFromRaw(RawFromTemperature(50)), 50);
}

TEST(Temperature, TextIsTwoOrThreeDigitsUpToOneHundred) {
  char text[32];
  TemperatureText(70, text);
  EXPECT_STREQ(text, "01");
  TemperatureText(0, text);
  EXPECT_STREQ(text, "00");
  TemperatureText(230, text);
  EXPECT_STREQ(text, "83");
  TemperatureText(255, text);
  EXPECT_STREQ(text, "100");  // 110 degrees is shown as the ceiling
}

TEST(LiveValues, VoltsAndTheirCutFourCharacterText) {
  EXPECT_DOUBLE_EQ(VoltsFromRaw(51), 0.9996);
  EXPECT_DOUBLE_EQ(VoltsFromRaw(255), 4.998);
  EXPECT_STREQ(VoltText(VoltsFromRaw(51)).text, "0.99");  // cut, not rounded to 1.00
  EXPECT_STREQ(VoltText(VoltsFromRaw(255)).text, "4.99");
  EXPECT_STREQ(VoltText(VoltsFromRaw(0)).text, "0.00");
  EXPECT_STREQ(VoltText(5.0 - VoltsFromRaw(255)).text, "0.00");
}

TEST(LiveValues, EngineSpeedIgnoresTheLowByteWhenTheHighByteIs255) {
  uint8_t live[11] = {};
  EXPECT_EQ(LiveEngineSpeed(live), 0u);
  live[kPeriodHi] = 0x0B;
  live[kPeriodLo] = 0xB8;
  EXPECT_EQ(LiveEngineSpeed(live), 5000u);
  live[kPeriodHi] = 255;
  for (int lo : {0, 1, 0x80, 0xFF}) {
    live[kPeriodLo] = static_cast<uint8_t>(lo);
    EXPECT_EQ(LiveEngineSpeed(live), 0u) << lo;
  }
}

TEST(LiveValues, SecondInputIsShownByLambdaMode) {
  auto text = [](uint8_t raw, uint8_t lambda_type, uint8_t flags) {
    const AuxText t = AuxInputText(raw, lambda_type, flags);
    return std::string(t.text, static_cast<size_t>(t.count));
  };
  // The range nibble does not matter, only the mode nibble.
  EXPECT_EQ(text(51, 0x00, 0), "0.99");
  EXPECT_EQ(text(51, 0x50, 0), "0.99");
  EXPECT_EQ(text(0, 0x01, 0), "5.00");  // inverted input
  EXPECT_EQ(text(255, 0x21, 0), "0.00");
  EXPECT_EQ(text(51, 0x02, 0), "_.__");
  EXPECT_EQ(text(51, 0x03, 0), "_.__");
  EXPECT_EQ(text(51, 0x06, 0x00), " ON");
  EXPECT_EQ(text(51, 0x07, 0x10), "OFF");
  EXPECT_EQ(text(51, 0x06, 0xEF), " ON");  // only bit 4 decides
  for (uint8_t mode : {4, 5, 8, 9, 15}) EXPECT_EQ(text(255, mode, 0x10), "4.99") << int{mode};
}

}  // namespace
}  // namespace korvel
