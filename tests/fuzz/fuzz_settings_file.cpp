// The settings-file reader against arbitrary files: the port number and the language code must be
// the ones the positional token rule gives over the first 4096 bytes (a missing or unusable
// language value gives "pol"), the code must stay a zero-terminated string of at most 31
// characters, and what WriteSettingsFile writes from them must read back the same.
#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <string>

#include "files/settings_file.hpp"
#include "tests/fuzz/fuzz_support.hpp"

namespace {

using korvel::SettingsState;
using korvel::fuzz::Check;

// The token rule written out over the bytes: any C-locale blank separates, a token keeps its first
// 31 characters, and a number is an optional sign and decimal digits (a sign without digits is
// consumed, what follows it is left for the next token), saturating at the 32-bit range.
class Tokens {
 public:
  Tokens(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool Token(char (&out)[32]) {
    SkipBlanks();
    if (at_ == size_) return false;
    std::string token;
    for (; at_ < size_ && !IsBlank(data_[at_]); ++at_) {
      if (token.size() < 31) token += static_cast<char>(data_[at_]);
    }
    std::memcpy(out, token.c_str(), token.size() + 1);
    return true;
  }

  void Integer(int32_t& out) {
    SkipBlanks();
    if (at_ == size_) return;
    bool negative = false;
    if (data_[at_] == '+' || data_[at_] == '-') negative = data_[at_++] == '-';
    if (at_ == size_ || !std::isdigit(data_[at_])) return;
    long long value = 0;
    for (; at_ < size_ && std::isdigit(data_[at_]); ++at_) value = std::min(value * 10 + (data_[at_] - '0'), 1LL << 40);
    value = negative ? -value : value;
    out = static_cast<int32_t>(std::max<long long>(INT32_MIN, std::min<long long>(INT32_MAX, value)));
  }

 private:
  static bool IsBlank(uint8_t c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
  void SkipBlanks() {
    while (at_ < size_ && IsBlank(data_[at_])) ++at_;
  }

  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = korvel::fuzz::WriteScratchFile("Korvel.ini", data, size);

  SettingsState expected;
  std::snprintf(expected.language_code, sizeof expected.language_code, "before");
  Tokens tokens(data, std::min<size_t>(size, 4096));
  char token[32] = {};
  tokens.Token(token);
  tokens.Token(token);
  tokens.Integer(expected.stored_port_number);
  tokens.Token(token);
  bool usable = tokens.Token(token) && token[0] != '\0';
  for (const char* p = token; usable && *p != '\0'; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    usable = c >= 0x20 && c != 0x7F && c != '/' && c != '\\';
  }
  std::snprintf(expected.language_code, sizeof expected.language_code, "%s", usable ? token : "pol");

  SettingsState read;
  read.stored_port_number = -12345;
  std::snprintf(read.language_code, sizeof read.language_code, "before");
  korvel::ReadSettingsFile(read, path.c_str());
  Check(read.stored_port_number == expected.stored_port_number, "port number differs from the token rule");
  Check(std::memcmp(read.language_code, expected.language_code, sizeof read.language_code) == 0,
        "language code differs from the token rule");
  Check(read.language_code[31] == '\0', "language code not zero-terminated");

  // As the port and language commands do: the chosen port and the code are written and read back.
  SettingsState chosen = read;
  chosen.stored_port_number = korvel::PortNumberChosen(read.stored_port_number);
  Check(chosen.stored_port_number >= 1 && chosen.stored_port_number <= 4, "chosen port outside 1..4");
  const bool code_fits = chosen.language_code[0] != '\0';
  korvel::WriteSettingsFile(chosen, path.c_str());
  SettingsState again;
  korvel::ReadSettingsFile(again, path.c_str());
  Check(again.stored_port_number == chosen.stored_port_number, "port number lost in a rewrite");
  // A code that starts with a zero byte is written as nothing, and the key is read in its place.
  if (code_fits) Check(std::strcmp(again.language_code, chosen.language_code) == 0, "language code lost in a rewrite");
  return 0;
}
