#include "shell/main_window.hpp"

#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "pages/common/size_classes.hpp"
#include "pages/service/service_templates.hpp"
#include "resources/menus.hpp"
#include "shell/application.hpp"
#include "shell/file_commands.hpp"

namespace korvel {

namespace {

int FloorHalf(int value) { return value >= 0 ? value / 2 : -((1 - value) / 2); }

// Said once at start-up when the language file cannot be read: every text of the program would
// be empty without a word why. The table is empty, so the words are fixed here, in both languages
// (code page 1250, as the message box shows them).
void WarnLanguageFileMissing(Host& host, Window* owner, const char* language_code) {
  const std::string file = std::string("../Lang/Korvel_lang.") + language_code;
  std::error_code error;
  const std::string folder = std::filesystem::current_path(error).string();
  const std::string text = "Nie znaleziono pliku tekst\xF3w " + file + " (folder roboczy: " + folder +
                           "). Napisy programu pozostan\xB9 puste.\n\nThe text file " + file +
                           " was not found (working folder: " + folder + "). The program's texts stay empty.";
  host.ShowMessageBox(owner, text.c_str(), "Korvel: brak tekst\xF3w / texts missing", MessageIcon::kWarning,
                      MessageButtons::kOk);
}

}  // namespace

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
  // 7. A missing file leaves the slots empty; the fitter is told once the window is complete.
  const bool texts_loaded = LoadLanguageTexts(app_.texts, app_.settings.language_code);
  // 8. The Readings page first.
  PageProcedure& readings = ProcedureOf(ReadingsView);
  state.page = CreatePageOf(ReadingsView);
  if (state.page != nullptr) {
    state.page->MoveWindow(-5, -10, shared.page_width, shared.page_height);
    readings.Build(*state.page);
  }
  shared.ViewId = ReadingsView;
  SetCaption(ReadingsView);
  // 9, 10. The bar of the language, with the checks and greying re-applied.
  InstallMenuBar();
  SetLanguageItemBitmaps();
  EnableSizeItems(state.size_class_enabled);
  CheckPortItem(state.port_item_code);
  ApplySizeLayout();
  app_.safety.ShowRecordingState();
  if (!texts_loaded) WarnLanguageFileMissing(host, state.page, app_.settings.language_code);
}

void MainWindowProc::OnPaint() {
  SharedState& shared = app_.shared;
  ApplyClassFonts();
  if (state.page != nullptr && ProcedureOf(shared.ViewId).PaintFromMainWindow(*state.page)) HighlightPageItem();
  // A desktop of another size (a docking station, a projector) only changes which sizes fit.
  const Size desktop = app_.host.DesktopSize();
  if (desktop.width != shared.screen_width || desktop.height != shared.screen_height) {
    shared.screen_width = desktop.width;
    shared.screen_height = desktop.height;
    EnableSizeItems(ClassifyScreen(desktop.width, desktop.height));
  }
  if (state.page != nullptr) ProcedureOf(shared.ViewId).AfterMainWindowPaint(*state.page);
}

void MainWindowProc::OnClose() { CloseMainWindow(); }

void MainWindowProc::OnExitMenuLoop() { HighlightPageItem(); }

void MainWindowProc::OnDestroy() {
  app_.safety.StopRecording();
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
  } else if (const PageEntry* entry = PageOfCommand(id); entry != nullptr) {
    SwitchPage(entry->page.view_id);
    HighlightPageItem();
  } else if (id == kCommandOpen) {
    OpenConfigurationCommand(app_);
  } else if (id == kCommandSaveAs) {
    SaveConfigurationCommand(app_);
  } else if (id == kCommandRestorePoint) {
    OpenConfigurationCommand(app_, app_.safety.folder.c_str());
  } else if (id == kCommandRecordDrive) {
    app_.safety.RecordDrive();
  } else if (id == kCommandStopRecording) {
    app_.safety.StopRecording();
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
  if (const DialogTemplate* dialog = FindTemplateIn(ServiceTemplates(), kAboutTemplate)) {
    app_.host.RunModalDialog(*dialog, app_.about_dialog, nullptr);
  }
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
  app_.safety.PortChanged();
}

void MainWindowProc::SelectSizeClass(int size_class) {
  SetSizeClass(size_class);
  ApplySizeClass();
}

