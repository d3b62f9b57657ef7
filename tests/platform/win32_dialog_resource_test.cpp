#include "platform/win32/dialog_resource.hpp"

#include <gtest/gtest.h>

#include "shell/page_table.hpp"

#include <cstdio>
#include <vector>

namespace korvel::win32 {
namespace {

constexpr int kTemplateIds[] = {101, 103, 106, 157, 145, 151, 150, 152, 125, 153, 154, 156, 126, 132, 159};

// Reads the binary dialog template back the way the dialog manager walks it.
class TemplateReader {
 public:
  explicit TemplateReader(const std::vector<uint16_t>& words) : words_(words) {}
  uint16_t Word() { return at_ < words_.size() ? words_[at_++] : (overrun_ = true, 0); }
  uint32_t Dword() {
    const uint32_t low = Word();
    return low | (static_cast<uint32_t>(Word()) << 16);
  }
  int Short() { return static_cast<int16_t>(Word()); }
  std::u16string String() {
    std::u16string text;
    for (uint16_t c = Word(); c != 0 && !overrun_; c = Word()) text.push_back(static_cast<char16_t>(c));
    return text;
  }
  bool OnDwordBoundary() const { return at_ % 2 == 0; }
  void SkipToDword() {
    if (!OnDwordBoundary()) {
      EXPECT_EQ(Word(), 0) << "padding";
    }
  }
  bool AtEnd() const { return at_ == words_.size(); }
  bool Overrun() const { return overrun_; }

