#include "sim/simulated_port.hpp"

#include <algorithm>

namespace korvel::sim {

SimulatedPort::SimulatedPort(ControllerModel& model, VirtualClock& clock) : model_(model), clock_(clock) {}

bool SimulatedPort::Alive() {
  return open_ && !model_.faults.unplugged && open_generation_ == model_.PlugGeneration();
}

OpenResult SimulatedPort::Open(const char* port_name) {
  last_open_name = port_name != nullptr ? port_name : "";
  if (open_) Close();
  if (model_.faults.unplugged || (!device_name.empty() && device_name != last_open_name)) {
    return {OpenStatus::kCannotOpen, refusal};
  }
  open_ = true;
  open_generation_ = model_.PlugGeneration();
  ++open_count;
  input_.clear();
  // Late replies sent while the port was closed went nowhere.
  while (!late_.empty() && late_.front().due_us <= clock_.now_us) late_.pop_front();
  assembler_.Reset();
  return {OpenStatus::kOpen, {}};
}

void SimulatedPort::Close() {
  if (!open_) return;
  open_ = false;
  ++close_count;
  // Whatever the controller still sends goes nowhere.
  input_.clear();
  assembler_.Reset();
}

void SimulatedPort::Queue(const Reply& reply, uint64_t first_us) {
  // The controller sends one reply after the other: a new one waits for the one still going out.
  uint64_t first = first_us;
  if (!input_.empty()) first = std::max(first, input_.back().arrival_us);
  for (int k = 0; k < reply.count; ++k) {
    input_.push_back({first + model_.wire.BytesUs(k + 1), reply.bytes[static_cast<size_t>(k)]});
  }
}

void SimulatedPort::ReleaseLate(uint64_t until_us) {
  while (!late_.empty() && late_.front().due_us <= until_us) {
    Queue(late_.front().reply, late_.front().due_us);
    late_.pop_front();
  }
}

void SimulatedPort::PurgeInput() {
  ReleaseLate(clock_.now_us);
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
    const uint64_t first = received + reply.delay_us;
    if (reply.late) {
      Held held{first, reply};
      const auto later = std::upper_bound(late_.begin(), late_.end(), first,
                                          [](uint64_t due, const Held& h) { return due < h.due_us; });
      late_.insert(later, held);
      continue;
    }
    // Late replies due before this one go out ahead of it, the last of them running straight into it.
    while (!late_.empty() && late_.front().due_us <= first) {
      Held& held = late_.front();
      if (late_.size() == 1 || late_[1].due_us > first) {
        if (model_.faults.late_reply_sums_right) MakeStraySumRight(held.reply, reply);
      }
      Queue(held.reply, held.due_us);
      late_.pop_front();
    }
    Queue(reply, first);
  }
  clock_.AdvanceUs(model_.wire.BytesUs(count));
  return count;
}

int SimulatedPort::Read(uint8_t* buffer, int count) {
  if (count <= 0) return 0;
  const uint64_t deadline = clock_.now_us + ReadTotalTimeoutMs(count) * 1000ull;
  read_deadline_us_ = deadline;
  constexpr uint64_t kGapUs = kReadIntervalTimeoutMs * 1000ull;
  if (!Alive()) {
    clock_.now_us = deadline;
    return 0;
  }
  int got = 0;
  uint64_t last_us = 0;  // when the previous byte came in
  for (;;) {
    // A late reply due before the next byte (or before the deadline on a quiet line) joins the line.
    const size_t held = late_.size();
    ReleaseLate(input_.empty() ? deadline : std::max(input_.front().arrival_us, clock_.now_us));
    if (got >= count || input_.empty()) break;
    if (late_.size() != held) continue;
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

bool SimulatedPort::InputFollowsWithin(uint32_t ms) {
  const uint64_t wanted = clock_.now_us + ms * 1000ull;
  const uint64_t until = std::max(clock_.now_us, std::min<uint64_t>(wanted, read_deadline_us_));
  const bool cut_short = until < wanted;
  if (!Alive()) {
    clock_.now_us = until;
    return false;
  }
  ReleaseLate(until);
  if (!input_.empty() && input_.front().arrival_us <= until) {
    clock_.now_us = std::max(clock_.now_us, input_.front().arrival_us);
    return true;
  }
  clock_.now_us = until;
  // A watch the read's time-out cut short cannot show that nothing followed.
  return cut_short;
}

void SimulatedPort::Sleep(uint32_t ms) { clock_.AdvanceMs(ms); }

}  // namespace korvel::sim
