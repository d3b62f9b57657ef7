#include "shell/main_window.hpp"

#include <cstring>

#include "pages/common/size_classes.hpp"
#include "resources/menus.hpp"
#include "shell/application.hpp"
#include "shell/file_commands.hpp"

namespace korvel {

namespace {

constexpr int kPageItems[6] = {kCommandReadings, kCommandConfiguration, kCommandOptions,
                               kCommandSchema,   kCommandReset,         kCommandOscilloscope};
constexpr int kOptionsTemplates[5] = {152, 125, 153, 154, 156};
constexpr int kCaptionSlots[6] = {175, 176, 177, 178, 179, 180};

// The Reset page's three controls by size class: static 1104, static 1105, button 126 (x, y, w, h).
constexpr int kResetControlIds[3] = {1104, 1105, 126};
constexpr int kResetPlacement[5][3][4] = {
    {{65, 90, 800, 40}, {65, 130, 800, 40}, {85, 190, 450, 45}},
    {{150, 130, 800, 40}, {150, 170, 800, 40}, {120, 250, 550, 55}},
    {{250, 150, 800, 40}, {250, 200, 800, 40}, {150, 300, 700, 65}},
    {{360, 250, 800, 40}, {360, 300, 800, 40}, {220, 400, 800, 75}},
    {{360, 300, 800, 40}, {360, 350, 800, 40}, {220, 450, 800, 75}},
};
constexpr int kResetTextSlots[3] = {134, 135, 136};

int FloorHalf(int value) { return value >= 0 ? value / 2 : -((1 - value) / 2); }

int ClampClass(int size_class) { return size_class < 1 ? 1 : (size_class > 5 ? 5 : size_class); }

int ClampView(int view_id) { return view_id < 1 ? 1 : (view_id > 6 ? 6 : view_id); }

}  // namespace

int PageTemplateFor(int view_id, int size_class) {
  switch (view_id) {
    case ReadingsView: return kReadingsTemplate;
    case ConfigurationView: return ConfigurationTemplateFor(size_class);
    case OptionsView: return kOptionsTemplates[ClampClass(size_class) - 1];
    case SchemaView: return kSchemaTemplate;
    case ResetView: return kResetTemplate;
    case OscilloscopeView: return kOscilloscopeTemplate;
    default: return 0;
  }
}

int PageMenuItem(int view_id) { return kPageItems[ClampView(view_id) - 1]; }

int PageCaptionSlot(int view_id) { return kCaptionSlots[ClampView(view_id) - 1]; }

int ViewOfCommand(int command) {
  for (int view = 1; view <= 6; ++view) {
    if (kPageItems[view - 1] == command) return view;
  }
  return 0;
}

int SizeClassOfCommand(int command) {
  for (int size_class = 1; size_class <= 5; ++size_class) {
    if (DescribeSizeClass(size_class).size_menu_item == command) return size_class;
  }
  return 0;
}

WindowPosition PlaceMainWindow(int screen_width, int screen_height, int width, int height) {
  const int spare = screen_width - width;
  if (spare >= 0 && spare <= 50) return {0, 0};
  return {FloorHalf(spare), FloorHalf(screen_height - height)};
}

// ---- Creation, painting, closing -------------------------------------------------------------

void MainWindowProc::OnCreate() {
  Host& host = app_.host;
  SharedState& shared = app_.shared;
  // 1. The window was created with the Polish bar.
  state.menu_id = kPolishMenu;
  // 2. Size class from the desktop.
  const Size desktop = host.DesktopSize();
  shared.screen_width = desktop.width;
  shared.screen_height = desktop.height;
  SetSizeClass(ClassifyScreen(desktop.width, desktop.height));
  // 3.
  EnableSizeItems(shared.SizeClass);
  ApplySizeLayout();
  // 4.
  const WindowPosition at = PlaceMainWindow(desktop.width, desktop.height, shared.page_width, shared.page_height);
  host.MoveMainWindow(at.x, at.y, shared.page_width, shared.page_height);
  // 5, 6. Port and language kept from the last run.
  ReadSettingsFile(app_.settings);
  const int32_t port_number = PortNumberChosen(app_.settings.stored_port_number);
  app_.settings.stored_port_number = port_number;
  app_.link.SetPortName(PortNameFromNumber(port_number));
  CheckPortItem(10 + port_number);
  // 7.
  LoadLanguageTexts(app_.texts, app_.settings.language_code);
  // 8. The Readings page first.
  state.page = host.CreatePage(kReadingsTemplate, app_.readings_page);
  if (state.page != nullptr) {
    state.page->MoveWindow(-5, -10, shared.page_width, shared.page_height);
    app_.readings_page.DrawReadingsFrame(*state.page);
  }
  shared.ViewId = ReadingsView;
  SetCaption(ReadingsView);
  // 9, 10. The bar of the language, with the checks and greying re-applied.
  InstallMenuBar();
  SetLanguageItemBitmaps();
  EnableSizeItems(state.size_class_enabled);
  CheckPortItem(state.port_item_code);
  ApplySizeLayout();
}

void MainWindowProc::OnPaint() {
  SharedState& shared = app_.shared;
  ApplyClassFonts();
  Window* page = state.page;
  if (page != nullptr) {
    switch (shared.ViewId) {
      case ReadingsView:
        app_.readings_page.DrawReadingsFrame(*page);
        app_.readings_page.DrawReadingsValues(*page);
        HighlightPageItem();
        break;
      case ResetView:
        page->MoveWindow(0, 0, shared.page_width, shared.page_height);
        PlaceResetControls();
        break;
      default:
        // The Schema and Oscilloscope pages draw their own content once they exist; the
        // parameter pages need nothing from here.
        break;
    }
  }
  // A desktop of another size (a docking station, a projector) only changes which sizes fit.
  const Size desktop = app_.host.DesktopSize();
  if (desktop.width != shared.screen_width || desktop.height != shared.screen_height) {
    shared.screen_width = desktop.width;
    shared.screen_height = desktop.height;
    EnableSizeItems(ClassifyScreen(desktop.width, desktop.height));
  }
  if (state.page != nullptr) {
    // Greying and re-enabling makes the learn button redraw over the freshly painted frame.
    state.page->EnableControl(kLearnButtonId, false);
    state.page->EnableControl(kLearnButtonId, true);
  }
}

void MainWindowProc::OnClose() { CloseMainWindow(); }

void MainWindowProc::OnExitMenuLoop() { HighlightPageItem(); }

void MainWindowProc::OnDestroy() {
  app_.link.ClosePort();
  app_.host.Quit(0);
}

void MainWindowProc::CloseMainWindow() {
  Window* page = state.page;
  state.page = nullptr;
  app_.host.DestroyPage(page);
  app_.host.DestroyMainWindow();
}

// ---- Commands -------------------------------------------------------------------------------

void MainWindowProc::OnCommand(int id) {
  if (id == kCommandExit) {
    CloseMainWindow();
  } else if (id == kCommandAbout) {
    ShowProgramInformation();
  } else if (const int view = ViewOfCommand(id); view != 0) {
    SwitchPage(view);
    HighlightPageItem();
  } else if (id == kCommandOpen) {
    OpenConfigurationCommand(app_);
  } else if (id == kCommandSaveAs) {
    SaveConfigurationCommand(app_);
  } else if (id >= kCommandPort1 && id <= kCommandPort4) {
    SelectPort(id - kCommandPort1 + 1);
  } else if (const int size_class = SizeClassOfCommand(id); size_class != 0) {
    SelectSizeClass(size_class);
  } else if (id == kCommandEnglish) {
    ChangeLanguage("ang");
  } else if (id == kCommandPolish) {
    ChangeLanguage("pol");
  }
}

void MainWindowProc::ShowProgramInformation() {
  app_.shared.BusyFlag = true;
  app_.host.RunModalDialog(kAboutTemplate, app_.about_dialog, nullptr);
  // The dialog clears the flag when it is closed; a dialog that ended any other way (or could not
  // be created) must not leave every page timer stopped for good.
  app_.shared.BusyFlag = false;
}

void MainWindowProc::SelectPort(int number) {
  app_.link.ClosePort();
  app_.link.SetPortName(PortNameFromNumber(number));
  CheckPortItem(10 + number);
  app_.settings.stored_port_number = number;
  WriteSettingsFile(app_.settings);
}

void MainWindowProc::SelectSizeClass(int size_class) {
  SetSizeClass(size_class);
  ApplySizeClass();
}

void MainWindowProc::SwitchPage(int view_id) {
  if (app_.shared.ViewId == view_id) return;
  app_.shared.ViewId = view_id;
  BuildPage(view_id);
  // The diagram page is built by the size-class step, which creates it a second time.
  if (view_id == SchemaView) ApplySizeClass();
  SetCaption(view_id);
}

void MainWindowProc::ChangeLanguage(const char* code) {
  SettingsState& settings = app_.settings;
  std::strncpy(settings.language_code, code, sizeof settings.language_code - 1);
  settings.language_code[sizeof settings.language_code - 1] = '\0';
  WriteSettingsFile(settings);
  LoadLanguageTexts(app_.texts, settings.language_code);
  RebuildPageForLanguage();
  InstallMenuBar();
  SetLanguageItemBitmaps();
  EnableSizeItems(state.size_class_enabled);
  CheckPortItem(state.port_item_code);
  ApplySizeLayout();
  HighlightPageItem();
}

// ---- Menu state ------------------------------------------------------------------------------

void MainWindowProc::InstallMenuBar() {
  const bool english = std::strcmp(app_.settings.language_code, "ang") == 0;
  state.menu_id = english ? kEnglishMenu : kPolishMenu;
  Host& host = app_.host;
  host.SetMenuBar(state.menu_id);
  host.DrawMenuBar();
  host.CheckMenuItem(kCommandEnglish, english);
  host.CheckMenuItem(kCommandPolish, !english);
}

void MainWindowProc::HighlightPageItem() {
  for (int item : kPageItems) app_.host.HighlightMenuItem(item, false);
  app_.host.HighlightMenuItem(PageMenuItem(app_.shared.ViewId), true);
}

void MainWindowProc::SetLanguageItemBitmaps() {
  Host& host = app_.host;
  host.DrawMenuBar();
  host.SetMenuItemBitmaps(kCommandPolish, kPolishMarkBitmap, kPolishMarkCheckedBitmap);
  host.SetMenuItemBitmaps(kCommandEnglish, kEnglishMarkBitmap, kEnglishMarkCheckedBitmap);
}

void MainWindowProc::EnableSizeItems(int size_class) {
  state.size_class_enabled = size_class;
  for (int c = 1; c <= 5; ++c) {
    app_.host.EnableMenuItem(DescribeSizeClass(c).size_menu_item, c <= size_class);
  }
}

void MainWindowProc::CheckPortItem(int code) {
  state.port_item_code = code;
  for (int item = kCommandPort1; item <= kCommandPort4; ++item) app_.host.CheckMenuItem(item, false);
  if (code >= 11 && code <= 14) app_.host.CheckMenuItem(kCommandPort1 + code - 11, true);
}

void MainWindowProc::ApplySizeLayout() {
  SharedState& shared = app_.shared;
  for (int c = 1; c <= 5; ++c) app_.host.CheckMenuItem(DescribeSizeClass(c).size_menu_item, false);
  const SizeClassInfo& info = DescribeSizeClass(shared.SizeClass);
  app_.host.CheckMenuItem(info.size_menu_item, true);
  shared.ScaleX = info.ScaleX;
  shared.ScaleY = info.ScaleY;
  for (int i = 0; i < 4; ++i) {
    shared.indicator_box[i] = info.indicator_box[i];
    shared.column_offsets[i] = info.column_offsets[i];
  }
}

// ---- Size classes and pages ------------------------------------------------------------------

void MainWindowProc::SetSizeClass(int size_class) {
  SharedState& shared = app_.shared;
  const SizeClassInfo& info = DescribeSizeClass(size_class);
  shared.SizeClass = ClampClass(size_class);
  shared.page_width = info.page_width;
  shared.page_height = info.page_height;
}

void MainWindowProc::PlaceForScreen() {
  SharedState& shared = app_.shared;
  const Size desktop = app_.host.DesktopSize();
  const WindowPosition at = PlaceMainWindow(desktop.width, desktop.height, shared.page_width, shared.page_height);
  app_.host.MoveMainWindow(at.x, at.y, shared.page_width, shared.page_height);
}

void MainWindowProc::ApplyClassFonts() {
  SharedState& shared = app_.shared;
  const SizeClassInfo& info = DescribeSizeClass(shared.SizeClass);
  shared.ValueFont = ValueFontOf(shared.SizeClass);
  shared.LabelFont = LabelFontOf(shared.SizeClass);
  shared.LearningLamp = info.LearningLamp;
  if (state.page != nullptr) {
    state.page->MoveControl(kLearnButtonId, info.learn_button[0], info.learn_button[1], info.learn_button[2],
                            info.learn_button[3]);
  }
}

void MainWindowProc::ApplySizeClass() {
  ApplySizeLayout();
  PlaceForScreen();
  ApplyClassFonts();
  const int view = app_.shared.ViewId;
  // The Reset page is kept: it places its controls for the class when it is next painted.
  if (view != ResetView) BuildPage(view);
}

void MainWindowProc::RecreatePage(int template_id, WindowProc& procedure) {
  Window* old_page = state.page;
  state.page = nullptr;
  app_.host.DestroyPage(old_page);
  state.page = app_.host.CreatePage(template_id, procedure);
}

// Destroys the current page and builds the page of `view_id` for the current size class. The
// Reset page is created the same way here; only ApplySizeClass keeps it.
void MainWindowProc::BuildPage(int view_id) {
  const int size_class = app_.shared.SizeClass;
  const int template_id = PageTemplateFor(view_id, size_class);
  switch (view_id) {
    case ReadingsView:
      RecreatePage(template_id, app_.readings_page);
      if (state.page != nullptr) app_.readings_page.DrawReadingsFrame(*state.page);
      break;
    case ConfigurationView:
      RecreatePage(template_id, app_.configuration_page);
      if (state.page != nullptr) {
        app_.configuration_page.FillConfigurationPage(*state.page);
        app_.configuration_page.LabelConfigurationPage(*state.page);
      }
      break;
    case OptionsView:
      RecreatePage(template_id, app_.options_page);
      break;
    case SchemaView:
      RecreatePage(template_id, app_.schema_page);
      break;
    case ResetView:
      RecreatePage(template_id, app_.reset_page);
      break;
    case OscilloscopeView:
      RecreatePage(template_id, app_.oscilloscope_page);
      break;
    default:
      break;
  }
}

void MainWindowProc::RebuildPageForLanguage() {
  const int view = app_.shared.ViewId;
  Window* page = state.page;
  switch (view) {
    case ConfigurationView:
      // Labels before contents here, the reverse of a page switch.
      RecreatePage(PageTemplateFor(view, app_.shared.SizeClass), app_.configuration_page);
      if (state.page != nullptr) {
        app_.configuration_page.LabelConfigurationPage(*state.page);
        app_.configuration_page.FillConfigurationPage(*state.page);
      }
      break;
    case SchemaView:
      RecreatePage(kSchemaTemplate, app_.schema_page);
      SetCaption(view);
      ApplySizeClass();
      return;
    case ResetView:
      if (page != nullptr) {
        for (int i = 0; i < 3; ++i) page->SetControlText(kResetControlIds[i], app_.texts.Text(kResetTextSlots[i]));
      }
      break;
    default:
      BuildPage(view);
      break;
  }
  SetCaption(view);
}

void MainWindowProc::SetCaption(int view_id) { app_.host.SetMainTitle(app_.texts.Text(PageCaptionSlot(view_id))); }

void MainWindowProc::PlaceResetControls() {
  const int index = app_.shared.SizeClass - 1;
  for (int i = 0; i < 3; ++i) {
    const int* r = kResetPlacement[index][i];
    state.page->MoveControl(kResetControlIds[i], r[0], r[1], r[2], r[3]);
  }
}

}  // namespace korvel
