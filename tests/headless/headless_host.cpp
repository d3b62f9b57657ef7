#include "tests/headless/headless_host.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "shell/page_table.hpp"
#include "resources/menus.hpp"

namespace korvel::headless {

namespace {

// The shortest period a window timer runs with; shorter requests are raised to it, as the window
// system does.
constexpr uint32_t kMinimumTimerPeriodMs = 10;

const char* KindName(DrawKind kind) {
  switch (kind) {
    case DrawKind::kRectangle: return "Rectangle";
    case DrawKind::kRoundRect: return "RoundRect";
    case DrawKind::kEllipse: return "Ellipse";
    case DrawKind::kPolyline: return "Polyline";
    case DrawKind::kText: return "TextOut";
    case DrawKind::kBitmap: return "Bitmap";
  }
  return "?";
}

std::string ColourText(Rgb c) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "rgb(%d,%d,%d)", c.r, c.g, c.b);
  return buffer;
}

}  // namespace

// While a handler runs, a destroyed window stays in memory (its own code may still be on the
// stack); it is freed when the outermost call into the window system returns.
class DispatchScope {
 public:
  explicit DispatchScope(HeadlessHost& host) : host_(host) { ++host_.dispatch_depth_; }
  ~DispatchScope() {
    if (--host_.dispatch_depth_ == 0) host_.FreeDestroyed();
  }
  DispatchScope(const DispatchScope&) = delete;
  DispatchScope& operator=(const DispatchScope&) = delete;

 private:
  HeadlessHost& host_;
};

// ---------------------------------------------------------------------------------------------
// Drawing record

std::string Describe(const DrawOp& op) {
  char buffer[160];
  std::string line = KindName(op.kind);
  switch (op.kind) {
    case DrawKind::kRectangle:
    case DrawKind::kEllipse:
      std::snprintf(buffer, sizeof buffer, "(%d,%d)-(%d,%d)", op.left, op.top, op.right, op.bottom);
      line += buffer;
      break;
    case DrawKind::kRoundRect:
      std::snprintf(buffer, sizeof buffer, "(%d,%d)-(%d,%d) corner %dx%d", op.left, op.top, op.right, op.bottom,
                    op.corner_width, op.corner_height);
      line += buffer;
      break;
    case DrawKind::kPolyline:
      line += "[";
      for (size_t i = 0; i < op.points.size(); ++i) {
        std::snprintf(buffer, sizeof buffer, "%s(%d,%d)", i ? " " : "", op.points[i].x, op.points[i].y);
        line += buffer;
      }
      line += "]";
      break;
    case DrawKind::kText:
      std::snprintf(buffer, sizeof buffer, "(%d,%d) count %d \"", op.left, op.top, op.count);
      line += buffer;
      line += op.text;
      line += "\"";
      break;
    case DrawKind::kBitmap:
      std::snprintf(buffer, sizeof buffer, " %d to (%d,%d)-(%d,%d) from (%d,%d)", op.bitmap_id, op.left, op.top,
                    op.right, op.bottom, op.src_x, op.src_y);
      line += buffer;
      break;
  }
  line += " pen ";
  line += DescribePen(op.pen).name;
  line += " brush ";
  line += DescribeBrush(op.brush).name;
  line += " font ";
  line += DescribeFont(op.font).name;
  line += " text " + ColourText(op.text_colour) + " on " + ColourText(op.background);
  std::snprintf(buffer, sizeof buffer, " dc %d", op.context);
  line += buffer;
  return line;
}

std::string Describe(const std::vector<DrawOp>& ops) {
  std::string all;
  for (const auto& op : ops) all += Describe(op) + "\n";
  return all;
}

std::vector<const DrawOp*> FindOps(const std::vector<DrawOp>& ops, DrawKind kind) {
  std::vector<const DrawOp*> found;
  for (const auto& op : ops) {
    if (op.kind == kind) found.push_back(&op);
  }
  return found;
}

std::vector<const DrawOp*> FindTexts(const std::vector<DrawOp>& ops, std::string_view text) {
  std::vector<const DrawOp*> found;
  for (const auto& op : ops) {
    if (op.kind == DrawKind::kText && op.text == text) found.push_back(&op);
  }
  return found;
}

const DrawOp* FindText(const std::vector<DrawOp>& ops, std::string_view text) {
  for (const auto& op : ops) {
    if (op.kind == DrawKind::kText && op.text == text) return &op;
  }
  return nullptr;
}

