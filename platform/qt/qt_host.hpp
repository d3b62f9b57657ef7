#pragma once
#include <QPointer>
#include <QString>
#include <map>
#include <memory>
#include <vector>

#include "platform/qt/qt_bitmaps.hpp"
#include "platform/qt/qt_fonts.hpp"
#include "platform/qt/qt_window.hpp"
#include "platform/window.hpp"

class QApplication;
class QMainWindow;
class QMenuBar;
class QAction;
class QProxyStyle;

namespace korvel {

class QtMainWidget;

// The state of one menu item, as the tests and the highlight drawing see it.
struct QtMenuItemState {
  bool exists = false;
  QString text;
  bool checked = false;
  bool enabled = true;
  bool highlighted = false;
  int unchecked_bitmap = 0;
  int checked_bitmap = 0;
  bool on_bar = false;  // a command item directly on the bar
};

// The window system on Qt Widgets: the main window with its menu bar, pages and modal dialogs
// built from the dialog templates, message boxes, file dialogs and the event loop of the
// application that the program's main created.
class QtHost : public Host, public QtWindowServices {
 public:
  explicit QtHost(QApplication& application);
  ~QtHost() override;
  QtHost(const QtHost&) = delete;
  QtHost& operator=(const QtHost&) = delete;

  // Host.
  bool CreateMainWindow(MainWindowProcedure& procedure, const char* title, const MenuBarResource& menu, int x, int y,
                        int width, int height) override;
  void ShowMainWindow() override;
  int RunMessageLoop() override;
  void DestroyMainWindow() override;
  void Quit(int code) override;
  Size DesktopSize() override;
  Size MainClientSize() override;
  void MoveMainWindow(int x, int y, int width, int height) override;
  void SetMainTitle(const char* text) override;
  void InvalidateMainWindow() override;
  void SetMenuBar(const MenuBarResource& menu) override;
  void DrawMenuBar() override;
  void CheckMenuItem(int id, bool checked) override;
  void EnableMenuItem(int id, bool enabled) override;
  void HighlightMenuItem(int id, bool highlighted) override;
  void SetMenuItemBitmaps(int id, int unchecked_bitmap, int checked_bitmap) override;
  Window* CreatePage(const DialogTemplate& dialog, WindowProc& procedure) override;
  void DestroyPage(Window* page) override;
  void InvalidatePage(Window* page) override;
  int RunModalDialog(const DialogTemplate& dialog, WindowProc& procedure, Window* owner) override;
  int ShowMessageBox(Window* owner, const char* text, const char* caption, MessageIcon icon,
                     MessageButtons buttons) override;
  bool GetOpenFileName(const FileDialogRequest& request, std::string& path) override;
  bool GetSaveFileName(const FileDialogRequest& request, std::string& path) override;
  void SetBusyCursor(bool busy) override;

  // The same from a template given directly (the tests build their own).

  // QtWindowServices.
  const QtFontSet& CanvasFonts() override;
  QtBitmapCache& Bitmaps() override { return bitmaps_; }
  QFont ControlFont(int base_width, int base_height) override;

  // For the tests and diagnostics.
  QMainWindow* MainWidget();
  QMenuBar* MenuBar();
  QtMenuItemState MenuItemState(int id) const;
  int CurrentMenuId() const { return menu_id_; }
  bool BusyCursorShown() const { return busy_; }
  void TriggerMenuCommand(int id);  // as if the user chose the item

 private:
  struct MenuEntry {
    QAction* action = nullptr;
    bool checked = false;
    bool highlighted = false;
    int unchecked_bitmap = 0;
    int checked_bitmap = 0;
    bool on_bar = false;
  };

  friend class QtMainWidget;
  void ApplyMainGeometry();
  void ScheduleMainPaint();
  void UpdateItemLook(MenuEntry& entry);
  void DeliverMenuCommand(int id, bool from_bar);
  void DeliverClose();
  QtWindow* FindPage(Window* page);
  bool RunFileDialog(const FileDialogRequest& request, bool save, std::string& path);

  QApplication& application_;
  MainWindowProcedure* procedure_ = nullptr;
  QPointer<QtMainWidget> main_;
  QPointer<QtMainWidget> retired_main_;  // destroyed, waiting for its deferred deletion
  std::unique_ptr<QProxyStyle> menu_style_;
  std::vector<QPointer<QtPageWidget>> pages_;
  std::map<int, MenuEntry> menu_items_;
  int menu_id_ = 0;
  std::unique_ptr<QtFontSet> canvas_fonts_;
  std::map<std::pair<int, int>, QFont> control_fonts_;
  QtBitmapCache bitmaps_;
  bool main_paint_pending_ = false;
  bool quit_requested_ = false;
  int quit_code_ = 0;
  bool busy_ = false;
  int requested_x_ = 0, requested_y_ = 0, requested_width_ = 640, requested_height_ = 450;
};

}  // namespace korvel
