#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "files/configuration_file.hpp"
#include "link/controller_link.hpp"

namespace korvel {

// Restore points: the controller's 28 parameters kept automatically as ordinary configuration
// files in a per-user folder, so that a wrong load or a factory reset can be undone by loading one.
enum class RestoreReason { kConnection, kBeforeLoad, kBeforeReset };

// The word of a reason in a restore point's name: "connection", "before-load", "before-reset".
const char* RestoreReasonWord(RestoreReason reason);

// The newest this many are kept; older ones are removed when a new one is written.
constexpr int kRestorePointLimit = 500;

// Where restore points live: $XDG_DATA_HOME/korvel/restore-points (only an absolute
// XDG_DATA_HOME counts), else $HOME/.local/share/korvel/restore-points; on Windows
// %LOCALAPPDATA%\Korvel\restore-points. `reason` says why there is none (path empty then).
struct RestorePointFolder {
  std::string path;
  std::string reason;
};
RestorePointFolder RestorePointFolderFor(const char* xdg_data_home, const char* home, const char* local_app_data);
RestorePointFolder RestorePointFolderFromEnvironment();

struct RestorePoint {
  std::string path;
  std::string time;    // "2026-12-07T19:45:32.123Z", UTC, from the name
  std::string reason;  // the reason word from the name
};
// The restore points of `folder`, oldest first. Files whose names are not restore-point names
// are left out (and never removed).
std::vector<RestorePoint> ListRestorePoints(const std::string& folder);

// True when the configuration, options and live-data records all hold a reply of the controller:
// only then do they hold the 28 parameters (AttInit comes with the live data).
bool RecordsHoldParameters(const ControllerLink& link);

// What keeping a restore point came to, as a Result, and the file written.
struct RestorePointResult {
  bool ok = false;     // kept
  std::string reason;  // why nothing was kept
  std::string path;    // the file written
};
// Writes the parameters the records hold into a new restore point named by `wall_ms` and the
// reason, with the same save the File menu uses, then removes the oldest beyond the limit.
// Records that hold no controller reply are never kept.
RestorePointResult KeepRestorePoint(const std::string& folder, const ExpectedStrings& strings,
                                    const ControllerLink& link, int64_t wall_ms, RestoreReason reason);

// True when the records' parameters differ from the newest restore point (also when there is
// none, or it cannot be read).
bool DiffersFromNewestRestorePoint(const std::string& folder, const ExpectedStrings& strings,
                                   const ControllerLink& link);

}  // namespace korvel
