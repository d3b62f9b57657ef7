// File > Open... and File > Save As... with scripted dialogs against the in-process controller.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "shell/file_commands.hpp"
#include "tests/shell/shell_fixture.hpp"

namespace korvel::testing {
namespace {

constexpr int kAddresses[28] = {5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18,
                                19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 31, 32, 33};

std::vector<std::array<uint8_t, 4>> WriteFrames(const sim::SimulatedPort& port) {
  std::vector<std::array<uint8_t, 4>> writes;
  for (const auto& f : port.frames) {
    if (f[1] >= 5 && f[1] <= 33) writes.push_back(f);
  }
  return writes;
}

class FileCommandTest : public ShellTest {
 protected:
  std::string FilePath(const char* name) { return (root_ / name).string(); }

  const headless::MessageBoxRecord& OnlyMessage() {
    EXPECT_EQ(host().message_boxes.size(), 1u);
    static const headless::MessageBoxRecord kNone{};
    return host().message_boxes.empty() ? kNone : host().message_boxes.back();
  }

  void ExpectDialogRequest(const headless::FileDialogRecord& request, const std::string& title) {
    EXPECT_EQ(request.filter_name, "Korvel settings (*.kvs)");
    EXPECT_EQ(request.pattern, "*.kvs");
    EXPECT_EQ(request.default_extension, "kvs");
    EXPECT_EQ(request.title, title);
    EXPECT_EQ(request.owner, page());
  }

