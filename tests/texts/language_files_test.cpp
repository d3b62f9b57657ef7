#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "tests/texts/test_files.hpp"
#include "texts/language_table.hpp"

namespace korvel {
namespace {

// Slots that some page, caption or message box shows.
bool SlotInUse(int n) {
  static const int kRanges[][2] = {{0, 6},     {11, 33},   {35, 89},   {92, 131}, {134, 139},
                                   {142, 153}, {156, 162}, {165, 173}, {175, 180}};
  for (const auto& range : kRanges)
    if (n >= range[0] && n <= range[1]) return true;
  return false;
}

std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n') {
      lines.push_back(bytes.substr(start, i - start));
      start = i + 1;
    }
  }
  if (start < bytes.size()) lines.push_back(bytes.substr(start));  // an unterminated last line
  return lines;
}

class ShippedLanguageFile : public ::testing::TestWithParam<const char*> {
 protected:
  std::string Bytes() const { return testing_files::ReadBytes(std::string(KORVEL_LANG_DIR) + "Korvel_lang." + GetParam()); }
};

TEST_P(ShippedLanguageFile, OneKeyedLinePerSlotAndNoLineThatShiftsTheOthers) {
  const std::string bytes = Bytes();
  ASSERT_FALSE(bytes.empty());
  ASSERT_EQ(bytes.back(), '\n');
  const auto lines = Lines(bytes);
  ASSERT_EQ(lines.size(), static_cast<size_t>(kLanguageSlots));

  std::set<std::string> keys;
  for (int n = 0; n < kLanguageSlots; ++n) {
    std::string line = lines[n];
    EXPECT_EQ(line.find('\r'), std::string::npos) << "line " << n;
    // Not even after an editor strips trailing blanks may a line end in "=".
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.pop_back();
    EXPECT_TRUE(line.empty() || line.back() != '=') << "line " << n << " ends in '='";
    EXPECT_EQ(line, lines[n]) << "line " << n << " ends in a blank";

    const size_t equals = line.find('=');
    const std::string key = line.substr(0, equals);
    EXPECT_FALSE(key.empty()) << "line " << n;
    EXPECT_TRUE(keys.insert(key).second) << "key " << key << " used twice";
    if (SlotInUse(n)) {
      ASSERT_NE(equals, std::string::npos) << "line " << n << " of a used slot has no text";
      EXPECT_EQ(line.find('=', equals + 1), std::string::npos) << "line " << n << " has a second '='";
      const std::string text = line.substr(equals + 1);
      EXPECT_FALSE(text.empty()) << "line " << n;
      EXPECT_LE(text.size(), 63u) << "line " << n;
    } else {
      // An unused slot is a bare key: without "=" its slot stays empty in every language.
      EXPECT_EQ(equals, std::string::npos) << "unused line " << n;
    }
  }
}

TEST_P(ShippedLanguageFile, LoadsEveryUsedSlotAndLeavesTheOthersEmpty) {
  LanguageTable table;
  ASSERT_TRUE(LoadLanguageTexts(table, GetParam(), KORVEL_LANG_DIR));
  for (int n = 0; n < kLanguageSlots; ++n) {
    if (SlotInUse(n)) {
      EXPECT_STRNE(table.Text(n), "") << "slot " << n;
    } else {
      EXPECT_STREQ(table.Text(n), "") << "slot " << n;
    }
  }
}

TEST_P(ShippedLanguageFile, IsValidCodePage1250WithoutControlCharacters) {
  const std::string bytes = Bytes();
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    EXPECT_TRUE(b == '\n' || b >= 0x20) << "control byte " << int(b) << " at " << i;
    EXPECT_TRUE(b != 0x7F && b != 0x81 && b != 0x83 && b != 0x88 && b != 0x90 && b != 0x98)
        << "byte " << int(b) << " at " << i << " is not a code page 1250 character";
  }
  EXPECT_EQ(Cp1250ToUtf8(bytes.data(), static_cast<int>(bytes.size())).find("\xEF\xBF\xBD"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, ShippedLanguageFile, ::testing::Values("pol", "ang"));

TEST(ShippedLanguageFiles, PolishFileIsCodePage1250WithPolishLetters) {
  const std::string bytes = testing_files::ReadBytes(std::string(KORVEL_LANG_DIR) + "Korvel_lang.pol");
  // A file saved as UTF-8 by mistake would carry the lead bytes 0xC3/0xC4/0xC5 before each letter.
  const std::string utf8 = Cp1250ToUtf8(bytes.data(), static_cast<int>(bytes.size()));
  for (const char* letter : {"ą", "ć", "ę", "ł", "ń", "ó", "ś", "ź", "ż", "Ć", "Ń", "Ó"})
    EXPECT_NE(utf8.find(letter), std::string::npos) << letter;
  EXPECT_EQ(utf8.find("Ä"), std::string::npos);
  EXPECT_EQ(utf8.find("Ĺ"), std::string::npos);

  LanguageTable table;
  ASSERT_TRUE(LoadLanguageTexts(table, "pol", KORVEL_LANG_DIR));
  EXPECT_EQ(Cp1250ToUtf8(table.Text(134)), "PRZYWRÓCENIE USTAWIEŃ FABRYCZNYCH STEROWNIKA:");
  EXPECT_EQ(Cp1250ToUtf8(table.Text(128)), "[°C]");
}

TEST(ShippedLanguageFiles, SwitchingLanguagesLeavesNoTextOfTheOtherBehind) {
  LanguageTable english;
  ASSERT_TRUE(LoadLanguageTexts(english, "ang", KORVEL_LANG_DIR));
  LanguageTable switched;
  ASSERT_TRUE(LoadLanguageTexts(switched, "pol", KORVEL_LANG_DIR));
  ASSERT_TRUE(LoadLanguageTexts(switched, "ang", KORVEL_LANG_DIR));
  for (int n = 0; n < kLanguageSlots; ++n) EXPECT_STREQ(switched.Text(n), english.Text(n)) << "slot " << n;
}

TEST(ShippedLanguageFiles, StateBoxTextsFitTheirBox) {
  // The state box is 125 design units wide; the petrol text starts 25 units in, the LPG text 45,
  // and the small font is 8 units per character on average.
  for (const char* code : {"pol", "ang"}) {
    LanguageTable table;
    ASSERT_TRUE(LoadLanguageTexts(table, code, KORVEL_LANG_DIR));
    EXPECT_LE(std::string(table.Text(14)).size() * 8, 125u - 25u - 5u) << code;
    EXPECT_LE(std::string(table.Text(15)).size() * 8, 125u - 45u - 5u) << code;
  }
}

}  // namespace
}  // namespace korvel
