#pragma once
#include <cstddef>
#include <string>

namespace korvel {

constexpr int kLanguageSlots = 196;
constexpr int kSlotBytes = 64;

// Every page text, caption and message text, addressed by slot number (the line number in the
// language file). Texts are code-page-1250 bytes, zero-terminated, at most 63 characters.
struct LanguageTable {
  char slots[kLanguageSlots][kSlotBytes] = {};

  const char* Text(int slot) const { return (slot >= 0 && slot < kLanguageSlots) ? slots[slot] : ""; }
};

// Reads directory + "Korvel_lang." + language_code into the table, line n into slot n. A missing
// file, or one that is not a plain file (a device, a pipe), leaves the table as it was (returns
// false). Lines are read as by LanguageTextReader, from the first kMaxLanguageFileBytes bytes.
constexpr size_t kMaxLanguageFileBytes = 64 * 1024;
bool LoadLanguageTexts(LanguageTable& table, const char* language_code, const char* directory = "../Lang/");

// The character rule of a language file, fed with the file's bytes in pieces of any size:
// - a carriage return right before a line feed is dropped (the file is text);
// - a line feed moves to the next slot and stops copying;
// - while copying, a character is appended to the current slot;
// - an "=" restarts the slot with the character that follows it, which is not examined itself,
//   so the text after the last "=" of a line wins, and an "=" ending a line swallows the line
//   feed: the next line then lands in the same slot and every later line one slot lower.
// Bounds: a slot keeps its first 63 bytes, lines past the last slot are ignored, and a zero byte
// never enters a text (a restart with the swallowed line feed or a zero byte leaves it empty).
// A line without "=" leaves its slot as it was.
class LanguageTextReader {
 public:
  explicit LanguageTextReader(LanguageTable& table) : table_(table) {}
  void Feed(const char* bytes, size_t count);
  // End of the file: a carriage return held back at the end is a character of the last line.
  void Finish();
  // True once every slot line has been passed; the rest of the file cannot change the table.
  bool Done() const { return line_ >= kLanguageSlots; }

 private:
  void Take(char c);
  void Append(char c);

  LanguageTable& table_;
  int line_ = 0;
  int length_ = 0;             // length of the current slot's text while copying
  bool copying_ = false;
  bool after_equals_ = false;  // the next character restarts the slot
  bool pending_cr_ = false;
};

// Code page 1250 bytes to UTF-8 for display; undefined bytes become U+FFFD. The counted form
// converts exactly count bytes (a negative count converts nothing); the other stops at the zero.
std::string Cp1250ToUtf8(const char* bytes, int count);
std::string Cp1250ToUtf8(const char* zero_terminated);
// UTF-8 to code page 1250, for a text from the system (a reason naming a path) shown in a message
// box: every character the code page has is carried over, anything else becomes '?'.
std::string Utf8ToCp1250(const std::string& text);

// Control id -> language slot bindings of the two parameter pages, in the order they are applied.
struct LabelBinding {
  int control_id;
  int slot;
};
extern const LabelBinding ConfigurationPageLabels[];
extern const int ConfigurationPageLabelCount;
extern const LabelBinding OptionsPageLabels[];
extern const int OptionsPageLabelCount;

}  // namespace korvel
