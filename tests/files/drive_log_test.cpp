// The drive recorder tells the fitter why a recording could not start: the file named and the
// system's words, with nothing left recording.
#include "files/drive_log.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

namespace korvel {
namespace {

namespace fs = std::filesystem;

TEST(DriveRecorder, AFileThatCannotBeMadeOrWrittenIsReportedWithTheSystemsReason) {
  char name[] = "/tmp/korvel-drive-XXXXXX";
  const fs::path root = mkdtemp(name);
  const std::string missing = (root / "no-such-folder" / "drive.csv").string();
  const struct {
    std::string path;
    std::string reason;
  } cases[] = {
      {missing, "cannot create \"" + missing + "\": " + std::strerror(ENOENT)},
      // A full disk: the file opens, the header cannot be written.
      {"/dev/full", std::string("cannot write \"/dev/full\": ") + std::strerror(ENOSPC)},
  };
  DriveRecorder recorder;
  const std::string good = (root / "drive.csv").string();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    ASSERT_TRUE(recorder.Start(good.c_str()).ok);
    // A failed start ends the recording before it.
    const Result started = recorder.Start(c.path.c_str());
    EXPECT_FALSE(started.ok);
    EXPECT_EQ(started.reason, c.reason);
    EXPECT_FALSE(recorder.Recording());
  }
  ASSERT_TRUE(recorder.Start(good.c_str()).ok);
  const Result stopped = recorder.Stop();
  EXPECT_TRUE(stopped.ok);
  EXPECT_EQ(stopped.reason, "");
  EXPECT_FALSE(recorder.Recording());
  fs::remove_all(root);
}

}  // namespace
}  // namespace korvel
