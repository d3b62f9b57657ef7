// What a parameter byte means to the fitter, against what the Configuration and Options pages and
// the corrections dialog show for it.
#include "files/parameter_meaning.hpp"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

namespace korvel {
namespace {

TEST(ParameterMeaning, EachKindOfParameterReadsAsThePagesShowIt) {
  LanguageTable english;
  ASSERT_TRUE(LoadLanguageTexts(english, "ang", KORVEL_LANG_DIR));
  using P = Parameter;
  const struct {
    P parameter;
    uint8_t raw;
    bool texts;
    std::initializer_list<std::pair<P, uint8_t>> set;  // other values of the set that matter
    const char* meaning;
  } cases[] = {
      // Bit fields by their fields; the choices from language slots by number without texts.
      {P::Options, 0x28, true, {}, "AttInit set manually, acceleration enrichment, switch to LPG on deceleration, cut-off active"},
      {P::Options, 0x95, false, {}, "bit 0 set, AttInit automatic, switch to LPG on choice 1, bit 7 set"},
      {P::Options, 0x42, true, {}, "LPG switch-on temperature on, AttInit set manually, switch to LPG on deceleration, LPG off above engine speed"},
      {P::LambdaType, 0x06, true, {}, "0-1 V, ON/OFF to ground"},
      {P::LambdaType, 0x54, true, {}, "0,8-1,6 V, No TPS (mode 4)"},
      {P::LambdaType, 0x7B, false, {}, "range 7 (not in the page's list), mode 11"},
      {P::EmulType, 0x19, true, {}, "emulation Continuous, gas opening time on, driving type Normal"},
      {P::EmulType, 0xF7, false, {}, "emulation kind 3 (not in the page's list), bit 2 set, gas opening time off, driving type 3 (not in the page's list), bit 6 set, bit 7 set"},
      {P::EmulDO_TimeHi, 0x9A, true, {}, "High speed, low load -2; High speed, high load +2"},
      {P::EmulDO_TimeLo, 0x3C, false, {}, "bits 0-3 -14; bits 4-7 +8"},
      {P::EmulDO_TimeLo, 0x00, false, {}, "bits 0-3 +10; bits 4-7 +14"},
      // LambdaPoint in the list of its own set's range.
      {P::LambdaPoint, 25, true, {{P::LambdaType, 0x00}}, "0,50 V"},
      {P::LambdaPoint, 25, true, {{P::LambdaType, 0x10}}, "0,50 V (not in the page's list)"},
      {P::LambdaPoint, 60, true, {{P::LambdaType, 0x50}}, "1,20 V"},
      {P::LambdaPoint, 127, true, {{P::LambdaType, 0x20}}, "2:54 V"},
      {P::LambdaPoint, 150, true, {{P::LambdaType, 0xF0}}, "3:00 V"},
      // Lists with the pages' formats and the unit.
      {P::LambdaDelay, 1, true, {}, "0:05 min:s"},
      {P::LambdaDelay, 255, true, {}, "21:15 min:s"},
      {P::LambdaDelay, 0, true, {}, "not in the page's list"},
      {P::EmulBJ_TimeLo, 41, true, {}, "1,025 ms"},
      {P::InjectDelay, 50, true, {}, "5,0 ms"},
      {P::InjectDelay, 51, true, {}, "not in the page's list"},
      {P::Otwarcie_GAZU, 7, true, {}, "0,7 s"},
      {P::TPSInert, 19, true, {}, "0,40 V"},
      {P::TPSInert, 20, true, {}, "not in the page's list"},
      {P::TPSInert, 0, true, {}, "not in the page's list"},
      {P::TPSJump, 50, true, {}, "1,0 V"},
      {P::TPSJump, 255, true, {}, "not in the page's list"},
      {P::CutOffSteps, 7, true, {}, "6 %"},
      {P::CutOffSteps, 1, true, {}, "not in the page's list"},
      {P::LPGOnTemp, 171, true, {}, "40 \u00B0C"},
      {P::AttMax, 12, true, {}, "+12"},
      {P::AttMin_BJ, 0, true, {}, "-0"},
      {P::AttJump, 7, true, {}, "7"},
      {P::IgnitionType, 6, true, {}, "2 DIS coils, 4 cyl."},
      {P::IgnitionType, 6, false, {}, "type 6"},
      {P::IgnitionType, 19, true, {}, "type 19 (not in the page's list)"},
      // Engine speeds from both bytes of the pair, whichever of the two is asked.
      {P::LPGOnRPMLo, 0x79, true, {{P::LPGOnRPMHi, 0x19}}, "2300 rpm"},
      {P::LPGOnRPMHi, 0x19, true, {{P::LPGOnRPMLo, 0x79}}, "2300 rpm"},
      {P::LPGOffRPMLo, 0x53, true, {{P::LPGOffRPMHi, 0x07}}, "8000 rpm"},
      {P::CutOffRPMHi, 0, true, {}, "0 rpm (not in the page's list)"},
  };
  for (const auto& c : cases) {
    uint8_t values[kParameterCount] = {};
    for (const auto& [parameter, value] : c.set) values[static_cast<int>(parameter)] = value;
    values[static_cast<int>(c.parameter)] = c.raw;
    const ParameterSetContext context{values, c.texts ? &english : nullptr};
    EXPECT_EQ(DescribeParameterValue(c.parameter, c.raw, context), c.meaning)
        << Describe(c.parameter).name << " " << static_cast<int>(c.raw);
  }
}

}  // namespace
}  // namespace korvel
