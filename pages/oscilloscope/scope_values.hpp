#pragma once
// What the Oscilloscope shows, decided from the records and the page state before anything is
// drawn: trace heights, read-out texts, the recorded sample of a tick, the cursor scroll rule and
// where a sweeping tick draws.
#include <cstdint>

#include "pages/common/shared_state.hpp"
#include "platform/drawing.hpp"

namespace korvel {

enum ScopeTrace : int { kTraceA, kTraceB, kTraceC, kTraceD, kTraceE, kScopeTraceCount };

// Design y of each trace's baseline: a trace of height h is drawn at baseline - h.
constexpr int kTraceBaseline[kScopeTraceCount] = {130, 240, 240, 350, 460};

// First and last design x of a sweep: the first sample is drawn at 203, the last at 596.
constexpr uint32_t kSweepStart = 202;
constexpr uint32_t kSweepRestart = 201;
constexpr uint32_t kSweepLast = 596;

constexpr int kHistorySlots = 400;
// The value cursor reads these history slots.
constexpr uint32_t kFirstCursorSlot = 2;
constexpr uint32_t kLastCursorSlot = 395;

// One tick's sample as the history keeps it.
struct ScopeSample {
  uint32_t lambda_raw = 0;    // LambdaProbe
  uint32_t att_raw = 0;       // Att
  uint32_t engine_speed = 0;  // 0 while the controller reports no speed (PeriodHi 255)
  uint32_t aux_raw = 0;       // AuxInput
  uint8_t lambda_type = 0;    // LambdaType of the configuration as it stood at the tick
  uint8_t switch_bit = 0;     // IndicatorFlags & 0x10
  uint8_t status = 0;         // StateFlags
};

// The sample of a live-data record and the LambdaType in force.
ScopeSample SampleOfRecords(const uint8_t (&live)[11], uint8_t lambda_type);

// Trace heights above the pane baselines, in design units.
struct TraceHeights {
  int h[kScopeTraceCount];
};
TraceHeights ScopeTraceHeights(const uint8_t (&live)[11], uint8_t lambda_type);

// One read-out: the formatted text and how many of its characters are drawn.
struct ScopeText {
  char text[24];
  int count;
};

// What the fourth pane draws besides its value.
enum class AuxDecoration { kVoltUnit, kNone, kSwitchErase };

struct ScopeReadouts {
  ScopeText lambda;  // pane 1, volts
  ScopeText att;     // pane 2, three digits
  ScopeText speed;   // pane 3, four digits
  ScopeText aux;     // pane 4, by LambdaMode
  AuxDecoration aux_decoration;
  bool lpg;          // StateFlags bit 0: the status box shows LPG
  uint32_t shown_speed;
};
ScopeReadouts ScopeReadoutsOf(const ScopeSample& sample);

// The legends of the probe pane (the range, 14 characters; none for a range past 5) and of the
// second-input pane (the language slot of its mode), by LambdaType.
constexpr int kRangeTextLength = 14;
struct ScopeLegends {
  const char* range_text;
  int mode_slot;
};
ScopeLegends ScopeLegendsOf(uint8_t lambda_type);

// The engine speed that the cursor shows for a recorded speed: 0 when bits 8..15 are all set.
uint32_t CursorEngineSpeed(uint32_t recorded);

// CursorSlot after a horizontal scroll request (thumb_position is the thumb of a thumb track).
uint32_t ScrollCursorSlot(uint32_t slot, int request, int thumb_position);

// Device columns left..right-1, covered in the band of every pane.
struct BandColumns {
  int left, right;
  friend bool operator==(const BandColumns&, const BandColumns&) = default;
};

// The one-pixel beam two design units ahead of the sample at design x.
BandColumns BeamColumns(const SharedState& shared, uint32_t x);
// The one-pixel value-cursor line over history slot `slot`.
BandColumns CursorColumns(const SharedState& shared, uint32_t slot);

// One sweeping tick, decided before it is drawn, in device pixels of the size class in force.
struct SweepStep {
  uint32_t x;              // design x of the new sample: the sweep position + 1
  uint32_t next_position;  // the sweep position after the tick: back to 201 after the sample at 596
  bool clears_start_strip;  // from 204 on, the start strip is wiped of the jump line a wrap leaves
  BandColumns start_strip;
  BandColumns beam;
  BandColumns erase_ahead;  // the previous beam and the old trace in front of the new segment
  Point segment[kScopeTraceCount][2];  // each trace from its previous y to its new one
  bool wraps;               // the sample at 596 ends the sweep: its beam goes, the start strip is cleared
  BandColumns last_beam;
  BandColumns wrap_strip;
  int redraw_point;         // the redraw point that takes the new ys
  int history_slot;         // the history slot that keeps the sample
};
// The tick after `sweep_position` for the trace heights of this tick and the device y each trace
// was last drawn at. The first sample of a sweep (203) starts flat at its own height.
SweepStep NextSweepStep(const SharedState& shared, uint32_t sweep_position, const TraceHeights& heights,
                        const int32_t (&previous_y)[kScopeTraceCount]);

}  // namespace korvel
