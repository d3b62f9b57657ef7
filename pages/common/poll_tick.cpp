#include "pages/common/poll_tick.hpp"

namespace korvel {

bool PollController(ControllerLink& link, unsigned records) {
  link.ReadIdentity();
  const uint32_t variant = link.GetControllerVariant();
  if (!link.Connected() || variant != 2) return false;
  if ((records & kPollLiveData) != 0) link.ReadLiveData();
  if ((records & kPollConfig) != 0) link.ReadConfig();
  if ((records & kPollOptions) != 0) link.ReadOptions();
  return true;
}

void FollowPollPeriod(Window& window, int timer_id, const ControllerLink& link, SharedState& shared) {
  if (link.state.poll_period == shared.ActiveTimerPeriod) return;
  window.SetTimer(timer_id, link.state.poll_period);
  shared.ActiveTimerPeriod = link.state.poll_period;
}

}  // namespace korvel
