#include "link/poll.hpp"

namespace korvel {

namespace {

PollResult PollRecords(ControllerLink& link, unsigned records) {
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

void TellObserver(ControllerLink& link, unsigned records, const PollResult& result) {
  if (link.poll_observer != nullptr && (records & kPollLiveData) != 0) link.poll_observer->AfterLivePoll(link, result);
}

}  // namespace

PollResult PollController(ControllerLink& link, unsigned records) {
  const PollResult result = PollRecords(link, records);
  TellObserver(link, records, result);
  return result;
}

PollResult PollReadingsCadence(ControllerLink& link, uint32_t& config_poll_count) {
  const PollResult result = PollRecords(link, kPollLiveData);
  if (result.gated) {
    config_poll_count += 1;
    if (config_poll_count > 3) {
      link.ReadConfig();
      link.ReadOptions();
      config_poll_count = 0;
    }
  }
  TellObserver(link, kPollLiveData, result);
  return result;
}

}  // namespace korvel
