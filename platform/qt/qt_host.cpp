#include "platform/qt/qt_host.hpp"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLayout>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPaintEvent>
#include <QProxyStyle>
#include <QScreen>
#include <QShortcut>
#include <QStyleOptionMenuItem>
#include <QTimer>
#include <QWindow>
#include <algorithm>

#include "resources/dialog_templates.hpp"
#include "resources/menu_commands.hpp"
#include "resources/menus.hpp"

namespace korvel {

namespace {

constexpr char kHighlightProperty[] = "korvelHighlighted";
constexpr int kMainIcon = 101;

// Draws the highlighted item of the menu bar (the page shown) as a selected item, and sets the
// items side by side as a classic menu bar does, so that all of them fit a 640-pixel-wide window.
class MenuBarStyle : public QProxyStyle {
 public:
  int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
    if (metric == PM_MenuBarItemSpacing) return 0;
    return QProxyStyle::pixelMetric(metric, option, widget);
  }
  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override {
    if (element == CE_MenuBarItem && widget != nullptr) {
      const auto* bar = qobject_cast<const QMenuBar*>(widget);
      const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
      if (bar != nullptr && item != nullptr) {
        QAction* action = bar->actionAt(item->rect.center());
        if (action != nullptr && action->property(kHighlightProperty).toBool()) {
          QStyleOptionMenuItem highlighted(*item);
          highlighted.state |= State_Selected | State_Sunken;
          QProxyStyle::drawControl(element, &highlighted, painter, widget);
          return;
        }
      }
    }
    QProxyStyle::drawControl(element, option, painter, widget);
  }
};

QString MenuText(const char* utf8) {
  QString text = QString::fromUtf8(utf8);
  text.replace(QLatin1Char('&'), QLatin1String("&&"));
  return text;
}

}  // namespace

// The main window: closing it is a request to the main window procedure, which decides.
class QtMainWidget : public QMainWindow {
 public:
  explicit QtMainWidget(QtHost& host) : host_(host) {}

 protected:
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    host_.DeliverClose();
  }
  void showEvent(QShowEvent* event) override {
    QMainWindow::showEvent(event);
    // The frame is known once the window is on the screen; place it again by its outer size.
    QTimer::singleShot(0, this, [this] { host_.ApplyMainGeometry(); });
    host_.ScheduleMainPaint();
  }

 private:
  QtHost& host_;
};

namespace {

// The client area below the menu bar, in the stock grey; the pages are its children.
class ClientWidget : public QWidget {
 public:
  ClientWidget(QWidget* parent, std::function<void()> painted) : QWidget(parent), painted_(std::move(painted)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    QPainter painter(this);
    painter.fillRect(event->rect(), QColor(128, 128, 128));
    painted_();
  }

 private:
  std::function<void()> painted_;
};

}  // namespace

QtHost::QtHost(QApplication& application) : application_(application) {
  // The main window procedure decides when the program ends, not the last window closed.
  QApplication::setQuitOnLastWindowClosed(false);
}

QtHost::~QtHost() {
  // Only the widgets go here; the procedures may already be gone, so none of them is called.
  for (auto& page : pages_) delete page.data();
  pages_.clear();
  delete main_.data();
  // A main window destroyed just before the loop ended never reached its deferred deletion.
  delete retired_main_.data();
  if (busy_) QApplication::restoreOverrideCursor();
}

const QtFontSet& QtHost::CanvasFonts() {
  if (!canvas_fonts_) canvas_fonts_ = std::make_unique<QtFontSet>();
  return *canvas_fonts_;
}

QFont QtHost::ControlFont(int base_width, int base_height) {
  const auto key = std::make_pair(base_width, base_height);
  auto found = control_fonts_.find(key);
  if (found != control_fonts_.end()) return found->second;
  const QFont font = FitFont(base_height, base_width, 400).font;
  control_fonts_.emplace(key, font);
  return font;
}

QMainWindow* QtHost::MainWidget() { return main_.data(); }

QMenuBar* QtHost::MenuBar() { return main_ ? main_->menuBar() : nullptr; }

// Main window ------------------------------------------------------------------------------------

