#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/controller_model.hpp"

namespace korvel::sim {

// A recorded drive: the ticks of a `korvelctl live --csv` log turned back into the live-data bytes
// that give the same values, with their times relative to the first tick.
struct ReplayTick {
  uint64_t at_ms = 0;
  std::array<uint8_t, kLiveDataLength> live{};  // bytes 1..9 used; 0 and 10 are the frame's
};

struct DriveLog {
  std::vector<ReplayTick> ticks;  // answered ticks only, in time order
  uint64_t length_ms = 0;         // from the first tick to one period after the last
};

// Reads a log as korvelctl writes it. `lambda_type` is the LambdaType the replaying controller
// holds: the second input was logged as the Readings page shows it for that type, and is turned
// back the same way. Rows the controller did not answer are skipped (the previous values stay on
// the line, as they did in the tool). False with "line N: ..." in `error` for a log that is not
// such a file or holds a value no controller reply gives. Only a plain file is read, a line at a
// time; a line longer than kMaxLineLength refuses the log (a real row is about 100 characters).
constexpr size_t kMaxLineLength = 1024;
bool ReadDriveLog(const char* path, uint8_t lambda_type, DriveLog& log, std::string& error);
bool ParseDriveLog(const std::string& text, uint8_t lambda_type, DriveLog& log, std::string& error);

// Plays a drive back through the model: before each answer the live-data bytes of the recorded tick
// nearest to that moment are pinned, so every page sees the recorded values at their recorded pace. Without
// `loop` the last tick stays on the line once the log is over.
class DriveReplay {
 public:
  DriveReplay(DriveLog log, bool loop) : log_(std::move(log)), loop_(loop) {}

  // Pins the values due `elapsed_ms` after the replay started.
  void PinAt(ControllerModel& model, uint64_t elapsed_ms) const;
  // Index of the recorded tick nearest to `elapsed_ms` (within the loop when looping).
  size_t TickAt(uint64_t elapsed_ms) const;
  bool Finished(uint64_t elapsed_ms) const { return !loop_ && elapsed_ms >= log_.length_ms; }

 private:
  DriveLog log_;
  bool loop_;
};

}  // namespace korvel::sim
