// The program-information box: its texts, its place, its own identity polling while the page
// timers stand still, and the controller version read-out.
#include <algorithm>

#include "pages/service/about_dialog.hpp"
#include "tests/shell/shell_fixture.hpp"

namespace korvel::testing {
namespace {

int CountRequests(const sim::SimulatedPort& port, uint8_t request) {
  return static_cast<int>(std::count_if(port.frames.begin(), port.frames.end(), [request](const auto& f) {
    return f[0] == kLeadByte && f[1] == request && f[2] == request;
  }));
}

TEST(ControllerVersionText, FirmwareIsTheTwoDigitsAfterThePoint) {
  EXPECT_STREQ(ControllerVersionText(2, 5).text, "2.05");
  EXPECT_STREQ(ControllerVersionText(2, 0).text, "2.00");
  EXPECT_STREQ(ControllerVersionText(2, 31).text, "2.31");
  // Every version of a variant-2 controller reads back as itself in single precision.
  for (uint32_t f = 0; f <= 31; ++f) {
    char expected[8];
    std::snprintf(expected, sizeof expected, "2.%02u", f);
    EXPECT_STREQ(ControllerVersionText(2, f).text, expected) << f;
  }
}

TEST_F(ShellTest, AboutShowsTextsCentresItselfAndReadsTheVersion) {
  Start({800, 600});
  ConnectAndPoll();
  headless::HeadlessWindow* seen = nullptr;
  std::string readout_before_tick;
  std::string readout;
  bool busy_while_open = false;
  int live_requests_while_open = -1;
  int identity_requests_while_open = -1;
  uint32_t period = 0;
  host().on_modal_dialog = [&](headless::HeadlessWindow& dialog) {
    seen = &dialog;
    readout_before_tick = dialog.Text(kControllerVersionId);
    busy_while_open = app().shared.BusyFlag;
    period = dialog.TimerPeriod(2);
    port_.ClearFrames();
    host().RunFor(1000);
    live_requests_while_open = CountRequests(port_, 2);
    identity_requests_while_open = CountRequests(port_, 1);
    readout = dialog.Text(kControllerVersionId);
    EXPECT_EQ(dialog.title(), "P157");
    EXPECT_EQ(dialog.Text(1075), "P156");
    EXPECT_EQ(dialog.Text(1076), "P158");
    EXPECT_EQ(dialog.Text(1077), "P159");
    EXPECT_EQ(dialog.Text(1), "P160");
    const PixelRect r = dialog.rect();
    EXPECT_EQ(r.x, (800 - r.width) / 2);
    EXPECT_EQ(r.y, (600 - r.height) / 2);
    dialog.UserClick(1);
    EXPECT_TRUE(dialog.ended());
    EXPECT_EQ(dialog.end_result(), 1);
    EXPECT_EQ(dialog.TimerPeriod(2), 0u);
  };
  host().UserMenuCommand(40003);
  ASSERT_NE(seen, nullptr);
  EXPECT_EQ(host().modal_dialogs, std::vector<int>{103});
  EXPECT_TRUE(busy_while_open);
  EXPECT_EQ(period, 50u);
  EXPECT_EQ(readout_before_tick, "");
  EXPECT_EQ(readout, "2.05");
  // Only the box talks to the controller while it is open: identity requests, no live data.
  EXPECT_EQ(live_requests_while_open, 0);
  EXPECT_GT(identity_requests_while_open, 10);
  EXPECT_FALSE(app().shared.BusyFlag);

  // Once it is closed the page polls again.
  port_.ClearFrames();
  host().RunFor(500);
  EXPECT_GT(CountRequests(port_, 2), 0);
}

TEST_F(ShellTest, AboutReportsAControllerOfAnotherVariant) {
  model_.SetVariant(3);
  model_.SetFirmwareVersion(31);
  ASSERT_EQ(model_.IdentityReply()[2], 0x5F);
  Start();
  std::string readout;
  host().on_modal_dialog = [&](headless::HeadlessWindow& dialog) {
    host().RunFor(300);
    readout = dialog.Text(kControllerVersionId);
  };
  host().UserMenuCommand(40003);
  EXPECT_EQ(readout, "P162");
}

TEST_F(ShellTest, AboutShowsNotConnectedOnlyAfterTheThirdFailedExchange) {
  Start();
  ConnectAndPoll();
  std::vector<std::string> readouts;
  host().on_modal_dialog = [&](headless::HeadlessWindow& dialog) {
    AboutDialog& about = app().about_dialog;
    about.ShowControllerVersion(dialog);
    readouts.push_back(dialog.Text(kControllerVersionId));
    model_.Unplug();
    for (int i = 0; i < 3; ++i) {
      about.ShowControllerVersion(dialog);
      readouts.push_back(dialog.Text(kControllerVersionId));
    }
  };
  host().UserMenuCommand(40003);
  EXPECT_EQ(readouts, (std::vector<std::string>{"2.05", "2.05", "2.05", "P161"}));
}

TEST_F(ShellTest, AboutKeepsThePeriodItWasOpenedWith) {
  model_.faults.silence = true;
  Start();
  Paint();
  host().RunFor(2000);
  ASSERT_FALSE(app().link.Connected());
  ASSERT_EQ(app().link.state.poll_period, 500u);
  uint32_t period_at_open = 0, period_later = 0;
  std::string readout;
  host().on_modal_dialog = [&](headless::HeadlessWindow& dialog) {
    period_at_open = dialog.TimerPeriod(2);
    host().RunFor(600);
    EXPECT_EQ(dialog.Text(kControllerVersionId), "P161");
    model_.faults.silence = false;
    host().RunFor(1100);
    EXPECT_EQ(app().link.state.poll_period, 50u);
    period_later = dialog.TimerPeriod(2);
    readout = dialog.Text(kControllerVersionId);
    dialog.UserCancel();
  };
  host().UserMenuCommand(40003);
  EXPECT_EQ(period_at_open, 500u);
  EXPECT_EQ(period_later, 500u);
  EXPECT_EQ(readout, "2.05");
  EXPECT_FALSE(app().shared.BusyFlag);
}

TEST_F(ShellTest, AboutThatEndsWithoutItsCloseCommandDoesNotStopThePagesForGood) {
  Start();
  ConnectAndPoll();
  host().on_modal_dialog = nullptr;  // the box ends at once, without a command
  host().UserMenuCommand(40003);
  EXPECT_FALSE(app().shared.BusyFlag);
  port_.ClearFrames();
  host().RunFor(500);
  EXPECT_GT(CountRequests(port_, 2), 0);
}

}  // namespace
}  // namespace korvel::testing