 private:
  const std::vector<uint16_t>& words_;
  size_t at_ = 0;
  bool overrun_ = false;
};

// Every page and dialog template becomes a binary template that describes exactly its controls:
// each item on a 32-bit boundary, ids (with -1 as the "no id" word), classes, coordinates in dialog
// units and texts, with nothing left over. A misplaced word here shifts every later control.
TEST(Win32DialogResource, EveryTemplateReadsBackControlForControl) {
  for (int id : kTemplateIds) {
    SCOPED_TRACE(id);
    const DialogTemplate* dialog = FindDialogTemplate(id);
    ASSERT_NE(dialog, nullptr);
    const std::vector<uint16_t> words = BuildDialogResource(*dialog);
    TemplateReader reader(words);
    EXPECT_EQ(reader.Dword(), DialogStyleOf(*dialog));
    EXPECT_EQ(reader.Dword(), 0u);
    EXPECT_EQ(reader.Word(), dialog->control_count);
    EXPECT_EQ(reader.Short(), 0);
    EXPECT_EQ(reader.Short(), 0);
    EXPECT_EQ(reader.Short(), dialog->width);
    EXPECT_EQ(reader.Short(), dialog->height);
    EXPECT_EQ(reader.Word(), 0);  // menu
    EXPECT_EQ(reader.Word(), 0);  // class
    EXPECT_EQ(reader.String(), Cp1250ToUtf16(dialog->title));
    EXPECT_EQ(reader.Word(), dialog->font_size);
    EXPECT_EQ(reader.String(), Cp1250ToUtf16(dialog->font_name));
    for (int i = 0; i < dialog->control_count; ++i) {
      const ControlTemplate& control = dialog->controls[i];
      SCOPED_TRACE(i);
      reader.SkipToDword();
      EXPECT_EQ(reader.Dword(), ControlClassOf(control, dialog->popup).style);
      EXPECT_EQ(reader.Dword(), 0u);
      EXPECT_EQ(reader.Short(), control.x);
      EXPECT_EQ(reader.Short(), control.y);
      EXPECT_EQ(reader.Short(), control.width);
      EXPECT_EQ(reader.Short(), control.height);
      EXPECT_EQ(reader.Word(), static_cast<uint16_t>(control.id));
      EXPECT_EQ(reader.Word(), 0xFFFF);
      EXPECT_EQ(reader.Word(), ControlClassOf(control, dialog->popup).class_atom);
      const bool picture = control.kind == ControlKind::kBitmap || control.kind == ControlKind::kIcon;
      EXPECT_EQ(reader.String(), picture ? std::u16string() : Cp1250ToUtf16(control.text));
      EXPECT_EQ(reader.Word(), 0);  // creation data
    }
    EXPECT_FALSE(reader.Overrun());
    EXPECT_TRUE(reader.AtEnd());
  }
}

// The window classes and styles that give each kind of control its behaviour on the system.
TEST(Win32DialogResource, ControlKindsGetTheirClassAndStyle) {
  struct Case {
    ControlTemplate control;
    bool in_dialog;
    uint16_t class_atom;
    uint32_t style;
  };
  const Case cases[] = {
      // Enter presses the OK button of a modal dialog only.
      {{1, ControlKind::kPushButton, 0, 0, 10, 10, kStyleNone, "", 0}, true, kButtonClass,
       kWsChild | kWsVisible | kWsTabStop | kBsDefPushButton},
      {{1, ControlKind::kPushButton, 0, 0, 10, 10, kStyleNone, "", 0}, false, kButtonClass,
       kWsChild | kWsVisible | kWsTabStop | kBsPushButton},
      {{126, ControlKind::kPushButton, 0, 0, 10, 10, kMultiLine, "", 0}, false, kButtonClass,
       kWsChild | kWsVisible | kWsTabStop | kBsMultiLine},
      {{1071, ControlKind::kCheckBox, 0, 0, 10, 10, kStyleNone, "", 0}, false, kButtonClass,
       kWsChild | kWsVisible | kWsTabStop | kBsAutoCheckBox},
      {{1117, ControlKind::kHScrollBar, 0, 0, 10, 10, kHidden, "", 0}, false, kScrollBarClass, kWsChild | kSbsHorz},
      {{1121, ControlKind::kVScrollBar, 0, 0, 10, 10, kStyleNone, "", 0}, false, kScrollBarClass,
       kWsChild | kWsVisible | kSbsVert},
      {{1000, ControlKind::kComboBox, 0, 0, 10, 60, kStyleNone, "", 0}, false, kComboBoxClass,
       kWsChild | kWsVisible | kWsTabStop | kWsVScroll | kCbsDropDownList},
      {{1125, ControlKind::kStatic, 0, 0, 10, 10, kCentred | kSunken | kVCentred, "", 0}, true, kStaticClass,
       kWsChild | kWsVisible | kSsNoPrefix | kSsCenter | kSsCenterImage | kSsSunken},
      {{1076, ControlKind::kStatic, 0, 0, 10, 10, kRightAligned, "", 0}, true, kStaticClass,
       kWsChild | kWsVisible | kSsNoPrefix | kSsRight},
      {{1006, ControlKind::kEdit, 0, 0, 10, 10, kHidden | kBorder, "", 0}, false, kEditClass,
       kWsChild | kWsBorder | kWsTabStop | kEsAutoHScroll},
      {{-1, ControlKind::kGreyRule, 0, 0, 10, 1, kStyleNone, "", 0}, false, kStaticClass,
       kWsChild | kWsVisible | kSsGrayRect},
      {{-1, ControlKind::kBitmap, 0, 0, 10, 10, kStyleNone, "", 178}, true, kStaticClass,
       kWsChild | kWsVisible | kSsBitmap},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.control.id);
    const ControlClassAndStyle got = ControlClassOf(c.control, c.in_dialog);
    EXPECT_EQ(got.class_atom, c.class_atom);
    EXPECT_EQ(got.style, c.style);
  }
  const DialogTemplate page{1, 10, 10, "MS Sans Serif", 8, false, "", nullptr, 0};
  const DialogTemplate modal{2, 10, 10, "MS Sans Serif", 8, true, "", nullptr, 0};
  EXPECT_EQ(DialogStyleOf(page) & (kWsChild | kWsVisible | kWsPopup | kWsCaption), kWsChild | kWsVisible);
  EXPECT_EQ(DialogStyleOf(modal) & (kWsChild | kWsVisible | kWsPopup | kWsCaption), kWsPopup | kWsCaption);
}

TEST(Win32DialogResource, Utf8ToUtf16KeepsCharactersAndReplacesMalformedSequences) {
  struct Case {
    const char* utf8;
    std::u16string expected;
  };
  const Case cases[] = {
      {"COM 1", u"COM 1"},
      {"J\xC4\x99zyk", u"J\u0119zyk"},
      {"Otw\xC3\xB3rz...", u"Otw\u00F3rz..."},
      {"\xF0\x9F\x94\xA5!", u"\U0001F525!"},            // a pair of surrogates
      {"a\x80" "b", u"a\uFFFDb"},                        // a stray continuation byte
      {"a\xC4", u"a\uFFFD"},                             // cut off at the end
      {"a\xC4" "b", u"a\uFFFDb"},                        // cut off by a plain letter, which is kept
      {"\xC0\x80x", u"\uFFFDx"},                         // an overlong zero
      {"\xED\xA0\x80x", u"\uFFFDx"},                     // an encoded surrogate
      {"\xF4\x90\x80\x80x", u"\uFFFDx"},                 // past the last code point
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.utf8);
    EXPECT_EQ(Utf8ToUtf16(c.utf8), c.expected);
  }
  // Code page 1250 texts of the language files.
  EXPECT_EQ(Cp1250ToUtf16("\xA3\xB9" "cz"), u"\u0141\u0105cz");
  EXPECT_EQ(Cp1250ToUtf16("abcdef", 3), u"abc");
}

