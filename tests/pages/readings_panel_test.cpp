// The Readings message decision on its own: records and page state in, the ordered line writes,
// the state box, the lamp and the next page state out.
#include <gtest/gtest.h>

#include <string>

#include "pages/readings/readings_messages.hpp"

namespace korvel {
namespace {

// "1:30r" a text in red, "2:_40" a blank run; then the box and the lamp.
std::string Describe(const MessagePanel& panel) {
  std::string out;
  for (int i = 0; i < panel.step_count; ++i) {
    const MessageStep& step = panel.steps[i];
    out += std::to_string(step.line) + ":";
    out += step.slot < 0 ? "_" + std::to_string(step.spaces) : std::to_string(step.slot) + (step.red ? "r" : "");
    out += " ";
  }
  out += panel.state_box == StateBoxShown::kUnchanged ? "box=" : panel.state_box == StateBoxShown::kLpg ? "box=lpg"
                                                                                                     : "box=petrol";
  out += panel.lamp == Brush::BrushYellow ? " lamp=yellow" : " lamp=olive";
  return out;
}

MessageInputs FullState(uint8_t state_flags) {
  MessageInputs in;
  in.connected = true;
  in.variant = 2;
  in.indicator_flags = 0x08;
  in.emul_type = 0x80;
  in.state_flags = state_flags;
  in.lpg_on_speed = 2000;
  return in;
}

TEST(ReadingsPanel, DecisionTable) {
  struct Case {
    const char* name;
    MessageInputs in;
    ReadingsState before;
    const char* panel;
  };
  MessageInputs lost;
  MessageInputs other = FullState(0x01);
  other.variant = 3;
  MessageInputs no_display = FullState(0x01);
  no_display.indicator_flags = 0;
  MessageInputs plain = FullState(0x00);
  plain.emul_type = 0;
  MessageInputs fast = FullState(0x80);
  fast.engine_speed = 2001;
  ReadingsState learning;
  learning.LearningShown = true;
  learning.LpgOnShown = true;
  ReadingsState requested;
  requested.LearnRequested = true;
  ReadingsState raised;
  raised.SegmentRaised = true;
  const Case cases[] = {
      {"not connected", lost, {}, "1:30r 3:31 2:_55 4:_55 5:_55 box=petrol lamp=olive"},
      {"other variant keeps box and lamp", other, learning, "1:29r 2:_55 3:_55 4:_55 5:_55 box= lamp=yellow"},
      {"state display off", no_display, {}, "3:28r 1:12 2:_55 4:_55 5:_55 box=petrol lamp=olive"},
      {"plain display, petrol", plain, {}, "3:27r 1:12 2:_40 4:_55 5:_65 box=petrol lamp=olive"},
      {"learning, segment raised", FullState(0x03), raised, "1:13 5:16 box=lpg lamp=olive"},
      {"learning refused", FullState(0x31), requested, "1:13 5:19r 4:_55 3:24 4:22r box=lpg lamp=olive"},
      {"LPG off above cut-off", FullState(0x84), {}, "1:12 3:21r 4:_55 box=petrol lamp=olive"},
      {"cut-off", FullState(0xC8), {}, "1:12 4:_55 2:_40 5:23r box=petrol lamp=olive"},
      {"above the LPG-on speed", fast, {}, "1:12 4:_55 3:24 4:26r box=petrol lamp=olive"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Describe(DecideMessagePanel(c.in, c.before)), c.panel) << c.name;
  }
}

TEST(ReadingsPanel, NextStateCarriesTheFlagsAndTheLineFiveTimer) {
  ReadingsState s;
  s.LearnRequested = true;
  s.LpgOnShown = false;
  s.MessageAge = 17;
  // Learning ended well (bit 4 set, bit 5 clear): outcome 20 once, request cleared, age reset.
  MessagePanel panel = DecideMessagePanel(FullState(0xD1), s);
  EXPECT_TRUE(panel.next.LpgOnShown);
  EXPECT_FALSE(panel.next.LearnRequested);
  EXPECT_EQ(panel.next.MessageAge, 1u);  // reset, then counted on the same cut-off-free tick
  // Sixty quiet ticks keep line 5; the sixty-first blanks it and from then on every tick does.
  for (int tick = 2; tick <= 60; ++tick) panel = DecideMessagePanel(FullState(0xC1), panel.next);
  EXPECT_EQ(Describe(panel), "1:13 4:_55 2:_40 3:_73 box=lpg lamp=olive");
  panel = DecideMessagePanel(FullState(0xC1), panel.next);
  EXPECT_EQ(Describe(panel), "1:13 4:_55 2:_40 5:_65 3:_73 box=lpg lamp=olive");
  EXPECT_EQ(panel.next.MessageAge, 60u);
  // The lamp phase turns every second tick while learning with a raised segment.
  ReadingsState blink;
  blink.SegmentRaised = true;
  std::string lamps;
  for (int tick = 0; tick < 6; ++tick) {
    panel = DecideMessagePanel(FullState(0x03), blink);
    blink = panel.next;
    lamps += panel.lamp == Brush::BrushYellow ? 'Y' : 'o';
  }
  EXPECT_EQ(lamps, "oYYooY");
}

}  // namespace
}  // namespace korvel
