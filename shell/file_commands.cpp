#include "shell/file_commands.hpp"
#include "texts/text_slots.hpp"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "files/configuration_file.hpp"
#include "shell/application.hpp"

namespace korvel {

namespace {

// Text slots of the file commands.
constexpr int kOpenTitleSlot = lang::kOpenDialogTitle;
constexpr int kSaveTitleSlot = lang::kSaveDialogTitle;
constexpr int kCannotOpenSlot = lang::kCannotOpenFile;
constexpr int kKeyMismatchSlot = lang::kWrongFileContents;
constexpr int kKeyMismatchCaptionSlot = lang::kWrongFileCaption;
constexpr int kWriteFailedCaptionSlot = lang::kWriteFailedCaption;
constexpr int kWriteFailedSlot = lang::kWriteFailed;
constexpr int kOverwriteCaptionSlot = lang::kOverwriteCaption;
constexpr int kOverwriteSlot = lang::kOverwriteQuestion;
constexpr int kNotConnectedSlot = lang::kAboutNoConnection;

FileDialogRequest DialogRequest(Application& app, int title_slot) {
  FileDialogRequest request;
  request.owner = app.main_window.state.page;
  request.filter_name = kSettingsFilterName;
  request.pattern = kSettingsPattern;
  request.default_extension = kSettingsExtension;
  request.title = app.texts.Text(title_slot);
  return request;
}

void Warn(Application& app, const char* text, const char* caption) {
  app.host.ShowMessageBox(app.main_window.state.page, text, caption, MessageIcon::kWarning, MessageButtons::kOk);
}

// Whether a file of that name is there, asked of the file system: opening it to find out would
// freeze the window on a pipe nobody writes to (and could wake a device).
bool FileExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(std::filesystem::status(path, error));
}

}  // namespace

bool RecordsHoldControllerReplies(const Application& app) {
  return RecordsHoldParameters(app.link);
}

void SaveConfigurationCommand(Application& app) {
  // Records that no controller has filled hold zeros; such a file, loaded into a car later, would
  // write zeros into every parameter. Refuse before the fitter picks a file.
  if (!RecordsHoldControllerReplies(app)) {
    Warn(app, app.texts.Text(kNotConnectedSlot), app.texts.Text(kSaveTitleSlot));
    return;
  }
  std::string path;
  for (;;) {
    const FileDialogRequest request = DialogRequest(app, kSaveTitleSlot);
    if (!app.host.GetSaveFileName(request, path)) return;
    if (!FileExists(path)) break;
    const int answer = app.host.ShowMessageBox(app.main_window.state.page, app.texts.Text(kOverwriteSlot),
                                               app.texts.Text(kOverwriteCaptionSlot), MessageIcon::kInformation,
                                               MessageButtons::kYesNo);
    if (answer == kIdYes) break;
  }
  // The page went on polling while the fitter chose the name: if the ignition went off or the
  // cable came out meanwhile, the records are zeros now, and a file of zeros must not be written.
  if (!RecordsHoldControllerReplies(app)) {
    Warn(app, app.texts.Text(kNotConnectedSlot), app.texts.Text(kSaveTitleSlot));
    return;
  }
  const SaveResult result = SaveConfigurationFile(app.expected, app.link, path.c_str());
  if (!result.ok) {
    // The fitter must know the parameter set was not kept: the file message, then what failed.
    std::string text = app.texts.Text(kCannotOpenSlot);
    if (!result.error.empty()) {
      if (!text.empty()) text += "\n\n";
      text += Utf8ToCp1250(result.error);
    }
    Warn(app, text.c_str(), kIoErrorCaption);
  }
}

void OpenConfigurationCommand(Application& app, const char* folder) {
  std::string path;
  FileDialogRequest request = DialogRequest(app, kOpenTitleSlot);
  request.folder = folder;
  if (!app.host.GetOpenFileName(request, path)) return;
  const LoadedConfiguration loaded = ReadConfigurationFile(app.expected, path.c_str());
  if (loaded.status == LoadStatus::kCannotOpen) {
    Warn(app, app.texts.Text(kCannotOpenSlot), kIoErrorCaption);
    return;
  }
  if (loaded.status == LoadStatus::kKeyMismatch) {
    Warn(app, app.texts.Text(kKeyMismatchSlot), app.texts.Text(kKeyMismatchCaptionSlot));
    return;
  }
  app.host.SetBusyCursor(true);
  app.safety.KeepBeforeChange(RestoreReason::kBeforeLoad);
  const int failed = WriteConfiguration(app.link, loaded.values);
  app.host.SetBusyCursor(false);
  if (failed >= 0) Warn(app, app.texts.Text(kWriteFailedSlot), app.texts.Text(kWriteFailedCaptionSlot));
  app.safety.ReportIfNotKept(app.main_window.state.page);
}

}  // namespace korvel
