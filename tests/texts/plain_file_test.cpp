#include "texts/plain_file.hpp"

#include <gtest/gtest.h>

#include <string>

#include "tests/texts/test_files.hpp"

namespace korvel {
namespace {

using testing_files::TempDir;
using testing_files::WriteBytes;

// What a terminal is shown of a name or a text: printable letters of any language pass, everything
// else (controls, C1 controls, broken or overlong UTF-8, surrogates, code points past U+10FFFF) is
// shown as \xNN.
TEST(PlainFile, PrintableTextPassesLettersAndEscapesEverythingElse) {
  const struct {
    std::string text;
    std::string shown;
  } cases[] = {
      {"a\nb\x1B[2J", "a\\x0Ab\\x1B[2J"},
      {"\xC2\xA0", "\xC2\xA0"},                          // the first two-byte character
      {"\xC2\x85", "\\xC2\\x85"},                        // C1 control
      {"\xC1\xBF", "\\xC1\\xBF"},                        // overlong
      {"\xE0\xA4\x85", "\xE0\xA4\x85"},                  // the first three-byte lead
      {"\xE0\x9F\xBF", "\\xE0\\x9F\\xBF"},               // overlong
      {"\xED\x9F\xBF\xEE\x80\x80", "\xED\x9F\xBF\xEE\x80\x80"},  // just outside the surrogates
      {"\xED\xA0\x80", "\\xED\\xA0\\x80"},               // a surrogate
      {"\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},          // U+10FFFF
      {"\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},      // past U+10FFFF
      {"\xC5", "\\xC5"},                                 // cut short
  };
  for (const auto& c : cases) EXPECT_EQ(PrintableText(c.text), c.shown) << PrintableText(c.text);
}

// A read fills the caller's string afresh and says whether the limit cut the file.
TEST(PlainFile, ReadStartsAfreshAndSaysWhetherTheLimitCutTheFile) {
  TempDir dir;
  const std::string path = dir.Path("short.txt");
  WriteBytes(path, "abc");
  std::string bytes = "left over", reason;
  bool truncated = true;
  ASSERT_TRUE(ReadPlainFile(path.c_str(), 10, bytes, truncated, reason)) << reason;
  EXPECT_EQ(bytes, "abc");
  EXPECT_FALSE(truncated);
  ASSERT_TRUE(ReadPlainFile(path.c_str(), 2, bytes, truncated, reason)) << reason;
  EXPECT_EQ(bytes, "ab");
  EXPECT_TRUE(truncated);
  EXPECT_FALSE(ReadPlainFile("", 2, bytes, truncated, reason));
  EXPECT_EQ(reason, "cannot open \"\": no file name");
}

}  // namespace
}  // namespace korvel
