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
  state.open_failed = !port_.Open(state.port_name);
  const std::string error = state.open_failed ? port_.OpenError() : std::string();
  std::snprintf(state.open_error, sizeof state.open_error, "%s", error.c_str());
  state.port_open = true;
}

void ControllerLink::ClosePort() {
  if (!state.port_open) return;
  port_.Close();
  state.port_open = false;
}

ExchangeOutcome ControllerLink::Exchange(uint8_t request, uint8_t* reply, int length) {
  OpenIfClosed();
  port_.PurgeOutput();
  if (request == 1) port_.PurgeInput();
  const uint8_t frame[4] = {kLeadByte, request, request,
                            static_cast<uint8_t>(kLeadByte + 2 * request)};
  port_.Write(frame, 4);
  std::memset(reply, 0, static_cast<size_t>(length));
  int received = port_.Read(reply, length);
  if (received < 0) received = 0;
  // A short reply is still tested: the zero-filled tail normally fails the checksum.
  if (received < length) port_.PurgeInput();
  if (reply[0] != kLeadByte) return state.open_failed ? ExchangeOutcome::kPortNotOpen : ExchangeOutcome::kNoReply;
  if (FrameChecksum(reply, length - 1) != reply[length - 1]) return ExchangeOutcome::kBadChecksum;
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
  if (GetControllerVariant() != 2) return -1;
  uint8_t frame[4] = {kLeadByte, address, value, 0};
  frame[3] = FrameChecksum(frame, 3);
  OpenIfClosed();
  port_.PurgeInput();
  port_.PurgeOutput();
  port_.Write(frame, 4);
  if (state.WriteDelay != 0) port_.Sleep(state.WriteDelay);
  int received = port_.Read(WriteAcknowledgement, 3);
  port_.PurgeInput();
  // A port error counts as no acknowledgement; -1 stays reserved for "not sent".
  if (received < 0) received = 0;
  if (received > 3) received = 3;
  return received;
}

}  // namespace korvel
