// Page switching, captions, the language change and the port, exit and close commands.
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "resources/menus.hpp"
#include "shell/menu_bars.hpp"
#include "tests/shell/shell_fixture.hpp"

namespace korvel::testing {
namespace {

struct PageCase {
  int command;
  int view;
  int template_id;  // at size class 2 (an 800 x 600 desktop)
  int caption_slot;
};

TEST_F(ShellTest, EachPageCommandBuildsItsPageWithItsCaptionAndHighlight) {
  Start({800, 600});
  const PageCase cases[] = {
      {40006, ConfigurationView, 157, 176}, {40007, OptionsView, 125, 177}, {40008, ResetView, 126, 179},
      {40010, OscilloscopeView, 159, 180},  {40005, ReadingsView, 101, 175},
  };
  for (const PageCase& c : cases) {
    SCOPED_TRACE(c.command);
    const size_t created = host().pages_created.size();
    host().UserMenuCommand(c.command);
    ASSERT_EQ(host().pages_created.size(), created + 1);
    EXPECT_EQ(host().pages_created.back(), c.template_id);
    ASSERT_NE(page(), nullptr);
    EXPECT_EQ(page()->template_id(), c.template_id);
    EXPECT_EQ(app().shared.ViewId, c.view);
    EXPECT_EQ(host().main_title, Slot('P', c.caption_slot));
    for (int item : {40005, 40006, 40007, 40013, 40008, 40010}) {
      EXPECT_EQ(Item(item).highlighted, item == c.command) << item;
    }
  }
  // Only one page exists at a time: every page before the last one was destroyed.
  EXPECT_EQ(host().pages_destroyed.size(), host().pages_created.size() - 1);
}

TEST_F(ShellTest, ConfigurationAndOptionsTemplatesFollowTheSizeClass) {
  const int configuration[5] = {106, 157, 145, 151, 150};
  const int options[5] = {152, 125, 153, 154, 156};
  Start({1280, 1024});
  const int size_items[5] = {40028, 40029, 40030, 40032, 40031};
  for (int c = 1; c <= 5; ++c) {
    SCOPED_TRACE(c);
    host().UserMenuCommand(40005);
    host().UserMenuCommand(size_items[c - 1]);
    host().UserMenuCommand(40006);
    EXPECT_EQ(page()->template_id(), configuration[c - 1]);
    // A size change while the page is shown rebuilds it for the class.
    host().UserMenuCommand(size_items[(c % 5)]);
    EXPECT_EQ(page()->template_id(), configuration[c % 5]);
    host().UserMenuCommand(size_items[c - 1]);
    host().UserMenuCommand(40007);
    EXPECT_EQ(page()->template_id(), options[c - 1]);
  }
}

TEST_F(ShellTest, ThePageAlreadyShownIsNotRebuilt) {
  Start();
  host().UserMenuCommand(40006);
  Window* shown = page();
  const size_t created = host().pages_created.size();
  host().main_title = "changed";
  host().MenuItem(40006)->highlighted = false;
  host().UserMenuCommand(40006);
  EXPECT_EQ(host().pages_created.size(), created);
  EXPECT_EQ(page(), shown);
  EXPECT_EQ(host().main_title, "changed");
  // The highlight is renewed.
  EXPECT_TRUE(Item(40006).highlighted);
}

TEST_F(ShellTest, SchemaPageIsBuiltByTheSizeClassStep) {
  Start();
  host().UserMenuCommand(40013);
  // Created by the switch, then destroyed and created again when the class is applied.
  EXPECT_EQ(host().pages_created, (std::vector<int>{101, 132, 132}));
  EXPECT_EQ(host().pages_destroyed, (std::vector<int>{101, 132}));
  EXPECT_EQ(app().shared.ViewId, SchemaView);
  EXPECT_EQ(host().main_title, "P178");
  EXPECT_TRUE(Item(40013).highlighted);
}

TEST_F(ShellTest, SchemaPageFollowsLanguageAndSizeAndIsRedrawnByTheMainWindowsPaint) {
  Start({800, 600});
  host().UserMenuCommand(40013);
  host().UserMenuCommand(40034);  // English: the page is built again with the English diagram
  auto last_copy = [this]() -> const headless::DrawOp* {
    const auto copies = headless::FindOps(page()->ops, headless::DrawKind::kBitmap);
    return copies.empty() ? nullptr : copies.back();
  };
  ASSERT_NE(last_copy(), nullptr);
  EXPECT_EQ(last_copy()->bitmap_id, 182);
  EXPECT_EQ(host().main_title, "E178");
  page()->UserScroll(1120, kScrollPageDown);
  page()->ClearOps();
  Paint();
  ASSERT_NE(last_copy(), nullptr);
  EXPECT_EQ(last_copy()->src_x, 50);
  EXPECT_EQ(last_copy()->right - last_copy()->left, 750);

  host().UserMenuCommand(40028);  // 640x480: rebuilt for class 1 from the top-left corner
  EXPECT_EQ(app().schema_state.SchemaOffset.x, 0u);
  ASSERT_NE(last_copy(), nullptr);
  EXPECT_EQ(last_copy()->bitmap_id, 182);
  EXPECT_EQ(last_copy()->src_x, 0);
  EXPECT_EQ(last_copy()->right - last_copy()->left, 600);
  EXPECT_EQ(page()->Control(1120)->scroll_max, 361);
}

TEST_F(ShellTest, ResetPageSurvivesSizeChangeAndIsPlacedAtTheNextPaint) {
  Start({1280, 1024});
  host().UserMenuCommand(40008);
  Window* reset = page();
  const size_t created = host().pages_created.size();
  host().UserMenuCommand(40028);
  EXPECT_EQ(host().pages_created.size(), created);
  EXPECT_EQ(page(), reset);
  Paint();
  EXPECT_EQ(page()->rect().width, 640);
  EXPECT_EQ(page()->rect().height, 450);
  const headless::ControlState* button = page()->Control(126);
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->rect.x, 85);
  EXPECT_EQ(button->rect.y, 190);
  EXPECT_EQ(button->rect.width, 450);
  EXPECT_EQ(button->rect.height, 45);
  EXPECT_EQ(page()->Control(1104)->rect.y, 90);
  EXPECT_EQ(page()->Control(1105)->rect.y, 130);
}

// Everything a fitter can see of the menu bar except the bar's own language.
std::map<int, headless::MenuItemState> MenuSnapshot(headless::HeadlessHost& host) {
  std::map<int, headless::MenuItemState> items = host.menu_items;
  items.erase(40034);
  items.erase(40036);
  return items;
}

bool SameItems(const std::map<int, headless::MenuItemState>& a, const std::map<int, headless::MenuItemState>& b) {
  if (a.size() != b.size()) return false;
  for (const auto& [id, item] : a) {
    auto it = b.find(id);
    if (it == b.end()) return false;
    const headless::MenuItemState& other = it->second;
    if (item.checked != other.checked || item.enabled != other.enabled || item.highlighted != other.highlighted ||
        item.unchecked_bitmap != other.unchecked_bitmap || item.checked_bitmap != other.checked_bitmap) {
      ADD_FAILURE() << "menu item " << id << " differs";
      return false;
    }
  }
  return true;
}

TEST_F(ShellTest, LanguageChangeKeepsEveryCheckGreyingAndHighlight) {
  Start({1024, 768});
  host().UserMenuCommand(40022);      // COM4
  host().UserMenuCommand(40029);      // 800x600 of the three sizes offered
  host().UserMenuCommand(40007);      // Options
  const auto before = MenuSnapshot(host());
  EXPECT_TRUE(before.at(40022).checked);
  EXPECT_TRUE(before.at(40029).checked);
  EXPECT_FALSE(before.at(40032).enabled);

  host().UserMenuCommand(40034);
  EXPECT_EQ(host().current_menu_id, kEnglishMenu);
  EXPECT_TRUE(SameItems(before, MenuSnapshot(host())));
  EXPECT_TRUE(Item(40034).checked);
  EXPECT_FALSE(Item(40036).checked);
  EXPECT_EQ(Item(40034).checked_bitmap, 174);
  EXPECT_EQ(Item(40036).unchecked_bitmap, 109);
  EXPECT_EQ(host().main_title, "E177");
  EXPECT_EQ(SettingsText(), "[Ustawienia]\nCommPort= 4\nLanguage= ang\n");

  host().UserMenuCommand(40036);
  EXPECT_EQ(host().current_menu_id, kPolishMenu);
  EXPECT_TRUE(SameItems(before, MenuSnapshot(host())));
  EXPECT_TRUE(Item(40036).checked);
  EXPECT_EQ(host().main_title, "P177");
  EXPECT_EQ(SettingsText(), "[Ustawienia]\nCommPort= 4\nLanguage= pol\n");
}

TEST_F(ShellTest, LanguageChangeRebuildsThePageWithTheNewTexts) {
  Start();
  const struct {
    int command;
    int caption;
    size_t pages_more;  // pages created by the language change
  } cases[] = {{40005, 175, 1}, {40006, 176, 1}, {40007, 177, 1}, {40013, 178, 2}, {40010, 180, 1}, {40008, 179, 0}};
  char language = 'P';
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    host().UserMenuCommand(c.command);
    const size_t created = host().pages_created.size();
    language = language == 'P' ? 'E' : 'P';
    host().UserMenuCommand(language == 'E' ? 40034 : 40036);
    EXPECT_EQ(host().pages_created.size(), created + c.pages_more);
    EXPECT_EQ(host().main_title, Slot(language, c.caption));
    EXPECT_TRUE(Item(c.command).highlighted);
  }
  // The Reset page keeps its window and takes the new texts.
  EXPECT_EQ(page()->Text(1104), Slot(language, 134));
  EXPECT_EQ(page()->Text(1105), Slot(language, 135));
  EXPECT_EQ(page()->Text(126), Slot(language, 136));
}

