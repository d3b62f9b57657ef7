#include "link/controller_link.hpp"

#include <cstdio>
#include <cstring>
#include <string>

namespace korvel {

uint8_t FrameChecksum(const uint8_t* bytes, int count) {
  unsigned sum = 0;
  for (int i = 0; i < count; ++i) sum += bytes[i];
  return static_cast<uint8_t>(sum & 0xFF);
}

bool ControllerLink::SetPortName(const char* name) {
  const size_t length = std::strlen(name);
  if (length >= sizeof state.port_name) return false;
  std::memcpy(state.port_name, name, length + 1);
  return true;
}

void ControllerLink::OpenIfClosed() {
  if (state.port_open) return;
  // A port that could not be opened yields no replies, and the identity failure rule closes and
  // retries it; the failure and the system's message are kept for callers that report them.
  const OpenResult opened = port_.Open(state.port_name);
  state.open_failed = opened.status != OpenStatus::kOpen;
  state.open_busy = opened.status == OpenStatus::kBusy;
  std::snprintf(state.open_error, sizeof state.open_error, "%s", state.open_failed ? opened.reason.c_str() : "");
  state.port_open = true;
}

void ControllerLink::ClosePort() {
  if (!state.port_open) return;
  port_.Close();
  state.port_open = false;
}

bool ControllerLink::StandsAlone(int received, int length, bool passes) {
  const bool watching = state.replies_to_watch > 0;
  if (received < length || !passes) {
    state.replies_to_watch = kRepliesWatchedAfterGiveUp;
    // Outside the watch a short reply is judged by its tests alone; under it, its bytes may be a
    // late reply's.
    return !watching;
  }
  if (!watching) return true;
  --state.replies_to_watch;
  if (!port_.InputFollowsWithin(kReadIntervalTimeoutMs)) return true;
  state.replies_to_watch = kRepliesWatchedAfterGiveUp;
  return false;
}

ExchangeOutcome ControllerLink::Exchange(uint8_t request, uint8_t* reply, int length) {
  OpenIfClosed();
  port_.PurgeOutput();
  // Every request starts on an empty input: a late reply to an earlier request must not become the
  // head of this one.
  port_.PurgeInput();
  const uint8_t frame[4] = {kLeadByte, request, request,
                            static_cast<uint8_t>(kLeadByte + 2 * request)};
  port_.Write(frame, 4);
  std::memset(reply, 0, static_cast<size_t>(length));
  int received = port_.Read(reply, length);
  if (received < 0) received = 0;
  // A short reply is still tested: the zero-filled tail normally fails the checksum.
  if (received < length) port_.PurgeInput();
  const bool lead = reply[0] == kLeadByte;
  const bool sums = FrameChecksum(reply, length - 1) == reply[length - 1];
  // Late bytes ahead of the real reply can pass both tests; the rest of the real reply then
  // follows at once. Such a reply is as corrupt as one with a wrong checksum.
  const bool alone = StandsAlone(received, length, lead && sums);
  if (!lead) return state.open_failed ? ExchangeOutcome::kPortNotOpen : ExchangeOutcome::kNoReply;
  if (!sums || !alone) return ExchangeOutcome::kBadChecksum;
  return ExchangeOutcome::kGood;
}

ExchangeOutcome ControllerLink::ReadIdentity() {
  uint8_t reply[4];
  const ExchangeOutcome outcome = Exchange(1, reply, 4);
  switch (outcome) {
    case ExchangeOutcome::kNoReply:
    case ExchangeOutcome::kPortNotOpen:
      state.failure_count += 1;
      if (state.failure_count >= 3) {
        port_.PurgeInput();
        port_.PurgeOutput();
        port_.Close();
        state.port_open = false;
        state.not_connected = true;
        // Stays at 2, so every further silent poll repeats the close and the reopen.
        state.failure_count -= 1;
        state.poll_period = kLostPollPeriodMs;
        std::memset(LiveDataRecord, 0, sizeof LiveDataRecord);
        std::memset(ConfigRecord, 0, sizeof ConfigRecord);
        std::memset(OptionsRecord, 0, sizeof OptionsRecord);
      }
      break;
    case ExchangeOutcome::kBadChecksum:
      port_.PurgeInput();
      port_.Close();
      state.port_open = false;
      break;
    case ExchangeOutcome::kGood:
      state.not_connected = false;
      state.failure_count = 0;
      state.poll_period = kConnectedPollPeriodMs;
      std::memcpy(IdentityRecord, reply, sizeof IdentityRecord);
      break;
  }
  return outcome;
}

ExchangeOutcome ControllerLink::PollRecord(uint8_t request, uint8_t* record, int length) {
  uint8_t reply[16];
  const ExchangeOutcome outcome = Exchange(request, reply, length);
  switch (outcome) {
    case ExchangeOutcome::kNoReply:
    case ExchangeOutcome::kPortNotOpen:
      break;
    case ExchangeOutcome::kBadChecksum:
      port_.PurgeInput();
      port_.Close();
      state.port_open = false;
      break;
    case ExchangeOutcome::kGood:
      std::memcpy(record, reply, static_cast<size_t>(length));
      break;
  }
  return outcome;
}

ExchangeOutcome ControllerLink::ReadLiveData() { return PollRecord(2, LiveDataRecord, sizeof LiveDataRecord); }
ExchangeOutcome ControllerLink::ReadConfig() { return PollRecord(3, ConfigRecord, sizeof ConfigRecord); }
ExchangeOutcome ControllerLink::ReadOptions() { return PollRecord(4, OptionsRecord, sizeof OptionsRecord); }

uint32_t ControllerLink::GetControllerVariant() {
  state.variant = static_cast<uint32_t>(IdentityRecord[2] >> 5) + 1;
  state.firmware_version = IdentityRecord[2] & 0x1F;
  return state.variant;
}

int ControllerLink::WriteParameter(uint8_t address, uint8_t value) {
  if (GetControllerVariant() != 2) return kWriteNotSent;
  uint8_t frame[4] = {kLeadByte, address, value, 0};
  frame[3] = FrameChecksum(frame, 3);
  OpenIfClosed();
  port_.PurgeInput();
  port_.PurgeOutput();
  port_.Write(frame, 4);
  if (state.WriteDelay != 0) port_.Sleep(state.WriteDelay);
  uint8_t acknowledgement[3];
  std::memcpy(acknowledgement, WriteAcknowledgement, sizeof acknowledgement);
  int received = port_.Read(acknowledgement, 3);
  // A port error counts as no acknowledgement; kWriteNotSent stays reserved for "not sent".
  if (received < 0) received = 0;
  if (received > kWriteAcknowledged) received = kWriteAcknowledged;
  // Under the watch for late replies, bytes that were not a whole acknowledgement standing alone
  // may be a late reply's: the record keeps what it held, and three bytes with more behind them
  // count as no acknowledgement of this write.
  if (StandsAlone(received, 3, true)) {
    std::memcpy(WriteAcknowledgement, acknowledgement, sizeof acknowledgement);
  } else if (received == kWriteAcknowledged) {
    received = 0;
  }
  port_.PurgeInput();
  return received;
}

}  // namespace korvel
