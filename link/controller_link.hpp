#pragma once
#include <cstdint>

#include "link/serial_port.hpp"

namespace korvel {

class PollObserver;

constexpr uint8_t kLeadByte = 0x65;
constexpr uint32_t kConnectedPollPeriodMs = 50;
constexpr uint32_t kLostPollPeriodMs = 500;

// Low 8 bits of the sum of the first `count` bytes.
uint8_t FrameChecksum(const uint8_t* bytes, int count);

// Process-wide state of the link, shared by every page.
struct LinkState {
  // "COM1:" .. "COM4:" from the menu and the settings file; on POSIX a device path also works.
  char port_name[64] = "COM1:";
  bool port_open = false;
  bool not_connected = true;
  int32_t failure_count = 0;
  uint32_t poll_period = kConnectedPollPeriodMs;
  uint32_t WriteDelay = 0;
  // Refreshed by GetControllerVariant from IdentityRecord byte 2.
  uint32_t variant = 1;
  uint32_t firmware_version = 0;
  // The last open attempt failed; the system's message for it ("Permission denied"). Kept until the
  // next open attempt, so a caller can tell a port it could not open from a silent controller.
  bool open_failed = false;
  bool open_busy = false;  // the line was held by another program
  char open_error[160] = {};
  // Replies still to be watched for a late reply running into them (see kRepliesWatchedAfterGiveUp).
  uint32_t replies_to_watch = 0;
};

// After an exchange that did not end with one whole good reply, the controller may still send
// that reply late, into a later exchange. The next this many replies are therefore each followed
// by a watch of the line for the byte gap that ends a read (50 ms): a byte in that time means the
// reply read was not one whole reply of its own. Every watched exchange lasts at least 50 ms, so
// the watch covers at least the 0.8 s after the last exchange that went wrong: longer than three of
// the longest read time-outs (3 x 260 ms), the latest a controller's late reply has been seen to
// come. Kept that short because each watched exchange costs the poll its 50 ms: the Oscilloscope
// sweeps slower for about a second after the controller comes back.
constexpr uint32_t kRepliesWatchedAfterGiveUp = 16;

// The two results of WriteParameter that callers act on: nothing was sent (the controller variant
// is not 2), and the whole three-byte acknowledgement came back.
constexpr int kWriteNotSent = -1;
constexpr int kWriteAcknowledged = 3;

// What one polling exchange brought. A port that could not be opened is reported as such; to the
// connection state it counts as a controller that did not answer.
enum class ExchangeOutcome { kGood, kNoReply, kBadChecksum, kPortNotOpen };

// The only code that talks to the controller: the four polls, the single-parameter write and the
// connection state. The reply records hold each good reply exactly as received (lead byte at 0,
// checksum last); pages read them directly after their own polls.
class ControllerLink {
 public:
  explicit ControllerLink(SerialPort& port) : port_(port) {}

  // Each poll stores a good reply in its record and says what the exchange brought; pages that only
  // read the records may ignore the result.
  ExchangeOutcome ReadIdentity();
  ExchangeOutcome ReadLiveData();
  ExchangeOutcome ReadConfig();
  ExchangeOutcome ReadOptions();
  // Number of acknowledgement bytes received (0..3, kWriteAcknowledged when all came), or
  // kWriteNotSent when nothing was sent because the controller variant is not 2.
  int WriteParameter(uint8_t address, uint8_t value);
  uint32_t GetControllerVariant();
  void ClosePort();
  // Selects the port that the next exchange opens (the caller closes the current one first).
  // A name that does not fit the state is refused (false) and the current name is kept, so a long
  // device path is never cut down to a different device.
  bool SetPortName(const char* name);

  bool Connected() const { return !state.not_connected; }

  LinkState state;
  // Told after each poll of the pages' ticks that asks for live data (link/poll.hpp); may be null.
  PollObserver* poll_observer = nullptr;
  uint8_t IdentityRecord[4] = {};
  uint8_t LiveDataRecord[11] = {};
  uint8_t ConfigRecord[15] = {};
  uint8_t OptionsRecord[16] = {};
  uint8_t WriteAcknowledgement[3] = {};

 private:
  void OpenIfClosed();
  // After a read of `length` bytes of which `received` came, `passes` telling whether they passed
  // the reply's tests: whether they may be taken as one reply of their own. Arms the watch for late
  // replies when the exchange went wrong; while it is armed, only a whole reply with no byte right
  // behind it stands alone.
  bool StandsAlone(int received, int length, bool passes);
  // Sends request `request`, reads `length` bytes into a zero-filled buffer and tests the lead byte
  // and the checksum; the caller reacts to the outcome.
  ExchangeOutcome Exchange(uint8_t request, uint8_t* reply, int length);
  ExchangeOutcome PollRecord(uint8_t request, uint8_t* record, int length);

  SerialPort& port_;
};

}  // namespace korvel
