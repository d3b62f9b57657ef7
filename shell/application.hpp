#pragma once
#include "files/configuration_file.hpp"
#include "files/settings_file.hpp"
#include "link/controller_link.hpp"
#include "link/serial_port.hpp"
#include "pages/common/gauge_geometry.hpp"
#include "pages/common/page_context.hpp"
#include "pages/common/shared_state.hpp"
#include "pages/configuration/configuration_page.hpp"
#include "pages/options/options_page.hpp"
#include "pages/oscilloscope/oscilloscope_page.hpp"
#include "pages/readings/readings_page.hpp"
#include "pages/service/about_dialog.hpp"
#include "pages/service/reset_page.hpp"
#include "pages/service/schema_page.hpp"
#include "platform/window.hpp"
#include "shell/main_window.hpp"
#include "shell/safety_net.hpp"
#include "texts/language_table.hpp"

namespace korvel {

// The whole program's state: one instance owns the link, the texts, the settings, the shared
// presentation state, the lasting state of every page and the page procedures. The serial port
// and the window system are lent to it (the machine's own in the program, simulated ones in tests).
class Application {
 public:
  Application(SerialPort& port, Host& host);
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Builds the tables and creates the main window (its creation handler runs inside). False when
  // the window could not be created.
  bool Start();
  // Start, show the window and run the event loop; returns the exit code (0 when the window could
  // not be created).
  int Run();

  Host& host;
  ControllerLink link;
  LanguageTable texts;
  SettingsState settings;
  SharedState shared;
  GaugeTables gauges{};
  ArcScratch arc;
  ExpectedStrings expected{};
  ReadingsState readings_state;
  ConfigurationState configuration_state;
  SchemaState schema_state;
  ScopeState scope_state;
  PageContext context;

  ReadingsPage readings_page;
  ConfigurationPage configuration_page;
  OptionsPage options_page;
  SchemaPage schema_page;
  ResetPage reset_page;
  OscilloscopePage oscilloscope_page;
  AboutDialog about_dialog;

  MainWindowProc main_window;
  SafetyNet safety;
};

}  // namespace korvel
