#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "files/drive_log.hpp"
#include "files/restore_points.hpp"
#include "link/poll.hpp"
#include "pages/common/parameter_change_guard.hpp"
#include "resources/menu_commands.hpp"

namespace korvel {

class Application;

// What keeps a fitter's mistakes undoable and his drives on record: restore points (once per
// connection, before every load and factory reset), the drive recorder, and the window caption
// that says why the port is closed.
class SafetyNet : public PollObserver, public ParameterChangeGuard {
 public:
  explicit SafetyNet(Application& app);

  // Where restore points go; empty: none are kept (the program sets it from the environment).
  std::string folder;
  // Why there is no folder, for the message when one is needed.
  std::string folder_error;
  // Milliseconds since 1970 (UTC), for the names of restore points and the rows of a drive log.
  std::function<int64_t()> wall_clock;

  // After each live-data poll: the drive log's row, the restore point of a new connection, and
  // the caption.
  void AfterLivePoll(ControllerLink& link, const PollResult& result) override;

  // Reads the controller's parameters afresh and keeps them before a load or a factory reset; a
  // failure is kept for ReportIfNotKept. Nothing is kept (or said) while no controller answers.
  void KeepBeforeChange(RestoreReason reason);
  void BeforeFactoryReset() override { KeepBeforeChange(RestoreReason::kBeforeReset); }
  void ReportIfNotKept(Window* owner) override;

  // File > Record drive... and Stop recording.
  void RecordDrive();
  void StopRecording();
  // Starts recording into `path` (an existing file is replaced); false with a message box when
  // the file cannot be made.
  bool StartRecording(const char* path);
  bool Recording() const { return recorder_.Recording(); }
  // The check of Record drive... and the greying of Stop recording (after a menu bar is set).
  void ShowRecordingState();

  // The caption of a page, with the reason the port cannot be opened (or a notice) after it.
  void SetCaption(const char* page_caption);
  void RefreshCaption();
  // Forgets a failed open when another port is chosen: the reason belonged to the old port.
  void PortChanged();

  const std::string& Notice() const { return notice_; }

 private:
  Application& app_;
  DriveRecorder recorder_;
  bool awaiting_connection_point_ = true;
  std::string not_kept_;
  std::string notice_;
  std::string page_caption_;
  std::string title_shown_;
  bool title_set_ = false;
};

}  // namespace korvel