TEST_F(ShellTest, ConfigurationPageIsLabelledInTheNewLanguage) {
  Start();
  host().UserMenuCommand(40006);
  EXPECT_EQ(page()->Text(1130), "P35");
  host().UserMenuCommand(40034);
  EXPECT_EQ(page()->Text(1130), "E35");
  EXPECT_EQ(page()->Text(1093), "E58");
}

TEST_F(ShellTest, OptionsPageIsFilledAndLabelledAgainInTheNewLanguage) {
  Start();
  host().UserMenuCommand(40007);
  EXPECT_EQ(page()->Text(1014), "P97");
  EXPECT_EQ(page()->Entries(1052), (std::vector<std::string>{"P129", "P130", "P131"}));
  host().UserMenuCommand(40034);
  EXPECT_EQ(page()->Text(1014), "E97");
  EXPECT_EQ(page()->Entries(1052), (std::vector<std::string>{"E129", "E130", "E131"}));
  EXPECT_EQ(page()->Entries(1050).size(), 41u);
}

TEST_F(ShellTest, PortCommandClosesThePortAndTheNextPollOpensTheNewOne) {
  Start();
  Paint();
  host().RunFor(200);
  ASSERT_TRUE(port_.IsOpen());
  host().UserMenuCommand(40020);
  EXPECT_FALSE(port_.IsOpen());
  EXPECT_STREQ(app().link.state.port_name, "COM2:");
  EXPECT_TRUE(Item(40020).checked);
  EXPECT_FALSE(Item(40019).checked);
  EXPECT_EQ(app().settings.stored_port_number, 2);
  EXPECT_EQ(SettingsText(), "[Ustawienia]\nCommPort= 2\nLanguage= pol\n");
  host().RunFor(200);
  EXPECT_EQ(port_.last_open_name, "COM2:");
}

