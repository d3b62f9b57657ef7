#pragma once
// A window system without a display, for page and shell tests.
//
// Pages and dialogs are built from the dialog templates; every control keeps its state (entries,
// selection, check, visibility, text, pixel rectangle, scroll range and position); every drawing
// operation is recorded in device pixels together with the pen, brush, font and colours in force;
// timers fire from the VirtualClock that the simulated controller port shares, so a poll's
// exchange time moves the same clock the timers run on. Message boxes and file dialogs take
// scripted answers and remember what they were asked.
//
// Nothing paints by itself: creating a page or showing the main window delivers no paint. A test
// paints with PaintMainWindow() (main window, then the page) or window->Paint(); InvalidatePage
// and InvalidateMainWindow mark a paint that the next RunFor (also RunFor(0)) delivers first.
// A window destroyed while one of its handlers runs is freed when the outermost call into the
// window system returns; a pointer to a destroyed page must not be used afterwards.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/clock.hpp"
#include "platform/drawing.hpp"
#include "platform/window.hpp"
#include "resources/dialog_templates.hpp"

namespace korvel::headless {

class HeadlessHost;
class HeadlessWindow;
class DispatchScope;

// ---------------------------------------------------------------------------------------------
// Drawing record

enum class DrawKind { kRectangle, kRoundRect, kEllipse, kPolyline, kText, kBitmap };

struct DrawOp {
  DrawKind kind = DrawKind::kRectangle;
  // Rectangle, rounded rectangle, ellipse: the bounding box as passed (right and bottom
  // exclusive). Text: left, top = the x, y given. Bitmap: the destination x, y, x + width,
  // y + height.
  int left = 0, top = 0, right = 0, bottom = 0;
  int corner_width = 0, corner_height = 0;  // rounded rectangle
  std::vector<Point> points;                // polyline
  std::string text;  // text: the bytes drawn (the first `count` bytes, never past a terminator)
  int count = 0;     // text: the character count passed
  int bitmap_id = 0, src_x = 0, src_y = 0;  // bitmap copy
  // The state of the context at the time of the operation.
  Pen pen = Pen::DefaultPen;
  Brush brush = Brush::DefaultBrush;
  Font font = Font::SystemFont;
  Rgb text_colour = kBlack;
  Rgb background = kWhite;
  int context = 0;  // serial number of the context it was drawn with (1, 2, ... per window)
};

// One line describing an operation, for failure messages.
std::string Describe(const DrawOp& op);
std::string Describe(const std::vector<DrawOp>& ops);

// Finding operations in a record.
std::vector<const DrawOp*> FindOps(const std::vector<DrawOp>& ops, DrawKind kind);
// Text operations whose drawn bytes equal `text`.
std::vector<const DrawOp*> FindTexts(const std::vector<DrawOp>& ops, std::string_view text);
// The first text operation drawing `text`, or nullptr.
const DrawOp* FindText(const std::vector<DrawOp>& ops, std::string_view text);
// The first text operation at x, y, or nullptr.
const DrawOp* FindTextAt(const std::vector<DrawOp>& ops, int x, int y);
int CountOps(const std::vector<DrawOp>& ops, DrawKind kind);

// ---------------------------------------------------------------------------------------------
// Controls and windows

struct ControlState {
  int id = -1;
  ControlKind kind = ControlKind::kStatic;
  uint32_t style = kStyleNone;  // template style
  PixelRect rect{};             // device pixels in the window
  bool visible = true;
  bool enabled = true;
  std::string text;  // code page 1250
  int resource = 0;
  // Combo boxes.
  std::vector<std::string> entries;
  int selection = -1;
  bool dropped_down = false;
  // Check boxes.
  bool checked = false;
  // Scroll bars.
  int scroll_min = 0, scroll_max = 0, scroll_position = 0;
};

// A canvas of a headless window: records into the window's `ops`.
class HeadlessCanvas : public Canvas {
 public:
  explicit HeadlessCanvas(HeadlessWindow& window) : window_(window) {}

  void SelectPen(Pen pen) override { pen_ = pen; }
  void SelectBrush(Brush brush) override { brush_ = brush; }
  void SelectFont(Font font) override { font_ = font; }
  void SetTextColor(Rgb colour) override { text_colour_ = colour; }
  void SetBkColor(Rgb colour) override { background_ = colour; }

