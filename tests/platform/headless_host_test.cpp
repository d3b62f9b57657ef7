#include "tests/headless/headless_host.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/menus.hpp"
#include "shell/menu_bars.hpp"

namespace korvel::headless {
namespace {

// A procedure that writes down what it receives, with the virtual time, and can run a test's
// reaction to a tick.
struct Event {
  std::string what;
  int a = 0, b = 0;
  uint64_t at_ms = 0;
  friend bool operator==(const Event&, const Event&) = default;
};

struct RecordingProc : WindowProc {
  explicit RecordingProc(VirtualClock& c) : clock(c) {}
  VirtualClock& clock;
  std::vector<Event> events;
  std::function<void(Window&, int)> on_timer;
  std::function<void(Window&, int, int)> on_command;

  bool OnInitDialog(Window&) override {
    events.push_back({"init", 0, 0, clock.NowMs()});
    return true;
  }
  void OnPaint(Window&) override { events.push_back({"paint", 0, 0, clock.NowMs()}); }
  void OnTimer(Window& w, int id) override {
    events.push_back({"timer", id, 0, clock.NowMs()});
    if (on_timer) on_timer(w, id);
  }
  void OnCommand(Window& w, int id, int code) override {
    events.push_back({"command", id, code, clock.NowMs()});
    if (on_command) on_command(w, id, code);
  }
  void OnScroll(Window&, int id, bool vertical, int request, int position) override {
    events.push_back({vertical ? "vscroll" : "hscroll", id, request * 1000 + position, clock.NowMs()});
  }
  void OnDestroy(Window&) override { events.push_back({"destroy", 0, 0, clock.NowMs()}); }

  std::vector<Event> Timers() const {
    std::vector<Event> t;
    for (const auto& e : events) {
      if (e.what == "timer") t.push_back(e);
    }
    return t;
  }
};

struct HeadlessTest : ::testing::Test {
  VirtualClock clock;
  HeadlessHost host{clock};
  RecordingProc proc{clock};
  RecordingProc other{clock};

