// Start-up of the program: the creation handler, the settings file it reads or leaves, the size
// class and the place of the window for every kind of desktop.
#include "resources/bitmaps.hpp"
#include "resources/menus.hpp"
#include "tests/shell/shell_fixture.hpp"

namespace korvel::testing {
namespace {

TEST_F(ShellTest, FirstStartCreatesDefaultSettingsAndShowsReadingsInPolish) {
  Start({800, 600});
  // The settings file did not exist: it is left with the defaults.
  EXPECT_EQ(SettingsText(), "[Ustawienia]\nCommPort= 1\nLanguage= pol\n");
  EXPECT_EQ(app().settings.stored_port_number, 1);
  EXPECT_STREQ(app().link.state.port_name, "COM1:");

  // The Readings page is the only page, placed at -5, -10 with the page size of the class.
  ASSERT_EQ(host().pages_created, std::vector<int>{101});
  ASSERT_NE(page(), nullptr);
  EXPECT_EQ(page()->rect().x, -5);
  EXPECT_EQ(page()->rect().y, -10);
  EXPECT_EQ(page()->rect().width, 800);
  EXPECT_EQ(page()->rect().height, 570);
  EXPECT_EQ(app().shared.ViewId, ReadingsView);
  EXPECT_EQ(host().main_title, "P175");

  // The window is created with the Polish bar and the creation handler sets the bar of the
  // language; the Polish item is checked and both marks are set.
  EXPECT_EQ(host().menu_bars_set, (std::vector<int>{kPolishMenu, kPolishMenu}));
  EXPECT_EQ(host().current_menu_id, kPolishMenu);
  EXPECT_TRUE(Item(40036).checked);
  EXPECT_FALSE(Item(40034).checked);
  EXPECT_EQ(Item(40036).unchecked_bitmap, 109);
  EXPECT_EQ(Item(40036).checked_bitmap, 173);
  EXPECT_EQ(Item(40034).unchecked_bitmap, 176);
  EXPECT_EQ(Item(40034).checked_bitmap, 174);
  // Port 1 checked, the sizes that fit an 800 x 600 screen enabled, 800x600 checked.
  EXPECT_TRUE(Item(40019).checked);
  EXPECT_FALSE(Item(40020).checked || Item(40021).checked || Item(40022).checked);
  EXPECT_TRUE(Item(40028).enabled && Item(40029).enabled);
  EXPECT_FALSE(Item(40030).enabled || Item(40032).enabled || Item(40031).enabled);
  EXPECT_TRUE(Item(40029).checked);
  EXPECT_FALSE(Item(40028).checked);

  // The first paint highlights the page item and starts the page's polling on COM1.
  Paint();
  EXPECT_TRUE(Item(40005).highlighted);
  host().RunFor(200);
  EXPECT_EQ(port_.last_open_name, "COM1:");
  EXPECT_TRUE(app().link.Connected());
}

TEST_F(ShellTest, RunPlacesShowsTheWindowAndReturnsTheLoopCode) {
  host_ = std::make_unique<headless::HeadlessHost>(clock_, Size{1600, 1200});
  app_ = std::make_unique<Application>(port_, *host_);
  EXPECT_EQ(app().Run(), 0);
  EXPECT_EQ(host().menu_bars_set.front(), kPolishMenu);
  EXPECT_TRUE(host().main_window_visible);
  EXPECT_EQ(host().main_rect.x, 160);
  EXPECT_EQ(host().main_rect.y, 103);
  EXPECT_EQ(host().main_rect.width, 1280);
  EXPECT_EQ(host().main_rect.height, 994);
}

TEST_F(ShellTest, StoredPortAndLanguageAreTakenFromTheSettingsFile) {
  WriteWholeFile(root_ / "bin" / "Korvel.ini", "[Ustawienia]\nCommPort= 3\nLanguage= ang\n");
  Start();
  EXPECT_STREQ(app().link.state.port_name, "COM3:");
  EXPECT_TRUE(Item(40021).checked);
  EXPECT_FALSE(Item(40019).checked);
  EXPECT_EQ(host().menu_bars_set, (std::vector<int>{kPolishMenu, kEnglishMenu}));
  EXPECT_TRUE(Item(40034).checked);
  EXPECT_FALSE(Item(40036).checked);
  EXPECT_EQ(host().main_title, "E175");
  // Read only: the file is not rewritten at start.
  EXPECT_EQ(SettingsText(), "[Ustawienia]\nCommPort= 3\nLanguage= ang\n");
}

TEST_F(ShellTest, PortOutsideOneToFourOpensComOneAndIsStoredAsOne) {
  WriteWholeFile(root_ / "bin" / "Korvel.ini", "[Ustawienia]\nCommPort= 7\nLanguage= pol\n");
  Start();
  EXPECT_STREQ(app().link.state.port_name, "COM1:");
  EXPECT_TRUE(Item(40019).checked);
  host().UserMenuCommand(40034);
  EXPECT_EQ(SettingsText(), "[Ustawienia]\nCommPort= 1\nLanguage= ang\n");
}

TEST_F(ShellTest, UnknownLanguageCodeLoadsItsFileAndShowsThePolishBar) {
  WriteLanguage("deu", 'D');
  WriteWholeFile(root_ / "bin" / "Korvel.ini", "[Ustawienia]\nCommPort= 2\nLanguage= deu\n");
  Start();
  EXPECT_EQ(host().current_menu_id, kPolishMenu);
  EXPECT_TRUE(Item(40036).checked);
  EXPECT_EQ(host().main_title, "D175");
}

TEST_F(ShellTest, WithoutLanguageFilesTextsAreEmptyButMenusRemain) {
  fs::remove_all(root_ / "Lang");
  Start();
  EXPECT_EQ(host().main_title, "");
  EXPECT_NE(host().MenuItem(40005), nullptr);
}

struct Placement {
  int screen_width, screen_height;
  int size_class;
  int x, y, width, height;
  int size_item;
};

class SizeClassTest : public ShellTest, public ::testing::WithParamInterface<Placement> {};

TEST_P(SizeClassTest, ClassSizePlaceAndMenuFollowTheDesktop) {
  const Placement p = GetParam();
  Start({p.screen_width, p.screen_height});
  const SharedState& s = app().shared;
  EXPECT_EQ(s.SizeClass, p.size_class);
  EXPECT_EQ(host().main_rect.x, p.x);
  EXPECT_EQ(host().main_rect.y, p.y);
  EXPECT_EQ(host().main_rect.width, p.width);
  EXPECT_EQ(host().main_rect.height, p.height);
  EXPECT_EQ(s.page_width, p.width);
  EXPECT_EQ(s.page_height, p.height);

  const SizeClassInfo& info = DescribeSizeClass(p.size_class);
  EXPECT_EQ(info.size_menu_item, p.size_item);
  EXPECT_DOUBLE_EQ(s.ScaleX, info.ScaleX);
  EXPECT_DOUBLE_EQ(s.ScaleY, info.ScaleY);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(s.indicator_box[i], info.indicator_box[i]);
    EXPECT_EQ(s.column_offsets[i], info.column_offsets[i]);
  }
  // Only the class's item is checked; every class up to it is enabled, the others greyed.
  const int items[5] = {40028, 40029, 40030, 40032, 40031};
  for (int c = 1; c <= 5; ++c) {
    EXPECT_EQ(Item(items[c - 1]).checked, c == p.size_class) << "item " << items[c - 1];
    EXPECT_EQ(Item(items[c - 1]).enabled, c <= p.size_class) << "item " << items[c - 1];
  }