bool QtHost::CreateMainWindow(MainWindowProcedure& procedure, const char* title, const MenuBarResource& menu, int x,
                              int y, int width, int height) {
  if (main_) return false;
  procedure_ = &procedure;
  main_paint_pending_ = false;
  menu_items_.clear();
  main_ = new QtMainWidget(*this);
  // Caption, system menu and minimise box; no maximise box and no sizing frame.
  main_->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                        Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  main_->setCentralWidget(new ClientWidget(main_, [this] { ScheduleMainPaint(); }));
  main_->setWindowTitle(FromCp1250(title));
  const QIcon icon = bitmaps_.Icon(kMainIcon);
  if (!icon.isNull()) main_->setWindowIcon(icon);
  SetMenuBar(menu);

  // The accelerators belong to the main window: they act while it is active, not inside a modal
  // dialog or message box. Alt+F4 and Alt+F1 reach the main window also while a control of the
  // page has the keyboard focus (a drop-down list, a check box): no control takes these keys, and
  // a page ignores both, so the outcome is the same as with the focus on the main window.
  const std::pair<QKeyCombination, int> accelerators[] = {{Qt::ALT | Qt::Key_F4, kCommandExit},
                                                          {Qt::ALT | Qt::Key_F1, kCommandAbout}};
  for (const auto& [keys, command] : accelerators) {
    auto* shortcut = new QShortcut(QKeySequence(keys), main_);
    shortcut->setContext(Qt::WindowShortcut);
    const int id = command;
    QObject::connect(shortcut, &QShortcut::activated, main_, [this, id] {
      if (procedure_ != nullptr) procedure_->OnCommand(id);
    });
  }

  MoveMainWindow(x, y, width, height);
  procedure.OnCreate();
  return true;
}

void QtHost::ShowMainWindow() {
  if (!main_) return;
  main_->show();
  ScheduleMainPaint();
}

int QtHost::RunMessageLoop() {
  if (quit_requested_) {
    quit_requested_ = false;
    return quit_code_;
  }
  const int code = QApplication::exec();
  quit_requested_ = false;
  return code;
}

void QtHost::DestroyMainWindow() {
  if (!main_) return;
  MainWindowProcedure* procedure = procedure_;
  procedure_ = nullptr;
  if (procedure != nullptr) procedure->OnDestroy();
  // Pages still there go with their parent.
  for (auto& page : pages_) {
    if (page) page->Window().Destroy();
  }
  pages_.clear();
  menu_items_.clear();
  QtMainWidget* main = main_.data();
  main_ = nullptr;
  if (main != nullptr) {
    main->hide();
    main->deleteLater();
    retired_main_ = main;
  }
}

void QtHost::Quit(int code) {
  quit_requested_ = true;
  quit_code_ = code;
  QApplication::exit(code);
}

Size QtHost::DesktopSize() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return Size{800, 600};
  // Logical pixels, so that a high-density screen gets the size class of its logical size.
  const QSize size = screen->size();
  return Size{size.width(), size.height()};
}

Size QtHost::MainClientSize() {
  if (!main_) return Size{0, 0};
  if (main_->layout() != nullptr) main_->layout()->activate();
  const QWidget* client = main_->centralWidget();
  return client != nullptr ? Size{client->width(), client->height()} : Size{0, 0};
}

void QtHost::MoveMainWindow(int x, int y, int width, int height) {
  requested_x_ = x;
  requested_y_ = y;
  requested_width_ = width;
  requested_height_ = height;
  ApplyMainGeometry();
}

void QtHost::ApplyMainGeometry() {
  if (!main_) return;
  // The size asked for is the outer size of the window, frame included.
  QMargins frame;
  if (main_->windowHandle() != nullptr) frame = main_->windowHandle()->frameMargins();
  const int client_width = std::max(1, requested_width_ - frame.left() - frame.right());
  const int client_height = std::max(1, requested_height_ - frame.top() - frame.bottom());
  if (main_->width() != client_width || main_->height() != client_height) {
    main_->setFixedSize(client_width, client_height);
  }
  main_->move(requested_x_, requested_y_);
}

void QtHost::SetMainTitle(const char* text) {
  if (main_) main_->setWindowTitle(FromCp1250(text));
}

void QtHost::InvalidateMainWindow() { ScheduleMainPaint(); }

void QtHost::ScheduleMainPaint() {
  if (main_paint_pending_ || !main_) return;
  main_paint_pending_ = true;
  // Delivered from the event loop, never from inside a widget's paint, so that the procedure may
  // draw on the page and move it freely.
  QMetaObject::invokeMethod(
      main_.data(),
      [this] {
        main_paint_pending_ = false;
        if (procedure_ != nullptr) procedure_->OnPaint();
      },
      Qt::QueuedConnection);
}

void QtHost::DeliverClose() {
  if (procedure_ != nullptr) procedure_->OnClose();
}

// Menus ------------------------------------------------------------------------------------------