  void Rectangle(int left, int top, int right, int bottom) override;
  void RoundRect(int left, int top, int right, int bottom, int corner_width, int corner_height) override;
  void Ellipse(int left, int top, int right, int bottom) override;
  void Polyline(const Point* points, int count) override;
  void TextOut(int x, int y, const char* text, int count) override;
  void DrawBitmap(int bitmap_id, int x, int y, int width, int height, int src_x, int src_y) override;

  // Restores the state of a fresh context.
  void Reset(int serial);
  bool in_use = false;

  Pen pen() const { return pen_; }
  Brush brush() const { return brush_; }
  Font font() const { return font_; }
  Rgb text_colour() const { return text_colour_; }
  Rgb background() const { return background_; }

 private:
  DrawOp Begin(DrawKind kind) const;

  HeadlessWindow& window_;
  int serial_ = 0;
  Pen pen_ = Pen::DefaultPen;
  Brush brush_ = Brush::DefaultBrush;
  Font font_ = Font::SystemFont;
  Rgb text_colour_ = kBlack;
  Rgb background_ = kWhite;
};

struct TimerState {
  int id = 0;
  uint32_t period_ms = 0;
  uint64_t due_us = 0;    // virtual time of the next firing
  uint64_t sequence = 0;  // start order; renewed by every SetTimer, so a restart inside a handler holds
};

class HeadlessWindow : public Window {
 public:
  HeadlessWindow(HeadlessHost& host, const DialogTemplate& dialog, WindowProc& procedure, bool modal,
                 uint64_t serial);
  ~HeadlessWindow() override;

  // Window
  void AddListEntry(int id, const char* text) override;
  void ResetList(int id) override;
  void SelectListEntry(int id, int position) override;
  int GetListSelection(int id) override;
  int GetListCount(int id) override;
  void SetCheck(int id, bool checked) override;
  bool GetCheck(int id) override;
  void ShowControl(int id, bool visible) override;
  void EnableControl(int id, bool enabled) override;
  void SetControlText(int id, const char* text) override;
  void MoveControl(int id, int x, int y, int width, int height) override;
  void SetScrollRange(int id, int minimum, int maximum) override;
  void SetScrollPosition(int id, int position) override;
  int GetScrollPosition(int id) override;
  void SetTimer(int timer_id, uint32_t period_ms) override;
  void KillTimer(int timer_id) override;
  void MoveWindow(int x, int y, int width, int height) override;
  Size GetWindowSize() override;
  void SetTitle(const char* text) override;
  void EndDialog(int result) override;
  Canvas& GetContext() override;
  void ReleaseContext(Canvas& canvas) override;

  // What the test sees.
  int template_id() const { return dialog_.id; }
  const DialogTemplate& dialog() const { return dialog_; }
  WindowProc& procedure() { return procedure_; }
  bool modal() const { return modal_; }
  bool destroyed() const { return destroyed_; }
  bool ended() const { return ended_; }
  int end_result() const { return end_result_; }
  const std::string& title() const { return title_; }
  PixelRect rect() const { return rect_; }

  // The control with this id (the first one for -1), or nullptr.
  ControlState* Control(int id);
  const ControlState* Control(int id) const;
  std::vector<ControlState>& controls() { return controls_; }
  // Convenience reads; an unknown id gives an empty/false/-1 answer.
  std::string Text(int id) const;
  bool IsVisible(int id) const;
  bool IsEnabled(int id) const;
  std::vector<std::string> Entries(int id) const;
  // The text of the selected entry of a combo box, empty when nothing is selected.
  std::string SelectedText(int id) const;

  // Timers: the running ones by id.
  const std::map<int, TimerState>& timers() const { return timers_; }
  // Period of timer `timer_id`, 0 when it does not run.
  uint32_t TimerPeriod(int timer_id) const;

  // Every drawing operation since creation or the last ClearOps.
  std::vector<DrawOp> ops;
  void ClearOps() { ops.clear(); }
  // Contexts held right now and the most ever held at once.
  int contexts_held = 0;
  int max_contexts_held = 0;

  // Delivers a paint to the procedure now.
  void Paint();
  int paint_count = 0;
  bool paint_pending = false;

