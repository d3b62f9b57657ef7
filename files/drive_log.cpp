#include "files/drive_log.hpp"

#include <cerrno>
#include <cstring>

#include "link/conversions.hpp"
#include "link/live_data.hpp"

namespace korvel {

const char* const kDriveLogHeader =
    "time,answered,engine_speed_rpm,lambda_v,second_input,att,att_init,temperature_c,fuel,state_flags,"
    "indicator_flags";

std::string IsoTimestamp(int64_t wall_ms) {
  int64_t days = wall_ms >= 0 ? wall_ms / 86400000 : -((-wall_ms + 86399999) / 86400000);
  const int64_t ms_of_day = wall_ms - days * 86400000;
  // Civil date from a day count since 1970-01-01 (proleptic Gregorian calendar).
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t doe = days - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  char text[128];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lld.%03lldZ", static_cast<long long>(year),
                static_cast<long long>(month), static_cast<long long>(day),
                static_cast<long long>(ms_of_day / 3600000), static_cast<long long>(ms_of_day / 60000 % 60),
                static_cast<long long>(ms_of_day / 1000 % 60), static_cast<long long>(ms_of_day % 1000));
  return text;
}

std::string DriveLogRow(const ControllerLink& link, int64_t wall_ms, bool answered) {
  const uint8_t(&live)[11] = link.LiveDataRecord;
  const uint32_t rpm = LiveEngineSpeed(live);
  const VoltString lambda = VoltText(VoltsFromRaw(live[kLambdaProbe]));
  // The second input as the Readings page shows it for the controller's LambdaType.
  const AuxText aux = AuxInputText(live[kAuxInput], link.ConfigRecord[2], live[kIndicatorFlags]);
  std::string second(aux.text, static_cast<size_t>(aux.count));
  if (!second.empty() && second[0] == ' ') second.erase(0, 1);
  int32_t temperature = TemperatureFromRaw(live[kTempRaw]);
  if (temperature > 100) temperature = 100;
  const uint8_t state = live[kStateFlags];
  char row[256];
  std::snprintf(row, sizeof row, "%s,%d,%u,%s,%s,%u,%u,%d,%s,0x%02X,0x%02X\n", IsoTimestamp(wall_ms).c_str(),
                answered ? 1 : 0, static_cast<unsigned>(rpm), lambda.text, second.c_str(),
                static_cast<unsigned>(live[kAtt]), static_cast<unsigned>(live[kAttInit]),
                static_cast<int>(temperature), (state & 0x01) != 0 ? "LPG" : "petrol",
                static_cast<unsigned>(state), static_cast<unsigned>(live[kIndicatorFlags]));
  return row;
}

Result DriveRecorder::Start(const char* path) {
  Stop();
  // Text mode, as korvelctl writes its log.
  std::FILE* file = std::fopen(path, "w");
  if (file == nullptr) return {false, std::string("cannot create \"") + path + "\": " + std::strerror(errno)};
  if (std::fprintf(file, "%s\n", kDriveLogHeader) < 0 || std::fflush(file) != 0) {
    Result failed{false, std::string("cannot write \"") + path + "\": " + std::strerror(errno)};
    std::fclose(file);
    return failed;
  }
  file_ = file;
  path_ = path;
  return {true, {}};
}

Result DriveRecorder::Append(const ControllerLink& link, int64_t wall_ms, bool answered) {
  if (file_ == nullptr) return {false, {}};
  const std::string row = DriveLogRow(link, wall_ms, answered);
  errno = 0;
  if (std::fputs(row.c_str(), file_) < 0 || std::fflush(file_) != 0) {
    const int failure = errno != 0 ? errno : EIO;
    std::fclose(file_);
    file_ = nullptr;
    return {false, "cannot write \"" + path_ + "\": " + std::strerror(failure)};
  }
  return {true, {}};
}

Result DriveRecorder::Stop() {
  if (file_ == nullptr) return {true, {}};
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!closed) return {false, "cannot write \"" + path_ + "\": " + std::strerror(errno)};
  return {true, {}};
}

}  // namespace korvel
