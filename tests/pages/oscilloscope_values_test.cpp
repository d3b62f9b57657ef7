// What the Oscilloscope decides before it draws: the trace heights, the read-out texts and the
// cursor scroll rule, at the edges where a scale clips, inverts or a text is cut.
#include <gtest/gtest.h>

#include <string>

#include "link/live_data.hpp"
#include "pages/oscilloscope/scope_values.hpp"
#include "platform/window.hpp"

namespace korvel {
namespace {

std::string Shown(const ScopeText& t) { return std::string(t.text, static_cast<size_t>(t.count)); }

TEST(ScopeValues, TraceHeightsAndReadoutsAtTheEdges) {
  struct Case {
    const char* what;
    uint8_t lambda_type, probe, att, att_init, period_lo, period_hi, aux, indicator, state;
    int a, b, c, d, e;  // heights
    const char *lambda, *att_text, *speed, *aux_text;
    AuxDecoration decoration;
  };
  const Case cases[] = {
      {"0..1 V probe clips at 80", 0x00, 60, 7, 0, 0xB8, 0x0B, 0, 0, 0, 80, 2, 0, 50, 0, "1.17", "007", "5000",
       "0.00", AuxDecoration::kVoltUnit},
      {"0..5 V probe at full scale", 0x10, 255, 255, 255, 0, 0, 255, 0, 1, 76, 85, 85, 0, 82, "4.99", "255", "0000",
       "4.99", AuxDecoration::kVoltUnit},
      {"mode 1 inverts trace E", 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 82, "0.00", "000", "0000", "5.00",
       AuxDecoration::kVoltUnit},
      {"mode 13 inverts too", 0x0D, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 82, "0.00", "000", "0000", "0.00",
       AuxDecoration::kVoltUnit},
      {"mode 3: inverted, no voltage", 0x03, 0, 0, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0, "0.00", "000", "0000", "_.__",
       AuxDecoration::kNone},
      {"mode 7 never inverts, switch off", 0x07, 0, 0, 0, 0, 0, 0, 0x10, 0, 0, 0, 0, 0, 0, "0.00", "000", "0000",
       "OFF", AuxDecoration::kSwitchErase},
      {"mode 15 never inverts", 0x0F, 0, 0, 0, 0, 0, 31, 0x10, 0, 0, 0, 0, 0, 10, "0.00", "000", "0000", "0.60",
       AuxDecoration::kVoltUnit},
      {"mode 6, switch on", 0x06, 0, 0, 0, 0, 0, 0, 0xEF, 0, 0, 0, 0, 0, 0, "0.00", "000", "0000", " ON",
       AuxDecoration::kSwitchErase},
      {"PeriodHi 255: no speed", 0x00, 0, 0, 0, 0x10, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, "0.00", "000", "0000", "0.00",
       AuxDecoration::kVoltUnit},
      {"15000 rpm clips and loses a digit", 0x00, 0, 0, 0, 0xE8, 0x03, 0, 0, 0, 0, 0, 0, 80, 0, "0.00", "000",
       "1500", "0.00", AuxDecoration::kVoltUnit},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    uint8_t live[11] = {0x65, c.aux, c.probe, c.att, c.att_init, c.period_lo, c.period_hi, c.indicator, c.state, 0, 0};
    const TraceHeights h = ScopeTraceHeights(live, c.lambda_type);
    EXPECT_EQ(h.h[kTraceA], c.a);
    EXPECT_EQ(h.h[kTraceB], c.b);
    EXPECT_EQ(h.h[kTraceC], c.c);
    EXPECT_EQ(h.h[kTraceD], c.d);
    EXPECT_EQ(h.h[kTraceE], c.e);
    const ScopeReadouts r = ScopeReadoutsOf(SampleOfRecords(live, c.lambda_type));
    EXPECT_EQ(Shown(r.lambda), c.lambda);
    EXPECT_EQ(Shown(r.att), c.att_text);
    EXPECT_EQ(Shown(r.speed), c.speed);
    EXPECT_EQ(Shown(r.aux), c.aux_text);
    EXPECT_EQ(r.aux_decoration, c.decoration);
    EXPECT_EQ(r.lpg, (c.state & 1) != 0);
  }
  // The cursor shows a recorded speed whose bits 8..15 are all set as no speed.
  EXPECT_EQ(CursorEngineSpeed(0xFF14), 0u);
  EXPECT_EQ(CursorEngineSpeed(5000), 5000u);
}

TEST(ScopeValues, CursorScrollRuleKeepsTheSlotInsideTheHistory) {
  struct Case {
    uint32_t slot;
    int request, position;
    uint32_t expected;
  };
  const Case cases[] = {
      {2, kScrollLineUp, 0, 2},        {3, kScrollLineUp, 0, 2},          {5, kScrollPageUp, 0, 2},
      {13, kScrollPageUp, 0, 3},       {394, kScrollLineDown, 0, 395},    {395, kScrollLineDown, 0, 395},
      {390, kScrollPageDown, 0, 395},  {385, kScrollPageDown, 0, 395},    {100, kScrollThumbTrack, 250, 250},
      {100, kScrollThumbTrack, -1, 2}, {100, kScrollThumbTrack, 900, 395}, {100, 4, 250, 100},
      {100, 8, 0, 100},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ScrollCursorSlot(c.slot, c.request, c.position), c.expected)
        << "slot " << c.slot << " request " << c.request << " position " << c.position;
  }
}

}  // namespace
}  // namespace korvel
