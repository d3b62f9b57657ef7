// The controller link fed arbitrary reply bytes, silences and line noise through a scripted port,
// in any order of polls, writes and port closes. After every step the link must be where the
// exchange rules put it: a record changes only to a reply whose lead byte is 0x65 and whose
// checksum is right (or to zeros when the connection is lost), the failure count, connection state,
// poll period and port state follow the identity outcomes, and a write goes out only to a
// controller of variant 2, as a correct frame.
#include <cstring>
#include <deque>
#include <vector>

#include "link/controller_link.hpp"
#include "tests/fuzz/fuzz_support.hpp"
#include "tests/link/scripted_port.hpp"

namespace {

using korvel::ControllerLink;
using korvel::kLeadByte;
using korvel::fuzz::Check;
using korvel::testing::ScriptedPort;

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Empty() const { return at_ == size_; }
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  std::vector<uint8_t> Bytes(size_t n) {
    std::vector<uint8_t> bytes;
    while (n-- > 0 && !Empty()) bytes.push_back(Byte());
    return bytes;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

bool GoodReply(const uint8_t* bytes, int length) {
  return bytes[0] == kLeadByte && korvel::FrameChecksum(bytes, length - 1) == bytes[length - 1];
}

void CheckRecordShape(const uint8_t* record, int length, const char* what) {
  bool zero = true;
  for (int i = 0; i < length; ++i) zero = zero && record[i] == 0;
  if (!zero && !GoodReply(record, length)) korvel::fuzz::Fail(what);
}

// What the link believes, kept beside it by the exchange rules.
struct Expected {
  korvel::LinkState state;
  uint8_t records[5][16] = {};  // identity, live data, configuration, options by request number
  uint32_t watch = 0;           // replies still watched for a late reply running into them
};

// Whether the link takes `received` bytes that `passes` its tests as a reply of their own: after
// an exchange that brought no whole good reply, the next replies must have nothing right behind
// them (`more`), and a short one is not taken.
bool StandsAlone(Expected& expected, int received, int length, bool passes, bool more) {
  const bool watching = expected.watch > 0;
  if (received < length || !passes) {
    expected.watch = korvel::kRepliesWatchedAfterGiveUp;
    return !watching;
  }
  if (!watching) return true;
  --expected.watch;
  if (!more) return true;
  expected.watch = korvel::kRepliesWatchedAfterGiveUp;
  return false;
}
constexpr int kReplyLength[5] = {0, 4, 11, 15, 16};

uint8_t* RecordOf(ControllerLink& link, int request) {
  switch (request) {
    case 1: return link.IdentityRecord;
    case 2: return link.LiveDataRecord;
    case 3: return link.ConfigRecord;
    default: return link.OptionsRecord;
  }
}

// The bytes the next Read of `length` will find: the scripted reply if the port is open when the
// frame is written (every request and write empties the input first); `more` says whether bytes
// stay behind them.
std::vector<uint8_t> BytesForRead(const ScriptedPort& port, bool link_port_open, int length, bool& more) {
  const bool open = link_port_open ? port.is_open : port.open_succeeds;
  std::vector<uint8_t> line;
  more = false;
  if (!open) return line;
  if (!port.replies.empty()) line.assign(port.replies.front().begin(), port.replies.front().end());
  more = static_cast<int>(line.size()) > length;
  if (more) line.resize(static_cast<size_t>(length));
  return line;
}

void Poll(ControllerLink& link, ScriptedPort& port, Expected& expected, int request) {
  const int length = kReplyLength[request];
  uint8_t reply[16] = {};
  bool more = false;
  const std::vector<uint8_t> bytes = BytesForRead(port, link.state.port_open, length, more);
  if (!bytes.empty()) std::memcpy(reply, bytes.data(), bytes.size());
  const size_t frames_before = port.frames.size();

  switch (request) {
    case 1: link.ReadIdentity(); break;
    case 2: link.ReadLiveData(); break;
    case 3: link.ReadConfig(); break;
    default: link.ReadOptions(); break;
  }

  if (port.frames.size() != frames_before) {
    const uint8_t r = static_cast<uint8_t>(request);
    Check(port.frames.back() == std::array<uint8_t, 4>{kLeadByte, r, r, static_cast<uint8_t>(kLeadByte + 2 * r)},
          "a request frame other than the fixed one");
  }
  korvel::LinkState& s = expected.state;
  s.port_open = true;
  const bool alone = StandsAlone(expected, static_cast<int>(bytes.size()), length, GoodReply(reply, length), more);
  if (reply[0] != kLeadByte) {
    if (request == 1 && ++s.failure_count >= 3) {
      s.failure_count = 2;
      s.port_open = false;
      s.not_connected = true;
      s.poll_period = korvel::kLostPollPeriodMs;
      for (int r = 2; r <= 4; ++r) std::memset(expected.records[r], 0, sizeof expected.records[r]);
    }
  } else if (!GoodReply(reply, length) || !alone) {
    s.port_open = false;
  } else {
    std::memcpy(expected.records[request], reply, static_cast<size_t>(length));
    if (request == 1) {
      s.not_connected = false;
      s.failure_count = 0;
      s.poll_period = korvel::kConnectedPollPeriodMs;
    }
  }
}

void Write(ControllerLink& link, ScriptedPort& port, Expected& expected, uint8_t address, uint8_t value) {
  const size_t events_before = port.events.size();
  const bool variant_2 = (expected.records[1][2] >> 5) + 1 == 2;
  bool more = false;
  const int received = static_cast<int>(BytesForRead(port, link.state.port_open, 3, more).size());
  const int result = link.WriteParameter(address, value);
  if (!variant_2) {
    Check(result == korvel::kWriteNotSent && port.events.size() == events_before, "a write went to a controller not of variant 2");
    return;
  }
  expected.state.port_open = true;
  // Three bytes with more right behind them, while replies are watched, acknowledge nothing.
  const bool alone = StandsAlone(expected, received, 3, true, more);
  const int acknowledged = !alone && received == 3 ? 0 : received;
  Check(result == acknowledged, "write result is not the number of acknowledgement bytes");
  if (port.is_open) {
    Check(port.frames.back() == std::array<uint8_t, 4>{kLeadByte, address, value,
                                                       korvel::FrameChecksum(port.frames.back().data(), 3)},
          "a write frame other than lead byte, address, value, checksum");
  }
}

void CheckAgainst(ControllerLink& link, const Expected& expected) {
  const korvel::LinkState& s = expected.state;
  Check(link.state.failure_count == s.failure_count, "failure count off the identity rule");
  Check(link.state.failure_count >= 0 && link.state.failure_count <= 2, "failure count outside 0..2");
  Check(link.state.not_connected == s.not_connected, "connection state off the identity rule");
  Check(link.state.poll_period == s.poll_period, "poll period off the identity rule");
  Check(link.state.port_open == s.port_open, "port state off the exchange rules");
  for (int r = 1; r <= 4; ++r) {
    Check(std::memcmp(RecordOf(link, r), expected.records[r], static_cast<size_t>(kReplyLength[r])) == 0,
          "a record differs from the last good reply");
  }
  CheckRecordShape(link.IdentityRecord, 4, "identity record holds a bad reply");
  CheckRecordShape(link.LiveDataRecord, 11, "live-data record holds a bad reply");
  CheckRecordShape(link.ConfigRecord, 15, "configuration record holds a bad reply");
  CheckRecordShape(link.OptionsRecord, 16, "options record holds a bad reply");
}

}  // namespace

// Input: a sequence of steps. Step byte: low 3 bits choose the step (0..3 a poll of request 1..4,
// 4 a parameter write, 5 a port close, 6 noise put on the line, 7 port and delay settings); bit 7
// makes the scripted reply well-formed (lead byte and checksum mended), bit 6 makes it a silence.
// A poll or write is followed by the reply length and bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in(data, size);
  ScriptedPort port;
  ControllerLink link(port);
  Expected expected;
  int steps = 0;
  while (!in.Empty() && ++steps <= 64) {
    const uint8_t step = in.Byte();
    const int kind = step & 7;
    if (kind <= 4) {
      const int request = kind + 1;
      uint8_t address = 0;
      uint8_t value = 0;
      if (kind == 4) {
        address = in.Byte();
        value = in.Byte();
      }
      std::vector<uint8_t> reply = in.Bytes(in.Byte() % 24);
      const int length = kind == 4 ? 3 : kReplyLength[request];
      if ((step & 0x80) != 0 && kind != 4 && static_cast<int>(reply.size()) >= length) {
        reply[0] = kLeadByte;
        reply[static_cast<size_t>(length) - 1] = korvel::FrameChecksum(reply.data(), length - 1);
      }
      if ((step & 0x40) != 0) reply.clear();
      port.replies.push_back(reply);
      if (kind == 4) {
        Write(link, port, expected, address, value);
      } else {
        Poll(link, port, expected, request);
      }
      // A reply left unsent (the port was closed) is not kept for a later frame.
      port.replies.clear();
    } else if (kind == 5) {
      link.ClosePort();
      expected.state.port_open = false;
    } else if (kind == 6) {
      for (uint8_t b : in.Bytes(in.Byte() % 24)) port.input.push_back(b);
    } else {
      port.open_succeeds = (step & 0x80) == 0;
      link.state.WriteDelay = (step & 0x40) != 0 ? 250 : 0;
    }
    CheckAgainst(link, expected);
  }
  return 0;
}