  // User actions: they change the control as a user would and send the notification a real
  // control sends. They do nothing and return false on a missing, hidden or disabled control,
  // which a user could not reach, or when the action does not fit the control.
  //   UserSelect: combo box, position inside the list: selection, then code 1.
  bool UserSelect(int id, int position);
  //   UserDropDown / UserCloseUp: combo box, codes 7 / 8.
  bool UserDropDown(int id);
  bool UserCloseUp(int id);
  //   UserChoose: the whole mouse gesture of picking an entry: 7, 8, then selection and 1.
  bool UserChoose(int id, int position);
  //   UserClick: push button or check box; an automatic check box toggles first. Code 0.
  bool UserClick(int id);
  //   UserScroll: a scroll bar sends the request (position for thumb track); the bar itself does
  //   not move, the procedure moves it.
  bool UserScroll(int id, int request, int position = 0);
  //   Escape or the close box of a dialog: command kIdCancel, code 0.
  void UserCancel();

 private:
  friend class HeadlessHost;
  friend class HeadlessCanvas;

  ControlState* ControlOfKind(int id, ControlKind kind);

  HeadlessHost& host_;
  const DialogTemplate& dialog_;
  WindowProc& procedure_;
  bool modal_;
  uint64_t serial_;
  bool destroyed_ = false;
  bool ended_ = false;
  int end_result_ = 0;
  std::string title_;
  PixelRect rect_{};
  std::vector<ControlState> controls_;
  std::map<int, TimerState> timers_;
  std::vector<std::unique_ptr<HeadlessCanvas>> canvases_;
  int context_serial_ = 0;
};

// ---------------------------------------------------------------------------------------------
// The main window and the window system

struct MenuItemState {
  bool checked = false;
  bool enabled = true;
  bool highlighted = false;
  int unchecked_bitmap = 0;
  int checked_bitmap = 0;
};

struct MessageBoxRecord {
  Window* owner = nullptr;
  std::string text;
  std::string caption;
  MessageIcon icon = MessageIcon::kInformation;
  MessageButtons buttons = MessageButtons::kOk;
  int answer = 0;
};

struct FileDialogRecord {
  Window* owner = nullptr;
  std::string filter_name;
  std::string pattern;
  std::string default_extension;
  std::string title;
  std::string folder;
};

class HeadlessHost : public Host {
 public:
  explicit HeadlessHost(VirtualClock& clock, Size desktop = {800, 600});
  ~HeadlessHost() override;
  HeadlessHost(const HeadlessHost&) = delete;
  HeadlessHost& operator=(const HeadlessHost&) = delete;

  // Host
  bool CreateMainWindow(MainWindowProcedure& procedure, const char* title, const MenuBarResource& menu, int x, int y,
                        int width, int height) override;
  void ShowMainWindow() override;
  // Headless there is no event loop: returns the quit code at once (0 when Quit was not called).
  int RunMessageLoop() override;
  void DestroyMainWindow() override;
  void Quit(int code) override;
  Size DesktopSize() override { return desktop; }
  Size MainClientSize() override;
  void MoveMainWindow(int x, int y, int width, int height) override;
  void SetMainTitle(const char* text) override { main_title = text ? text : ""; }
  void InvalidateMainWindow() override { main_paint_pending = true; }
  void SetMenuBar(const MenuBarResource& menu) override;
  void DrawMenuBar() override { ++menu_bar_draws; }
  void CheckMenuItem(int id, bool checked) override;
  void EnableMenuItem(int id, bool enabled) override;
  void HighlightMenuItem(int id, bool highlighted) override;
  void SetMenuItemBitmaps(int id, int unchecked_bitmap, int checked_bitmap) override;
  Window* CreatePage(const DialogTemplate& dialog, WindowProc& procedure) override;
  // The page of a template id (any page's or dialog's); nullptr for an unknown id.
  Window* CreatePage(int template_id, WindowProc& procedure);
  void DestroyPage(Window* page) override;
  // Marks the page for a paint; RunFor (also RunFor(0)) or DeliverPaints delivers it.
  void InvalidatePage(Window* page) override;
  // Without on_modal_dialog the dialog ends with kIdCancel after its init and one paint. With it,
  // the function runs after the first paint; a dialog that is still open when it returns ends
  // with kIdCancel (as if closed by its close box). -1 for an unknown template.
  int RunModalDialog(const DialogTemplate& dialog, WindowProc& procedure, Window* owner) override;
  int RunModalDialog(int template_id, WindowProc& procedure, Window* owner);
  // Yes/No boxes take the next scripted answer (kIdNo when none is left); OK boxes answer kIdOk
  // and leave the script alone.
  int ShowMessageBox(Window* owner, const char* text, const char* caption, MessageIcon icon,
                     MessageButtons buttons) override;
  // The next scripted answer (nullopt or none left: Cancel). As the real dialog does, the default
  // extension is appended to a chosen name without an extension.
  bool GetOpenFileName(const FileDialogRequest& request, std::string& path) override;
  bool GetSaveFileName(const FileDialogRequest& request, std::string& path) override;
  void SetBusyCursor(bool busy) override;

