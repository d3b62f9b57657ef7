#include "resources/dialog_templates.hpp"

#include <gtest/gtest.h>

#include "shell/page_table.hpp"

#include <set>
#include <string>

#include "pages/common/size_classes.hpp"

namespace korvel {
namespace {

// The closed field of a drop-down list: its template height includes the dropped list, which may
// hang below the page as a real list does.
constexpr int kComboFieldUnits = 12;

struct PageTemplate {
  int id;
  int size_class;
};
constexpr PageTemplate kConfigurationTemplates[] = {{106, 1}, {157, 2}, {145, 3}, {151, 4}, {150, 5}};
constexpr PageTemplate kOptionsTemplates[] = {{152, 1}, {125, 2}, {153, 3}, {154, 4}, {156, 5}};

const DialogTemplate& Get(int id) {
  const DialogTemplate* dialog = FindDialogTemplate(id);
  EXPECT_NE(dialog, nullptr) << id;
  static const DialogTemplate kEmpty{0, 0, 0, "", 8, false, "", nullptr, 0};
  return dialog ? *dialog : kEmpty;
}

const ControlTemplate* ControlOf(const DialogTemplate& dialog, int id) {
  for (int i = 0; i < dialog.control_count; ++i) {
    if (dialog.controls[i].id == id) return &dialog.controls[i];
  }
  return nullptr;
}

void ExpectRect(PixelRect r, int x, int y, int width, int height) {
  EXPECT_EQ(r.x, x);
  EXPECT_EQ(r.y, y);
  EXPECT_EQ(r.width, width);
  EXPECT_EQ(r.height, height);
}

TEST(DialogTemplates, DialogUnitsBecomePixelsByTheBaseUnitsOfTheFontSize) {
  // 8 points: 6 x 13. The learn button of the Readings page and a list of the correction dialog.
  const DialogTemplate& readings = Get(101);
  const ControlTemplate* learn = ControlOf(readings, 1005);
  ASSERT_NE(learn, nullptr);
  ExpectRect(DialogUnitsToPixels(readings, learn->x, learn->y, learn->width, learn->height), 1318, 1014, 57, 37);
  ExpectRect(DialogUnitsToPixels(Get(170), 162, 18, 75, 60), 243, 29, 112, 97);
  // 10 points: 7 x 15.
  ExpectRect(DialogUnitsToPixels(Get(106), 8, 2, 85, 10), 14, 3, 148, 18);
  ExpectRect(DialogSizeInPixels(Get(103)), 0, 0, 383, 316);
  // 12 points: 8 x 20.
  ExpectRect(DialogUnitsToPixels(Get(157), 231, 2, 48, 58), 462, 5, 96, 145);
  ExpectRect(DialogUnitsToPixels(Get(132), 0, 194, 297, 8), 0, 485, 594, 20);
  // 14 points: 10 x 22.
  ExpectRect(DialogUnitsToPixels(Get(145), 101, 39, 21, 9), 252, 107, 52, 24);
  // 17 points: 12 x 29.
  ExpectRect(DialogUnitsToPixels(Get(151), 101, 39, 21, 9), 303, 141, 63, 32);

  ExpectRect(DialogSizeInPixels(Get(106)), 0, 0, 624, 425);
  ExpectRect(DialogSizeInPixels(Get(157)), 0, 0, 714, 567);
  ExpectRect(DialogSizeInPixels(Get(145)), 0, 0, 972, 715);
  ExpectRect(DialogSizeInPixels(Get(151)), 0, 0, 1197, 920);
  ExpectRect(DialogSizeInPixels(Get(150)), 0, 0, 1101, 986);
}

TEST(DialogTemplates, UnknownIdsHaveNoTemplate) {
  EXPECT_EQ(FindDialogTemplate(0), nullptr);
  EXPECT_EQ(FindDialogTemplate(107), nullptr);
  EXPECT_EQ(FindDialogTemplate(-1), nullptr);
}

// Every page template of the parameter pages, and every control in it, lies inside the page of
// its size class.
void ExpectInsidePage(const PageTemplate& page, int expected_controls) {
  SCOPED_TRACE("template " + std::to_string(page.id));
  const DialogTemplate& dialog = Get(page.id);
  const SizeClassInfo& size = DescribeSizeClass(page.size_class);
  ASSERT_EQ(dialog.control_count, expected_controls);
  EXPECT_FALSE(dialog.popup);
  const PixelRect whole = DialogSizeInPixels(dialog);
  EXPECT_LE(whole.width, size.page_width);
  EXPECT_LE(whole.height, size.page_height);
  for (int i = 0; i < dialog.control_count; ++i) {
    const ControlTemplate& c = dialog.controls[i];
    SCOPED_TRACE("control " + std::to_string(c.id) + " at index " + std::to_string(i));
    const int height = c.kind == ControlKind::kComboBox ? kComboFieldUnits : c.height;
    EXPECT_GE(c.x, 0);
    EXPECT_GE(c.y, 0);
    EXPECT_GT(c.width, 0);
    EXPECT_GT(c.height, 0);
    EXPECT_LE(c.x + c.width, dialog.width);
    EXPECT_LE(c.y + height, dialog.height);
    const PixelRect r = DialogUnitsToPixels(dialog, c.x, c.y, c.width, height);
    EXPECT_LE(r.x + r.width, size.page_width);
    EXPECT_LE(r.y + r.height, size.page_height);
  }
}

// The templates of one page hold the same controls in the same order: ids, kinds, styles, and
// texts except where a template carries its own default text.
void ExpectSameControls(const PageTemplate (&pages)[5], std::set<int> own_texts_in, int own_texts_template) {
  const DialogTemplate& first = Get(pages[0].id);
  std::set<int> ids;
  for (int i = 0; i < first.control_count; ++i) {
    if (first.controls[i].id != -1) {
      EXPECT_TRUE(ids.insert(first.controls[i].id).second) << first.controls[i].id;
    }
  }
  for (const auto& page : pages) {
    const DialogTemplate& dialog = Get(page.id);
    ASSERT_EQ(dialog.control_count, first.control_count);
    EXPECT_STREQ(dialog.font_name, "MS Sans Serif");
    for (int i = 0; i < dialog.control_count; ++i) {
      const ControlTemplate& a = first.controls[i];
      const ControlTemplate& b = dialog.controls[i];
      EXPECT_EQ(a.id, b.id);
      EXPECT_EQ(a.kind, b.kind);
      EXPECT_EQ(a.style, b.style);
      if (page.id != own_texts_template || own_texts_in.count(a.id) == 0) {
        EXPECT_STREQ(a.text, b.text) << a.id;
      }
    }
  }
}

TEST(DialogTemplates, ConfigurationTemplatesHold43ControlsInsideTheirPages) {
  for (const auto& page : kConfigurationTemplates) ExpectInsidePage(page, 43);
  ExpectSameControls(kConfigurationTemplates, {}, 0);

  const DialogTemplate& dialog = Get(106);
  int combos = 0, rules = 0, headings = 0;
  for (int i = 0; i < dialog.control_count; ++i) {
    const ControlTemplate& c = dialog.controls[i];
    combos += c.kind == ControlKind::kComboBox;
    rules += c.kind == ControlKind::kGreyRule;
    headings += c.kind == ControlKind::kStatic && (c.style & kSunken) && (c.style & kVCentred);
  }
  EXPECT_EQ(combos, 13);
  EXPECT_EQ(rules, 4);
  EXPECT_EQ(headings, 4);
  for (int hidden : {1027, 1088, 1095}) EXPECT_TRUE(ControlOf(dialog, hidden)->style & kHidden) << hidden;
  EXPECT_EQ(ControlOf(dialog, 1074)->kind, ControlKind::kCheckBox);
  EXPECT_STREQ(ControlOf(dialog, 1093)->text, "[V]     ");
  // Template 106 as laid out: a few corners of the arrangement.
  const ControlTemplate* c1021 = ControlOf(dialog, 1021);
  EXPECT_EQ(c1021->x, 231);
  EXPECT_EQ(c1021->y, 87);
  EXPECT_EQ(c1021->width, 80);
  EXPECT_EQ(c1021->height, 50);
  EXPECT_EQ(ControlOf(dialog, 1095)->y, 190);
}

TEST(DialogTemplates, OptionsTemplatesHold47ControlsInsideTheirPages) {
  for (const auto& page : kOptionsTemplates) ExpectInsidePage(page, 47);
  ExpectSameControls(kOptionsTemplates, {1040, 1079, 1138}, 154);

  const DialogTemplate& dialog = Get(152);
  int combos = 0, checks = 0, rules = 0;
  for (int i = 0; i < dialog.control_count; ++i) {
    combos += dialog.controls[i].kind == ControlKind::kComboBox;
    checks += dialog.controls[i].kind == ControlKind::kCheckBox;
    rules += dialog.controls[i].kind == ControlKind::kGreyRule;
  }
  EXPECT_EQ(combos, 12);
  EXPECT_EQ(checks, 5);
  EXPECT_EQ(rules, 4);
  for (int id : {1003, 1046, 1047, 1048, 1049, 1050, 1051}) EXPECT_TRUE(ControlOf(dialog, id)->style & kHidden) << id;
  for (int id = 1057; id <= 1067; ++id) EXPECT_TRUE(ControlOf(dialog, id)->style & kHidden) << id;
  EXPECT_FALSE(ControlOf(dialog, 1052)->style & kHidden);
  EXPECT_TRUE(ControlOf(dialog, 1014)->style & kMultiLine);
  EXPECT_STREQ(ControlOf(dialog, 1063)->text, "[\xB0" "C]  ");
  const DialogTemplate& large = Get(154);
  EXPECT_STREQ(ControlOf(large, 1040)->text, "Aktywacja Cut-Off");
  EXPECT_STREQ(ControlOf(large, 1079)->text, "Preferowany typ jazdy     ");
  EXPECT_STREQ(ControlOf(large, 1138)->text, "Typ jazdy");
  EXPECT_STREQ(ControlOf(Get(156), 1138)->text, "");
}

TEST(DialogTemplates, OtherPagesAndDialogs) {
  const DialogTemplate& corrections = Get(170);
  EXPECT_TRUE(corrections.popup);
  EXPECT_STREQ(corrections.font_name, "MS Shell Dlg");
  EXPECT_EQ(corrections.control_count, 10);
  for (int id : {1003, 1013, 1122, 1123}) EXPECT_EQ(ControlOf(corrections, id)->kind, ControlKind::kComboBox);

  const DialogTemplate& scope = Get(159);
  EXPECT_EQ(ControlOf(scope, 1071)->kind, ControlKind::kCheckBox);
  EXPECT_STREQ(ControlOf(scope, 1071)->text, "Kursor warto\x9C" "ci");
  EXPECT_EQ(ControlOf(scope, 1117)->kind, ControlKind::kHScrollBar);
  EXPECT_TRUE(ControlOf(scope, 1117)->style & kHidden);
  EXPECT_EQ(ControlOf(scope, 1068), nullptr);
  for (int id : {1071, 1117}) {
    const ControlTemplate* c = ControlOf(scope, id);
    EXPECT_LE(c->x + c->width, scope.width);
    EXPECT_LE(c->y + c->height, scope.height);
  }

  const DialogTemplate& schema = Get(132);
  EXPECT_EQ(ControlOf(schema, 1120)->kind, ControlKind::kHScrollBar);
  EXPECT_EQ(ControlOf(schema, 1121)->kind, ControlKind::kVScrollBar);

  const DialogTemplate& reset = Get(126);
  EXPECT_STREQ(ControlOf(reset, 1104)->text, "PRZYWR\xD3" "CENIE USTAWIE\xD1" " FABRYCZNYCH STEROWNIKA:");
  EXPECT_STREQ(ControlOf(reset, 1105)->text,
               "-pami\xEA\xE6" " w urz\xB9" "dzeniu zostanie zapisana warto\x9C" "ciami  fabrycznymi.");
  EXPECT_STREQ(ControlOf(reset, 126)->text, "ZRESETUJ   I   PRZYWR\xD3\xC6" " USTAWIENIA FABRYCZNE");

  const DialogTemplate& about = Get(103);
  EXPECT_TRUE(about.popup);
  EXPECT_STREQ(about.title, "Informacje o programie");
  EXPECT_EQ(about.font_size, 10);
  int frames = 0, bitmap = 0, icon = 0;
  for (int i = 0; i < about.control_count; ++i) {
    const ControlTemplate& c = about.controls[i];
    frames += c.kind == ControlKind::kEtchedFrame;
    if (c.kind == ControlKind::kBitmap) bitmap = c.resource;
    if (c.kind == ControlKind::kIcon) icon = c.resource;
  }
  EXPECT_EQ(frames, 2);
  EXPECT_EQ(bitmap, 178);
  EXPECT_EQ(icon, 101);
  EXPECT_TRUE(ControlOf(about, 1076)->style & kRightAligned);
  EXPECT_EQ(ControlOf(about, 1125)->style, kCentred | kSunken | kVCentred);
  EXPECT_STREQ(ControlOf(about, 1)->text, "Zamknij");
}

}  // namespace
}  // namespace korvel
