// The Configuration page against the simulated controller on the headless window system: what
// each control shows for the polled records, which frames each choice sends, and when polling
// pauses.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "pages/configuration/configuration_controls.hpp"
#include "pages/configuration/configuration_page.hpp"
#include "tests/pages/page_world.hpp"
#include "texts/text_slots.hpp"

namespace korvel {
namespace {

using headless::HeadlessWindow;
using testing::T;
using testing::Write;

struct ConfigurationWorld : testing::PageWorld {
  explicit ConfigurationWorld(int size_class = 1) : PageWorld(size_class, {640, 480}) {
    Open(page, ConfigurationTemplateFor(size_class), false);
    page.FillConfigurationPage(*window);
    page.LabelConfigurationPage(*window);
  }

  int Polls() const { return static_cast<int>(Requests().size()); }
  // Sets a controller parameter and lets the page follow it.
  void ControllerHolds(int address, uint8_t value) {
    model.SetParameter(address, value);
    Tick();
  }

  ConfigurationState state;
  ConfigurationPage page{context, state};
};

TEST(ConfigurationPage, AllZeroRecordsShowTheFirstEntriesAndHideTheGasOpeningChoice) {
  ConfigurationWorld w;
  w.page.RefreshConfigurationPage(*w.window);
  HeadlessWindow& p = *w.window;
  EXPECT_EQ(p.SelectedText(kLambdaRangeList), "0-1 V");
  EXPECT_EQ(p.SelectedText(kLambdaPointList), "0,40");
  EXPECT_EQ(p.SelectedText(kLambdaDelayList), "0:05");
  EXPECT_EQ(p.SelectedText(kEmulKindList), T(lang::kEmulationStandard));
  EXPECT_EQ(p.SelectedText(kEmulBjTimeHiList), "0,025");
  EXPECT_EQ(p.SelectedText(kEmulBjTimeLoList), "0,025");
  EXPECT_TRUE(p.IsEnabled(kEmulBjTimeHiList));
  EXPECT_TRUE(p.IsEnabled(kEmulBjTimeLoList));
  EXPECT_EQ(p.SelectedText(kIgnitionTypeList), T(lang::kIgnition01));
  EXPECT_EQ(p.SelectedText(kLpgOnSpeedList), "1500");
  EXPECT_EQ(p.SelectedText(kOptionsBit4List), T(lang::kSwitchOnDeceleration));
  EXPECT_EQ(p.SelectedText(kLambdaModeList), T(lang::kSecondInputMode0));
  EXPECT_EQ(p.SelectedText(kTpsInertList), "0,04");
  EXPECT_TRUE(p.IsEnabled(kTpsInertList));
  EXPECT_EQ(p.SelectedText(kInjectDelayList), "0,1");
  EXPECT_FALSE(p.GetCheck(kOtwarcieGazuBox));
  EXPECT_FALSE(p.IsVisible(kOtwarcieGazuList));
  EXPECT_FALSE(p.IsVisible(kOtwarcieGazuLabel));
  EXPECT_FALSE(p.IsVisible(kOtwarcieGazuUnit));
}

TEST(ConfigurationPage, ListsHoldTheirFormattedEntries) {
  ConfigurationWorld w;
  HeadlessWindow& p = *w.window;
  auto first_last = [&](int id) {
    const auto entries = p.Entries(id);
    return std::make_pair(entries.front(), entries.back());
  };
  EXPECT_EQ(p.Entries(kLambdaRangeList).size(), 6u);
  EXPECT_EQ(p.Entries(kLambdaRangeList)[5], "0,8-1,6 V");
  EXPECT_EQ(p.Entries(kLambdaPointList).size(), 11u);
  EXPECT_EQ(first_last(kLambdaPointList), std::make_pair(std::string("0,40"), std::string("0,60")));
  EXPECT_EQ(p.Entries(kLambdaDelayList).size(), 255u);
  EXPECT_EQ(first_last(kLambdaDelayList), std::make_pair(std::string("0:05"), std::string("21:15")));
  EXPECT_EQ(p.Entries(kLambdaDelayList)[11], "1:00");
  EXPECT_EQ(first_last(kEmulBjTimeHiList), std::make_pair(std::string("0,025"), std::string("6,375")));
  EXPECT_EQ(p.Entries(kEmulBjTimeLoList), p.Entries(kEmulBjTimeHiList));
  EXPECT_EQ(p.Entries(kEmulBjTimeHiList)[39], "1,000");
  EXPECT_EQ(p.Entries(kIgnitionTypeList).size(), 18u);
  EXPECT_EQ(p.Entries(kIgnitionTypeList)[17], T(lang::kIgnition18));
  EXPECT_EQ(first_last(kLpgOnSpeedList), std::make_pair(std::string("1500"), std::string("3500")));
  EXPECT_EQ(p.Entries(kLpgOnSpeedList).size(), 21u);
  EXPECT_EQ(p.Entries(kLambdaModeList).size(), 6u);
  EXPECT_EQ(first_last(kTpsInertList), std::make_pair(std::string("0,04"), std::string("0,40")));
  EXPECT_EQ(p.Entries(kTpsInertList).size(), 19u);
  EXPECT_EQ(first_last(kInjectDelayList), std::make_pair(std::string("0,1"), std::string("5,0")));
  EXPECT_EQ(p.Entries(kInjectDelayList).size(), 50u);
  EXPECT_EQ(p.Entries(kOtwarcieGazuList), p.Entries(kInjectDelayList));
  // Labels come from the language table.
  EXPECT_EQ(p.Text(1130), T(lang::kHeadingLambdaEmulation));
  EXPECT_EQ(p.Text(kOtwarcieGazuBox), T(lang::kGasOpeningCheck));
  EXPECT_EQ(p.Text(1086), T(lang::kInjectDelayLabel));
  EXPECT_EQ(p.Text(1087), T(lang::kLpgOnSpeedUnit));
  EXPECT_EQ(p.Text(kOtwarcieGazuUnit), T(lang::kGasOpeningTimeUnit));
}

TEST(ConfigurationPage, StoredValuesOutsideAListShowNoSelection) {
  ConfigurationWorld w;
  w.link.ConfigRecord[2] = 0x60;   // LambdaRange 6: not offered
  w.link.OptionsRecord[7] = 19;    // IgnitionType 19: beyond the 18 types
  w.link.ConfigRecord[3] = 130;    // LambdaPoint 130 in the 2..3 V list: position 30
  w.page.RefreshConfigurationPage(*w.window);
  EXPECT_EQ(w.window->GetListSelection(kLambdaRangeList), -1);
  EXPECT_EQ(w.window->Entries(kLambdaPointList).size(), 51u);
  EXPECT_EQ(w.window->Entries(kLambdaPointList).back(), "3:00");
  EXPECT_EQ(w.window->SelectedText(kLambdaPointList), "2:60");
  EXPECT_EQ(w.window->GetListSelection(kIgnitionTypeList), -1);
  // A LambdaMode the page never writes shows its neighbour's entry.
  w.link.ConfigRecord[2] = 0x04;
  w.page.RefreshConfigurationPage(*w.window);
  EXPECT_EQ(w.window->GetListSelection(kLambdaModeList), 2);
  w.link.ConfigRecord[2] = 0x0B;
  w.page.RefreshConfigurationPage(*w.window);
  EXPECT_EQ(w.window->GetListSelection(kLambdaModeList), 5);
}

TEST(ConfigurationPage, EnableAndShowRulesFollowTheRecord) {
  ConfigurationWorld w;
  HeadlessWindow& p = *w.window;
  const int emulation_time[] = {kEmulBjTimeHiList,  kEmulBjTimeLoList, kEmulBjTimeHiLabel,
                                kEmulBjTimeLoLabel, kEmulBjTimeHiUnit, kEmulBjTimeLoUnit};
  // The emulation-time lists and their labels are for kind 0 only: kinds 1, 2 and 3 grey them
  // (kind 2 tells a rule on bit 0 alone from the rule on both kind bits).
  for (uint8_t emul_type : {0x01, 0x02, 0x03}) {
    w.link.ConfigRecord[5] = emul_type;
    w.page.RefreshConfigurationPage(p);
    for (int id : emulation_time) EXPECT_FALSE(p.IsEnabled(id)) << id << " kind " << int(emul_type);
  }
  w.link.ConfigRecord[5] = 0x08;  // kind 0, gas opening shown
  w.link.ConfigRecord[13] = 25;
  w.page.RefreshConfigurationPage(p);
  for (int id : emulation_time) EXPECT_TRUE(p.IsEnabled(id)) << id;
  EXPECT_TRUE(p.GetCheck(kOtwarcieGazuBox));
  for (int id : {kOtwarcieGazuList, kOtwarcieGazuLabel, kOtwarcieGazuUnit}) EXPECT_TRUE(p.IsVisible(id)) << id;
  EXPECT_EQ(p.SelectedText(kOtwarcieGazuList), "2,5");
  // Hiding keeps the old selection of the gas-opening list.
  w.link.ConfigRecord[5] = 0x00;
  w.link.ConfigRecord[13] = 40;
  w.page.RefreshConfigurationPage(p);
  EXPECT_FALSE(p.IsVisible(kOtwarcieGazuList));
  EXPECT_EQ(p.SelectedText(kOtwarcieGazuList), "2,5");

  w.link.ConfigRecord[2] = 0x06;  // mode 6: bit 1 set
  w.page.RefreshConfigurationPage(p);
  for (int id : {kTpsInertList, kTpsInertLabel, kTpsInertUnit}) EXPECT_FALSE(p.IsEnabled(id)) << id;
  w.link.ConfigRecord[2] = 0x08;  // mode 8
  w.page.RefreshConfigurationPage(p);
  for (int id : {kTpsInertList, kTpsInertLabel, kTpsInertUnit}) EXPECT_TRUE(p.IsEnabled(id)) << id;
}

TEST(ConfigurationPage, TickPollsFourRequestsWhileConnectedAndOnlyIdentityWhenNot) {
  ConfigurationWorld w;
  w.Tick();
  ASSERT_TRUE(w.link.Connected());
  ASSERT_EQ(w.port.frames.size(), 4u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(w.port.frames[i][1], i + 1);
  // The page now shows the controller's factory LPG-on speed.
  EXPECT_EQ(w.window->SelectedText(kLpgOnSpeedList), "2300");

  w.model.SetVariant(3);
  w.port.ClearFrames();
  w.Tick(2);
  EXPECT_EQ(w.Polls(), 2);  // identity only: the variant is 3
  EXPECT_EQ(w.shared.ActiveTimerPeriod, 50u);
}

TEST(ConfigurationPage, BusyFlagAndADroppedListPausePolling) {
  ConfigurationWorld w;
  w.Connect();
  w.shared.BusyFlag = true;
  w.Tick();
  EXPECT_EQ(w.Polls(), 0);
  w.shared.BusyFlag = false;

  ASSERT_TRUE(w.window->UserDropDown(kIgnitionTypeList));
  EXPECT_TRUE(w.shared.DropDownOpen);
  w.model.SetParameter(23, 5);
  w.Tick(3);
  EXPECT_EQ(w.Polls(), 0);
  // A selection change while the list is open neither resumes polling nor closes the list.
  ASSERT_TRUE(w.window->UserSelect(kIgnitionTypeList, 2));
  EXPECT_TRUE(w.shared.DropDownOpen);
  ASSERT_TRUE(w.window->UserCloseUp(kIgnitionTypeList));
  EXPECT_FALSE(w.shared.DropDownOpen);
  w.Tick();
  EXPECT_EQ(w.Polls(), 4);
  EXPECT_EQ(w.window->SelectedText(kIgnitionTypeList), T(lang::kIgnition03));  // the controller took type 3
}

struct ChoiceCase {
  const char* name;
  int control;
  int position;
  std::vector<Write> writes;
  std::string shown_after_poll;
};

TEST(ConfigurationPage, EveryChoiceSendsItsFramesAndThePageFollowsTheController) {
  // The factory settings of the simulated controller are the stored bytes the bit fields keep.
  ConfigurationWorld w;
  w.Connect();
  const uint8_t options = w.link.ConfigRecord[1];
  const uint8_t lambda_type = w.link.ConfigRecord[2];
  const uint8_t emul_type = w.link.ConfigRecord[5] & 0xF7;  // gas opening off for the list cases
  w.model.SetParameter(9, emul_type);
  w.Tick();
  ASSERT_EQ(lambda_type >> 4, 0) << "factory probe is 0-1 V";

  const std::vector<ChoiceCase> cases = {
      {"LambdaPoint", kLambdaPointList, 5, {{7, 25}}, "0,50"},
      {"LambdaDelay", kLambdaDelayList, 11, {{8, 12}}, "1:00"},
      {"EmulKind", kEmulKindList, 2, {{9, (emul_type & 0xFC) | 2}}, T(lang::kEmulationOff)},
      {"EmulKindBack", kEmulKindList, 0, {{9, emul_type & 0xFC}}, T(lang::kEmulationStandard)},
      {"EmulBJ_TimeHi", kEmulBjTimeHiList, 39, {{10, 40}}, "1,000"},
      {"EmulBJ_TimeLo", kEmulBjTimeLoList, 254, {{11, 255}}, "6,375"},
      {"IgnitionType", kIgnitionTypeList, 17, {{23, 18}}, T(lang::kIgnition18)},
      {"LPGOnSpeed", kLpgOnSpeedList, 8, {{21, 0x79}, {22, 0x19}}, "2300"},
      {"LPGOnSpeedTop", kLpgOnSpeedList, 20, {{21, 0xBD}, {22, 0x10}}, "3500"},
      {"OptionsBit4", kOptionsBit4List, 1, {{5, (options & 0xEF) | 0x10}}, T(lang::kSwitchOnAcceleration)},
      {"LambdaMode", kLambdaModeList, 3, {{6, (lambda_type & 0xF0) | 6}}, T(lang::kSecondInputMode6)},
      {"LambdaModeBack", kLambdaModeList, 0, {{6, lambda_type & 0xF0}}, T(lang::kSecondInputMode0)},
      {"TPSInert", kTpsInertList, 9, {{29, 10}}, "0,22"},
      {"InjectDelay", kInjectDelayList, 49, {{14, 50}}, "5,0"},
  };
  for (const ChoiceCase& c : cases) {
    SCOPED_TRACE(c.name);
    w.port.ClearFrames();
    ASSERT_TRUE(w.window->UserSelect(c.control, c.position));
    EXPECT_EQ(w.Writes(), c.writes);
    EXPECT_EQ(w.Polls(), 0) << "a choice sends only its writes";
    w.Tick();
    EXPECT_EQ(w.window->SelectedText(c.control), c.shown_after_poll);
  }
}

TEST(ConfigurationPage, GasOpeningBoxAndListWrite) {
  ConfigurationWorld w;
  w.model.SetParameter(9, 0x31);
  w.Connect();
  w.Tick();
  ASSERT_FALSE(w.window->GetCheck(kOtwarcieGazuBox));
  ASSERT_TRUE(w.window->UserClick(kOtwarcieGazuBox));
  EXPECT_EQ(w.Writes(), (std::vector<Write>{{9, 0x39}}));
  w.Tick();
  EXPECT_TRUE(w.window->IsVisible(kOtwarcieGazuList));

  w.port.ClearFrames();
  ASSERT_TRUE(w.window->UserSelect(kOtwarcieGazuList, 14));
  EXPECT_EQ(w.Writes(), (std::vector<Write>{{33, 15}}));
  w.Tick();
  EXPECT_EQ(w.window->SelectedText(kOtwarcieGazuList), "1,5");

  w.port.ClearFrames();
  ASSERT_TRUE(w.window->UserClick(kOtwarcieGazuBox));
  EXPECT_EQ(w.Writes(), (std::vector<Write>{{9, 0x31}}));
  w.Tick();
  EXPECT_FALSE(w.window->IsVisible(kOtwarcieGazuList));
}

TEST(ConfigurationPage, BitFieldWritesKeepEveryOtherBitAsTheControllerHoldsIt) {
  // Each bit-field write is made from a byte with every bit set and from one with every bit clear:
  // from 0xFF the frame carries exactly the bits kept, from 0x00 exactly the field written, so a
  // keep-mask or a field one bit off shows either way.
  struct Case {
    int control;
    int position;  // -1: a click on the box
    int address;
    uint8_t stored;
    std::vector<Write> writes;
  };
  const Case cases[] = {
      {kLambdaRangeList, 0, 6, 0xFF, {{6, 0x0F}, {7, 22}}},  // probe range, then the range's default threshold
      {kLambdaRangeList, 5, 6, 0x00, {{6, 0x50}, {7, 60}}},
      {kLambdaRangeList, 3, 6, 0x00, {{6, 0x30}, {7, 127}}},
      {kLambdaModeList, 0, 6, 0xFF, {{6, 0xF0}}},  // lambda mode
      {kLambdaModeList, 4, 6, 0x00, {{6, 0x07}}},
      {kLambdaModeList, 5, 6, 0x00, {{6, 0x08}}},
      {kEmulKindList, 0, 9, 0xFF, {{9, 0xFC}}},  // emulation kind
      {kEmulKindList, 2, 9, 0x00, {{9, 0x02}}},
      {kEmulKindList, 1, 9, 0x00, {{9, 0x01}}},
      {kOptionsBit4List, 0, 5, 0xFF, {{5, 0xEF}}},  // the two-way choice in Options bit 4
      {kOptionsBit4List, 1, 5, 0x00, {{5, 0x10}}},
      {kOtwarcieGazuBox, -1, 9, 0xFF, {{9, 0xF7}}},  // gas-opening box
      {kOtwarcieGazuBox, -1, 9, 0x00, {{9, 0x08}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.control << " from " << int(c.stored));
    ConfigurationWorld w;
    w.model.SetParameter(c.address, c.stored);
    w.Connect();
    ASSERT_TRUE(c.position < 0 ? w.window->UserClick(c.control) : w.window->UserSelect(c.control, c.position));
    EXPECT_EQ(w.Writes(), c.writes);
  }
}

TEST(ConfigurationPage, RangeChangeWritesTypeThenPointAndRebuildsTheListWhenTheControllerAnswers) {
  ConfigurationWorld w;
  w.Connect();
  const uint8_t mode = w.link.ConfigRecord[2] & 0x0F;
  ASSERT_TRUE(w.window->UserSelect(kLambdaRangeList, 5));
  EXPECT_EQ(w.Writes(), (std::vector<Write>{{6, 0x50 | mode}, {7, 60}}));
  // Until the controller answers, the point list is still the 0-1 V one.
  EXPECT_EQ(w.window->Entries(kLambdaPointList).size(), 11u);
  EXPECT_EQ(w.state.ShownLambdaRange, 0);
  w.Tick();
  EXPECT_EQ(w.window->Entries(kLambdaPointList).size(), 16u);
  EXPECT_EQ(w.window->SelectedText(kLambdaPointList), "1,20");
  EXPECT_EQ(w.state.ShownLambdaRange, 5);

  // A point chosen now uses the 0,8-1,6 V offset.
  w.port.ClearFrames();
  ASSERT_TRUE(w.window->UserSelect(kLambdaPointList, 15));
  EXPECT_EQ(w.Writes(), (std::vector<Write>{{7, 65}}));

  // Any other range gets the 2..3 V default.
  w.port.ClearFrames();
  ASSERT_TRUE(w.window->UserSelect(kLambdaRangeList, 2));
  EXPECT_EQ(w.Writes(), (std::vector<Write>{{6, 0x20 | mode}, {7, 127}}));
  w.Tick();
  EXPECT_EQ(w.window->Entries(kLambdaPointList).size(), 51u);
  EXPECT_EQ(w.window->SelectedText(kLambdaPointList), "2:54");
}

TEST(ConfigurationPage, ShownRangeOutlivesThePageWindow) {
  ConfigurationWorld w;
  w.link.ConfigRecord[2] = 0x50;
  w.page.RefreshConfigurationPage(*w.window);
  ASSERT_EQ(w.state.ShownLambdaRange, 5);
  w.host.DestroyPage(w.window);
  w.window = static_cast<HeadlessWindow*>(w.host.CreatePage(106, w.page));
  w.page.FillConfigurationPage(*w.window);
  EXPECT_EQ(w.window->Entries(kLambdaPointList).size(), 16u);
}

TEST(ConfigurationPage, ASelectionChangeOnAListShowingNoSelectionSendsNothing) {
  // A stored byte outside a list leaves it without a selection; a notification from it then has
  // no position to encode, and a bit field must not take one.
  ConfigurationWorld w;
  w.Connect();
  for (int list = kLambdaRangeList; list <= kOtwarcieGazuList; ++list) {
    if (w.window->GetListCount(list) == 0) continue;
    SCOPED_TRACE(list);
    w.window->SelectListEntry(list, -1);
    ASSERT_EQ(w.window->GetListSelection(list), -1);
    w.page.OnCommand(*w.window, list, kComboSelectionChanged);
    EXPECT_TRUE(w.port.frames.empty());
  }
}

TEST(ConfigurationPage, KeyboardSteppingWritesOncePerStep) {
  ConfigurationWorld w;
  w.Connect();
  for (int k = 3; k <= 5; ++k) ASSERT_TRUE(w.window->UserSelect(kLambdaDelayList, k));
  EXPECT_EQ(w.Writes(), (std::vector<Write>{{8, 4}, {8, 5}, {8, 6}}));
}

TEST(ConfigurationPage, NothingIsSentToAControllerOfAnotherVariantAndThePollPutsTheValueBack) {
  ConfigurationWorld w;
  w.model.SetVariant(3);
  w.Tick();
  w.port.ClearFrames();
  ASSERT_TRUE(w.window->UserSelect(kLambdaDelayList, 7));
  EXPECT_TRUE(w.port.frames.empty());
  w.Tick();
  EXPECT_EQ(w.window->SelectedText(kLambdaDelayList), "0:05");  // zero record: first entry again
}

TEST(ConfigurationPage, PaintStartsThePollTimerAndPlacesThePage) {
  ConfigurationWorld w(5);
  w.window->Paint();
  EXPECT_EQ(w.window->TimerPeriod(1), 50u);
  EXPECT_EQ(w.window->rect().x, 0);
  EXPECT_EQ(w.window->rect().width, 1280);
  EXPECT_EQ(w.window->rect().height, 994);
  // The silent controller: after the third failed identity the timer runs at 500 ms.
  w.model.faults.silence = true;
  w.Tick(3);
  EXPECT_EQ(w.window->TimerPeriod(1), 500u);
  EXPECT_EQ(w.shared.ActiveTimerPeriod, 500u);
}

TEST(ConfigurationPage, TemplatesMatchTheSizeClasses) {
  EXPECT_EQ(ConfigurationTemplateFor(1), 106);
  EXPECT_EQ(ConfigurationTemplateFor(2), 157);
  EXPECT_EQ(ConfigurationTemplateFor(3), 145);
  EXPECT_EQ(ConfigurationTemplateFor(4), 151);
  EXPECT_EQ(ConfigurationTemplateFor(5), 150);
}

}  // namespace
}  // namespace korvel
