#include "files/configuration_file.hpp"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "files/file_writing.hpp"
#include "texts/plain_file.hpp"

namespace korvel {

namespace {

constexpr const char* kHeaderLines[3] = {"[Korvel]", "Version=1.2", "[Configuration]"};
// An expected string has at most 29 characters; a longer token cannot match any of them.
constexpr int kMaxTokenLength = 29;

// Makes a token from a file fit for a message: control and non-ASCII bytes as \xNN.
std::string Printable(const char* token, int length) {
  std::string text;
  for (int i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(token[i]);
    if (c >= 0x20 && c < 0x7F) {
      text += static_cast<char>(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      text += escaped;
    }
  }
  return text;
}

// The 31 lines of a configuration file for the records as they are now.
std::string ConfigurationText(const ExpectedStrings& strings, const ControllerLink& link) {
  std::string text;
  char line[48];
  for (int i = 0; i < 3; ++i) {
    std::snprintf(line, sizeof line, "%s\n", strings.entries[i]);
    text += line;
  }
  for (int i = 0; i < kParameterCount; ++i) {
    std::snprintf(line, sizeof line, "%s %d\n", strings.entries[3 + i], StoredParameterValue(link, i));
    text += line;
  }
  return text;
}

// Reads whitespace-separated tokens, at most kMaxTokenLength characters kept; a longer token is
// consumed whole and flagged, so a file without whitespace never overruns anything.
class TokenReader {
 public:
  explicit TokenReader(std::FILE* file) : file_(file) {}

  struct Token {
    bool present = false;  // false at the end of the file
    bool too_long = false;
    int length = 0;
    char text[kMaxTokenLength + 1] = {};
  };

  Token Next() {
    Token token;
    int c = std::fgetc(file_);
    while (c != EOF && IsSeparator(c)) c = std::fgetc(file_);
    if (c == EOF) return token;
    token.present = true;
    while (c != EOF && !IsSeparator(c)) {
      if (token.length < kMaxTokenLength) {
        token.text[token.length++] = static_cast<char>(c);
      } else {
        token.too_long = true;
        // Stop at the first surplus character: the load is refused anyway, and a huge file of one
        // token is not read to its end.
        break;
      }
      c = std::fgetc(file_);
    }
    token.text[token.length] = '\0';
    return token;
  }

 private:
  // The separators of the C locale: blank, tab, line feed, vertical tab, form feed, carriage
  // return. So both line ends are accepted.
  static bool IsSeparator(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

  std::FILE* file_;
};

bool SameText(const TokenReader::Token& token, const char* expected) {
  const size_t length = std::strlen(expected);
  return !token.too_long && static_cast<size_t>(token.length) == length &&
         std::memcmp(token.text, expected, length) == 0;
}

// A decimal integer with an optional sign, the whole token, within the signed 32-bit range the
// window program reads numbers in. Keeps the low 8 bits, so 300 gives 44 and -1 gives 255.
enum class NumberCheck { kGood, kNotANumber, kOutOfRange };
NumberCheck ParseLowByte(const TokenReader::Token& token, uint8_t& value) {
  if (token.too_long || token.length == 0) return NumberCheck::kNotANumber;
  int i = 0;
  bool negative = false;
  if (token.text[0] == '+' || token.text[0] == '-') {
    negative = token.text[0] == '-';
    i = 1;
  }
  if (i == token.length) return NumberCheck::kNotANumber;
  int64_t magnitude = 0;
  bool too_big = false;
  for (; i < token.length; ++i) {
    const char c = token.text[i];
    if (c < '0' || c > '9') return NumberCheck::kNotANumber;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > int64_t{1} << 31) {
      too_big = true;
      magnitude = int64_t{1} << 31;  // stays small; the digits are still checked
    }
  }
  const int64_t number = negative ? -magnitude : magnitude;
  if (too_big || number > INT32_MAX || number < INT32_MIN) return NumberCheck::kOutOfRange;
  value = static_cast<uint8_t>(static_cast<uint64_t>(number) & 0xFF);
  return NumberCheck::kGood;
}

std::string DescribeMismatch(const TokenReader::Token& token, const char* expected) {
  if (!token.present) return std::string("the file ends where \"") + expected + "\" was expected";
  if (token.too_long) {
    return std::string("a word longer than 29 characters (\"") + Printable(token.text, token.length) +
           "...\") where \"" + expected + "\" was expected";
  }
  return std::string("\"") + Printable(token.text, token.length) + "\" where \"" + expected + "\" was expected";
}

}  // namespace

void BuildExpectedStrings(ExpectedStrings& strings) {
  for (int i = 0; i < 3; ++i) {
    std::snprintf(strings.entries[i], sizeof strings.entries[i], "%s", kHeaderLines[i]);
  }
  for (int i = 0; i < kParameterCount; ++i) {
    std::snprintf(strings.entries[3 + i], sizeof strings.entries[3 + i], "%s=", ParameterMap[i].name);
  }
}

Result SaveConfigurationFile(const ExpectedStrings& strings, const ControllerLink& link, const char* path) {
  return ReplaceFileContents(path, ConfigurationText(strings, link));
}

LoadedConfiguration ReadConfigurationFile(const ExpectedStrings& strings, const char* path) {
  LoadedConfiguration loaded;
  std::FILE* file = OpenPlainFile(path, loaded.reason);
  if (file == nullptr) {
    loaded.status = LoadStatus::kCannotOpen;
    return loaded;
  }
  TokenReader reader(file);
  loaded.status = LoadStatus::kKeyMismatch;
  bool good = true;
  for (int i = 0; i < 3 && good; ++i) {
    const TokenReader::Token token = reader.Next();
    if (!SameText(token, strings.entries[i])) {
      loaded.reason = DescribeMismatch(token, strings.entries[i]);
      good = false;
    }
  }
  uint8_t values[kParameterCount] = {};
  for (int i = 0; i < kParameterCount && good; ++i) {
    const char* key = strings.entries[3 + i];
    const TokenReader::Token token = reader.Next();
    if (!SameText(token, key)) {
      loaded.reason = DescribeMismatch(token, key);
      good = false;
      break;
    }
    const TokenReader::Token number = reader.Next();
    if (!number.present) {
      loaded.reason = std::string("the file ends before the value of \"") + key + "\"";
      good = false;
    } else {
      const NumberCheck check = ParseLowByte(number, values[i]);
      if (check != NumberCheck::kGood) {
        loaded.reason = std::string("the value of \"") + key + "\" " +
                        (check == NumberCheck::kOutOfRange ? "is outside -2147483648..2147483647"
                                                           : "is not a number") +
                        ": \"" + Printable(number.text, number.length) + (number.too_long ? "...\"" : "\"");
        good = false;
      }
    }
  }
  // Whatever follows the last parameter line is not read, as before. A read error (a directory,
  // a device gone) is not a short file: it is reported as a file that cannot be read.
  const bool read_error = std::ferror(file) != 0;
  const int error = errno;
  std::fclose(file);
  if (read_error) {
    loaded.status = LoadStatus::kCannotOpen;
    loaded.reason = "cannot read \"" + PrintableText(path) + "\": " + std::strerror(error);
    return loaded;
  }
  if (good) {
    loaded.status = LoadStatus::kOk;
    std::memcpy(loaded.values, values, sizeof values);
  }
  return loaded;
}

std::optional<int> WriteConfiguration(ControllerLink& link, const uint8_t (&values)[kParameterCount]) {
  for (int i = 0; i < kParameterCount; ++i) {
    if (link.WriteParameter(ParameterMap[i].address, values[i]) != kWriteAcknowledged) return i;
  }
  return std::nullopt;
}

}  // namespace korvel
