#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "tests/texts/test_files.hpp"
#include "texts/language_table.hpp"

#if defined(__linux__)
#include <iconv.h>
#endif

namespace korvel {
namespace {

using testing_files::TempDir;
using testing_files::WriteBytes;

void Parse(LanguageTable& table, const std::string& bytes) {
  LanguageTextReader reader(table);
  reader.Feed(bytes.data(), bytes.size());
  reader.Finish();
}

void Fill(LanguageTable& table, const char* prefix) {
  for (int n = 0; n < kLanguageSlots; ++n) std::snprintf(table.slots[n], kSlotBytes, "%s%d", prefix, n);
}

TEST(LanguageReader, KeyEqualsWordFillsTheSlotAndTheKeyIsIgnored) {
  LanguageTable table;
  Parse(table, "Title=Readings\nOther=Second line\n");
  EXPECT_STREQ(table.Text(0), "Readings");
  EXPECT_STREQ(table.Text(1), "Second line");
  EXPECT_STREQ(table.Text(2), "");
}

TEST(LanguageReader, TheTextAfterTheLastEqualsSignWins) {
  LanguageTable table;
  Parse(table, "a=first=second\nb==x\nc=x=\n");
  EXPECT_STREQ(table.Text(0), "second");
  // "==" restarts with the second "=" as the character after the first, which is not examined.
  EXPECT_STREQ(table.Text(1), "=x");
  EXPECT_STREQ(table.Text(2), "");  // c=x= swallows the line feed ...
  EXPECT_STREQ(table.Text(3), "");  // ... so nothing reaches slot 3
}

TEST(LanguageReader, ALineWithoutEqualsSignLeavesItsSlotAsItWas) {
  LanguageTable table;
  Fill(table, "old");
  Parse(table, "a=new0\njust a comment\n\nd=new3\n");
  EXPECT_STREQ(table.Text(0), "new0");
  EXPECT_STREQ(table.Text(1), "old1");
  EXPECT_STREQ(table.Text(2), "old2");
  EXPECT_STREQ(table.Text(3), "new3");
  EXPECT_STREQ(table.Text(4), "old4");
}

TEST(LanguageReader, EqualsSignAtTheLineEndShiftsEveryLaterLineOneSlotDown) {
  LanguageTable table;
  Fill(table, "old");
  Parse(table, "a=zero\nb=\nc=two\nd=three\ne=four\n");
  EXPECT_STREQ(table.Text(0), "zero");
  EXPECT_STREQ(table.Text(1), "two");  // line 2 lands in slot 1
  EXPECT_STREQ(table.Text(2), "three");
  EXPECT_STREQ(table.Text(3), "four");
  EXPECT_STREQ(table.Text(4), "old4");  // the last line's slot is never reached

  // When the swallowing line is followed by a line without "=", that line is the text.
  LanguageTable other;
  Parse(other, "b=\nplain words\nc=next\n");
  EXPECT_STREQ(other.Text(0), "plain words");
  EXPECT_STREQ(other.Text(1), "next");
}

TEST(LanguageReader, CarriageReturnBeforeLineFeedIsDroppedOthersAreKept) {
  LanguageTable table;
  Parse(table, "a=one\r\nb=tw\ro\r\nc=\r\nd=three\r\ne=end\r");
  EXPECT_STREQ(table.Text(0), "one");
  EXPECT_STREQ(table.Text(1), "tw\ro");
  // "c=" followed by CR LF ends in "=" once the CR is dropped: the shift happens as with LF alone.
  EXPECT_STREQ(table.Text(2), "three");
  EXPECT_STREQ(table.Text(3), "end\r");
}

TEST(LanguageReader, EqualsSignAsTheLastByteOfTheFileKeepsTheTextSoFar) {
  LanguageTable table;
  Parse(table, "a=bc=");
  EXPECT_STREQ(table.Text(0), "bc=");
}

TEST(LanguageReader, PiecesOfAnySizeGiveTheSameTable) {
  const std::string file = "a=one\r\nb=\r\nc=x=yz\r\nd\re=f\r";
  LanguageTable whole;
  Parse(whole, file);
  LanguageTable bytewise;
  LanguageTextReader reader(bytewise);
  for (char c : file) reader.Feed(&c, 1);
  reader.Finish();
  EXPECT_EQ(std::memcmp(&whole, &bytewise, sizeof whole), 0);
}

TEST(LanguageFile, NameIsDirectoryThenKorvelLangThenTheCode) {
  TempDir dir;
  WriteBytes(dir.Path("Korvel_lang.xyz"), "a=from xyz\n");
  LanguageTable table;
  EXPECT_TRUE(LoadLanguageTexts(table, "xyz", dir.Prefix().c_str()));
  EXPECT_STREQ(table.Text(0), "from xyz");
}

TEST(LanguageFile, MissingFileLeavesTheTableAsItWas) {
  TempDir dir;
  LanguageTable table;
  EXPECT_FALSE(LoadLanguageTexts(table, "pol", dir.Prefix().c_str()));
  for (int n = 0; n < kLanguageSlots; ++n) EXPECT_STREQ(table.Text(n), "") << n;

  WriteBytes(dir.Path("Korvel_lang.pol"), "a=Odczyty\n");
  ASSERT_TRUE(LoadLanguageTexts(table, "pol", dir.Prefix().c_str()));
  EXPECT_FALSE(LoadLanguageTexts(table, "ang", dir.Prefix().c_str()));
  EXPECT_STREQ(table.Text(0), "Odczyty");
}

TEST(LanguageFile, SwitchingToAFileThatLacksALineKeepsThePreviousLanguagesText) {
  TempDir dir;
  WriteBytes(dir.Path("Korvel_lang.pol"), "a=Odczyty\nb=Opcje\nc=Reset\n");
  WriteBytes(dir.Path("Korvel_lang.ang"), "a=Readings\nb\nc=Reset page\n");
  LanguageTable table;
  ASSERT_TRUE(LoadLanguageTexts(table, "pol", dir.Prefix().c_str()));
  ASSERT_TRUE(LoadLanguageTexts(table, "ang", dir.Prefix().c_str()));
  EXPECT_STREQ(table.Text(0), "Readings");
  EXPECT_STREQ(table.Text(1), "Opcje");
  EXPECT_STREQ(table.Text(2), "Reset page");
}

// A language file that is not a plain file (a link to a device, a pipe nobody writes to) or an
// endless one (a sparse file of a terabyte of zeros) is left unread or read only as far as the cap:
// each load must come back at once with the table as it was. Each runs in a child process that an
// alarm ends if the load never returns.
TEST(LanguageFile, DevicesPipesAndEndlessFilesCannotHoldTheProgram) {
  TempDir dir;
  ASSERT_EQ(symlink("/dev/zero", dir.Path("Korvel_lang.dev").c_str()), 0);
  ASSERT_EQ(mkfifo(dir.Path("Korvel_lang.fifo").c_str(), 0600), 0);
  WriteBytes(dir.Path("Korvel_lang.big"), "a=kept\n");
  ASSERT_EQ(truncate(dir.Path("Korvel_lang.big").c_str(), off_t{1} << 40), 0);
  const struct {
    const char* code;
    bool loads;
  } cases[] = {{"dev", false}, {"fifo", false}, {"big", true}};
  for (const auto& c : cases) {
    std::fflush(nullptr);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      alarm(20);
      LanguageTable table;
      std::snprintf(table.slots[1], sizeof table.slots[1], "before");
      const bool loaded = LoadLanguageTexts(table, c.code, dir.Prefix().c_str());
      const bool kept = std::strcmp(table.Text(1), "before") == 0 &&
                        std::strcmp(table.Text(0), c.loads ? "kept" : "") == 0;
      _exit(loaded == c.loads && kept ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status)) << c.code << ": the load did not return";
    if (WIFEXITED(status)) {
      EXPECT_EQ(WEXITSTATUS(status), 0) << c.code;
    }
  }
}

TEST(LanguageFile, CarriageReturnSplitAcrossTheReadBufferIsStillDropped) {
  // The file is read in 4096-byte pieces; put the CR of line 1 at the end of the first piece.
  const std::string file = "\n" + std::string(4087, 'y') + "k=abcde" + "\r\nb=after\r\n";
  ASSERT_EQ(file[4095], '\r');
  TempDir dir;
  WriteBytes(dir.Path("Korvel_lang.pol"), file);
  LanguageTable from_file;
  ASSERT_TRUE(LoadLanguageTexts(from_file, "pol", dir.Prefix().c_str()));
  LanguageTable in_memory;
  Parse(in_memory, file);
  EXPECT_EQ(std::memcmp(&from_file, &in_memory, sizeof from_file), 0);
  EXPECT_STREQ(from_file.Text(1), "abcde");
  EXPECT_STREQ(from_file.Text(2), "after");
}

// Bounds: the table is guarded on both sides; nothing may touch the guards, and every slot must
// stay zero-terminated within its 64 bytes.
struct GuardedTable {
  unsigned char before[64];
  LanguageTable table;
  unsigned char after[64];
  GuardedTable() {
    std::memset(before, 0xA5, sizeof before);
    std::memset(after, 0x5A, sizeof after);
  }
  bool Intact() const {
    for (unsigned char b : before)
      if (b != 0xA5) return false;
    for (unsigned char b : after)
      if (b != 0x5A) return false;
    for (int n = 0; n < kLanguageSlots; ++n)
      if (std::memchr(table.slots[n], 0, kSlotBytes) == nullptr) return false;
    return true;
  }
  void ExpectIntact() const { ASSERT_TRUE(Intact()); }
};

TEST(LanguageReaderBounds, ALongLineIsCutAt63Bytes) {
  GuardedTable guarded;
  std::string line = "key=";
  for (int i = 0; i < 1000; ++i) line += static_cast<char>('a' + i % 26);
  Parse(guarded.table, line + "\nnext=ok\n");
  guarded.ExpectIntact();
  EXPECT_EQ(std::strlen(guarded.table.Text(0)), 63u);
  EXPECT_EQ(std::string(guarded.table.Text(0)), line.substr(4, 63));
  EXPECT_STREQ(guarded.table.Text(1), "ok");

  // A restart late in a long line still gives its own text.
  Parse(guarded.table, std::string(900, 'x') + "=tail\n");
  EXPECT_STREQ(guarded.table.Text(0), "tail");
}

TEST(LanguageReaderBounds, LinesPastTheLastSlotAreIgnored) {
  GuardedTable guarded;
  std::string file;
  for (int n = 0; n < 500; ++n) file += "k=line" + std::to_string(n) + "\n";
  Parse(guarded.table, file);
  guarded.ExpectIntact();
  EXPECT_STREQ(guarded.table.Text(0), "line0");
  EXPECT_STREQ(guarded.table.Text(195), "line195");
  EXPECT_STREQ(guarded.table.Text(196), "");  // out of range reads give an empty text
}

TEST(LanguageReaderBounds, BinaryAndZeroBytes) {
  GuardedTable guarded;
  std::string high;
  for (int b = 0x80; b <= 0xFF; ++b) high += static_cast<char>(b);
  Parse(guarded.table, "k=" + high + "\n");
  guarded.ExpectIntact();
  EXPECT_EQ(std::string(guarded.table.Text(0)), high.substr(0, 63));

  // Control characters and every other byte that is not a line end, "=" or zero are text too.
  std::string others;
  for (int b = 1; b <= 0xFF; ++b)
    if (b != '\n' && b != '=' && b != '\r') others += static_cast<char>(b);
  Parse(guarded.table, "k=" + others + "\n");
  guarded.ExpectIntact();
  EXPECT_EQ(std::string(guarded.table.Text(0)), others.substr(0, 63));

  // A zero byte neither ends the text nor hides what follows it.
  Parse(guarded.table, std::string("a=x\0y\nb=\0\nc=\0z\n", 15));
  guarded.ExpectIntact();
  EXPECT_STREQ(guarded.table.Text(0), "xy");
  EXPECT_STREQ(guarded.table.Text(1), "");
  EXPECT_STREQ(guarded.table.Text(2), "z");
}

// Straightforward model of the character rule with unbounded lines; the bounded reader must agree
// with it on the first 196 slots, each cut to 63 bytes.
std::vector<std::optional<std::string>> ModelSlots(const std::string& input) {
  std::string text;
  for (size_t i = 0; i < input.size(); ++i) {
    if (input[i] == '\r' && i + 1 < input.size() && input[i + 1] == '\n') continue;
    text += input[i];
  }
  size_t lines = 1;
  for (char c : text) lines += c == '\n';
  std::vector<std::optional<std::string>> slots(lines);
  size_t n = 0;
  bool copying = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\n') {
      ++n;
      copying = false;
      continue;
    }
    if (copying) *slots[n] += c;
    if (c == '=' && i + 1 < text.size()) {
      slots[n] = std::string(1, text[++i]);
      copying = true;
    }
  }
  for (auto& slot : slots) {
    if (!slot) continue;
    std::string clean;
    for (char c : *slot)
      if (c != '\0' && c != '\n') clean += c;
    *slot = clean.substr(0, kSlotBytes - 1);
  }
  return slots;
}

