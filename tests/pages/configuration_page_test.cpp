// The Configuration page against the simulated controller on the headless window system: what
// each control shows for the polled records, which frames each choice sends, and when polling
// pauses.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <utility>
#include <vector>

#include "link/controller_link.hpp"
#include "pages/common/gauge_geometry.hpp"
#include "pages/common/page_context.hpp"
#include "pages/common/size_classes.hpp"
#include "pages/configuration/configuration_page.hpp"
#include "sim/controller_model.hpp"
#include "sim/simulated_port.hpp"
#include "tests/headless/headless_host.hpp"
#include "tests/pages/page_world.hpp"

namespace korvel {
namespace {

using testing::Write;
using headless::HeadlessWindow;

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
  EXPECT_EQ(p.SelectedText(1003), "0-1 V");
  EXPECT_EQ(p.SelectedText(1013), "0,40");
  EXPECT_EQ(p.SelectedText(1017), "0:05");
  EXPECT_EQ(p.SelectedText(1018), "T61");
  EXPECT_EQ(p.SelectedText(1019), "0,025");
  EXPECT_EQ(p.SelectedText(1020), "0,025");
  EXPECT_TRUE(p.IsEnabled(1019));
  EXPECT_TRUE(p.IsEnabled(1020));
  EXPECT_EQ(p.SelectedText(1021), "T64");
  EXPECT_EQ(p.SelectedText(1022), "1500");
  EXPECT_EQ(p.SelectedText(1023), "T82");
  EXPECT_EQ(p.SelectedText(1024), "T84");
  EXPECT_EQ(p.SelectedText(1025), "0,04");
  EXPECT_TRUE(p.IsEnabled(1025));
  EXPECT_EQ(p.SelectedText(1026), "0,1");
  EXPECT_FALSE(p.GetCheck(1074));
  EXPECT_FALSE(p.IsVisible(1027));
  EXPECT_FALSE(p.IsVisible(1088));
  EXPECT_FALSE(p.IsVisible(1095));
}

TEST(ConfigurationPage, ListsHoldTheirFormattedEntries) {
  ConfigurationWorld w;
  HeadlessWindow& p = *w.window;
  auto first_last = [&](int id) {
    const auto entries = p.Entries(id);
    return std::make_pair(entries.front(), entries.back());
  };
  EXPECT_EQ(p.Entries(1003).size(), 6u);
  EXPECT_EQ(p.Entries(1003)[5], "0,8-1,6 V");
  EXPECT_EQ(p.Entries(1013).size(), 11u);
  EXPECT_EQ(first_last(1013), std::make_pair(std::string("0,40"), std::string("0,60")));
  EXPECT_EQ(p.Entries(1017).size(), 255u);
  EXPECT_EQ(first_last(1017), std::make_pair(std::string("0:05"), std::string("21:15")));
  EXPECT_EQ(p.Entries(1017)[11], "1:00");
  EXPECT_EQ(first_last(1019), std::make_pair(std::string("0,025"), std::string("6,375")));
  EXPECT_EQ(p.Entries(1020), p.Entries(1019));
  EXPECT_EQ(p.Entries(1019)[39], "1,000");
  EXPECT_EQ(p.Entries(1021).size(), 18u);
  EXPECT_EQ(p.Entries(1021)[17], "T81");
  EXPECT_EQ(first_last(1022), std::make_pair(std::string("1500"), std::string("3500")));
  EXPECT_EQ(p.Entries(1022).size(), 21u);
  EXPECT_EQ(p.Entries(1024).size(), 6u);
  EXPECT_EQ(first_last(1025), std::make_pair(std::string("0,04"), std::string("0,40")));
  EXPECT_EQ(p.Entries(1025).size(), 19u);
  EXPECT_EQ(first_last(1026), std::make_pair(std::string("0,1"), std::string("5,0")));
  EXPECT_EQ(p.Entries(1026).size(), 50u);
  EXPECT_EQ(p.Entries(1027), p.Entries(1026));
  // Labels come from the language table.
  EXPECT_EQ(p.Text(1130), "T35");
  EXPECT_EQ(p.Text(1074), "T39");
  EXPECT_EQ(p.Text(1086), "T51");
  EXPECT_EQ(p.Text(1087), "T57");
  EXPECT_EQ(p.Text(1095), "T60");
}

TEST(ConfigurationPage, StoredValuesOutsideAListShowNoSelection) {
  ConfigurationWorld w;
  w.link.ConfigRecord[2] = 0x60;   // LambdaRange 6: not offered
  w.link.OptionsRecord[7] = 19;    // IgnitionType 19: beyond the 18 types
  w.link.ConfigRecord[3] = 130;    // LambdaPoint 130 in the 2..3 V list: position 30
  w.page.RefreshConfigurationPage(*w.window);
  EXPECT_EQ(w.window->GetListSelection(1003), -1);
  EXPECT_EQ(w.window->Entries(1013).size(), 51u);
  EXPECT_EQ(w.window->Entries(1013).back(), "3:00");
  EXPECT_EQ(w.window->SelectedText(1013), "2:60");
  EXPECT_EQ(w.window->GetListSelection(1021), -1);
  // A LambdaMode the page never writes shows its neighbour's entry.
  w.link.ConfigRecord[2] = 0x04;
  w.page.RefreshConfigurationPage(*w.window);
  EXPECT_EQ(w.window->GetListSelection(1024), 2);
  w.link.ConfigRecord[2] = 0x0B;
  w.page.RefreshConfigurationPage(*w.window);
  EXPECT_EQ(w.window->GetListSelection(1024), 5);
}

TEST(ConfigurationPage, EnableAndShowRulesFollowTheRecord) {
  ConfigurationWorld w;
  HeadlessWindow& p = *w.window;
  // The emulation-time lists and their labels are for kind 0 only: kinds 1, 2 and 3 grey them
  // (kind 2 tells a rule on bit 0 alone from the rule on both kind bits).
  for (uint8_t emul_type : {0x01, 0x02, 0x03}) {
    w.link.ConfigRecord[5] = emul_type;
    w.page.RefreshConfigurationPage(p);
    for (int id : {1019, 1020, 1079, 1080, 1091, 1092}) EXPECT_FALSE(p.IsEnabled(id)) << id << " kind " << int(emul_type);
  }
  w.link.ConfigRecord[5] = 0x08;  // kind 0, gas opening shown
  w.link.ConfigRecord[13] = 25;
  w.page.RefreshConfigurationPage(p);
  for (int id : {1019, 1020, 1079, 1080, 1091, 1092}) EXPECT_TRUE(p.IsEnabled(id)) << id;
  EXPECT_TRUE(p.GetCheck(1074));
  for (int id : {1027, 1088, 1095}) EXPECT_TRUE(p.IsVisible(id)) << id;
  EXPECT_EQ(p.SelectedText(1027), "2,5");
  // Hiding keeps the old selection of 1027.
  w.link.ConfigRecord[5] = 0x00;
  w.link.ConfigRecord[13] = 40;
  w.page.RefreshConfigurationPage(p);
  EXPECT_FALSE(p.IsVisible(1027));
  EXPECT_EQ(p.SelectedText(1027), "2,5");

  w.link.ConfigRecord[2] = 0x06;  // mode 6: bit 1 set
  w.page.RefreshConfigurationPage(p);
  for (int id : {1025, 1085, 1093}) EXPECT_FALSE(p.IsEnabled(id)) << id;
  w.link.ConfigRecord[2] = 0x08;  // mode 8
  w.page.RefreshConfigurationPage(p);
  for (int id : {1025, 1085, 1093}) EXPECT_TRUE(p.IsEnabled(id)) << id;
}

TEST(ConfigurationPage, TickPollsFourRequestsWhileConnectedAndOnlyIdentityWhenNot) {
  ConfigurationWorld w;
  w.Tick();
  ASSERT_TRUE(w.link.Connected());
  ASSERT_EQ(w.port.frames.size(), 4u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(w.port.frames[i][1], i + 1);
  // The page now shows the controller's factory LPG-on speed.
  EXPECT_EQ(w.window->SelectedText(1022), "2300");

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

  ASSERT_TRUE(w.window->UserDropDown(1021));
  EXPECT_TRUE(w.shared.DropDownOpen);
  w.model.SetParameter(23, 5);
  w.Tick(3);
  EXPECT_EQ(w.Polls(), 0);
  // A selection change while the list is open neither resumes polling nor closes the list.
  ASSERT_TRUE(w.window->UserSelect(1021, 2));
  EXPECT_TRUE(w.shared.DropDownOpen);
  ASSERT_TRUE(w.window->UserCloseUp(1021));
  EXPECT_FALSE(w.shared.DropDownOpen);
  w.Tick();
  EXPECT_EQ(w.Polls(), 4);
  EXPECT_EQ(w.window->SelectedText(1021), "T66");  // the controller took type 3
}

struct ChoiceCase {
  const char* name;
  int control;
  int position;
  std::vector<Write> writes;
  const char* shown_after_poll;
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
      {"LambdaPoint", 1013, 5, {{7, 25}}, "0,50"},
      {"LambdaDelay", 1017, 11, {{8, 12}}, "1:00"},
      {"EmulKind", 1018, 2, {{9, (emul_type & 0xFC) | 2}}, "T63"},
      {"EmulKindBack", 1018, 0, {{9, emul_type & 0xFC}}, "T61"},
      {"EmulBJ_TimeHi", 1019, 39, {{10, 40}}, "1,000"},
      {"EmulBJ_TimeLo", 1020, 254, {{11, 255}}, "6,375"},
      {"IgnitionType", 1021, 17, {{23, 18}}, "T81"},
      {"LPGOnSpeed", 1022, 8, {{21, 0x79}, {22, 0x19}}, "2300"},
      {"LPGOnSpeedTop", 1022, 20, {{21, 0xBD}, {22, 0x10}}, "3500"},
      {"OptionsBit4", 1023, 1, {{5, (options & 0xEF) | 0x10}}, "T83"},
      {"LambdaMode", 1024, 3, {{6, (lambda_type & 0xF0) | 6}}, "T87"},
      {"LambdaModeBack", 1024, 0, {{6, lambda_type & 0xF0}}, "T84"},
      {"TPSInert", 1025, 9, {{29, 10}}, "0,22"},
      {"InjectDelay", 1026, 49, {{14, 50}}, "5,0"},
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
  ASSERT_FALSE(w.window->GetCheck(1074));
  ASSERT_TRUE(w.window->UserClick(1074));
  EXPECT_EQ(w.Writes(), (std::vector<Write>{{9, 0x39}}));
  w.Tick();
  EXPECT_TRUE(w.window->IsVisible(1027));

  w.port.ClearFrames();
  ASSERT_TRUE(w.window->UserSelect(1027, 14));
  EXPECT_EQ(w.Writes(), (std::vector<Write>{{33, 15}}));
  w.Tick();
  EXPECT_EQ(w.window->SelectedText(1027), "1,5");

  w.port.ClearFrames();
  ASSERT_TRUE(w.window->UserClick(1074));
  EXPECT_EQ(w.Writes(), (std::vector<Write>{{9, 0x31}}));
  w.Tick();
  EXPECT_FALSE(w.window->IsVisible(1027));
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
      {1003, 0, 6, 0xFF, {{6, 0x0F}, {7, 22}}},  // probe range, then the range's default threshold
      {1003, 5, 6, 0x00, {{6, 0x50}, {7, 60}}},
      {1003, 3, 6, 0x00, {{6, 0x30}, {7, 127}}},
      {1024, 0, 6, 0xFF, {{6, 0xF0}}},  // lambda mode
      {1024, 4, 6, 0x00, {{6, 0x07}}},
      {1024, 5, 6, 0x00, {{6, 0x08}}},
      {1018, 0, 9, 0xFF, {{9, 0xFC}}},  // emulation kind
      {1018, 2, 9, 0x00, {{9, 0x02}}},
      {1018, 1, 9, 0x00, {{9, 0x01}}},
      {1023, 0, 5, 0xFF, {{5, 0xEF}}},  // the two-way choice in Options bit 4
      {1023, 1, 5, 0x00, {{5, 0x10}}},
      {1074, -1, 9, 0xFF, {{9, 0xF7}}},  // gas-opening box
      {1074, -1, 9, 0x00, {{9, 0x08}}},
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
  ASSERT_TRUE(w.window->UserSelect(1003, 5));
  EXPECT_EQ(w.Writes(), (std::vector<Write>{{6, 0x50 | mode}, {7, 60}}));
  // Until the controller answers, the point list is still the 0-1 V one.
  EXPECT_EQ(w.window->Entries(1013).size(), 11u);
  EXPECT_EQ(w.state.ShownLambdaRange, 0);
  w.Tick();
  EXPECT_EQ(w.window->Entries(1013).size(), 16u);
  EXPECT_EQ(w.window->SelectedText(1013), "1,20");
  EXPECT_EQ(w.state.ShownLambdaRange, 5);

  // A point chosen now uses the 0,8-1,6 V offset.
  w.port.ClearFrames();
  ASSERT_TRUE(w.window->UserSelect(1013, 15));
  EXPECT_EQ(w.Writes(), (std::vector<Write>{{7, 65}}));

  // Any other range gets the 2..3 V default.
  w.port.ClearFrames();
  ASSERT_TRUE(w.window->UserSelect(1003, 2));
  EXPECT_EQ(w.Writes(), (std::vector<Write>{{6, 0x20 | mode}, {7, 127}}));
  w.Tick();
  EXPECT_EQ(w.window->Entries(1013).size(), 51u);
  EXPECT_EQ(w.window->SelectedText(1013), "2:54");
}

TEST(ConfigurationPage, ShownRangeOutlivesThePageWindow) {
  ConfigurationWorld w;
  w.link.ConfigRecord[2] = 0x50;
  w.page.RefreshConfigurationPage(*w.window);
  ASSERT_EQ(w.state.ShownLambdaRange, 5);
  w.host.DestroyPage(w.window);
  w.window = static_cast<HeadlessWindow*>(w.host.CreatePage(106, w.page));
  w.page.FillConfigurationPage(*w.window);
  EXPECT_EQ(w.window->Entries(1013).size(), 16u);
}

TEST(ConfigurationPage, ASelectionChangeOnAListShowingNoSelectionSendsNothing) {
  // A stored byte outside a list leaves it without a selection; a notification from it then has
  // no position to encode, and a bit field must not take one.
  ConfigurationWorld w;
  w.Connect();
  for (int list = 1003; list <= 1027; ++list) {
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
  for (int k = 3; k <= 5; ++k) ASSERT_TRUE(w.window->UserSelect(1017, k));
  EXPECT_EQ(w.Writes(), (std::vector<Write>{{8, 4}, {8, 5}, {8, 6}}));
}

TEST(ConfigurationPage, NothingIsSentToAControllerOfAnotherVariantAndThePollPutsTheValueBack) {
  ConfigurationWorld w;
  w.model.SetVariant(3);
  w.Tick();
  w.port.ClearFrames();
  ASSERT_TRUE(w.window->UserSelect(1017, 7));
  EXPECT_TRUE(w.port.frames.empty());
  w.Tick();
  EXPECT_EQ(w.window->SelectedText(1017), "0:05");  // zero record: first entry again
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