  HeadlessWindow* Page(int id, WindowProc& p) { return static_cast<HeadlessWindow*>(host.CreatePage(id, p)); }
};

TEST_F(HeadlessTest, PageComesFromItsTemplateAndUnknownTemplatesGiveNoWindow) {
  EXPECT_EQ(host.CreatePage(9999, proc), nullptr);
  EXPECT_TRUE(proc.events.empty());

  HeadlessWindow* page = Page(106, proc);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(host.CurrentPage(), page);
  ASSERT_EQ(proc.events.size(), 1u);
  EXPECT_EQ(proc.events[0].what, "init");
  EXPECT_EQ(page->controls().size(), 43u);
  // 1003 at 231, 2, 48 x 58 dialog units, 10-point base units 7 x 15.
  const ControlState* combo = page->Control(1003);
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(combo->kind, ControlKind::kComboBox);
  EXPECT_EQ(combo->rect.x, 231 * 7 / 4);
  EXPECT_EQ(combo->rect.y, 2 * 15 / 8);
  EXPECT_EQ(combo->rect.width, 48 * 7 / 4);
  EXPECT_EQ(combo->rect.height, 58 * 15 / 8);
  EXPECT_FALSE(page->IsVisible(1027));
  EXPECT_TRUE(page->IsVisible(1026));
  EXPECT_EQ(page->Text(1089), "[V]     ");

  host.DestroyPage(page);
  EXPECT_EQ(proc.events.back().what, "destroy");
  EXPECT_EQ(host.CurrentPage(), nullptr);
  host.DestroyPage(nullptr);  // ignored
}

TEST_F(HeadlessTest, ListsCheckBoxesAndScrollBarsKeepTheirState) {
  HeadlessWindow* page = Page(152, proc);
  ASSERT_NE(page, nullptr);
  page->AddListEntry(1013, "-0");
  page->AddListEntry(1013, "-1");
  page->AddListEntry(1013, "-2");
  EXPECT_EQ(page->GetListCount(1013), 3);
  EXPECT_EQ(page->GetListSelection(1013), -1);
  page->SelectListEntry(1013, 2);
  EXPECT_EQ(page->GetListSelection(1013), 2);
  EXPECT_EQ(page->SelectedText(1013), "-2");
  // A position outside the list shows no selection.
  page->SelectListEntry(1013, 3);
  EXPECT_EQ(page->GetListSelection(1013), -1);
  page->SelectListEntry(1013, 1);
  page->SelectListEntry(1013, -1);
  EXPECT_EQ(page->GetListSelection(1013), -1);
  page->SelectListEntry(1013, 0);
  page->ResetList(1013);
  EXPECT_EQ(page->GetListCount(1013), 0);
  EXPECT_EQ(page->GetListSelection(1013), -1);

  // List operations on a check box, check operations on a combo box, unknown ids: no effect.
  page->AddListEntry(1034, "x");
  page->SetCheck(1013, true);
  page->AddListEntry(4242, "x");
  EXPECT_EQ(page->GetListCount(1034), 0);
  EXPECT_FALSE(page->GetCheck(1013));
  EXPECT_EQ(page->GetListCount(4242), 0);
  EXPECT_EQ(page->GetListSelection(4242), -1);
  EXPECT_FALSE(page->GetCheck(4242));

  page->SetCheck(1034, true);
  EXPECT_TRUE(page->GetCheck(1034));
  page->ShowControl(1003, true);
  page->EnableControl(1013, false);
  page->SetControlText(1075, "Att \xB0");
  page->MoveControl(1014, 1, 2, 3, 4);
  EXPECT_TRUE(page->IsVisible(1003));
  EXPECT_FALSE(page->IsEnabled(1013));
  EXPECT_EQ(page->Text(1075), "Att \xB0");
  EXPECT_EQ(page->Control(1014)->rect.x, 1);
  EXPECT_EQ(page->Control(1014)->rect.height, 4);

  HeadlessWindow* scope = nullptr;
  host.DestroyPage(page);
  scope = Page(159, other);
  ASSERT_NE(scope, nullptr);
  // The thumb stays inside the range, as the window system keeps it.
  scope->SetScrollRange(1117, 2, 395);
  EXPECT_EQ(scope->GetScrollPosition(1117), 2);
  scope->SetScrollPosition(1117, 100);
  EXPECT_EQ(scope->GetScrollPosition(1117), 100);
  scope->SetScrollPosition(1117, 500);
  EXPECT_EQ(scope->GetScrollPosition(1117), 395);
  scope->SetScrollRange(1117, 2, 50);
  EXPECT_EQ(scope->GetScrollPosition(1117), 50);
  EXPECT_EQ(scope->GetScrollPosition(1071), 0);
}

TEST_F(HeadlessTest, UserActionsSendTheNotificationsOfRealControls) {
  HeadlessWindow* page = Page(152, proc);
  ASSERT_NE(page, nullptr);
  page->AddListEntry(1013, "a");
  page->AddListEntry(1013, "b");

  EXPECT_TRUE(page->UserSelect(1013, 1));
  EXPECT_EQ(page->GetListSelection(1013), 1);
  EXPECT_EQ(proc.events.back(), (Event{"command", 1013, kComboSelectionChanged, 0}));
  EXPECT_FALSE(page->UserSelect(1013, 2));  // no such entry
  EXPECT_EQ(page->GetListSelection(1013), 1);

  proc.events.clear();
  EXPECT_TRUE(page->UserChoose(1013, 0));
  ASSERT_EQ(proc.events.size(), 3u);
  EXPECT_EQ(proc.events[0], (Event{"command", 1013, kComboDroppedDown, 0}));
  EXPECT_EQ(proc.events[1], (Event{"command", 1013, kComboClosedUp, 0}));
  EXPECT_EQ(proc.events[2], (Event{"command", 1013, kComboSelectionChanged, 0}));
  EXPECT_EQ(page->GetListSelection(1013), 0);

  proc.events.clear();
  EXPECT_TRUE(page->UserDropDown(1013));
  EXPECT_FALSE(page->UserDropDown(1013));  // already open
  EXPECT_TRUE(page->UserCloseUp(1013));
  EXPECT_FALSE(page->UserCloseUp(1013));
  EXPECT_EQ(proc.events.size(), 2u);

  // An automatic check box toggles before it notifies.
  proc.events.clear();
  EXPECT_TRUE(page->UserClick(1034));
  EXPECT_TRUE(page->GetCheck(1034));
  EXPECT_TRUE(page->UserClick(1034));
  EXPECT_FALSE(page->GetCheck(1034));
  EXPECT_TRUE(page->UserClick(1014));  // push button
  ASSERT_EQ(proc.events.size(), 3u);
  EXPECT_EQ(proc.events[2], (Event{"command", 1014, kButtonClicked, 0}));

  // Hidden or disabled controls cannot be reached; labels are not clickable.
  proc.events.clear();
  page->AddListEntry(1003, "0");
  EXPECT_FALSE(page->UserSelect(1003, 0));  // 1003 starts hidden
  page->EnableControl(1013, false);
  EXPECT_FALSE(page->UserChoose(1013, 0));
  EXPECT_FALSE(page->UserClick(1075));
  EXPECT_FALSE(page->UserClick(4242));
  EXPECT_TRUE(proc.events.empty());

  HeadlessWindow* schema = nullptr;
  host.DestroyPage(page);
  schema = Page(132, other);
  ASSERT_NE(schema, nullptr);
  EXPECT_TRUE(schema->UserScroll(1121, kScrollThumbTrack, 77));
  EXPECT_TRUE(schema->UserScroll(1120, kScrollPageDown));
  EXPECT_EQ(other.events[other.events.size() - 2], (Event{"vscroll", 1121, 5077, 0}));
  EXPECT_EQ(other.events.back(), (Event{"hscroll", 1120, 3000, 0}));
  EXPECT_EQ(schema->GetScrollPosition(1121), 0);  // the bar waits for the page to move it
}

TEST_F(HeadlessTest, TimersFireInDueOrderOnTheVirtualClock) {
  HeadlessWindow* page = Page(106, proc);
  ASSERT_NE(page, nullptr);
  page->SetTimer(1, 50);
  page->SetTimer(2, 30);
  host.RunFor(49);
  EXPECT_EQ(proc.Timers(), (std::vector<Event>{{"timer", 2, 0, 30}}));
  host.RunFor(1);  // 50: timer 1 is due exactly at the end of the run
  host.RunFor(50);
  EXPECT_EQ(proc.Timers(), (std::vector<Event>{
                               {"timer", 2, 0, 30}, {"timer", 1, 0, 50}, {"timer", 2, 0, 60},
                               {"timer", 2, 0, 90}, {"timer", 1, 0, 100}}));
  EXPECT_EQ(clock.NowMs(), 100u);
  EXPECT_EQ(page->TimerPeriod(1), 50u);

  // Equal due times: the timer started first fires first.
  proc.events.clear();
  page->SetTimer(2, 40);
  page->SetTimer(1, 40);
  host.RunFor(40);
  EXPECT_EQ(proc.Timers(), (std::vector<Event>{{"timer", 2, 0, 140}, {"timer", 1, 0, 140}}));

  // SetTimer restarts the period from now; KillTimer stops it.
  proc.events.clear();
  host.RunFor(30);  // 170
  page->SetTimer(1, 40);
  page->KillTimer(2);
  host.RunFor(45);  // 215
  EXPECT_EQ(proc.Timers(), (std::vector<Event>{{"timer", 1, 0, 210}}));
  EXPECT_EQ(page->TimerPeriod(2), 0u);
}

TEST_F(HeadlessTest, SlowTickCoalescesMissedTicks) {
  HeadlessWindow* page = Page(106, proc);
  ASSERT_NE(page, nullptr);
  page->SetTimer(1, 50);
  int ticks = 0;
  proc.on_timer = [&](Window&, int) {
    // The first tick's exchange takes 170 ms (a lost controller's time-outs).
    if (++ticks == 1) clock.AdvanceMs(170);
  };
  host.RunFor(300);
  // 50 runs to 220; the next is due at once (max(100, 220)), then every 50 ms from there.
  EXPECT_EQ(proc.Timers(), (std::vector<Event>{{"timer", 1, 0, 50}, {"timer", 1, 0, 220}, {"timer", 1, 0, 270}}));
  EXPECT_EQ(clock.NowMs(), 300u);
}

TEST_F(HeadlessTest, TimersOfSeveralWindowsInterleaveAndRestartInsideTheirHandler) {
  HeadlessWindow* page = Page(106, proc);
  ASSERT_NE(page, nullptr);
  page->SetTimer(1, 50);
  proc.on_timer = [&](Window& w, int) {
    // The page follows a new poll period at the end of its tick.
    if (clock.NowMs() == 100) w.SetTimer(1, 500);
  };
  host.RunFor(700);
  EXPECT_EQ(proc.Timers(), (std::vector<Event>{{"timer", 1, 0, 50}, {"timer", 1, 0, 100}, {"timer", 1, 0, 600}}));
}

TEST_F(HeadlessTest, PageDestroyedInsideItsOwnTickIsSafe) {
  HeadlessWindow* page = Page(106, proc);
  ASSERT_NE(page, nullptr);
  page->SetTimer(1, 50);
  proc.on_timer = [&](Window& w, int) { host.DestroyPage(&w); };
  host.RunFor(200);
  EXPECT_EQ(proc.Timers().size(), 1u);
  EXPECT_EQ(host.CurrentPage(), nullptr);
  EXPECT_EQ(host.pages_destroyed, (std::vector<int>{106}));
}

TEST_F(HeadlessTest, ModalDialogRunsWithThePagesTimers) {
  HeadlessWindow* page = Page(125, proc);
  ASSERT_NE(page, nullptr);
  page->SetTimer(1, 50);

  // Without a script the dialog closes at once after its init and one paint.
  EXPECT_EQ(host.RunModalDialog(170, other, page), kIdCancel);
  ASSERT_EQ(other.events.size(), 3u);
  EXPECT_EQ(other.events[0].what, "init");
  EXPECT_EQ(other.events[1].what, "paint");
  EXPECT_EQ(other.events[2].what, "destroy");
  EXPECT_EQ(host.RunModalDialog(4242, other, page), -1);

  other.events.clear();
  other.on_command = [](Window& w, int id, int) {
    if (id == kIdOk) w.EndDialog(kIdOk);
  };
  HeadlessWindow* seen = nullptr;
  host.on_modal_dialog = [&](HeadlessWindow& dialog) {
    seen = &dialog;
    EXPECT_EQ(host.CurrentDialog(), &dialog);
    EXPECT_TRUE(dialog.modal());
    EXPECT_EQ(dialog.template_id(), 170);
    dialog.SetTimer(2, 50);
    host.RunFor(100);
    EXPECT_TRUE(dialog.UserClick(1));
    host.RunFor(100);  // the ended dialog's timer no longer fires
  };
  EXPECT_EQ(host.RunModalDialog(170, other, page), kIdOk);
  EXPECT_NE(seen, nullptr);
  EXPECT_EQ(host.CurrentDialog(), nullptr);
  EXPECT_EQ(other.Timers(), (std::vector<Event>{{"timer", 2, 0, 50}, {"timer", 2, 0, 100}}));
  EXPECT_EQ(proc.Timers(), (std::vector<Event>{{"timer", 1, 0, 50}, {"timer", 1, 0, 100}, {"timer", 1, 0, 150},
                                               {"timer", 1, 0, 200}}));
  EXPECT_EQ(host.modal_dialogs, (std::vector<int>{170, 170}));
}

TEST_F(HeadlessTest, CanvasRecordsEveryOperationWithTheStateInForce) {
  HeadlessWindow* page = Page(101, proc);
  ASSERT_NE(page, nullptr);
  Canvas& text = page->GetContext();
  Canvas& shape = page->GetContext();
  EXPECT_NE(&text, &shape);
  EXPECT_EQ(page->contexts_held, 2);

  text.TextOut(10, 20, "0.00V", 4);  // cut at its count
  text.SelectFont(Font::LabelFont2);
  text.SetTextColor(kRed);
  text.SetBkColor(kSilver);
  text.TextOut(30, 40, "\xB0" "C", 2);
  text.TextOut(0, 0, "ab", 5);  // a count past the end stops at the terminator
  shape.SelectPen(Pen::PenBlack1);
  shape.SelectBrush(Brush::BrushSilver);
  shape.RoundRect(20, 20, 450, 110, 20, 20);
  shape.Rectangle(1, 2, 3, 4);
  shape.Ellipse(5, 6, 7, 8);
  const Point line[] = {{1, 1}, {5, 9}};
  shape.Polyline(line, 2);
  shape.DrawBitmap(179, 10, 20, 300, 200, 5, 6);
  page->ReleaseContext(text);
  page->ReleaseContext(shape);
  EXPECT_EQ(page->contexts_held, 0);
  EXPECT_EQ(page->max_contexts_held, 2);

  const auto& ops = page->ops;
  ASSERT_EQ(ops.size(), 8u) << Describe(ops);
  EXPECT_EQ(ops[0].kind, DrawKind::kText);
  EXPECT_EQ(ops[0].text, "0.00");
  EXPECT_EQ(ops[0].count, 4);
  EXPECT_EQ(ops[0].font, Font::SystemFont);
  EXPECT_EQ(ops[0].text_colour, kBlack);
  EXPECT_EQ(ops[0].background, kWhite);
  EXPECT_EQ(ops[1].text, "\xB0" "C");
  EXPECT_EQ(ops[1].font, Font::LabelFont2);
  EXPECT_EQ(ops[1].text_colour, kRed);
  EXPECT_EQ(ops[1].background, kSilver);
  EXPECT_EQ(ops[2].text, "ab");
  EXPECT_EQ(ops[3].kind, DrawKind::kRoundRect);
  EXPECT_EQ(ops[3].pen, Pen::PenBlack1);
  EXPECT_EQ(ops[3].brush, Brush::BrushSilver);
  EXPECT_EQ(ops[3].right, 450);
  EXPECT_EQ(ops[3].corner_height, 20);
  EXPECT_EQ(ops[3].text_colour, kBlack);  // the shape context has its own colours
  EXPECT_EQ(ops[4].kind, DrawKind::kRectangle);
  EXPECT_EQ(ops[5].kind, DrawKind::kEllipse);
  EXPECT_EQ(ops[6].points, (std::vector<Point>{{1, 1}, {5, 9}}));
  EXPECT_EQ(ops[7].bitmap_id, 179);
  EXPECT_EQ(ops[7].right, 310);
  EXPECT_EQ(ops[7].src_y, 6);
  EXPECT_NE(ops[0].context, ops[3].context);

  ASSERT_NE(FindText(ops, "0.00"), nullptr);
  EXPECT_EQ(FindTextAt(ops, 30, 40), &ops[1]);
  EXPECT_EQ(FindText(ops, "0.00V"), nullptr);
  EXPECT_EQ(CountOps(ops, DrawKind::kText), 3);
  EXPECT_EQ(FindOps(ops, DrawKind::kPolyline).size(), 1u);

  // A context taken again starts from the defaults, whatever the last one held.
  Canvas& again = page->GetContext();
  page->ClearOps();
  again.Rectangle(0, 0, 800, 570);
  again.TextOut(0, 0, "x", 1);
  page->ReleaseContext(again);
  ASSERT_EQ(page->ops.size(), 2u);
  EXPECT_EQ(page->ops[0].pen, Pen::DefaultPen);
  EXPECT_EQ(page->ops[0].brush, Brush::DefaultBrush);
  EXPECT_EQ(page->ops[1].font, Font::SystemFont);
  EXPECT_EQ(page->ops[1].text_colour, kBlack);
  EXPECT_EQ(page->ops[1].background, kWhite);
}

TEST_F(HeadlessTest, PaintsArriveWhenInvalidatedOrWhenTheMainWindowPaints) {
  struct MainProc : MainWindowProcedure {
    std::vector<std::string> events;
    void OnCreate() override { events.push_back("create"); }
    void OnPaint() override { events.push_back("paint"); }
    void OnCommand(int id) override { events.push_back("command " + std::to_string(id)); }
    void OnClose() override { events.push_back("close"); }
    void OnExitMenuLoop() override { events.push_back("exit menu"); }
    void OnDestroy() override { events.push_back("destroy"); }
  } main;
  ASSERT_TRUE(host.CreateMainWindow(main, "Korvel", MenuBars().Bar(kPolishMenu), 0, 0, 640, 450));
  EXPECT_EQ(host.main_rect.width, 640);
  EXPECT_EQ(host.MainClientSize().height, 450);
  HeadlessWindow* page = Page(101, proc);
  ASSERT_NE(page, nullptr);
  host.InvalidatePage(page);
  EXPECT_EQ(page->paint_count, 0);
  host.RunFor(0);
  EXPECT_EQ(page->paint_count, 1);
  host.PaintMainWindow();
  EXPECT_EQ(main.events.back(), "paint");
  EXPECT_EQ(page->paint_count, 2);
  host.UserMenuCommand(40006);
  EXPECT_EQ(main.events.back(), "command 40006");

  // Menu items of the bar set; an id the bar lacks is ignored.
  ASSERT_NE(host.MenuItem(40005), nullptr);
  host.CheckMenuItem(40019, true);
  host.EnableMenuItem(40031, false);
  host.HighlightMenuItem(40005, true);
  host.SetMenuItemBitmaps(40036, 109, 173);
  host.CheckMenuItem(1, true);
  EXPECT_TRUE(host.MenuItem(40019)->checked);
  EXPECT_FALSE(host.MenuItem(40031)->enabled);
  EXPECT_TRUE(host.MenuItem(40005)->highlighted);
  EXPECT_EQ(host.MenuItem(40036)->checked_bitmap, 173);
  EXPECT_EQ(host.MenuItem(1), nullptr);
  host.SetMenuBar(MenuBars().Bar(kEnglishMenu));  // a new bar has none of the old states
  EXPECT_FALSE(host.MenuItem(40019)->checked);

  host.DestroyMainWindow();
  EXPECT_EQ(main.events.back(), "destroy");
  EXPECT_EQ(proc.events.back().what, "destroy");  // the page goes with its parent
}

TEST_F(HeadlessTest, MessageBoxesAndFileDialogsTakeScriptedAnswers) {
  EXPECT_EQ(host.ShowMessageBox(nullptr, "done", "I/O Error", MessageIcon::kWarning, MessageButtons::kOk), kIdOk);
  host.message_box_answers = {kIdYes};
  EXPECT_EQ(host.ShowMessageBox(nullptr, "overwrite?", "c", MessageIcon::kInformation, MessageButtons::kYesNo), kIdYes);
  EXPECT_EQ(host.ShowMessageBox(nullptr, "again?", "c", MessageIcon::kInformation, MessageButtons::kYesNo), kIdNo);
  ASSERT_EQ(host.message_boxes.size(), 3u);
  EXPECT_EQ(host.message_boxes[0].caption, "I/O Error");
  EXPECT_EQ(host.message_boxes[0].icon, MessageIcon::kWarning);
  EXPECT_EQ(host.message_boxes[1].answer, kIdYes);

  FileDialogRequest request;
  request.pattern = "*.kvs";
  request.default_extension = "kvs";
  request.title = "Zapisz";
  host.save_file_answers = {std::string("/tmp/car"), std::string("/tmp/x.y/car.kvs"), std::nullopt};
  std::string path = "unchanged";
  EXPECT_TRUE(host.GetSaveFileName(request, path));
  EXPECT_EQ(path, "/tmp/car.kvs");
  EXPECT_TRUE(host.GetSaveFileName(request, path));
  EXPECT_EQ(path, "/tmp/x.y/car.kvs");
  path = "unchanged";
  EXPECT_FALSE(host.GetSaveFileName(request, path));
  EXPECT_FALSE(host.GetSaveFileName(request, path));  // nothing scripted: cancel
  EXPECT_EQ(path, "unchanged");
  EXPECT_FALSE(host.GetOpenFileName(request, path));
  ASSERT_EQ(host.save_file_requests.size(), 4u);
  EXPECT_EQ(host.save_file_requests[0].title, "Zapisz");
  EXPECT_EQ(host.open_file_requests.size(), 1u);
}

}  // namespace
}  // namespace korvel::headless
