// The learn button of the Readings page and the learning cycle as the fitter sees it, against the
// simulated controller.
#include "tests/pages/readings_fixture.hpp"

namespace korvel::readings_test {
namespace {

constexpr int kEmulTypeAddress = 9;

std::vector<std::array<uint8_t, 4>> LearnFrames(const ReadingsWorld& w) {
  std::vector<std::array<uint8_t, 4>> out;
  for (const auto& frame : w.port.frames) {
    if (frame[1] == 30) out.push_back(frame);
  }
  return out;
}

// The simulated controller reports the full state display on LPG; after four ticks the page has
// read the configuration and shows LPG.
void RunOnLpg(ReadingsWorld& w, uint8_t segment_bits = 0x20) {
  w.model.SetParameter(kEmulTypeAddress, static_cast<uint8_t>(w.model.Parameter(kEmulTypeAddress) | 0x80));
  w.model.OverrideLive(kIndicatorFlags, static_cast<uint8_t>(0x08 | segment_bits));
  w.model.OverrideLive(kStateFlags, 0x01);
  w.Tick(4);
  ASSERT_TRUE(w.state.LpgOnShown);
}

TEST(ReadingsLearn, DoesNothingUnlessLpgIsShownOnAConnectedVariant2Controller) {
  {
    ReadingsWorld w;  // connected, but petrol
    w.Tick(4);
    ASSERT_FALSE(w.state.LpgOnShown);
    w.port.ClearFrames();
    w.window->ClearOps();
    EXPECT_TRUE(w.window->UserClick(kLearnButtonId));
    EXPECT_TRUE(w.port.frames.empty());
    EXPECT_TRUE(w.window->ops.empty());
    EXPECT_FALSE(w.state.LearnRequested);
  }
  {
    ReadingsWorld w;  // LPG was shown, then the controller fell silent
    RunOnLpg(w);
    w.model.faults.silence = true;
    w.Tick(3);
    w.state.LpgOnShown = true;  // as if the flag had survived from before
    w.port.ClearFrames();
    w.window->UserClick(kLearnButtonId);
    EXPECT_TRUE(w.port.frames.empty());
    EXPECT_FALSE(w.state.LearnRequested);
  }
  {
    ReadingsWorld w;  // a controller of another variant keeps the LPG flag of case B
    RunOnLpg(w);
    w.model.SetVariant(3);
    w.Tick();
    ASSERT_TRUE(w.state.LpgOnShown);
    w.port.ClearFrames();
    w.window->UserClick(kLearnButtonId);
    EXPECT_TRUE(LearnFrames(w).empty());
    EXPECT_FALSE(w.state.LearnRequested);
  }
}

TEST(ReadingsLearn, OnLpgSendsTheLearningCommandAndRemembersTheRequest) {
  ReadingsWorld w;
  RunOnLpg(w);
  w.port.ClearFrames();
  w.window->ClearOps();
  w.window->UserClick(kLearnButtonId);
  const auto frames = LearnFrames(w);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0], (std::array<uint8_t, 4>{0x65, 30, 50, 0xB5}));
  EXPECT_TRUE(w.state.LearnRequested);
  EXPECT_TRUE(w.window->ops.empty());
}

TEST(ReadingsLearn, DuringARunningCycleShowsText32AndForgetsTheRequest) {
  ReadingsWorld w;
  RunOnLpg(w);
  w.window->UserClick(kLearnButtonId);
  w.model.OverrideLive(kStateFlags, 0x03);
  w.Tick();
  ASSERT_TRUE(w.state.LearningShown);
  w.state.MessageAge = 9;
  w.port.ClearFrames();
  w.window->ClearOps();
  w.window->UserClick(kLearnButtonId);
  // Line 5 is blanked, then text 32 drawn over it.
  ASSERT_EQ(w.window->ops.size(), 2u);
  EXPECT_EQ(w.window->ops[0].text, std::string(65, ' '));
  EXPECT_EQ(w.window->ops[0].top, 485);
  const DrawOp& op = w.window->ops[1];
  EXPECT_EQ(op.text, T(lang::kLearningCancelled));
  EXPECT_EQ(op.left, 40);
  EXPECT_EQ(op.top, 485);
  EXPECT_EQ(op.text_colour, kRed);
  EXPECT_EQ(op.font, w.shared.LabelFont);
  EXPECT_FALSE(w.state.LearnRequested);
  EXPECT_EQ(w.state.MessageAge, 0u);
  EXPECT_EQ(LearnFrames(w).size(), 1u);  // the command still goes out
  EXPECT_EQ(w.window->contexts_held, 0);
}

