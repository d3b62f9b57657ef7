// The Readings page's poll tick: which requests go out when, what is redrawn, and how the timer
// follows the link.
#include "tests/pages/readings_fixture.hpp"

namespace korvel::readings_test {
namespace {

TEST(ReadingsTick, ConfigurationAndOptionsAreReadOnEveryFourthConnectedTick) {
  ReadingsWorld w;
  ASSERT_NE(w.window, nullptr);
  std::vector<std::vector<int>> per_tick;
  for (int tick = 0; tick < 8; ++tick) {
    w.port.ClearFrames();
    w.Tick();
    per_tick.push_back(w.Requests());
  }
  const std::vector<int> live{1, 2};
  const std::vector<int> full{1, 2, 3, 4};
  EXPECT_EQ(per_tick[0], live);
  EXPECT_EQ(per_tick[1], live);
  EXPECT_EQ(per_tick[2], live);
  EXPECT_EQ(per_tick[3], full);  // the first configuration read
  EXPECT_EQ(per_tick[4], live);
  EXPECT_EQ(per_tick[6], live);
  EXPECT_EQ(per_tick[7], full);
  EXPECT_EQ(w.state.ConfigPollCount, 0u);
  // The records came in as the controller sent them.
  EXPECT_EQ(w.link.ConfigRecord[0], 0x65);
  EXPECT_EQ(w.link.ConfigRecord[5], w.model.Parameter(9));  // EmulType
  EXPECT_EQ(w.link.OptionsRecord[1], w.model.Parameter(16));  // AttMax
}

TEST(ReadingsTick, AnotherVariantGetsOnlyTheIdentityPoll) {
  ReadingsWorld w;
  w.model.SetVariant(3);
  w.Tick(5);
  for (int request : w.Requests()) EXPECT_EQ(request, 1);
  EXPECT_EQ(w.Requests().size(), 5u);
  EXPECT_EQ(w.Line(1), T(lang::kWrongControllerType));
}

TEST(ReadingsTick, SilentControllerGetsIdentityOnlyAndTheValuesFallToZero) {
  ReadingsWorld w;
  // A connected, warm engine on LPG first, so that there is something to lose.
  w.model.OverrideLive(kLambdaProbe, 40);
  w.model.OverrideLive(kAtt, 120);
  w.model.OverrideLive(kPeriodHi, 0x0B);
  w.model.OverrideLive(kPeriodLo, 0xB8);  // 5000 rpm
  w.model.OverrideLive(kTempRaw, 230);
  w.Tick(4);
  ASSERT_TRUE(w.link.Connected());
  EXPECT_EQ(w.TextAt(590, 210).text, "5000");

  w.model.faults.silence = true;
  w.port.ClearFrames();
  w.window->ClearOps();
  w.Tick(3);  // the third silent identity poll declares the controller lost
  // Until then the controller still counts as connected and its live data is asked for.
  EXPECT_EQ(w.Requests(), (std::vector<int>{1, 2, 1, 2, 1}));
  EXPECT_FALSE(w.link.Connected());

  w.window->ClearOps();
  w.port.ClearFrames();
  w.Tick();
  EXPECT_EQ(w.Requests(), (std::vector<int>{1}));
  // Everything is drawn again, as zeros, with the not-connected messages.
  EXPECT_EQ(w.TextAt(40, 45).text, "0.00");
  EXPECT_EQ(w.TextAt(40, 265).text, "000");
  EXPECT_EQ(w.TextAt(590, 210).text, "0000");
  EXPECT_EQ(w.TextAt(490, 375).text, "000");
  EXPECT_EQ(w.TextAt(510, 265).text, "0000");
  EXPECT_EQ(w.TextAt(705, 385).text, "00");
  EXPECT_EQ(w.Line(1), T(lang::kControllerNoAnswer));
  EXPECT_EQ(w.LineDrawn(1).text_colour, kRed);
  EXPECT_EQ(w.Line(3), T(lang::kCheckConnection));
  EXPECT_EQ(w.LineDrawn(3).text_colour, kBlack);
  EXPECT_EQ(w.Line(2), Spaces(55));
  EXPECT_EQ(w.Line(4), Spaces(55));
  EXPECT_EQ(w.Line(5), Spaces(55));
  EXPECT_FALSE(w.state.LpgOnShown);
  // The empty Att bar: the navy part has no width.
  const auto rects = headless::FindOps(w.window->ops, DrawKind::kRectangle);
  bool navy_seen = false;
  for (const DrawOp* op : rects) {
    if (op->brush == Brush::BrushNavy) {
      navy_seen = true;
      EXPECT_EQ(op->left, 161);
      EXPECT_EQ(op->right, 161);
    }
  }
  EXPECT_TRUE(navy_seen);
}

TEST(ReadingsTick, NotConnectedFromTheStartShowsTheNotConnectedTexts) {
  ReadingsWorld w;
  w.model.faults.silence = true;
  w.Tick();
  EXPECT_EQ(w.Requests(), (std::vector<int>{1}));
  EXPECT_EQ(w.Line(1), T(lang::kControllerNoAnswer));
  EXPECT_EQ(w.Line(3), T(lang::kCheckConnection));
}

TEST(ReadingsTick, PeriodChangeTakesEffectAtTheEndOfTheTickThatObservesIt) {
  ReadingsWorld w;
  w.window->Paint();
  EXPECT_EQ(w.window->TimerPeriod(kReadingsPollTimer), 50u);
  w.Tick();
  EXPECT_EQ(w.shared.ActiveTimerPeriod, 50u);  // first tick: 0 -> 50

  w.model.faults.silence = true;
  w.Tick(2);
  EXPECT_EQ(w.window->TimerPeriod(kReadingsPollTimer), 50u);
  EXPECT_EQ(w.shared.ActiveTimerPeriod, 50u);
  w.Tick();  // lost on this tick
  EXPECT_EQ(w.link.state.poll_period, 500u);
  EXPECT_EQ(w.window->TimerPeriod(kReadingsPollTimer), 500u);
  EXPECT_EQ(w.shared.ActiveTimerPeriod, 500u);

  // Back again: the first answered identity poll brings 50 ms back at the end of its tick.
  w.model.faults.silence = false;
  w.Tick();
  EXPECT_TRUE(w.link.Connected());
  EXPECT_EQ(w.window->TimerPeriod(kReadingsPollTimer), 50u);
  EXPECT_EQ(w.shared.ActiveTimerPeriod, 50u);
}

TEST(ReadingsTick, TimerDrivenPollingFollowsTheLinkPeriod) {
  ReadingsWorld w;
  w.window->Paint();
  w.host.RunFor(1000);
  const std::vector<int> connected = w.Requests();
  // One tick per 50 ms: twenty identity polls, each followed by a live-data poll.
  EXPECT_GE(std::count(connected.begin(), connected.end(), 1), 19);
  EXPECT_GE(std::count(connected.begin(), connected.end(), 2), 19);

  w.model.faults.silence = true;
  w.host.RunFor(3000);  // lost after three silent polls
  w.port.ClearFrames();
  w.host.RunFor(5000);
  // Each silent identity poll waits out its 140 ms time-out, then the 500 ms period: far fewer.
  const auto requests = w.Requests();
  EXPECT_GE(requests.size(), 6u);
  EXPECT_LE(requests.size(), 11u);
  for (int request : requests) EXPECT_EQ(request, 1);
  EXPECT_EQ(w.window->TimerPeriod(kReadingsPollTimer), 500u);
}

TEST(ReadingsTick, BusyOrDropDownSkipsTheWholeTick) {
  ReadingsWorld w;
  w.shared.BusyFlag = true;
  w.Tick(3);
  EXPECT_TRUE(w.port.frames.empty());
  EXPECT_TRUE(w.window->ops.empty());
  w.shared.BusyFlag = false;
  w.shared.DropDownOpen = true;
  w.Tick(3);
  EXPECT_TRUE(w.port.frames.empty());
  EXPECT_TRUE(w.window->ops.empty());
  EXPECT_EQ(w.state.ConfigPollCount, 0u);
  w.shared.DropDownOpen = false;
  w.Tick();
  EXPECT_EQ(w.Requests(), (std::vector<int>{1, 2}));
}

TEST(ReadingsTick, PaintPlacesThePageAndRestartsTheTimerWithThePollPeriod) {
  for (int size_class : {1, 2, 3, 4, 5}) {
    ReadingsWorld w(size_class);
    w.window->Paint();
    const PixelRect r = w.window->rect();
    const SizeClassInfo& info = DescribeSizeClass(size_class);
    EXPECT_EQ(r.x, -5);
    EXPECT_EQ(r.y, -10);
    EXPECT_EQ(r.width, info.page_width);
    EXPECT_EQ(r.height, info.page_height);
    EXPECT_EQ(w.window->TimerPeriod(kReadingsPollTimer), 50u);
    EXPECT_TRUE(w.window->ops.empty());  // the page draws nothing on its own paint
  }
  ReadingsWorld lost;
  lost.link.state.poll_period = 500;
  lost.window->Paint();
  EXPECT_EQ(lost.window->TimerPeriod(kReadingsPollTimer), 500u);
}

TEST(ReadingsTick, PageStateSurvivesAPageSwitch) {
  ReadingsWorld w;
  w.Tick(2);
  w.state.LearnRequested = true;
  w.host.DestroyPage(w.window);

  // A new page window and procedure over the same lasting state.
  ReadingsPage again(w.context, w.state);
  auto* window = static_cast<HeadlessWindow*>(w.host.CreatePage(kReadingsTemplate, again));
  ASSERT_NE(window, nullptr);
  w.port.ClearFrames();
  again.OnTimer(*window, kReadingsPollTimer);
  EXPECT_EQ(w.Requests(), (std::vector<int>{1, 2}));
  w.port.ClearFrames();
  again.OnTimer(*window, kReadingsPollTimer);
  EXPECT_EQ(w.Requests(), (std::vector<int>{1, 2, 3, 4}));  // the count went on: fourth tick
  EXPECT_TRUE(w.state.LearnRequested);
}

TEST(ReadingsTick, NeverHoldsMoreThanTwoContextsAndReleasesThemAll) {
  ReadingsWorld w;
  // Speed and LPG-off speed both change on this tick: the dial is redrawn twice inside it.
  w.model.OverrideLive(kPeriodHi, 0x0B);
  w.model.OverrideLive(kPeriodLo, 0xB8);
  w.Tick(4);
  EXPECT_NE(w.state.LpgOffSpeedShown, 0u);
  EXPECT_LE(w.window->max_contexts_held, 2);
  EXPECT_EQ(w.window->contexts_held, 0);
  w.page.DrawReadingsFrame(*w.window);
  EXPECT_LE(w.window->max_contexts_held, 2);
  EXPECT_EQ(w.window->contexts_held, 0);
}

}  // namespace
}  // namespace korvel::readings_test