// Mostly short inputs, some with many lines and some long enough to pass the 63-byte and 196-line
// bounds; "=", line ends, carriage returns, zero bytes and arbitrary bytes are all frequent.
std::string RandomInput(std::mt19937& rng) {
  const unsigned shape = rng() % 100;
  const size_t length = shape < 83 ? rng() % 160 : shape < 98 ? rng() % 800 : rng() % 3000;
  const unsigned newline_share = shape % 4 == 0 ? 40 : 12;
  std::string s(length, '\0');
  for (size_t i = 0; i < length; ++i) {
    const unsigned r = rng();
    const unsigned p = r % 100;
    char c;
    if (p < newline_share) c = '\n';
    else if (p < newline_share + 12) c = '=';
    else if (p < newline_share + 20) c = '\r';
    else if (p < newline_share + 23) c = '\0';
    else if (p < newline_share + 40) c = static_cast<char>(r >> 8);
    else c = static_cast<char>('a' + (r >> 8) % 26);
    s[i] = c;
  }
  return s;
}

TEST(LanguageReaderBounds, RandomisedInputsAgreeWithTheModelAndStayInsideTheTable) {
  constexpr int kRuns = 100000;
  std::mt19937 rng(20240611);
  GuardedTable start;
  Fill(start.table, "~");
  int runs = 0;
  for (int run = 0; run < kRuns; ++run) {
    const std::string input = RandomInput(rng);
    GuardedTable guarded = start;
    LanguageTextReader reader(guarded.table);
    // Feed in random pieces, as a file is read in buffers.
    for (size_t at = 0; at < input.size();) {
      const size_t piece = std::min<size_t>(input.size() - at, 1 + rng() % 64);
      reader.Feed(input.data() + at, piece);
      at += piece;
    }
    reader.Finish();
    ASSERT_TRUE(guarded.Intact()) << "run " << run;

    const auto model = ModelSlots(input);
    for (int n = 0; n < kLanguageSlots; ++n) {
      const bool filled = n < static_cast<int>(model.size()) && model[n].has_value();
      const char* expected = filled ? model[n]->c_str() : start.table.Text(n);
      if (std::strcmp(expected, guarded.table.Text(n)) != 0) {
        FAIL() << "run " << run << " slot " << n << ": expected '" << expected << "' got '" << guarded.table.Text(n) << "'";
      }
    }
    ++runs;
  }
  EXPECT_EQ(runs, kRuns);
  std::printf("randomised language-file inputs checked: %d\n", runs);
}

