#pragma once
// What the Oscilloscope shows, decided from the records and the page state before anything is
// drawn: trace heights, read-out texts, the recorded sample of a tick and the cursor scroll rule.
#include <cstdint>

namespace korvel {

enum ScopeTrace : int { kTraceA, kTraceB, kTraceC, kTraceD, kTraceE, kScopeTraceCount };

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

}  // namespace korvel
