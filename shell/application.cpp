#include "shell/application.hpp"

#include "resources/bitmaps.hpp"
#include "resources/menus.hpp"

namespace korvel {

Application::Application(SerialPort& port, Host& window_system)
    : host(window_system),
      link(port),
      context{link, texts, shared, gauges, host},
      readings_page(context, readings_state),
      configuration_page(context, configuration_state),
      options_page(context),
      schema_page(context, schema_state, settings.language_code),
      reset_page(context),
      oscilloscope_page(context, scope_state),
      about_dialog(context),
      main_window(*this),
      safety(*this) {
  link.poll_observer = &safety;
  reset_page.guard = &safety;
}

bool Application::Start() {
  // Everything the pages draw from is built before the window exists: the configuration-file
  // keys and the dial tables. Pens, brushes and fonts are fixed descriptions (platform/drawing).
  BuildExpectedStrings(expected);
  BuildGaugeTables(gauges, arc);
  // The window starts at the top-left corner with the smallest size; its creation handler sizes and
  // places it for the screen.
  return host.CreateMainWindow(main_window, LoadStringResource(1), main_window.menus.Bar(kPolishMenu), 0, 0, 640, 450);
}

int Application::Run() {
  if (!Start()) return 0;
  host.ShowMainWindow();
  return host.RunMessageLoop();
}

}  // namespace korvel