void MainWindowProc::SwitchPage(int view_id) {
  if (app_.shared.ViewId == view_id) return;
  app_.shared.ViewId = view_id;
  // A page built by the size-class step is created here and a second time by that step.
  if (ProcedureOf(view_id).BuiltBySizeClass()) {
    RecreatePage(view_id);
    ApplySizeClass();
  } else {
    BuildPage(view_id);
  }
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
  app_.safety.ShowRecordingState();
  HighlightPageItem();
}

// ---- Menu state ------------------------------------------------------------------------------

void MainWindowProc::InstallMenuBar() {
  const bool english = std::strcmp(app_.settings.language_code, "ang") == 0;
  state.menu_id = english ? kEnglishMenu : kPolishMenu;
  Host& host = app_.host;
  host.SetMenuBar(menus.Bar(state.menu_id));
  host.DrawMenuBar();
  host.CheckMenuItem(kCommandEnglish, english);
  host.CheckMenuItem(kCommandPolish, !english);
}

void MainWindowProc::HighlightPageItem() {
  for (const PageEntry& entry : Pages()) app_.host.HighlightMenuItem(entry.page.menu_command, false);
  if (const PageEntry* shown = FindPage(app_.shared.ViewId); shown != nullptr) {
    app_.host.HighlightMenuItem(shown->page.menu_command, true);
  }
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
  app_.host.CheckMenuItem(DescribeSizeClass(shared.SizeClass).size_menu_item, true);
  ApplySizeLayoutState(shared);
}

// ---- Size classes and pages ------------------------------------------------------------------

void MainWindowProc::SetSizeClass(int size_class) { SetSizeClassState(app_.shared, size_class); }

void MainWindowProc::PlaceForScreen() {
  SharedState& shared = app_.shared;
  const Size desktop = app_.host.DesktopSize();
  const WindowPosition at = PlaceMainWindow(desktop.width, desktop.height, shared.page_width, shared.page_height);
  app_.host.MoveMainWindow(at.x, at.y, shared.page_width, shared.page_height);
}

void MainWindowProc::ApplyClassFonts() {
  ApplyClassFontState(app_.shared);
  if (state.page != nullptr) ProcedureOf(app_.shared.ViewId).PlaceClassControls(*state.page);
}

void MainWindowProc::ApplySizeClass() {
  ApplySizeLayout();
  PlaceForScreen();
  ApplyClassFonts();
  const int view = app_.shared.ViewId;
  // A page kept across rebuilds places its controls for the class when it is next painted.
  if (!ProcedureOf(view).KeptAcrossRebuilds()) BuildPage(view);
}

Window* MainWindowProc::CreatePageOf(int view_id) {
  const PageEntry& entry = EntryOf(view_id);
  PageProcedure& procedure = entry.procedure(app_);
  const DialogTemplate* dialog = FindTemplateIn(entry.page.templates(), procedure.TemplateFor(app_.shared.SizeClass));
  return dialog != nullptr ? app_.host.CreatePage(*dialog, procedure) : nullptr;
}

const PageEntry& MainWindowProc::EntryOf(int view_id) const {
  const PageEntry* entry = FindPage(view_id);
  return entry != nullptr ? *entry : Pages().front();
}

PageProcedure& MainWindowProc::ProcedureOf(int view_id) { return EntryOf(view_id).procedure(app_); }

void MainWindowProc::RecreatePage(int view_id) {
  Window* old_page = state.page;
  state.page = nullptr;
  app_.host.DestroyPage(old_page);
  state.page = CreatePageOf(view_id);
}

// Destroys the current page and builds the page of `view_id` for the current size class.
void MainWindowProc::BuildPage(int view_id) {
  RecreatePage(view_id);
  if (state.page != nullptr) ProcedureOf(view_id).Build(*state.page);
}

void MainWindowProc::RebuildPageForLanguage() {
  const int view = app_.shared.ViewId;
  PageProcedure& procedure = ProcedureOf(view);
  if (procedure.KeptAcrossRebuilds()) {
    if (state.page != nullptr) procedure.RelabelInPlace(*state.page);
  } else if (procedure.BuiltBySizeClass()) {
    RecreatePage(view);
    SetCaption(view);
    ApplySizeClass();
    return;
  } else {
    RecreatePage(view);
    if (state.page != nullptr) procedure.BuildForLanguage(*state.page);
  }
  SetCaption(view);
}

void MainWindowProc::SetCaption(int view_id) {
  if (const PageEntry* entry = FindPage(view_id); entry != nullptr) {
    app_.safety.SetCaption(app_.texts.Text(entry->page.caption_slot));
  }
}

}  // namespace korvel
