#include "pages/oscilloscope/scope_values.hpp"

#include <cstdio>
#include <cstring>

#include "link/conversions.hpp"
#include "link/live_data.hpp"
#include "platform/window.hpp"
#include "texts/text_slots.hpp"

namespace korvel {

namespace {

constexpr int kMaxLambdaHeight = 80;
constexpr int kMaxSpeedHeight = 80;

// The second input is drawn upside down for the inverted TPS modes (1, 3, 5, ...), but never for
// the ON/OFF modes 7 and 15.
bool AuxTraceInverted(uint8_t lambda_type) { return (lambda_type & 7) != 7 && (lambda_type & 1) != 0; }

// Probe range legends, 14 characters each.
constexpr const char* kRangeTexts[6] = {
    "0 - 1 V       ", "0 - 5 V  '-'  ", "0 - 5 V  '+'  ", "5 - 0 V  '-'  ", "5 - 0 V  '+'  ", "0,8 - 1,6 V   ",
};

// Mode legend slot for LambdaMode 0..15.
int ModeLegendSlot(int mode) {
  if (mode == 0) return lang::kSecondInputMode0;
  if (mode == 1) return lang::kSecondInputMode1;
  if (mode <= 5) return lang::kSecondInputMode2;
  if (mode == 6) return lang::kSecondInputMode6;
  if (mode == 7) return lang::kSecondInputMode7;
  return lang::kSecondInputMode8;
}

}  // namespace

ScopeLegends ScopeLegendsOf(uint8_t lambda_type) {
  const int range = LambdaRange(lambda_type);
  return ScopeLegends{range <= 5 ? kRangeTexts[range] : nullptr, ModeLegendSlot(LambdaMode(lambda_type))};
}

ScopeSample SampleOfRecords(const uint8_t (&live)[11], uint8_t lambda_type) {
  ScopeSample s;
  s.lambda_raw = live[kLambdaProbe];
  s.att_raw = live[kAtt];
  s.engine_speed = LiveEngineSpeed(live);
  s.aux_raw = live[kAuxInput];
  s.lambda_type = lambda_type;
  s.switch_bit = static_cast<uint8_t>(live[kIndicatorFlags] & 0x10);
  s.status = live[kStateFlags];
  return s;
}

TraceHeights ScopeTraceHeights(const uint8_t (&live)[11], uint8_t lambda_type) {
  TraceHeights t{};
  // The 0..1 V probe uses 1.5 units per count; every wider range a fifth of that.
  uint32_t a = live[kLambdaProbe] * 15u / 10u;
  if (LambdaRange(lambda_type) != 0) a /= 5;
  t.h[kTraceA] = static_cast<int>(a > kMaxLambdaHeight ? kMaxLambdaHeight : a);
  t.h[kTraceB] = live[kAtt] / 3;
  t.h[kTraceC] = live[kAttInit] / 3;
  const uint32_t d = LiveEngineSpeed(live) / 100u;  // one unit per 100 rpm up to 8000 rpm
  t.h[kTraceD] = static_cast<int>(d > kMaxSpeedHeight ? kMaxSpeedHeight : d);
  uint32_t aux = live[kAuxInput];
  if (AuxTraceInverted(lambda_type)) aux = 255u - aux;
  t.h[kTraceE] = RoundValue(aux / 3.1);
  return t;
}

ScopeReadouts ScopeReadoutsOf(const ScopeSample& s) {
  ScopeReadouts r{};
  std::memcpy(r.lambda.text, VoltText(VoltsFromRaw(s.lambda_raw)).text, 5);
  r.lambda.count = 4;
  // "%03dl" and "%04dl": the letter after the digits is never drawn, and a speed of 10000 rpm
  // or more loses its last digit in the four-character cell.
  std::snprintf(r.att.text, sizeof r.att.text, "%03dl", static_cast<int>(s.att_raw));
  r.att.count = 3;
  std::snprintf(r.speed.text, sizeof r.speed.text, "%04dl", static_cast<int>(s.engine_speed));
  r.speed.count = 4;
  r.shown_speed = s.engine_speed;
  const AuxText aux = AuxInputText(static_cast<uint8_t>(s.aux_raw), s.lambda_type, s.switch_bit);
  std::memcpy(r.aux.text, aux.text, sizeof aux.text);
  r.aux.count = aux.count;
  switch (LambdaMode(s.lambda_type)) {
    case 2:
    case 3: r.aux_decoration = AuxDecoration::kNone; break;
    case 6:
    case 7: r.aux_decoration = AuxDecoration::kSwitchErase; break;
    default: r.aux_decoration = AuxDecoration::kVoltUnit; break;
  }
  r.lpg = (s.status & 0x01) != 0;
  return r;
}

uint32_t CursorEngineSpeed(uint32_t recorded) { return (recorded & 0xFF00u) == 0xFF00u ? 0 : recorded; }

uint32_t ScrollCursorSlot(uint32_t slot, int request, int thumb_position) {
  // Unsigned arithmetic as the scroll bar's owner keeps it: a step below zero wraps to a large
  // value and is caught by the upper bound.
  auto outside = [](uint32_t v) { return v < kFirstCursorSlot || v > kLastCursorSlot; };
  switch (request) {
    case kScrollLineUp:
      slot -= 1;
      return outside(slot) ? kFirstCursorSlot : slot;
    case kScrollLineDown:
      slot += 1;
      return outside(slot) ? kLastCursorSlot : slot;
    case kScrollPageUp:
      slot -= 10;
      return outside(slot) ? kFirstCursorSlot : slot;
    case kScrollPageDown:
      slot += 10;
      return slot > kLastCursorSlot ? kLastCursorSlot : slot;
    case kScrollThumbTrack: {
      // The thumb stays inside the bar's range 2..395; a position from outside it would index
      // past the history, so it is held to the range.
      if (thumb_position < static_cast<int>(kFirstCursorSlot)) return kFirstCursorSlot;
      if (thumb_position > static_cast<int>(kLastCursorSlot)) return kLastCursorSlot;
      return static_cast<uint32_t>(thumb_position);
    }
    default:
      return slot;
  }
}

BandColumns BeamColumns(const SharedState& shared, uint32_t x) {
  const int left = DesignX(shared, x + 2);
  return {left, left + 1};
}

BandColumns CursorColumns(const SharedState& shared, uint32_t slot) {
  const int left = DesignX(shared, 201 + slot);
  return {left, left + 1};
}

SweepStep NextSweepStep(const SharedState& shared, uint32_t sweep_position, const TraceHeights& heights,
                        const int32_t (&previous_y)[kScopeTraceCount]) {
  // The smallest class shifts the erased strips one pixel right of the scaled design x, so that
  // they leave the pane frame standing.
  const int q = shared.SizeClass == 1 ? 1 : 0;
  auto X = [&](uint32_t design_x) { return DesignX(shared, design_x); };
  SweepStep step{};
  const uint32_t x = sweep_position + 1;
  step.x = x;
  step.next_position = x;
  step.clears_start_strip = x > kSweepStart + 1;
  step.start_strip = {X(199 - q) + q, X(204)};
  step.beam = BeamColumns(shared, x);
  step.erase_ahead = {X(x + q), X(x + 2)};
  for (int t = 0; t < kScopeTraceCount; ++t) {
    const int32_t y = DesignY(shared, kTraceBaseline[t] - heights.h[t]);
    step.segment[t][0] = {X(x - 1), x == kSweepStart + 1 ? y : previous_y[t]};
    step.segment[t][1] = {X(x), y};
  }
  step.wraps = x >= kSweepLast;
  if (step.wraps) {
    step.next_position = kSweepRestart;
    step.last_beam = {X(598), X(599)};
    step.wrap_strip = {X(199) + q, X(203)};
  }
  step.redraw_point = static_cast<int>(x) - 199;
  step.history_slot = static_cast<int>(x) - 200;
  return step;
}

}  // namespace korvel
