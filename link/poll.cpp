#include "link/poll.hpp"

namespace korvel {

PollResult PollController(ControllerLink& link, unsigned records) {
  PollResult result;
  result.identity = link.ReadIdentity();
  const uint32_t variant = link.GetControllerVariant();
  if (!link.Connected() || variant != 2) return result;
  result.gated = true;
  if ((records & kPollLiveData) != 0) result.live = link.ReadLiveData();
  if ((records & kPollConfig) != 0) link.ReadConfig();
  if ((records & kPollOptions) != 0) link.ReadOptions();
  return result;
}

PollResult PollReadingsCadence(ControllerLink& link, uint32_t& config_poll_count) {
  const PollResult result = PollController(link, kPollLiveData);
  if (result.gated) {
    config_poll_count += 1;
    if (config_poll_count > 3) {
      link.ReadConfig();
      link.ReadOptions();
      config_poll_count = 0;
    }
  }
  return result;
}

}  // namespace korvel