  // ---- Time
  // Advances the virtual clock by `ms`, first delivering pending paints, then firing every timer
  // of every window that falls due, in due order (ties: the timer started first). A timer due at
  // t fires once the run reaches t; after its handler (whose exchanges may have moved the clock)
  // its next due time is max(due + period, now), so a slow handler coalesces missed ticks.
  void RunFor(uint64_t ms);
  // Delivers pending main-window and page paints.
  void DeliverPaints();
  // Due time of the earliest timer in ms, or nullopt.
  std::optional<uint64_t> NextTimerDueMs() const;

  // ---- Main window
  // Delivers a main-window paint to its procedure, then a paint to the current page.
  void PaintMainWindow();
  // The user picks a menu command / closes the window / leaves the menu loop.
  void UserMenuCommand(int id);
  void UserCloseMainWindow();
  void UserExitMenuLoop();

  MainWindowProcedure* main_procedure = nullptr;
  bool main_window_exists = false;
  bool main_window_visible = false;
  std::string main_title;
  PixelRect main_rect{};
  // Height of the main window's caption and menu bar and width of its frames, subtracted from the
  // window size to give the client size. Zero by default: the client area is the window.
  Size non_client{0, 0};
  bool main_paint_pending = false;
  int main_paint_count = 0;

  // ---- Menu bar
  int current_menu_id = 0;
  int menu_bar_draws = 0;
  std::vector<int> menu_bars_set;  // every menu id set, in order
  // The state of an item of the current menu bar, or nullptr for an id it does not have.
  MenuItemState* MenuItem(int id);
  std::map<int, MenuItemState> menu_items;

  // ---- Pages and dialogs
  // The page created last that is not destroyed, or nullptr.
  HeadlessWindow* CurrentPage();
  // The innermost running modal dialog, or nullptr.
  HeadlessWindow* CurrentDialog();
  std::vector<int> pages_created;    // template ids, in order
  std::vector<int> pages_destroyed;  // template ids, in order
  std::vector<int> modal_dialogs;    // template ids of the modal dialogs run, in order
  std::function<void(HeadlessWindow&)> on_modal_dialog;

  // ---- Message boxes and file dialogs
  std::vector<MessageBoxRecord> message_boxes;
  std::deque<int> message_box_answers;
  // Runs while a message box is shown (after it is recorded, before it answers).
  std::function<void(const MessageBoxRecord&)> on_message_box;
  std::deque<std::optional<std::string>> open_file_answers;
  std::deque<std::optional<std::string>> save_file_answers;
  std::vector<FileDialogRecord> open_file_requests;
  std::vector<FileDialogRecord> save_file_requests;

  // ---- Cursor and quit
  bool busy_cursor = false;
  std::vector<bool> busy_cursor_history;
  bool quit_requested = false;
  int quit_code = 0;

  Size desktop;
  VirtualClock& clock;

 private:
  friend class HeadlessWindow;
  friend class DispatchScope;

  HeadlessWindow* MakeWindow(const DialogTemplate& dialog, WindowProc& procedure, bool modal);
  void Destroy(HeadlessWindow* window);
  void FreeDestroyed();
  bool FireNextTimer(uint64_t until_us);
  uint64_t NextTimerSequence() { return ++timer_sequence_; }

  std::vector<std::unique_ptr<HeadlessWindow>> windows_;    // alive, in creation order
  std::vector<std::unique_ptr<HeadlessWindow>> destroyed_;  // freed when no handler runs
  std::vector<HeadlessWindow*> modal_stack_;
  int dispatch_depth_ = 0;
  uint64_t window_serial_ = 0;
  uint64_t timer_sequence_ = 0;
};

}  // namespace korvel::headless
