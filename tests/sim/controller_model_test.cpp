#include "sim/controller_model.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "link/controller_link.hpp"
#include "link/conversions.hpp"
#include "link/live_data.hpp"
#include "link/parameter_map.hpp"

namespace korvel::sim {
namespace {

using Frame = std::array<uint8_t, kFrameLength>;

Frame MakeFrame(uint8_t address, uint8_t value) {
  Frame f{kLeadByte, address, value, 0};
  f[3] = FrameChecksum(f.data(), 3);
  return f;
}

bool ChecksumOk(const Reply& r) {
  return r.count >= 2 && FrameChecksum(r.bytes.data(), r.count - 1) == r.bytes[static_cast<size_t>(r.count - 1)];
}

uint32_t Speed(const std::array<uint8_t, kLiveDataLength>& live) {
  return live[kPeriodHi] == 255 ? 0 : EngineSpeedFromPeriod(live[kPeriodHi], live[kPeriodLo]);
}

// Runs the model from `from_ms` to `to_ms`, calling `check` with the live reply every `every_ms`.
template <typename Check>
void RunModel(ControllerModel& model, uint64_t from_ms, uint64_t to_ms, uint64_t every_ms, Check check) {
  for (uint64_t t = from_ms; t <= to_ms; t += every_ms) {
    model.AdvanceTo(t * 1000);
    check(t, model.LiveDataReply());
  }
}

TEST(ControllerModelTest, EveryPollGetsItsLengthLeadByteAndChecksum) {
  ControllerModel model;
  const int lengths[] = {0, kIdentityLength, kLiveDataLength, kConfigLength, kOptionsLength};
  for (uint8_t request = 1; request <= 4; ++request) {
    const Reply r = model.Answer(MakeFrame(request, request), 0);
    EXPECT_EQ(r.count, lengths[request]) << int{request};
    EXPECT_EQ(r.bytes[0], kLeadByte);
    EXPECT_TRUE(ChecksumOk(r)) << int{request};
    EXPECT_EQ(r.delay_us, 0u);
  }
  const Reply id = model.Answer(MakeFrame(1, 1), 0);
  EXPECT_EQ(id.bytes[2], 0x25);  // variant 2, firmware 5
}

TEST(ControllerModelTest, IdentityByteCarriesVariantAndFirmware) {
  ControllerModel model;
  model.SetVariant(3);
  model.SetFirmwareVersion(0);
  EXPECT_EQ(model.IdentityReply()[2], 0x40);
  model.SetVariant(2);
  model.SetFirmwareVersion(31);
  EXPECT_EQ(model.IdentityReply()[2], 0x3F);
  model.faults.other_variant = true;
  EXPECT_EQ(model.IdentityReply()[2], 0x5F);  // variant 3, same firmware
}

TEST(ControllerModelTest, RecordsCarryEachParameterAtItsPlace) {
  ControllerModel model;
  for (const ParameterInfo& p : ParameterMap) model.SetParameter(p.address, static_cast<uint8_t>(p.address * 7 + 1));
  const auto config = model.ConfigReply();
  const auto options = model.OptionsReply();
  const auto live = model.LiveDataReply();
  for (const ParameterInfo& p : ParameterMap) {
    const auto expected = static_cast<uint8_t>(p.address * 7 + 1);
    const auto b = static_cast<size_t>(p.byte);
    switch (p.record) {
      case RecordKind::kConfig:
        EXPECT_EQ(config[b], expected) << p.name;
        break;
      case RecordKind::kOptions:
        EXPECT_EQ(options[b], expected) << p.name;
        break;
      case RecordKind::kLiveData:
        EXPECT_EQ(live[b], expected) << p.name;
        break;
    }
  }
}

TEST(ControllerModelTest, WriteStoresTheByteAndAcknowledgesIt) {
  ControllerModel model;
  for (const ParameterInfo& p : ParameterMap) {
    const Reply ack = model.Answer(MakeFrame(p.address, 0xC3), 0);
    ASSERT_EQ(ack.count, kAcknowledgementLength) << p.name;
    EXPECT_EQ(ack.bytes[0], kLeadByte);
    EXPECT_EQ(ack.bytes[1], 0xC3);
    EXPECT_EQ(ack.bytes[2], static_cast<uint8_t>(kLeadByte + 0xC3));
    EXPECT_EQ(model.Parameter(p.address), 0xC3) << p.name;
  }
  EXPECT_EQ(model.Parameter(CommandAddress), 0);  // a command, never stored
}

TEST(ControllerModelTest, WrongChecksumsAndUnknownRequestsGetNoAnswer) {
  ControllerModel model;
  Frame bad = MakeFrame(7, 30);
  bad[3] ^= 1;
  EXPECT_EQ(model.Answer(bad, 0).count, 0);
  EXPECT_EQ(model.Parameter(7), 22);  // not stored either
  Frame no_lead = MakeFrame(1, 1);
  no_lead[0] = 0x66;
  no_lead[3] = FrameChecksum(no_lead.data(), 3);
  EXPECT_EQ(model.Answer(no_lead, 0).count, 0);
  for (uint8_t address : {0, 34, 200}) EXPECT_EQ(model.Answer(MakeFrame(address, 5), 0).count, 0) << int{address};
  // Addresses 1..4 are polls only when both bytes agree.
  EXPECT_EQ(model.Answer(MakeFrame(2, 3), 0).count, 0);
}

TEST(ControllerModelTest, FactorySettingsAreAPlausibleSet) {
  ControllerModel model;
  const auto p = [&](int a) { return model.Parameter(a); };
  EXPECT_EQ(LambdaRange(p(6)), 0);  // 0-1 V probe
  EXPECT_EQ(p(7), DefaultLambdaPoint(0));  // 0.44 V
  EXPECT_EQ(TemperatureFromRaw(p(15)), 40);
  EXPECT_EQ(LpgOnTempPosition(p(15)), 15);
  EXPECT_EQ(EngineSpeedFromPeriod(p(22), p(21)), 2300u);
  EXPECT_EQ(EngineSpeedFromPeriod(p(28), p(27)), 5500u);
  EXPECT_GE(EngineSpeedFromPeriod(p(25), p(24)), kCutOffSpeedBase);
  EXPECT_LE(EngineSpeedFromPeriod(p(25), p(24)), 2500u);
  EXPECT_EQ(p(5) & 0x20, 0x20);  // cut-off active
  EXPECT_EQ(p(5) & 0x40, 0x40);  // LPG-off shown
  EXPECT_EQ(p(5) & 0x04, 0x00);  // AttInit shown
  // Every value sits inside the list that edits it, so each page shows a selection.
  for (int a : {8, 10, 11, 14, 23, 29, 33}) {
    EXPECT_GE(p(a), 1) << a;
  }
  EXPECT_LE(p(14), 50);
  EXPECT_LE(p(23), 18);
  EXPECT_LE(p(29), 19);
  EXPECT_LE(p(33), 50);
  EXPECT_EQ(p(19) % 5, 0);
  EXPECT_EQ(p(26) % 2, 0);
  EXPECT_GE(p(26), 2);
  // The Att band stays inside 0..255.
  EXPECT_LE(p(18) + p(16), 255);
  EXPECT_GE(p(18) - p(17), 0);
  // The emulation corrections start at zero.
  EXPECT_EQ(18 - 2 * (p(12) & 0x0F), 0);
  EXPECT_EQ(20 - 2 * (p(12) >> 4), 0);
  EXPECT_EQ(10 - 2 * (p(13) & 0x0F), 0);
  EXPECT_EQ(14 - 2 * (p(13) >> 4), 0);
}

TEST(ControllerModelTest, FactoryResetCommandRestoresEveryParameter) {
  ControllerModel model;
  for (const ParameterInfo& p : ParameterMap) model.Answer(MakeFrame(p.address, 1), 0);
  const Reply ack = model.Answer(MakeFrame(CommandAddress, kFactoryResetCommand), 0);
  ASSERT_EQ(ack.count, 3);
  EXPECT_EQ(ack.bytes[1], kFactoryResetCommand);
  EXPECT_GT(ack.delay_us, 0u);  // the controller is busy a moment, within the reader's time-out
  EXPECT_LT(ack.delay_us, ReadTotalTimeoutMs(3) * 1000u);
  for (const ParameterInfo& p : ParameterMap) EXPECT_EQ(model.Parameter(p.address), kFactorySettings[p.address]) << p.name;
  // Any other command byte is acknowledged and changes nothing.
  model.SetParameter(7, 25);
  EXPECT_EQ(model.Answer(MakeFrame(CommandAddress, 99), 0).count, 3);
  EXPECT_EQ(model.Parameter(7), 25);
}

TEST(ControllerModelTest, LearningOnPetrolFailsAtOnce) {
  ControllerModel model;
  model.AdvanceTo(0);
  model.AdvanceTo(3000000);
  ASSERT_FALSE(model.OnLpg());
  EXPECT_EQ(model.Answer(MakeFrame(CommandAddress, kLearnCommand), 3000000).count, 3);
  const uint8_t state = model.LiveDataReply()[kStateFlags];
  EXPECT_EQ(state & 0x02, 0);
  EXPECT_EQ(state & 0x30, 0x30);  // outcome: failed
}

TEST(ControllerModelTest, LearningOnLpgRunsAFewSecondsThenSucceeds) {
  EngineSettings settings;
  settings.scenario = Scenario::kCruise;
  ControllerModel model(settings);
  model.MakeEngineWarm();
  model.AdvanceTo(0);
  uint64_t t = 0;
  while (!model.OnLpg() && t < 60000) model.AdvanceTo((t += 100) * 1000);
  ASSERT_TRUE(model.OnLpg());
  model.Answer(MakeFrame(CommandAddress, kLearnCommand), t * 1000);
  uint64_t learning_ms = 0;
  uint8_t state = 0;
  for (; t < 120000; t += 50) {
    model.AdvanceTo(t * 1000);
    state = model.LiveDataReply()[kStateFlags];
    if ((state & 0x02) == 0) break;
    EXPECT_EQ(state & 0x30, 0);
    learning_ms += 50;
  }
  EXPECT_GE(learning_ms, 3000u);
  EXPECT_LE(learning_ms, 10000u);
  EXPECT_EQ(state & 0x30, 0x10);  // outcome: learned
  EXPECT_EQ(state & 0x01, 0x01);
  // A factory reset forgets the outcome.
  model.Answer(MakeFrame(CommandAddress, kFactoryResetCommand), t * 1000);
  EXPECT_EQ(model.LiveDataReply()[kStateFlags] & 0x32, 0);
}

TEST(ControllerModelTest, ColdEngineWarmsUpAndSwitchesToLpgAtItsSettings) {
  EngineSettings settings;
  settings.scenario = Scenario::kCruise;
  ControllerModel model(settings);
  bool seen_lpg = false;
  uint64_t switched_at = 0;
  int first_temp = -1;
  RunModel(model, 0, 400000, 100, [&](uint64_t t, const auto& live) {
    const int temp = TemperatureFromRaw(live[kTempRaw]);
    if (first_temp < 0) first_temp = temp;
    const bool lpg = (live[kStateFlags] & 0x01) != 0;
    if (lpg && !seen_lpg) {
      seen_lpg = true;
      switched_at = t;
      EXPECT_GE(live[kTempRaw], model.Parameter(15)) << t;
      EXPECT_GE(Speed(live), 2300u - 50u) << t;
    }
    if (!seen_lpg) {
      EXPECT_EQ(live[kStateFlags] & 0x41, 0) << t;
    }
    // Bit 7: warm enough for LPG.
    EXPECT_EQ((live[kStateFlags] & 0x80) != 0, live[kTempRaw] >= model.Parameter(15)) << t;
  });
  EXPECT_NEAR(first_temp, 18, 1);
  EXPECT_TRUE(seen_lpg);
  EXPECT_GT(switched_at, 30000u);  // not before the coolant reached 40 degrees
  EXPECT_LT(switched_at, 200000u);
  EXPECT_NEAR(TemperatureFromRaw(model.LiveDataReply()[kTempRaw]), 85, 2);
}

TEST(ControllerModelTest, WarmIdleJittersNearEightHundred) {
  EngineSettings settings;
  settings.scenario = Scenario::kIdle;
  ControllerModel model(settings);
  model.MakeEngineWarm();
  std::set<uint32_t> speeds;
  std::set<int> periods;
  RunModel(model, 0, 30000, 100, [&](uint64_t t, const auto& live) {
    if (t < 3000) return;
    speeds.insert(Speed(live));
    periods.insert(live[kPeriodHi] * 256 + live[kPeriodLo]);
    EXPECT_GE(Speed(live), 700u);
    EXPECT_LE(Speed(live), 900u);
    EXPECT_EQ(live[kStateFlags] & 0x01, 0);  // idle stays below the LPG-on speed
  });
  EXPECT_GE(speeds.size(), 2u);  // not a constant, even in steps of 50 rpm
  EXPECT_GE(periods.size(), 20u);
}

TEST(ControllerModelTest, LambdaProbeSwingsAboutOnceASecondWithItsColourCode) {
  EngineSettings settings;
  settings.scenario = Scenario::kIdle;
  ControllerModel model(settings);
  model.MakeEngineWarm();
  model.FastForward(30000);  // the probe is hot
  const double threshold = model.Parameter(7) * 0.02;
  int crossings = 0;
  bool above = false;
  std::set<int> codes;
  RunModel(model, 0, 10000, 10, [&](uint64_t t, const auto& live) {
    const double v = VoltsFromRaw(live[kLambdaProbe]);
    const int code = live[kIndicatorFlags] & 7;
    codes.insert(code);
    if (v > threshold + 0.15) {
      EXPECT_EQ(code, 4) << t;  // rich: red
    }
    if (v < threshold - 0.15) {
      EXPECT_EQ(code, 1) << t;  // lean: green
    }
    if (t > 0 && (v > threshold) != above) ++crossings;
    above = v > threshold;
    EXPECT_LE(v, 1.0);
  });
  // About one rich-lean cycle per second: two crossings each.
  EXPECT_GE(crossings, 14);
  EXPECT_LE(crossings, 26);
  EXPECT_EQ(codes, (std::set<int>{1, 2, 4}));
}

TEST(ControllerModelTest, DrivingShowsRevsCutOffAndLpgOffOnlyWhenTheirConditionsHold) {
  ControllerModel model;  // drive scenario
  uint32_t top_speed = 0;
  bool cut_off = false;
  bool lpg_off = false;
  double top_aux = 0.0;
  const double idle_aux_limit = 0.6;
  RunModel(model, 0, 900000, 50, [&](uint64_t t, const auto& live) {
    const uint32_t rpm = Speed(live);
    top_speed = std::max(top_speed, rpm);
    const uint8_t state = live[kStateFlags];
    const double aux = VoltsFromRaw(live[kAuxInput]);
    top_aux = std::max(top_aux, aux);
    if ((state & 0x08) != 0) {
      cut_off = true;
      EXPECT_GT(rpm, 1500u - 50u) << t;
      EXPECT_LT(aux, idle_aux_limit) << t;  // throttle closed
    }
    if ((state & 0x04) != 0) {
      lpg_off = true;
      EXPECT_GT(rpm, 5500u - 250u) << t;
      EXPECT_EQ(state & 0x41, 0) << t;  // on petrol meanwhile
    }
    // The four-segment indicator lights exactly one segment; the display is on once ready.
    const uint8_t segment = live[kIndicatorFlags] & 0xF0;
    EXPECT_TRUE(segment == 0x10 || segment == 0x20 || segment == 0x40 || segment == 0x80) << t;
    EXPECT_EQ((live[kIndicatorFlags] & 0x08) != 0, t >= 2000) << t;
  });
  EXPECT_GE(top_speed, 3000u);
  EXPECT_TRUE(cut_off);
  EXPECT_TRUE(lpg_off);
  EXPECT_GT(top_aux, 3.0);  // the throttle sensor follows the revs
}

TEST(ControllerModelTest, DisabledCutOffAndLpgOffNeverShow) {
  ControllerModel model;
  model.SetParameter(5, static_cast<uint8_t>(model.Parameter(5) & ~0x60));
  RunModel(model, 0, 600000, 50, [&](uint64_t t, const auto& live) {
    EXPECT_EQ(live[kStateFlags] & 0x0C, 0) << t;
  });
}

TEST(ControllerModelTest, AttMovesAroundAttInitWithinItsLimits) {
  ControllerModel model;
  model.MakeEngineWarm();
  model.SetParameter(18, 100);
  std::set<int> values;
  RunModel(model, 0, 300000, 50, [&](uint64_t t, const auto& live) {
    const int att = live[kAtt];
    values.insert(att);
    EXPECT_EQ(live[kAttInit], 100);
    const bool idle = Speed(live) < 1200;
    const int upper = model.Parameter(idle ? 31 : 16);
    const int lower = model.Parameter(idle ? 32 : 17);
    const int wide_upper = model.Parameter(16);
    const int wide_lower = model.Parameter(17);
    // One step of slack for a change of band between two samples.
    EXPECT_LE(att, 100 + std::max(upper, wide_upper)) << t;
    EXPECT_GE(att, 100 - std::max(lower, wide_lower)) << t;
  });
  EXPECT_GE(values.size(), 8u);
}

TEST(ControllerModelTest, SameSeedSameBytesOtherSeedOtherBytes) {
  EngineSettings a;
  EngineSettings b;
  b.seed = 2;
  ControllerModel m1(a);
  ControllerModel m2(a);
  ControllerModel m3(b);
  bool differs = false;
  for (uint64_t t = 0; t <= 120000; t += 37) {
    m1.AdvanceTo(t * 1000);
    m2.AdvanceTo(t * 1000);
    m3.AdvanceTo(t * 1000);
    ASSERT_EQ(m1.LiveDataReply(), m2.LiveDataReply()) << t;
    differs = differs || m1.LiveDataReply() != m3.LiveDataReply();
  }
  EXPECT_TRUE(differs);
}

TEST(ControllerModelTest, StoppedEngineReportsNoSpeed) {
  EngineSettings settings;
  settings.scenario = Scenario::kStopped;
  ControllerModel model(settings);
  RunModel(model, 0, 20000, 500, [&](uint64_t t, const auto& live) {
    EXPECT_EQ(live[kPeriodHi], 255) << t;
    EXPECT_EQ(live[kStateFlags] & 0x0F, 0) << t;
  });
}

TEST(ControllerModelTest, OverridesPinLiveBytesAndKeepTheChecksum) {
  ControllerModel model;
  model.OverrideLive(kStateFlags, 0x84);
  model.OverrideLive(kIndicatorFlags, 0x38);
  model.OverrideLive(0, 0x00);   // the lead byte cannot be pinned
  model.OverrideLive(10, 0x00);  // nor the checksum
  model.AdvanceTo(0);
  model.AdvanceTo(60000000);
  const Reply r = model.Answer(MakeFrame(2, 2), 60000000);
  EXPECT_EQ(r.bytes[kStateFlags], 0x84);
  EXPECT_EQ(r.bytes[kIndicatorFlags], 0x38);
  EXPECT_EQ(r.bytes[0], kLeadByte);
  EXPECT_TRUE(ChecksumOk(r));
  model.ClearLiveOverrides();
  EXPECT_NE(model.LiveDataReply()[kIndicatorFlags], 0x38);
}

TEST(ControllerModelTest, FastForwardWarmsTheEngineWithoutTheClock) {
  ControllerModel model;
  model.FastForward(400000);
  EXPECT_NEAR(TemperatureFromRaw(model.LiveDataReply()[kTempRaw]), 85, 2);
  EXPECT_EQ(model.UptimeMs(), 400000u);
}

// --- faults ---------------------------------------------------------------------------------

TEST(ControllerModelFaultTest, SilenceAnswersNothing) {
  ControllerModel model;
  model.faults.silence = true;
  for (uint8_t r = 1; r <= 4; ++r) EXPECT_EQ(model.Answer(MakeFrame(r, r), 0).count, 0);
  EXPECT_EQ(model.Answer(MakeFrame(7, 25), 0).count, 0);
  model.faults.silence = false;
  EXPECT_EQ(model.Answer(MakeFrame(1, 1), 0).count, 4);
}

TEST(ControllerModelFaultTest, BadChecksumHitsTheRequestedShareOfPolls) {
  ControllerModel model;
  model.faults.bad_checksum_fraction = 0.3;
  int bad = 0;
  for (int i = 0; i < 1000; ++i) {
    const Reply r = model.Answer(MakeFrame(2, 2), 0);
    ASSERT_EQ(r.count, kLiveDataLength);
    EXPECT_EQ(r.bytes[0], kLeadByte);
    if (!ChecksumOk(r)) ++bad;
  }
  EXPECT_GT(bad, 240);
  EXPECT_LT(bad, 360);
  model.faults.bad_checksum_fraction = 1.0;
  EXPECT_FALSE(ChecksumOk(model.Answer(MakeFrame(1, 1), 0)));
  // Acknowledgements carry no checksum rule and are left alone.
  const Reply ack = model.Answer(MakeFrame(7, 25), 0);
  EXPECT_EQ(ack.bytes[2], static_cast<uint8_t>(kLeadByte + 25));
}

TEST(ControllerModelFaultTest, ShortRepliesNoiseAndSlowReplies) {
  ControllerModel model;
  model.faults.short_reply_missing = 2;
  EXPECT_EQ(model.Answer(MakeFrame(4, 4), 0).count, kOptionsLength - 2);
  model.faults.short_reply_missing = 0;

  model.faults.noise_bytes = 3;
  const auto clean = model.ConfigReply();
  const Reply noisy = model.Answer(MakeFrame(3, 3), 0);
  ASSERT_EQ(noisy.count, kConfigLength + 3);
  for (int i = 0; i < 3; ++i) EXPECT_NE(noisy.bytes[static_cast<size_t>(i)], kLeadByte);
  EXPECT_TRUE(std::equal(clean.begin(), clean.end(), noisy.bytes.begin() + 3));
  model.faults.noise_bytes = 0;

  model.faults.slow_replies = true;
  model.wire.turnaround_us = 2000;
  for (uint8_t r = 1; r <= 4; ++r) {
    const Reply slow = model.Answer(MakeFrame(r, r), 0);
    EXPECT_GT(slow.delay_us, ReadTotalTimeoutMs(slow.count) * 1000u) << int{r};
  }
  EXPECT_GT(model.Answer(MakeFrame(7, 25), 0).delay_us, ReadTotalTimeoutMs(3) * 1000u);
}

TEST(ControllerModelFaultTest, MissingAndShortAcknowledgements) {
  ControllerModel model;
  model.faults.no_acknowledgement = true;
  EXPECT_EQ(model.Answer(MakeFrame(7, 25), 0).count, 0);
  EXPECT_EQ(model.Parameter(7), 25);  // taken all the same
  model.faults.no_acknowledgement = false;
  model.faults.short_acknowledgement = true;
  const Reply ack = model.Answer(MakeFrame(7, 26), 0);
  EXPECT_EQ(ack.count, 2);
  EXPECT_EQ(ack.bytes[1], 26);
  EXPECT_EQ(model.Answer(MakeFrame(1, 1), 0).count, 4);  // polls are whole
}

TEST(ControllerModelFaultTest, UnpluggedControllerHearsNothing) {
  ControllerModel model;
  const uint32_t generation = model.PlugGeneration();
  model.Unplug();
  EXPECT_TRUE(model.faults.unplugged);
  EXPECT_EQ(model.Answer(MakeFrame(1, 1), 0).count, 0);
  EXPECT_EQ(model.Answer(MakeFrame(7, 25), 0).count, 0);
  EXPECT_EQ(model.Parameter(7), 22);
  model.Replug();
  EXPECT_FALSE(model.faults.unplugged);
  EXPECT_NE(model.PlugGeneration(), generation);
  EXPECT_EQ(model.Answer(MakeFrame(1, 1), 0).count, 4);
}

}  // namespace
}  // namespace korvel::sim
