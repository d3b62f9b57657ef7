#pragma once
#include "link/controller_link.hpp"
#include "link/poll.hpp"
#include "pages/common/shared_state.hpp"
#include "platform/window.hpp"

namespace korvel {

// The end of every polling tick: when the link's poll period differs from the period the page
// timers were last started with, restart `timer_id` of `window` with it and remember it.
void FollowPollPeriod(Window& window, int timer_id, const ControllerLink& link, SharedState& shared);

}  // namespace korvel
