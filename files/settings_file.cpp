#include "files/settings_file.hpp"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>

namespace korvel {

namespace {

constexpr int32_t kDefaultPort = 1;
constexpr const char* kDefaultLanguage = "pol";

bool IsBlank(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

int SkipBlanks(std::FILE* file) {
  int c = std::getc(file);
  while (c != EOF && IsBlank(c)) c = std::getc(file);
  return c;
}

// Reads the next whitespace-separated token into `out` (room for 31 characters and the zero). A
// longer token keeps its first 31 characters; the rest of it is consumed. Returns false at the end
// of the file, leaving `out` as it was.
bool ReadToken(std::FILE* file, char (&out)[32]) {
  int c = SkipBlanks(file);
  if (c == EOF) return false;
  size_t length = 0;
  while (c != EOF && !IsBlank(c)) {
    if (length < sizeof out - 1) out[length++] = static_cast<char>(c);
    c = std::getc(file);
  }
  out[length] = '\0';
  return true;
}

// Reads a decimal integer with an optional sign. When the next token does not start with a
// number nothing of it is consumed except a lone sign, so the token is read by the next
// ReadToken. Values beyond the 32-bit range saturate (any such port number selects COM1).
bool ReadInteger(std::FILE* file, int32_t& out) {
  int c = SkipBlanks(file);
  if (c == EOF) return false;
  bool negative = false;
  if (c == '+' || c == '-') {
    negative = c == '-';
    c = std::getc(file);
  }
  if (c == EOF || !std::isdigit(c)) {
    if (c != EOF) std::ungetc(c, file);
    return false;
  }
  long long value = 0;
  while (c != EOF && std::isdigit(c)) {
    if (value <= static_cast<long long>(INT32_MAX) + 1) value = value * 10 + (c - '0');
    c = std::getc(file);
  }
  if (c != EOF) std::ungetc(c, file);
  if (negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  if (value < INT32_MIN) value = INT32_MIN;
  out = static_cast<int32_t>(value);
  return true;
}

}  // namespace

void ReadSettingsFile(SettingsState& settings, const char* path) {
  std::FILE* file = std::fopen(path, "r");
  if (file == nullptr) {
    const bool missing = errno == ENOENT;
    settings.stored_port_number = kDefaultPort;
    std::snprintf(settings.language_code, sizeof settings.language_code, "%s", kDefaultLanguage);
    // Only a file that is not there is created: an existing file that cannot be read now keeps
    // the fitter's choices for a later start instead of being overwritten with the defaults.
    if (missing) WriteSettingsFile(settings, path);
    return;
  }

  // Positional: the section line, the port key and its number, the language key and its value.
  // Keys are not compared; the language code ends up as the last token that could be read.
  int32_t port = 0;
  ReadToken(file, settings.language_code);
  ReadToken(file, settings.language_code);
  ReadInteger(file, port);
  ReadToken(file, settings.language_code);
  ReadToken(file, settings.language_code);
  std::fclose(file);
  settings.stored_port_number = port;
}

void WriteSettingsFile(const SettingsState& settings, const char* path) {
  // Text mode: the line ends are the platform's (carriage return and line feed on Windows).
  std::FILE* file = std::fopen(path, "w");
  if (file == nullptr) return;
  std::fprintf(file, "%s\n", "[Ustawienia]");
  std::fprintf(file, "%s %d\n", "CommPort=", static_cast<int>(settings.stored_port_number));
  std::fprintf(file, "%s %.31s\n", "Language=", settings.language_code);
  std::fclose(file);
}

const char* PortNameFromNumber(int32_t number) {
  switch (number) {
    case 2: return "COM2:";
    case 3: return "COM3:";
    case 4: return "COM4:";
    default: return "COM1:";
  }
}

int32_t PortNumberChosen(int32_t number) { return (number >= 1 && number <= 4) ? number : 1; }

}  // namespace korvel
