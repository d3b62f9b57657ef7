#include "pages/common/poll_tick.hpp"

namespace korvel {

void FollowPollPeriod(Window& window, int timer_id, const ControllerLink& link, SharedState& shared) {
  if (link.state.poll_period == shared.ActiveTimerPeriod) return;
  window.SetTimer(timer_id, link.state.poll_period);
  shared.ActiveTimerPeriod = link.state.poll_period;
}

}  // namespace korvel