void QtHost::SetMenuBar(const MenuBarResource& bar_items) {
  const MenuBarResource* resource = &bar_items;
  if (!main_) return;
  auto* bar = new QMenuBar;
  if (!menu_style_) menu_style_ = std::make_unique<MenuBarStyle>();
  bar->setStyle(menu_style_.get());
  // The menu font of the laptops the pages were laid out on: the 8-point sans of their dialogs
  // (6 x 13 base units), so that both languages' bars fit a window 640 pixels wide.
  const QFont menu_font = ControlFont(6, 13);
  bar->setFont(menu_font);
  menu_items_.clear();

  auto add_item = [this](QAction* action, int id, bool on_bar) {
    MenuEntry& entry = menu_items_[id];
    entry = MenuEntry{};
    entry.action = action;
    entry.on_bar = on_bar;
    // Like a posted command, the choice is acted on after the menu has closed.
    QObject::connect(
        action, &QAction::triggered, main_.data(), [this, id, on_bar] { DeliverMenuCommand(id, on_bar); },
        Qt::QueuedConnection);
  };

  for (int p = 0; p < resource->popup_count; ++p) {
    const MenuPopup& popup = resource->popups[p];
    QMenu* menu = bar->addMenu(MenuText(popup.title));
    menu->setFont(menu_font);
    QObject::connect(
        menu, &QMenu::aboutToHide, main_.data(),
        [this] {
          if (procedure_ != nullptr) procedure_->OnExitMenuLoop();
        },
        Qt::QueuedConnection);
    for (int i = 0; i < popup.item_count; ++i) {
      const MenuItem& item = popup.items[i];
      if (item.id == 0) {
        menu->addSeparator();
      } else {
        add_item(menu->addAction(MenuText(item.text)), item.id, false);
      }
    }
  }
  for (int i = 0; i < resource->command_count; ++i) {
    const MenuItem& item = resource->commands[i];
    add_item(bar->addAction(MenuText(item.text)), item.id, true);
  }
  // The old bar (possibly the one whose item is being handled) is deleted later by the window.
  main_->setMenuBar(bar);
  menu_id_ = resource->id;
}

void QtHost::DrawMenuBar() {
  if (QMenuBar* bar = MenuBar()) bar->update();
}

void QtHost::UpdateItemLook(MenuEntry& entry) {
  QAction* action = entry.action;
  if (action == nullptr) return;
  if (entry.unchecked_bitmap != 0 || entry.checked_bitmap != 0) {
    // Item bitmaps stand in for the check mark.
    action->setChecked(false);
    action->setCheckable(false);
    action->setIcon(bitmaps_.Icon(entry.checked ? entry.checked_bitmap : entry.unchecked_bitmap));
    action->setIconVisibleInMenu(true);
  } else if (entry.checked) {
    action->setCheckable(true);
    action->setChecked(true);
  } else {
    action->setChecked(false);
    action->setCheckable(false);
  }
  action->setProperty(kHighlightProperty, entry.highlighted);
  if (QMenuBar* bar = MenuBar()) bar->update();
}

void QtHost::CheckMenuItem(int id, bool checked) {
  auto found = menu_items_.find(id);
  if (found == menu_items_.end()) return;
  found->second.checked = checked;
  UpdateItemLook(found->second);
}

void QtHost::EnableMenuItem(int id, bool enabled) {
  auto found = menu_items_.find(id);
  if (found == menu_items_.end() || found->second.action == nullptr) return;
  found->second.action->setEnabled(enabled);
}

void QtHost::HighlightMenuItem(int id, bool highlighted) {
  auto found = menu_items_.find(id);
  if (found == menu_items_.end()) return;
  found->second.highlighted = highlighted;
  UpdateItemLook(found->second);
}

void QtHost::SetMenuItemBitmaps(int id, int unchecked_bitmap, int checked_bitmap) {
  auto found = menu_items_.find(id);
  if (found == menu_items_.end()) return;
  found->second.unchecked_bitmap = unchecked_bitmap;
  found->second.checked_bitmap = checked_bitmap;
  UpdateItemLook(found->second);
}

QtMenuItemState QtHost::MenuItemState(int id) const {
  QtMenuItemState state;
  auto found = menu_items_.find(id);
  if (found == menu_items_.end() || found->second.action == nullptr) return state;
  const MenuEntry& entry = found->second;
  state.exists = true;
  state.text = entry.action->text();
  state.checked = entry.checked;
  state.enabled = entry.action->isEnabled();
  state.highlighted = entry.highlighted;
  state.unchecked_bitmap = entry.unchecked_bitmap;
  state.checked_bitmap = entry.checked_bitmap;
  state.on_bar = entry.on_bar;
  return state;
}

void QtHost::TriggerMenuCommand(int id) {
  auto found = menu_items_.find(id);
  if (found == menu_items_.end() || found->second.action == nullptr) return;
  found->second.action->trigger();
}

void QtHost::DeliverMenuCommand(int id, bool from_bar) {
  // A checkable item toggles itself when chosen; only the procedure sets checks.
  auto found = menu_items_.find(id);
  if (found != menu_items_.end()) UpdateItemLook(found->second);
  // Choosing an item of the bar ends the menu loop that the click started.
  if (from_bar && procedure_ != nullptr) procedure_->OnExitMenuLoop();
  if (procedure_ != nullptr) procedure_->OnCommand(id);
}

