#include "sim/replay.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "link/conversions.hpp"
#include "link/live_data.hpp"
#include "texts/plain_file.hpp"

namespace korvel::sim {

namespace {

constexpr const char* kHeader =
    "time,answered,engine_speed_rpm,lambda_v,second_input,att,att_init,temperature_c,fuel,state_flags,"
    "indicator_flags";
constexpr int kColumns = 11;

// Days from 1970-01-01 to the civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2 ? 1 : 0;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

// "2026-12-07T04:35:32.187Z" to milliseconds since 1970.
bool ParseTimestamp(const std::string& text, int64_t& ms) {
  int y, mo, d, h, mi, s, milli;
  char tail = 0;
  if (text.size() != 24 ||
      std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d.%3d%c", &y, &mo, &d, &h, &mi, &s, &milli, &tail) != 8 ||
      tail != 'Z' || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60) {
    return false;
  }
  ms = ((DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) * 24 + h) * 60 + mi) * 60000 +
       static_cast<int64_t>(s) * 1000 + milli;
  return true;
}

bool ParseUnsigned(const std::string& text, unsigned long max, unsigned long& value, int base = 10) {
  if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ') return false;
  errno = 0;
  char* end = nullptr;
  value = std::strtoul(text.c_str(), &end, base);
  return errno == 0 && end != text.c_str() && *end == '\0' && value <= max;
}

std::string SecondInputText(uint8_t raw, uint8_t lambda_type, uint8_t indicator_flags) {
  const AuxText aux = AuxInputText(raw, lambda_type, indicator_flags);
  std::string text(aux.text, static_cast<size_t>(aux.count));
  if (!text.empty() && text[0] == ' ') text.erase(0, 1);
  return text;
}

// The tick of one row, or an error text.
std::string ParseRow(const std::vector<std::string>& f, uint8_t lambda_type, int64_t& wall_ms, bool& answered,
                     ReplayTick& tick) {
  if (!ParseTimestamp(f[0], wall_ms)) return "time \"" + f[0] + "\" is not an ISO-8601 UTC time with milliseconds";
  if (f[1] != "0" && f[1] != "1") return "answered must be 0 or 1";
  answered = f[1] == "1";
  unsigned long rpm, att, att_init, temperature, state, indicators;
  if (!ParseUnsigned(f[2], 100000, rpm)) return "engine speed \"" + f[2] + "\" is not a number of rpm";
  if (!ParseUnsigned(f[5], 255, att)) return "Att \"" + f[5] + "\" is not 0..255";
  if (!ParseUnsigned(f[6], 255, att_init)) return "AttInit \"" + f[6] + "\" is not 0..255";
  if (!ParseUnsigned(f[7], 100, temperature)) return "temperature \"" + f[7] + "\" is not 0..100";
  if (f[9].size() != 4 || f[9].compare(0, 2, "0x") != 0 || !ParseUnsigned(f[9].substr(2), 255, state, 16)) {
    return "state flags \"" + f[9] + "\" are not 0xHH";
  }
  if (f[10].size() != 4 || f[10].compare(0, 2, "0x") != 0 || !ParseUnsigned(f[10].substr(2), 255, indicators, 16)) {
    return "indicator flags \"" + f[10] + "\" are not 0xHH";
  }
  if (f[8] != ((state & 1) != 0 ? "LPG" : "petrol")) return "fuel \"" + f[8] + "\" does not match the state flags";

  auto& live = tick.live;
  live[kAtt] = static_cast<uint8_t>(att);
  live[kAttInit] = static_cast<uint8_t>(att_init);
  live[kStateFlags] = static_cast<uint8_t>(state);
  live[kIndicatorFlags] = static_cast<uint8_t>(indicators);

  if (rpm == 0) {
    live[kPeriodHi] = 255;  // no speed
    live[kPeriodLo] = 255;
  } else {
    const uint32_t period = PeriodFromEngineSpeed(static_cast<uint32_t>(rpm));
    live[kPeriodHi] = HighByte(period);
    live[kPeriodLo] = LowByte(period);
    uint8_t record[11] = {};
    std::copy(live.begin(), live.end(), record);
    if (period > 0xFEFF || LiveEngineSpeed(record) != rpm) {
      return "engine speed " + f[2] + " rpm is not one a controller reports";
    }
  }

  bool found = false;
  for (int raw = 0; raw <= 255 && !found; ++raw) {
    if (VoltText(VoltsFromRaw(static_cast<uint32_t>(raw))).text == f[3]) {
      live[kLambdaProbe] = static_cast<uint8_t>(raw);
      found = true;
    }
  }
  if (!found) return "lambda voltage \"" + f[3] + "\" is not one a controller reports";

  found = false;
  for (int raw = 0; raw <= 255 && !found; ++raw) {
    if (SecondInputText(static_cast<uint8_t>(raw), lambda_type, live[kIndicatorFlags]) == f[4]) {
      live[kAuxInput] = static_cast<uint8_t>(raw);
      found = true;
    }
  }
  if (!found) return "second input \"" + f[4] + "\" is not one this controller's lambda type shows";

  found = false;
  for (int raw = 0; raw <= 255 && !found; ++raw) {
    if (std::min<int32_t>(TemperatureFromRaw(static_cast<uint32_t>(raw)), 100) == static_cast<int32_t>(temperature)) {
      live[kTempRaw] = static_cast<uint8_t>(raw);
      found = true;
    }
  }
  if (!found) return "temperature " + f[7] + " is not one a controller reports";
  return {};
}

}  // namespace

