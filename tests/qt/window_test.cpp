// Pages and modal dialogs built from templates: controls and their notifications, timers, the
// persistent image under the controls, and modal dialogs whose nested loop keeps the pages'
// timers running.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <QtTest/qtestspontaneevent.h>

#include "platform/qt/qt_host.hpp"
#include "qt_test_support.hpp"
#include "resources/menus.hpp"
#include "shell/menu_bars.hpp"

namespace korvel {
namespace {

using qt_test::PumpUntil;
using Command = qt_test::RecordingProc::Command;

class QtPageTest : public ::testing::Test {
 protected:
  QtPageTest() : host_(qt_test::App()) {
    host_.CreateMainWindow(main_, "Korvel", MenuBars().Bar(kPolishMenu), 0, 0, 820, 640);
    host_.ShowMainWindow();
    dialog_ = qt_test::TestPageTemplate();
    window_ = host_.CreatePage(dialog_, proc_);
    page_ = static_cast<QtWindow*>(window_);
    PumpUntil([this] { return proc_.paints > 0; });
  }
  ~QtPageTest() override { qt_test::FlushDeletes(); }

  template <class T>
  T* Control(int id) {
    return dynamic_cast<T*>(page_->ControlWidget(id));
  }

  QtHost host_;
  qt_test::RecordingMain main_;
  qt_test::RecordingProc proc_;
  DialogTemplate dialog_{};
  Window* window_ = nullptr;
  QtWindow* page_ = nullptr;
};

TEST_F(QtPageTest, ControlsStandAtTheirTemplateRectanglesWithDecodedTexts) {
  EXPECT_EQ(proc_.inits, 1);
  // Font 12: 8 x 20 base units, so x * 2 and y * 2.5 pixels.
  EXPECT_EQ(window_->GetWindowSize().width, 800);
  EXPECT_EQ(window_->GetWindowSize().height, 570);
  QComboBox* combo = Control<QComboBox>(10);
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(combo->geometry().topLeft(), QPoint(420, 40));
  EXPECT_EQ(combo->width(), 120);
  // The template height includes the dropped list; the closed box is one line high.
  EXPECT_LT(combo->height(), 150);
  EXPECT_GT(combo->maxVisibleItems(), 1);
  EXPECT_EQ(Control<QPushButton>(30)->text(), QString::fromUtf8("Łódź"));
  EXPECT_EQ(Control<QCheckBox>(20)->text(), QString::fromUtf8("Kursor wartości"));
  QLabel* heading = Control<QLabel>(40);
  EXPECT_EQ(heading->text(), QString::fromUtf8("Ściana"));
  EXPECT_TRUE(heading->alignment() & Qt::AlignHCenter);
  EXPECT_TRUE(heading->alignment() & Qt::AlignVCenter);
  EXPECT_EQ(heading->frameShadow(), QFrame::Sunken);
  EXPECT_TRUE(Control<QLabel>(41)->isHidden());
  EXPECT_FALSE(Control<QLabel>(40)->isHidden());

  window_->SetControlText(40, "\xA3\xB9" "ka");
  EXPECT_EQ(heading->text(), QString::fromUtf8("Łąka"));
  window_->ShowControl(41, true);
  EXPECT_FALSE(Control<QLabel>(41)->isHidden());
  window_->EnableControl(30, false);
  EXPECT_FALSE(Control<QPushButton>(30)->isEnabled());
  window_->MoveControl(30, 5, 6, 70, 40);
  EXPECT_EQ(Control<QPushButton>(30)->geometry(), QRect(5, 6, 70, 40));
  // Ids the page does not have are ignored.
  window_->SetControlText(999, "x");
  window_->AddListEntry(30, "x");
  EXPECT_EQ(window_->GetListSelection(999), -1);
  EXPECT_EQ(window_->GetListCount(999), 0);
  EXPECT_FALSE(window_->GetCheck(999));
  EXPECT_EQ(window_->GetScrollPosition(999), 0);
}

TEST_F(QtPageTest, ListsStartWithoutSelectionAndShowNoneOutsideTheirEntries) {
  window_->AddListEntry(10, "0,40");
  window_->AddListEntry(10, "0,42");
  window_->AddListEntry(10, "0,44");
  EXPECT_EQ(window_->GetListCount(10), 3);
  EXPECT_EQ(window_->GetListSelection(10), -1);
  window_->SelectListEntry(10, 2);
  EXPECT_EQ(window_->GetListSelection(10), 2);
  EXPECT_EQ(Control<QComboBox>(10)->currentText(), QStringLiteral("0,44"));
  window_->SelectListEntry(10, 3);
  EXPECT_EQ(window_->GetListSelection(10), -1);
  window_->SelectListEntry(10, 1);
  window_->SelectListEntry(10, -1);
  EXPECT_EQ(window_->GetListSelection(10), -1);
  window_->ResetList(10);
  EXPECT_EQ(window_->GetListCount(10), 0);
  // Selections made by the page are no notifications.
  EXPECT_TRUE(proc_.commands.empty());
}

TEST_F(QtPageTest, ComboReportsDropDownCloseUpAndOnlyTheUsersSelection) {
  for (const char* entry : {"1500", "1600", "1700", "1800"}) window_->AddListEntry(10, entry);
  window_->SelectListEntry(10, 1);
  QComboBox* combo = Control<QComboBox>(10);

  combo->showPopup();
  ASSERT_TRUE(combo->view()->isVisible());
  EXPECT_EQ(proc_.commands, (std::vector<Command>{{10, kComboDroppedDown}}));
  combo->hidePopup();
  EXPECT_EQ(proc_.commands, (std::vector<Command>{{10, kComboDroppedDown}, {10, kComboClosedUp}}));

  // A click on an entry of the dropped list: closed up and selection changed.
  proc_.commands.clear();
  combo->showPopup();
  QAbstractItemView* view = combo->view();
  const QRect item = view->visualRect(combo->model()->index(3, 0));
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item.center());
  PumpUntil([&] { return proc_.commands.size() >= 3; }, 500);
  ASSERT_EQ(proc_.commands.size(), 3u);
  EXPECT_EQ(proc_.commands[0], (Command{10, kComboDroppedDown}));
  EXPECT_NE(std::find(proc_.commands.begin(), proc_.commands.end(), Command{10, kComboClosedUp}),
            proc_.commands.end());
  EXPECT_NE(std::find(proc_.commands.begin(), proc_.commands.end(), Command{10, kComboSelectionChanged}),
            proc_.commands.end());
  EXPECT_EQ(window_->GetListSelection(10), 3);

