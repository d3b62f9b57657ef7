// The Options page and its corrections dialog against the simulated controller on the headless
// window system: what each control shows for the polled records, which frames each choice sends,
// and who talks to the controller while the dialog is open.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "link/controller_link.hpp"
#include "link/conversions.hpp"
#include "pages/common/gauge_geometry.hpp"
#include "pages/common/page_context.hpp"
#include "pages/options/options_page.hpp"
#include "sim/controller_model.hpp"
#include "sim/simulated_port.hpp"
#include "tests/headless/headless_host.hpp"
#include "tests/pages/size_class_state.hpp"

namespace korvel {
namespace {

using headless::HeadlessHost;
using headless::HeadlessWindow;
using Write = std::pair<int, int>;  // address, value

// The controls each option box shows while ticked.
const std::vector<int> kAttInitControls = {1003, 1057};
const std::vector<int> kAccelerationControls = {1046, 1047, 1064, 1065, 1058, 1059};
const std::vector<int> kCutOffControls = {1048, 1049, 1066, 1067, 1060, 1061};
const std::vector<int> kLpgOffControls = {1050, 1062};
const std::vector<int> kLpgOnTempControls = {1051, 1063};

struct OptionsWorld {
  explicit OptionsWorld(int size_class = 1) {
    ApplyClass(shared, size_class);
    shared.screen_width = 1024;
    shared.screen_height = 768;
    for (int slot = 0; slot < kLanguageSlots; ++slot) std::snprintf(texts.slots[slot], kSlotBytes, "T%d", slot);
    window = static_cast<HeadlessWindow*>(host.CreatePage(page.TemplateFor(size_class), page));
    page.Build(*window);
  }

  void Tick(int count = 1) {
    for (int i = 0; i < count; ++i) page.OnTimer(*window, 1);
  }
  void Connect() {
    Tick();
    ASSERT_TRUE(link.Connected());
    port.ClearFrames();
  }
  std::vector<Write> Writes() const {
    std::vector<Write> writes;
    for (const auto& frame : port.frames) {
      if (frame[1] >= 5) writes.emplace_back(frame[1], frame[2]);
    }
    return writes;
  }
  // The poll requests received since the last ClearFrames, in order.
  std::vector<int> Polls() const {
    std::vector<int> polls;
    for (const auto& frame : port.frames) {
      if (frame[1] < 5) polls.push_back(frame[1]);
    }
    return polls;
  }
  // Whether every control of `ids` is shown (visible) or hidden (!visible).
  bool All(const std::vector<int>& ids, bool visible) const {
    for (int id : ids) {
      if (window->IsVisible(id) != visible) return false;
    }
    return true;
  }
  // Opens the corrections dialog with button 1014; `script` runs while it is open.
  void WithCorrectionsDialog(const std::function<void(HeadlessWindow&)>& script) {
    host.on_modal_dialog = script;
    ASSERT_TRUE(window->UserClick(1014));
    host.on_modal_dialog = nullptr;
  }