namespace {

// The lines of a log, one at a time, never more than kMaxLineLength bytes of one in memory.
class LineSource {
 public:
  virtual ~LineSource() = default;
  // The next line without its line feed; false at the end. A longer line is cut and flagged.
  virtual bool Next(std::string& line, bool& too_long) = 0;
};

class TextLines final : public LineSource {
 public:
  explicit TextLines(const std::string& text) : text_(text) {}
  bool Next(std::string& line, bool& too_long) override {
    if (at_ >= text_.size()) return false;
    size_t end = text_.find('\n', at_);
    if (end == std::string::npos) end = text_.size();
    too_long = end - at_ > kMaxLineLength;
    line.assign(text_, at_, std::min(end - at_, kMaxLineLength));
    at_ = end + 1;
    return true;
  }

 private:
  const std::string& text_;
  size_t at_ = 0;
};

class FileLines final : public LineSource {
 public:
  explicit FileLines(std::FILE* file) : file_(file) {}
  bool Next(std::string& line, bool& too_long) override {
    line.clear();
    too_long = false;
    int c = std::getc(file_);
    if (c == EOF) return false;
    while (c != EOF && c != '\n') {
      if (line.size() < kMaxLineLength) {
        line += static_cast<char>(c);
      } else {
        // The row is refused anyway; the rest of it is not read.
        too_long = true;
        return true;
      }
      c = std::getc(file_);
    }
    return true;
  }

