#pragma once
#include <cstdint>

namespace korvel {

// A clock that only moves when told to. Tests, the in-process simulator port and the
// headless window system share one, so poll timers, port time-outs and the simulated
// engine advance together without real sleeps.
struct VirtualClock {
  uint64_t now_us = 0;

  uint64_t NowMs() const { return now_us / 1000; }
  void AdvanceUs(uint64_t us) { now_us += us; }
  void AdvanceMs(uint64_t ms) { now_us += ms * 1000; }
};

}  // namespace korvel
