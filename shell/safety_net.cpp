#include "shell/safety_net.hpp"

#include <chrono>
#include <cstring>

#include "shell/application.hpp"
#include "shell/file_commands.hpp"
#include "texts/language_table.hpp"
#include "texts/text_slots.hpp"

namespace korvel {

namespace {

// The texts of the safety net are built in, in code page 1250, and follow the menu bar: English
// for "ang", Polish for every other language code. So a language file of the usual 196 lines
// needs nothing new.
struct BuiltInText {
  const char* polish;
  const char* english;
};
constexpr BuiltInText kRecordTitle = {"Nagraj jazd\xEA", "Record drive"};
constexpr BuiltInText kDriveLogFilter = {"Zapis jazdy (*.csv)", "Drive log (*.csv)"};
constexpr BuiltInText kRestorePointTitle = {"Punkt przywracania", "Restore point"};
constexpr BuiltInText kNotKept = {
    "Nie zapisano punktu przywracania: ",
    "No restore point was kept: "};
constexpr BuiltInText kNotKeptTail = {
    "\n\nParametry sterownika sprzed zmiany nie zosta\xB3y zachowane.",
    "\n\nThe controller's parameters from before the change were not saved."};
constexpr BuiltInText kNotKeptNotice = {"brak punktu przywracania: ", "restore point not kept: "};
constexpr BuiltInText kRecordingStopped = {"nagrywanie przerwane: ", "recording stopped: "};
constexpr BuiltInText kCannotRecord = {"Nie mo\xBFna nagrywa\xE6 jazdy: ", "Cannot record the drive: "};
constexpr BuiltInText kParametersUnread = {"sterownik nie poda\xB3 parametr\xF3w",
                                           "the controller did not send its parameters"};

int64_t SystemWallMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

SafetyNet::SafetyNet(Application& app) : wall_clock(SystemWallMs), app_(app) {}

#define KORVEL_TEXT(t) (std::strcmp(app_.settings.language_code, "ang") == 0 ? (t).english : (t).polish)

void SafetyNet::AfterLivePoll(ControllerLink& link, const PollResult& result) {
  if (recorder_.Recording()) {
    const Result appended = recorder_.Append(link, wall_clock(), result.FreshLiveData());
    if (!appended.ok) {
      notice_ = KORVEL_TEXT(kRecordingStopped) + Utf8ToCp1250(appended.reason);
      ShowRecordingState();
    }
  }
  // The first complete parameter set after the link was gained (the records are zeroed when it is
  // lost, so a full set holds replies of this connection), kept when it is new.
  if (!link.Connected()) {
    awaiting_connection_point_ = true;
  } else if (awaiting_connection_point_ && RecordsHoldParameters(link)) {
    awaiting_connection_point_ = false;
    if (!folder.empty() && DiffersFromNewestRestorePoint(folder, app_.expected, link)) {
      const RestorePointResult kept =
          KeepRestorePoint(folder, app_.expected, link, wall_clock(), RestoreReason::kConnection);
      if (!kept.ok) notice_ = KORVEL_TEXT(kNotKeptNotice) + Utf8ToCp1250(kept.reason);
    }
  }
  RefreshCaption();
}

void SafetyNet::KeepBeforeChange(RestoreReason reason) {
  not_kept_.clear();
  ControllerLink& link = app_.link;
  // Without a controller the command itself fails and says so; there is nothing to keep.
  if (!link.Connected() || link.GetControllerVariant() != 2) return;
  // No folder and no reason: restore points are not wanted here (a test's world).
  if (folder.empty()) {
    not_kept_ = folder_error;
    return;
  }
  // Read afresh: a page that polls only live data (the Oscilloscope) or a load just before may
  // have left the configuration and options records behind the controller.
  if (link.ReadConfig() != ExchangeOutcome::kGood || link.ReadOptions() != ExchangeOutcome::kGood ||
      link.ReadLiveData() != ExchangeOutcome::kGood) {
    not_kept_ = KORVEL_TEXT(kParametersUnread);
    return;
  }
  const RestorePointResult kept = KeepRestorePoint(folder, app_.expected, link, wall_clock(), reason);
  if (!kept.ok) not_kept_ = Utf8ToCp1250(kept.reason);
}

void SafetyNet::ReportIfNotKept(Window* owner) {
  if (not_kept_.empty()) return;
  const std::string text = KORVEL_TEXT(kNotKept) + not_kept_ + KORVEL_TEXT(kNotKeptTail);
  not_kept_.clear();
  app_.host.ShowMessageBox(owner, text.c_str(), KORVEL_TEXT(kRestorePointTitle), MessageIcon::kWarning,
                           MessageButtons::kOk);
}

void SafetyNet::RecordDrive() {
  Host& host = app_.host;
  Window* owner = app_.main_window.state.page;
  std::string path;
  for (;;) {
    FileDialogRequest request;
    request.owner = owner;
    request.filter_name = KORVEL_TEXT(kDriveLogFilter);
    request.pattern = "*.csv";
    request.default_extension = "csv";
    request.title = KORVEL_TEXT(kRecordTitle);
    if (!host.GetSaveFileName(request, path)) return;
    std::FILE* existing = std::fopen(path.c_str(), "rb");
    if (existing == nullptr) break;
    std::fclose(existing);
    if (host.ShowMessageBox(owner, app_.texts.Text(lang::kOverwriteQuestion), app_.texts.Text(lang::kOverwriteCaption),
                            MessageIcon::kInformation, MessageButtons::kYesNo) == kIdYes) {
      break;
    }
  }
  StartRecording(path.c_str());
}

bool SafetyNet::StartRecording(const char* path) {
  const Result started = recorder_.Start(path);
  if (!started.ok) {
    const std::string text = KORVEL_TEXT(kCannotRecord) + Utf8ToCp1250(started.reason);
    app_.host.ShowMessageBox(app_.main_window.state.page, text.c_str(), kIoErrorCaption, MessageIcon::kWarning,
                             MessageButtons::kOk);
  } else if (notice_.rfind(KORVEL_TEXT(kRecordingStopped), 0) == 0) {
    notice_.clear();
  }
  ShowRecordingState();
  RefreshCaption();
  return started.ok;
}

void SafetyNet::StopRecording() {
  const Result stopped = recorder_.Stop();
  if (!stopped.ok) notice_ = KORVEL_TEXT(kRecordingStopped) + Utf8ToCp1250(stopped.reason);
  ShowRecordingState();
  RefreshCaption();
}

void SafetyNet::ShowRecordingState() {
  app_.host.CheckMenuItem(kCommandRecordDrive, recorder_.Recording());
  app_.host.EnableMenuItem(kCommandStopRecording, recorder_.Recording());
}

void SafetyNet::SetCaption(const char* page_caption) {
  page_caption_ = page_caption;
  title_set_ = false;
  RefreshCaption();
}

void SafetyNet::RefreshCaption() {
  std::string title = page_caption_;
  const LinkState& link = app_.link.state;
  if (link.open_failed) {
    // "Korvel - Readings - COM1: Permission denied": the port name keeps its colon.
#ifdef _WIN32
    title += std::string(" - ") + link.port_name + " " + link.open_error;
#else
    title += std::string(" - ") + link.port_name + " " + Utf8ToCp1250(link.open_error);
#endif
  } else if (!notice_.empty()) {
    title += " - " + notice_;
  }
  // Set only on a change: the caption is looked at on every poll.
  if (title_set_ && title == title_shown_) return;
  title_set_ = true;
  title_shown_ = title;
  app_.host.SetMainTitle(title.c_str());
}

void SafetyNet::PortChanged() {
  app_.link.state.open_failed = false;
  RefreshCaption();
}

#undef KORVEL_TEXT

}  // namespace korvel