// The icon file the resource compiler builds into korvel.exe: the directory, the bitmap header of
// twice the height and the colour rows bottom up; the file in the sources is this very encoding of
// the icon bitmap, so a changed icon cannot ship with a stale file.
TEST(Win32DialogResource, IconFileHoldsTheIconBitmapAndMatchesTheSources) {
  const BitmapResource icon = LoadBitmapResource(101);
  const std::vector<uint8_t> file = EncodeIconFile(icon);
  ASSERT_EQ(file.size(), 22u + 40u + 32u * 32u * 4u + 4u * 32u);
  auto u16 = [&file](size_t at) { return file[at] | (file[at + 1] << 8); };
  auto u32 = [&u16](size_t at) { return static_cast<uint32_t>(u16(at) | (u16(at + 2) << 16)); };
  EXPECT_EQ(u16(2), 1);   // an icon
  EXPECT_EQ(u16(4), 1);   // one image
  EXPECT_EQ(file[6], 32);
  EXPECT_EQ(file[7], 32);
  EXPECT_EQ(u16(12), 32);  // bits per pixel
  EXPECT_EQ(u32(14), file.size() - 22);
  EXPECT_EQ(u32(18), 22u);
  EXPECT_EQ(u32(22 + 8), 64u);  // colour and mask rows
  // The first colour row is the bitmap's last row, blue-green-red-alpha.
  const uint32_t bottom_left = icon.pixels[31 * 32];
  EXPECT_EQ(file[62], bottom_left & 0xFF);
  EXPECT_EQ(file[63], (bottom_left >> 8) & 0xFF);
  EXPECT_EQ(file[64], (bottom_left >> 16) & 0xFF);
  EXPECT_EQ(file[65], 0xFF);
  EXPECT_TRUE(EncodeIconFile(BitmapResource{}).empty());

  std::FILE* stored = std::fopen(KORVEL_ICON_FILE, "rb");
  ASSERT_NE(stored, nullptr) << KORVEL_ICON_FILE;
  std::vector<uint8_t> bytes(file.size() + 1);
  const size_t read = std::fread(bytes.data(), 1, bytes.size(), stored);
  std::fclose(stored);
  bytes.resize(read);
  EXPECT_EQ(bytes, file) << "rewrite it with: korvel-icon resources/korvel.ico";
}

}  // namespace
}  // namespace korvel::win32
