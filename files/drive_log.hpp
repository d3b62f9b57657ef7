#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

#include "link/controller_link.hpp"
#include "link/result.hpp"

namespace korvel {

// The header row of a drive log: what `korvelctl live --csv` and the window program's
// File > Record drive... write, and what the simulator's --replay reads.
extern const char* const kDriveLogHeader;

// "2024-03-05T14:07:09.123Z": ISO-8601 with milliseconds, UTC.
std::string IsoTimestamp(int64_t wall_ms);

// One row of a drive log for a poll at `wall_ms`, from the records as the poll left them;
// `answered` says whether that poll brought fresh live data. Ends in a line feed.
std::string DriveLogRow(const ControllerLink& link, int64_t wall_ms, bool answered);

// Writes a drive log while the fitter watches: the header when it starts, then one row per
// live-data poll, each pushed to the file at once so a crash loses no more than the row being
// written.
class DriveRecorder {
 public:
  DriveRecorder() = default;
  DriveRecorder(const DriveRecorder&) = delete;
  DriveRecorder& operator=(const DriveRecorder&) = delete;
  ~DriveRecorder() { Stop(); }

  // Creates the file (an existing one is emptied) and writes the header; not done, with the
  // system's reason, when it cannot.
  Result Start(const char* path);
  // Appends the row of one poll. A failed write stops the recording (with the reason); the rows
  // before it stay in the file. Not done, with no reason, while nothing is recorded.
  Result Append(const ControllerLink& link, int64_t wall_ms, bool answered);
  // Closes the file; not done, with the reason, when the last rows could not be written.
  Result Stop();
  bool Recording() const { return file_ != nullptr; }
  const std::string& Path() const { return path_; }

 private:
  std::FILE* file_ = nullptr;
  std::string path_;
};

}  // namespace korvel
