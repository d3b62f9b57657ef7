// Restore points: where they go, that each is an ordinary configuration file of the records, that
// a record without a controller reply is never kept, and that the folder stays bounded without
// touching the fitter's own files.
#include "files/restore_points.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "link/clock.hpp"
#include "link/parameter_map.hpp"
#include "sim/controller_model.hpp"
#include "sim/simulated_port.hpp"

namespace korvel {
namespace {

namespace fs = std::filesystem;

constexpr int64_t kWall = 1709647629123;  // 2024-03-05T14:07:09.123Z

class RestorePointsTest : public ::testing::Test {
 protected:
  RestorePointsTest() : port(model, clock), link(port) {
    char name[] = "/tmp/korvel-restore-XXXXXX";
    root = mkdtemp(name);
    folder = (root / "data" / "korvel" / "restore-points").string();
    BuildExpectedStrings(strings);
  }
  ~RestorePointsTest() override { fs::remove_all(root); }

  void ReadRecords() {
    ASSERT_EQ(link.ReadIdentity(), ExchangeOutcome::kGood);
    ASSERT_EQ(link.ReadConfig(), ExchangeOutcome::kGood);
    ASSERT_EQ(link.ReadOptions(), ExchangeOutcome::kGood);
    ASSERT_EQ(link.ReadLiveData(), ExchangeOutcome::kGood);
  }

  VirtualClock clock;
  sim::ControllerModel model;
  sim::SimulatedPort port;
  ControllerLink link;
  ExpectedStrings strings{};
  fs::path root;
  std::string folder;
};

TEST(RestorePointFolderRules, FollowTheBaseDirectoryRules) {
  struct Case {
    const char* xdg;
    const char* home;
    const char* path;
  };
  const Case cases[] = {
      {"/data", "/home/fitter", "/data/korvel/restore-points"},
      {nullptr, "/home/fitter", "/home/fitter/.local/share/korvel/restore-points"},
      {"", "/home/fitter", "/home/fitter/.local/share/korvel/restore-points"},
      // A relative XDG_DATA_HOME would move with the working folder: ignored.
      {"data", "/home/fitter", "/home/fitter/.local/share/korvel/restore-points"},
      {nullptr, nullptr, ""},
  };
  for (const Case& c : cases) {
    const RestorePointFolder found = RestorePointFolderFor(c.xdg, c.home, "C:\\Users\\fitter\\AppData\\Local");
    EXPECT_EQ(found.path, c.path) << (c.xdg ? c.xdg : "(unset)");
    EXPECT_EQ(found.reason.empty(), *c.path != '\0');
  }
}

TEST_F(RestorePointsTest, AKeptPointIsTheSavedFileOfTheControllersParameters) {
  // Never from records that hold no reply: such a file would write zeros into a car.
  RestorePointResult kept = KeepRestorePoint(folder, strings, link, kWall, RestoreReason::kBeforeLoad);
  EXPECT_FALSE(kept.ok);
  EXPECT_FALSE(fs::exists(folder));

  model.SetParameter(AddressOf(Parameter::AttMax), 33);
  ReadRecords();
  kept = KeepRestorePoint(folder, strings, link, kWall, RestoreReason::kBeforeLoad);
  ASSERT_TRUE(kept.ok) << kept.reason;
  EXPECT_EQ(fs::path(kept.path).filename(), "2024-03-05T14-07-09.123Z_before-load.kvs");
  // The same bytes a File > Save As of these records writes.
  const fs::path saved = root / "saved.kvs";
  ASSERT_TRUE(SaveConfigurationFile(strings, link, saved.c_str()).ok);
  std::ifstream a(kept.path, std::ios::binary), b(saved, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(a), {}), std::string(std::istreambuf_iterator<char>(b), {}));
  EXPECT_FALSE(DiffersFromNewestRestorePoint(folder, strings, link));

  // A second one in the same millisecond does not replace the first.
  const RestorePointResult again = KeepRestorePoint(folder, strings, link, kWall, RestoreReason::kBeforeReset);
  ASSERT_TRUE(again.ok);
  const RestorePointResult third = KeepRestorePoint(folder, strings, link, kWall, RestoreReason::kBeforeReset);
  ASSERT_TRUE(third.ok);
  EXPECT_NE(third.path, again.path);
  const std::vector<RestorePoint> points = ListRestorePoints(folder);
  ASSERT_EQ(points.size(), 3u);
  EXPECT_EQ(points[0].time, "2024-03-05T14:07:09.123Z");
  EXPECT_EQ(points[0].reason, "before-load");
  EXPECT_EQ(points[2].reason, "before-reset");

  model.SetParameter(AddressOf(Parameter::AttMax), 34);
  ReadRecords();
  EXPECT_TRUE(DiffersFromNewestRestorePoint(folder, strings, link));
}

TEST_F(RestorePointsTest, TheNewestFiveHundredStayAndOtherFilesAreLeftAlone) {
  ReadRecords();
  ASSERT_TRUE(KeepRestorePoint(folder, strings, link, kWall, RestoreReason::kConnection).ok);
  const fs::path first = ListRestorePoints(folder).front().path;
  for (int i = 1; i < kRestorePointLimit; ++i) {
    const std::string seconds = (i % 60 < 10 ? "0" : "") + std::to_string(i % 60);
    const std::string minutes = std::to_string(i / 60 + 20);
    fs::copy_file(first, fs::path(folder) / ("2024-03-05T14-" + minutes + "-" + seconds + ".123Z_connection.kvs"));
  }
  std::ofstream(fs::path(folder) / "my car.kvs") << "kept by the fitter";
  std::ofstream(fs::path(folder) / "0000-00-00T00-00-00.000Z_notes.kvs") << "not ours either";
  ASSERT_TRUE(KeepRestorePoint(folder, strings, link, kWall + 3600000, RestoreReason::kBeforeLoad).ok);
  const std::vector<RestorePoint> points = ListRestorePoints(folder);
  ASSERT_EQ(points.size(), static_cast<size_t>(kRestorePointLimit));
  EXPECT_EQ(points.front().time, "2024-03-05T14:20:01.123Z");  // the oldest went
  EXPECT_EQ(points.back().reason, "before-load");
  EXPECT_TRUE(fs::exists(fs::path(folder) / "my car.kvs"));
  EXPECT_TRUE(fs::exists(fs::path(folder) / "0000-00-00T00-00-00.000Z_notes.kvs"));
}

}  // namespace
}  // namespace korvel
