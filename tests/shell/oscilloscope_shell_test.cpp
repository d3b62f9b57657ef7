// The Oscilloscope page in the program: a size change while it sweeps rebuilds it for the new
// class, with the history cleared and the sweep back at its start.
#include "pages/oscilloscope/oscilloscope_page.hpp"
#include "tests/shell/shell_fixture.hpp"

namespace korvel::testing {
namespace {

TEST_F(ShellTest, SizeChangeClearsTheScopeHistoryAndRestartsTheSweep) {
  Start({1280, 1024});
  host().UserMenuCommand(40010);
  Paint();
  host().RunFor(1000);
  ScopeState& scope = app().scope_state;
  ASSERT_GT(scope.SweepPosition, 230u);
  ASSERT_NE(scope.SampleHistory[20].engine_speed, 0u);
  ASSERT_TRUE(app().shared.CurrentEngineSpeed != 0);

  host().UserMenuCommand(DescribeSizeClass(2).size_menu_item);
  EXPECT_EQ(page()->template_id(), kOscilloscopeTemplate);
  EXPECT_EQ(scope.SweepPosition, kSweepStart);
  for (const ScopeSample& sample : scope.SampleHistory) ASSERT_EQ(sample.engine_speed, 0u);
  // The redraw lines lie flat on the baselines of the new class (pane 4 at 460).
  EXPECT_EQ(scope.TraceRedrawPoints[kTraceE][100].x, 300);
  EXPECT_EQ(scope.TraceRedrawPoints[kTraceE][100].y, 460);

  // The new page sweeps again from the start of the panes.
  Paint();
  host().RunFor(200);
  EXPECT_GT(scope.SweepPosition, kSweepStart);
  EXPECT_NE(scope.SampleHistory[3].engine_speed, 0u);
}

}  // namespace
}  // namespace korvel::testing