TEST(Cp1250, PolishLettersAndSignsBecomeUtf8) {
  const char cp1250[] = "\xB9\xE6\xEA\xB3\xF1\xF3\x9C\x9F\xBF\xA5\xC6\xCA\xA3\xD1\xD3\x8C\x8F\xAF";
  EXPECT_EQ(Cp1250ToUtf8(cp1250), "ąćęłńóśźżĄĆĘŁŃÓŚŹŻ");
  EXPECT_EQ(Cp1250ToUtf8("\xB0" "C"), "°C");
  EXPECT_EQ(Cp1250ToUtf8("\x80 \x84\x94 \x96"), "€ „” –");
  EXPECT_EQ(Cp1250ToUtf8("LPG ON: 0-5 V"), "LPG ON: 0-5 V");
}

TEST(Cp1250, SystemTextsComeBackToTheCodePageAndWhatItLacksBecomesAQuestionMark) {
  // Every defined byte of the upper half survives the way there and back.
  for (int b = 0x80; b <= 0xFF; ++b) {
    const char byte = static_cast<char>(b);
    const std::string utf8 = Cp1250ToUtf8(&byte, 1);
    if (utf8 != "\xEF\xBF\xBD") {
      EXPECT_EQ(Utf8ToCp1250(utf8), std::string(1, byte)) << b;
    }
  }
  EXPECT_EQ(Utf8ToCp1250("/home/łukasz/zażółć.kvs: Permission denied"),
            "/home/\xB3ukasz/za\xBF\xF3\xB3\xE6.kvs: Permission denied");
  EXPECT_EQ(Utf8ToCp1250("日本 \xF0\x9F\x98\x80 \xC3"), "?? ? ?") << "outside the code page, and a cut sequence";
}