  // A parameter file with every value `value` except the line overrides.
  std::string ParameterFile(int value) {
    std::string text = "[Korvel]\nVersion=1.2\n[Configuration]\n";
    for (int i = 3; i < kExpectedStringCount; ++i) {
      text += std::string(app().expected.entries[i]) + " " + std::to_string(value) + "\n";
    }
    return text;
  }
};

TEST_F(FileCommandTest, SaveWritesTheParameterSetAndLoadSendsItBackInFileOrder) {
  Start();
  ConnectAndPoll();
  const std::string path = FilePath("car.kvs");
  host().save_file_answers.push_back(path);
  host().UserMenuCommand(40015);
  ASSERT_EQ(host().save_file_requests.size(), 1u);
  ExpectDialogRequest(host().save_file_requests[0], "P166");
  EXPECT_TRUE(host().message_boxes.empty());
  const std::string saved = ReadWholeFile(path);
  ASSERT_EQ(saved.rfind("[Korvel]\nVersion=1.2\n[Configuration]\nOptions= ", 0), 0u) << saved;

  // Load it into a controller whose parameters were changed meanwhile.
  std::array<uint8_t, 34> factory{};
  for (int a : kAddresses) {
    factory[a] = model_.Parameter(a);
    model_.SetParameter(a, static_cast<uint8_t>(factory[a] ^ 0x01));
  }
  port_.ClearFrames();
  host().open_file_answers.push_back(path);
  host().UserMenuCommand(40014);
  ASSERT_EQ(host().open_file_requests.size(), 1u);
  ExpectDialogRequest(host().open_file_requests[0], "P165");
  EXPECT_TRUE(host().message_boxes.empty());
  const auto writes = WriteFrames(port_);
  ASSERT_EQ(writes.size(), 28u);
  for (int i = 0; i < 28; ++i) {
    EXPECT_EQ(writes[i][1], kAddresses[i]) << i;
    EXPECT_EQ(model_.Parameter(kAddresses[i]), factory[kAddresses[i]]) << kAddresses[i];
  }
  // The window shows it is busy for the writes and only for them.
  EXPECT_EQ(host().busy_cursor_history, (std::vector<bool>{true, false}));
}

TEST_F(FileCommandTest, SaveOverAnExistingFileAsksAndNoShowsTheDialogAgain) {
  Start();
  ConnectAndPoll();
  const std::string path = FilePath("old.kvs");
  WriteWholeFile(path, "kept");
  host().save_file_answers = {path, std::nullopt};
  host().message_box_answers = {kIdNo};
  host().UserMenuCommand(40015);
  EXPECT_EQ(host().save_file_requests.size(), 2u);
  const headless::MessageBoxRecord& question = OnlyMessage();
  EXPECT_EQ(question.text, "P173");
  EXPECT_EQ(question.caption, "P172");
  EXPECT_EQ(question.icon, MessageIcon::kInformation);
  EXPECT_EQ(question.buttons, MessageButtons::kYesNo);
  EXPECT_EQ(question.owner, page());
  EXPECT_EQ(ReadWholeFile(path), "kept");

  // Yes replaces it.
  host().message_boxes.clear();
  host().save_file_answers = {path};
  host().message_box_answers = {kIdYes};
  host().UserMenuCommand(40015);
  EXPECT_EQ(host().message_boxes.size(), 1u);
  EXPECT_EQ(ReadWholeFile(path).rfind("[Korvel]", 0), 0u);
}

// Whether the chosen name exists is asked of the file system: a pipe that nobody writes to is an
// existing file like any other (the question comes at once), never opened to find out, which
// would freeze the window. The alarm ends the test program if the command hangs.
TEST_F(FileCommandTest, SaveAsOverAPipeAsksWithoutOpeningIt) {
  Start();
  ConnectAndPoll();
  const std::string pipe = FilePath("pipe.kvs");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  host().save_file_answers = {pipe, std::nullopt};
  host().message_box_answers = {kIdNo};
  alarm(20);
  host().UserMenuCommand(40015);
  alarm(0);
  EXPECT_EQ(OnlyMessage().text, "P173");
  EXPECT_EQ(host().save_file_requests.size(), 2u);
  struct stat status {};
  ASSERT_EQ(stat(pipe.c_str(), &status), 0);
  EXPECT_TRUE(S_ISFIFO(status.st_mode));
}

TEST_F(FileCommandTest, CancelledDialogsDoNothing) {
  Start();
  ConnectAndPoll();
  port_.ClearFrames();
  host().UserMenuCommand(40015);
  host().UserMenuCommand(40014);
  EXPECT_TRUE(host().message_boxes.empty());
  EXPECT_TRUE(WriteFrames(port_).empty());
  EXPECT_TRUE(host().busy_cursor_history.empty());
}

TEST_F(FileCommandTest, SaveWithoutAControllerReplyIsRefused) {
  model_.faults.silence = true;
  Start();
  Paint();
  host().RunFor(1000);
  host().save_file_answers.push_back(FilePath("zeros.kvs"));
  host().UserMenuCommand(40015);
  const headless::MessageBoxRecord& refusal = OnlyMessage();
  EXPECT_EQ(refusal.text, "P161");
  EXPECT_EQ(refusal.caption, "P166");
  EXPECT_EQ(refusal.icon, MessageIcon::kWarning);
  EXPECT_EQ(refusal.buttons, MessageButtons::kOk);
  EXPECT_TRUE(host().save_file_requests.empty());
  EXPECT_FALSE(fs::exists(FilePath("zeros.kvs")));
}

// A save dialog during which the page goes on polling, as the real dialog's modal loop lets it.
class SlowSaveDialogHost : public headless::HeadlessHost {
 public:
  using HeadlessHost::HeadlessHost;
  bool GetSaveFileName(const FileDialogRequest& request, std::string& path) override {
    if (while_open) while_open();
    return HeadlessHost::GetSaveFileName(request, path);
  }
  std::function<void()> while_open;
};

// The controller falls silent while the fitter types the name: the records turn to zeros, and the
// save is refused as it is before the dialog, instead of writing a file of zeros.
TEST_F(FileCommandTest, SaveChecksTheRecordsAgainAfterTheDialog) {
  auto slow = std::make_unique<SlowSaveDialogHost>(clock_, Size{800, 600});
  SlowSaveDialogHost& dialog_host = *slow;
  host_ = std::move(slow);
  app_ = std::make_unique<Application>(port_, *host_);
  ASSERT_TRUE(app_->Start());
  ConnectAndPoll();
  dialog_host.while_open = [&] {
    model_.faults.silence = true;
    host().RunFor(3000);
  };
  host().save_file_answers.push_back(FilePath("zeros.kvs"));
  host().UserMenuCommand(40015);
  EXPECT_EQ(host().save_file_requests.size(), 1u);
  const headless::MessageBoxRecord& refusal = OnlyMessage();
  EXPECT_EQ(refusal.text, "P161");
  EXPECT_EQ(refusal.caption, "P166");
  EXPECT_EQ(refusal.icon, MessageIcon::kWarning);
  EXPECT_FALSE(fs::exists(FilePath("zeros.kvs")));
}

TEST_F(FileCommandTest, SaveIsRefusedUntilTheConfigurationAndOptionsAreIn) {
  Start();
  Paint();
  host().RunFor(60);  // connected, live data in, configuration not yet polled
  ASSERT_TRUE(app().link.Connected());
  ASSERT_EQ(app().link.LiveDataRecord[0], kLeadByte);
  ASSERT_NE(app().link.ConfigRecord[0], kLeadByte);
  EXPECT_FALSE(RecordsHoldControllerReplies(app()));
  host().UserMenuCommand(40015);
  EXPECT_EQ(OnlyMessage().text, "P161");
  // After a lost connection the records are zero again: refused as well.
  host().RunFor(1000);
  ASSERT_TRUE(RecordsHoldControllerReplies(app()));
  model_.Unplug();
  host().RunFor(2000);
  EXPECT_FALSE(RecordsHoldControllerReplies(app()));
}

TEST_F(FileCommandTest, AFailedSaveIsReported) {
  Start();
  ConnectAndPoll();
  const std::string path = FilePath("missing-folder/car.kvs");
  host().save_file_answers.push_back(path);
  host().UserMenuCommand(40015);
  const headless::MessageBoxRecord& message = OnlyMessage();
  EXPECT_EQ(message.caption, "I/O Error");
  EXPECT_EQ(message.text.rfind("P167", 0), 0u) << message.text;
  EXPECT_GT(message.text.size(), 4u);  // the reason follows the text
  EXPECT_EQ(message.icon, MessageIcon::kWarning);
  EXPECT_EQ(message.owner, page());
}

// A missing file, and a pipe named *.kvs: the pipe is refused at once, even with a valid file
// waiting in it, so Open can never freeze the window waiting for a writer.
TEST_F(FileCommandTest, LoadOfAMissingFileOrAPipeIsAnIoError) {
  Start();
  ConnectAndPoll();
  const std::string pipe = FilePath("pipe.kvs");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  const int writer = open(pipe.c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(writer, 0);
  const std::string waiting = ParameterFile(7);
  ASSERT_EQ(write(writer, waiting.data(), waiting.size()), static_cast<ssize_t>(waiting.size()));
  for (const std::string& path : {FilePath("nothing.kvs"), pipe}) {
    port_.ClearFrames();
    host().message_boxes.clear();
    host().open_file_answers.push_back(path);
    host().UserMenuCommand(40014);
    const headless::MessageBoxRecord& message = OnlyMessage();
    EXPECT_EQ(message.text, "P167") << path;
    EXPECT_EQ(message.caption, "I/O Error");
    EXPECT_EQ(message.icon, MessageIcon::kWarning);
    EXPECT_TRUE(WriteFrames(port_).empty()) << path;
  }
  close(writer);
}

TEST_F(FileCommandTest, LoadOfAFileWithWrongKeysWritesNothing) {
  Start();
  ConnectAndPoll();
  std::string text = ParameterFile(7);
  text.replace(text.find("Version=1.2"), 11, "Version=1.3");
  const std::string path = FilePath("other.kvs");
  WriteWholeFile(path, text);
  port_.ClearFrames();
  host().open_file_answers.push_back(path);
  host().UserMenuCommand(40014);
  const headless::MessageBoxRecord& message = OnlyMessage();
  EXPECT_EQ(message.text, "P168");
  EXPECT_EQ(message.caption, "P169");
  EXPECT_EQ(message.icon, MessageIcon::kWarning);
  EXPECT_TRUE(WriteFrames(port_).empty());
  EXPECT_TRUE(host().busy_cursor_history.empty());
}

TEST_F(FileCommandTest, AnUnacknowledgedWriteStopsTheLoad) {
  Start();
  ConnectAndPoll();
  const std::string path = FilePath("good.kvs");
  WriteWholeFile(path, ParameterFile(7));
  model_.faults.no_acknowledgement = true;
  port_.ClearFrames();
  host().open_file_answers.push_back(path);
  host().UserMenuCommand(40014);
  const headless::MessageBoxRecord& message = OnlyMessage();
  EXPECT_EQ(message.text, "P171");
  EXPECT_EQ(message.caption, "P170");
  EXPECT_EQ(message.icon, MessageIcon::kWarning);
  ASSERT_EQ(WriteFrames(port_).size(), 1u);
  EXPECT_EQ(WriteFrames(port_)[0][1], 5);
  EXPECT_EQ(host().busy_cursor_history, (std::vector<bool>{true, false}));
  EXPECT_FALSE(host().busy_cursor);
}

TEST_F(FileCommandTest, LoadWithNoControllerEverSeenSendsNothing) {
  model_.faults.silence = true;
  Start();
  const std::string path = FilePath("good.kvs");
  WriteWholeFile(path, ParameterFile(7));
  host().open_file_answers.push_back(path);
  host().UserMenuCommand(40014);
  EXPECT_EQ(OnlyMessage().text, "P171");
  EXPECT_TRUE(port_.frames.empty());
}

}  // namespace
}  // namespace korvel::testing