TEST(ReadingsLearn, PinnedLearningSequence) {
  ReadingsWorld w;
  RunOnLpg(w, 0x40);
  w.window->UserClick(kLearnButtonId);
  ASSERT_TRUE(w.state.LearnRequested);

  // The controller learns: text 16 (segment 3 raised) and a blinking lamp.
  w.model.OverrideLive(kStateFlags, 0x03);
  std::vector<Brush> lamp;
  for (int tick = 0; tick < 4; ++tick) {
    w.window->ClearOps();
    w.Tick();
    EXPECT_EQ(w.Line(5), T(lang::kLearningRunning));
    lamp.push_back(w.LampDrawn().brush);
  }
  EXPECT_NE(std::count(lamp.begin(), lamp.end(), Brush::BrushYellow), 0);
  EXPECT_NE(std::count(lamp.begin(), lamp.end(), Brush::BrushOlive), 0);
  EXPECT_TRUE(w.state.LearnRequested);

  // It ends with bits 4 and 5: text 19 on every tick while they stay.
  w.model.OverrideLive(kStateFlags, 0x31);
  for (int tick = 0; tick < 3; ++tick) {
    w.window->ClearOps();
    w.Tick();
    EXPECT_EQ(w.Line(5), T(lang::kLearningFailed));
    EXPECT_EQ(w.LampDrawn().brush, Brush::BrushOlive);
  }
  // Bit 5 drops: text 20 once, and the request is done.
  w.model.OverrideLive(kStateFlags, 0x11);
  w.window->ClearOps();
  w.Tick();
  EXPECT_EQ(w.Line(5), T(lang::kLearningCompleted));
  EXPECT_FALSE(w.state.LearnRequested);
  w.window->ClearOps();
  w.Tick();
  EXPECT_EQ(w.LineOp(5), nullptr);
}

TEST(ReadingsLearn, SimulatedControllerRunsALearningCycle) {
  // A warm car cruising steadily on LPG, with the full state display, polled by the page's timer.
  sim::EngineSettings cruise;
  cruise.scenario = sim::Scenario::kCruise;
  ReadingsWorld w(2, cruise);
  w.model.SetParameter(kEmulTypeAddress, static_cast<uint8_t>(w.model.Parameter(kEmulTypeAddress) | 0x80));
  w.model.FastForward(600000);
  w.window->Paint();
  for (int step = 0; step < 600 && !w.state.LpgOnShown; ++step) w.host.RunFor(100);
  ASSERT_TRUE(w.state.LpgOnShown) << "the simulated car never switched to LPG";

  w.window->UserClick(kLearnButtonId);
  ASSERT_TRUE(w.state.LearnRequested);
  bool saw_running = false;
  std::string outcome;
  for (int step = 0; step < 400 && outcome.empty(); ++step) {
    w.window->ClearOps();
    w.host.RunFor(50);
    if (w.state.LearningShown) {
      saw_running = true;
      const std::string line = w.Line(5);
      EXPECT_TRUE(line.empty() || line == T(lang::kLearningRunning) || line == T(lang::kLearningRaiseSpeed)) << line;
    } else if (saw_running) {
      const std::string line = w.Line(5);
      for (int end : {lang::kLearningInterrupted, lang::kLearningFailed, lang::kLearningCompleted}) {
        if (line == T(end)) outcome = line;
      }
    }
  }
  ASSERT_TRUE(saw_running);
  ASSERT_EQ(w.model.Learning(), sim::LearningState::kSucceeded);
  // The controller reports a learned cycle with bit 4 alone: text 20 once, and the request is done.
  EXPECT_EQ(outcome, T(lang::kLearningCompleted));
  EXPECT_FALSE(w.state.LearnRequested);
}

}  // namespace
}  // namespace korvel::readings_test