TEST(Cp1250, UndefinedBytesBecomeTheReplacementCharacter) {
  for (unsigned char b : {0x81, 0x83, 0x88, 0x90, 0x98}) {
    const char byte = static_cast<char>(b);
    EXPECT_EQ(Cp1250ToUtf8(&byte, 1), "\xEF\xBF\xBD") << int(b);
  }
  // Every other upper-half byte is defined.
  int replaced = 0;
  for (int b = 0x80; b <= 0xFF; ++b) {
    const char byte = static_cast<char>(b);
    if (Cp1250ToUtf8(&byte, 1) == "\xEF\xBF\xBD") ++replaced;
  }
  EXPECT_EQ(replaced, 5);
}

#if defined(__linux__)
// Every upper-half byte against the system's own converter, an independent table of the code page:
// a wrong letter in a language file's text would otherwise show only on the screen.
TEST(Cp1250, EveryByteAgreesWithTheSystemConverter) {
  iconv_t converter = iconv_open("UTF-8", "CP1250");
  if (converter == reinterpret_cast<iconv_t>(-1)) GTEST_SKIP() << "no CP1250 converter on this system";
  int compared = 0;
  for (int b = 0x01; b <= 0xFF; ++b) {
    char in[1] = {static_cast<char>(b)};
    char out[8] = {};
    char* in_p = in;
    char* out_p = out;
    size_t in_left = 1;
    size_t out_left = sizeof out;
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    if (iconv(converter, &in_p, &in_left, &out_p, &out_left) == static_cast<size_t>(-1)) continue;  // undefined
    EXPECT_EQ(Cp1250ToUtf8(in, 1), std::string(out, sizeof out - out_left)) << "byte " << b;
    ++compared;
  }
  iconv_close(converter);
  EXPECT_EQ(compared, 255 - 5);
}
#endif

