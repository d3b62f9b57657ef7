#pragma once
#include <cstdint>
#include <string>

#include "platform/drawing.hpp"

namespace korvel {

struct DialogTemplate;   // resources/dialog_templates.hpp
struct MenuBarResource;  // resources/menus.hpp

// Notification codes that the pages react to.
constexpr int kComboSelectionChanged = 1;
constexpr int kComboDroppedDown = 7;
constexpr int kComboClosedUp = 8;
constexpr int kButtonClicked = 0;

// Scroll requests.
constexpr int kScrollLineUp = 0;    // line left / line up
constexpr int kScrollLineDown = 1;  // line right / line down
constexpr int kScrollPageUp = 2;
constexpr int kScrollPageDown = 3;
constexpr int kScrollThumbTrack = 5;

// Dialog results and message-box answers.
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

struct Size {
  int width, height;
};

// A page or dialog window created from a dialog template. Controls are addressed by their id;
// operations on an id the window does not have do nothing (and queries return 0 / -1 / false).
class Window {
 public:
  virtual ~Window() = default;

  // Combo boxes (drop-down lists).
  virtual void AddListEntry(int id, const char* text) = 0;  // text in code page 1250
  virtual void ResetList(int id) = 0;
  // A position outside the list shows no selection.
  virtual void SelectListEntry(int id, int position) = 0;
  virtual int GetListSelection(int id) = 0;  // -1 when nothing is selected
  virtual int GetListCount(int id) = 0;

  // Check boxes.
  virtual void SetCheck(int id, bool checked) = 0;
  virtual bool GetCheck(int id) = 0;

  // Any control.
  virtual void ShowControl(int id, bool visible) = 0;
  virtual void EnableControl(int id, bool enabled) = 0;
  virtual void SetControlText(int id, const char* text) = 0;  // code page 1250
  virtual void MoveControl(int id, int x, int y, int width, int height) = 0;  // device pixels

  // Scroll bars.
  virtual void SetScrollRange(int id, int minimum, int maximum) = 0;
  virtual void SetScrollPosition(int id, int position) = 0;
  virtual int GetScrollPosition(int id) = 0;

  // Timers: SetTimer starts or restarts timer `timer_id` with the period; they die with the window.
  virtual void SetTimer(int timer_id, uint32_t period_ms) = 0;
  virtual void KillTimer(int timer_id) = 0;

  // The window itself, in device pixels relative to its parent (a page: the main window's client
  // area; a modal dialog: the screen).
  virtual void MoveWindow(int x, int y, int width, int height) = 0;
  virtual Size GetWindowSize() = 0;
  virtual void SetTitle(const char* text) = 0;  // code page 1250; modal dialogs only
  // Ends a modal dialog; RunModalDialog returns `result`.
  virtual void EndDialog(int result) = 0;

  // A fresh device context of this window (defaults restored). At most two are held at a time
  // (the text context and the shape context of the drawing pages); release each one.
  virtual Canvas& GetContext() = 0;
  virtual void ReleaseContext(Canvas& canvas) = 0;
};

// The procedure side of a page or dialog: what the window system delivers to it.
class WindowProc {
 public:
  virtual ~WindowProc() = default;