  // The first paint makes the class's fonts and lamp current and puts the learn button in place.
  Paint();
  EXPECT_EQ(s.ValueFont, ValueFontOf(p.size_class));
  EXPECT_EQ(s.LabelFont, LabelFontOf(p.size_class));
  EXPECT_EQ(s.LearningLamp, info.LearningLamp);
  const headless::ControlState* learn = page()->Control(1005);
  ASSERT_NE(learn, nullptr);
  constexpr int kLearnButton[5][4] = {
      {560, 358, 51, 30}, {695, 465, 70, 40}, {880, 610, 95, 60}, {1100, 780, 120, 75}, {1100, 840, 120, 75}};
  const int* r = kLearnButton[p.size_class - 1];
  EXPECT_EQ(learn->rect.x, r[0]);
  EXPECT_EQ(learn->rect.y, r[1]);
  EXPECT_EQ(learn->rect.width, r[2]);
  EXPECT_EQ(learn->rect.height, r[3]);
  EXPECT_TRUE(learn->enabled);
}

INSTANTIATE_TEST_SUITE_P(
    Desktops, SizeClassTest,
    ::testing::Values(
        // The five screens the classes are named after: the window fits within 50 pixels, corner.
        Placement{640, 480, 1, 0, 0, 640, 450, 40028}, Placement{800, 600, 2, 0, 0, 800, 570, 40029},
        Placement{1024, 768, 3, 0, 0, 1024, 738, 40030}, Placement{1280, 960, 4, 0, 0, 1280, 930, 40032},
        Placement{1280, 1024, 5, 0, 0, 1280, 994, 40031},
        // Larger screens: centred.
        Placement{1600, 1200, 5, 160, 103, 1280, 994, 40031}, Placement{1920, 1080, 5, 320, 43, 1280, 994, 40031},
        Placement{1366, 768, 3, 171, 15, 1024, 738, 40030}, Placement{1600, 900, 3, 288, 81, 1024, 738, 40030},
        // Width decides alone below 1280: a low wide screen gets a class taller than itself.
        Placement{1024, 600, 3, 0, 0, 1024, 738, 40030}, Placement{1280, 720, 3, 128, -9, 1024, 738, 40030},
        Placement{1280, 800, 3, 128, 31, 1024, 738, 40030},
        // 51 pixels to spare is centred, 50 is not.
        Placement{851, 600, 2, 25, 15, 800, 570, 40029}, Placement{850, 600, 2, 0, 0, 800, 570, 40029},
        // Narrower than the smallest window: negative halves round toward minus infinity.
        Placement{600, 400, 1, -20, -25, 640, 450, 40028}, Placement{599, 449, 1, -21, -1, 640, 450, 40028},
        Placement{700, 500, 1, 30, 25, 640, 450, 40028}));

TEST_F(ShellTest, SizeCommandResizesReplacesAndRebuildsThePage) {
  Start({1280, 1024});
  Paint();
  host().UserMenuCommand(40028);
  const SharedState& s = app().shared;
  EXPECT_EQ(s.SizeClass, 1);
  EXPECT_EQ(host().main_rect.x, 320);
  EXPECT_EQ(host().main_rect.y, 287);
  EXPECT_EQ(host().main_rect.width, 640);
  EXPECT_EQ(host().main_rect.height, 450);
  EXPECT_DOUBLE_EQ(s.ScaleX, 0.8);
  EXPECT_TRUE(Item(40028).checked);
  EXPECT_FALSE(Item(40031).checked);
  // The size items still offer everything the screen allows.
  EXPECT_TRUE(Item(40031).enabled);
  EXPECT_EQ(host().pages_created, (std::vector<int>{101, 101}));
  EXPECT_EQ(host().pages_destroyed, std::vector<int>{101});
  EXPECT_EQ(s.ValueFont, Font::ValueFont1);
  EXPECT_EQ(s.LearningLamp, 22);
}

TEST_F(ShellTest, DesktopChangeOnlyChangesWhichSizesAreOffered) {
  Start({1280, 1024});
  host().desktop = {800, 600};
  Paint();
  EXPECT_EQ(app().shared.SizeClass, 5);
  EXPECT_TRUE(Item(40029).enabled);
  EXPECT_FALSE(Item(40030).enabled);
  EXPECT_FALSE(Item(40031).enabled);
  EXPECT_TRUE(Item(40031).checked);
  EXPECT_EQ(app().shared.screen_width, 800);
  EXPECT_EQ(app().shared.screen_height, 600);
  // A desktop only wider (a netbook's 1024 x 600) offers the sizes of its width.
  host().desktop = {1024, 600};
  Paint();
  EXPECT_TRUE(Item(40030).enabled);
  EXPECT_FALSE(Item(40032).enabled);
  EXPECT_EQ(app().shared.screen_width, 1024);
}

TEST(ShellResources, BitmapsAndStrings) {
  const BitmapResource logo = LoadBitmapResource(178);
  EXPECT_EQ(logo.width, 238);
  EXPECT_EQ(logo.height, 62);
  EXPECT_EQ(logo.pixels.size(), 238u * 62u);
  for (int id : {109, 173, 176, 174}) {
    const BitmapResource mark = LoadBitmapResource(id);
    EXPECT_EQ(mark.width, 14) << id;
    EXPECT_EQ(mark.height, 12) << id;
    EXPECT_EQ(mark.pixels.size(), 14u * 12u) << id;
  }
  // The checked and the unchecked marks differ, so the fitter sees which language is on.
  EXPECT_NE(LoadBitmapResource(109).pixels, LoadBitmapResource(173).pixels);
  EXPECT_NE(LoadBitmapResource(176).pixels, LoadBitmapResource(174).pixels);
  EXPECT_GT(LoadBitmapResource(101).width, 0);
  EXPECT_EQ(LoadBitmapResource(12345).width, 0);
  EXPECT_TRUE(LoadBitmapResource(12345).pixels.empty());
  EXPECT_STREQ(LoadStringResource(1), "Korvel");
  EXPECT_STREQ(LoadStringResource(3), "KORVELxx");
}

}  // namespace
}  // namespace korvel::testing

