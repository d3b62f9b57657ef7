#pragma once
#include <array>
#include <cstdint>

#include "sim/engine.hpp"

namespace korvel::sim {

// Reply lengths of the controller's protocol.
constexpr int kFrameLength = 4;
constexpr int kIdentityLength = 4;
constexpr int kLiveDataLength = 11;
constexpr int kConfigLength = 15;
constexpr int kOptionsLength = 16;
constexpr int kAcknowledgementLength = 3;

constexpr int kDefaultVariant = 2;
constexpr int kDefaultFirmwareVersion = 5;
// Identity byte 1: not interpreted by the tool; our controller sends its hardware revision.
constexpr uint8_t kHardwareRevision = 0x12;

// Parameter addresses the controller stores (30 is the command address, not a parameter).
constexpr int kFirstParameterAddress = 5;
constexpr int kLastParameterAddress = 33;
constexpr bool IsParameterAddress(int address) {
  return address >= kFirstParameterAddress && address <= kLastParameterAddress && address != 30;
}

// The 28 parameter bytes the controller leaves the factory with, by address (index 0..4 and 30
// unused).
extern const std::array<uint8_t, 34> kFactorySettings;

// Faults of the line or of the controller, each switchable while the simulator runs.
struct Faults {
  bool silence = false;                // no answer to any frame
  double bad_checksum_fraction = 0.0;  // share (0..1) of polled replies sent with a wrong checksum
  int short_reply_missing = 0;         // polled replies lose this many bytes at their end
  int noise_bytes = 0;                 // random bytes sent ahead of every reply
  bool other_variant = false;          // the identity reply reports variant 3
  bool no_acknowledgement = false;     // writes are taken but not acknowledged
  bool short_acknowledgement = false;  // acknowledgements stop after two bytes
  bool slow_replies = false;           // every reply starts only after the reader's time-out
  // Share (0..1) of replies of every kind sent one to three of the reader's time-outs late, so that
  // they land between later exchanges or in the middle of a later reply.
  double late_reply_fraction = 0.0;
  // A late reply that runs straight ahead of the next reply is bent so that the bytes a reader of
  // that next reply takes (the late bytes, then the head of the real reply) still sum right.
  bool late_reply_sums_right = false;
  bool unplugged = false;              // the device is gone; set through Unplug() / Replug()

  bool Any() const;
};

// Emulation of the 9600-baud line: every byte takes about 1.04 ms each way, and the controller
// waits `turnaround_us` between the last request byte and its first reply byte.
struct WireTiming {
  bool enabled = false;
  uint32_t baud = 9600;
  uint32_t turnaround_us = 0;
  // A USB serial adapter's latency timer: received bytes are handed on in batches, each this long
  // after the first byte of the batch came in (0: every byte at once).
  uint32_t adapter_latency_us = 0;

  // Time on the wire of `count` bytes (one start bit, eight data bits, one stop bit); 0 when the
  // emulation is off.
  uint64_t BytesUs(int count) const;
};

// One answer of the controller: the bytes it sends and how long after the end of the request it
// starts sending them (turnaround, processing and fault delays; wire time comes on top).
struct Reply {
  static constexpr int kCapacity = 64;
  std::array<uint8_t, kCapacity> bytes{};
  int count = 0;
  uint64_t delay_us = 0;
  bool late = false;  // sent long after the reader gave up on it (the late-reply fault)
};

// Bends the bytes of a late reply that runs straight ahead of `next`, so that a reader expecting
// `next` takes the late bytes and the head of `next` as a reply whose checksum is right.
void MakeStraySumRight(Reply& stray, const Reply& next);

// Learning cycle started by command 50.
enum class LearningState { kIdle, kRunning, kSucceeded, kFailed };

// The controller: its 28 parameter bytes, its identity, its view of the engine and its answers to
// every frame of the protocol. A default-constructed model leaves the factory: factory settings,
// variant 2, firmware 5, engine cold at ambient temperature, seed 1.
//
// Time: the model runs on the clock of whoever feeds it frames. The first AdvanceTo()/Answer()
// is the moment the controller powers up; from then on the engine moves in fixed 10 ms steps, so
// the same seed and the same times give the same bytes.
class ControllerModel {
 public:
  ControllerModel();
  explicit ControllerModel(const EngineSettings& settings);