  VirtualClock clock;
  sim::ControllerModel model;
  sim::SimulatedPort port{model, clock};
  ControllerLink link{port};
  HeadlessHost host{clock, {1024, 768}};
  LanguageTable texts;
  SharedState shared;
  GaugeTables gauges{};
  PageContext context{link, texts, shared, gauges, host};
  OptionsPage page{context};
  HeadlessWindow* window = nullptr;
};

TEST(OptionsPage, AllZeroRecordsTickTheAttInitBoxOnlyAndSelectTheFirstEntries) {
  OptionsWorld w;
  w.page.RefreshOptionsPage(*w.window);
  HeadlessWindow& p = *w.window;
  EXPECT_TRUE(p.GetCheck(1034));
  EXPECT_TRUE(w.All(kAttInitControls, true));
  for (int box : {1039, 1040, 1041, 1042}) EXPECT_FALSE(p.GetCheck(box)) << box;
  EXPECT_TRUE(w.All(kAccelerationControls, false));
  EXPECT_TRUE(w.All(kCutOffControls, false));
  EXPECT_TRUE(w.All(kLpgOffControls, false));
  EXPECT_TRUE(w.All(kLpgOnTempControls, false));
  // Hidden lists are selected all the same.
  const std::vector<std::pair<int, std::string>> shown = {
      {1003, "0"},   {1013, "-0"},   {1043, "+0"},   {1044, "-0"}, {1045, "+0"}, {1046, "0"},
      {1047, "0,0"}, {1048, "1000"}, {1049, "2"},    {1050, "4000"}, {1051, "10"}, {1052, "T129"}};
  for (const auto& [id, text] : shown) EXPECT_EQ(p.SelectedText(id), text) << id;
}

TEST(OptionsPage, ListsHoldTheirEntryCountsAndLabelsComeFromTheLanguageTable) {
  OptionsWorld w(5);
  EXPECT_EQ(w.window->template_id(), 156);
  // A paint fits the page to the page area of the class.
  w.window->Paint();
  EXPECT_EQ(w.window->rect().width, 1280);
  EXPECT_EQ(w.window->rect().height, 994);
  // The entries are read back through the choices below; here every list ends where it should.
  const std::pair<int, int> counts[] = {{1003, 256}, {1013, 256}, {1043, 256}, {1044, 256}, {1045, 256}, {1046, 256},
                                        {1047, 51},  {1048, 16},  {1049, 50},  {1050, 41},  {1051, 26},  {1052, 3}};
  for (const auto& [id, count] : counts) EXPECT_EQ(w.window->GetListCount(id), count) << id;
  EXPECT_EQ(w.window->Entries(1013).back(), "-255");
  const std::pair<int, std::string> labels[] = {{1134, "T92"}, {1014, "T97"}, {1063, "T128"}};
  for (const auto& [id, text] : labels) EXPECT_EQ(w.window->Text(id), text) << id;
}

struct ChoiceCase {
  int control;
  int position;
  std::vector<Write> writes;
  const char* shown_after_poll;
};

TEST(OptionsPage, EveryListChoiceSendsItsFramesAndThePageFollowsTheController) {
  OptionsWorld w;
  w.Connect();
  const uint8_t emul_type = w.link.ConfigRecord[5];
  ASSERT_EQ(w.link.ConfigRecord[1], 0x6A) << "factory options show every group";
  const std::vector<ChoiceCase> cases = {
      {1003, 77, {{18, 77}}, "77"},
      {1013, 33, {{32, 33}}, "-33"},
      {1043, 255, {{31, 255}}, "+255"},
      {1044, 0, {{17, 0}}, "-0"},
      {1045, 99, {{16, 99}}, "+99"},
      {1046, 200, {{20, 200}}, "200"},
      {1047, 13, {{19, 65}}, "1,3"},
      {1047, 50, {{19, 250}}, "5,0"},
      {1048, 0, {{24, 0x98}, {25, 0x3A}}, "1000"},   // period 15000
      {1048, 15, {{24, 0x70}, {25, 0x17}}, "2500"},  // period 6000
      {1049, 49, {{26, 100}}, "100"},
      {1050, 40, {{27, 0x53}, {28, 0x07}}, "8000"},  // period 1875
      {1050, 0, {{27, 0xA6}, {28, 0x0E}}, "4000"},   // period 3750
      {1051, 15, {{15, 171}}, "40"},
      {1051, 0, {{15, RawFromTemperature(10)}}, "10"},
      {1052, 2, {{9, (emul_type & 0xCF) | 0x20}}, "T131"},
      {1052, 0, {{9, emul_type & 0xCF}}, "T129"},
  };
  for (const ChoiceCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.control << " position " << c.position);
    w.port.ClearFrames();
    ASSERT_TRUE(w.window->UserChoose(c.control, c.position));
    EXPECT_EQ(w.Writes(), c.writes);
    EXPECT_TRUE(w.Polls().empty()) << "a choice sends only its writes";
    EXPECT_FALSE(w.shared.DropDownOpen);
    w.Tick();
    EXPECT_EQ(w.window->SelectedText(c.control), c.shown_after_poll);
  }
}

TEST(OptionsPage, OptionBoxesWriteTheirBitAndTheirControlsFollowTheNextPoll) {
  OptionsWorld w;
  w.Connect();
  const uint8_t options = w.link.ConfigRecord[1];  // 0x6A: bits 1, 3, 5, 6 set
  const struct {
    int box;
    uint8_t bit;
    const std::vector<int>& controls;
  } boxes[] = {{1039, 0x08, kAccelerationControls},
               {1040, 0x20, kCutOffControls},
               {1041, 0x40, kLpgOffControls},
               {1042, 0x02, kLpgOnTempControls}};
  for (const auto& b : boxes) {
    SCOPED_TRACE(b.box);
    ASSERT_TRUE(w.window->GetCheck(b.box));
    w.port.ClearFrames();
    ASSERT_TRUE(w.window->UserClick(b.box));
    EXPECT_EQ(w.Writes(), (std::vector<Write>{{5, options & ~b.bit}}));
    EXPECT_TRUE(w.All(b.controls, true)) << "the controls wait for the controller";
    w.Tick();
    EXPECT_FALSE(w.window->GetCheck(b.box));
    EXPECT_TRUE(w.All(b.controls, false));

    w.port.ClearFrames();
    ASSERT_FALSE(w.window->UserClick(b.controls[0])) << "a hidden list cannot be reached";
    ASSERT_TRUE(w.window->UserClick(b.box));
    EXPECT_EQ(w.Writes(), (std::vector<Write>{{5, options}}));
    w.Tick();
    EXPECT_TRUE(w.window->GetCheck(b.box));
    EXPECT_TRUE(w.All(b.controls, true));
  }
  // Bit 2 stayed clear throughout: the AttInit box never moved.
  EXPECT_TRUE(w.window->GetCheck(1034));
}

TEST(OptionsPage, AttInitBoxTickedClearsTheStoredBitEvenWhenTheControllerDoesNotAnswer) {
  struct Case {
    uint8_t options;
    uint8_t sent;
    bool ticked_by_click;
  };
  // Ticking (bit 2 set before) clears bit 2 of the stored byte itself; unticking sends the bit but
  // leaves the stored byte, so the box comes back ticked at the next refresh. Bits 0 and 7 ride
  // along as read.
  for (const Case& c : {Case{0x85, 0x81, true}, Case{0x81, 0x85, false}}) {
    SCOPED_TRACE(static_cast<int>(c.options));
    OptionsWorld w;
    w.model.SetParameter(5, c.options);
    w.Connect();
    ASSERT_NE(w.window->GetCheck(1034), c.ticked_by_click);
    w.model.faults.silence = true;
    ASSERT_TRUE(w.window->UserClick(1034));
    ASSERT_EQ(w.window->GetCheck(1034), c.ticked_by_click);
    EXPECT_EQ(w.Writes(), (std::vector<Write>{{5, c.sent}}));
    EXPECT_EQ(w.link.ConfigRecord[1], 0x81);
    w.page.RefreshOptionsPage(*w.window);
    EXPECT_TRUE(w.window->GetCheck(1034));
    EXPECT_TRUE(w.All(kAttInitControls, true));
  }
}

TEST(OptionsPage, StoredValuesMapToListPositionsAndOutsideAListShowNoSelection) {
  struct Case {
    const char* name;
    uint8_t* record;
    int byte;
    std::vector<uint8_t> bytes;  // from `byte` on
    int control;
    const char* shown;           // "" for no selection
  };
  OptionsWorld w;
  uint8_t* config = w.link.ConfigRecord;
  uint8_t* options = w.link.OptionsRecord;
  const std::vector<Case> cases = {
      {"CutOffSteps 1: h = 0", options, 10, {1}, 1049, "2"},
      {"CutOffSteps 7: h = 3", options, 10, {7}, 1049, "6"},
      {"CutOffSteps 101", options, 10, {101}, 1049, "100"},
      {"CutOffSteps 102", options, 10, {102}, 1049, ""},
      {"LPGOnTemp 171", config, 11, {171}, 1051, "40"},
      {"LPGOnTemp below 0 degrees", config, 11, {50}, 1051, "10"},
      {"LPGOnTemp above 60 degrees", config, 11, {255}, 1051, ""},
      {"cut-off 900 rpm", options, 8, {0x1A, 0x41}, 1048, "1000"},   // period 16666
      {"cut-off 2600 rpm", options, 8, {0x89, 0x16}, 1048, ""},      // period 5769
      {"cut-off pair zero", options, 8, {0, 0}, 1048, "1000"},
      {"LPG off 9000 rpm", options, 11, {0x82, 0x06}, 1050, ""},     // period 1666
      {"LPG off 3000 rpm", options, 11, {0x88, 0x13}, 1050, "4000"}, // period 5000
      {"TPSJump 250", options, 3, {250}, 1047, "5,0"},
      {"TPSJump 255: position 51", options, 3, {255}, 1047, ""},
      {"driving type 1, other bits set", config, 5, {0xDF}, 1052, "T130"},
      {"driving type 3", config, 5, {0x30}, 1052, ""},
      {"AttInit from live data", w.link.LiveDataRecord, 4, {201}, 1003, "201"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (size_t i = 0; i < c.bytes.size(); ++i) c.record[c.byte + static_cast<int>(i)] = c.bytes[i];
    w.page.RefreshOptionsPage(*w.window);
    EXPECT_EQ(w.window->SelectedText(c.control), c.shown);
    EXPECT_EQ(w.window->GetListSelection(c.control) == -1, std::string(c.shown).empty());
  }
}

TEST(OptionsPage, TickPollsFourRequestsAndStandsStillWhileBusyOrTheDialogIsOpen) {
  OptionsWorld w;
  w.window->Paint();
  EXPECT_EQ(w.window->TimerPeriod(1), 50u);
  w.Tick();
  EXPECT_EQ(w.Polls(), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(w.window->SelectedText(1050), "5500");  // the controller's factory LPG-off speed

  // The link's period changes while the page stands still: busy or dialog open, the tick returns
  // before it looks at the period.
  w.link.state.poll_period = 500;
  for (bool SharedState::*flag : {&SharedState::BusyFlag, &SharedState::SubDialogOpen}) {
    w.shared.*flag = true;
    w.port.ClearFrames();
    w.Tick(2);
    EXPECT_TRUE(w.port.frames.empty());
    EXPECT_EQ(w.window->TimerPeriod(1), 50u);
    w.shared.*flag = false;
  }
  // A dropped-down list stops the polls, not the period.
  ASSERT_TRUE(w.window->UserDropDown(1045));
  w.port.ClearFrames();
  w.Tick(3);
  EXPECT_TRUE(w.port.frames.empty());
  EXPECT_EQ(w.window->TimerPeriod(1), 500u);
  w.link.state.poll_period = 50;
  ASSERT_TRUE(w.window->UserCloseUp(1045));
  w.Tick();
  EXPECT_EQ(w.Polls(), (std::vector<int>{1, 2, 3, 4}));
}

TEST(OptionsPage, CorrectionsDialogAloneTalksToTheControllerWhileItIsOpen) {
  OptionsWorld w;
  w.window->Paint();  // the page's poll timer runs
  w.Connect();
  bool ran = false;
  w.WithCorrectionsDialog([&](HeadlessWindow& d) {
    ran = true;
    EXPECT_TRUE(w.shared.SubDialogOpen);
    EXPECT_EQ(d.template_id(), 170);
    EXPECT_EQ(d.title(), "T98");
    const std::vector<std::pair<int, std::string>> texts = {
        {1075, "T99"}, {1076, "T100"}, {1077, "T101"}, {1078, "T102"}, {1, "T103"}};
    for (const auto& [id, text] : texts) EXPECT_EQ(d.Text(id), text) << id;
    EXPECT_EQ(d.rect().x, (1024 - d.rect().width) / 2);
    EXPECT_EQ(d.rect().y, (768 - d.rect().height) / 2);
    const int lists[4] = {1003, 1013, 1122, 1123};
    const std::pair<const char*, const char*> ends[4] = {
        {"-12", "+18"}, {"-10", "+20"}, {"-20", "+10"}, {"-16", "+14"}};
    for (int i = 0; i < 4; ++i) {
      const auto entries = d.Entries(lists[i]);
      ASSERT_EQ(entries.size(), 16u);
      EXPECT_EQ(entries.front(), ends[i].first);
      EXPECT_EQ(entries.back(), ends[i].second);
      EXPECT_EQ(d.GetListSelection(lists[i]), -1) << "not selected before the first tick";
    }
    EXPECT_EQ(d.Entries(1003)[6], "0");  // zero without a sign, "+%ld" above it
    EXPECT_EQ(d.Entries(1003)[7], "+2");
    EXPECT_EQ(d.TimerPeriod(2), 50u);
    w.host.RunFor(500);
    // Both timers fired; only the dialog's polls reached the controller.
    std::vector<int> polls = w.Polls();
    ASSERT_GE(polls.size(), 8u);
    for (size_t i = 0; i < polls.size(); ++i) EXPECT_EQ(polls[i], i % 2 == 0 ? 1 : 3) << i;
    EXPECT_TRUE(w.Writes().empty());
    // The factory corrections are all 0.
    for (int list : lists) EXPECT_EQ(d.SelectedText(list), "0") << list;
    // A dropped-down list stops the dialog's polls (not its timer) until it closes again.
    ASSERT_TRUE(d.UserDropDown(1122));
    w.port.ClearFrames();
    w.host.RunFor(300);
    EXPECT_TRUE(w.port.frames.empty());
    EXPECT_EQ(d.TimerPeriod(2), 50u);
    ASSERT_TRUE(d.UserCloseUp(1122));
    w.host.RunFor(100);
    EXPECT_FALSE(w.Polls().empty());
    ASSERT_TRUE(d.UserClick(1));
    EXPECT_TRUE(d.ended());
    EXPECT_EQ(d.end_result(), 1);
    EXPECT_FALSE(w.shared.SubDialogOpen);
  });
  ASSERT_TRUE(ran);
  EXPECT_EQ(w.host.modal_dialogs, (std::vector<int>{170}));

  // Escape ends it as well. The controller fell silent meanwhile and the dialog's timer slowed
  // to 500 ms; the page, repainted when the dialog has gone, takes that period too.
  w.WithCorrectionsDialog([&](HeadlessWindow& d) {
    w.model.faults.silence = true;
    w.host.RunFor(1000);
    EXPECT_EQ(d.TimerPeriod(2), 500u);
    d.UserCancel();
    EXPECT_EQ(d.end_result(), 2);
    EXPECT_FALSE(w.shared.SubDialogOpen);
  });
  w.host.RunFor(0);
  EXPECT_EQ(w.window->TimerPeriod(1), 500u);
  // A dialog that ends without a command of its own leaves the page polling as well.
  w.model.faults.silence = false;
  w.WithCorrectionsDialog(nullptr);
  EXPECT_FALSE(w.shared.SubDialogOpen);
  w.port.ClearFrames();
  w.host.RunFor(500);
  EXPECT_EQ(w.Polls(), (std::vector<int>{1, 2, 3, 4}));
}

TEST(OptionsPage, CorrectionsDialogShowsAndWritesTheFourNibbles) {
  OptionsWorld w;
  w.model.SetParameter(12, 0x9A);
  w.model.SetParameter(13, 0x3C);
  w.Connect();
  struct Choice {
    int list;
    int position;
    Write sent;
  };
  const Choice choices[] = {
      {1122, 10, {13, 0x35}},  // '0': field 5 into the low nibble of 0x3C
      {1123, 15, {13, 0x0C}},  // '+14': field 0 into the high nibble
      {1003, 0, {12, 0x9F}},   // '-12': field 15
      {1013, 15, {12, 0x0A}},  // '+20': field 0
  };
  w.WithCorrectionsDialog([&](HeadlessWindow& d) {
    w.host.RunFor(50);
    // EmulDO_TimeHi 0x9A: field 10 is -2 (position 5), field 9 is +2 (position 6).
    EXPECT_EQ(d.GetListSelection(1003), 5);
    EXPECT_EQ(d.SelectedText(1003), "-2");
    EXPECT_EQ(d.GetListSelection(1013), 6);
    EXPECT_EQ(d.SelectedText(1013), "+2");
    for (const Choice& c : choices) {
      SCOPED_TRACE(c.list);
      w.port.ClearFrames();
      // Each choice is made against the controller's byte as it was at the start.
      w.model.SetParameter(12, 0x9A);
      w.model.SetParameter(13, 0x3C);
      w.host.RunFor(50);
      ASSERT_TRUE(d.UserChoose(c.list, c.position));
      EXPECT_EQ(w.Writes(), (std::vector<Write>{c.sent}));
      w.host.RunFor(50);
      EXPECT_EQ(d.GetListSelection(c.list), c.position);
    }
  });

  // Not connected: the zero record shows the largest correction of each list.
  OptionsWorld lost;
  lost.model.faults.silence = true;
  lost.WithCorrectionsDialog([&](HeadlessWindow& d) {
    lost.host.RunFor(50);
    const std::vector<std::pair<int, std::string>> shown = {
        {1003, "+18"}, {1013, "+20"}, {1122, "+10"}, {1123, "+14"}};
    for (const auto& [id, text] : shown) EXPECT_EQ(d.SelectedText(id), text) << id;
  });
}

TEST(OptionsPage, BitFieldWritesKeepEveryOtherBitAsTheControllerHoldsIt) {
  // Each bit-field write is made from a byte with every bit set and from one with every bit clear:
  // from 0xFF the frame carries exactly the bits kept, from 0x00 exactly the field written, so a
  // keep-mask or a field one bit off shows either way.
  struct Case {
    int control;
    int position;  // -1: a click on the box
    int address;
    uint8_t stored;
    int sent;
  };
  const Case page_cases[] = {
      {1034, -1, 5, 0xFF, 0xFB}, {1034, -1, 5, 0x00, 0x04},  // AttInit: ticked while bit 2 is clear
      {1039, -1, 5, 0xFF, 0xF7}, {1039, -1, 5, 0x00, 0x08},
      {1040, -1, 5, 0xFF, 0xDF}, {1040, -1, 5, 0x00, 0x20},
      {1041, -1, 5, 0xFF, 0xBF}, {1041, -1, 5, 0x00, 0x40},
      {1042, -1, 5, 0xFF, 0xFD}, {1042, -1, 5, 0x00, 0x02},
      {1052, 0, 9, 0xFF, 0xCF},  {1052, 2, 9, 0x00, 0x20},  {1052, 1, 9, 0x00, 0x10},
  };
  for (const Case& c : page_cases) {
    SCOPED_TRACE(testing::Message() << c.control << " from " << int(c.stored));
    OptionsWorld w;
    w.model.SetParameter(c.address, c.stored);
    w.Connect();
    ASSERT_TRUE(c.position < 0 ? w.window->UserClick(c.control) : w.window->UserChoose(c.control, c.position));
    EXPECT_EQ(w.Writes(), (std::vector<Write>{{c.address, c.sent}}));
  }
  // The corrections: position 15 writes field 0, position 0 field 15.
  const Case dialog_cases[] = {
      {1003, 15, 12, 0xFF, 0xF0}, {1003, 0, 12, 0x00, 0x0F}, {1013, 15, 12, 0xFF, 0x0F}, {1013, 0, 12, 0x00, 0xF0},
      {1122, 15, 13, 0xFF, 0xF0}, {1122, 0, 13, 0x00, 0x0F}, {1123, 15, 13, 0xFF, 0x0F}, {1123, 0, 13, 0x00, 0xF0},
      {1013, 12, 12, 0x00, 0x30}, {1123, 12, 13, 0x00, 0x30},
  };
  for (const Case& c : dialog_cases) {
    SCOPED_TRACE(testing::Message() << "dialog " << c.control << " from " << int(c.stored));
    OptionsWorld w;
    w.model.SetParameter(c.address, c.stored);
    w.WithCorrectionsDialog([&](HeadlessWindow& d) {
      w.host.RunFor(50);
      w.port.ClearFrames();
      ASSERT_TRUE(d.UserChoose(c.control, c.position));
      EXPECT_EQ(w.Writes(), (std::vector<Write>{{c.address, c.sent}}));
    });
  }
}

TEST(OptionsPage, AControllerOfAnotherVariantReceivesNothing) {
  OptionsWorld w;
  w.model.SetVariant(3);
  w.Tick();
  w.port.ClearFrames();
  ASSERT_TRUE(w.window->UserChoose(1003, 9));
  ASSERT_TRUE(w.window->UserChoose(1052, 1));
  ASSERT_TRUE(w.window->UserClick(1039));
  ASSERT_TRUE(w.window->UserClick(1034));
  w.WithCorrectionsDialog([&](HeadlessWindow& d) {
    w.port.ClearFrames();
    w.host.RunFor(50);
    EXPECT_EQ(w.Polls(), (std::vector<int>{1})) << "identity only";
    ASSERT_TRUE(d.UserChoose(1122, 3));
    EXPECT_TRUE(w.Writes().empty());
  });
  EXPECT_TRUE(w.Writes().empty());
  w.Tick();
  // The zero records come back: first entries, only the AttInit box ticked.
  EXPECT_EQ(w.window->SelectedText(1003), "0");
  EXPECT_EQ(w.window->SelectedText(1052), "T129");
  EXPECT_FALSE(w.window->GetCheck(1039));
  EXPECT_TRUE(w.window->GetCheck(1034));
}

}  // namespace
}  // namespace korvel
