#include "shell/file_commands.hpp"
#include "texts/text_slots.hpp"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "files/configuration_file.hpp"
#include "shell/application.hpp"

namespace korvel {

namespace {

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
    Warn(app, app.texts.Text(lang::kAboutNoConnection), app.texts.Text(lang::kSaveDialogTitle));
    return;
  }
  std::string path;
  for (;;) {
    const FileDialogRequest request = DialogRequest(app, lang::kSaveDialogTitle);
    if (!app.host.GetSaveFileName(request, path)) return;
    if (!FileExists(path)) break;
    const int answer = app.host.ShowMessageBox(app.main_window.state.page, app.texts.Text(lang::kOverwriteQuestion),
                                               app.texts.Text(lang::kOverwriteCaption), MessageIcon::kInformation,
                                               MessageButtons::kYesNo);
    if (answer == kIdYes) break;
  }
  // The page went on polling while the fitter chose the name: if the ignition went off or the
  // cable came out meanwhile, the records are zeros now, and a file of zeros must not be written.
  if (!RecordsHoldControllerReplies(app)) {
    Warn(app, app.texts.Text(lang::kAboutNoConnection), app.texts.Text(lang::kSaveDialogTitle));
    return;
  }
  const Result result = SaveConfigurationFile(app.expected, app.link, path.c_str());
  if (!result.ok) {
    // The fitter must know the parameter set was not kept: the file message, then what failed.
    std::string text = app.texts.Text(lang::kCannotOpenFile);
    if (!result.reason.empty()) {
      if (!text.empty()) text += "\n\n";
      text += Utf8ToCp1250(result.reason);
    }
    Warn(app, text.c_str(), kIoErrorCaption);
  }
}

void OpenConfigurationCommand(Application& app, const char* folder) {
  std::string path;
  FileDialogRequest request = DialogRequest(app, lang::kOpenDialogTitle);
  request.folder = folder;
  if (!app.host.GetOpenFileName(request, path)) return;
  const LoadedConfiguration loaded = ReadConfigurationFile(app.expected, path.c_str());
  if (loaded.status == LoadStatus::kCannotOpen) {
    Warn(app, app.texts.Text(lang::kCannotOpenFile), kIoErrorCaption);
    return;
  }
  if (loaded.status == LoadStatus::kKeyMismatch) {
    Warn(app, app.texts.Text(lang::kWrongFileContents), app.texts.Text(lang::kWrongFileCaption));
    return;
  }
  app.host.SetBusyCursor(true);
  app.safety.KeepBeforeChange(RestoreReason::kBeforeLoad);
  const std::optional<int> unacknowledged = WriteConfiguration(app.link, loaded.values);
  app.host.SetBusyCursor(false);
  if (unacknowledged) Warn(app, app.texts.Text(lang::kWriteFailed), app.texts.Text(lang::kWriteFailedCaption));
  app.safety.ReportIfNotKept(app.main_window.state.page);
}

}  // namespace korvel
