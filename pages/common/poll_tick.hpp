#pragma once
#include <cstdint>

#include "link/controller_link.hpp"
#include "pages/common/shared_state.hpp"
#include "platform/window.hpp"

namespace korvel {

// Records a tick reads beyond the identity.
enum PollRecord : unsigned {
  kPollLiveData = 1u << 0,
  kPollConfig = 1u << 1,
  kPollOptions = 1u << 2,
};

// The poll every page tick starts with: the identity on every tick; then, only while the
// controller answers and is of variant 2, the records named in `records` (live data, then
// configuration, then options). The variant is asked on every tick, connected or not. Returns true
// when the controller was connected and of variant 2 (the gated reads were made).
bool PollController(ControllerLink& link, unsigned records);

// The end of every polling tick: when the link's poll period differs from the period the page
// timers were last started with, restart `timer_id` of `window` with it and remember it.
void FollowPollPeriod(Window& window, int timer_id, const ControllerLink& link, SharedState& shared);

}  // namespace korvel
