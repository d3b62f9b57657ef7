// The main window: menu bars from the menu resources with their checks, greying, highlight and
// item bitmaps; commands, accelerators, close and destroy reaching the main window procedure;
// pages from the program's own templates; message boxes, file dialogs and the busy cursor.
#include <gtest/gtest.h>

#include "shell/page_table.hpp"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <memory>

#include "platform/qt/qt_host.hpp"
#include "qt_test_support.hpp"
#include "resources/menus.hpp"
#include "shell/menu_bars.hpp"

namespace korvel {
namespace {

using qt_test::PumpUntil;

// Runs `act` on the modal widget on top as soon as there is one; `act` returns true when done.
// A modal window that `act` cannot finish within five seconds fails the test and is closed, so a
// stuck dialog ends its test instead of stalling the whole run.
void WhenModal(std::function<bool(QWidget*)> act) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  auto started = std::make_shared<QElapsedTimer>();
  started->start();
  QObject::connect(timer, &QTimer::timeout, [timer, act, started] {
    QWidget* modal = QApplication::activeModalWidget();
    bool done = modal != nullptr && act(modal);
    if (!done && started->elapsed() > 5000) {
      ADD_FAILURE() << "the modal window was not finished in time";
      if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
      done = true;
    }
    if (done) {
      timer->stop();
      timer->deleteLater();
    }
  });
  timer->start();
}

// Types `name` into the file dialog's name field in `folder`, as a fitter does, and presses its
// accept. (selectFile leaves the field alone while it has the keyboard focus.)
bool TypeNameAndAccept(QFileDialog* dialog, const QString& folder, const QString& name) {
  dialog->setDirectory(folder);
  auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  if (field == nullptr) {
    ADD_FAILURE() << "the file dialog has no name field";
    dialog->reject();
    return true;
  }
  field->setText(name);
  static_cast<QDialog*>(dialog)->accept();  // the file dialog's own accept, as its button does
  // While the dialog is still taking in the folder its accept may not take; try again.
  return !dialog->isVisible();
}

bool Contains(const std::vector<std::string>& events, const std::string& event) {
  return std::find(events.begin(), events.end(), event) != events.end();
}

class QtHostTest : public ::testing::Test {
 protected:
  QtHostTest() : host_(qt_test::App()) {}
  ~QtHostTest() override { qt_test::FlushDeletes(); }

  void Create(int menu = kPolishMenu) {
    ASSERT_TRUE(host_.CreateMainWindow(main_, "Korvel", MenuBars().Bar(menu), 0, 0, 640, 450));
    host_.ShowMainWindow();
  }
  QAction* BarAction(const QString& text) {
    for (QAction* action : host_.MenuBar()->actions()) {
      if (action->text() == text) return action;
    }
    return nullptr;
  }

