#include "texts/language_table.hpp"

#include <algorithm>
#include <cstdio>
#include <string>

#include "texts/plain_file.hpp"

namespace korvel {

namespace {

constexpr int kMaxTextLength = kSlotBytes - 1;

// Upper half of code page 1250 as Unicode code points; 0 marks the five bytes the code page
// leaves undefined.
constexpr char16_t kCp1250High[128] = {
    0x20AC, 0x0000, 0x201A, 0x0000, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x0000, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,  // 0x88
    0x0000, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x0000, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,  // 0x98
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,  // 0xA0
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,  // 0xA8
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,  // 0xB0
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,  // 0xB8
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,  // 0xC0
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,  // 0xC8
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,  // 0xD0
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,  // 0xD8
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,  // 0xE0
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,  // 0xE8
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,  // 0xF0
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,  // 0xF8
};

void AppendUtf8(std::string& out, char16_t code_point) {
  const unsigned cp = code_point;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

void AppendCp1250Byte(std::string& out, unsigned char byte) {
  if (byte < 0x80) {
    out += static_cast<char>(byte);
    return;
  }
  const char16_t cp = kCp1250High[byte - 0x80];
  AppendUtf8(out, cp != 0 ? cp : char16_t{0xFFFD});
}

}  // namespace

void LanguageTextReader::Append(char c) {
  // A zero byte would end the text early and hide what follows; it is left out.
  if (c == '\0' || length_ >= kMaxTextLength) return;
  char* slot = table_.slots[line_];
  slot[length_++] = c;
  slot[length_] = '\0';
}

void LanguageTextReader::Take(char c) {
  if (Done()) return;
  if (after_equals_) {
    // c is the character after an "=": the slot starts again with it alone. The swallowed line
    // feed of an "=" at the end of a line does not itself enter the text.
    after_equals_ = false;
    copying_ = true;
    char* slot = table_.slots[line_];
    length_ = 0;
    slot[0] = '\0';
    if (c != '\n') Append(c);
    return;
  }
  if (c == '\n') {
    ++line_;
    copying_ = false;
    return;
  }
  if (copying_) Append(c);
  if (c == '=') after_equals_ = true;
}

void LanguageTextReader::Feed(const char* bytes, size_t count) {
  for (size_t i = 0; i < count && !Done(); ++i) {
    const char c = bytes[i];
    if (pending_cr_) {
      pending_cr_ = false;
      if (c == '\n') {
        Take('\n');
        continue;
      }
      Take('\r');
    }
    if (c == '\r') {
      pending_cr_ = true;
    } else {
      Take(c);
    }
  }
}

void LanguageTextReader::Finish() {
  if (pending_cr_) {
    pending_cr_ = false;
    Take('\r');
  }
}

bool LoadLanguageTexts(LanguageTable& table, const char* language_code, const char* directory) {
  std::string path = directory != nullptr ? directory : "";
  path += "Korvel_lang.";
  if (language_code != nullptr) path += language_code;

  // A plain file only, read in binary mode on every platform (the reader drops the carriage
  // returns itself). A link to a device or a pipe would never end, so it is not read at all.
  std::string reason;
  std::FILE* file = OpenPlainFile(path.c_str(), reason);
  if (file == nullptr) return false;

  // The real files are a few kilobytes; what lies beyond kMaxLanguageFileBytes is not read, so a
  // huge file cannot hold the program.
  LanguageTextReader reader(table);
  char buffer[4096];
  size_t total = 0;
  while (!reader.Done() && total < kMaxLanguageFileBytes) {
    const size_t want = std::min(sizeof buffer, kMaxLanguageFileBytes - total);
    const size_t got = std::fread(buffer, 1, want, file);
    if (got == 0) break;
    total += got;
    reader.Feed(buffer, got);
  }
  reader.Finish();
  const bool read_error = std::ferror(file) != 0;
  std::fclose(file);
  return !read_error;
}

std::string Cp1250ToUtf8(const char* bytes, int count) {
  std::string out;
  if (bytes == nullptr || count <= 0) return out;
  out.reserve(static_cast<size_t>(count) * 2);
  for (int i = 0; i < count; ++i) AppendCp1250Byte(out, static_cast<unsigned char>(bytes[i]));
  return out;
}

std::string Utf8ToCp1250(const std::string& text) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      out += static_cast<char>(lead);
      ++i;
      continue;
    }
    const int extra = (lead >= 0xF0) ? 3 : (lead >= 0xE0) ? 2 : (lead >= 0xC0) ? 1 : 0;
    unsigned code_point = lead & (0x3Fu >> extra);
    size_t j = i + 1;
    for (int k = 0; k < extra && j < text.size(); ++k, ++j) {
      code_point = (code_point << 6) | (static_cast<unsigned char>(text[j]) & 0x3Fu);
    }
    char mapped = '?';
    for (int byte = 0; byte < 128; ++byte) {
      if (kCp1250High[byte] != 0 && kCp1250High[byte] == code_point) mapped = static_cast<char>(0x80 + byte);
    }
    out += mapped;
    i = j;
  }
  return out;
}

std::string Cp1250ToUtf8(const char* zero_terminated) {
  std::string out;
  if (zero_terminated == nullptr) return out;
  for (const char* p = zero_terminated; *p != '\0'; ++p) AppendCp1250Byte(out, static_cast<unsigned char>(*p));
  return out;
}

// Static labels of the Configuration page: section headings, the check box, the field labels and
// the unit labels, in the order they are applied.
const LabelBinding ConfigurationPageLabels[] = {
    {1130, 35}, {1131, 36}, {1132, 37}, {1133, 38},
    {1074, 39}, {1075, 40}, {1076, 41}, {1077, 42}, {1078, 43}, {1079, 44}, {1080, 45},
    {1081, 46}, {1082, 47}, {1083, 48}, {1084, 49}, {1085, 50}, {1086, 51},
    {1088, 52}, {1089, 53}, {1090, 54}, {1091, 55}, {1092, 56},
    {1087, 57},
    {1093, 58}, {1094, 59}, {1095, 60},
};
const int ConfigurationPageLabelCount = sizeof ConfigurationPageLabels / sizeof ConfigurationPageLabels[0];

// Static labels of the Options page: section headings, the corrections button, the check boxes,
// the field labels and the unit labels, in the order they are applied.
const LabelBinding OptionsPageLabels[] = {
    {1134, 92}, {1135, 93}, {1136, 94}, {1137, 95}, {1138, 96},
    {1014, 97},
    {1034, 104}, {1075, 105}, {1076, 106}, {1077, 107}, {1078, 108},
    {1039, 109}, {1064, 110}, {1065, 111}, {1040, 112}, {1066, 113}, {1067, 114}, {1041, 115}, {1042, 116},
    {1079, 117}, {1057, 118}, {1085, 119}, {1086, 120}, {1088, 121},
    {1139, 122}, {1058, 123}, {1059, 124}, {1060, 125}, {1061, 126}, {1062, 127}, {1063, 128},
};
const int OptionsPageLabelCount = sizeof OptionsPageLabels / sizeof OptionsPageLabels[0];

}  // namespace korvel
