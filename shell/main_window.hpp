#pragma once
#include "pages/readings/readings_page.hpp"
#include "shell/menu_bars.hpp"
#include "shell/page_table.hpp"
#include "platform/window.hpp"
#include "resources/menu_commands.hpp"

namespace korvel {

class Application;

// Bitmaps of the language items: Polish unchecked / checked, English unchecked / checked.
constexpr int kPolishMarkBitmap = 109;
constexpr int kPolishMarkCheckedBitmap = 173;
constexpr int kEnglishMarkBitmap = 176;
constexpr int kEnglishMarkCheckedBitmap = 174;

// The size class a size command selects, or 0 for any other command.
int SizeClassOfCommand(int command);

// Where the main window goes on a desktop of W x H for a window of the given size: the top-left
// corner when the window is at most 50 pixels narrower than the desktop, centred otherwise (halves
// rounded toward minus infinity, so a desktop lower than the window gives a negative top).
struct WindowPosition {
  int x, y;
};
WindowPosition PlaceMainWindow(int screen_width, int screen_height, int width, int height);

// What the main window keeps beyond the presentation state that the pages share.
struct MainWindowState {
  Window* page = nullptr;       // the one page that exists
  int menu_id = 0;              // the current menu bar
  int size_class_enabled = 0;   // class the size items were last enabled for
  int port_item_code = 0;       // port item last checked, 11..14
};

// The procedure of the single top-level window: size classes, menus, page switching, the port and
// language choices, the file commands and the program-information box.
class MainWindowProc : public MainWindowProcedure {
 public:
  explicit MainWindowProc(Application& app) : app_(app) {}

  void OnCreate() override;
  void OnPaint() override;
  void OnCommand(int id) override;
  void OnClose() override;
  void OnExitMenuLoop() override;
  void OnDestroy() override;

  void HighlightPageItem();
  void SetLanguageItemBitmaps();
  void EnableSizeItems(int size_class);
  void CheckPortItem(int code);
  void ApplySizeLayout();
  void ApplySizeClass();
  void RebuildPageForLanguage();

  void SwitchPage(int view_id);
  void SelectPort(int number);
  void SelectSizeClass(int size_class);
  void ChangeLanguage(const char* code);
  void ShowProgramInformation();

  MainWindowState state;
  MenuBars menus;

 private:
  void SetSizeClass(int size_class);
  void PlaceForScreen();
  void ApplyClassFonts();
  const PageEntry& EntryOf(int view_id) const;  // the first page's for an unknown id
  PageProcedure& ProcedureOf(int view_id);
  // The page window of a view from its template (among its descriptor's) for the current size class.
  Window* CreatePageOf(int view_id);
  void RecreatePage(int view_id);
  void BuildPage(int view_id);
  void InstallMenuBar();
  void SetCaption(int view_id);
  void CloseMainWindow();

  Application& app_;
};

}  // namespace korvel
