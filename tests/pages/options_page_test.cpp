// The Options page and its corrections dialog against the simulated controller on the headless
// window system: what each control shows for the polled records, which frames each choice sends,
// and who talks to the controller while the dialog is open.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "link/conversions.hpp"
#include "pages/options/options_controls.hpp"
#include "pages/options/options_page.hpp"
#include "tests/pages/page_world.hpp"
#include "texts/text_slots.hpp"

namespace korvel {
namespace {

using headless::HeadlessWindow;
using testing::T;
using testing::Write;

// The controls each option box shows while ticked.
const std::vector<int> kAttInitControls = {kAttInitList, kAttInitUnit};
const std::vector<int> kAccelerationControls = {kAttJumpList,  kTpsJumpList, kAttJumpLabel,
                                                kTpsJumpLabel, kAttJumpUnit, kTpsJumpUnit};
const std::vector<int> kCutOffControls = {kCutOffSpeedList,  kCutOffStepsList, kCutOffSpeedLabel,
                                          kCutOffStepsLabel, kCutOffSpeedUnit, kCutOffStepsUnit};
const std::vector<int> kLpgOffControls = {kLpgOffSpeedList, kLpgOffSpeedUnit};
const std::vector<int> kLpgOnTempControls = {kLpgOnTempList, kLpgOnTempUnit};
const int kCorrectionLists[4] = {kHiLowCorrectionList, kHiHighCorrectionList, kLoLowCorrectionList,
                                 kLoHighCorrectionList};

struct OptionsWorld : testing::PageWorld {
  explicit OptionsWorld(int size_class = 1) : PageWorld(size_class, {1024, 768}) { Open(page); }

  // Whether every control of `ids` is shown (visible) or hidden (!visible).
  bool All(const std::vector<int>& ids, bool visible) const {
    for (int id : ids) {
      if (window->IsVisible(id) != visible) return false;
    }
    return true;
  }
  // Opens the corrections dialog with its button; `script` runs while it is open.
  void WithCorrectionsDialog(const std::function<void(HeadlessWindow&)>& script) {
    host.on_modal_dialog = script;
    ASSERT_TRUE(window->UserClick(kCorrectionsButton));
    host.on_modal_dialog = nullptr;
  }

