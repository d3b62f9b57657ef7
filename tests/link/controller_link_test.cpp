#include "link/controller_link.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "link/poll.hpp"
#include "tests/link/scripted_port.hpp"

namespace korvel {
namespace {

using testing::GoodReply;
using testing::ScriptedPort;
using Op = ScriptedPort::Op;

std::vector<uint8_t> IdentityReply(uint8_t byte2) { return GoodReply({0x00, byte2}); }
std::vector<uint8_t> LiveReply(uint8_t fill) { return GoodReply(std::vector<uint8_t>(9, fill)); }
std::vector<uint8_t> ConfigReply(uint8_t fill) { return GoodReply(std::vector<uint8_t>(13, fill)); }
std::vector<uint8_t> OptionsReply(uint8_t fill) { return GoodReply(std::vector<uint8_t>(14, fill)); }

template <size_t N>
std::vector<uint8_t> Bytes(const uint8_t (&record)[N]) {
  return std::vector<uint8_t>(record, record + N);
}

template <size_t N>
bool AllZero(const uint8_t (&record)[N]) {
  for (uint8_t b : record) {
    if (b != 0) return false;
  }
  return true;
}

class LinkTest : public ::testing::Test {
 protected:
  // A connected variant-2 controller whose three data records have been polled once.
  void Connect() {
    port.Reply(IdentityReply(0x25));
    port.Reply(LiveReply(0x11));
    port.Reply(ConfigReply(0x22));
    port.Reply(OptionsReply(0x33));
    link.ReadIdentity();
    link.ReadLiveData();
    link.ReadConfig();
    link.ReadOptions();
    ASSERT_TRUE(link.Connected());
    port.ClearRecord();
  }

