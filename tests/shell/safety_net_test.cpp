// The fitter's safety net in the window program: restore points once per connection and before
// every load and factory reset, a drive recorded from the pages' own polls, and the caption that
// says why the port is closed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/drive_log.hpp"
#include "files/restore_points.hpp"
#include "link/parameter_map.hpp"
#include "shell/safety_net.hpp"
#include "sim/replay.hpp"
#include "tests/shell/shell_fixture.hpp"

namespace korvel::testing {
namespace {

constexpr int64_t kWallBase = 1709647629000;  // 2024-03-05T14:07:09.000Z
constexpr uint8_t kAttMaxAddress = 16;

class SafetyNetTest : public ShellTest {
 protected:
  void StartWithRestorePoints() {
    Start();
    folder_ = (root_ / "points").string();
    app().safety.folder = folder_;
    app().safety.wall_clock = [this] { return kWallBase + static_cast<int64_t>(clock_.NowMs()); };
  }

  std::vector<RestorePoint> Points() { return ListRestorePoints(folder_); }
  uint8_t KeptAttMax(const RestorePoint& point) {
    ExpectedStrings strings{};
    BuildExpectedStrings(strings);
    const LoadedConfiguration loaded = ReadConfigurationFile(strings, point.path.c_str());
    EXPECT_EQ(loaded.status, LoadStatus::kOk) << point.path;
    return loaded.values[static_cast<int>(Parameter::AttMax)];
  }
  void LoseAndRegainTheController() {
    model_.faults.silence = true;
    host().RunFor(3000);
    ASSERT_FALSE(app().link.Connected());
    model_.faults.silence = false;
    host().RunFor(2000);
    ASSERT_TRUE(app().link.Connected());
  }