  OptionsPage page{context};
};

TEST(OptionsPage, AllZeroRecordsTickTheAttInitBoxOnlyAndSelectTheFirstEntries) {
  OptionsWorld w;
  w.page.RefreshOptionsPage(*w.window);
  HeadlessWindow& p = *w.window;
  EXPECT_TRUE(p.GetCheck(kAttInitBox));
  EXPECT_TRUE(w.All(kAttInitControls, true));
  for (int box : {kAccelerationBox, kCutOffBox, kLpgOffBox, kLpgOnTempBox}) EXPECT_FALSE(p.GetCheck(box)) << box;
  EXPECT_TRUE(w.All(kAccelerationControls, false));
  EXPECT_TRUE(w.All(kCutOffControls, false));
  EXPECT_TRUE(w.All(kLpgOffControls, false));
  EXPECT_TRUE(w.All(kLpgOnTempControls, false));
  // Hidden lists are selected all the same.
  const std::vector<std::pair<int, std::string>> shown = {
      {kAttInitList, "0"},        {kAttMinIdleList, "-0"},     {kAttMaxIdleList, "+0"},    {kAttMinList, "-0"},
      {kAttMaxList, "+0"},        {kAttJumpList, "0"},         {kTpsJumpList, "0,0"},      {kCutOffSpeedList, "1000"},
      {kCutOffStepsList, "2"},    {kLpgOffSpeedList, "4000"},  {kLpgOnTempList, "10"},
      {kDrivingTypeList, T(lang::kDrivingEconomy)}};
  for (const auto& [id, text] : shown) EXPECT_EQ(p.SelectedText(id), text) << id;
}

TEST(OptionsPage, ListsHoldTheirEntryCountsAndLabelsComeFromTheLanguageTable) {
  OptionsWorld w(5);
  EXPECT_EQ(w.window->template_id(), kOptionsTemplates[4]);
  // A paint fits the page to the page area of the class.
  w.window->Paint();
  EXPECT_EQ(w.window->rect().width, 1280);
  EXPECT_EQ(w.window->rect().height, 994);
  // The entries are read back through the choices below; here every list ends where it should.
  const std::pair<int, int> counts[] = {
      {kAttInitList, 256}, {kAttMinIdleList, 256}, {kAttMaxIdleList, 256},  {kAttMinList, 256},
      {kAttMaxList, 256},  {kAttJumpList, 256},    {kTpsJumpList, 51},      {kCutOffSpeedList, 16},
      {kCutOffStepsList, 50}, {kLpgOffSpeedList, 41}, {kLpgOnTempList, 26}, {kDrivingTypeList, 3}};
  for (const auto& [id, count] : counts) EXPECT_EQ(w.window->GetListCount(id), count) << id;
  EXPECT_EQ(w.window->Entries(kAttMinIdleList).back(), "-255");
  const std::pair<int, int> labels[] = {{kAttLimitsHeading, lang::kHeadingAttLimits},
                                        {kCorrectionsButton, lang::kCorrectionsButton},
                                        {kLpgOnTempUnit, lang::kLpgOnTemperatureUnit}};
  for (const auto& [id, slot] : labels) EXPECT_EQ(w.window->Text(id), T(slot)) << id;
}

struct ChoiceCase {
  int control;
  int position;
  std::vector<Write> writes;
  std::string shown_after_poll;
};

TEST(OptionsPage, EveryListChoiceSendsItsFramesAndThePageFollowsTheController) {
  OptionsWorld w;
  w.Connect();
  const uint8_t emul_type = w.link.ConfigRecord[5];
  ASSERT_EQ(w.link.ConfigRecord[1], 0x6A) << "factory options show every group";
  const std::vector<ChoiceCase> cases = {
      {kAttInitList, 77, {{18, 77}}, "77"},
      {kAttMinIdleList, 33, {{32, 33}}, "-33"},
      {kAttMaxIdleList, 255, {{31, 255}}, "+255"},
      {kAttMinList, 0, {{17, 0}}, "-0"},
      {kAttMaxList, 99, {{16, 99}}, "+99"},
      {kAttJumpList, 200, {{20, 200}}, "200"},
      {kTpsJumpList, 13, {{19, 65}}, "1,3"},
      {kTpsJumpList, 50, {{19, 250}}, "5,0"},
      {kCutOffSpeedList, 0, {{24, 0x98}, {25, 0x3A}}, "1000"},   // period 15000
      {kCutOffSpeedList, 15, {{24, 0x70}, {25, 0x17}}, "2500"},  // period 6000
      {kCutOffStepsList, 49, {{26, 100}}, "100"},
      {kLpgOffSpeedList, 40, {{27, 0x53}, {28, 0x07}}, "8000"},  // period 1875
      {kLpgOffSpeedList, 0, {{27, 0xA6}, {28, 0x0E}}, "4000"},   // period 3750
      {kLpgOnTempList, 15, {{15, 171}}, "40"},
      {kLpgOnTempList, 0, {{15, RawFromTemperature(10)}}, "10"},
      {kDrivingTypeList, 2, {{9, (emul_type & 0xCF) | 0x20}}, T(lang::kDrivingSport)},
      {kDrivingTypeList, 0, {{9, emul_type & 0xCF}}, T(lang::kDrivingEconomy)},
  };
  for (const ChoiceCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.control << " position " << c.position);
    w.port.ClearFrames();
    ASSERT_TRUE(w.window->UserChoose(c.control, c.position));
    EXPECT_EQ(w.Writes(), c.writes);
    EXPECT_TRUE(w.Requests().empty()) << "a choice sends only its writes";
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
  } boxes[] = {{kAccelerationBox, 0x08, kAccelerationControls},
               {kCutOffBox, 0x20, kCutOffControls},
               {kLpgOffBox, 0x40, kLpgOffControls},
               {kLpgOnTempBox, 0x02, kLpgOnTempControls}};
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
  EXPECT_TRUE(w.window->GetCheck(kAttInitBox));
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
    ASSERT_NE(w.window->GetCheck(kAttInitBox), c.ticked_by_click);
    w.model.faults.silence = true;
    ASSERT_TRUE(w.window->UserClick(kAttInitBox));
    ASSERT_EQ(w.window->GetCheck(kAttInitBox), c.ticked_by_click);
    EXPECT_EQ(w.Writes(), (std::vector<Write>{{5, c.sent}}));
    EXPECT_EQ(w.link.ConfigRecord[1], 0x81);
    w.page.RefreshOptionsPage(*w.window);
    EXPECT_TRUE(w.window->GetCheck(kAttInitBox));
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
    std::string shown;           // "" for no selection
  };
  OptionsWorld w;
  uint8_t* config = w.link.ConfigRecord;
  uint8_t* options = w.link.OptionsRecord;
  const std::vector<Case> cases = {
      {"CutOffSteps 1: h = 0", options, 10, {1}, kCutOffStepsList, "2"},
      {"CutOffSteps 7: h = 3", options, 10, {7}, kCutOffStepsList, "6"},
      {"CutOffSteps 101", options, 10, {101}, kCutOffStepsList, "100"},
      {"CutOffSteps 102", options, 10, {102}, kCutOffStepsList, ""},
      {"LPGOnTemp 171", config, 11, {171}, kLpgOnTempList, "40"},
      {"LPGOnTemp below 0 degrees", config, 11, {50}, kLpgOnTempList, "10"},
      {"LPGOnTemp above 60 degrees", config, 11, {255}, kLpgOnTempList, ""},
      {"cut-off 900 rpm", options, 8, {0x1A, 0x41}, kCutOffSpeedList, "1000"},  // period 16666
      {"cut-off 2600 rpm", options, 8, {0x89, 0x16}, kCutOffSpeedList, ""},     // period 5769
      {"cut-off pair zero", options, 8, {0, 0}, kCutOffSpeedList, "1000"},
      {"LPG off 9000 rpm", options, 11, {0x82, 0x06}, kLpgOffSpeedList, ""},      // period 1666
      {"LPG off 3000 rpm", options, 11, {0x88, 0x13}, kLpgOffSpeedList, "4000"},  // period 5000
      {"TPSJump 250", options, 3, {250}, kTpsJumpList, "5,0"},
      {"TPSJump 255: position 51", options, 3, {255}, kTpsJumpList, ""},
      {"driving type 1, other bits set", config, 5, {0xDF}, kDrivingTypeList, T(lang::kDrivingNormal)},
      {"driving type 3", config, 5, {0x30}, kDrivingTypeList, ""},
      {"AttInit from live data", w.link.LiveDataRecord, 4, {201}, kAttInitList, "201"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (size_t i = 0; i < c.bytes.size(); ++i) c.record[c.byte + static_cast<int>(i)] = c.bytes[i];
    w.page.RefreshOptionsPage(*w.window);
    EXPECT_EQ(w.window->SelectedText(c.control), c.shown);
    EXPECT_EQ(w.window->GetListSelection(c.control) == -1, c.shown.empty());
  }
}

TEST(OptionsPage, TickPollsFourRequestsAndStandsStillWhileBusyOrTheDialogIsOpen) {
  OptionsWorld w;
  w.window->Paint();
  EXPECT_EQ(w.window->TimerPeriod(1), 50u);
  w.Tick();
  EXPECT_EQ(w.Requests(), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(w.window->SelectedText(kLpgOffSpeedList), "5500");  // the controller's factory LPG-off speed

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
  ASSERT_TRUE(w.window->UserDropDown(kAttMaxList));
  w.port.ClearFrames();
  w.Tick(3);
  EXPECT_TRUE(w.port.frames.empty());
  EXPECT_EQ(w.window->TimerPeriod(1), 500u);
  w.link.state.poll_period = 50;
  ASSERT_TRUE(w.window->UserCloseUp(kAttMaxList));
  w.Tick();
  EXPECT_EQ(w.Requests(), (std::vector<int>{1, 2, 3, 4}));
}

TEST(OptionsPage, CorrectionsDialogAloneTalksToTheControllerWhileItIsOpen) {
  OptionsWorld w;
  w.window->Paint();  // the page's poll timer runs
  w.Connect();
  bool ran = false;
  w.WithCorrectionsDialog([&](HeadlessWindow& d) {
    ran = true;
    EXPECT_TRUE(w.shared.SubDialogOpen);
    EXPECT_EQ(d.template_id(), kCorrectionsTemplate);
    EXPECT_EQ(d.title(), T(lang::kCorrectionsCaption));
    const std::pair<int, int> texts[] = {{kHiLowCorrectionLabel, lang::kCorrectionHighSpeedLowLoad},
                                         {kHiHighCorrectionLabel, lang::kCorrectionHighSpeedHighLoad},
                                         {kLoLowCorrectionLabel, lang::kCorrectionLowSpeedLowLoad},
                                         {kLoHighCorrectionLabel, lang::kCorrectionLowSpeedHighLoad},
                                         {kCorrectionsOk, lang::kCorrectionsOkButton}};
    for (const auto& [id, slot] : texts) EXPECT_EQ(d.Text(id), T(slot)) << id;
    EXPECT_EQ(d.rect().x, (1024 - d.rect().width) / 2);
    EXPECT_EQ(d.rect().y, (768 - d.rect().height) / 2);
    const std::pair<const char*, const char*> ends[4] = {
        {"-12", "+18"}, {"-10", "+20"}, {"-20", "+10"}, {"-16", "+14"}};
    for (int i = 0; i < 4; ++i) {
      const auto entries = d.Entries(kCorrectionLists[i]);
      ASSERT_EQ(entries.size(), 16u);
      EXPECT_EQ(entries.front(), ends[i].first);
      EXPECT_EQ(entries.back(), ends[i].second);
      EXPECT_EQ(d.GetListSelection(kCorrectionLists[i]), -1) << "not selected before the first tick";
    }
    EXPECT_EQ(d.Entries(kHiLowCorrectionList)[6], "0");  // zero without a sign, "+%ld" above it
    EXPECT_EQ(d.Entries(kHiLowCorrectionList)[7], "+2");
    EXPECT_EQ(d.TimerPeriod(2), 50u);
    w.host.RunFor(500);
    // Both timers fired; only the dialog's polls reached the controller.
    std::vector<int> polls = w.Requests();
    ASSERT_GE(polls.size(), 8u);
    for (size_t i = 0; i < polls.size(); ++i) EXPECT_EQ(polls[i], i % 2 == 0 ? 1 : 3) << i;
    EXPECT_TRUE(w.Writes().empty());
    // The factory corrections are all 0.
    for (int list : kCorrectionLists) EXPECT_EQ(d.SelectedText(list), "0") << list;
    // A dropped-down list stops the dialog's polls (not its timer) until it closes again.
    ASSERT_TRUE(d.UserDropDown(kLoLowCorrectionList));
    w.port.ClearFrames();
    w.host.RunFor(300);
    EXPECT_TRUE(w.port.frames.empty());
    EXPECT_EQ(d.TimerPeriod(2), 50u);
    ASSERT_TRUE(d.UserCloseUp(kLoLowCorrectionList));
    w.host.RunFor(100);
    EXPECT_FALSE(w.Requests().empty());
    ASSERT_TRUE(d.UserClick(kCorrectionsOk));
    EXPECT_TRUE(d.ended());
    EXPECT_EQ(d.end_result(), 1);
    EXPECT_FALSE(w.shared.SubDialogOpen);
  });
  ASSERT_TRUE(ran);
  EXPECT_EQ(w.host.modal_dialogs, (std::vector<int>{kCorrectionsTemplate}));

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
  EXPECT_EQ(w.Requests(), (std::vector<int>{1, 2, 3, 4}));
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
      {kLoLowCorrectionList, 10, {13, 0x35}},   // '0': field 5 into the low nibble of 0x3C
      {kLoHighCorrectionList, 15, {13, 0x0C}},  // '+14': field 0 into the high nibble
      {kHiLowCorrectionList, 0, {12, 0x9F}},    // '-12': field 15
      {kHiHighCorrectionList, 15, {12, 0x0A}},  // '+20': field 0
  };
  w.WithCorrectionsDialog([&](HeadlessWindow& d) {
    w.host.RunFor(50);
    // EmulDO_TimeHi 0x9A: field 10 is -2 (position 5), field 9 is +2 (position 6).
    EXPECT_EQ(d.GetListSelection(kHiLowCorrectionList), 5);
    EXPECT_EQ(d.SelectedText(kHiLowCorrectionList), "-2");
    EXPECT_EQ(d.GetListSelection(kHiHighCorrectionList), 6);
    EXPECT_EQ(d.SelectedText(kHiHighCorrectionList), "+2");
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
    const char* const largest[4] = {"+18", "+20", "+10", "+14"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(d.SelectedText(kCorrectionLists[i]), largest[i]) << kCorrectionLists[i];
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
      {kAttInitBox, -1, 5, 0xFF, 0xFB},     {kAttInitBox, -1, 5, 0x00, 0x04},  // ticked while bit 2 is clear
      {kAccelerationBox, -1, 5, 0xFF, 0xF7}, {kAccelerationBox, -1, 5, 0x00, 0x08},
      {kCutOffBox, -1, 5, 0xFF, 0xDF},      {kCutOffBox, -1, 5, 0x00, 0x20},
      {kLpgOffBox, -1, 5, 0xFF, 0xBF},      {kLpgOffBox, -1, 5, 0x00, 0x40},
      {kLpgOnTempBox, -1, 5, 0xFF, 0xFD},   {kLpgOnTempBox, -1, 5, 0x00, 0x02},
      {kDrivingTypeList, 0, 9, 0xFF, 0xCF}, {kDrivingTypeList, 2, 9, 0x00, 0x20},
      {kDrivingTypeList, 1, 9, 0x00, 0x10},
  };
  for (const Case& c : page_cases) {
    SCOPED_TRACE(::testing::Message() << c.control << " from " << int(c.stored));
    OptionsWorld w;
    w.model.SetParameter(c.address, c.stored);
    w.Connect();
    ASSERT_TRUE(c.position < 0 ? w.window->UserClick(c.control) : w.window->UserChoose(c.control, c.position));
    EXPECT_EQ(w.Writes(), (std::vector<Write>{{c.address, c.sent}}));
  }
  // The corrections: position 15 writes field 0, position 0 field 15.
  const Case dialog_cases[] = {
      {kHiLowCorrectionList, 15, 12, 0xFF, 0xF0},  {kHiLowCorrectionList, 0, 12, 0x00, 0x0F},
      {kHiHighCorrectionList, 15, 12, 0xFF, 0x0F}, {kHiHighCorrectionList, 0, 12, 0x00, 0xF0},
      {kLoLowCorrectionList, 15, 13, 0xFF, 0xF0},  {kLoLowCorrectionList, 0, 13, 0x00, 0x0F},
      {kLoHighCorrectionList, 15, 13, 0xFF, 0x0F}, {kLoHighCorrectionList, 0, 13, 0x00, 0xF0},
      {kHiHighCorrectionList, 12, 12, 0x00, 0x30}, {kLoHighCorrectionList, 12, 13, 0x00, 0x30},
  };
  for (const Case& c : dialog_cases) {
    SCOPED_TRACE(::testing::Message() << "dialog " << c.control << " from " << int(c.stored));
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
  ASSERT_TRUE(w.window->UserChoose(kAttInitList, 9));
  ASSERT_TRUE(w.window->UserChoose(kDrivingTypeList, 1));
  ASSERT_TRUE(w.window->UserClick(kAccelerationBox));
  ASSERT_TRUE(w.window->UserClick(kAttInitBox));
  w.WithCorrectionsDialog([&](HeadlessWindow& d) {
    w.port.ClearFrames();
    w.host.RunFor(50);
    EXPECT_EQ(w.Requests(), (std::vector<int>{1})) << "identity only";
    ASSERT_TRUE(d.UserChoose(kLoLowCorrectionList, 3));
    EXPECT_TRUE(w.Writes().empty());
  });
  EXPECT_TRUE(w.Writes().empty());
  w.Tick();
  // The zero records come back: first entries, only the AttInit box ticked.
  EXPECT_EQ(w.window->SelectedText(kAttInitList), "0");
  EXPECT_EQ(w.window->SelectedText(kDrivingTypeList), T(lang::kDrivingEconomy));
  EXPECT_FALSE(w.window->GetCheck(kAccelerationBox));
  EXPECT_TRUE(w.window->GetCheck(kAttInitBox));
}

}  // namespace
}  // namespace korvel