namespace korvel::testing {
namespace {

TEST_F(ShellTest, MissingLanguageFileIsNamedOnceInBothLanguagesAndTheSlotsStayEmpty) {
  // Settings ask for English; the English file is gone, so is the Polish one.
  WriteWholeFile(root_ / "bin" / "Korvel.ini", "[Ustawienia]\nCommPort= 1\nLanguage= ang\n");
  fs::remove(root_ / "Lang" / "Korvel_lang.ang");
  fs::remove(root_ / "Lang" / "Korvel_lang.pol");
  Start({800, 600});
  ASSERT_EQ(host().message_boxes.size(), 1u);
  const headless::MessageBoxRecord& box = host().message_boxes[0];
  EXPECT_EQ(box.icon, MessageIcon::kWarning);
  EXPECT_EQ(box.buttons, MessageButtons::kOk);
  const std::string folder = fs::current_path().string();
  for (const std::string& part : {std::string("Nie znaleziono"), std::string("was not found"),
                                  std::string("../Lang/Korvel_lang.ang"), folder}) {
    EXPECT_NE(box.text.find(part), std::string::npos) << part << " in: " << box.text;
  }
  EXPECT_NE(box.caption, "");
  // The texts stay empty, as without the warning.
  EXPECT_STREQ(app().texts.Text(175), "");
  EXPECT_EQ(host().main_title, "");

  // With the file in place nothing is said.
  WriteLanguage("ang", 'E');
  Start({800, 600});
  EXPECT_TRUE(host().message_boxes.empty());
}

}  // namespace
}  // namespace korvel::testing