  // Returns true to let the system set the default focus.
  virtual bool OnInitDialog(Window& window) {
    (void)window;
    return true;
  }
  virtual void OnPaint(Window& window) { (void)window; }
  virtual void OnTimer(Window& window, int timer_id) {
    (void)window;
    (void)timer_id;
  }
  // control_id is the low word, code the notification (high word) of a command.
  virtual void OnCommand(Window& window, int control_id, int code) {
    (void)window;
    (void)control_id;
    (void)code;
  }
  // A scroll request from scroll bar control_id; position is the thumb position of a thumb track.
  virtual void OnScroll(Window& window, int control_id, bool vertical, int request, int position) {
    (void)window;
    (void)control_id;
    (void)vertical;
    (void)request;
    (void)position;
  }
  virtual void OnDestroy(Window& window) { (void)window; }
};

enum class MessageIcon { kInformation, kWarning };
enum class MessageButtons { kOk, kYesNo };

struct FileDialogRequest {
  Window* owner = nullptr;
  const char* filter_name = "";        // e.g. "Korvel settings (*.kvs)"
  const char* pattern = "";            // e.g. "*.kvs"
  const char* default_extension = "";  // e.g. "kvs", added when the name has no extension
  const char* title = "";              // code page 1250
  const char* folder = "";             // where the dialog opens; empty: the system's choice
};

// What the main window procedure receives.
class MainWindowProcedure {
 public:
  virtual ~MainWindowProcedure() = default;
  virtual void OnCreate() = 0;
  virtual void OnPaint() = 0;
  virtual void OnCommand(int id) = 0;
  virtual void OnClose() = 0;
  virtual void OnExitMenuLoop() = 0;
  virtual void OnDestroy() = 0;
};

// The main window and the services of the window system.
class Host {
 public:
  virtual ~Host() = default;

  // Creates the main window at x, y with the size given and the menu bar, calling OnCreate of the
  // procedure inside; false when the window could not be created. The bar is copied; the caller
  // need not keep it.
  virtual bool CreateMainWindow(MainWindowProcedure& procedure, const char* title, const MenuBarResource& menu,
                                int x, int y, int width, int height) = 0;
  virtual void ShowMainWindow() = 0;
  // Runs the event loop until Quit; returns the quit code. Alt+F4 and Alt+F1 reach the main
  // window procedure as the commands Exit and Program information (resources/menu_commands.hpp).
  virtual int RunMessageLoop() = 0;
  virtual void DestroyMainWindow() = 0;  // calls OnDestroy of the procedure
  virtual void Quit(int code) = 0;

  virtual Size DesktopSize() = 0;      // logical pixels of the desktop
  virtual Size MainClientSize() = 0;   // client area of the main window
  virtual void MoveMainWindow(int x, int y, int width, int height) = 0;
  virtual void SetMainTitle(const char* text) = 0;  // code page 1250
  virtual void InvalidateMainWindow() = 0;          // a paint follows

  // Replaces the menu bar (148 Polish, 177 English, as the main window made it); the items' states
  // start afresh.
  virtual void SetMenuBar(const MenuBarResource& menu) = 0;
  virtual void DrawMenuBar() = 0;
  virtual void CheckMenuItem(int id, bool checked) = 0;
  virtual void EnableMenuItem(int id, bool enabled) = 0;  // disabled items are greyed
  virtual void HighlightMenuItem(int id, bool highlighted) = 0;
  virtual void SetMenuItemBitmaps(int id, int unchecked_bitmap, int checked_bitmap) = 0;

  // Pages: visible child dialogs of the main window without frame, made from a page's template.
  // OnInitDialog runs inside. Returns nullptr when the window could not be made.
  virtual Window* CreatePage(const DialogTemplate& dialog, WindowProc& procedure) = 0;
  virtual void DestroyPage(Window* page) = 0;  // OnDestroy runs inside; nullptr is ignored
  // Repaints a page (the page's OnPaint follows).
  virtual void InvalidatePage(Window* page) = 0;

  // Modal dialog; the owner's and other windows' timers keep arriving while it runs.
  virtual int RunModalDialog(const DialogTemplate& dialog, WindowProc& procedure, Window* owner) = 0;
  virtual int ShowMessageBox(Window* owner, const char* text, const char* caption, MessageIcon icon,
                             MessageButtons buttons) = 0;
  // Common file dialogs: true with the chosen path, false when the user cancelled.
  virtual bool GetOpenFileName(const FileDialogRequest& request, std::string& path) = 0;
  virtual bool GetSaveFileName(const FileDialogRequest& request, std::string& path) = 0;
  virtual void SetBusyCursor(bool busy) = 0;
};

}  // namespace korvel