  std::string folder_;
};

TEST_F(SafetyNetTest, EveryChangeTheFitterCannotUndoOnTheSpotKeepsTheSetBeforeIt) {
  StartWithRestorePoints();
  model_.SetParameter(kAttMaxAddress, 11);
  ConnectAndPoll();
  ASSERT_EQ(Points().size(), 1u);
  EXPECT_EQ(Points()[0].reason, "connection");
  EXPECT_EQ(KeptAttMax(Points()[0]), 11);
  // Edits during the connection are the fitter's own work: only once per connection.
  model_.SetParameter(kAttMaxAddress, 99);
  host().RunFor(1000);
  EXPECT_EQ(Points().size(), 1u);
  model_.SetParameter(kAttMaxAddress, 11);

  // A new connection to the same set keeps nothing new; to a changed set it does.
  LoseAndRegainTheController();
  EXPECT_EQ(Points().size(), 1u);
  model_.faults.silence = true;
  host().RunFor(3000);
  model_.SetParameter(kAttMaxAddress, 12);
  model_.faults.silence = false;
  host().RunFor(2000);
  ASSERT_EQ(Points().size(), 2u);
  EXPECT_EQ(KeptAttMax(Points()[1]), 12);

  // File > Open from the Oscilloscope page, which polls only live data: the set is read afresh.
  const std::string file = (root_ / "other.kvs").string();
  host().UserMenuCommand(40015);  // nothing chosen: the dialog is cancelled
  host().save_file_answers.push_back(file);
  host().UserMenuCommand(40015);
  host().UserMenuCommand(40010);
  host().RunFor(500);
  model_.SetParameter(kAttMaxAddress, 13);  // changed behind the page's back
  host().open_file_answers.push_back(file);
  host().UserMenuCommand(40014);
  EXPECT_EQ(model_.Parameter(kAttMaxAddress), 12);
  ASSERT_EQ(Points().size(), 3u);
  EXPECT_EQ(Points()[2].reason, "before-load");
  EXPECT_EQ(KeptAttMax(Points()[2]), 13);

  host().UserMenuCommand(40008);
  ASSERT_TRUE(page()->UserClick(126));
  ASSERT_EQ(Points().size(), 4u);
  EXPECT_EQ(Points()[3].reason, "before-reset");
  EXPECT_EQ(KeptAttMax(Points()[3]), 12);
  EXPECT_EQ(model_.Parameter(kAttMaxAddress), 40);

  // File > Restore point... opens in the folder; loading one brings the car back and is itself
  // undoable.
  host().open_file_answers.push_back(Points()[2].path);
  host().UserMenuCommand(kCommandRestorePoint);
  EXPECT_EQ(host().open_file_requests.back().folder, folder_);
  EXPECT_EQ(model_.Parameter(kAttMaxAddress), 13);
  ASSERT_EQ(Points().size(), 5u);
  EXPECT_EQ(KeptAttMax(Points()[4]), 40);
  EXPECT_EQ(host().message_boxes.size(), 1u) << "only the reset's own message";
}

TEST_F(SafetyNetTest, ARestorePointThatCannotBeWrittenIsSaidAndTheLoadGoesOn) {
  StartWithRestorePoints();
  WriteWholeFile(root_ / "points", "a file where the folder should be");
  ConnectAndPoll();
  EXPECT_NE(host().main_title.find("brak punktu przywracania"), std::string::npos) << host().main_title;

  const std::string file = (root_ / "car.kvs").string();
  host().save_file_answers.push_back(file);
  host().UserMenuCommand(40015);
  model_.SetParameter(kAttMaxAddress, 5);
  host().open_file_answers.push_back(file);
  host().UserMenuCommand(40014);
  EXPECT_NE(model_.Parameter(kAttMaxAddress), 5) << "the load went on";
  ASSERT_EQ(host().message_boxes.size(), 1u);
  EXPECT_EQ(host().message_boxes[0].caption, "Punkt przywracania");
  EXPECT_NE(host().message_boxes[0].text.find("Not a directory"), std::string::npos);
}

TEST_F(SafetyNetTest, ARecordedDriveHoldsOneRowPerPollAndReplays) {
  Start();
  app().safety.wall_clock = [this] { return kWallBase + static_cast<int64_t>(clock_.NowMs()); };
  EXPECT_FALSE(Item(kCommandRecordDrive).checked);
  EXPECT_FALSE(Item(kCommandStopRecording).enabled);
  ConnectAndPoll();
  host().UserMenuCommand(40010);
  const fs::path log = root_ / "drive.csv";
  host().save_file_answers.push_back(log.string());
  host().UserMenuCommand(kCommandRecordDrive);
  EXPECT_TRUE(Item(kCommandRecordDrive).checked);
  EXPECT_TRUE(Item(kCommandStopRecording).enabled);
  // The item keeps its state across a language change (a new menu bar).
  host().UserMenuCommand(40034);
  EXPECT_TRUE(Item(kCommandRecordDrive).checked);
  Paint();

  const size_t frames_before = port_.frames.size();
  host().RunFor(1000);
  size_t live_polls = 0;
  for (size_t i = frames_before; i < port_.frames.size(); ++i) live_polls += port_.frames[i][1] == 2 ? 1 : 0;
  // Rows are in the file while the recording runs, not only when it ends.
  std::vector<std::string> lines;
  {
    std::istringstream in(ReadWholeFile(log));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
  }
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], kDriveLogHeader);
  EXPECT_EQ(lines.size() - 1, live_polls);
  const std::string expected = DriveLogRow(app().link, 0, true);
  EXPECT_EQ(lines.back().substr(lines.back().find(',')) + "\n", expected.substr(expected.find(',')))
      << "the row of the last poll, as korvelctl writes it";

  // A lost controller gives the rows korvelctl gives: not answered, at the slow period.
  model_.faults.silence = true;
  host().RunFor(2000);
  host().UserMenuCommand(kCommandStopRecording);
  EXPECT_FALSE(Item(kCommandRecordDrive).checked);
  EXPECT_FALSE(Item(kCommandStopRecording).enabled);
  const std::string text = ReadWholeFile(log);
  EXPECT_NE(text.find(",0,"), std::string::npos);
  host().RunFor(1000);
  EXPECT_EQ(ReadWholeFile(log), text) << "nothing after Stop recording";

  sim::DriveLog replay;
  std::string error;
  EXPECT_TRUE(sim::ParseDriveLog(text, app().link.ConfigRecord[2], replay, error)) << error;
  EXPECT_EQ(replay.ticks.size(), live_polls);
}

TEST_F(SafetyNetTest, TheCaptionSaysWhyThePortCannotBeOpened) {
  port_.device_name = "COM2:";
  port_.refusal = "Permission denied";
  Start();
  Paint();
  host().RunFor(1000);
  EXPECT_EQ(host().main_title, "P175 - COM1: Permission denied");
  host().UserMenuCommand(40013);  // a page that does not poll keeps the reason
  EXPECT_EQ(host().main_title, "P178 - COM1: Permission denied");
  host().UserMenuCommand(40005);
  host().UserMenuCommand(40020);  // another port: COM1's reason goes at once, COM2 opens
  EXPECT_EQ(host().main_title, "P175");
  Paint();
  host().RunFor(1000);
  EXPECT_EQ(host().main_title, "P175");
}

}  // namespace
}  // namespace korvel::testing