TEST_F(ShellTest, ExitDestroysPageAndWindowClosesThePortAndQuits) {
  Start();
  Paint();
  host().RunFor(200);
  ASSERT_TRUE(port_.IsOpen());
  host().UserMenuCommand(40002);
  EXPECT_EQ(host().pages_destroyed, std::vector<int>{101});
  EXPECT_FALSE(host().main_window_exists);
  EXPECT_FALSE(port_.IsOpen());
  EXPECT_TRUE(host().quit_requested);
  EXPECT_EQ(host().quit_code, 0);
  EXPECT_EQ(app().main_window.state.page, nullptr);
}

TEST_F(ShellTest, ClosingTheWindowEndsTheProgramLikeExit) {
  Start();
  host().UserMenuCommand(40010);
  host().UserCloseMainWindow();
  EXPECT_EQ(host().pages_destroyed.back(), 159);
  EXPECT_FALSE(host().main_window_exists);
  EXPECT_TRUE(host().quit_requested);
}

TEST_F(ShellTest, LeavingTheMenuRestoresThePageHighlight) {
  Start();
  host().UserMenuCommand(40007);
  for (int item : {40005, 40006, 40007, 40013, 40008, 40010}) host().MenuItem(item)->highlighted = false;
  host().UserExitMenuLoop();
  EXPECT_TRUE(Item(40007).highlighted);
  EXPECT_FALSE(Item(40005).highlighted);
}

TEST_F(ShellTest, ReadingsPaintRedrawsFrameAndValuesAndReenablesTheLearnButton) {
  Start();
  page()->ClearOps();
  page()->EnableControl(1005, false);
  Paint();
  EXPECT_GT(page()->ops.size(), 0u);
  EXPECT_TRUE(page()->IsEnabled(1005));
}

TEST(MenuBarsTest, EachBarListsThePagesInMenuOrderThenProgramInformation) {
  // What the fitter reads on the bar after the four pop-ups, in both languages.
  const MenuBars bars;
  const struct {
    int menu;
    std::vector<std::pair<int, std::string>> items;
  } cases[] = {
      {kPolishMenu,
       {{40005, "Odczyty"}, {40006, "Konfiguracja"}, {40007, "Opcje"}, {40013, "Schemat"}, {40008, "Reset"},
        {40010, "Oscyloskop"}, {40003, "O Programie..."}}},
      {kEnglishMenu,
       {{40005, "Readings"}, {40006, "Configurations"}, {40007, "Options"}, {40013, "Schema"}, {40008, "Reset"},
        {40010, "Oscilloscope"}, {40003, "Program information..."}}},
  };
  for (const auto& c : cases) {
    const MenuBarResource& bar = bars.Bar(c.menu);
    EXPECT_EQ(bar.id, c.menu);
    EXPECT_EQ(bar.popup_count, 4);
    std::vector<std::pair<int, std::string>> items;
    for (int i = 0; i < bar.command_count; ++i) items.emplace_back(bar.commands[i].id, bar.commands[i].text);
    EXPECT_EQ(items, c.items) << c.menu;
  }
}

}  // namespace
}  // namespace korvel::testing
