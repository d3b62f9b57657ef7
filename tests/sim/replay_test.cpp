// Reading a recorded drive back into live-data bytes, and which tick is on the line when.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "link/conversions.hpp"
#include "link/live_data.hpp"
#include "sim/replay.hpp"

namespace korvel::sim {
namespace {

const std::string kHeader =
    "time,answered,engine_speed_rpm,lambda_v,second_input,att,att_init,temperature_c,fuel,state_flags,"
    "indicator_flags\n";

TEST(DriveLog, ValuesTurnBackIntoTheBytesThatShowThem) {
  DriveLog log;
  std::string error;
  ASSERT_TRUE(ParseDriveLog(kHeader +
                                "2026-12-07T04:35:32.187Z,1,2600,0.35,1.37,129,128,86,LPG,0xC1,0x4A\n"
                                "2026-12-07T04:35:32.387Z,0,2600,0.35,1.37,129,128,86,LPG,0xC1,0x4A\n"
                                "2026-12-07T04:35:32.587Z,1,0,0.00,0.00,0,0,0,petrol,0x00,0x00\n",
                            0x00, log, error))
      << error;
  ASSERT_EQ(log.ticks.size(), 2u);  // the unanswered row is skipped
  EXPECT_EQ(log.ticks[1].at_ms, 400u);
  EXPECT_EQ(log.length_ms, 600u);
  uint8_t record[11] = {};
  std::copy(log.ticks[0].live.begin(), log.ticks[0].live.end(), record);
  EXPECT_EQ(LiveEngineSpeed(record), 2600u);
  EXPECT_EQ(std::string(VoltText(VoltsFromRaw(record[kLambdaProbe])).text), "0.35");
  EXPECT_EQ(std::string(VoltText(VoltsFromRaw(record[kAuxInput])).text), "1.37");
  EXPECT_EQ(record[kAtt], 129);
  EXPECT_EQ(record[kAttInit], 128);
  EXPECT_EQ(record[kStateFlags], 0xC1);
  EXPECT_EQ(TemperatureFromRaw(record[kTempRaw]), 86);
  std::copy(log.ticks[1].live.begin(), log.ticks[1].live.end(), record);
  EXPECT_EQ(record[kPeriodHi], 255);  // no engine speed

  // A switch on the second input (mode 7) is logged as "ON" or "OFF" and replays by its flag.
  ASSERT_TRUE(ParseDriveLog(kHeader +
                                "2026-12-07T04:35:32.187Z,1,2600,0.35,ON,129,128,86,LPG,0xC1,0x4A\n"
                                "2026-12-07T04:35:32.387Z,1,2600,0.35,OFF,129,128,86,LPG,0xC1,0x5A\n",
                            0x07, log, error))
      << error;
  ASSERT_EQ(log.ticks.size(), 2u);
  EXPECT_EQ(log.ticks[0].live[kIndicatorFlags] & 0x10, 0);
  EXPECT_EQ(log.ticks[1].live[kIndicatorFlags] & 0x10, 0x10);
}

// Tick times come from the wall-clock column, across the ends of a day, a month (leap year or not)
// and a year.
TEST(DriveLog, TickTimesHoldAcrossDayMonthAndYearEnds) {
  const std::string values = ",1,0,0.00,0.00,0,0,0,petrol,0x00,0x00\n";
  const struct {
    const char* first;
    const char* second;
    uint64_t apart_ms;
  } cases[] = {
      {"2026-12-07T23:59:59.950Z", "2026-12-08T00:00:00.050Z", 100},
      {"2024-02-28T23:59:59.000Z", "2024-02-29T00:00:01.000Z", 2000},
      {"2024-02-29T23:59:59.000Z", "2024-03-01T00:00:00.000Z", 1000},
      {"2023-02-28T23:59:59.000Z", "2023-03-01T00:00:00.000Z", 1000},
      {"2100-02-28T23:59:59.000Z", "2100-03-01T00:00:00.000Z", 1000},
      {"2000-02-28T12:00:00.000Z", "2000-03-01T12:00:00.000Z", 2 * 86400000u},
      {"2026-01-31T23:00:00.000Z", "2026-02-01T01:00:00.000Z", 7200000},
      {"2026-12-31T23:59:59.999Z", "2027-01-01T00:00:00.000Z", 1},
      {"2026-07-15T10:20:30.400Z", "2026-08-15T10:20:30.400Z", 31 * 86400000u},
  };
  for (const auto& c : cases) {
    DriveLog log;
    std::string error;
    ASSERT_TRUE(ParseDriveLog(kHeader + c.first + values + c.second + values, 0x00, log, error)) << error;
    ASSERT_EQ(log.ticks.size(), 2u);
    EXPECT_EQ(log.ticks[1].at_ms, c.apart_ms) << c.first << " .. " << c.second;
  }
}

TEST(DriveLog, AMalformedLogIsRefusedWithItsLineNumber) {
  const std::string good = "2026-12-07T04:35:32.187Z,1,2600,0.35,1.37,129,128,86,LPG,0xC1,0x4A\n";
  const struct {
    std::string text;
    std::string error;
  } cases[] = {
      {"", "line 1: the log is empty"},
      {"time,rpm\n" + good, "line 1: not a korvelctl live log"},
      {kHeader + good + "2026-12-07T04:35:32.387Z,1,2600\n", "line 3: 3 columns, not 11"},
      {kHeader + "2026-12-07 04:35:32,1,2600,0.35,1.37,129,128,86,LPG,0xC1,0x4A\n", "line 2: time"},
      {kHeader + good + "2026-12-07T04:35:31.000Z,1,2600,0.35,1.37,129,128,86,LPG,0xC1,0x4A\n",
       "line 3: time goes backwards"},
      {kHeader + "2026-12-07T04:35:32.187Z,1,2610,0.35,1.37,129,128,86,LPG,0xC1,0x4A\n",
       "line 2: engine speed 2610 rpm is not one a controller reports"},
      {kHeader + "2026-12-07T04:35:32.187Z,1,2600,0.355,1.37,129,128,86,LPG,0xC1,0x4A\n", "line 2: lambda voltage"},
      {kHeader + "2026-12-07T04:35:32.187Z,1,2600,0.35,1.37,256,128,86,LPG,0xC1,0x4A\n", "line 2: Att"},
      {kHeader + "2026-12-07T04:35:32.187Z,1,2600,0.35,1.37,129,128,86,petrol,0xC1,0x4A\n",
       "line 2: fuel \"petrol\" does not match the state flags"},
      {kHeader + "2026-12-07T04:35:32.187Z,1,2600,0.35,1.37,129,128,86,LPG,0xZ1,0x4A\n",
       "line 2: state flags \"0xZ1\" are not 0xHH"},
      // Signs and blanks are not numbers, whatever the C library would make of them.
      {kHeader + "2026-12-07T04:35:32.187Z,1,2600,0.35,1.37,+129,128,86,LPG,0xC1,0x4A\n", "line 2: Att"},
      {kHeader + "2026-12-07T04:35:32.187Z,1,2600,0.35,1.37,129, 128,86,LPG,0xC1,0x4A\n", "line 2: AttInit"},
      {kHeader + "2026-12-07T04:35:32.187Z,1,2600,0.35,1.37,129,128,-0,LPG,0xC1,0x4A\n", "line 2: temperature"},
      {kHeader + "2026-12-07T04:35:32.187Z,1,2600,0.35,ON,129,128,86,LPG,0xC1,0x4A\n", "line 2: second input"},
      {kHeader + "2026-12-07T04:35:32.187Z,0,2600,0.35,1.37,129,128,86,LPG,0xC1,0x4A\n",
       "line 2: the log holds no tick the controller answered"},
  };
  for (const auto& c : cases) {
    DriveLog log;
    std::string error;
    EXPECT_FALSE(ParseDriveLog(c.text, 0x00, log, error)) << c.text;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
  }
}

// A log is any file the fitter names: a device, a pipe or a line of megabytes of commas is refused
// before it fills the memory, and a field is echoed with its control characters escaped.
TEST(DriveLog, OnlyPlainFilesWithRowsOfSaneLengthAreRead) {
  char pattern[] = "/tmp/korvel-replay-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::filesystem::path dir = pattern;
  const std::filesystem::path commas = dir / "commas.csv";
  std::ofstream(commas) << kHeader << std::string(8 << 20, ',');
  const std::filesystem::path escape = dir / "escape.csv";
  std::ofstream(escape) << kHeader << "\x1b[2J,1,2600,0.35,1.37,129,128,86,LPG,0xC1,0x4A\n";
  ASSERT_EQ(mkfifo((dir / "pipe.csv").c_str(), 0600), 0);
  const struct {
    std::string path;
    std::string error;
  } cases[] = {
      {"/dev/zero", "it is a device"},
      {(dir / "pipe.csv").string(), "it is a pipe"},
      {commas.string(), "line 2: longer than 1024 characters"},
      {escape.string(), "line 2: time \"\\x1B[2J\""},
  };
  for (const auto& c : cases) {
    DriveLog log;
    std::string error;
    EXPECT_FALSE(ReadDriveLog(c.path.c_str(), 0x00, log, error)) << c.path;
    EXPECT_NE(error.find(c.error), std::string::npos) << error;
  }
  std::filesystem::remove_all(dir);
}

TEST(DriveReplay, TheNearestTickIsOnTheLineAndALoopStartsAgain) {
  DriveLog log;
  for (uint64_t at : {0u, 200u, 400u}) {
    ReplayTick tick;
    tick.at_ms = at;
    log.ticks.push_back(tick);
  }
  log.length_ms = 600;
  const DriveReplay once(log, false);
  const DriveReplay looped(log, true);
  const struct {
    uint64_t at;
    size_t once, looped;
  } cases[] = {{0, 0, 0}, {99, 0, 0}, {101, 1, 1}, {290, 1, 1}, {310, 2, 2}, {490, 2, 2}, {590, 2, 0}, {5000, 2, 1}, {801, 2, 1}};
  for (const auto& c : cases) {
    EXPECT_EQ(once.TickAt(c.at), c.once) << c.at;
    EXPECT_EQ(looped.TickAt(c.at), c.looped) << c.at;
  }
  EXPECT_FALSE(once.Finished(599));
  EXPECT_TRUE(once.Finished(600));
  EXPECT_FALSE(looped.Finished(60000));
}

}  // namespace
}  // namespace korvel::sim