  ScriptedPort port;
  ControllerLink link{port};
};

// --- frames and the port's life -----------------------------------------------------------------

TEST_F(LinkTest, EachPollSendsItsFrameAndReadsItsReplyLength) {
  link.ReadIdentity();
  link.ReadLiveData();
  link.ReadConfig();
  link.ReadOptions();
  const std::vector<std::array<uint8_t, 4>> expected = {
      {0x65, 0x01, 0x01, 0x67}, {0x65, 0x02, 0x02, 0x69}, {0x65, 0x03, 0x03, 0x6B}, {0x65, 0x04, 0x04, 0x6D}};
  EXPECT_EQ(port.frames, expected);
  std::vector<int> read_lengths;
  for (const auto& e : port.events) {
    if (e.op == Op::kRead) read_lengths.push_back(e.value);
  }
  EXPECT_EQ(read_lengths, (std::vector<int>{4, 11, 15, 16}));
}

TEST_F(LinkTest, PortOpensLazilyOnceAndReopensWithTheCurrentName) {
  EXPECT_TRUE(port.events.empty());
  EXPECT_FALSE(link.state.port_open);

  port.Reply(IdentityReply(0x25));
  link.ReadIdentity();
  link.ReadLiveData();
  EXPECT_EQ(port.opened_names, (std::vector<std::string>{"COM1:"}));
  EXPECT_TRUE(link.state.port_open);

  // A port change takes effect at the next exchange after the close.
  link.ClosePort();
  link.ClosePort();
  EXPECT_EQ(port.Count(Op::kClose), 1);
  EXPECT_FALSE(link.state.port_open);
  EXPECT_TRUE(link.SetPortName("COM3:"));
  link.ReadIdentity();
  EXPECT_EQ(port.opened_names, (std::vector<std::string>{"COM1:", "COM3:"}));
}

TEST_F(LinkTest, PortNameThatDoesNotFitIsRefusedNotCut) {
  const std::string long_path = "/dev/serial/by-id/" + std::string(60, 'x');
  EXPECT_FALSE(link.SetPortName(long_path.c_str()));
  EXPECT_STREQ(link.state.port_name, "COM1:");
  EXPECT_TRUE(link.SetPortName("/dev/ttyUSB0"));
  link.ReadIdentity();
  EXPECT_EQ(port.opened_names, (std::vector<std::string>{"/dev/ttyUSB0"}));
}

TEST_F(LinkTest, PortThatCannotBeOpenedCountsAsSilenceAndIsRetriedAfterTheLoss) {
  port.open_succeeds = false;
  EXPECT_EQ(link.ReadIdentity(), ExchangeOutcome::kPortNotOpen);
  EXPECT_TRUE(link.state.port_open);  // set after the attempt, whatever its outcome
  EXPECT_TRUE(link.state.open_failed);
  EXPECT_STREQ(link.state.open_error, "Permission denied");
  EXPECT_EQ(link.ReadLiveData(), ExchangeOutcome::kPortNotOpen);
  link.ReadIdentity();
  EXPECT_EQ(port.Count(Op::kOpen), 1);
  // The third failure closes the port as for a silent controller; the reason stays readable.
  EXPECT_EQ(link.ReadIdentity(), ExchangeOutcome::kPortNotOpen);
  EXPECT_FALSE(link.state.port_open);
  EXPECT_EQ(link.state.poll_period, 500u);
  EXPECT_STREQ(link.state.open_error, "Permission denied");
  port.open_succeeds = true;
  port.Reply(IdentityReply(0x25));
  EXPECT_EQ(link.ReadIdentity(), ExchangeOutcome::kGood);
  EXPECT_EQ(port.Count(Op::kOpen), 2);
  EXPECT_TRUE(link.Connected());
  EXPECT_FALSE(link.state.open_failed);
  EXPECT_STREQ(link.state.open_error, "");
}

// Callers learn from the result whether this exchange stored a reply, not from the record.
TEST_F(LinkTest, EveryPollSaysWhatItsExchangeBrought) {
  Connect();
  std::vector<uint8_t> corrupt = LiveReply(0x44);
  corrupt.back() ^= 0xFF;
  port.Reply(IdentityReply(0x25));
  port.Reply(LiveReply(0x44));
  port.Silence();
  port.Reply({0x65, 0x01});  // short: the zero-filled tail fails the checksum
  port.Reply(corrupt);
  EXPECT_EQ(link.ReadIdentity(), ExchangeOutcome::kGood);
  EXPECT_EQ(link.ReadLiveData(), ExchangeOutcome::kGood);
  EXPECT_EQ(link.ReadConfig(), ExchangeOutcome::kNoReply);
  EXPECT_EQ(link.ReadOptions(), ExchangeOutcome::kBadChecksum);
  EXPECT_EQ(link.ReadLiveData(), ExchangeOutcome::kBadChecksum);
  // The records that got no good reply keep what they held, lead byte included.
  EXPECT_EQ(Bytes(link.LiveDataRecord), LiveReply(0x44));
  EXPECT_EQ(Bytes(link.ConfigRecord), ConfigReply(0x22));
  EXPECT_EQ(Bytes(link.OptionsRecord), OptionsReply(0x33));
}

// --- identity: the three outcomes ---------------------------------------------------------------

TEST_F(LinkTest, GoodIdentityConnectsAfterPurgingBothBuffers) {
  port.input = {0x65, 0x99};  // noise left on the line is discarded before the request
  port.Reply(IdentityReply(0x25));
  link.ReadIdentity();
  EXPECT_EQ(port.Ops(), (std::vector<Op>{Op::kOpen, Op::kPurgeOutput, Op::kPurgeInput, Op::kWrite, Op::kRead}));
  EXPECT_TRUE(link.Connected());
  EXPECT_EQ(link.state.failure_count, 0);
  EXPECT_EQ(link.state.poll_period, 50u);
  EXPECT_EQ(Bytes(link.IdentityRecord), IdentityReply(0x25));
}

TEST_F(LinkTest, SilentControllerIsLostOnTheThirdPollAndTheCountStaysAtTwo) {
  Connect();
  link.ReadIdentity();
  link.ReadIdentity();
  // Two silent polls change nothing the pages see.
  EXPECT_TRUE(link.Connected());
  EXPECT_EQ(link.state.failure_count, 2);
  EXPECT_EQ(link.state.poll_period, 50u);
  EXPECT_EQ(Bytes(link.LiveDataRecord), LiveReply(0x11));
  EXPECT_EQ(port.Count(Op::kClose), 0);

  port.ClearRecord();
  link.ReadIdentity();
  EXPECT_EQ(port.Ops(), (std::vector<Op>{Op::kPurgeOutput, Op::kPurgeInput, Op::kWrite, Op::kRead,
                                        Op::kPurgeInput, Op::kPurgeInput, Op::kPurgeOutput, Op::kClose}));
  EXPECT_FALSE(link.Connected());
  EXPECT_FALSE(link.state.port_open);
  EXPECT_EQ(link.state.failure_count, 2);
  EXPECT_EQ(link.state.poll_period, 500u);
  EXPECT_TRUE(AllZero(link.LiveDataRecord));
  EXPECT_TRUE(AllZero(link.ConfigRecord));
  EXPECT_TRUE(AllZero(link.OptionsRecord));
  // The identity survives, and with it the variant.
  EXPECT_EQ(Bytes(link.IdentityRecord), IdentityReply(0x25));
  EXPECT_EQ(link.GetControllerVariant(), 2u);

  // Every further silent poll reopens, asks once and closes again.
  for (int i = 0; i < 3; ++i) {
    port.ClearRecord();
    link.ReadIdentity();
    EXPECT_EQ(port.Count(Op::kOpen), 1);
    EXPECT_EQ(port.Count(Op::kClose), 1);
    EXPECT_EQ(link.state.failure_count, 2);
    EXPECT_EQ(link.state.poll_period, 500u);
  }
}

TEST_F(LinkTest, NoLossWithoutThreeConsecutiveFailures) {
  Connect();
  port.Silence();
  port.Silence();
  port.Reply(IdentityReply(0x25));
  port.Silence();
  port.Silence();
  for (int i = 0; i < 5; ++i) link.ReadIdentity();
  EXPECT_TRUE(link.Connected());
  EXPECT_EQ(link.state.failure_count, 2);
  EXPECT_EQ(Bytes(link.ConfigRecord), ConfigReply(0x22));
}

TEST_F(LinkTest, ReplyWithAnotherLeadByteCountsAsSilence) {
  Connect();
  std::vector<uint8_t> reply = IdentityReply(0x25);
  reply[0] = 0x66;
  reply[3] = static_cast<uint8_t>(reply[3] + 1);  // checksum right for the wrong lead byte
  for (int i = 0; i < 3; ++i) port.Reply(reply);
  link.ReadIdentity();
  EXPECT_EQ(link.state.failure_count, 1);
  EXPECT_EQ(Bytes(link.IdentityRecord), IdentityReply(0x25));
  link.ReadIdentity();
  link.ReadIdentity();
  EXPECT_FALSE(link.Connected());
}

TEST_F(LinkTest, IdentityWithBadChecksumClosesWithoutCounting) {
  Connect();
  port.Silence();
  link.ReadIdentity();
  ASSERT_EQ(link.state.failure_count, 1);

  std::vector<uint8_t> corrupt = IdentityReply(0x45);
  corrupt[3] ^= 0x01;
  port.Reply(corrupt);
  port.Reply(corrupt);
  port.ClearRecord();
  link.ReadIdentity();
  EXPECT_EQ(port.Ops(), (std::vector<Op>{Op::kPurgeOutput, Op::kPurgeInput, Op::kWrite, Op::kRead,
                                        Op::kPurgeInput, Op::kClose}));
  EXPECT_FALSE(link.state.port_open);
  EXPECT_EQ(link.state.failure_count, 1);
  EXPECT_TRUE(link.Connected());
  EXPECT_EQ(link.state.poll_period, 50u);
  EXPECT_EQ(Bytes(link.IdentityRecord), IdentityReply(0x25));  // a corrupt reply never lands

  // Repeated corrupt replies never make the controller lost; each one costs a reopen.
  link.ReadIdentity();
  EXPECT_EQ(port.Count(Op::kOpen), 1);
  EXPECT_EQ(link.state.failure_count, 1);
  EXPECT_TRUE(link.Connected());
}

TEST_F(LinkTest, BadChecksumBeforeTheFirstGoodReplyLeavesTheLinkNotConnected) {
  std::vector<uint8_t> corrupt = IdentityReply(0x25);
  corrupt[3] = 0;
  port.Reply(corrupt);
  link.ReadIdentity();
  EXPECT_FALSE(link.Connected());
  EXPECT_EQ(link.state.failure_count, 0);
  EXPECT_TRUE(AllZero(link.IdentityRecord));
  EXPECT_EQ(link.GetControllerVariant(), 1u);
}

TEST_F(LinkTest, GoodIdentityAfterTheLossReconnects) {
  Connect();
  for (int i = 0; i < 4; ++i) link.ReadIdentity();
  ASSERT_FALSE(link.Connected());
  port.Reply(IdentityReply(0x26));
  link.ReadIdentity();
  EXPECT_TRUE(link.Connected());
  EXPECT_EQ(link.state.failure_count, 0);
  EXPECT_EQ(link.state.poll_period, 50u);
  EXPECT_EQ(Bytes(link.IdentityRecord), IdentityReply(0x26));
  // The data records come back only with their own polls.
  EXPECT_TRUE(AllZero(link.LiveDataRecord));
  port.Reply(LiveReply(0x44));
  link.ReadLiveData();
  EXPECT_EQ(Bytes(link.LiveDataRecord), LiveReply(0x44));
}

// --- requests 2, 3 and 4: the three outcomes ----------------------------------------------------

struct PollCase {
  const char* name;
  ExchangeOutcome (ControllerLink::*poll)();
  int length;
  uint8_t request;
};

const uint8_t* RecordOf(const ControllerLink& link, uint8_t request) {
  switch (request) {
    case 2:
      return link.LiveDataRecord;
    case 3:
      return link.ConfigRecord;
    default:
      return link.OptionsRecord;
  }
}

class LinkPollTest : public LinkTest, public ::testing::WithParamInterface<PollCase> {
 protected:
  void Poll() { (link.*GetParam().poll)(); }
  std::vector<uint8_t> Record() const {
    const uint8_t* r = RecordOf(link, GetParam().request);
    return std::vector<uint8_t>(r, r + GetParam().length);
  }
  std::vector<uint8_t> Reply(uint8_t fill) const {
    return GoodReply(std::vector<uint8_t>(static_cast<size_t>(GetParam().length - 2), fill));
  }
};

TEST_P(LinkPollTest, GoodReplyIsStoredWhole) {
  Connect();
  const std::vector<uint8_t> before = Record();
  port.Reply(Reply(0x5A));
  Poll();
  EXPECT_EQ(port.Ops(), (std::vector<Op>{Op::kPurgeOutput, Op::kPurgeInput, Op::kWrite, Op::kRead}));
  EXPECT_EQ(port.frames.at(0)[1], GetParam().request);
  EXPECT_NE(Record(), before);
  EXPECT_EQ(Record(), Reply(0x5A));
}

TEST_P(LinkPollTest, SilenceOrAnotherLeadByteKeepsTheRecordAndThePort) {
  Connect();
  const std::vector<uint8_t> before = Record();
  port.Silence();
  Poll();
  std::vector<uint8_t> wrong_lead = Reply(0x5A);
  wrong_lead[0] = 0x00;
  port.Reply(wrong_lead);
  Poll();
  EXPECT_EQ(Record(), before);
  EXPECT_TRUE(link.state.port_open);
  EXPECT_EQ(port.Count(Op::kClose), 0);
  EXPECT_EQ(link.state.failure_count, 0);  // only the identity poll counts failures
  EXPECT_TRUE(link.Connected());
}

TEST_P(LinkPollTest, BadChecksumClosesThePortAndKeepsTheRecord) {
  Connect();
  const std::vector<uint8_t> before = Record();
  std::vector<uint8_t> corrupt = Reply(0x5A);
  corrupt.back() ^= 0x80;
  port.Reply(corrupt);
  Poll();
  EXPECT_EQ(port.Ops(), (std::vector<Op>{Op::kPurgeOutput, Op::kPurgeInput, Op::kWrite, Op::kRead, Op::kPurgeInput,
                                        Op::kClose}));
  EXPECT_FALSE(link.state.port_open);
  EXPECT_EQ(Record(), before);
  EXPECT_EQ(link.state.failure_count, 0);
  EXPECT_TRUE(link.Connected());
  port.Reply(Reply(0x5B));
  Poll();
  EXPECT_EQ(port.Count(Op::kOpen), 1);
  EXPECT_EQ(Record(), Reply(0x5B));
}

TEST_P(LinkPollTest, ShortReplyIsPurgedAndRejectedByItsChecksum) {
  Connect();
  const std::vector<uint8_t> before = Record();
  std::vector<uint8_t> truncated = Reply(0x5A);
  truncated.resize(5);
  port.Reply(truncated);
  Poll();
  EXPECT_EQ(port.Ops(), (std::vector<Op>{Op::kPurgeOutput, Op::kPurgeInput, Op::kWrite, Op::kRead, Op::kPurgeInput,
                                        Op::kPurgeInput, Op::kClose}));
  EXPECT_EQ(Record(), before);
}

TEST_P(LinkPollTest, ShortReplyWhoseZeroTailMatchesTheChecksumIsStored) {
  Connect();
  // 0x65 + 0x9B = 0x100: with every missing byte zero the checksum (0) matches.
  port.Reply({0x65, 0x9B});
  Poll();
  std::vector<uint8_t> expected(static_cast<size_t>(GetParam().length), 0);
  expected[0] = 0x65;
  expected[1] = 0x9B;
  EXPECT_EQ(Record(), expected);
}

TEST_P(LinkPollTest, StaleBytesOnTheLineArePurgedBeforeTheRequest) {
  Connect();
  port.input = {0x65};  // a late byte from an earlier exchange would shift the reply
  port.Reply(Reply(0x5A));
  Poll();
  EXPECT_EQ(Record(), Reply(0x5A));
  EXPECT_TRUE(link.state.port_open);
}

INSTANTIATE_TEST_SUITE_P(Requests, LinkPollTest,
                         ::testing::Values(PollCase{"LiveData", &ControllerLink::ReadLiveData, 11, 2},
                                           PollCase{"Config", &ControllerLink::ReadConfig, 15, 3},
                                           PollCase{"Options", &ControllerLink::ReadOptions, 16, 4}),
                         [](const ::testing::TestParamInfo<PollCase>& param_info) { return param_info.param.name; });

// --- variant and writes -------------------------------------------------------------------------

TEST_F(LinkTest, VariantAndFirmwareComeFromIdentityByte2) {
  EXPECT_EQ(link.GetControllerVariant(), 1u);
  EXPECT_EQ(link.state.firmware_version, 0u);
  const struct {
    uint8_t byte2;
    uint32_t variant;
    uint32_t version;
  } cases[] = {{0x45, 3, 5}, {0x40, 3, 0}, {0x25, 2, 5}, {0xFF, 8, 31}, {0x1F, 1, 31}};
  for (const auto& c : cases) {
    port.Reply(IdentityReply(c.byte2));
    link.ReadIdentity();
    EXPECT_EQ(link.GetControllerVariant(), c.variant) << int{c.byte2};
    EXPECT_EQ(link.state.firmware_version, c.version) << int{c.byte2};
  }
}

TEST_F(LinkTest, WriteSendsNothingUnlessTheControllerIsVariant2) {
  EXPECT_EQ(link.WriteParameter(16, 40), kWriteNotSent);
  EXPECT_TRUE(port.events.empty());  // not even an open

  port.Reply(IdentityReply(0x45));
  link.ReadIdentity();
  port.ClearRecord();
  EXPECT_EQ(link.WriteParameter(16, 40), kWriteNotSent);
  EXPECT_TRUE(port.events.empty());
}

// After an exchange that brought no whole reply, the controller may still send it late, into a
// later reply: for the next 16 replies, one with bytes right behind it fills no record and
// acknowledges no write. Past them, a whole reply is taken as it stands.
TEST_F(LinkTest, AfterAFailedExchangeAReplyWithBytesBehindItFillsNothingFor16Replies) {
  Connect();
  port.Silence();
  link.ReadLiveData();  // no reply: the watch starts

  std::vector<uint8_t> followed = ConfigReply(0x44);
  followed.push_back(0x65);
  port.Reply(followed);
  link.ReadConfig();
  EXPECT_EQ(Bytes(link.ConfigRecord), ConfigReply(0x22));
  EXPECT_FALSE(link.state.port_open);

  port.Reply({0x65, 0x79, 0x00, 0x65});
  EXPECT_EQ(link.WriteParameter(21, 0x79), 0);
  EXPECT_EQ(Bytes(link.WriteAcknowledgement), (std::vector<uint8_t>{0, 0, 0}));

  // 16 replies standing alone end the watch.
  for (int i = 0; i < 16; ++i) {
    port.Reply(LiveReply(static_cast<uint8_t>(i)));
    link.ReadLiveData();
  }
  port.Reply({0x65, 0x79, 0x00, 0x65});
  EXPECT_EQ(link.WriteParameter(21, 0x79), kWriteAcknowledged);
  EXPECT_EQ(Bytes(link.WriteAcknowledgement), (std::vector<uint8_t>{0x65, 0x79, 0x00}));
}

TEST_F(LinkTest, WriteSendsOneFrameAndReturnsTheAcknowledgementLength) {
  Connect();
  port.Reply({0x65, 0x79, 0x00});
  EXPECT_EQ(link.WriteParameter(21, 0x79), kWriteAcknowledged);
  EXPECT_EQ(port.frames, (std::vector<std::array<uint8_t, 4>>{{0x65, 21, 0x79, 0xF3}}));
  EXPECT_EQ(port.Ops(), (std::vector<Op>{Op::kPurgeInput, Op::kPurgeOutput, Op::kWrite, Op::kRead, Op::kPurgeInput}));
  EXPECT_EQ(Bytes(link.WriteAcknowledgement), (std::vector<uint8_t>{0x65, 0x79, 0x00}));
  // The stored record is not changed by a write; the next poll brings the value back.
  EXPECT_EQ(Bytes(link.OptionsRecord), OptionsReply(0x33));

  port.Reply({0x65});
  EXPECT_EQ(link.WriteParameter(21, 0x80), 1);
  EXPECT_EQ(link.WriteParameter(21, 0x80), 0);
  // Extra bytes of an over-long acknowledgement are discarded, not left for the next poll. Right
  // after acknowledgements that did not come whole they may be a late one's, so this one counts
  // as none.
  port.Reply({0x65, 0x01, 0x02, 0x03, 0x04});
  EXPECT_EQ(link.WriteParameter(21, 0x80), 0);
  EXPECT_TRUE(port.input.empty());
}

TEST_F(LinkTest, WriteDelayPausesBetweenTheFrameAndTheAcknowledgement) {
  Connect();
  link.state.WriteDelay = 250;
  port.Reply({0x65, 51, 0x00});
  EXPECT_EQ(link.WriteParameter(30, 51), kWriteAcknowledged);
  EXPECT_EQ(port.Ops(), (std::vector<Op>{Op::kPurgeInput, Op::kPurgeOutput, Op::kWrite, Op::kSleep, Op::kRead,
                                        Op::kPurgeInput}));
  EXPECT_EQ(port.sleeps, (std::vector<uint32_t>{250}));
  link.state.WriteDelay = 0;
  link.WriteParameter(30, 51);
  EXPECT_EQ(port.Count(Op::kSleep), 1);
}

TEST_F(LinkTest, WritesAreStillAttemptedAfterTheLoss) {
  Connect();
  for (int i = 0; i < 3; ++i) link.ReadIdentity();
  ASSERT_FALSE(link.Connected());
  ASSERT_FALSE(link.state.port_open);
  port.ClearRecord();
  EXPECT_EQ(link.WriteParameter(18, 100), 0);
  EXPECT_EQ(port.Count(Op::kOpen), 1);
  EXPECT_EQ(port.frames.size(), 1u);
}

// --- the poll tick ------------------------------------------------------------------------------

std::vector<int> Requests(const ScriptedPort& port) {
  std::vector<int> requests;
  for (const auto& f : port.frames) requests.push_back(f[1]);
  return requests;
}

TEST(PollTick, RecordsAreReadOnlyFromAnAnsweringVariant2Controller) {
  const struct {
    std::vector<uint8_t> identity;  // empty: silent
    bool connected_before;
    unsigned records;
    std::vector<int> requests;
    bool gated;
    bool fresh;
  } cases[] = {
      {IdentityReply(0x25), false, kPollLiveData | kPollConfig | kPollOptions, {1, 2, 3, 4}, true, true},
      {IdentityReply(0x25), false, kPollConfig, {1, 3}, true, false},
      {IdentityReply(0x25), false, kPollOptions, {1, 4}, true, false},
      {IdentityReply(0x45), false, kPollLiveData, {1}, false, false},  // variant 3
      {{}, false, kPollLiveData, {1}, false, false},
      // One silent identity does not lose the controller: its records are still read, but the
      // tick brings no fresh live data.
      {{}, true, kPollLiveData, {1, 2}, true, false},
  };
  for (const auto& c : cases) {
    ScriptedPort port;
    ControllerLink link(port);
    if (c.connected_before) {
      port.Reply(IdentityReply(0x25));
      link.ReadIdentity();
      port.ClearRecord();
    }
    port.Reply(c.identity);
    port.Reply(LiveReply(0x11));
    port.Reply(ConfigReply(0x22));
    port.Reply(OptionsReply(0x33));
    if ((c.records & kPollLiveData) == 0) port.replies.erase(port.replies.begin() + 1);
    if ((c.records & kPollConfig) == 0) port.replies.erase(port.replies.end() - 2);
    const PollResult result = PollController(link, c.records);
    EXPECT_EQ(Requests(port), c.requests) << c.records;
    EXPECT_EQ(result.gated, c.gated) << c.records;
    EXPECT_EQ(static_cast<bool>(result), c.gated) << c.records;
    EXPECT_EQ(result.FreshLiveData(), c.fresh) << c.records;
  }
}

TEST(PollTick, ReadingsCadenceReadsTheSettingsOnEveryFourthAnsweredTick) {
  ScriptedPort port;
  ControllerLink link(port);
  uint32_t count = 0;
  for (int tick = 1; tick <= 9; ++tick) {
    port.Reply(IdentityReply(tick == 5 ? 0x45 : 0x25));  // one tick from another variant is not counted
    if (tick != 5) port.Reply(LiveReply(0x11));
    if (tick == 4 || tick == 9) {
      port.Reply(ConfigReply(0x22));
      port.Reply(OptionsReply(0x33));
    }
    EXPECT_EQ(PollReadingsCadence(link, count).FreshLiveData(), tick != 5) << tick;
  }
  EXPECT_EQ(Requests(port), (std::vector<int>{1, 2, 1, 2, 1, 2, 1, 2, 3, 4, 1, 1, 2, 1, 2, 1, 2, 1, 2, 3, 4}));
  EXPECT_EQ(Bytes(link.OptionsRecord), OptionsReply(0x33));
}

// A line whose reads fail outright (a device error rather than a time-out).
class FailingPort : public ScriptedPort {
 public:
  int Read(uint8_t*, int count) override {
    events.push_back({Op::kRead, count});
    return -1;
  }
};

TEST(LinkPortErrors, FailedReadIsNoReplyAndNeverLooksLikeANotSentWrite) {
  FailingPort port;
  ControllerLink link(port);
  link.IdentityRecord[2] = 0x25;  // variant 2 from an earlier session
  link.ReadIdentity();
  EXPECT_EQ(link.state.failure_count, 1);
  EXPECT_EQ(link.WriteParameter(16, 1), 0);
}

}  // namespace
}  // namespace korvel
