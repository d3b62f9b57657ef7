// Saving from a controller and loading into another one, through the in-process simulator: what
// reaches the wire, in which order, and where a load stops.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "files/configuration_file.hpp"
#include "link/clock.hpp"
#include "sim/controller_model.hpp"
#include "sim/simulated_port.hpp"

namespace korvel {
namespace {

namespace fs = std::filesystem;

constexpr uint8_t kConfigAddresses[kParameterCount] = {5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18,
                                                       19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 31, 32, 33};

std::array<uint8_t, 4> WriteFrame(uint8_t address, uint8_t value) {
  return {kLeadByte, address, value, static_cast<uint8_t>(kLeadByte + address + value)};
}

// One controller on the bench, with its port and link, connected.
struct Bench {
  Bench() : port(model, clock), link(port) {
    link.ReadIdentity();
    port.ClearFrames();
  }
  // Write frames only (polls are 0x65, n, n, sum with n = 1..4).
  std::vector<std::array<uint8_t, 4>> Writes() const {
    std::vector<std::array<uint8_t, 4>> writes;
    for (const auto& f : port.frames) {
      if (!(f[1] == f[2] && f[1] >= 1 && f[1] <= 4)) writes.push_back(f);
    }
    return writes;
  }

  VirtualClock clock;
  sim::ControllerModel model;
  sim::SimulatedPort port;
  ControllerLink link;
};

class ConfigurationLoadTest : public ::testing::Test {
 protected:
  ConfigurationLoadTest() {
    BuildExpectedStrings(strings);
    char name[] = "/tmp/kvs-load-XXXXXX";
    dir = mkdtemp(name);
  }
  ~ConfigurationLoadTest() override { fs::remove_all(dir); }

  fs::path WriteFile(const std::string& text) {
    const fs::path file = dir / "in.kvs";
    std::ofstream(file, std::ios::binary) << text;
    return file;
  }