// Pages and dialogs ------------------------------------------------------------------------------

Window* QtHost::CreatePage(const DialogTemplate& dialog, WindowProc& procedure) {
  QWidget* parent = main_ ? main_->centralWidget() : nullptr;
  auto* page = new QtPageWidget(*this, parent);
  QtWindow& window = page->Window();
  window.Build(dialog);
  window.Attach(procedure);
  pages_.emplace_back(page);
  window.DeliverInitDialog();
  if (!window.Destroyed()) page->show();
  return &window;
}

QtWindow* QtHost::FindPage(Window* page) {
  if (page == nullptr) return nullptr;
  for (auto& widget : pages_) {
    if (widget && &widget->Window() == page) return &widget->Window();
  }
  return nullptr;
}

void QtHost::DestroyPage(Window* page) {
  QtWindow* window = FindPage(page);
  if (window == nullptr) return;
  window->Destroy();
  QWidget& surface = window->Surface();
  pages_.erase(std::remove_if(pages_.begin(), pages_.end(),
                              [&surface](const QPointer<QtPageWidget>& widget) {
                                return !widget || widget.data() == &surface;
                              }),
               pages_.end());
  surface.hide();
  // The page may be destroyed from inside one of its own handlers; it goes once they returned.
  surface.deleteLater();
}

void QtHost::InvalidatePage(Window* page) {
  if (QtWindow* window = FindPage(page)) window->RequestPaint();
}

int QtHost::RunModalDialog(const DialogTemplate& dialog, WindowProc& procedure, Window* owner) {
  (void)owner;  // every other window waits while a modal dialog runs
  QPointer<QtDialogWidget> widget = new QtDialogWidget(*this, main_.data());
  QtWindow& window = widget->Window();
  window.Build(dialog);
  window.Attach(procedure);
  window.DeliverInitDialog();
  int result = 0;
  if (window.Ended()) {
    result = window.EndResult();
  } else {
    window.SetRunning(true);
    // A nested event loop: the pages' timers keep arriving while the dialog runs.
    result = widget->exec();
    if (!widget) return result;
    window.SetRunning(false);
    if (window.Ended()) result = window.EndResult();
  }
  window.Destroy();
  delete widget.data();
  return result;
}

int QtHost::ShowMessageBox(Window* owner, const char* text, const char* caption, MessageIcon icon,
                           MessageButtons buttons) {
  (void)owner;
  QPointer<QMessageBox> box = new QMessageBox(
      icon == MessageIcon::kWarning ? QMessageBox::Warning : QMessageBox::Information, FromCp1250(caption),
      FromCp1250(text), buttons == MessageButtons::kYesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok,
      main_.data());
  const int answer = box->exec();
  delete box.data();
  switch (answer) {
    case QMessageBox::Yes: return kIdYes;
    case QMessageBox::No: return kIdNo;
    default: return buttons == MessageButtons::kYesNo ? kIdNo : kIdOk;
  }
}

bool QtHost::RunFileDialog(const FileDialogRequest& request, bool save, std::string& path) {
  const QString name = FromCp1250(request.filter_name);
  const QString pattern = FromCp1250(request.pattern);
  QString filter = name;
  if (filter.isEmpty()) {
    filter = pattern;
  } else if (!filter.contains(QLatin1Char('(')) && !pattern.isEmpty()) {
    filter += QStringLiteral(" (") + pattern + QStringLiteral(")");
  }
  QPointer<QFileDialog> dialog = new QFileDialog(main_.data(), FromCp1250(request.title));
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  if (!filter.isEmpty()) dialog->setNameFilter(filter);
  dialog->setDefaultSuffix(FromCp1250(request.default_extension));
  if (request.folder != nullptr && request.folder[0] != '\0') dialog->setDirectory(QFile::decodeName(request.folder));
  if (save) {
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    // The program asks itself before it replaces a file.
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
  } else {
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    // The dialog does not insist that the file exists: a name that cannot be opened gets the
    // program's own "I/O Error" box.
    dialog->setFileMode(QFileDialog::AnyFile);
  }
  const int answer = dialog->exec();
  if (!dialog) return false;
  const QStringList files = dialog->selectedFiles();
  delete dialog.data();
  if (answer != QDialog::Accepted || files.isEmpty()) return false;
  path = QFile::encodeName(files.first()).toStdString();
  return true;
}

bool QtHost::GetOpenFileName(const FileDialogRequest& request, std::string& path) {
  return RunFileDialog(request, false, path);
}

bool QtHost::GetSaveFileName(const FileDialogRequest& request, std::string& path) {
  return RunFileDialog(request, true, path);
}

void QtHost::SetBusyCursor(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

}  // namespace korvel
