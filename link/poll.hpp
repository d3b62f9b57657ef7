#pragma once
#include <cstdint>

#include "link/controller_link.hpp"

namespace korvel {

// Records a tick reads beyond the identity.
enum PollRecord : unsigned {
  kPollLiveData = 1u << 0,
  kPollConfig = 1u << 1,
  kPollOptions = 1u << 2,
};

// What one poll tick brought.
struct PollResult {
  ExchangeOutcome identity = ExchangeOutcome::kNoReply;
  bool gated = false;  // the controller was connected and of variant 2, so the records were read
  ExchangeOutcome live = ExchangeOutcome::kNoReply;  // when live data was read
  // True when this tick brought a fresh identity and, when asked for, fresh live data.
  bool FreshLiveData() const { return identity == ExchangeOutcome::kGood && gated && live == ExchangeOutcome::kGood; }
  explicit operator bool() const { return gated; }
};

// Told after every poll that asks for live data, once the tick's records are read: the window
// program records a drive and keeps a restore point per connection from here.
class PollObserver {
 public:
  virtual ~PollObserver() = default;
  virtual void AfterLivePoll(ControllerLink& link, const PollResult& result) = 0;
};

// The poll every tick starts with: the identity on every tick; then, only while the controller
// answers and is of variant 2, the records named in `records` (live data, then configuration, then
// options). The variant is asked on every tick, connected or not.
PollResult PollController(ControllerLink& link, unsigned records);

// The Readings cadence, also what `korvelctl live` polls: live data on every tick that reaches a
// variant-2 controller, the configuration and options on every fourth such tick.
PollResult PollReadingsCadence(ControllerLink& link, uint32_t& config_poll_count);

}  // namespace korvel
