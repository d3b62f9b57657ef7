#include "files/settings_file.hpp"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <string>

#include <sys/stat.h>

#include "files/file_writing.hpp"
#include "texts/plain_file.hpp"

namespace korvel {

namespace {

constexpr int32_t kDefaultPort = 1;
constexpr const char* kDefaultLanguage = "pol";

// The file is three short lines; what lies beyond its first kMaxSettingsBytes is not read, so a
// huge or endless file cannot hold the start-up.
constexpr long kMaxSettingsBytes = 4096;

bool IsBlank(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// The file's characters, up to kMaxSettingsBytes, with one character of push-back.
class SettingsInput {
 public:
  explicit SettingsInput(std::FILE* file) : file_(file) {}
  int Get() {
    if (held_ != EOF) {
      const int c = held_;
      held_ = EOF;
      return c;
    }
    if (left_ <= 0) return EOF;
    --left_;
    return std::getc(file_);
  }
  void Unget(int c) { held_ = c; }

 private:
  std::FILE* file_;
  long left_ = kMaxSettingsBytes;
  int held_ = EOF;
};

int SkipBlanks(SettingsInput& in) {
  int c = in.Get();
  while (c != EOF && IsBlank(c)) c = in.Get();
  return c;
}

// Reads the next whitespace-separated token into `out` (room for 31 characters and the zero). A
// longer token keeps its first 31 characters; the rest of it is consumed. Returns false at the end
// of the file, leaving `out` as it was.
bool ReadToken(SettingsInput& in, char (&out)[32]) {
  int c = SkipBlanks(in);
  if (c == EOF) return false;
  size_t length = 0;
  while (c != EOF && !IsBlank(c)) {
    if (length < sizeof out - 1) out[length++] = static_cast<char>(c);
    c = in.Get();
  }
  out[length] = '\0';
  return true;
}

// Reads a decimal integer with an optional sign. When the next token does not start with a
// number nothing of it is consumed except a lone sign, so the token is read by the next
// ReadToken. Values beyond the 32-bit range saturate (any such port number selects COM1).
bool ReadInteger(SettingsInput& in, int32_t& out) {
  int c = SkipBlanks(in);
  if (c == EOF) return false;
  bool negative = false;
  if (c == '+' || c == '-') {
    negative = c == '-';
    c = in.Get();
  }
  if (c == EOF || !std::isdigit(c)) {
    if (c != EOF) in.Unget(c);
    return false;
  }
  long long value = 0;
  while (c != EOF && std::isdigit(c)) {
    if (value <= static_cast<long long>(INT32_MAX) + 1) value = value * 10 + (c - '0');
    c = in.Get();
  }
  if (c != EOF) in.Unget(c);
  if (negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  if (value < INT32_MIN) value = INT32_MIN;
  out = static_cast<int32_t>(value);
  return true;
}

// A language code names the file ../Lang/Korvel_lang.<code>: one that holds a control character or
// a folder separator cannot come from a file this program wrote, so it counts as damage.
bool UsableLanguageCode(const char* code) {
  if (code[0] == '\0') return false;
  for (const char* p = code; *p != '\0'; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (c < 0x20 || c == 0x7F || c == '/' || c == '\\') return false;
  }
  return true;
}

void UseDefaults(SettingsState& settings) {
  settings.stored_port_number = kDefaultPort;
  std::snprintf(settings.language_code, sizeof settings.language_code, "%s", kDefaultLanguage);
}

}  // namespace

void ReadSettingsFile(SettingsState& settings, const char* path) {
  std::string reason;
  std::FILE* file = OpenPlainFile(path, reason);
  if (file == nullptr) {
    // Only a file that is not there is created: an existing file that cannot be read (or is not a
    // plain file) keeps the fitter's choices for a later start instead of being overwritten.
    struct stat status {};
    const bool missing = ::stat(path, &status) != 0 && errno == ENOENT;
    UseDefaults(settings);
    if (missing) WriteSettingsFile(settings, path);
    return;
  }

  // Positional: the section line, the port key and its number, the language key and its value.
  // Keys are not compared; the language code is the last of the four tokens. An empty or damaged
  // file (cut short by a full disk, a crash, an editor) reads as missing keys: the port number
  // stays 0 (COM1) and a language value that is missing or unusable gives "pol", so the texts
  // still show.
  SettingsInput in(file);
  char token[32] = {};
  int32_t port = 0;
  ReadToken(in, token);
  ReadToken(in, token);
  ReadInteger(in, port);
  ReadToken(in, token);
  const bool have_language = ReadToken(in, token) && UsableLanguageCode(token);
  std::fclose(file);
  settings.stored_port_number = port;
  std::snprintf(settings.language_code, sizeof settings.language_code, "%s",
                have_language ? token : kDefaultLanguage);
}

Result WriteSettingsFile(const SettingsState& settings, const char* path) {
  // A complete new file renamed over the old one, as the configuration files are saved: a full
  // disk or a crash leaves the old settings whole instead of an empty file. Text mode: the line
  // ends are the platform's (carriage return and line feed on Windows).
  char text[128];
  std::snprintf(text, sizeof text, "%s\n%s %d\n%s %.31s\n", "[Ustawienia]", "CommPort=",
                static_cast<int>(settings.stored_port_number), "Language=", settings.language_code);
  return ReplaceFileContents(path, text);
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
