// The controller state on the Readings page: state box, status labels, the five message lines
// and the learning lamp, for every combination of connection, variant and state bits.
#include "tests/pages/readings_fixture.hpp"

namespace korvel::readings_test {
namespace {

constexpr int kEmulType = 5;  // ConfigRecord byte
constexpr int kOptions = 1;   // ConfigRecord byte

// The state box rectangle drawn in the recorded operations, or nullptr.
const DrawOp* StateBox(const ReadingsWorld& w) {
  const DrawOp* found = nullptr;
  for (const DrawOp& op : w.window->ops) {
    if (op.kind == DrawKind::kRectangle && op.left == w.X(490) && op.top == w.Y(465) &&
        op.right == w.X(615) && op.bottom == w.Y(505)) {
      found = &op;
    }
  }
  return found;
}

// A connected variant-2 controller with the full state display (indicator bit 3, EmulType bit 7).
void FullDisplay(ReadingsWorld& w, uint8_t state_flags, uint8_t segment_bits = 0x10) {
  w.FakeConnected();
  w.link.ConfigRecord[kEmulType] = 0x80;
  w.Live(kIndicatorFlags) = static_cast<uint8_t>(0x08 | segment_bits);
  w.Live(kStateFlags) = state_flags;
}

TEST(ReadingsMessages, CaseANotConnected) {
  ReadingsWorld w;
  w.state.LpgOnShown = true;
  w.Draw();
  EXPECT_EQ(w.Line(1), T(lang::kControllerNoAnswer));
  EXPECT_EQ(w.LineDrawn(1).text_colour, kRed);
  EXPECT_EQ(w.Line(3), T(lang::kCheckConnection));
  EXPECT_EQ(w.LineDrawn(3).text_colour, kBlack);
  for (int line : {2, 4, 5}) EXPECT_EQ(w.Line(line), Spaces(55)) << line;
  EXPECT_EQ(w.LineDrawn(1).background, kWhite);
  EXPECT_EQ(w.LineDrawn(1).font, w.shared.LabelFont);
  ASSERT_NE(StateBox(w), nullptr);
  EXPECT_EQ(Found(StateBox(w), "the state box").brush, Brush::BrushLime);
  EXPECT_EQ(Found(StateBox(w), "the state box").pen, Pen::PenBlack1);
  const DrawOp* petrol = w.LastTextAt(515, 475);
  ASSERT_NE(petrol, nullptr);
  EXPECT_EQ(petrol->text, T(lang::kStateBoxPetrol));
  EXPECT_EQ(petrol->background, kLime);
  EXPECT_FALSE(w.state.LpgOnShown);
}

TEST(ReadingsMessages, CaseBOtherVariantKeepsStateBoxFlagAndLamp) {
  ReadingsWorld w;
  FullDisplay(w, 0x03, 0x40);  // LPG, learning running, segment 3
  w.Draw();
  ASSERT_TRUE(w.state.LpgOnShown);
  ASSERT_TRUE(w.state.LearningShown);

  w.FakeConnected(0x45);  // variant 3
  w.window->ClearOps();
  w.Draw();
  EXPECT_EQ(w.Line(1), T(lang::kWrongControllerType));
  EXPECT_EQ(w.LineDrawn(1).text_colour, kRed);
  for (int line = 2; line <= 5; ++line) EXPECT_EQ(w.Line(line), Spaces(55)) << line;
  EXPECT_EQ(StateBox(w), nullptr);  // the box is left as it was
  EXPECT_TRUE(w.state.LpgOnShown);
  EXPECT_TRUE(w.state.LearningShown);
  ASSERT_NE(w.Lamp(), nullptr);  // the lamp keeps blinking on the last case-E state
}

TEST(ReadingsMessages, CaseCStateDisplayDisabled) {
  ReadingsWorld w;
  w.FakeConnected();
  w.link.ConfigRecord[kEmulType] = 0x80;
  w.Live(kIndicatorFlags) = 0x00;
  w.Live(kStateFlags) = 0x01;  // ignored
  w.state.LpgOnShown = true;
  w.Draw();
  EXPECT_EQ(w.Line(3), T(lang::kLpgSystemOff));
  EXPECT_EQ(w.LineDrawn(3).text_colour, kRed);
  EXPECT_EQ(w.Line(1), T(lang::kRunningOnPetrol));
  EXPECT_EQ(w.LineDrawn(1).text_colour, kBlack);
  for (int line : {2, 4, 5}) EXPECT_EQ(w.Line(line), Spaces(55)) << line;
  EXPECT_EQ(Found(StateBox(w), "the state box").brush, Brush::BrushLime);
  EXPECT_FALSE(w.state.LpgOnShown);
}

TEST(ReadingsMessages, CaseDPlainStateDisplay) {
  ReadingsWorld w;
  w.FakeConnected();
  w.link.ConfigRecord[kEmulType] = 0x7F;  // bit 7 clear
  w.Live(kIndicatorFlags) = 0x08;
  w.Live(kStateFlags) = 0x01;
  w.Draw();
  EXPECT_EQ(w.Line(1), T(lang::kRunningOnLpg));
  EXPECT_EQ(w.Line(2), Spaces(40));
  EXPECT_EQ(w.Line(3), Spaces(60));
  EXPECT_EQ(w.Line(4), Spaces(55));
  EXPECT_EQ(w.Line(5), Spaces(65));
  EXPECT_TRUE(w.state.LpgOnShown);
  EXPECT_EQ(Found(StateBox(w), "the state box").brush, Brush::BrushCyan);
  const DrawOp* lpg = w.LastTextAt(535, 475);
  ASSERT_NE(lpg, nullptr);
  EXPECT_EQ(lpg->text, T(lang::kStateBoxLpg));
  EXPECT_EQ(lpg->background, kCyan);

  w.Live(kStateFlags) = 0xFE;  // petrol; the other bits do not matter here
  w.window->ClearOps();
  w.Draw();
  EXPECT_EQ(w.Line(3), T(lang::kLpgSwitchingInactive));
  EXPECT_EQ(w.LineDrawn(3).text_colour, kRed);
  EXPECT_EQ(w.Line(1), T(lang::kRunningOnPetrol));
  EXPECT_EQ(w.Line(2), Spaces(40));
  EXPECT_EQ(w.Line(4), Spaces(55));
  EXPECT_EQ(w.Line(5), Spaces(65));
  EXPECT_FALSE(w.state.LpgOnShown);
  EXPECT_EQ(Found(StateBox(w), "the state box").brush, Brush::BrushLime);
}

TEST(ReadingsMessages, CaseELearningRunningTextsAndLamp) {
  // Segment 1: text 17 in red and a steady yellow lamp.
  ReadingsWorld w;
  FullDisplay(w, 0x02, 0x10);
  for (int tick = 0; tick < 4; ++tick) {
    w.window->ClearOps();
    w.Draw();
    EXPECT_EQ(w.Line(5), T(lang::kLearningRaiseSpeed));
    EXPECT_EQ(w.LineDrawn(5).text_colour, kRed);
    EXPECT_EQ(w.LampDrawn().brush, Brush::BrushYellow) << tick;
  }
  EXPECT_TRUE(w.state.LearningShown);
  EXPECT_FALSE(w.state.SegmentRaised);
  EXPECT_EQ(w.Line(1), T(lang::kRunningOnPetrol));  // petrol

  // Segment 3: text 16 in black and a lamp that changes every second tick.
  ReadingsWorld b;
  FullDisplay(b, 0x03, 0x40);
  std::vector<Brush> lamp;
  for (int tick = 0; tick < 6; ++tick) {
    b.window->ClearOps();
    b.Draw();
    EXPECT_EQ(b.Line(5), T(lang::kLearningRunning));
    EXPECT_EQ(b.LineDrawn(5).text_colour, kBlack);
    lamp.push_back(b.LampDrawn().brush);
  }
  EXPECT_EQ(lamp, (std::vector<Brush>{Brush::BrushOlive, Brush::BrushYellow, Brush::BrushYellow,
                                       Brush::BrushOlive, Brush::BrushOlive, Brush::BrushYellow}));
  EXPECT_EQ(b.Line(1), T(lang::kRunningOnLpg));
  EXPECT_TRUE(b.state.LpgOnShown);
  // Learning stops any further message of that tick: line 3 and 4 untouched.
  EXPECT_EQ(b.LineOp(3), nullptr);
  EXPECT_EQ(b.LineOp(4), nullptr);
  // The lamp is outlined with the pen the state box left.
  EXPECT_EQ(b.LampDrawn().pen, Pen::PenBlack1);
  EXPECT_EQ(b.LampDrawn().right - b.LampDrawn().left, 30);
}

TEST(ReadingsMessages, CaseELearningOutcomes) {
  struct Outcome {
    uint8_t flags;
    int text;
    bool still_requested;
  };
  for (const Outcome& o : {Outcome{0x20, lang::kLearningInterrupted, false}, Outcome{0x30, lang::kLearningFailed, true},
                           Outcome{0x10, lang::kLearningCompleted, false}}) {
    ReadingsWorld w;
    FullDisplay(w, static_cast<uint8_t>(0x01 | o.flags));
    w.state.LearnRequested = true;
    w.state.MessageAge = 17;
    w.Draw();
    EXPECT_EQ(w.Line(5), T(o.text));
    EXPECT_EQ(w.LineDrawn(5).text_colour, kRed);
    EXPECT_EQ(w.state.MessageAge, 0u);
    EXPECT_EQ(w.state.LearnRequested, o.still_requested) << o.text;
    EXPECT_FALSE(w.state.LearningShown);
    EXPECT_EQ(w.LampDrawn().brush, Brush::BrushOlive);

    // Without a request nothing is said about learning.
    w.state.LearnRequested = false;
    w.window->ClearOps();
    w.Draw();
    EXPECT_EQ(w.LineOp(5), nullptr);
  }
}

TEST(ReadingsMessages, CaseETextNineteenRepeatsUntilTheBitsChange) {
  ReadingsWorld w;
  FullDisplay(w, 0x31);
  w.state.LearnRequested = true;
  for (int tick = 0; tick < 5; ++tick) {
    w.window->ClearOps();
    w.Draw();
    EXPECT_EQ(w.Line(5), T(lang::kLearningFailed)) << tick;
    EXPECT_TRUE(w.state.LearnRequested);
  }
  w.Live(kStateFlags) = 0x11;  // bit 5 drops: success
  w.window->ClearOps();
  w.Draw();
  EXPECT_EQ(w.Line(5), T(lang::kLearningCompleted));
  EXPECT_FALSE(w.state.LearnRequested);
  w.window->ClearOps();
  w.Draw();
  EXPECT_EQ(w.LineOp(5), nullptr);
}

TEST(ReadingsMessages, CaseELpgOffCondition) {
  ReadingsWorld w;
  FullDisplay(w, 0x84);
  w.Draw();
  EXPECT_EQ(w.Line(3), T(lang::kLpgOffActive));
  EXPECT_EQ(w.LineDrawn(3).text_colour, kRed);
  EXPECT_EQ(w.Line(4), Spaces(55));

  w.Live(kStateFlags) = 0x04;
  w.window->ClearOps();
  w.Draw();
  EXPECT_EQ(w.Line(3), T(lang::kLpgOffActive));
  EXPECT_EQ(w.Line(4), T(lang::kTemperatureTooLow));
  EXPECT_EQ(w.LineDrawn(4).text_colour, kRed);
  EXPECT_EQ(w.LineOp(2), nullptr);
  EXPECT_EQ(w.LineOp(5), nullptr);
}

TEST(ReadingsMessages, CaseEBit7Clear) {
  ReadingsWorld w;
  FullDisplay(w, 0x01);
  w.Draw();
  EXPECT_EQ(w.Line(3), T(lang::kWaitingForLpg));
  EXPECT_EQ(w.LineDrawn(3).text_colour, kBlack);
  EXPECT_EQ(w.Line(4), T(lang::kTemperatureTooLow));  // drawn over the 55 blanks of the same tick
  EXPECT_EQ(w.LineDrawn(4).text_colour, kRed);
  std::vector<std::string> line4;
  for (const DrawOp& op : w.window->ops) {
    if (op.kind == DrawKind::kText && op.left == 40 && op.top == kLineY[4]) line4.push_back(op.text);
  }
  EXPECT_EQ(line4, (std::vector<std::string>{Spaces(55), Spaces(55), T(lang::kTemperatureTooLow)}));
}

TEST(ReadingsMessages, AShorterTextLeavesNoTailOfTheLongerOneBefore) {
  // Not connected: line 1 shows text 30; then the controller answers on petrol and line 1 shows
  // text 12. The line is blanked before each text, so nothing of text 30 stands after text 12.
  ReadingsWorld w;
  std::snprintf(w.texts.slots[30], kSlotBytes, "%s", "The controller does not answer");
  std::snprintf(w.texts.slots[12], kSlotBytes, "%s", "On petrol");
  w.Draw();
  ASSERT_EQ(w.Line(1), "The controller does not answer");
  w.FakeConnected();
  w.window->ClearOps();
  w.Draw();
  std::vector<std::string> line1;
  for (const DrawOp& op : w.window->ops) {
    if (op.kind == DrawKind::kText && op.left == 40 && op.top == kLineY[1]) line1.push_back(op.text);
  }
  EXPECT_EQ(line1, (std::vector<std::string>{Spaces(55), "On petrol"}));
}

TEST(ReadingsMessages, CaseEBits6And7BlankLineFiveAfterSixtyTicks) {
  ReadingsWorld w;
  FullDisplay(w, 0xC0);  // learning outcome on the first tick: bit 4 clear gives text 18
  w.state.LearnRequested = true;
  w.Draw();
  EXPECT_EQ(w.Line(5), T(lang::kLearningInterrupted));
  EXPECT_EQ(w.Line(2), Spaces(40));
  EXPECT_EQ(w.Line(3), Spaces(73));
  EXPECT_EQ(w.state.MessageAge, 1u);
  for (int tick = 2; tick <= 60; ++tick) {
    w.window->ClearOps();
    w.Draw();
    EXPECT_EQ(w.LineOp(5), nullptr) << tick;  // text 18 stays on screen
  }
  w.window->ClearOps();
  w.Draw();  // tick 61
  EXPECT_EQ(w.Line(5), Spaces(65));
  for (int tick = 0; tick < 3; ++tick) {
    w.window->ClearOps();
    w.Draw();
    EXPECT_EQ(w.Line(5), Spaces(65));
  }
  EXPECT_EQ(w.state.MessageAge, 60u);

  // A cut-off message instead: text 23, line 3 kept, age frozen.
  w.Live(kStateFlags) = 0xC8;
  w.window->ClearOps();
  w.Draw();
  EXPECT_EQ(w.Line(5), T(lang::kCutOffActive));
  EXPECT_EQ(w.LineDrawn(5).text_colour, kRed);
  EXPECT_EQ(w.LineOp(3), nullptr);
  EXPECT_EQ(w.state.MessageAge, 60u);
}

TEST(ReadingsMessages, CaseEBit7WithoutBit6ComparesEngineSpeedWithLpgOnSpeed) {
  ReadingsWorld w;
  FullDisplay(w, 0x80);
  // LPG-on speed 2000 rpm: period 7500 = 0x1D4C.
  w.link.OptionsRecord[5] = 0x4C;
  w.link.OptionsRecord[6] = 0x1D;
  // Engine at 2050 rpm: period 7317 = 0x1C95 (15000000 / 7317 = 2050).
  w.Live(kPeriodHi) = 0x1C;
  w.Live(kPeriodLo) = 0x95;
  w.Draw();
  ASSERT_EQ(w.shared.CurrentEngineSpeed, 2050u);
  EXPECT_EQ(w.Line(3), T(lang::kWaitingForLpg));
  EXPECT_EQ(w.Line(4), T(lang::kReleaseThrottleForLpg));
  EXPECT_EQ(w.LineDrawn(4).text_colour, kRed);

  w.Live(kPeriodHi) = 0x1D;  // exactly 2000 rpm: at, not above
  w.Live(kPeriodLo) = 0x4C;
  w.window->ClearOps();
  w.Draw();
  EXPECT_EQ(w.Line(4), T(lang::kRaiseSpeedForLpg));

  w.link.ConfigRecord[kOptions] = 0x10;  // the other choice: always text 25
  w.Live(kPeriodHi) = 0x1C;
  w.Live(kPeriodLo) = 0x95;
  w.window->ClearOps();
  w.Draw();
  EXPECT_EQ(w.Line(4), T(lang::kRaiseSpeedForLpg));
}

TEST(ReadingsMessages, StatusLabelsFollowTheBitsAndTheLastLpgState) {
  ReadingsWorld w;
  FullDisplay(w, 0x0D);  // LPG, LPG-off and cut-off
  w.Draw();
  std::vector<const DrawOp*> labels;
  for (const DrawOp& op : w.window->ops) {
    if (op.kind == DrawKind::kText && op.top == w.Y(290)) labels.push_back(&op);
  }
  ASSERT_EQ(labels.size(), 3u);
  EXPECT_EQ(labels[0]->text, " LPG ON ");
  EXPECT_EQ(labels[0]->left, w.X(590));
  EXPECT_EQ(labels[0]->text_colour, kBlack);  // LPG was not shown on the tick before
  EXPECT_EQ(labels[1]->text, " LPG OFF ");
  EXPECT_EQ(labels[1]->text_colour, kRed);
  EXPECT_EQ(labels[2]->text, " CUT-OFF ");
  EXPECT_EQ(labels[2]->left, w.X(485));
  EXPECT_EQ(labels[2]->text_colour, kRed);
  for (const DrawOp* label : labels) {
    EXPECT_EQ(label->background, kSilver);
    EXPECT_EQ(label->font, w.shared.LabelFont);
  }

  w.Live(kStateFlags) = 0x01;
  w.window->ClearOps();
  w.Draw();
  EXPECT_EQ(Found(headless::FindText(w.window->ops, " LPG ON "), " LPG ON ").text_colour, kDarkGreen);
  EXPECT_EQ(Found(headless::FindText(w.window->ops, " LPG OFF "), " LPG OFF ").text_colour, kBlack);
  EXPECT_EQ(Found(headless::FindText(w.window->ops, " CUT-OFF "), " CUT-OFF ").text_colour, kBlack);
}

}  // namespace
}  // namespace korvel::readings_test
