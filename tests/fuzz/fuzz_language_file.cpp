// The language-file reader against arbitrary files: the table must come out exactly as the
// character rule says, whether the file is read from disk or fed in pieces of any size, and every
// text must stay a zero-terminated string of at most 63 bytes that converts to valid UTF-8.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_support.hpp"
#include "texts/language_table.hpp"

namespace {

using korvel::kLanguageSlots;
using korvel::kSlotBytes;
using korvel::LanguageTable;
using korvel::fuzz::Check;

// Texts of a previous language: a line without "=" must leave them in place. Made once and copied,
// so that each run spends its time in the reader.
const LanguageTable& PreviousTexts() {
  static const LanguageTable table = [] {
    LanguageTable t;
    for (int n = 0; n < kLanguageSlots; ++n) std::snprintf(t.slots[n], kSlotBytes, "previous %d", n);
    return t;
  }();
  return table;
}

// The rule written out plainly over the whole file: carriage returns before a line feed go first
// (text mode), then every "=" takes the next character as the new start of its slot.
void ReadByTheRule(LanguageTable& table, const uint8_t* data, size_t size) {
  std::vector<char> text;
  text.reserve(size);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == '\r' && i + 1 < size && data[i + 1] == '\n') continue;
    text.push_back(static_cast<char>(data[i]));
  }
  int line = 0;
  int length = 0;
  bool copying = false;
  auto append = [&](char c) {
    if (c == '\0' || length == kSlotBytes - 1) return;
    table.slots[line][length++] = c;
    table.slots[line][length] = '\0';
  };
  for (size_t i = 0; i < text.size() && line < kLanguageSlots; ++i) {
    const char c = text[i];
    if (c == '\n') {
      ++line;
      copying = false;
    }
    if (copying) append(c);
    if (c == '=' && i + 1 < text.size()) {
      const char d = text[++i];
      copying = true;
      length = 0;
      table.slots[line][0] = '\0';
      if (d != '\n') append(d);
    }
  }
}

void CheckSameTexts(const LanguageTable& got, const LanguageTable& expected, const char* how) {
  for (int n = 0; n < kLanguageSlots; ++n) {
    Check(std::memchr(got.slots[n], '\0', kSlotBytes) != nullptr, "a slot is not zero-terminated");
    if (std::strcmp(got.slots[n], expected.slots[n]) != 0) {
      std::fprintf(stderr, "slot %d read %s: \"%s\", by the rule: \"%s\"\n", n, how, got.slots[n], expected.slots[n]);
      korvel::fuzz::Fail("a slot differs from the character rule");
    }
  }
}

bool IsValidUtf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const size_t length = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 0;
    if (length == 0 || i + length > s.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  LanguageTable expected = PreviousTexts();
  ReadByTheRule(expected, data, size);

  // From the file, as the main window reads it.
  korvel::fuzz::WriteScratchFile("Korvel_lang.fz", data, size);
  LanguageTable from_file = PreviousTexts();
  Check(korvel::LoadLanguageTexts(from_file, "fz", korvel::fuzz::ScratchDirectory()),
        "a readable language file reported as unreadable");
  CheckSameTexts(from_file, expected, "from the file");

  // Fed in pieces of 1 to 7 bytes, so that a carriage return, an "=" and the character after it
  // fall on every side of a piece boundary.
  LanguageTable in_pieces = PreviousTexts();
  korvel::LanguageTextReader reader(in_pieces);
  size_t piece = 1;
  for (size_t at = 0; at < size; at += piece, piece = piece % 7 + 1) {
    reader.Feed(reinterpret_cast<const char*>(data) + at, std::min(piece, size - at));
  }
  reader.Finish();
  CheckSameTexts(in_pieces, expected, "in pieces");

  const LanguageTable& previous = PreviousTexts();
  for (int n = 0; n < kLanguageSlots; ++n) {
    if (std::strcmp(from_file.slots[n], previous.slots[n]) == 0) continue;
    Check(IsValidUtf8(korvel::Cp1250ToUtf8(from_file.slots[n])), "a text converts to invalid UTF-8");
  }
  return 0;
}
