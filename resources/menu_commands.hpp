#pragma once
// Command ids of the main window's menu bar, named once: the menus carry them, the hosts send
// Exit and Program information for Alt+F4 and Alt+F1, the main window and the pages' table
// dispatch on them, and each size class names its Size item.

namespace korvel {

enum MenuCommand : int {
  kCommandExit = 40002,
  kCommandAbout = 40003,  // Program information
  kCommandReadings = 40005,
  kCommandConfiguration = 40006,
  kCommandOptions = 40007,
  kCommandReset = 40008,
  kCommandOscilloscope = 40010,
  kCommandSchema = 40013,
  kCommandOpen = 40014,
  kCommandSaveAs = 40015,
  kCommandPort1 = 40019,  // .. kCommandPort4 for COM4, one apart
  kCommandPort2 = 40020,
  kCommandPort3 = 40021,
  kCommandPort4 = 40022,
  kCommandSize640x480 = 40028,
  kCommandSize800x600 = 40029,
  kCommandSize1024x768 = 40030,
  kCommandSize1280x1024 = 40031,
  kCommandSize1280x960 = 40032,
  kCommandEnglish = 40034,
  kCommandPolish = 40036,
  kCommandRestorePoint = 40040,   // File: load a restore point
  kCommandRecordDrive = 40041,    // File: record the drive into a log
  kCommandStopRecording = 40042,  // File: end the recording
};

}  // namespace korvel