  // The keyboard on the closed list changes the selection too.
  proc_.commands.clear();
  combo->setFocus();
  QTest::keyClick(combo, Qt::Key_Up);
  EXPECT_EQ(proc_.commands, (std::vector<Command>{{10, kComboSelectionChanged}}));
  EXPECT_EQ(window_->GetListSelection(10), 2);

  // A list that closes by itself (a click elsewhere) still reports its close-up, once.
  proc_.commands.clear();
  combo->showPopup();
  combo->view()->window()->hide();
  combo->hidePopup();
  EXPECT_EQ(proc_.commands, (std::vector<Command>{{10, kComboDroppedDown}, {10, kComboClosedUp}}));
}

// A wheel notch as the window system delivers it: to the top-level window, spontaneous, at the
// middle of `widget`; the window finds the widget under the mouse, and the application hands the
// keyboard focus to it first when the widget takes the focus by the wheel.
void WheelNotch(QWidget& widget, int delta) {
  QWidget* top = widget.window();
  const QPointF local = widget.mapTo(top, QPoint(widget.width() / 2, widget.height() / 2));
  QWheelEvent wheel(local, top->mapToGlobal(local), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QSpontaneKeyEvent::setSpontaneous(&wheel);
  // Straight to the application: sendEvent would take the spontaneous mark off again.
  QApplication::instance()->notify(top->windowHandle(), &wheel);
}

TEST_F(QtPageTest, WheelChangesOnlyTheListThatHasTheKeyboardFocus) {
  for (const char* entry : {"0,0", "0,5", "1,0", "1,5"}) window_->AddListEntry(10, entry);
  window_->SelectListEntry(10, 1);
  QComboBox* combo = Control<QComboBox>(10);
  QPushButton* button = Control<QPushButton>(30);
  host_.MainWidget()->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(host_.MainWidget()));
  button->setFocus();
  ASSERT_TRUE(button->hasFocus());

  // Two notches over the list while the button has the focus: nothing changes, nothing is said,
  // and the focus stays where the fitter put it.
  WheelNotch(*combo, -120);
  WheelNotch(*combo, -120);
  EXPECT_EQ(window_->GetListSelection(10), 1);
  EXPECT_TRUE(proc_.commands.empty());
  EXPECT_TRUE(button->hasFocus());

  // Once the list has the focus the wheel moves it, one entry a notch.
  combo->setFocus();
  WheelNotch(*combo, -120);
  EXPECT_EQ(window_->GetListSelection(10), 2);
  EXPECT_EQ(proc_.commands, (std::vector<Command>{{10, kComboSelectionChanged}}));
}

TEST_F(QtPageTest, EmptyListClosesUpAtOnceSoThePagesDoNotWaitForever) {
  Control<QComboBox>(11)->showPopup();
  EXPECT_EQ(proc_.commands, (std::vector<Command>{{11, kComboDroppedDown}, {11, kComboClosedUp}}));
}

TEST_F(QtPageTest, CheckBoxTogglesItselfBeforeThePageHearsTheClick) {
  bool check_seen = false;
  proc_.on_command = [&](Window& window, int id, int) {
    if (id == 20) check_seen = window.GetCheck(20);
  };
  QTest::mouseClick(Control<QCheckBox>(20), Qt::LeftButton);
  EXPECT_EQ(proc_.commands, (std::vector<Command>{{20, kButtonClicked}}));
  EXPECT_TRUE(check_seen);
  // Setting the check from the page sends nothing.
  window_->SetCheck(20, false);
  EXPECT_FALSE(window_->GetCheck(20));
  EXPECT_EQ(proc_.commands.size(), 1u);

  QTest::mouseClick(Control<QPushButton>(30), Qt::LeftButton);
  EXPECT_EQ(proc_.commands.back(), (Command{30, kButtonClicked}));
}

TEST_F(QtPageTest, ScrollBarsSendRequestsAndMoveOnlyWhenThePageSetsThem) {
  window_->SetScrollRange(50, 2, 395);
  window_->SetScrollPosition(50, 100);
  QScrollBar* bar = Control<QScrollBar>(50);
  bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  ASSERT_EQ(proc_.scrolls.size(), 1u);
  EXPECT_EQ(proc_.scrolls[0].id, 50);
  EXPECT_FALSE(proc_.scrolls[0].vertical);
  EXPECT_EQ(proc_.scrolls[0].request, kScrollLineDown);
  // The page did not set a position: the thumb stays.
  EXPECT_EQ(window_->GetScrollPosition(50), 100);

  proc_.on_scroll = [](Window& window, int id, bool, int request, int position) {
    window.SetScrollPosition(id, request == kScrollThumbTrack ? position : window.GetScrollPosition(id) - 10);
  };
  bar->triggerAction(QAbstractSlider::SliderPageStepSub);
  EXPECT_EQ(proc_.scrolls.back().request, kScrollPageUp);
  EXPECT_EQ(window_->GetScrollPosition(50), 90);
  bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(proc_.scrolls.back().request, kScrollLineUp);
  bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(proc_.scrolls.back().request, kScrollPageDown);
  bar->setSliderPosition(250);  // dragging the thumb
  EXPECT_EQ(proc_.scrolls.back().request, kScrollThumbTrack);
  EXPECT_EQ(proc_.scrolls.back().position, 250);
  EXPECT_EQ(window_->GetScrollPosition(50), 250);

  // Positions are kept inside the range.
  window_->SetScrollPosition(50, 1000);
  EXPECT_EQ(window_->GetScrollPosition(50), 395);

  Control<QScrollBar>(51)->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_TRUE(proc_.scrolls.back().vertical);
  EXPECT_EQ(proc_.scrolls.back().id, 51);
}

TEST_F(QtPageTest, TimersFireByIdRestartAndDie) {
  window_->SetTimer(1, 10);
  window_->SetTimer(2, 15);
  EXPECT_EQ(page_->TimerPeriod(1), 10);
  ASSERT_TRUE(PumpUntil([&] { return proc_.TimerCount(1) >= 3 && proc_.TimerCount(2) >= 2; }));
  window_->SetTimer(1, 500);
  EXPECT_EQ(page_->TimerPeriod(1), 500);
  window_->KillTimer(2);
  EXPECT_EQ(page_->TimerPeriod(2), 0);
  const int ticks = proc_.TimerCount(2);
  qt_test::Pump(60);
  EXPECT_EQ(proc_.TimerCount(2), ticks);

  // A destroyed page hears nothing more, and OnDestroy once.
  window_->SetTimer(3, 10);
  host_.DestroyPage(window_);
  EXPECT_EQ(proc_.destroys, 1);
  const size_t all = proc_.timers.size();
  qt_test::Pump(60);
  EXPECT_EQ(proc_.timers.size(), all);
  host_.DestroyPage(window_);  // a second time does nothing
  EXPECT_EQ(proc_.destroys, 1);
}

TEST_F(QtPageTest, DrawingOutsideAPaintIsShownWithoutAPaintMessage) {
  const int paints = proc_.paints;
  Canvas& canvas = window_->GetContext();
  canvas.SelectPen(Pen::PenRed1);
  canvas.SelectBrush(Brush::BrushRed);
  canvas.Rectangle(10, 10, 60, 60);
  window_->ReleaseContext(canvas);
  EXPECT_EQ(page_->Image().pixel(30, 30), qRgb(255, 0, 0));
  qt_test::Pump(60);
  EXPECT_EQ(proc_.paints, paints);

  // A repaint asked for reaches the procedure, and the drawing survives it.
  window_->GetContext();  // a context that is not released keeps its slot
  host_.InvalidatePage(window_);
  ASSERT_TRUE(PumpUntil([&] { return proc_.paints == paints + 1; }));
  EXPECT_EQ(page_->Image().pixel(30, 30), qRgb(255, 0, 0));
  const QImage shown = page_->Surface().grab().toImage();
  EXPECT_EQ(shown.pixel(30, 30), qRgb(255, 0, 0));
}

TEST_F(QtPageTest, PaintHandlerDrawsIntoTheImageAndControlsStayOnTop) {
  proc_.on_paint = [](Window& window) {
    Canvas& canvas = window.GetContext();
    canvas.SelectPen(Pen::PenNavy1);
    canvas.SelectBrush(Brush::BrushNavy);
    canvas.Rectangle(0, 0, 800, 570);
    window.ReleaseContext(canvas);
  };
  host_.InvalidatePage(window_);
  const int paints = proc_.paints;
  ASSERT_TRUE(PumpUntil([&] { return proc_.paints > paints - 1 && page_->Image().pixel(5, 5) == qRgb(0, 0, 128); }));
  const QImage shown = page_->Surface().grab().toImage();
  EXPECT_EQ(shown.pixel(700, 500), qRgb(0, 0, 128));
  const QPoint button = page_->ControlWidget(30)->geometry().center();
  EXPECT_NE(shown.pixel(button), qRgb(0, 0, 128));
}

TEST_F(QtPageTest, MovingThePageKeepsWhatWasDrawn) {
  Canvas& canvas = window_->GetContext();
  canvas.SelectBrush(Brush::BrushLime);
  canvas.Rectangle(700, 500, 800, 570);
  window_->ReleaseContext(canvas);
  window_->MoveWindow(-5, -10, 1024, 738);
  EXPECT_EQ(window_->GetWindowSize().width, 1024);
  EXPECT_EQ(window_->GetWindowSize().height, 738);
  EXPECT_EQ(page_->Surface().pos(), QPoint(-5, -10));
  EXPECT_EQ(page_->Image().size(), QSize(1024, 738));
  EXPECT_EQ(page_->Image().pixel(750, 550), qRgb(0, 255, 0));
  // The new part has the dialog background.
  EXPECT_EQ(QColor(page_->Image().pixel(1000, 700)), page_->Surface().palette().color(QPalette::Window));
}

TEST_F(QtPageTest, EveryContextStartsFresh) {
  Canvas& first = window_->GetContext();
  first.SelectPen(Pen::PenRed4);
  first.SelectBrush(Brush::BrushRed);
  Canvas& second = window_->GetContext();
  EXPECT_NE(&first, &second);
  window_->ReleaseContext(first);
  window_->ReleaseContext(second);
  Canvas& again = window_->GetContext();
  again.Rectangle(100, 100, 110, 110);
  EXPECT_EQ(page_->Image().pixel(100, 105), qRgb(0, 0, 0));
  EXPECT_EQ(page_->Image().pixel(105, 105), qRgb(255, 255, 255));
  window_->ReleaseContext(again);
}

// Modal dialogs ----------------------------------------------------------------------------------

TEST_F(QtPageTest, ModalDialogKeepsThePageTimersRunningAndEndsWithItsResult) {
  window_->SetTimer(1, 10);
  qt_test::RecordingProc dialog_proc;
  QString title_seen;
  int page_ticks_at_start = 0;
  dialog_proc.on_init = [&](Window& dialog) {
    page_ticks_at_start = proc_.TimerCount(1);
    const Size size = dialog.GetWindowSize();
    dialog.MoveWindow((800 - size.width) / 2, (600 - size.height) / 2, size.width, size.height);
    dialog.SetTimer(2, 10);
  };
  dialog_proc.on_timer = [&](Window& dialog, int id) {
    if (id != 2 || dialog_proc.TimerCount(2) < 3) return;
    dialog.SetTitle("Wersja \xA3");
    title_seen = QApplication::activeModalWidget() != nullptr ? QApplication::activeModalWidget()->windowTitle()
                                                              : QString();
    dialog.SetControlText(1125, "2.05");
    if (proc_.TimerCount(1) > page_ticks_at_start + 2) dialog.EndDialog(7);
  };
  const DialogTemplate dialog = qt_test::TestDialogTemplate();
  const int result = host_.RunModalDialog(dialog, dialog_proc, window_);
  EXPECT_EQ(result, 7);
  EXPECT_EQ(dialog_proc.inits, 1);
  EXPECT_GE(dialog_proc.paints, 1);
  EXPECT_EQ(dialog_proc.destroys, 1);
  EXPECT_GT(proc_.TimerCount(1), page_ticks_at_start + 2);
  EXPECT_EQ(title_seen, QString::fromUtf8("Wersja Ł"));
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(QtPageTest, EscapeAndCloseBoxAreCommandTwoAndTheProcedureDecides) {
  qt_test::RecordingProc dialog_proc;
  dialog_proc.on_init = [](Window& dialog) { dialog.SetTimer(2, 10); };
  dialog_proc.on_timer = [&](Window&, int) {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) return;
    if (dialog_proc.TimerCount(2) == 2) modal->close();  // not ended: the procedure ignores it
    if (dialog_proc.TimerCount(2) == 4) {
      EXPECT_TRUE(modal->isVisible());
      QTest::keyClick(modal, Qt::Key_Escape);
    }
  };
  dialog_proc.on_command = [&](Window& dialog, int id, int) {
    if (id == kIdCancel && dialog_proc.commands.size() >= 2) dialog.EndDialog(kIdCancel);
  };
  const DialogTemplate dialog = qt_test::TestDialogTemplate();
  EXPECT_EQ(host_.RunModalDialog(dialog, dialog_proc, window_), kIdCancel);
  EXPECT_EQ(dialog_proc.commands, (std::vector<Command>{{kIdCancel, 0}, {kIdCancel, 0}}));
}

TEST_F(QtPageTest, DialogEndedWhileStartingDoesNotWait) {
  qt_test::RecordingProc dialog_proc;
  dialog_proc.on_init = [](Window& dialog) {
    dialog.SetTimer(2, 10);
    dialog.EndDialog(kIdOk);
  };
  const DialogTemplate dialog = qt_test::TestDialogTemplate();
  EXPECT_EQ(host_.RunModalDialog(dialog, dialog_proc, nullptr), kIdOk);
  EXPECT_EQ(dialog_proc.destroys, 1);
  EXPECT_TRUE(dialog_proc.timers.empty());
}

TEST_F(QtPageTest, ButtonOfADialogReachesItsProcedure) {
  qt_test::RecordingProc dialog_proc;
  dialog_proc.on_init = [](Window& dialog) { dialog.SetTimer(2, 10); };
  dialog_proc.on_timer = [&](Window&, int) {
    if (auto* modal = QApplication::activeModalWidget()) {
      if (auto* button = modal->findChild<QPushButton*>()) QTest::mouseClick(button, Qt::LeftButton);
    }
  };
  dialog_proc.on_command = [](Window& dialog, int id, int) {
    if (id == kIdOk) dialog.EndDialog(kIdOk);
  };
  const DialogTemplate dialog = qt_test::TestDialogTemplate();
  EXPECT_EQ(host_.RunModalDialog(dialog, dialog_proc, window_), kIdOk);
  EXPECT_EQ(dialog_proc.commands.front(), (Command{kIdOk, kButtonClicked}));
}

}  // namespace
}  // namespace korvel

