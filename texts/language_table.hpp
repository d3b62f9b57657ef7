#pragma once
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
// file leaves the table as it was (returns false).
bool LoadLanguageTexts(LanguageTable& table, const char* language_code, const char* directory = "../Lang/");

// Code page 1250 bytes to UTF-8 for display; undefined bytes become U+FFFD.
std::string Cp1250ToUtf8(const char* bytes, int count);
std::string Cp1250ToUtf8(const char* zero_terminated);

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
