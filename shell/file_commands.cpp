#include "shell/file_commands.hpp"

#include <cstdio>
#include <string>

#include "files/configuration_file.hpp"
#include "shell/application.hpp"

namespace korvel {

namespace {

// Text slots of the file commands.
constexpr int kOpenTitleSlot = 165;
constexpr int kSaveTitleSlot = 166;
constexpr int kCannotOpenSlot = 167;
constexpr int kKeyMismatchSlot = 168;
constexpr int kKeyMismatchCaptionSlot = 169;
constexpr int kWriteFailedCaptionSlot = 170;
constexpr int kWriteFailedSlot = 171;
constexpr int kOverwriteCaptionSlot = 172;
constexpr int kOverwriteSlot = 173;
constexpr int kNotConnectedSlot = 161;

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

bool FileExists(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

// Message boxes take code-page-1250 text; the reason a save failed comes from the system in UTF-8
// (it may name a path with Polish letters). Polish letters are carried over, anything else outside
// ASCII becomes '?'.
std::string Utf8ToCp1250(const std::string& text) {
  struct Letter {
    unsigned code_point;
    char cp1250;
  };
  static constexpr Letter kLetters[] = {
      {0x104, '\xA5'}, {0x105, '\xB9'}, {0x106, '\xC6'}, {0x107, '\xE6'}, {0x118, '\xCA'}, {0x119, '\xEA'},
      {0x141, '\xA3'}, {0x142, '\xB3'}, {0x143, '\xD1'}, {0x144, '\xF1'}, {0xD3, '\xD3'},  {0xF3, '\xF3'},
      {0x15A, '\x8C'}, {0x15B, '\x9C'}, {0x179, '\x8F'}, {0x17A, '\x9F'}, {0x17B, '\xAF'}, {0x17C, '\xBF'},
  };
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      out += static_cast<char>(lead);
      ++i;
      continue;
    }
    int extra = (lead >= 0xF0) ? 3 : (lead >= 0xE0) ? 2 : (lead >= 0xC0) ? 1 : 0;
    unsigned code_point = lead & (0x3Fu >> extra);
    size_t j = i + 1;
    for (int k = 0; k < extra && j < text.size(); ++k, ++j) {
      code_point = (code_point << 6) | (static_cast<unsigned char>(text[j]) & 0x3Fu);
    }
    char mapped = '?';
    for (const Letter& letter : kLetters) {
      if (letter.code_point == code_point) mapped = letter.cp1250;
    }
    out += mapped;
    i = j;
  }
  return out;
}

}  // namespace

bool RecordsHoldControllerReplies(const Application& app) {
  return app.link.ConfigRecord[0] == kLeadByte && app.link.OptionsRecord[0] == kLeadByte &&
         app.link.LiveDataRecord[0] == kLeadByte;
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

void OpenConfigurationCommand(Application& app) {
  std::string path;
  const FileDialogRequest request = DialogRequest(app, kOpenTitleSlot);
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
  const int failed = WriteConfiguration(app.link, loaded.values);
  app.host.SetBusyCursor(false);
  if (failed >= 0) Warn(app, app.texts.Text(kWriteFailedSlot), app.texts.Text(kWriteFailedCaptionSlot));
}

}  // namespace korvel
