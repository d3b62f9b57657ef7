#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "files/settings_file.hpp"
#include "tests/texts/test_files.hpp"

namespace korvel {
namespace {

using testing_files::ReadBytes;
using testing_files::TempDir;
using testing_files::WriteBytes;

constexpr const char* kDefaultFile = "[Ustawienia]\nCommPort= 1\nLanguage= pol\n";

// What the main window does at start: read, map the port, keep the port actually chosen.
struct Started {
  SettingsState settings;
  std::string port_name;
};
Started Start(const std::string& path) {
  Started started;
  ReadSettingsFile(started.settings, path.c_str());
  started.port_name = PortNameFromNumber(started.settings.stored_port_number);
  started.settings.stored_port_number = PortNumberChosen(started.settings.stored_port_number);
  return started;
}

TEST(SettingsFile, FirstStartCreatesTheFileWithTheDefaults) {
  TempDir dir;
  const std::string path = dir.Path("Korvel.ini");
  SettingsState settings;
  ReadSettingsFile(settings, path.c_str());
  EXPECT_EQ(settings.stored_port_number, 1);
  EXPECT_STREQ(settings.language_code, "pol");
  EXPECT_EQ(ReadBytes(path), kDefaultFile);
  EXPECT_STREQ(PortNameFromNumber(settings.stored_port_number), "COM1:");
}

TEST(SettingsFile, WrittenChoicesReadBackAndALanguageChangeKeepsThePort) {
  TempDir dir;
  const std::string path = dir.Path("Korvel.ini");
  SettingsState settings{3, "pol"};
  WriteSettingsFile(settings, path.c_str());
  EXPECT_EQ(ReadBytes(path), "[Ustawienia]\nCommPort= 3\nLanguage= pol\n");

  Started started = Start(path);
  EXPECT_EQ(started.port_name, "COM3:");
  std::snprintf(started.settings.language_code, sizeof started.settings.language_code, "%s", "ang");
  WriteSettingsFile(started.settings, path.c_str());
  EXPECT_EQ(ReadBytes(path), "[Ustawienia]\nCommPort= 3\nLanguage= ang\n");
}

TEST(SettingsFile, PortLineWithoutTheBlankGivesCom1AndStillTheLanguage) {
  TempDir dir;
  const std::string path = dir.Path("Korvel.ini");
  WriteBytes(path, "[Ustawienia]\nCommPort=3\nLanguage= ang\n");
  SettingsState settings;
  ReadSettingsFile(settings, path.c_str());
  EXPECT_EQ(settings.stored_port_number, 0);
  EXPECT_STREQ(settings.language_code, "ang");
  EXPECT_STREQ(PortNameFromNumber(settings.stored_port_number), "COM1:");
}

TEST(SettingsFile, PortOutsideOneToFourSelectsCom1AndTheNextRewriteStoresOne) {
  for (const char* number : {"7", "0", "-3", "99999999999"}) {
    TempDir dir;
    const std::string path = dir.Path("Korvel.ini");
    WriteBytes(path, std::string("[Ustawienia]\r\nCommPort= ") + number + "\r\nLanguage= pol\r\n");
    Started started = Start(path);
    EXPECT_EQ(started.port_name, "COM1:") << number;
    WriteSettingsFile(started.settings, path.c_str());
    EXPECT_EQ(ReadBytes(path), kDefaultFile) << number;
  }
  for (int32_t n = 1; n <= 4; ++n) EXPECT_EQ(PortNumberChosen(n), n);
  EXPECT_STREQ(PortNameFromNumber(4), "COM4:");
  EXPECT_STREQ(PortNameFromNumber(5), "COM1:");
}

TEST(SettingsFile, AnyLanguageCodeIsKept) {
  TempDir dir;
  const std::string path = dir.Path("Korvel.ini");
  WriteBytes(path, "[Ustawienia]\nCommPort= 2\nLanguage= deu\n");
  SettingsState settings;
  ReadSettingsFile(settings, path.c_str());
  EXPECT_EQ(settings.stored_port_number, 2);
  EXPECT_STREQ(settings.language_code, "deu");
}

TEST(SettingsFile, TokensLongerThan31CharactersKeepTheirFirst31) {
  TempDir dir;
  const std::string path = dir.Path("Korvel.ini");
  const std::string long_section(300, 'S');
  const std::string long_code = "abcdefghijklmnopqrstuvwxyz0123456789";
  WriteBytes(path, "[" + long_section + "]\nCommPortWithAVeryLongKeyName_________= 4\nLanguageKeyAlsoFarTooLong______________= " +
                       long_code + "\n");
  SettingsState settings;
  ReadSettingsFile(settings, path.c_str());
  EXPECT_EQ(settings.stored_port_number, 4);
  EXPECT_EQ(std::string(settings.language_code), long_code.substr(0, 31));
  WriteSettingsFile(settings, path.c_str());
  EXPECT_EQ(ReadBytes(path), "[Ustawienia]\nCommPort= 4\nLanguage= " + long_code.substr(0, 31) + "\n");
}

TEST(SettingsFile, MissingTokensLeaveTheLastTokenRead) {
  TempDir dir;
  const std::string path = dir.Path("Korvel.ini");
  WriteBytes(path, "[Ustawienia]\nCommPort= 2\n");
  SettingsState settings;
  ReadSettingsFile(settings, path.c_str());
  EXPECT_EQ(settings.stored_port_number, 2);
  EXPECT_STREQ(settings.language_code, "CommPort=");

  WriteBytes(path, "");
  SettingsState empty_file;
  ReadSettingsFile(empty_file, path.c_str());
  EXPECT_EQ(empty_file.stored_port_number, 0);
  EXPECT_STREQ(empty_file.language_code, "");
  EXPECT_EQ(ReadBytes(path), "");  // an existing file is read, never replaced by the defaults
}

TEST(SettingsFile, UnwritableLocationIsSilent) {
  TempDir dir;
  const std::string path = dir.Path("no-such-directory/Korvel.ini");
  SettingsState settings;
  ReadSettingsFile(settings, path.c_str());
  EXPECT_EQ(settings.stored_port_number, 1);
  EXPECT_STREQ(settings.language_code, "pol");
  WriteSettingsFile(settings, path.c_str());
  EXPECT_EQ(access(path.c_str(), F_OK), -1);
}

TEST(SettingsFile, ExistingUnreadableFileIsNotOverwrittenWithTheDefaults) {
  if (geteuid() == 0) GTEST_SKIP() << "the superuser can read any file";
  TempDir dir;
  const std::string path = dir.Path("Korvel.ini");
  WriteBytes(path, "[Ustawienia]\nCommPort= 3\nLanguage= ang\n");
  ASSERT_EQ(chmod(path.c_str(), 0200), 0);
  SettingsState settings;
  ReadSettingsFile(settings, path.c_str());
  EXPECT_EQ(settings.stored_port_number, 1);
  EXPECT_STREQ(settings.language_code, "pol");
  ASSERT_EQ(chmod(path.c_str(), 0600), 0);
  EXPECT_EQ(ReadBytes(path), "[Ustawienia]\nCommPort= 3\nLanguage= ang\n");
}

}  // namespace
}  // namespace korvel