namespace korvel {
namespace {

// Static texts break only at spaces; a word wider than the control is clipped, never split.
TEST(QtStaticTextWrap, LinesEndOnlyAtSpaces) {
  qt_test::App();
  QFont font = FitFont(15, 7, 400).font;
  const QFontMetrics metrics(font);
  EXPECT_EQ(WrapAtSpaces(QStringLiteral("1.03"), metrics, 5), QStringLiteral("1.03"));
  const QString heading = QString::fromUtf8("Odczytana wersja sterownika:");
  const int two_words = metrics.horizontalAdvance(QString::fromUtf8("Odczytana wersja"));
  EXPECT_EQ(WrapAtSpaces(heading, metrics, two_words), QString::fromUtf8("Odczytana wersja\nsterownika:"));
  EXPECT_EQ(WrapAtSpaces(heading, metrics, two_words - 1), QString::fromUtf8("Odczytana\nwersja\nsterownika:"));
  EXPECT_EQ(WrapAtSpaces(heading, metrics, 1000), heading);
  // Runs of spaces inside a line and leading spaces stay; the spaces at a break go.
  EXPECT_EQ(WrapAtSpaces(QStringLiteral(" Polski"), metrics, 1000), QStringLiteral(" Polski"));
  const QString button = QString::fromUtf8("ZRESETUJ   I   PRZYWRÓĆ");
  const int first = metrics.horizontalAdvance(QStringLiteral("ZRESETUJ   I"));
  EXPECT_EQ(WrapAtSpaces(button, metrics, first), QString::fromUtf8("ZRESETUJ   I\nPRZYWRÓĆ"));
}

}  // namespace
}  // namespace korvel
