#pragma once
#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "link/serial_port.hpp"

namespace korvel::testing {

// A serial line whose far end follows a script. Each frame written to an open port takes the next
// scripted reply (an empty one is a silent controller; with the script exhausted the controller is
// silent too) and puts it on the line's input, where reads take it and input purges discard it.
// Everything the link does to the port is recorded in `events`, in order.
class ScriptedPort : public SerialPort {
 public:
  enum class Op { kOpen, kClose, kPurgeInput, kPurgeOutput, kWrite, kRead, kSleep };
  struct Event {
    Op op;
    int value;  // Write: bytes, Read: bytes asked for, Sleep: milliseconds; otherwise 0
  };

  // Script.
  std::deque<std::vector<uint8_t>> replies;
  bool open_succeeds = true;
  std::string open_error = "Permission denied";  // what a failed open reports

  // Record.
  std::vector<Event> events;
  std::vector<std::string> opened_names;
  std::vector<std::array<uint8_t, 4>> frames;
  std::vector<uint32_t> sleeps;
  // Bytes waiting on the line (stale noise can be placed here directly).
  std::deque<uint8_t> input;
  bool is_open = false;

  void Reply(std::vector<uint8_t> bytes) { replies.push_back(std::move(bytes)); }
  void Silence() { replies.emplace_back(); }

  int Count(Op op) const {
    int n = 0;
    for (const Event& e : events) n += e.op == op ? 1 : 0;
    return n;
  }
  std::vector<Op> Ops() const {
    std::vector<Op> ops;
    for (const Event& e : events) ops.push_back(e.op);
    return ops;
  }
  void ClearRecord() {
    events.clear();
    frames.clear();
    sleeps.clear();
    opened_names.clear();
  }

  OpenResult Open(const char* port_name) override {
    events.push_back({Op::kOpen, 0});
    opened_names.emplace_back(port_name);
    is_open = open_succeeds;
    if (!is_open) return {OpenStatus::kCannotOpen, open_error};
    return {OpenStatus::kOpen, {}};
  }
  void Close() override {
    events.push_back({Op::kClose, 0});
    is_open = false;
    input.clear();
  }
  void PurgeInput() override {
    events.push_back({Op::kPurgeInput, 0});
    input.clear();
  }
  void PurgeOutput() override { events.push_back({Op::kPurgeOutput, 0}); }
  int Write(const uint8_t* data, int count) override {
    events.push_back({Op::kWrite, count});
    if (!is_open) return 0;
    if (count == 4) frames.push_back({data[0], data[1], data[2], data[3]});
    if (!replies.empty()) {
      for (uint8_t b : replies.front()) input.push_back(b);
      replies.pop_front();
    }
    return count;
  }
  int Read(uint8_t* buffer, int count) override {
    events.push_back({Op::kRead, count});
    int n = 0;
    while (is_open && n < count && !input.empty()) {
      buffer[n++] = input.front();
      input.pop_front();
    }
    return n;
  }
  // A reply longer than the read took has bytes right behind it.
  bool InputFollowsWithin(uint32_t) override { return is_open && !input.empty(); }
  void Sleep(uint32_t ms) override {
    events.push_back({Op::kSleep, static_cast<int>(ms)});
    sleeps.push_back(ms);
  }
};

// A reply led by 0x65 with the given data bytes and a correct checksum.
inline std::vector<uint8_t> GoodReply(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> bytes;
  bytes.reserve(data.size() + 2);
  bytes.push_back(0x65);
  for (uint8_t b : data) bytes.push_back(b);
  unsigned sum = 0;
  for (uint8_t b : bytes) sum += b;
  bytes.push_back(static_cast<uint8_t>(sum & 0xFF));
  return bytes;
}

}  // namespace korvel::testing