  QtHost host_;
  qt_test::RecordingMain main_;
};

TEST_F(QtHostTest, CreationRunsOnCreateInsideAndPaintsAfterShow) {
  bool had_window = false;
  main_.on_create = [&] { had_window = host_.MainWidget() != nullptr; };
  Create();
  EXPECT_TRUE(had_window);
  EXPECT_EQ(main_.events.front(), "create");
  EXPECT_EQ(host_.MainWidget()->windowTitle(), QStringLiteral("Korvel"));
  ASSERT_TRUE(PumpUntil([&] { return main_.paints >= 1; }));
  const int paints = main_.paints;
  host_.InvalidateMainWindow();
  host_.InvalidateMainWindow();  // asked twice before the loop ran: one paint
  ASSERT_TRUE(PumpUntil([&] { return main_.paints == paints + 1; }));
  qt_test::Pump(30);
  EXPECT_EQ(main_.paints, paints + 1);
  // Only one main window.
  qt_test::RecordingMain other;
  EXPECT_FALSE(host_.CreateMainWindow(other, "x", MenuBars().Bar(kPolishMenu), 0, 0, 10, 10));
}

TEST_F(QtHostTest, WindowTakesTheOuterSizeAskedForAndTheDesktopIsTheScreen) {
  Create();
  host_.MoveMainWindow(10, 20, 800, 600);
  EXPECT_EQ(host_.MainWidget()->frameGeometry().size(), QSize(800, 600));
  EXPECT_EQ(host_.MainWidget()->frameGeometry().topLeft(), QPoint(10, 20));
  const Size client = host_.MainClientSize();
  EXPECT_EQ(client.width, 800 - (host_.MainWidget()->frameGeometry().width() - host_.MainWidget()->width()));
  EXPECT_LT(client.height, 600 - 10);  // the menu bar takes its line
  EXPECT_GT(client.height, 500);
  const QSize screen = QGuiApplication::primaryScreen()->size();
  EXPECT_EQ(host_.DesktopSize().width, screen.width());
  EXPECT_EQ(host_.DesktopSize().height, screen.height());
  host_.SetMainTitle("Konfiguracja \xA3");
  EXPECT_EQ(host_.MainWidget()->windowTitle(), QString::fromUtf8("Konfiguracja Ł"));
}

TEST_F(QtHostTest, MenuBarHasThePopupsFirstThenTheCommandItems) {
  Create();
  const QList<QAction*> actions = host_.MenuBar()->actions();
  ASSERT_EQ(actions.size(), 11);
  const char* titles[] = {"Plik",       "Port",   "Rozmiar", "Język",      "Odczyty",       "Konfiguracja",
                          "Opcje",      "Schemat", "Reset",   "Oscyloskop", "O Programie..."};
  for (int i = 0; i < 11; ++i) EXPECT_EQ(actions[i]->text(), QString::fromUtf8(titles[i])) << i;
  for (int i = 0; i < 4; ++i) EXPECT_NE(actions[i]->menu(), nullptr) << i;
  for (int i = 4; i < 11; ++i) EXPECT_EQ(actions[i]->menu(), nullptr) << i;
  EXPECT_TRUE(host_.MenuItemState(40005).on_bar);
  EXPECT_FALSE(host_.MenuItemState(40014).on_bar);
  EXPECT_EQ(host_.MenuItemState(40002).text, QStringLiteral("Wyjscie"));
  EXPECT_FALSE(host_.MenuItemState(12345).exists);
  // The File popup has its separator before Exit.
  const QList<QAction*> file = actions[0]->menu()->actions();
  EXPECT_TRUE(file[file.size() - 2]->isSeparator());
  EXPECT_EQ(host_.MenuItemState(40041).text, QStringLiteral("Nagraj jazdę..."));

  host_.SetMenuBar(MenuBars().Bar(kEnglishMenu));
  EXPECT_EQ(host_.CurrentMenuId(), kEnglishMenu);
  EXPECT_EQ(host_.MenuBar()->actions()[4]->text(), QStringLiteral("Readings"));
  EXPECT_EQ(host_.MenuItemState(40003).text, QStringLiteral("Program information..."));
  EXPECT_EQ(host_.MenuItemState(40041).text, QStringLiteral("Record drive..."));
}

TEST_F(QtHostTest, ChecksGreyingHighlightAndItemBitmaps) {
  Create();
  host_.CheckMenuItem(40020, true);
  EXPECT_TRUE(host_.MenuItemState(40020).checked);
  EXPECT_FALSE(host_.MenuItemState(40019).checked);
  host_.CheckMenuItem(40020, false);
  EXPECT_FALSE(host_.MenuItemState(40020).checked);

  host_.EnableMenuItem(40031, false);
  EXPECT_FALSE(host_.MenuItemState(40031).enabled);
  host_.EnableMenuItem(40031, true);
  EXPECT_TRUE(host_.MenuItemState(40031).enabled);

  host_.SetMenuItemBitmaps(40036, 109, 173);
  host_.CheckMenuItem(40036, true);
  const QtMenuItemState polish = host_.MenuItemState(40036);
  EXPECT_EQ(polish.unchecked_bitmap, 109);
  EXPECT_EQ(polish.checked_bitmap, 173);
  EXPECT_TRUE(polish.checked);

  // The highlighted page item is drawn differently from the others.
  QMenuBar* bar = host_.MenuBar();
  QAction* readings = BarAction(QStringLiteral("Odczyty"));
  ASSERT_NE(readings, nullptr);
  const QRect item = bar->actionGeometry(readings);
  const QImage plain = bar->grab(item).toImage();
  host_.HighlightMenuItem(40005, true);
  EXPECT_TRUE(host_.MenuItemState(40005).highlighted);
  const QImage highlighted = bar->grab(item).toImage();
  EXPECT_NE(plain, highlighted);
  host_.HighlightMenuItem(40005, false);
  EXPECT_EQ(bar->grab(item).toImage(), plain);
}

TEST_F(QtHostTest, ChoosingABarItemEndsTheMenuLoopBeforeTheCommand) {
  Create();
  host_.TriggerMenuCommand(40006);
  ASSERT_TRUE(PumpUntil([&] { return !main_.commands.empty(); }));
  const auto loop = std::find(main_.events.begin(), main_.events.end(), "exit menu loop");
  const auto command = std::find(main_.events.begin(), main_.events.end(), "command 40006");
  ASSERT_NE(command, main_.events.end());
  ASSERT_NE(loop, main_.events.end());
  EXPECT_LT(loop, command);

  // A popup closing ends the menu loop too.
  main_.events.clear();
  QMenu* file = host_.MenuBar()->actions()[0]->menu();
  file->popup(QPoint(0, 0));
  file->hide();
  ASSERT_TRUE(PumpUntil([&] { return Contains(main_.events, "exit menu loop"); }));
}

TEST_F(QtHostTest, OnlyTheProcedureSetsChecks) {
  Create();
  host_.CheckMenuItem(40019, true);
  host_.TriggerMenuCommand(40019);  // a checked item chosen again
  ASSERT_TRUE(PumpUntil([&] { return !main_.commands.empty(); }));
  EXPECT_EQ(main_.commands.back(), 40019);
  EXPECT_TRUE(host_.MenuItemState(40019).checked);
  host_.TriggerMenuCommand(40020);  // an unchecked item chosen
  ASSERT_TRUE(PumpUntil([&] { return main_.commands.size() == 2; }));
  EXPECT_FALSE(host_.MenuItemState(40020).checked);
}

TEST_F(QtHostTest, LanguageChangeReplacesTheBarFromInsideItsOwnCommand) {
  Create();
  main_.on_command = [&](int id) {
    if (id == 40034) {
      host_.SetMenuBar(MenuBars().Bar(kEnglishMenu));
      host_.CheckMenuItem(40034, true);
    }
  };
  host_.TriggerMenuCommand(40034);
  ASSERT_TRUE(PumpUntil([&] { return host_.CurrentMenuId() == kEnglishMenu; }));
  qt_test::Pump(20);
  qt_test::FlushDeletes();
  EXPECT_EQ(host_.MenuBar()->actions()[0]->text(), QStringLiteral("File"));
  EXPECT_TRUE(host_.MenuItemState(40034).checked);
}

TEST_F(QtHostTest, CloseBoxAsksTheProcedureAndTheWindowStays) {
  Create();
  host_.MainWidget()->close();
  EXPECT_TRUE(Contains(main_.events, "close"));
  EXPECT_TRUE(host_.MainWidget()->isVisible());
}

TEST_F(QtHostTest, AcceleratorsSendExitAndProgramInformation) {
  Create();
  QMainWindow* window = host_.MainWidget();
  window->activateWindow();
  if (!QTest::qWaitForWindowActive(window, 1000)) GTEST_SKIP() << "the platform activates no window";
  QTest::keyClick(window, Qt::Key_F1, Qt::AltModifier);
  QTest::keyClick(window, Qt::Key_F4, Qt::AltModifier);
  EXPECT_EQ(main_.commands, (std::vector<int>{40003, 40002}));
}

TEST_F(QtHostTest, DestroyingTheMainWindowDestroysItsPagesAfterIt) {
  Create();
  qt_test::RecordingProc page;
  const DialogTemplate dialog = qt_test::TestPageTemplate();
  ASSERT_NE(host_.CreatePage(dialog, page), nullptr);
  main_.on_destroy = [&] { EXPECT_EQ(page.destroys, 0); };
  host_.DestroyMainWindow();
  EXPECT_TRUE(Contains(main_.events, "destroy"));
  EXPECT_EQ(page.destroys, 1);
  EXPECT_EQ(host_.MainWidget(), nullptr);
  host_.DestroyMainWindow();  // nothing left to destroy
}

TEST_F(QtHostTest, QuitEndsTheLoopWithItsCode) {
  Create();
  host_.Quit(3);
  EXPECT_EQ(host_.RunMessageLoop(), 3);
  QTimer::singleShot(10, [this] { host_.Quit(5); });
  EXPECT_EQ(host_.RunMessageLoop(), 5);
}

TEST_F(QtHostTest, PageMayBeDestroyedFromItsOwnHandler) {
  Create();
  qt_test::RecordingProc page;
  page.on_command = [&](Window& window, int id, int) {
    if (id == 30) {
      host_.DestroyPage(&window);
      window.SetControlText(40, "after");  // still safe until the handler returned
    }
  };
  const DialogTemplate dialog = qt_test::TestPageTemplate();
  auto* window = static_cast<QtWindow*>(host_.CreatePage(dialog, page));
  QTest::mouseClick(window->ControlWidget(30), Qt::LeftButton);
  EXPECT_EQ(page.destroys, 1);
  qt_test::FlushDeletes();
  qt_test::Pump(20);
}

TEST_F(QtHostTest, PagesAndDialogsFromTheProgramTemplates) {
  Create();
  qt_test::RecordingProc proc;
  auto* reset = static_cast<QtWindow*>(host_.CreatePage(*FindDialogTemplate(126), proc));
  ASSERT_NE(reset, nullptr);
  ASSERT_NE(dynamic_cast<QPushButton*>(reset->ControlWidget(126)), nullptr);
  EXPECT_EQ(reset->ControlText(126), QString::fromUtf8("ZRESETUJ   I   PRZYWRÓĆ USTAWIENIA FABRYCZNE"));
  EXPECT_EQ(reset->ControlText(1104), QString::fromUtf8("PRZYWRÓCENIE USTAWIEŃ FABRYCZNYCH STEROWNIKA:"));
  reset->SetControlText(126, "Reset");
  EXPECT_EQ(reset->ControlText(126), QStringLiteral("Reset"));
  host_.DestroyPage(reset);

  auto* readings = static_cast<QtWindow*>(host_.CreatePage(*FindDialogTemplate(101), proc));
  ASSERT_NE(readings, nullptr);
  ASSERT_NE(readings->ControlWidget(1005), nullptr);
  ASSERT_NE(readings->ControlWidget(1006), nullptr);
  EXPECT_TRUE(readings->ControlWidget(1006)->isHidden());

  // The program-information box shows the logo and the icon at their own sizes.
  qt_test::RecordingProc about;
  QSize logo;
  about.on_init = [&](Window& window) {
    for (QLabel* label : static_cast<QtWindow&>(window).Surface().findChildren<QLabel*>()) {
      if (!label->pixmap().isNull() && label->pixmap().width() > logo.width()) logo = label->size();
    }
    window.EndDialog(kIdOk);
  };
  EXPECT_EQ(host_.RunModalDialog(*FindDialogTemplate(103), about, readings), kIdOk);
  EXPECT_EQ(logo, QSize(238, 62));
}

TEST_F(QtHostTest, EveryItemOfBothMenuBarsFitsAWindow640PixelsWide) {
  // A fitter's laptop may have a 640 x 480 screen: no item may end up behind the bar's overflow.
  Create();
  host_.MainWidget()->resize(640, 450);
  for (int menu : {kPolishMenu, kEnglishMenu}) {
    host_.SetMenuBar(MenuBars().Bar(menu));
    QMenuBar* bar = host_.MenuBar();
    ASSERT_TRUE(PumpUntil([&] { return bar->width() > 600; }));
    const QList<QAction*> actions = bar->actions();
    ASSERT_EQ(actions.size(), 11) << menu;
    for (QAction* action : actions) {
      const QRect r = bar->actionGeometry(action);
      EXPECT_FALSE(r.isEmpty()) << action->text().toStdString();
      EXPECT_LT(r.right(), 640 - 8) << action->text().toStdString();
    }
    for (QMenu* popup : bar->findChildren<QMenu*>()) EXPECT_EQ(popup->font(), bar->font());
  }
}

TEST_F(QtHostTest, MessageBoxesAnswerOkYesAndNo) {
  Create();
  QString caption, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  WhenModal([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (box == nullptr) return false;
    caption = box->windowTitle();
    text = box->text();
    icon = box->icon();
    box->button(QMessageBox::Yes)->click();
    return true;
  });
  EXPECT_EQ(host_.ShowMessageBox(nullptr, "Nadpisa\xE6 plik?", "Zapis", MessageIcon::kWarning,
                                 MessageButtons::kYesNo),
            kIdYes);
  EXPECT_EQ(caption, QStringLiteral("Zapis"));
  EXPECT_EQ(text, QString::fromUtf8("Nadpisać plik?"));
  EXPECT_EQ(icon, QMessageBox::Warning);

  WhenModal([](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (box == nullptr) return false;
    box->button(QMessageBox::No)->click();
    return true;
  });
  EXPECT_EQ(host_.ShowMessageBox(nullptr, "?", "?", MessageIcon::kWarning, MessageButtons::kYesNo), kIdNo);

  WhenModal([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (box == nullptr) return false;
    icon = box->icon();
    box->button(QMessageBox::Ok)->click();
    return true;
  });
  EXPECT_EQ(host_.ShowMessageBox(nullptr, "OK", "I/O Error", MessageIcon::kInformation, MessageButtons::kOk), kIdOk);
  EXPECT_EQ(icon, QMessageBox::Information);
}

TEST_F(QtHostTest, SaveDialogAddsTheExtensionAndNeverAsksAboutOverwriting) {
  Create();
  QTemporaryDir directory;
  ASSERT_TRUE(directory.isValid());
  {
    QFile existing(directory.filePath(QStringLiteral("old.kvs")));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
  }
  const FileDialogRequest request{nullptr, "Korvel settings (*.kvs)", "*.kvs", "kvs", "Zapisz jako"};
  QString title;
  QStringList filters;
  bool native = true, confirms = true;
  WhenModal([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    if (dialog == nullptr) return false;
    title = dialog->windowTitle();
    filters = dialog->nameFilters();
    native = !dialog->testOption(QFileDialog::DontUseNativeDialog);
    confirms = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
    return TypeNameAndAccept(dialog, directory.path(), QStringLiteral("nowy"));
  });
  std::string path;
  ASSERT_TRUE(host_.GetSaveFileName(request, path));
  EXPECT_EQ(QString::fromStdString(path), directory.filePath(QStringLiteral("nowy.kvs")));
  EXPECT_EQ(title, QStringLiteral("Zapisz jako"));
  EXPECT_EQ(filters, QStringList{QStringLiteral("Korvel settings (*.kvs)")});
  EXPECT_FALSE(native);
  EXPECT_FALSE(confirms);

  // An existing file is returned as it is; a question about it would be a second modal window.
  bool asked = false;
  WhenModal([&](QWidget* modal) {
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      asked = true;
      box->accept();
      return false;
    }
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    if (dialog == nullptr) return false;
    return TypeNameAndAccept(dialog, directory.path(), QStringLiteral("old.kvs"));
  });
  ASSERT_TRUE(host_.GetSaveFileName(request, path));
  EXPECT_EQ(QString::fromStdString(path), directory.filePath(QStringLiteral("old.kvs")));
  EXPECT_FALSE(asked);
}