TEST(Cp1250, CountedFormConvertsExactlyCountBytes) {
  EXPECT_EQ(Cp1250ToUtf8("\xB3\xF3" "dka", 2), "łó");
  EXPECT_EQ(Cp1250ToUtf8("a\0b", 3), std::string("a\0b", 3));
  EXPECT_EQ(Cp1250ToUtf8("abc", 0), "");
  EXPECT_EQ(Cp1250ToUtf8("abc", -4), "");
  EXPECT_EQ(Cp1250ToUtf8(nullptr, 3), "");
  EXPECT_EQ(Cp1250ToUtf8(nullptr), "");
}

TEST(PageLabels, EverySlotOfBothPagesIsBoundOnceToOneControl) {
  auto check = [](const LabelBinding* bindings, int count, std::set<int> expected_slots) {
    std::set<int> ids;
    for (int i = 0; i < count; ++i) {
      EXPECT_TRUE(ids.insert(bindings[i].control_id).second) << "control " << bindings[i].control_id << " bound twice";
      EXPECT_EQ(expected_slots.erase(bindings[i].slot), 1u) << "slot " << bindings[i].slot;
    }
    EXPECT_TRUE(expected_slots.empty());
  };
  std::set<int> configuration;
  for (int s = 35; s <= 60; ++s) configuration.insert(s);
  check(ConfigurationPageLabels, ConfigurationPageLabelCount, configuration);

  std::set<int> options;
  for (int s = 92; s <= 128; ++s)
    if (s < 98 || s > 103) options.insert(s);  // 98..103 belong to the corrections dialog
  check(OptionsPageLabels, OptionsPageLabelCount, options);

  // Spot checks of the pairings a page relies on: the unit label of the LPG-on speed, the
  // Otwarcie gazu label, and the check boxes of the Options page.
  auto slot_of = [](const LabelBinding* bindings, int count, int id) {
    for (int i = 0; i < count; ++i)
      if (bindings[i].control_id == id) return bindings[i].slot;
    return -1;
  };
  EXPECT_EQ(slot_of(ConfigurationPageLabels, ConfigurationPageLabelCount, 1087), 57);
  EXPECT_EQ(slot_of(ConfigurationPageLabels, ConfigurationPageLabelCount, 1088), 52);
  EXPECT_EQ(slot_of(ConfigurationPageLabels, ConfigurationPageLabelCount, 1074), 39);
  EXPECT_EQ(slot_of(OptionsPageLabels, OptionsPageLabelCount, 1040), 112);
  EXPECT_EQ(slot_of(OptionsPageLabels, OptionsPageLabelCount, 1139), 122);
  EXPECT_EQ(slot_of(OptionsPageLabels, OptionsPageLabelCount, 1014), 97);
}

}  // namespace
}  // namespace korvel
