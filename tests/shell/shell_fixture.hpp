#pragma once
// A fresh world for each shell test: a working tree in a temporary directory (bin/ as the working
// directory, Lang/ beside it with two small language files whose slot n reads "P<n>" / "E<n>"),
// the in-process controller on a virtual clock, the headless window system and the application.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "pages/common/size_classes.hpp"
#include "shell/application.hpp"
#include "sim/controller_model.hpp"
#include "sim/simulated_port.hpp"
#include "tests/headless/headless_host.hpp"

namespace korvel::testing {

namespace fs = std::filesystem;

inline std::string ReadWholeFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void WriteWholeFile(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

// Slot n of the test language files: "P<n>" in Polish, "E<n>" in English.
inline std::string Slot(char language, int n) { return std::string(1, language) + std::to_string(n); }

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/korvel_shell_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    fs::create_directories(root_ / "bin");
    fs::create_directories(root_ / "Lang");
    WriteLanguage("pol", 'P');
    WriteLanguage("ang", 'E');
    old_cwd_ = fs::current_path();
    fs::current_path(root_ / "bin");
  }

  void TearDown() override {
    app_.reset();
    host_.reset();
    fs::current_path(old_cwd_);
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  void WriteLanguage(const char* code, char letter) {
    std::string text;
    for (int n = 0; n < kLanguageSlots; ++n) text += "Key" + std::to_string(n) + "=" + Slot(letter, n) + "\n";
    WriteWholeFile(root_ / "Lang" / (std::string("Korvel_lang.") + code), text);
  }

  // Creates the window system with the desktop given and starts the program (creation handler).
  void Start(Size desktop = {800, 600}) {
    host_ = std::make_unique<headless::HeadlessHost>(clock_, desktop);
    app_ = std::make_unique<Application>(port_, *host_);
    ASSERT_TRUE(app_->Start());
  }

  // A paint of the main window: the pages start their timers from it.
  void Paint() { host_->PaintMainWindow(); }

  // Lets the Readings page poll until the controller has answered and the configuration and
  // options records are in.
  void ConnectAndPoll() {
    Paint();
    host_->RunFor(1000);
    ASSERT_TRUE(app_->link.Connected());
    ASSERT_EQ(app_->link.ConfigRecord[0], kLeadByte);
    ASSERT_EQ(app_->link.OptionsRecord[0], kLeadByte);
  }

  headless::HeadlessHost& host() { return *host_; }
  Application& app() { return *app_; }
  headless::HeadlessWindow* page() { return host_->CurrentPage(); }
  std::string SettingsText() { return ReadWholeFile(root_ / "bin" / "Korvel.ini"); }
  const headless::MenuItemState& Item(int id) {
    const headless::MenuItemState* item = host_->MenuItem(id);
    EXPECT_NE(item, nullptr) << "menu item " << id;
    static const headless::MenuItemState kNone{};
    return item != nullptr ? *item : kNone;
  }

  fs::path root_;
  fs::path old_cwd_;
  VirtualClock clock_;
  sim::ControllerModel model_;
  sim::SimulatedPort port_{model_, clock_};
  std::unique_ptr<headless::HeadlessHost> host_;
  std::unique_ptr<Application> app_;
};

}  // namespace korvel::testing
