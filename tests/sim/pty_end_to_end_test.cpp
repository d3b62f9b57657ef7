// ControllerLink with the system serial backend against the korvel-sim program over a real
// pseudo-terminal.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/controller_link.hpp"
#include "link/parameter_map.hpp"
#include "sim/controller_model.hpp"
#include "tests/sim/sim_process.hpp"

namespace korvel::sim {
namespace {

using testing::SimProcess;

bool AllZero(const uint8_t* bytes, size_t count) {
  return std::all_of(bytes, bytes + count, [](uint8_t b) { return b == 0; });
}

bool ChecksumOk(const uint8_t* bytes, int count) { return FrameChecksum(bytes, count - 1) == bytes[count - 1]; }

// A fresh folder for links, removed afterwards.
struct TempDir {
  TempDir() {
    char name[] = "/tmp/korvel-sim-test-XXXXXX";
    path = mkdtemp(name);
  }
  ~TempDir() { std::system(("rm -rf '" + path + "'").c_str()); }
  std::string path;
};

std::string LinkTarget(const std::string& path) {
  char target[512];
  const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
  if (n < 0) return "";
  target[n] = '\0';
  return target;
}

struct Session {
  explicit Session(const std::string& device) : port(CreateSystemSerialPort()), link(*port) {
    link.SetPortName(device.c_str());
  }
  std::unique_ptr<SerialPort> port;
  ControllerLink link;
};

TEST(PtyEndToEndTest, ConnectsAndPollsTheFourRecordsAndLogsEachFrame) {
  SimProcess sim;
  ASSERT_TRUE(sim.Start({"--log"}));
  EXPECT_EQ(sim.device.rfind("/dev/", 0), 0u) << sim.device;
  Session s(sim.device);
  s.link.ReadIdentity();
  ASSERT_TRUE(s.link.Connected());
  const uint8_t identity[4] = {0x65, kHardwareRevision, 0x25, static_cast<uint8_t>(0x65 + kHardwareRevision + 0x25)};
  EXPECT_EQ(std::memcmp(s.link.IdentityRecord, identity, 4), 0);
  s.link.ReadLiveData();
  s.link.ReadConfig();
  s.link.ReadOptions();
  EXPECT_EQ(s.link.LiveDataRecord[0], 0x65);
  EXPECT_TRUE(ChecksumOk(s.link.LiveDataRecord, 11));
  EXPECT_TRUE(ChecksumOk(s.link.ConfigRecord, 15));
  EXPECT_TRUE(ChecksumOk(s.link.OptionsRecord, 16));
  for (int i = 0; i < kParameterCount; ++i) {
    EXPECT_EQ(StoredParameterValue(s.link, i), kFactorySettings[ParameterMap[i].address]) << ParameterMap[i].name;
  }

  const std::vector<std::string> log = sim.OutputFor(300);
  ASSERT_EQ(log.size(), 8u);
  const char* expected_rx[] = {"rx 65 01 01 67", "rx 65 02 02 69", "rx 65 03 03 6B", "rx 65 04 04 6D"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_NE(log[2 * i].find(expected_rx[i]), std::string::npos) << log[2 * i];
    EXPECT_NE(log[2 * i + 1].find(" tx 65 "), std::string::npos) << log[2 * i + 1];
    // Seconds since start with milliseconds, then the direction.
    double seconds = -1.0;
    EXPECT_EQ(std::sscanf(log[2 * i].c_str(), "%lf", &seconds), 1);
    EXPECT_GE(seconds, 0.0);
  }
  EXPECT_NE(log[1].find("tx 65 12 25 9C"), std::string::npos) << log[1];
  // The options reply: 16 bytes in hex after "tx".
  const std::string options_line = log[7].substr(log[7].find("tx") + 2);
  EXPECT_EQ(options_line.size(), 16u * 3u) << log[7];
  EXPECT_EQ(sim.Stop(), 0);
}

TEST(PtyEndToEndTest, EveryParameterWriteShowsInTheNextPoll) {
  SimProcess sim;
  ASSERT_TRUE(sim.Start({}));
  Session s(sim.device);
  s.link.ReadIdentity();
  ASSERT_TRUE(s.link.Connected());
  for (int i = 0; i < kParameterCount; ++i) {
    const ParameterInfo& p = ParameterMap[i];
    const auto value = static_cast<uint8_t>(0x21 + 5 * i);
    EXPECT_EQ(s.link.WriteParameter(p.address, value), kWriteAcknowledged) << p.name;
    s.link.ReadLiveData();
    s.link.ReadConfig();
    s.link.ReadOptions();
    EXPECT_EQ(StoredParameterValue(s.link, i), value) << p.name;
  }
}

TEST(PtyEndToEndTest, SilenceDisconnectsOnTheThirdIdentityAndZeroesTheRecords) {
  SimProcess sim;
  ASSERT_TRUE(sim.Start({}));
  Session s(sim.device);
  s.link.ReadIdentity();
  s.link.ReadLiveData();
  s.link.ReadConfig();
  s.link.ReadOptions();
  ASSERT_TRUE(s.link.Connected());
  ASSERT_TRUE(sim.Command("silence on"));
  s.link.ReadIdentity();
  s.link.ReadIdentity();
  EXPECT_TRUE(s.link.Connected());
  EXPECT_FALSE(AllZero(s.link.OptionsRecord, 16));
  s.link.ReadIdentity();
  EXPECT_FALSE(s.link.Connected());
  EXPECT_FALSE(s.link.state.port_open);
  EXPECT_EQ(s.link.state.poll_period, kLostPollPeriodMs);
  EXPECT_TRUE(AllZero(s.link.LiveDataRecord, 11));
  EXPECT_TRUE(AllZero(s.link.ConfigRecord, 15));
  EXPECT_TRUE(AllZero(s.link.OptionsRecord, 16));
  // The controller comes back: the next identity reopens the port and connects.
  ASSERT_TRUE(sim.Command("silence off"));
  s.link.ReadIdentity();
  EXPECT_TRUE(s.link.Connected());
}

TEST(PtyEndToEndTest, WrongChecksumClosesThePortAndLeavesTheRecords) {
  SimProcess sim;
  ASSERT_TRUE(sim.Start({}));
  Session s(sim.device);
  s.link.ReadIdentity();
  s.link.ReadConfig();
  s.link.ReadOptions();
  uint8_t config[15];
  uint8_t options[16];
  std::memcpy(config, s.link.ConfigRecord, sizeof config);
  std::memcpy(options, s.link.OptionsRecord, sizeof options);
  EXPECT_EQ(s.link.WriteParameter(7, 25), kWriteAcknowledged);
  ASSERT_TRUE(sim.Command("bad-checksum 1"));
  s.link.ReadConfig();
  EXPECT_FALSE(s.link.state.port_open);
  EXPECT_EQ(std::memcmp(config, s.link.ConfigRecord, sizeof config), 0);
  s.link.ReadIdentity();
  EXPECT_FALSE(s.link.state.port_open);
  EXPECT_EQ(s.link.state.failure_count, 0);
  EXPECT_TRUE(s.link.Connected());
  s.link.ReadOptions();
  EXPECT_EQ(std::memcmp(options, s.link.OptionsRecord, sizeof options), 0);
  ASSERT_TRUE(sim.Command("bad-checksum 0"));
  s.link.ReadConfig();
  EXPECT_EQ(s.link.ConfigRecord[3], 25);
}

TEST(PtyEndToEndTest, SurvivesTheToolClosingAndReopeningThePort) {
  SimProcess sim;
  ASSERT_TRUE(sim.Start({}));
  Session s(sim.device);
  for (int round = 0; round < 8; ++round) {
    s.link.ReadIdentity();
    ASSERT_TRUE(s.link.Connected()) << round;
    s.link.ReadLiveData();
    EXPECT_EQ(s.link.LiveDataRecord[0], 0x65) << round;
    s.link.ClosePort();
    if (round % 2 == 1) usleep(120000);  // longer than the server's look-again period
  }
  // A request left unanswered when the port closed does not leak into the next session.
  s.link.ReadIdentity();
  EXPECT_TRUE(s.link.Connected());
}

TEST(PtyEndToEndTest, LinkIsReplacedWhenStaleAndRemovedOnTermination) {
  TempDir dir;
  const std::string link = dir.path + "/bin/ports/COM1";
  mkdir((dir.path + "/bin").c_str(), 0755);
  mkdir((dir.path + "/bin/ports").c_str(), 0755);
  ASSERT_EQ(symlink("/dev/nonexistent-stale", link.c_str()), 0);
  SimProcess sim;
  ASSERT_TRUE(sim.Start({"--link", link}));
  EXPECT_EQ(LinkTarget(link), sim.device);
  Session s(link);
  s.link.ReadIdentity();
  EXPECT_TRUE(s.link.Connected());
  s.link.ClosePort();
  EXPECT_EQ(sim.Stop(SIGINT), 0);
  struct stat st{};
  EXPECT_NE(lstat(link.c_str(), &st), 0);  // gone
}

TEST(PtyEndToEndTest, RefusesToReplaceSomethingThatIsNotALink) {
  TempDir dir;
  const std::string path = dir.path + "/COM1";
  std::FILE* f = std::fopen(path.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  SimProcess sim;
  ASSERT_TRUE(sim.Start({"--link", path}, false));
  EXPECT_EQ(sim.Wait(5000), 1);
  EXPECT_NE(sim.ErrorText().find("not a symlink"), std::string::npos);
  struct stat st{};
  ASSERT_EQ(lstat(path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
}

TEST(PtyEndToEndTest, UnplugAndReplugMoveTheLinkToTheNewDevice) {
  TempDir dir;
  const std::string link = dir.path + "/COM1";
  SimProcess sim;
  ASSERT_TRUE(sim.Start({"--link", link}));
  Session s(link);
  s.link.ReadIdentity();
  ASSERT_TRUE(s.link.Connected());
  ASSERT_TRUE(sim.Command("unplug"));
  struct stat st{};
  EXPECT_NE(lstat(link.c_str(), &st), 0);
  for (int i = 0; i < 3; ++i) s.link.ReadIdentity();
  EXPECT_FALSE(s.link.Connected());
  ASSERT_TRUE(sim.Command("replug"));
  std::string device;
  ASSERT_TRUE(sim.OutputLine(device));
  EXPECT_EQ(LinkTarget(link), device);
  s.link.ReadIdentity();
  EXPECT_TRUE(s.link.Connected());
  EXPECT_EQ(sim.Stop(), 0);
}

TEST(PtyEndToEndTest, PlugSignalsWorkWithoutATerminal) {
  TempDir dir;
  const std::string link = dir.path + "/COM1";
  SimProcess sim;
  ASSERT_TRUE(sim.Start({"--link", link}));
  sim.Signal(SIGUSR1);
  struct stat st{};
  bool gone = false;
  for (int i = 0; i < 200 && !gone; ++i) {
    gone = lstat(link.c_str(), &st) != 0;
    if (!gone) usleep(10000);
  }
  EXPECT_TRUE(gone);
  sim.Signal(SIGUSR2);
  std::string device;
  ASSERT_TRUE(sim.OutputLine(device));
  EXPECT_EQ(LinkTarget(link), device);
  Session s(link);
  s.link.ReadIdentity();
  EXPECT_TRUE(s.link.Connected());
  EXPECT_EQ(sim.Stop(), 0);
}

TEST(PtyEndToEndTest, FaultsFromTheCommandLine) {
  SimProcess sim;
  ASSERT_TRUE(sim.Start({"--other-variant", "--firmware", "7", "--short-ack"}));
  Session s(sim.device);
  s.link.ReadIdentity();
  ASSERT_TRUE(s.link.Connected());
  EXPECT_EQ(s.link.IdentityRecord[2], 0x47);
  EXPECT_EQ(s.link.WriteParameter(7, 25), kWriteNotSent);
  ASSERT_TRUE(sim.Command("other-variant off"));
  s.link.ReadIdentity();
  EXPECT_EQ(s.link.WriteParameter(7, 25), 2);
  ASSERT_TRUE(sim.Command("short-ack off"));
  ASSERT_TRUE(sim.Command("no-ack on"));
  EXPECT_EQ(s.link.WriteParameter(7, 26), 0);
  ASSERT_TRUE(sim.Command("clear"));
  EXPECT_EQ(s.link.WriteParameter(7, 27), kWriteAcknowledged);
}

// With wire timing each exchange takes (request bytes + reply bytes) x 1.04 ms + turnaround, plus
// what the operating system adds. Prints the measurements.
TEST(PtyEndToEndTest, WireTimingMakesExchangesTakeTheirWireTime) {
  SimProcess sim;
  ASSERT_TRUE(sim.Start({"--wire-timing", "--turnaround", "3"}));
  Session s(sim.device);
  s.link.ReadIdentity();
  ASSERT_TRUE(s.link.Connected());
  struct Case {
    const char* name;
    int reply;
    std::function<void()> run;
  };
  const Case cases[] = {{"identity", 4, [&] { s.link.ReadIdentity(); }},
                        {"live data", 11, [&] { s.link.ReadLiveData(); }},
                        {"configuration", 15, [&] { s.link.ReadConfig(); }},
                        {"options", 16, [&] { s.link.ReadOptions(); }},
                        {"write", 3, [&] { s.link.WriteParameter(8, 6); }}};
  std::printf("  exchange       bytes  expected ms  measured ms (median of 15)  min    max\n");
  for (const Case& c : cases) {
    std::vector<double> ms;
    for (int i = 0; i < 15; ++i) {
      const auto start = std::chrono::steady_clock::now();
      c.run();
      ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    const double expected = (4 + c.reply) * 10.0 / 9.6 + 3.0;
    std::printf("  %-14s %2d+%-2d  %8.2f     %8.2f                     %6.2f %6.2f\n", c.name, 4, c.reply, expected,
                ms[7], ms.front(), ms.back());
    EXPECT_GE(ms[7], expected - 0.5) << c.name;
    EXPECT_LE(ms[7], expected + 40.0) << c.name;  // a loaded machine adds scheduling delays
  }
  EXPECT_TRUE(s.link.Connected());
}

TEST(PtyEndToEndTest, HelpExplainsEveryOptionAndBadOptionsAreRefused) {
  {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--help"}, false));
    std::string text;
    for (std::string line; sim.OutputLine(line, 2000);) text += line + "\n";
    EXPECT_EQ(sim.Wait(5000), 0);
    for (const char* option : {"--link", "--log", "--variant", "--firmware", "--scenario", "--seed", "--ambient",
                               "--warmup", "--warm", "--fast-forward", "--wire-timing", "--turnaround", "--silence",
                               "--bad-checksum", "--short-replies", "--noise", "--other-variant", "--no-ack",
                               "--short-ack", "--slow", "unplug", "replug", "SIGINT"}) {
      EXPECT_NE(text.find(option), std::string::npos) << option;
    }
  }
  SimProcess bad;
  ASSERT_TRUE(bad.Start({"--variant", "9"}, false));
  EXPECT_EQ(bad.Wait(5000), 2);
  EXPECT_NE(bad.ErrorText().find("--variant"), std::string::npos);
}

}  // namespace
}  // namespace korvel::sim