const DrawOp* FindTextAt(const std::vector<DrawOp>& ops, int x, int y) {
  for (const auto& op : ops) {
    if (op.kind == DrawKind::kText && op.left == x && op.top == y) return &op;
  }
  return nullptr;
}

int CountOps(const std::vector<DrawOp>& ops, DrawKind kind) {
  return static_cast<int>(std::count_if(ops.begin(), ops.end(), [kind](const DrawOp& op) { return op.kind == kind; }));
}

// ---------------------------------------------------------------------------------------------
// Canvas

void HeadlessCanvas::Reset(int serial) {
  serial_ = serial;
  pen_ = Pen::DefaultPen;
  brush_ = Brush::DefaultBrush;
  font_ = Font::SystemFont;
  text_colour_ = kBlack;
  background_ = kWhite;
}

DrawOp HeadlessCanvas::Begin(DrawKind kind) const {
  DrawOp op;
  op.kind = kind;
  op.pen = pen_;
  op.brush = brush_;
  op.font = font_;
  op.text_colour = text_colour_;
  op.background = background_;
  op.context = serial_;
  return op;
}

void HeadlessCanvas::Rectangle(int left, int top, int right, int bottom) {
  DrawOp op = Begin(DrawKind::kRectangle);
  op.left = left, op.top = top, op.right = right, op.bottom = bottom;
  window_.ops.push_back(std::move(op));
}

void HeadlessCanvas::RoundRect(int left, int top, int right, int bottom, int corner_width, int corner_height) {
  DrawOp op = Begin(DrawKind::kRoundRect);
  op.left = left, op.top = top, op.right = right, op.bottom = bottom;
  op.corner_width = corner_width, op.corner_height = corner_height;
  window_.ops.push_back(std::move(op));
}

void HeadlessCanvas::Ellipse(int left, int top, int right, int bottom) {
  DrawOp op = Begin(DrawKind::kEllipse);
  op.left = left, op.top = top, op.right = right, op.bottom = bottom;
  window_.ops.push_back(std::move(op));
}

void HeadlessCanvas::Polyline(const Point* points, int count) {
  DrawOp op = Begin(DrawKind::kPolyline);
  if (points != nullptr && count > 0) op.points.assign(points, points + count);
  window_.ops.push_back(std::move(op));
}

void HeadlessCanvas::TextOut(int x, int y, const char* text, int count) {
  DrawOp op = Begin(DrawKind::kText);
  op.left = x, op.top = y;
  op.count = count;
  if (text != nullptr && count > 0) op.text.assign(text, strnlen(text, static_cast<size_t>(count)));
  window_.ops.push_back(std::move(op));
}

void HeadlessCanvas::DrawBitmap(int bitmap_id, int x, int y, int width, int height, int src_x, int src_y) {
  DrawOp op = Begin(DrawKind::kBitmap);
  op.bitmap_id = bitmap_id;
  op.left = x, op.top = y, op.right = x + width, op.bottom = y + height;
  op.src_x = src_x, op.src_y = src_y;
  window_.ops.push_back(std::move(op));
}

// ---------------------------------------------------------------------------------------------
// Windows

HeadlessWindow::HeadlessWindow(HeadlessHost& host, const DialogTemplate& dialog, WindowProc& procedure, bool modal,
                               uint64_t serial)
    : host_(host), dialog_(dialog), procedure_(procedure), modal_(modal), serial_(serial) {
  title_ = dialog.title ? dialog.title : "";
  const PixelRect size = DialogSizeInPixels(dialog);
  rect_ = size;
  if (modal) {
    // A modal pop-up opens centred on the desktop.
    rect_.x = (host.desktop.width - size.width) / 2;
    rect_.y = (host.desktop.height - size.height) / 2;
  }
  controls_.reserve(static_cast<size_t>(dialog.control_count));
  for (int i = 0; i < dialog.control_count; ++i) {
    const ControlTemplate& t = dialog.controls[i];
    ControlState c;
    c.id = t.id;
    c.kind = t.kind;
    c.style = t.style;
    c.rect = DialogUnitsToPixels(dialog, t.x, t.y, t.width, t.height);
    c.visible = (t.style & kHidden) == 0;
    c.text = t.text ? t.text : "";
    c.resource = t.resource;
    controls_.push_back(std::move(c));
  }
}

HeadlessWindow::~HeadlessWindow() = default;

