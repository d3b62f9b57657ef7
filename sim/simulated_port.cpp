#include "sim/simulated_port.hpp"

#include <algorithm>

namespace korvel::sim {

SimulatedPort::SimulatedPort(ControllerModel& model, VirtualClock& clock) : model_(model), clock_(clock) {}

bool SimulatedPort::Alive() {
  return open_ && !model_.faults.unplugged && open_generation_ == model_.PlugGeneration();
}

bool SimulatedPort::Open(const char* port_name) {
  last_open_name = port_name != nullptr ? port_name : "";
  if (open_) Close();
  open_refused_ = model_.faults.unplugged || (!device_name.empty() && device_name != last_open_name);
  if (open_refused_) return false;
  open_ = true;
  open_generation_ = model_.PlugGeneration();
  ++open_count;
  input_.clear();
  assembler_.Reset();
  return true;
}

void SimulatedPort::Close() {
  if (!open_) return;
  open_ = false;
  ++close_count;
  // Whatever the controller still sends goes nowhere.
  input_.clear();
  assembler_.Reset();
}

void SimulatedPort::PurgeInput() {
  // Drops what has arrived; bytes still on the wire arrive afterwards.
  while (!input_.empty() && input_.front().arrival_us <= clock_.now_us) input_.pop_front();
}

void SimulatedPort::PurgeOutput() {
  // Writes leave at once (or take their wire time inside Write): nothing is ever queued.
}

int SimulatedPort::Write(const uint8_t* data, int count) {
  if (!Alive() || count <= 0) return 0;
  const uint64_t start = clock_.now_us;
  model_.AdvanceTo(start);
  for (int i = 0; i < count; ++i) {
    const uint64_t received = start + model_.wire.BytesUs(i + 1);
    if (!assembler_.Feed(data[i], received)) continue;
    frames.push_back(assembler_.frame);
    const Reply reply = model_.Answer(assembler_.frame, received);
    if (reply.count == 0) continue;
    // The controller sends one reply after the other: a new one waits for the one still going out.
    uint64_t first = received + reply.delay_us;
    if (!input_.empty()) first = std::max(first, input_.back().arrival_us);
    for (int k = 0; k < reply.count; ++k) {
      input_.push_back({first + model_.wire.BytesUs(k + 1), reply.bytes[static_cast<size_t>(k)]});
    }
  }
  clock_.AdvanceUs(model_.wire.BytesUs(count));
  return count;
}

int SimulatedPort::Read(uint8_t* buffer, int count) {
  if (count <= 0) return 0;
  const uint64_t deadline = clock_.now_us + ReadTotalTimeoutMs(count) * 1000ull;
  constexpr uint64_t kGapUs = kReadIntervalTimeoutMs * 1000ull;
  if (!Alive()) {
    clock_.now_us = deadline;
    return 0;
  }
  int got = 0;
  uint64_t last_us = 0;  // when the previous byte came in
  while (got < count && !input_.empty()) {
    const uint64_t arrival = std::max(input_.front().arrival_us, clock_.now_us);
    if (arrival > deadline) break;
    if (got > 0 && arrival > last_us + kGapUs) break;
    buffer[got++] = input_.front().byte;
    input_.pop_front();
    clock_.now_us = arrival;
    last_us = arrival;
  }
  if (got == count) return got;
  // The read ends on a time-out: the total one, or the gap after the last byte.
  const uint64_t end = got == 0 ? deadline : std::min(deadline, last_us + kGapUs);
  clock_.now_us = std::max(clock_.now_us, end);
  return got;
}

void SimulatedPort::Sleep(uint32_t ms) { clock_.AdvanceMs(ms); }

}  // namespace korvel::sim
