#include "sim/controller_model.hpp"

#include <algorithm>
#include <cmath>

#include "link/controller_link.hpp"
#include "link/conversions.hpp"
#include "link/live_data.hpp"
#include "link/parameter_map.hpp"

namespace korvel::sim {

namespace {

constexpr uint64_t kStepUs = 10000;
constexpr double kStepS = 0.01;
constexpr uint64_t kSelfTestUs = 2000000;        // after power-up, before the state display
constexpr uint64_t kSwitchOverHoldUs = 500000;   // LPG-on condition must hold this long
constexpr uint64_t kLearningUs = 6000000;
constexpr uint64_t kFactoryResetBusyUs = 100000; // writing the factory set takes a while
constexpr double kLpgOffHysteresisRpm = 200.0;
constexpr double kIdleLimitRpm = 1200.0;         // below: the idle Att limits apply
constexpr uint16_t kNoSpeed = 0xFFFF;

// Addresses of the parameters the controller's own logic reads.
constexpr int kOptionsAddress = 5;
constexpr int kLambdaTypeAddress = 6;
constexpr int kLambdaPointAddress = 7;
constexpr int kLpgOnTempAddress = 15;
constexpr int kAttMaxAddress = 16;
constexpr int kAttMinAddress = 17;
constexpr int kAttInitAddress = 18;
constexpr int kTpsJumpAddress = 19;
constexpr int kAttJumpAddress = 20;
constexpr int kLpgOnRpmAddress = 21;
constexpr int kCutOffRpmAddress = 24;
constexpr int kLpgOffRpmAddress = 27;
constexpr int kAttMaxIdleAddress = 31;
constexpr int kAttMinIdleAddress = 32;

constexpr uint8_t kOptionAttJump = 0x08;
constexpr uint8_t kOptionCutOff = 0x20;
constexpr uint8_t kOptionLpgOff = 0x40;

constexpr std::array<uint8_t, 34> MakeFactorySettings() {
  std::array<uint8_t, 34> p{};
  p[5] = 0x6A;    // Options: LPG-on temperature, Att jumps, cut-off and LPG-off shown; AttInit shown
  p[6] = 0x00;    // LambdaType: 0-1 V probe, second input shown in volts (throttle sensor)
  p[7] = 22;      // LambdaPoint: 0.44 V
  p[8] = 6;       // LambdaDelay: 30 s
  p[9] = 0x88;    // EmulType: emulation kind 0, gas-opening time shown, extended status display
  p[10] = 40;     // EmulBJ_TimeHi: 1.000
  p[11] = 20;     // EmulBJ_TimeLo: 0.500
  p[12] = 0xA9;   // EmulDO_TimeHi: both corrections 0
  p[13] = 0x75;   // EmulDO_TimeLo: both corrections 0
  p[14] = 10;     // InjectDelay: 1.0
  p[15] = 171;    // LPGOnTemp: 40 degrees
  p[16] = 40;     // AttMax: +40
  p[17] = 40;     // AttMin: -40
  p[18] = 128;    // AttInit
  p[19] = 50;     // TPSJump: 1.0 V
  p[20] = 20;     // AttJump
  p[21] = 0x79;   // LPGOnRPM: 2300 rpm, period 6521 = 0x1979
  p[22] = 0x19;
  p[23] = 4;      // IgnitionType
  p[24] = 0x10;   // CutOffRPM: 1500 rpm, period 10000 = 0x2710
  p[25] = 0x27;
  p[26] = 10;     // CutOffSteps: 10 %
  p[27] = 0xA7;   // LPGOffRPM: 5500 rpm, period 2727 = 0x0AA7
  p[28] = 0x0A;
  p[29] = 4;      // TPSInert: 0.10 V
  p[31] = 20;     // AttMax_BJ: +20
  p[32] = 20;     // AttMin_BJ: -20
  p[33] = 15;     // Otwarcie_GAZU: 1.5
  return p;
}

uint8_t Sum(const uint8_t* bytes, int count) { return FrameChecksum(bytes, count); }

uint8_t RawFromVolts(double volts) {
  const long raw = std::lround(volts / 0.0196);
  return static_cast<uint8_t>(std::clamp(raw, 0L, 255L));
}

// Raw temperature byte of a temperature, on the same two-segment scale the tool reads back.
uint8_t RawFromDegrees(double t) {
  double raw;
  if (t <= 0.0) {
    raw = 68.0;
  } else if (t <= 51.0) {
    raw = t * 2.582 + 68.0;
  } else {
    raw = (t + 160.0) / 1.057;
  }
  return static_cast<uint8_t>(std::clamp(std::lround(raw), 68L, 255L));
}

// Probe voltage for a mixture 0 (lean) .. 1 (rich), by the configured probe range: offset and
// slope (a negative slope for the inverted 5-0 V probes).
struct ProbeScale {
  double offset;
  double slope;
};
ProbeScale ScaleOfRange(uint8_t range) {
  switch (range) {
    case 0:
      return {0.05, 0.85};  // 0-1 V
    case 5:
      return {0.80, 0.80};  // 0.8-1.6 V
    case 3:
    case 4:
      return {4.70, -4.40};  // 5-0 V
    default:
      return {0.30, 4.40};  // 0-5 V
  }
}

}  // namespace

const std::array<uint8_t, 34> kFactorySettings = MakeFactorySettings();

bool Faults::Any() const {
  return silence || bad_checksum_fraction > 0.0 || short_reply_missing > 0 || noise_bytes > 0 ||
         other_variant || no_acknowledgement || short_acknowledgement || slow_replies || unplugged ||
         late_reply_fraction > 0.0;
}

uint64_t WireTiming::BytesUs(int count) const {
  if (!enabled || baud == 0 || count <= 0) return 0;
  return static_cast<uint64_t>(count) * 10u * 1000000u / baud;
}

ControllerModel::ControllerModel() : ControllerModel(EngineSettings{}) {}

ControllerModel::ControllerModel(const EngineSettings& settings)
    : parameters_(kFactorySettings),
      engine_(settings),
      fault_rng_(settings.seed ^ 0x5DEECE66Dull),
      logic_rng_(settings.seed ^ 0xA5A5A5A5ull) {}

uint8_t ControllerModel::Parameter(int address) const {
  return IsParameterAddress(address) ? parameters_[static_cast<size_t>(address)] : 0;
}

void ControllerModel::SetParameter(int address, uint8_t value) {
  if (IsParameterAddress(address)) parameters_[static_cast<size_t>(address)] = value;
}

void ControllerModel::RestoreFactorySettings() {
  parameters_ = kFactorySettings;
  learning_ = LearningState::kIdle;
  learning_left_us_ = 0;
  att_offset_ = 0.0;
}

void ControllerModel::SetVariant(int variant) { variant_ = std::clamp(variant, 1, 8); }

void ControllerModel::SetFirmwareVersion(int version) {
  firmware_version_ = std::clamp(version, 0, 31);
}

void ControllerModel::OverrideLive(int byte_index, uint8_t value) {
  if (byte_index < 1 || byte_index > kLiveDataLength - 2) return;
  live_pinned_[static_cast<size_t>(byte_index)] = true;
  live_pins_[static_cast<size_t>(byte_index)] = value;
}

void ControllerModel::ClearLiveOverrides() { live_pinned_ = {}; }

void ControllerModel::Unplug() {
  faults.unplugged = true;
  ++plug_generation_;
}

void ControllerModel::Replug() {
  faults.unplugged = false;
  ++plug_generation_;
}

void ControllerModel::AdvanceTo(uint64_t now_us) {
  if (!powered_) {
    powered_ = true;
    clock_us_ = now_us;
    return;
  }
  if (now_us <= clock_us_) return;
  pending_us_ += now_us - clock_us_;
  clock_us_ = now_us;
  while (pending_us_ >= kStepUs) {
    pending_us_ -= kStepUs;
    Step();
  }
}

void ControllerModel::FastForward(uint64_t ms) {
  for (uint64_t steps = ms * 1000 / kStepUs; steps > 0; --steps) Step();
}

void ControllerModel::Step() {
  engine_.Step(kStepS);
  uptime_us_ += kStepUs;
  ready_ = uptime_us_ >= kSelfTestUs;

  const bool running = engine_.running();
  const double rpm = engine_.rpm();
  const uint8_t options = parameters_[kOptionsAddress];
  const auto speed_of = [this](int lo_address) {
    return static_cast<double>(EngineSpeedFromPeriod(parameters_[static_cast<size_t>(lo_address + 1)],
                                                     parameters_[static_cast<size_t>(lo_address)]));
  };

  // LPG-off above its speed, back below it with some hysteresis.
  const double lpg_off_rpm = speed_of(kLpgOffRpmAddress);
  if ((options & kOptionLpgOff) != 0 && running && lpg_off_rpm > 0.0 && rpm > lpg_off_rpm) {
    lpg_off_active_ = true;
  } else if (lpg_off_active_ &&
             ((options & kOptionLpgOff) == 0 || !running || rpm < lpg_off_rpm - kLpgOffHysteresisRpm)) {
    lpg_off_active_ = false;
  }

  // Switch-over to LPG: warm enough and fast enough for half a second; back to petrol only when
  // the engine stops.
  const bool warm = ComputeLiveByte(kTempRaw) >= parameters_[kLpgOnTempAddress];
  if (!running) {
    switched_over_ = false;
    switch_condition_us_ = 0;
  } else if (!switched_over_) {
    if (ready_ && warm && !lpg_off_active_ && rpm >= speed_of(kLpgOnRpmAddress)) {
      switch_condition_us_ += kStepUs;
      if (switch_condition_us_ >= kSwitchOverHoldUs) switched_over_ = true;
    } else {
      switch_condition_us_ = 0;
    }
  }

  // Cut-off on overrun above its speed.
  cut_off_active_ = (options & kOptionCutOff) != 0 && running && engine_.overrun() &&
                    rpm > speed_of(kCutOffRpmAddress);

  if (learning_ == LearningState::kRunning) {
    if (!OnLpg()) {
      learning_ = LearningState::kFailed;
    } else if (learning_left_us_ <= kStepUs) {
      learning_left_us_ = 0;
      learning_ = LearningState::kSucceeded;
    } else {
      learning_left_us_ -= kStepUs;
    }
  }

  if (OnLpg()) {
    tank_level_ -= kStepS * (0.00008 + rpm * 0.00000004);
    if (tank_level_ < 0.02) tank_level_ = 1.0;  // the fitter's test car gets refuelled
  }
  UpdateAtt(kStepS);
}

void ControllerModel::UpdateAtt(double dt_s) {
  const bool idle = !engine_.running() || engine_.rpm() < kIdleLimitRpm;
  const double upper = parameters_[idle ? kAttMaxIdleAddress : kAttMaxAddress];
  const double lower = parameters_[idle ? kAttMinIdleAddress : kAttMinAddress];

  if (OnLpg() && engine_.probe_warm()) {
    // Closed loop on LPG: the correction integrates the probe's rich/lean swings around a centre
    // that wanders slowly.
    att_drift_ += (logic_rng_.Range(-12.0, 12.0) - att_drift_) * dt_s * 0.3;
    if (engine_.closed_loop()) att_offset_ += (0.5 - engine_.mixture()) * 16.0 * dt_s;
    att_offset_ += (att_drift_ - att_offset_) * dt_s * 0.4;
    // A quick throttle opening adds the Att jump once.
    sample_left_us_ = sample_left_us_ > kStepUs ? sample_left_us_ - kStepUs : 0;
    if (sample_left_us_ == 0) {
      const double volts = engine_.ThrottleVolts();
      const double jump_volts = parameters_[kTpsJumpAddress] / 50.0;
      if ((parameters_[kOptionsAddress] & kOptionAttJump) != 0 && jump_volts > 0.0 &&
          volts - throttle_volts_sampled_ > jump_volts) {
        att_offset_ += parameters_[kAttJumpAddress];
      }
      throttle_volts_sampled_ = volts;
      sample_left_us_ = 100000;
    }
  } else {
    att_offset_ -= att_offset_ * std::min(1.0, dt_s * 2.0);
    throttle_volts_sampled_ = engine_.ThrottleVolts();
  }
  att_offset_ = std::clamp(att_offset_, -lower, upper);
}

uint64_t ControllerModel::RunCommand(uint8_t command) {
  if (command == kLearnCommand) {
    StartLearning();
  } else if (command == kFactoryResetCommand) {
    RestoreFactorySettings();
    return kFactoryResetBusyUs;
  }
  // Other command values are acknowledged and ignored.
  return 0;
}

void ControllerModel::StartLearning() {
  if (OnLpg()) {
    learning_ = LearningState::kRunning;
    learning_left_us_ = kLearningUs;
  } else {
    learning_ = LearningState::kFailed;  // learning needs the engine on LPG
  }
}

uint8_t ControllerModel::ComputeLiveByte(int index) const {
  const uint8_t lambda_type = parameters_[kLambdaTypeAddress];
  const bool running = engine_.running();
  switch (index) {
    case kAuxInput:
      return RawFromVolts(engine_.ThrottleVolts());
    case kLambdaProbe: {
      const ProbeScale scale = ScaleOfRange(LambdaRange(lambda_type));
      return RawFromVolts(scale.offset + scale.slope * engine_.mixture());
    }
    case kAtt: {
      const long att = parameters_[kAttInitAddress] + std::lround(att_offset_);
      return static_cast<uint8_t>(std::clamp(att, 0L, 255L));
    }
    case kAttInit:
      return parameters_[kAttInitAddress];
    case kPeriodLo:
    case kPeriodHi: {
      uint16_t period = kNoSpeed;
      if (running) period = static_cast<uint16_t>(std::min(65535.0, 15000000.0 / engine_.rpm()));
      return index == kPeriodLo ? LowByte(period) : HighByte(period);
    }
    case kIndicatorFlags: {
      uint8_t flags = 2;  // yellow while the probe says nothing useful
      if (engine_.probe_warm() && running) {
        const ProbeScale scale = ScaleOfRange(LambdaRange(lambda_type));
        const double threshold = (parameters_[kLambdaPointAddress] * 0.02 - scale.offset) / scale.slope;
        if (engine_.mixture() > threshold + 0.12) {
          flags = 4;  // rich: red
        } else if (engine_.mixture() < threshold - 0.12) {
          flags = 1;  // lean: green
        }
      }
      if (ready_) flags |= 0x08;
      const uint8_t mode = LambdaMode(lambda_type);
      if (mode == 6 || mode == 7) {
        // The second input is a switch: bit 4 set means OFF.
        if (engine_.ThrottleVolts() < 1.0) flags |= 0x10;
      } else {
        // Tank level on the four-segment indicator.
        const int segment = std::clamp(static_cast<int>(tank_level_ * 4.0) + 1, 1, 4);
        flags |= static_cast<uint8_t>(0x10 << (segment - 1));
      }
      return flags;
    }
    case kStateFlags: {
      uint8_t flags = 0;
      if (OnLpg()) flags |= 0x01 | 0x40;
      if (learning_ == LearningState::kRunning) flags |= 0x02;
      if (lpg_off_active_) flags |= 0x04;
      if (cut_off_active_) flags |= 0x08;
      // Outcome of the last learning cycle: bit 4 alone when it learned, bits 4 and 5 while a
      // failure stands (the tool keeps showing that until the bits change).
      if (learning_ == LearningState::kSucceeded) flags |= 0x10;
      if (learning_ == LearningState::kFailed) flags |= 0x10 | 0x20;
      if (ComputeLiveByte(kTempRaw) >= parameters_[kLpgOnTempAddress]) flags |= 0x80;
      return flags;
    }
    case kTempRaw:
      return RawFromDegrees(engine_.temperature_c());
    default:
      return 0;
  }
}

std::array<uint8_t, kIdentityLength> ControllerModel::IdentityReply() const {
  const int variant = faults.other_variant ? 3 : variant_;
  std::array<uint8_t, kIdentityLength> r{kLeadByte, kHardwareRevision,
                                         static_cast<uint8_t>(((variant - 1) << 5) | firmware_version_), 0};
  r[3] = Sum(r.data(), 3);
  return r;
}

std::array<uint8_t, kLiveDataLength> ControllerModel::LiveDataReply() const {
  std::array<uint8_t, kLiveDataLength> r{};
  r[0] = kLeadByte;
  for (int i = 1; i < kLiveDataLength - 1; ++i) {
    const auto k = static_cast<size_t>(i);
    r[k] = live_pinned_[k] ? live_pins_[k] : ComputeLiveByte(i);
  }
  r[kLiveDataLength - 1] = Sum(r.data(), kLiveDataLength - 1);
  return r;
}

std::array<uint8_t, kConfigLength> ControllerModel::ConfigReply() const {
  std::array<uint8_t, kConfigLength> r{};
  r[0] = kLeadByte;
  for (const ParameterInfo& p : ParameterMap) {
    if (p.record == RecordKind::kConfig) r[static_cast<size_t>(p.byte)] = parameters_[p.address];
  }
  r[kConfigLength - 1] = Sum(r.data(), kConfigLength - 1);
  return r;
}

std::array<uint8_t, kOptionsLength> ControllerModel::OptionsReply() const {
  std::array<uint8_t, kOptionsLength> r{};
  r[0] = kLeadByte;
  for (const ParameterInfo& p : ParameterMap) {
    if (p.record == RecordKind::kOptions) r[static_cast<size_t>(p.byte)] = parameters_[p.address];
  }
  r[kOptionsLength - 1] = Sum(r.data(), kOptionsLength - 1);
  return r;
}

void ControllerModel::FinishReply(Reply& reply, int length, bool polled) {
  if (polled) {
    if (faults.bad_checksum_fraction > 0.0 && fault_rng_.Chance(faults.bad_checksum_fraction)) {
      reply.bytes[static_cast<size_t>(length - 1)] ^= 0x5A;
    }
    reply.count = std::max(0, length - std::max(0, faults.short_reply_missing));
  } else {
    reply.count = faults.short_acknowledgement ? 2 : length;
  }
  // Noise on the line ahead of the reply (never a lead byte, so it cannot pass for one).
  const int noise = std::clamp(faults.noise_bytes, 0, Reply::kCapacity - reply.count);
  if (noise > 0 && reply.count > 0) {
    std::copy_backward(reply.bytes.begin(), reply.bytes.begin() + reply.count,
                       reply.bytes.begin() + reply.count + noise);
    for (int i = 0; i < noise; ++i) {
      auto b = static_cast<uint8_t>(fault_rng_.Next() >> 56);
      if (b == kLeadByte) b = 0x00;
      reply.bytes[static_cast<size_t>(i)] = b;
    }
    reply.count += noise;
  }
  reply.delay_us += wire.turnaround_us;
  if (faults.slow_replies) {
    // Starts only after the reader has given up on it.
    reply.delay_us += (ReadTotalTimeoutMs(length) + 100) * 1000ull;
  }
  if (reply.count > 0 && faults.late_reply_fraction > 0.0 && fault_rng_.Chance(faults.late_reply_fraction)) {
    reply.late = true;
    reply.delay_us += static_cast<uint64_t>(fault_rng_.Range(1.0, 3.0) * ReadTotalTimeoutMs(length) * 1000.0);
  }
}

void MakeStraySumRight(Reply& stray, const Reply& next) {
  const int window = next.count;
  if (stray.count <= 0 || window <= 1) return;
  if (stray.count >= window) {
    // The reader's window holds late bytes only: its last byte becomes their sum.
    stray.bytes[static_cast<size_t>(window - 1)] = Sum(stray.bytes.data(), window - 1);
    return;
  }
  // The window ends inside the real reply: the late reply's last byte takes up the difference.
  unsigned sum = 0;
  for (int i = 0; i < stray.count; ++i) sum += stray.bytes[static_cast<size_t>(i)];
  for (int i = 0; i < window - stray.count - 1; ++i) sum += next.bytes[static_cast<size_t>(i)];
  const uint8_t wanted = next.bytes[static_cast<size_t>(window - stray.count - 1)];
  stray.bytes[static_cast<size_t>(stray.count - 1)] += static_cast<uint8_t>(wanted - (sum & 0xFF));
}

Reply ControllerModel::Answer(const std::array<uint8_t, kFrameLength>& frame, uint64_t now_us) {
  AdvanceTo(now_us);
  Reply reply;
  if (faults.unplugged) return reply;
  if (frame[0] != kLeadByte || Sum(frame.data(), 3) != frame[3]) return reply;
  if (faults.silence) return reply;

  const uint8_t address = frame[1];
  const uint8_t value = frame[2];
  if (address == value && address >= 1 && address <= 4) {
    int length = 0;
    switch (address) {
      case 1: {
        const auto r = IdentityReply();
        std::copy(r.begin(), r.end(), reply.bytes.begin());
        length = kIdentityLength;
        break;
      }
      case 2: {
        const auto r = LiveDataReply();
        std::copy(r.begin(), r.end(), reply.bytes.begin());
        length = kLiveDataLength;
        break;
      }
      case 3: {
        const auto r = ConfigReply();
        std::copy(r.begin(), r.end(), reply.bytes.begin());
        length = kConfigLength;
        break;
      }
      default: {
        const auto r = OptionsReply();
        std::copy(r.begin(), r.end(), reply.bytes.begin());
        length = kOptionsLength;
        break;
      }
    }
    FinishReply(reply, length, true);
    return reply;
  }

  if (IsParameterAddress(address)) {
    parameters_[address] = value;
  } else if (address == CommandAddress) {
    reply.delay_us += RunCommand(value);
  } else {
    return reply;  // no such address: no answer
  }
  if (faults.no_acknowledgement) return reply;
  reply.bytes[0] = kLeadByte;
  reply.bytes[1] = value;
  reply.bytes[2] = Sum(reply.bytes.data(), 2);
  FinishReply(reply, kAcknowledgementLength, false);
  return reply;
}

}  // namespace korvel::sim
