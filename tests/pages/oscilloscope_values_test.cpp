// What the Oscilloscope decides before it draws: the trace heights, the read-out texts, the
// cursor scroll rule, at the edges where a scale clips, inverts or a text is cut, and the device
// columns and segments of a sweeping tick across a wrap in three size classes.
#include <gtest/gtest.h>

#include <string>

#include "link/live_data.hpp"
#include "pages/oscilloscope/scope_values.hpp"
#include "platform/window.hpp"
#include "pages/common/size_classes.hpp"

namespace korvel {

std::ostream& operator<<(std::ostream& os, const BandColumns& c) { return os << c.left << ".." << c.right; }

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

TEST(ScopeValues, SweepStepAcrossAWrapInThreeClasses) {
  // Heights 60, 30, 40, 50, 20 put the traces A to E at design y 70, 210, 200, 300, 440.
  const TraceHeights heights{{60, 30, 40, 50, 20}};
  const int design_y[kScopeTraceCount] = {70, 210, 200, 300, 440};
  const int32_t previous[kScopeTraceCount] = {11, 12, 13, 14, 15};
  struct Case {
    int size_class;
    uint32_t position, next;
    bool clears;
    BandColumns strip, beam, erase;
    bool wraps;
    BandColumns last_beam, wrap_strip;
    int from_x, to_x;
    bool flat;  // the segment starts at its own height, not at the previous y
  };
  const Case cases[] = {
      // The first sample of a sweep: flat, and no start strip yet.
      {2, 202, 203, false, {199, 204}, {205, 206}, {203, 205}, false, {}, {}, 202, 203, true},
      {2, 203, 204, true, {199, 204}, {206, 207}, {204, 206}, false, {}, {}, 203, 204, false},
      // The last sample wraps: its beam at the right edge goes and the start strip is cleared.
      {2, 595, 201, true, {199, 204}, {598, 599}, {596, 598}, true, {598, 599}, {199, 203}, 595, 596, false},
      // Straight after the wrap the jump line from the right edge's y is left standing.
      {2, 201, 202, false, {199, 204}, {204, 205}, {202, 204}, false, {}, {}, 201, 202, false},
      // The smallest class keeps its erased strips one pixel right of the scaled x.
      {1, 203, 204, true, {159, 163}, {164, 165}, {164, 164}, false, {}, {}, 162, 163, false},
      {1, 595, 201, true, {159, 163}, {478, 479}, {477, 478}, true, {478, 479}, {160, 162}, 476, 476, false},
      {5, 202, 203, false, {318, 326}, {328, 329}, {324, 328}, false, {}, {}, 323, 324, true},
      {5, 595, 201, true, {318, 326}, {956, 957}, {953, 956}, true, {956, 958}, {318, 324}, 952, 953, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("class " + std::to_string(c.size_class) + " position " + std::to_string(c.position));
    SharedState shared;
    ApplyWholeSizeClass(shared, c.size_class);
    const SweepStep step = NextSweepStep(shared, c.position, heights, previous);
    EXPECT_EQ(step.next_position, c.next);
    EXPECT_EQ(step.clears_start_strip, c.clears);
    EXPECT_EQ(step.start_strip, c.strip);
    EXPECT_EQ(step.beam, c.beam);
    EXPECT_EQ(step.erase_ahead, c.erase);
    EXPECT_EQ(step.wraps, c.wraps);
    EXPECT_EQ(step.last_beam, c.last_beam);
    EXPECT_EQ(step.wrap_strip, c.wrap_strip);
    for (int t = 0; t < kScopeTraceCount; ++t) {
      const int32_t y = DesignY(shared, design_y[t]);
      EXPECT_EQ(step.segment[t][0], (Point{c.from_x, c.flat ? y : previous[t]})) << "trace " << t;
      EXPECT_EQ(step.segment[t][1], (Point{c.to_x, y})) << "trace " << t;
    }
    // The sample's slot and its redraw point follow the new x, before any wrap.
    EXPECT_EQ(step.history_slot, static_cast<int>(c.position) - 199);
    EXPECT_EQ(step.redraw_point, static_cast<int>(c.position) - 198);
  }
  // The value cursor's line over the first slot, and over the last at the sweep's last x.
  const std::pair<int, BandColumns> cursor[] = {{1, {162, 163}}, {2, {203, 204}}, {5, {324, 325}}};
  for (const auto& [size_class, first] : cursor) {
    SharedState shared;
    ApplyWholeSizeClass(shared, size_class);
    EXPECT_EQ(CursorColumns(shared, kFirstCursorSlot), first) << "class " << size_class;
    EXPECT_EQ(CursorColumns(shared, kLastCursorSlot).left, DesignX(shared, 596)) << "class " << size_class;
  }
}

}  // namespace
}  // namespace korvel