  // Parameter bytes by write address (5..29, 31..33; 18 is AttInit). Other addresses read 0 and
  // ignore writes.
  uint8_t Parameter(int address) const;
  void SetParameter(int address, uint8_t value);
  void RestoreFactorySettings();

  void SetVariant(int variant);  // 1..8
  void SetFirmwareVersion(int version);  // 0..31
  int Variant() const { return variant_; }
  int FirmwareVersion() const { return firmware_version_; }

  // Pins live-data byte `byte_index` (1..9) to `value` in every reply until cleared.
  void OverrideLive(int byte_index, uint8_t value);
  void ClearLiveOverrides();

  // Moves the controller and the engine to `now_us` on the caller's clock (earlier times are
  // ignored).
  void AdvanceTo(uint64_t now_us);
  // Runs the engine and the controller ahead by `ms` without the caller's clock moving (a warm
  // engine without waiting for it).
  void FastForward(uint64_t ms);
  // Brings the engine to operating temperature at once.
  void MakeEngineWarm() { engine_.MakeWarm(); }
  // Carries out a command byte as a write to the command address does: 50 starts a learning
  // cycle, 51 restores the factory settings; other values do nothing. Returns the extra time the
  // controller is busy before it can acknowledge.
  uint64_t RunCommand(uint8_t command);

  // The answer to one received 4-byte frame at `now_us`. count 0: the controller stays silent
  // (bad checksum, unknown request, or a fault).
  Reply Answer(const std::array<uint8_t, kFrameLength>& frame, uint64_t now_us);

  // The replies as the controller would build them now, without faults.
  std::array<uint8_t, kIdentityLength> IdentityReply() const;
  std::array<uint8_t, kLiveDataLength> LiveDataReply() const;
  std::array<uint8_t, kConfigLength> ConfigReply() const;
  std::array<uint8_t, kOptionsLength> OptionsReply() const;

  // The device disappears (and the handle open on it dies) and comes back.
  void Unplug();
  void Replug();
  uint32_t PlugGeneration() const { return plug_generation_; }

  // Controller state derived from the engine, for tests and the simulator's status line.
  // Running on LPG now (switched over, and no LPG-off condition).
  bool OnLpg() const { return switched_over_ && !lpg_off_active_; }
  bool SwitchedOver() const { return switched_over_; }
  bool Ready() const { return ready_; }
  bool LpgOffActive() const { return lpg_off_active_; }
  bool CutOffActive() const { return cut_off_active_; }
  LearningState Learning() const { return learning_; }
  const Engine& engine() const { return engine_; }
  // Milliseconds since power-up on the model's own time (fast-forward included).
  uint64_t UptimeMs() const { return uptime_us_ / 1000; }

  Faults faults;
  WireTiming wire;

 private:
  void Step();  // one 10 ms step of the engine and of the controller logic
  void UpdateAtt(double dt_s);
  void StartLearning();
  uint8_t ComputeLiveByte(int index) const;
  void FinishReply(Reply& reply, int length, bool polled);

  std::array<uint8_t, 34> parameters_{};
  int variant_ = kDefaultVariant;
  int firmware_version_ = kDefaultFirmwareVersion;
  std::array<bool, kLiveDataLength> live_pinned_{};
  std::array<uint8_t, kLiveDataLength> live_pins_{};

  Engine engine_;
  Rng fault_rng_;  // faults only, so that switching one does not change the engine's course
  Rng logic_rng_;  // the controller's own wandering (Att centre)
  bool powered_ = false;
  uint64_t clock_us_ = 0;      // last time seen on the caller's clock
  uint64_t pending_us_ = 0;    // time not yet run through whole steps
  uint64_t uptime_us_ = 0;

  bool ready_ = false;
  bool switched_over_ = false;
  bool lpg_off_active_ = false;
  bool cut_off_active_ = false;
  uint64_t switch_condition_us_ = 0;  // how long the switch-over condition has held
  double att_offset_ = 0.0;           // Att - AttInit
  double att_drift_ = 0.0;            // slow wandering of the regulation's centre
  LearningState learning_ = LearningState::kIdle;
  uint64_t learning_left_us_ = 0;
  double tank_level_ = 0.72;          // LPG tank, 0..1
  double throttle_volts_sampled_ = 0.5;  // throttle voltage 100 ms ago, for the Att jump
  uint64_t sample_left_us_ = 0;
  uint32_t plug_generation_ = 0;
};

}  // namespace korvel::sim
