#include "files/restore_points.hpp"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "files/drive_log.hpp"
#include "link/parameter_map.hpp"

namespace korvel {

namespace {

constexpr const char* kExtension = ".kvs";
// "2026-12-07T19-45-32.123Z": the time of a name, colons replaced (Windows forbids them).
constexpr size_t kTimeLength = 24;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The time and reason of a restore point's file name "TIME_REASON.kvs" or "TIME_REASON-N.kvs".
bool ParseName(const std::string& name, RestorePoint& point) {
  const size_t extension = std::char_traits<char>::length(kExtension);
  if (name.size() <= kTimeLength + 1 + extension || name[kTimeLength] != '_' ||
      name.compare(name.size() - extension, extension, kExtension) != 0) {
    return false;
  }
  static constexpr char kShape[] = "dddd-dd-ddTdd-dd-dd.dddZ";
  for (size_t i = 0; i < kTimeLength; ++i) {
    if (kShape[i] == 'd' ? !IsDigit(name[i]) : name[i] != kShape[i]) return false;
  }
  std::string reason = name.substr(kTimeLength + 1, name.size() - kTimeLength - 1 - extension);
  const size_t dash = reason.rfind('-');
  if (dash != std::string::npos && dash + 1 < reason.size() &&
      std::all_of(reason.begin() + static_cast<long>(dash) + 1, reason.end(), IsDigit)) {
    reason.erase(dash);
  }
  if (reason != "connection" && reason != "before-load" && reason != "before-reset") return false;
  point.time = name.substr(0, kTimeLength);
  point.time[13] = ':';
  point.time[16] = ':';
  point.reason = reason;
  return true;
}

}  // namespace

const char* RestoreReasonWord(RestoreReason reason) {
  switch (reason) {
    case RestoreReason::kConnection:
      return "connection";
    case RestoreReason::kBeforeLoad:
      return "before-load";
    case RestoreReason::kBeforeReset:
      return "before-reset";
  }
  return "connection";
}

RestorePointFolder RestorePointFolderFor(const char* xdg_data_home, const char* home, const char* local_app_data) {
#ifdef _WIN32
  (void)xdg_data_home;
  (void)home;
  if (local_app_data == nullptr || *local_app_data == '\0') return {{}, "LOCALAPPDATA is not set"};
  return {std::string(local_app_data) + "\\Korvel\\restore-points", {}};
#else
  (void)local_app_data;
  // A relative XDG_DATA_HOME would depend on the working folder; the base-directory rules say
  // to ignore it.
  if (xdg_data_home != nullptr && xdg_data_home[0] == '/') {
    return {std::string(xdg_data_home) + "/korvel/restore-points", {}};
  }
  if (home == nullptr || *home == '\0') return {{}, "neither XDG_DATA_HOME nor HOME is set"};
  return {std::string(home) + "/.local/share/korvel/restore-points", {}};
#endif
}

RestorePointFolder RestorePointFolderFromEnvironment() {
  return RestorePointFolderFor(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"), std::getenv("LOCALAPPDATA"));
}

std::vector<RestorePoint> ListRestorePoints(const std::string& folder) {
  namespace fs = std::filesystem;
  std::vector<RestorePoint> points;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    RestorePoint point;
    if (!it->is_regular_file(ec) || !ParseName(it->path().filename().string(), point)) continue;
    point.path = it->path().string();
    points.push_back(point);
  }
  // The name starts with the time, so the order of the names is the order of the times.
  std::sort(points.begin(), points.end(), [](const RestorePoint& a, const RestorePoint& b) {
    return fs::path(a.path).filename() < fs::path(b.path).filename();
  });
  return points;
}

bool RecordsHoldParameters(const ControllerLink& link) {
  return link.ConfigRecord[0] == kLeadByte && link.OptionsRecord[0] == kLeadByte &&
         link.LiveDataRecord[0] == kLeadByte;
}

RestorePointResult KeepRestorePoint(const std::string& folder, const ExpectedStrings& strings,
                                    const ControllerLink& link, int64_t wall_ms, RestoreReason reason) {
  namespace fs = std::filesystem;
  RestorePointResult result;
  if (!RecordsHoldParameters(link)) {
    result.reason = "the controller's parameters have not been read";
    return result;
  }
  if (folder.empty()) {
    result.reason = "no folder for restore points";
    return result;
  }
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) {
    fs::create_directories(folder, ec);
    if (ec) {
      result.reason = "cannot create \"" + folder + "\": " + ec.message();
      return result;
    }
    // The parameters of customers' cars are the fitter's own business.
    fs::permissions(folder, fs::perms::owner_all, ec);
  }
  std::string stamp = IsoTimestamp(wall_ms);
  stamp[13] = '-';
  stamp[16] = '-';
  const std::string base = (fs::path(folder) / (stamp + "_" + RestoreReasonWord(reason))).string();
  std::string path = base + kExtension;
  // Two restore points in the same millisecond (a connection and a load) both stay.
  for (int n = 2; fs::exists(fs::symlink_status(path, ec)) && n < 1000; ++n) {
    path = base + "-" + std::to_string(n) + kExtension;
  }
  const Result saved = SaveConfigurationFile(strings, link, path.c_str());
  if (!saved.ok) {
    result.reason = saved.reason;
    return result;
  }
  result.ok = true;
  result.path = path;
  const std::vector<RestorePoint> points = ListRestorePoints(folder);
  for (size_t i = 0; i + kRestorePointLimit < points.size(); ++i) fs::remove(points[i].path, ec);
  return result;
}

bool DiffersFromNewestRestorePoint(const std::string& folder, const ExpectedStrings& strings,
                                   const ControllerLink& link) {
  const std::vector<RestorePoint> points = ListRestorePoints(folder);
  if (points.empty()) return true;
  const LoadedConfiguration newest = ReadConfigurationFile(strings, points.back().path.c_str());
  if (newest.status != LoadStatus::kOk) return true;
  for (int i = 0; i < kParameterCount; ++i) {
    if (newest.values[i] != StoredParameterValue(link, i)) return true;
  }
  return false;
}

}  // namespace korvel