  ExpectedStrings strings;
  fs::path dir;
};

TEST_F(ConfigurationLoadTest, MapWritesAddressesFiveToTwentyNineThenThirtyOneToThirtyThree) {
  for (int i = 0; i < kParameterCount; ++i) EXPECT_EQ(ParameterMap[i].address, kConfigAddresses[i]) << i;
}

// Saved from one controller, loaded into a factory-fresh one: exactly the saved bytes go to
// 5..29 and 31..33, in file order, and the second controller ends up with the first one's set.
TEST_F(ConfigurationLoadTest, SaveThenLoadSendsExactlyTheSavedBytesInFileOrder) {
  Bench source;
  for (int i = 0; i < kParameterCount; ++i) {
    source.model.SetParameter(kConfigAddresses[i], static_cast<uint8_t>(3 * i + 40));
  }
  source.link.ReadConfig();
  source.link.ReadOptions();
  source.link.ReadLiveData();
  const fs::path file = dir / "car.kvs";
  ASSERT_TRUE(SaveConfigurationFile(strings, source.link, file.c_str()).ok);

  Bench target;
  const LoadedConfiguration loaded = ReadConfigurationFile(strings, file.c_str());
  ASSERT_EQ(loaded.status, LoadStatus::kOk) << loaded.reason;
  EXPECT_EQ(WriteConfiguration(target.link, loaded.values), std::nullopt);

  ASSERT_EQ(target.port.frames.size(), static_cast<size_t>(kParameterCount));
  for (int i = 0; i < kParameterCount; ++i) {
    EXPECT_EQ(target.port.frames[i], WriteFrame(kConfigAddresses[i], static_cast<uint8_t>(3 * i + 40))) << i;
    EXPECT_EQ(target.model.Parameter(kConfigAddresses[i]), source.model.Parameter(kConfigAddresses[i])) << i;
  }
}

TEST_F(ConfigurationLoadTest, OutOfRangeNumbersGoOutAsTheirLowByte) {
  Bench bench;
  std::string text = "[Korvel]\nVersion=1.2\n[Configuration]\n";
  for (int i = 0; i < kParameterCount; ++i) {
    const char* value = i == 0 ? "300" : i == 1 ? "-1" : "7";
    text += std::string(strings.entries[3 + i]) + " " + value + "\n";
  }
  const LoadedConfiguration loaded = ReadConfigurationFile(strings, WriteFile(text).c_str());
  ASSERT_EQ(loaded.status, LoadStatus::kOk) << loaded.reason;
  EXPECT_EQ(WriteConfiguration(bench.link, loaded.values), std::nullopt);
  ASSERT_EQ(bench.port.frames.size(), static_cast<size_t>(kParameterCount));
  EXPECT_EQ(bench.port.frames[0], WriteFrame(5, 44));
  EXPECT_EQ(bench.port.frames[1], WriteFrame(6, 255));
  EXPECT_EQ(bench.port.frames[2], WriteFrame(7, 7));
}

TEST_F(ConfigurationLoadTest, WithoutAControllerTheFirstWriteFailsAndNothingElseIsSent) {
  uint8_t values[kParameterCount] = {};
  for (int i = 0; i < kParameterCount; ++i) values[i] = static_cast<uint8_t>(i);

  // Nothing ever answered: the variant is unknown (1), so not even the first frame leaves.
  {
    VirtualClock clock;
    sim::ControllerModel model;
    model.faults.silence = true;
    sim::SimulatedPort port(model, clock);
    ControllerLink link(port);
    link.ReadIdentity();
    EXPECT_EQ(WriteConfiguration(link, values), 0);
    EXPECT_EQ(port.frames.size(), 1u);  // the identity poll only
  }
  // The controller answered once and then fell silent: the first write goes out unanswered and
  // the load stops there.
  {
    Bench bench;
    bench.model.faults.silence = true;
    EXPECT_EQ(WriteConfiguration(bench.link, values), 0);
    ASSERT_EQ(bench.port.frames.size(), 1u);
    EXPECT_EQ(bench.port.frames[0], WriteFrame(5, 0));
  }
  // A controller of another variant is never written to.
  {
    Bench bench;
    bench.model.SetVariant(3);
    bench.link.ReadIdentity();
    bench.port.ClearFrames();
    EXPECT_EQ(WriteConfiguration(bench.link, values), 0);
    EXPECT_TRUE(bench.port.frames.empty());
  }
}

// A port that stops the controller's acknowledgements once a given number of frames went out.
class AckCutter : public SerialPort {
 public:
  AckCutter(sim::SimulatedPort& inner, sim::ControllerModel& model, size_t after) : inner_(inner), model_(model),
                                                                                      after_(after) {}
  OpenResult Open(const char* name) override { return inner_.Open(name); }
  void Close() override { inner_.Close(); }
  void PurgeInput() override { inner_.PurgeInput(); }
  void PurgeOutput() override { inner_.PurgeOutput(); }
  int Write(const uint8_t* data, int count) override {
    if (inner_.frames.size() >= after_) model_.faults.short_acknowledgement = true;
    return inner_.Write(data, count);
  }
  int Read(uint8_t* buffer, int count) override { return inner_.Read(buffer, count); }
  void Sleep(uint32_t ms) override { inner_.Sleep(ms); }

 private:
  sim::SimulatedPort& inner_;
  sim::ControllerModel& model_;
  size_t after_;
};

TEST_F(ConfigurationLoadTest, AShortAcknowledgementStopsTheLoadAtThatParameter) {
  VirtualClock clock;
  sim::ControllerModel model;
  sim::SimulatedPort port(model, clock);
  AckCutter cutter(port, model, 1 + 10);  // the identity poll, then ten good writes
  ControllerLink link(cutter);
  link.ReadIdentity();
  uint8_t values[kParameterCount] = {};
  for (int i = 0; i < kParameterCount; ++i) values[i] = static_cast<uint8_t>(200 + i);
  EXPECT_EQ(WriteConfiguration(link, values), 10);
  ASSERT_EQ(port.frames.size(), 1u + 11u);
  EXPECT_EQ(port.frames.back(), WriteFrame(15, 210));
  EXPECT_EQ(model.Parameter(14), 209);  // written before the failure
  EXPECT_NE(model.Parameter(16), 211);  // never sent
}

}  // namespace
}  // namespace korvel