 private:
  std::FILE* file_;
};

bool ParseLines(LineSource& lines, uint8_t lambda_type, DriveLog& log, std::string& error) {
  log = DriveLog{};
  std::string line;
  bool too_long = false;
  int number = 0;
  int64_t first_ms = 0;
  int64_t previous_ms = 0;
  int64_t last_step_ms = 0;
  bool any_row = false;
  while (lines.Next(line, too_long)) {
    ++number;
    if (too_long) {
      error = "line " + std::to_string(number) + ": longer than " + std::to_string(kMaxLineLength) +
              " characters; not a korvelctl live log";
      return false;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (number == 1) {
      if (line != kHeader) {
        error = "line 1: not a korvelctl live log (the header row differs)";
        return false;
      }
      continue;
    }
    if (line.empty()) continue;
    std::vector<std::string> fields;
    std::string field;
    std::istringstream row(line);
    while (std::getline(row, field, ',')) fields.push_back(field);
    if (line.back() == ',') fields.emplace_back();
    if (static_cast<int>(fields.size()) != kColumns) {
      error = "line " + std::to_string(number) + ": " + std::to_string(fields.size()) + " columns, not " +
              std::to_string(kColumns);
      return false;
    }
    int64_t wall_ms = 0;
    bool answered = false;
    ReplayTick tick;
    const std::string problem = ParseRow(fields, lambda_type, wall_ms, answered, tick);
    if (!problem.empty()) {
      // The row's fields are shown escaped: a log is any file, and the message goes to a terminal.
      error = "line " + std::to_string(number) + ": " + PrintableText(problem);
      return false;
    }
    if (!any_row) {
      first_ms = wall_ms;
      previous_ms = wall_ms;
      any_row = true;
    }
    if (wall_ms < previous_ms) {
      error = "line " + std::to_string(number) + ": time goes backwards";
      return false;
    }
    if (wall_ms > previous_ms) last_step_ms = wall_ms - previous_ms;
    previous_ms = wall_ms;
    if (!answered) continue;
    tick.at_ms = static_cast<uint64_t>(wall_ms - first_ms);
    log.ticks.push_back(tick);
  }
  if (number == 0) {
    error = "line 1: the log is empty";
    return false;
  }
  if (log.ticks.empty()) {
    error = "line " + std::to_string(number) + ": the log holds no tick the controller answered";
    return false;
  }
  log.length_ms = static_cast<uint64_t>(previous_ms - first_ms) + static_cast<uint64_t>(std::max<int64_t>(last_step_ms, 1));
  return true;
}

}  // namespace

bool ParseDriveLog(const std::string& text, uint8_t lambda_type, DriveLog& log, std::string& error) {
  TextLines lines(text);
  return ParseLines(lines, lambda_type, log, error);
}

bool ReadDriveLog(const char* path, uint8_t lambda_type, DriveLog& log, std::string& error) {
  // A plain file only, read a line at a time: a device or a pipe could feed it without end.
  std::FILE* file = OpenPlainFile(path, error);
  if (file == nullptr) return false;
  const bool good = [&] {
    FileLines lines(file);
    return ParseLines(lines, lambda_type, log, error);
  }();
  const bool read_error = std::ferror(file) != 0;
  const int errno_value = errno;
  std::fclose(file);
  const std::string name = PrintableText(path);
  if (read_error) {
    error = name + ": " + std::strerror(errno_value);
    return false;
  }
  if (!good) {
    error = name + ": " + error;
    return false;
  }
  return true;
}

size_t DriveReplay::TickAt(uint64_t elapsed_ms) const {
  uint64_t t = elapsed_ms;
  if (loop_ && log_.length_ms > 0) t %= log_.length_ms;
  // The recorded tick nearest to t: a tool polling at the recorded pace then meets every tick once,
  // even when its polls come a little early or late.
  const auto after = std::upper_bound(log_.ticks.begin(), log_.ticks.end(), t,
                                      [](uint64_t at, const ReplayTick& tick) { return at < tick.at_ms; });
  if (after == log_.ticks.begin()) return 0;
  const size_t before = static_cast<size_t>(after - log_.ticks.begin()) - 1;
  if (after == log_.ticks.end()) {
    // Past the last tick of a loop, the first tick of the next round may be the nearer one.
    return loop_ && log_.length_ms - t < t - log_.ticks[before].at_ms ? 0 : before;
  }
  return after->at_ms - t < t - log_.ticks[before].at_ms ? before + 1 : before;
}

void DriveReplay::PinAt(ControllerModel& model, uint64_t elapsed_ms) const {
  const ReplayTick& tick = log_.ticks[TickAt(elapsed_ms)];
  for (int byte = kAuxInput; byte <= kTempRaw; ++byte) model.OverrideLive(byte, tick.live[static_cast<size_t>(byte)]);
}

}  // namespace korvel::sim
