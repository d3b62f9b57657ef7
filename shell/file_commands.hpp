#pragma once
#include <string>

namespace korvel {

class Application;

constexpr const char* kSettingsFilterName = "Korvel settings (*.kvs)";
constexpr const char* kSettingsPattern = "*.kvs";
constexpr const char* kSettingsExtension = "kvs";
constexpr const char* kIoErrorCaption = "I/O Error";

// File > Open...: reads a parameter file and writes its 28 values into the controller, after a
// restore point of the parameters it replaces. With `folder`, the dialog opens there (File >
// Restore point...).
void OpenConfigurationCommand(Application& app, const char* folder = "");
// File > Save As...: writes the parameter set the polls last brought into a file.
void SaveConfigurationCommand(Application& app);

// True when the configuration, options and live-data records all hold a reply of the controller
// (lead byte 0x65), i.e. there is a parameter set worth saving.
bool RecordsHoldControllerReplies(const Application& app);

}  // namespace korvel
