#include "sim/simulated_port.hpp"

#include <gtest/gtest.h>

#include <cstring>

#include "link/controller_link.hpp"
#include "link/parameter_map.hpp"
#include "sim/controller_model.hpp"

namespace korvel::sim {
namespace {

using Frame = std::array<uint8_t, kFrameLength>;

struct World {
  VirtualClock clock;
  ControllerModel model;
  SimulatedPort port{model, clock};
  ControllerLink link{port};
};

bool AllZero(const uint8_t* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

TEST(SimulatedPortTest, LinkConnectsAndReadsEveryRecord) {
  World w;
  w.link.ReadIdentity();
  EXPECT_TRUE(w.link.Connected());
  EXPECT_EQ(w.link.IdentityRecord[2], 0x25);
  EXPECT_EQ(w.link.GetControllerVariant(), 2u);
  w.link.ReadLiveData();
  w.link.ReadConfig();
  w.link.ReadOptions();
  EXPECT_EQ(w.link.LiveDataRecord[0], 0x65);
  for (int i = 0; i < kParameterCount; ++i) {
    EXPECT_EQ(StoredParameterValue(w.link, i), w.model.Parameter(ParameterMap[i].address)) << ParameterMap[i].name;
  }
  ASSERT_EQ(w.port.frames.size(), 4u);
  EXPECT_EQ(w.port.frames[0], (Frame{0x65, 0x01, 0x01, 0x67}));
  EXPECT_EQ(w.port.frames[1], (Frame{0x65, 0x02, 0x02, 0x69}));
  EXPECT_EQ(w.port.frames[2], (Frame{0x65, 0x03, 0x03, 0x6B}));
  EXPECT_EQ(w.port.frames[3], (Frame{0x65, 0x04, 0x04, 0x6D}));
  w.port.ClearFrames();
  EXPECT_TRUE(w.port.frames.empty());
  // Without wire timing the controller answers at once: no time passed.
  EXPECT_EQ(w.clock.now_us, 0u);
}

TEST(SimulatedPortTest, EveryParameterWriteShowsInTheNextPoll) {
  World w;
  w.link.ReadIdentity();
  for (int i = 0; i < kParameterCount; ++i) {
    const ParameterInfo& p = ParameterMap[i];
    const auto value = static_cast<uint8_t>(0x11 + 3 * i);
    EXPECT_EQ(w.link.WriteParameter(p.address, value), kWriteAcknowledged) << p.name;
    EXPECT_EQ(w.link.WriteAcknowledgement[1], value);
    w.port.ClearFrames();
    w.link.ReadLiveData();
    w.link.ReadConfig();
    w.link.ReadOptions();
    EXPECT_EQ(StoredParameterValue(w.link, i), value) << p.name;
  }
}

TEST(SimulatedPortTest, SilentReadsTakeTheirWholeTimeOut) {
  World w;
  w.model.faults.silence = true;
  const uint64_t expected_ms[] = {0, 140, 210, 250, 260};
  for (int request = 1; request <= 4; ++request) {
    const uint64_t before = w.clock.NowMs();
    switch (request) {
      case 1:
        w.link.ReadIdentity();
        break;
      case 2:
        w.link.ReadLiveData();
        break;
      case 3:
        w.link.ReadConfig();
        break;
      default:
        w.link.ReadOptions();
        break;
    }
    EXPECT_EQ(w.clock.NowMs() - before, expected_ms[request]) << request;
  }
  // A write waits for its acknowledgement 130 ms (after WriteDelay).
  w.link.IdentityRecord[2] = 0x25;
  w.link.state.WriteDelay = 250;
  const uint64_t before = w.clock.NowMs();
  EXPECT_EQ(w.link.WriteParameter(7, 25), 0);
  EXPECT_EQ(w.clock.NowMs() - before, 250u + 130u);
}

TEST(SimulatedPortTest, WireTimingCostsBytesTimesOneMillisecondPlusTurnaround) {
  World w;
  w.model.wire.enabled = true;
  w.model.wire.turnaround_us = 3000;
  struct Case {
    const char* name;
    int reply;
    ExchangeOutcome (ControllerLink::*call)();
  };
  const Case cases[] = {{"identity", 4, &ControllerLink::ReadIdentity},
                        {"live data", 11, &ControllerLink::ReadLiveData},
                        {"configuration", 15, &ControllerLink::ReadConfig},
                        {"options", 16, &ControllerLink::ReadOptions}};
  for (const Case& c : cases) {
    const uint64_t before = w.clock.now_us;
    (w.link.*c.call)();
    const uint64_t took = w.clock.now_us - before;
    // 10 bits per byte at 9600 baud, the 4 request bytes and the reply, plus the turnaround.
    const uint64_t expected = (4u + static_cast<uint64_t>(c.reply)) * 10u * 1000000u / 9600u + 3000u;
    EXPECT_NEAR(static_cast<double>(took), static_cast<double>(expected), 2.0) << c.name;
  }
  EXPECT_TRUE(w.link.Connected());
  const uint64_t before = w.clock.now_us;
  EXPECT_EQ(w.link.WriteParameter(7, 24), kWriteAcknowledged);
  EXPECT_NEAR(static_cast<double>(w.clock.now_us - before), 7.0 * 10e6 / 9600.0 + 3000.0, 2.0);
}

TEST(SimulatedPortTest, ReadEndsFiftyMillisecondsAfterTheLastByteOfAShortReply) {
  World w;
  w.link.ReadIdentity();
  w.model.faults.short_reply_missing = 3;
  const uint8_t before[11] = {};
  std::memcpy(w.link.LiveDataRecord, before, sizeof before);
  const uint64_t start = w.clock.NowMs();
  w.link.ReadLiveData();
  EXPECT_EQ(w.clock.NowMs() - start, 50u);
  // The zero-filled tail fails the checksum: the port is closed and the record untouched.
  EXPECT_FALSE(w.link.state.port_open);
  EXPECT_TRUE(AllZero(w.link.LiveDataRecord, 11));
}

TEST(SimulatedPortTest, SilenceLosesTheConnectionOnTheThirdIdentity) {
  World w;
  w.link.ReadIdentity();
  w.link.ReadLiveData();
  w.link.ReadConfig();
  w.link.ReadOptions();
  ASSERT_TRUE(w.link.Connected());
  w.model.faults.silence = true;
  w.link.ReadIdentity();
  w.link.ReadIdentity();
  EXPECT_TRUE(w.link.Connected());
  EXPECT_FALSE(AllZero(w.link.ConfigRecord, 15));
  w.link.ReadIdentity();
  EXPECT_FALSE(w.link.Connected());
  EXPECT_FALSE(w.link.state.port_open);
  EXPECT_TRUE(AllZero(w.link.LiveDataRecord, 11));
  EXPECT_TRUE(AllZero(w.link.ConfigRecord, 15));
  EXPECT_TRUE(AllZero(w.link.OptionsRecord, 16));
  EXPECT_EQ(w.link.IdentityRecord[2], 0x25);  // the variant survives
  // Each later silent poll opens and closes the port again.
  const int opens = w.port.open_count;
  const int closes = w.port.close_count;
  w.link.ReadIdentity();
  EXPECT_EQ(w.port.open_count, opens + 1);
  EXPECT_EQ(w.port.close_count, closes + 1);
  w.model.faults.silence = false;
  w.link.ReadIdentity();
  EXPECT_TRUE(w.link.Connected());
}

TEST(SimulatedPortTest, WrongChecksumClosesThePortAndLeavesTheRecord) {
  World w;
  w.link.ReadIdentity();
  w.link.ReadConfig();
  uint8_t config[15];
  std::memcpy(config, w.link.ConfigRecord, sizeof config);
  w.model.faults.bad_checksum_fraction = 1.0;
  w.model.SetParameter(7, 27);
  w.link.ReadConfig();
  EXPECT_FALSE(w.link.state.port_open);
  EXPECT_EQ(std::memcmp(config, w.link.ConfigRecord, sizeof config), 0);
  w.link.ReadIdentity();
  EXPECT_EQ(w.link.state.failure_count, 0);
  EXPECT_TRUE(w.link.Connected());
}

TEST(SimulatedPortTest, NoiseAheadOfTheReplyCountsAsAFailedIdentity) {
  World w;
  w.model.faults.noise_bytes = 2;
  w.link.ReadIdentity();
  EXPECT_EQ(w.link.state.failure_count, 1);
  EXPECT_TRUE(w.link.state.port_open);
  w.model.faults.noise_bytes = 0;
  w.link.ReadIdentity();  // the identity exchange purges the leftover first
  EXPECT_TRUE(w.link.Connected());
}

TEST(SimulatedPortTest, SlowReplyArrivesAfterTheTimeOutAndSpoilsTheNextPoll) {
  World w;
  w.link.ReadIdentity();
  w.link.ReadLiveData();
  uint8_t live[11];
  std::memcpy(live, w.link.LiveDataRecord, sizeof live);
  w.model.faults.slow_replies = true;
  const uint64_t start = w.clock.NowMs();
  w.link.ReadIdentity();
  EXPECT_EQ(w.clock.NowMs() - start, 140u);
  EXPECT_EQ(w.link.state.failure_count, 1);
  EXPECT_EQ(w.port.PendingInput(), 4);  // still on its way
  w.model.faults.slow_replies = false;
  // The live-data poll does not purge input: the late identity reply is read as its start.
  w.link.ReadLiveData();
  EXPECT_EQ(std::memcmp(live, w.link.LiveDataRecord, sizeof live), 0);
}

TEST(SimulatedPortTest, PurgeDropsOnlyWhatHasArrived) {
  World w;
  w.model.wire.enabled = true;
  w.port.Open("COM1:");
  const uint8_t request[4] = {0x65, 0x04, 0x04, 0x6D};
  w.port.Write(request, 4);
  w.clock.AdvanceUs(8 * 1042);  // half of the 16-byte reply is in
  w.port.PurgeInput();
  EXPECT_EQ(w.port.PendingInput(), 8);
  uint8_t buffer[16] = {};
  EXPECT_EQ(w.port.Read(buffer, 16), 8);
}

TEST(SimulatedPortTest, VariantThreeBlocksWrites) {
  World w;
  w.model.faults.other_variant = true;
  w.link.ReadIdentity();
  EXPECT_EQ(w.link.GetControllerVariant(), 3u);
  w.port.ClearFrames();
  EXPECT_EQ(w.link.WriteParameter(7, 25), kWriteNotSent);
  EXPECT_TRUE(w.port.frames.empty());
  EXPECT_EQ(w.model.Parameter(7), 22);
}

TEST(SimulatedPortTest, MissingAndShortAcknowledgementsAreCounted) {
  World w;
  w.link.ReadIdentity();
  w.model.faults.no_acknowledgement = true;
  EXPECT_EQ(w.link.WriteParameter(7, 25), 0);
  w.model.faults.no_acknowledgement = false;
  w.model.faults.short_acknowledgement = true;
  EXPECT_EQ(w.link.WriteParameter(7, 26), 2);
  w.model.faults.short_acknowledgement = false;
  EXPECT_EQ(w.link.WriteParameter(7, 27), kWriteAcknowledged);
  EXPECT_EQ(w.model.Parameter(7), 27);
}

TEST(SimulatedPortTest, FactoryResetAcknowledgesWithinTheTimeOut) {
  World w;
  w.link.ReadIdentity();
  w.link.WriteParameter(7, 25);
  w.link.WriteAcknowledgement[1] = 0;
  EXPECT_EQ(w.link.WriteParameter(CommandAddress, kFactoryResetCommand), kWriteAcknowledged);
  EXPECT_EQ(w.link.WriteAcknowledgement[1], kFactoryResetCommand);
  EXPECT_EQ(w.model.Parameter(7), 22);
}

TEST(SimulatedPortTest, UnplugKillsTheOpenHandleUntilTheLinkReopens) {
  World w;
  w.link.ReadIdentity();
  ASSERT_TRUE(w.link.Connected());
  w.model.Unplug();
  w.link.ReadIdentity();
  w.link.ReadIdentity();
  w.model.Replug();
  // The old handle stays dead after the replug, as with a real adapter.
  w.link.ReadIdentity();
  EXPECT_FALSE(w.link.Connected());
  EXPECT_FALSE(w.link.state.port_open);
  w.link.ReadIdentity();  // reopens
  EXPECT_TRUE(w.link.Connected());
}

TEST(SimulatedPortTest, OnlyTheNamedDeviceOpens) {
  World w;
  w.port.device_name = "COM2:";
  w.link.ReadIdentity();
  EXPECT_EQ(w.port.last_open_name, "COM1:");
  EXPECT_FALSE(w.port.IsOpen());
  w.link.ClosePort();
  w.link.SetPortName("COM2:");
  w.link.ReadIdentity();
  EXPECT_TRUE(w.link.Connected());
}

TEST(SimulatedPortTest, EngineRunsOnTheSharedClock) {
  World w;
  w.link.ReadIdentity();
  w.link.ReadLiveData();
  const uint8_t temp_cold = w.link.LiveDataRecord[9];
  w.clock.AdvanceMs(300000);
  w.link.ReadLiveData();
  EXPECT_GT(w.link.LiveDataRecord[9], temp_cold + 50);
  EXPECT_EQ(w.model.UptimeMs(), 300000u);
}

}  // namespace
}  // namespace korvel::sim