ControlState* HeadlessWindow::Control(int id) {
  for (auto& c : controls_) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

const ControlState* HeadlessWindow::Control(int id) const {
  for (const auto& c : controls_) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

ControlState* HeadlessWindow::ControlOfKind(int id, ControlKind kind) {
  ControlState* c = Control(id);
  return (c != nullptr && c->kind == kind) ? c : nullptr;
}

std::string HeadlessWindow::Text(int id) const {
  const ControlState* c = Control(id);
  return c ? c->text : std::string();
}

bool HeadlessWindow::IsVisible(int id) const {
  const ControlState* c = Control(id);
  return c != nullptr && c->visible;
}

bool HeadlessWindow::IsEnabled(int id) const {
  const ControlState* c = Control(id);
  return c != nullptr && c->enabled;
}

std::vector<std::string> HeadlessWindow::Entries(int id) const {
  const ControlState* c = Control(id);
  return c ? c->entries : std::vector<std::string>();
}

std::string HeadlessWindow::SelectedText(int id) const {
  const ControlState* c = Control(id);
  if (c == nullptr || c->selection < 0 || c->selection >= static_cast<int>(c->entries.size())) return {};
  return c->entries[static_cast<size_t>(c->selection)];
}

uint32_t HeadlessWindow::TimerPeriod(int timer_id) const {
  auto it = timers_.find(timer_id);
  return it == timers_.end() ? 0 : it->second.period_ms;
}

void HeadlessWindow::AddListEntry(int id, const char* text) {
  if (ControlState* c = ControlOfKind(id, ControlKind::kComboBox)) c->entries.emplace_back(text ? text : "");
}

void HeadlessWindow::ResetList(int id) {
  if (ControlState* c = ControlOfKind(id, ControlKind::kComboBox)) {
    c->entries.clear();
    c->selection = -1;
  }
}

void HeadlessWindow::SelectListEntry(int id, int position) {
  if (ControlState* c = ControlOfKind(id, ControlKind::kComboBox)) {
    const bool inside = position >= 0 && position < static_cast<int>(c->entries.size());
    c->selection = inside ? position : -1;
  }
}

int HeadlessWindow::GetListSelection(int id) {
  const ControlState* c = ControlOfKind(id, ControlKind::kComboBox);
  return c ? c->selection : -1;
}

int HeadlessWindow::GetListCount(int id) {
  const ControlState* c = ControlOfKind(id, ControlKind::kComboBox);
  return c ? static_cast<int>(c->entries.size()) : 0;
}

void HeadlessWindow::SetCheck(int id, bool checked) {
  if (ControlState* c = ControlOfKind(id, ControlKind::kCheckBox)) c->checked = checked;
}

bool HeadlessWindow::GetCheck(int id) {
  const ControlState* c = ControlOfKind(id, ControlKind::kCheckBox);
  return c != nullptr && c->checked;
}

void HeadlessWindow::ShowControl(int id, bool visible) {
  if (ControlState* c = Control(id)) c->visible = visible;
}

void HeadlessWindow::EnableControl(int id, bool enabled) {
  if (ControlState* c = Control(id)) c->enabled = enabled;
}

void HeadlessWindow::SetControlText(int id, const char* text) {
  if (ControlState* c = Control(id)) c->text = text ? text : "";
}

void HeadlessWindow::MoveControl(int id, int x, int y, int width, int height) {
  if (ControlState* c = Control(id)) c->rect = PixelRect{x, y, width, height};
}

void HeadlessWindow::SetScrollRange(int id, int minimum, int maximum) {
  ControlState* c = Control(id);
  if (c == nullptr || (c->kind != ControlKind::kHScrollBar && c->kind != ControlKind::kVScrollBar)) return;
  c->scroll_min = minimum;
  c->scroll_max = maximum;
  c->scroll_position = std::clamp(c->scroll_position, std::min(minimum, maximum), std::max(minimum, maximum));
}

void HeadlessWindow::SetScrollPosition(int id, int position) {
  ControlState* c = Control(id);
  if (c == nullptr || (c->kind != ControlKind::kHScrollBar && c->kind != ControlKind::kVScrollBar)) return;
  c->scroll_position = std::clamp(position, std::min(c->scroll_min, c->scroll_max), std::max(c->scroll_min, c->scroll_max));
}

int HeadlessWindow::GetScrollPosition(int id) {
  const ControlState* c = Control(id);
  if (c == nullptr || (c->kind != ControlKind::kHScrollBar && c->kind != ControlKind::kVScrollBar)) return 0;
  return c->scroll_position;
}

void HeadlessWindow::SetTimer(int timer_id, uint32_t period_ms) {
  if (destroyed_) return;
  const uint32_t period = std::max(period_ms, kMinimumTimerPeriodMs);
  TimerState& t = timers_[timer_id];
  t.id = timer_id;
  t.period_ms = period;
  t.due_us = host_.clock.now_us + uint64_t{period} * 1000;
  t.sequence = host_.NextTimerSequence();
}

void HeadlessWindow::KillTimer(int timer_id) { timers_.erase(timer_id); }

void HeadlessWindow::MoveWindow(int x, int y, int width, int height) { rect_ = PixelRect{x, y, width, height}; }

Size HeadlessWindow::GetWindowSize() { return Size{rect_.width, rect_.height}; }

void HeadlessWindow::SetTitle(const char* text) { title_ = text ? text : ""; }

void HeadlessWindow::EndDialog(int result) {
  ended_ = true;
  end_result_ = result;
}

Canvas& HeadlessWindow::GetContext() {
  HeadlessCanvas* free_canvas = nullptr;
  for (auto& canvas : canvases_) {
    if (!canvas->in_use) {
      free_canvas = canvas.get();
      break;
    }
  }
  if (free_canvas == nullptr) {
    canvases_.push_back(std::make_unique<HeadlessCanvas>(*this));
    free_canvas = canvases_.back().get();
  }
  free_canvas->Reset(++context_serial_);
  free_canvas->in_use = true;
  ++contexts_held;
  max_contexts_held = std::max(max_contexts_held, contexts_held);
  return *free_canvas;
}

void HeadlessWindow::ReleaseContext(Canvas& canvas) {
  for (auto& owned : canvases_) {
    if (owned.get() == &canvas && owned->in_use) {
      owned->in_use = false;
      --contexts_held;
      return;
    }
  }
}

void HeadlessWindow::Paint() {
  if (destroyed_) return;
  DispatchScope scope(host_);
  paint_pending = false;
  ++paint_count;
  procedure_.OnPaint(*this);
}

bool HeadlessWindow::UserSelect(int id, int position) {
  DispatchScope scope(host_);
  ControlState* c = ControlOfKind(id, ControlKind::kComboBox);
  if (destroyed_ || c == nullptr || !c->visible || !c->enabled) return false;
  if (position < 0 || position >= static_cast<int>(c->entries.size())) return false;
  c->selection = position;
  procedure_.OnCommand(*this, id, kComboSelectionChanged);
  return true;
}

bool HeadlessWindow::UserDropDown(int id) {
  DispatchScope scope(host_);
  ControlState* c = ControlOfKind(id, ControlKind::kComboBox);
  if (destroyed_ || c == nullptr || !c->visible || !c->enabled || c->dropped_down) return false;
  c->dropped_down = true;
  procedure_.OnCommand(*this, id, kComboDroppedDown);
  return true;
}

bool HeadlessWindow::UserCloseUp(int id) {
  DispatchScope scope(host_);
  ControlState* c = ControlOfKind(id, ControlKind::kComboBox);
  if (destroyed_ || c == nullptr || !c->dropped_down) return false;
  c->dropped_down = false;
  procedure_.OnCommand(*this, id, kComboClosedUp);
  return true;
}

bool HeadlessWindow::UserChoose(int id, int position) {
  DispatchScope scope(host_);
  const ControlState* c = ControlOfKind(id, ControlKind::kComboBox);
  if (destroyed_ || c == nullptr || position < 0 || position >= static_cast<int>(c->entries.size())) return false;
  if (!UserDropDown(id)) return false;
  if (destroyed_ || !UserCloseUp(id)) return false;
  if (destroyed_) return false;
  return UserSelect(id, position);
}

bool HeadlessWindow::UserClick(int id) {
  DispatchScope scope(host_);
  ControlState* c = Control(id);
  if (destroyed_ || c == nullptr || !c->visible || !c->enabled) return false;
  if (c->kind != ControlKind::kPushButton && c->kind != ControlKind::kCheckBox) return false;
  if (c->kind == ControlKind::kCheckBox) c->checked = !c->checked;
  procedure_.OnCommand(*this, id, kButtonClicked);
  return true;
}

bool HeadlessWindow::UserScroll(int id, int request, int position) {
  DispatchScope scope(host_);
  ControlState* c = Control(id);
  if (destroyed_ || c == nullptr || !c->visible || !c->enabled) return false;
  if (c->kind != ControlKind::kHScrollBar && c->kind != ControlKind::kVScrollBar) return false;
  procedure_.OnScroll(*this, id, c->kind == ControlKind::kVScrollBar, request, position);
  return true;
}

void HeadlessWindow::UserCancel() {
  DispatchScope scope(host_);
  if (destroyed_) return;
  procedure_.OnCommand(*this, kIdCancel, kButtonClicked);
}

// ---------------------------------------------------------------------------------------------
// Host

HeadlessHost::HeadlessHost(VirtualClock& virtual_clock, Size desktop_size) : desktop(desktop_size), clock(virtual_clock) {}

// The procedures may be gone already (they are usually declared after the host), so nothing is
// delivered here.
HeadlessHost::~HeadlessHost() = default;

bool HeadlessHost::CreateMainWindow(MainWindowProcedure& procedure, const char* title, const MenuBarResource& menu,
                                    int x, int y, int width, int height) {
  DispatchScope scope(*this);
  main_procedure = &procedure;
  main_window_exists = true;
  main_title = title ? title : "";
  main_rect = PixelRect{x, y, width, height};
  SetMenuBar(menu);
  procedure.OnCreate();
  return true;
}

void HeadlessHost::ShowMainWindow() { main_window_visible = main_window_exists; }

int HeadlessHost::RunMessageLoop() { return quit_requested ? quit_code : 0; }

void HeadlessHost::DestroyMainWindow() {
  if (!main_window_exists) return;
  DispatchScope scope(*this);
  main_window_exists = false;
  main_window_visible = false;
  if (main_procedure) main_procedure->OnDestroy();
  // The child pages go with their parent, after it.
  while (HeadlessWindow* page = CurrentPage()) Destroy(page);
}

void HeadlessHost::Quit(int code) {
  quit_requested = true;
  quit_code = code;
}

Size HeadlessHost::MainClientSize() {
  return Size{main_rect.width - non_client.width, main_rect.height - non_client.height};
}

void HeadlessHost::MoveMainWindow(int x, int y, int width, int height) { main_rect = PixelRect{x, y, width, height}; }

void HeadlessHost::SetMenuBar(const MenuBarResource& bar) {
  current_menu_id = bar.id;
  menu_bars_set.push_back(bar.id);
  menu_items.clear();
  const MenuBarResource* menu = &bar;
  for (int p = 0; p < menu->popup_count; ++p) {
    const MenuPopup& popup = menu->popups[p];
    for (int i = 0; i < popup.item_count; ++i) {
      if (popup.items[i].id != 0) menu_items[popup.items[i].id] = MenuItemState{};
    }
  }
  for (int i = 0; i < menu->command_count; ++i) menu_items[menu->commands[i].id] = MenuItemState{};
}

MenuItemState* HeadlessHost::MenuItem(int id) {
  auto it = menu_items.find(id);
  return it == menu_items.end() ? nullptr : &it->second;
}

void HeadlessHost::CheckMenuItem(int id, bool checked) {
  if (MenuItemState* item = MenuItem(id)) item->checked = checked;
}

void HeadlessHost::EnableMenuItem(int id, bool enabled) {
  if (MenuItemState* item = MenuItem(id)) item->enabled = enabled;
}

void HeadlessHost::HighlightMenuItem(int id, bool highlighted) {
  if (MenuItemState* item = MenuItem(id)) item->highlighted = highlighted;
}

void HeadlessHost::SetMenuItemBitmaps(int id, int unchecked_bitmap, int checked_bitmap) {
  if (MenuItemState* item = MenuItem(id)) {
    item->unchecked_bitmap = unchecked_bitmap;
    item->checked_bitmap = checked_bitmap;
  }
}

HeadlessWindow* HeadlessHost::MakeWindow(const DialogTemplate& dialog, WindowProc& procedure, bool modal) {
  windows_.push_back(std::make_unique<HeadlessWindow>(*this, dialog, procedure, modal, ++window_serial_));
  return windows_.back().get();
}

Window* HeadlessHost::CreatePage(int template_id, WindowProc& procedure) {
  const DialogTemplate* dialog = FindDialogTemplate(template_id);
  return dialog != nullptr ? CreatePage(*dialog, procedure) : nullptr;
}

int HeadlessHost::RunModalDialog(int template_id, WindowProc& procedure, Window* owner) {
  const DialogTemplate* dialog = FindDialogTemplate(template_id);
  return dialog != nullptr ? RunModalDialog(*dialog, procedure, owner) : -1;
}

Window* HeadlessHost::CreatePage(const DialogTemplate& dialog, WindowProc& procedure) {
  DispatchScope scope(*this);
  HeadlessWindow* page = MakeWindow(dialog, procedure, false);
  pages_created.push_back(dialog.id);
  procedure.OnInitDialog(*page);
  return page->destroyed() ? nullptr : page;
}

void HeadlessHost::Destroy(HeadlessWindow* window) {
  if (window == nullptr || window->destroyed_) return;
  DispatchScope scope(*this);
  window->procedure_.OnDestroy(*window);
  window->destroyed_ = true;
  window->timers_.clear();
  if (!window->modal_) pages_destroyed.push_back(window->template_id());
  auto it = std::find_if(windows_.begin(), windows_.end(), [window](const auto& w) { return w.get() == window; });
  if (it != windows_.end()) {
    destroyed_.push_back(std::move(*it));
    windows_.erase(it);
  }
}

void HeadlessHost::FreeDestroyed() { destroyed_.clear(); }

void HeadlessHost::DestroyPage(Window* page) {
  if (page == nullptr) return;
  for (const auto& w : windows_) {
    if (w.get() == page) {
      Destroy(w.get());
      return;
    }
  }
}

void HeadlessHost::InvalidatePage(Window* page) {
  for (const auto& w : windows_) {
    if (w.get() == page) w->paint_pending = true;
  }
}

HeadlessWindow* HeadlessHost::CurrentPage() {
  for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
    if (!(*it)->modal_ && !(*it)->destroyed_) return it->get();
  }
  return nullptr;
}

HeadlessWindow* HeadlessHost::CurrentDialog() { return modal_stack_.empty() ? nullptr : modal_stack_.back(); }

int HeadlessHost::RunModalDialog(const DialogTemplate& dialog_template, WindowProc& procedure, Window* owner) {
  (void)owner;
  DispatchScope scope(*this);
  HeadlessWindow* dialog = MakeWindow(dialog_template, procedure, true);
  modal_dialogs.push_back(dialog_template.id);
  modal_stack_.push_back(dialog);
  procedure.OnInitDialog(*dialog);
  if (!dialog->ended_) dialog->Paint();
  if (!dialog->ended_ && on_modal_dialog) {
    auto script = on_modal_dialog;  // the script may replace the member while it runs
    script(*dialog);
  }
  if (!dialog->ended_) dialog->EndDialog(kIdCancel);
  const int result = dialog->end_result_;
  modal_stack_.erase(std::find(modal_stack_.begin(), modal_stack_.end(), dialog));
  Destroy(dialog);
  return result;
}

int HeadlessHost::ShowMessageBox(Window* owner, const char* text, const char* caption, MessageIcon icon,
                                 MessageButtons buttons) {
  DispatchScope scope(*this);
  MessageBoxRecord record;
  record.owner = owner;
  record.text = text ? text : "";
  record.caption = caption ? caption : "";
  record.icon = icon;
  record.buttons = buttons;
  if (buttons == MessageButtons::kYesNo) {
    record.answer = kIdNo;
    if (!message_box_answers.empty()) {
      record.answer = message_box_answers.front();
      message_box_answers.pop_front();
    }
  } else {
    record.answer = kIdOk;
  }
  message_boxes.push_back(record);
  if (on_message_box) {
    auto script = on_message_box;
    script(record);
  }
  return record.answer;
}

namespace {

FileDialogRecord RecordRequest(const FileDialogRequest& request) {
  FileDialogRecord record;
  record.owner = request.owner;
  record.filter_name = request.filter_name ? request.filter_name : "";
  record.pattern = request.pattern ? request.pattern : "";
  record.default_extension = request.default_extension ? request.default_extension : "";
  record.title = request.title ? request.title : "";
  record.folder = request.folder ? request.folder : "";
  return record;
}

bool Answer(std::deque<std::optional<std::string>>& answers, const FileDialogRecord& record, std::string& path) {
  if (answers.empty()) return false;
  std::optional<std::string> answer = std::move(answers.front());
  answers.pop_front();
  if (!answer) return false;
  path = *answer;
  const size_t slash = path.find_last_of("/\\");
  const size_t name_start = slash == std::string::npos ? 0 : slash + 1;
  if (!record.default_extension.empty() && path.find('.', name_start) == std::string::npos) {
    path += "." + record.default_extension;
  }
  return true;
}

}  // namespace

bool HeadlessHost::GetOpenFileName(const FileDialogRequest& request, std::string& path) {
  open_file_requests.push_back(RecordRequest(request));
  return Answer(open_file_answers, open_file_requests.back(), path);
}

bool HeadlessHost::GetSaveFileName(const FileDialogRequest& request, std::string& path) {
  save_file_requests.push_back(RecordRequest(request));
  return Answer(save_file_answers, save_file_requests.back(), path);
}

void HeadlessHost::SetBusyCursor(bool busy) {
  busy_cursor = busy;
  busy_cursor_history.push_back(busy);
}

// ---- Time

bool HeadlessHost::FireNextTimer(uint64_t until_us) {
  HeadlessWindow* window = nullptr;
  const TimerState* next = nullptr;
  for (const auto& w : windows_) {
    if (w->destroyed_ || (w->modal_ && w->ended_)) continue;
    for (const auto& [id, t] : w->timers_) {
      if (t.due_us > until_us) continue;
      if (next == nullptr || t.due_us < next->due_us || (t.due_us == next->due_us && t.sequence < next->sequence)) {
        next = &t;
        window = w.get();
      }
    }
  }
  if (next == nullptr) return false;

  const int timer_id = next->id;
  const uint64_t sequence = next->sequence;
  const uint64_t due = next->due_us;
  const uint64_t period_us = uint64_t{next->period_ms} * 1000;
  if (clock.now_us < due) clock.now_us = due;
  // Taking the tick re-arms the timer at once, so a modal loop inside the handler sees it again
  // only a period later.
  window->timers_[timer_id].due_us = std::max(due + period_us, clock.now_us);

  DispatchScope scope(*this);
  window->procedure_.OnTimer(*window, timer_id);

  if (!window->destroyed_) {
    auto it = window->timers_.find(timer_id);
    if (it != window->timers_.end() && it->second.sequence == sequence) {
      it->second.due_us = std::max(due + period_us, clock.now_us);
    }
  }
  return true;
}

void HeadlessHost::DeliverPaints() {
  DispatchScope scope(*this);
  if (main_paint_pending) PaintMainWindow();
  // Paint in creation order; a paint may create or destroy windows, so look again each time.
  for (;;) {
    HeadlessWindow* pending = nullptr;
    for (const auto& w : windows_) {
      if (w->paint_pending && !w->destroyed_) {
        pending = w.get();
        break;
      }
    }
    if (pending == nullptr) break;
    pending->Paint();
  }
}

void HeadlessHost::RunFor(uint64_t ms) {
  DispatchScope scope(*this);
  const uint64_t until = clock.now_us + ms * 1000;
  DeliverPaints();
  while (FireNextTimer(until)) DeliverPaints();
  if (clock.now_us < until) clock.now_us = until;
}

std::optional<uint64_t> HeadlessHost::NextTimerDueMs() const {
  std::optional<uint64_t> due;
  for (const auto& w : windows_) {
    if (w->destroyed_) continue;
    for (const auto& [id, t] : w->timers_) {
      if (!due || t.due_us / 1000 < *due) due = t.due_us / 1000;
    }
  }
  return due;
}

// ---- Main window

void HeadlessHost::PaintMainWindow() {
  if (main_procedure == nullptr || !main_window_exists) return;
  DispatchScope scope(*this);
  main_paint_pending = false;
  ++main_paint_count;
  main_procedure->OnPaint();
  if (HeadlessWindow* page = CurrentPage()) page->Paint();
}

void HeadlessHost::UserMenuCommand(int id) {
  if (main_procedure == nullptr || !main_window_exists) return;
  DispatchScope scope(*this);
  main_procedure->OnCommand(id);
}

void HeadlessHost::UserCloseMainWindow() {
  if (main_procedure == nullptr || !main_window_exists) return;
  DispatchScope scope(*this);
  main_procedure->OnClose();
}

void HeadlessHost::UserExitMenuLoop() {
  if (main_procedure == nullptr || !main_window_exists) return;
  DispatchScope scope(*this);
  main_procedure->OnExitMenuLoop();
}

}  // namespace korvel::headless