TEST_F(QtHostTest, OpenDialogCancelledGivesNoPath) {
  Create();
  WhenModal([](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    if (dialog == nullptr) return false;
    EXPECT_EQ(dialog->fileMode(), QFileDialog::AnyFile);
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
    dialog->reject();
    return true;
  });
  std::string path = "unchanged";
  EXPECT_FALSE(host_.GetOpenFileName(FileDialogRequest{nullptr, "Korvel settings", "*.kvs", "kvs", "Otw\xF3rz"},
                                     path));
  EXPECT_EQ(path, "unchanged");
}

TEST_F(QtHostTest, BusyCursorIsShownAndTakenBackOnce) {
  Create();
  host_.SetBusyCursor(true);
  host_.SetBusyCursor(true);
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  host_.SetBusyCursor(false);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  host_.SetBusyCursor(false);
  EXPECT_FALSE(host_.BusyCursorShown());
}

}  // namespace
}  // namespace korvel

namespace korvel {
namespace {

// Every template of the program becomes a window whose controls all lie inside it, and the
// closed lists of a template never overlap one another; a PNG of each goes into the build tree.
TEST(QtProgramTemplates, EveryTemplateBuildsWithItsControlsInside) {
  QtHost host(qt_test::App());
  qt_test::RecordingMain main;
  ASSERT_TRUE(host.CreateMainWindow(main, "Korvel", MenuBars().Bar(kPolishMenu), 0, 0, 1280, 1024));
  host.ShowMainWindow();
  const int ids[] = {101, 103, 106, 157, 145, 151, 150, 152, 125, 153, 154, 156, 126, 132, 159, 170};
  for (int id : ids) {
    SCOPED_TRACE(id);
    const DialogTemplate* dialog = FindDialogTemplate(id);
    ASSERT_NE(dialog, nullptr);
    qt_test::RecordingProc proc;
    auto* window = static_cast<QtWindow*>(host.CreatePage(*dialog, proc));
    const QRect page(QPoint(0, 0), window->Surface().size());
    std::vector<QRect> lists;
    for (int i = 0; i < dialog->control_count; ++i) {
      const ControlTemplate& control = dialog->controls[i];
      if (control.id < 0) continue;
      QWidget* widget = window->ControlWidget(control.id);
      ASSERT_NE(widget, nullptr) << control.id;
      EXPECT_TRUE(page.contains(widget->geometry())) << control.id;
      if (control.kind == ControlKind::kComboBox) {
        for (const QRect& other : lists) EXPECT_FALSE(other.intersects(widget->geometry())) << control.id;
        lists.push_back(widget->geometry());
      }
    }
    qt_test::PumpUntil([&] { return proc.paints > 0; }, 500);
    const QString directory = QStringLiteral(KORVEL_SCREENSHOT_DIR);
    QDir().mkpath(directory);
    window->Surface().grab().save(directory + QStringLiteral("/template_%1.png").arg(id));
    host.DestroyPage(window);
    qt_test::FlushDeletes();
  }
}

}  // namespace
}  // namespace korvel
