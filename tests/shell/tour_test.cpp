// The fitter's tour: the whole program on the headless window system against the in-process
// controller visits every page in both languages, changes the size, writes on each parameter page,
// saves and loads a parameter file, reads the program information and restores the factory set.
// Every frame on the wire and every reply is logged the way `korvel-sim --log` prints them (without
// time stamps), with a line per step saying which page, template and caption are shown. The log
// must equal tests/shell/tour.expected: a change that alters what goes over the wire, or in what
// order, or which page is built, shows up here as the first differing line.
// KORVEL_TOUR_WRITE=<file> writes the log to that file instead (to record a deliberate change).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "pages/configuration/configuration_controls.hpp"
#include "pages/options/options_controls.hpp"
#include "pages/readings/readings_controls.hpp"
#include "pages/service/reset_controls.hpp"
#include "tests/shell/shell_fixture.hpp"

#ifndef KORVEL_TOUR_EXPECTED
#error "KORVEL_TOUR_EXPECTED must name the expected tour log"
#endif

namespace korvel::testing {
namespace {

// A port that passes everything to the simulated one and logs the bytes each way: "rx" for what
// the controller receives, "tx" for what it answers, as the simulator's own log names them.
class LoggingPort : public SerialPort {
 public:
  LoggingPort(SerialPort& inner, std::string& log) : inner_(inner), log_(log) {}
  OpenResult Open(const char* name) override {
    const OpenResult opened = inner_.Open(name);
    log_ += std::string("open ") + name + (opened.status == OpenStatus::kOpen ? "\n" : " failed\n");
    return opened;
  }
  void Close() override {
    log_ += "close\n";
    inner_.Close();
  }
  void PurgeInput() override { inner_.PurgeInput(); }
  void PurgeOutput() override { inner_.PurgeOutput(); }
  int Write(const uint8_t* data, int count) override {
    const int written = inner_.Write(data, count);
    Line("rx", data, written);
    return written;
  }
  int Read(uint8_t* buffer, int count) override {
    const int read = inner_.Read(buffer, count);
    if (read < count) {
      Line("tx", buffer, read, " (short of " + std::to_string(count) + ")");
    } else {
      Line("tx", buffer, read);
    }
    return read;
  }
  void Sleep(uint32_t ms) override { inner_.Sleep(ms); }

 private:
  void Line(const char* direction, const uint8_t* bytes, int count, const std::string& note = "") {
    std::string line = direction;
    char hex[4];
    for (int i = 0; i < count; ++i) {
      std::snprintf(hex, sizeof hex, " %02X", bytes[i]);
      line += hex;
    }
    log_ += line + note + "\n";
  }

  SerialPort& inner_;
  std::string& log_;
};

class TourTest : public ShellTest {
 protected:
  void Begin(Size desktop) {
    host_ = std::make_unique<headless::HeadlessHost>(clock_, desktop);
    host_->on_message_box = [this](const headless::MessageBoxRecord& box) {
      log_ += "# message box \"" + box.caption + "\": \"" + box.text + "\"\n";
    };
    app_ = std::make_unique<Application>(logging_, *host_);
    ASSERT_TRUE(app_->Start());
    Paint();
  }
  // A step of the tour: a line saying what it was and what is shown, then the frames it caused.
  void Step(const std::string& what) {
    log_ += "# " + what;
    if (page() != nullptr) log_ += ": template " + std::to_string(page()->template_id());
    log_ += ", caption \"" + host().main_title + "\"\n";
  }
  void Command(int id, const std::string& what) {
    host().UserMenuCommand(id);
    Paint();  // the window system paints the window whose page changed; pages start polling there
    Step(what);
    host().RunFor(700);
  }

  std::string log_;
  LoggingPort logging_{port_, log_};
};

TEST_F(TourTest, EveryPageBothLanguagesASizeChangeAndAWriteOnEachParameterPageKeepTheirWireLog) {
  Begin({800, 600});
  Step("start");
  host().RunFor(1000);
  for (const char* language : {"Polish", "English"}) {
    const std::string in = std::string(" in ") + language;
    if (std::string(language) == "English") Command(kCommandEnglish, "English");
    Command(kCommandConfiguration, "Configuration" + in);
    Command(kCommandOptions, "Options" + in);
    Command(kCommandOscilloscope, "Oscilloscope" + in);
    Command(kCommandSchema, "Schema" + in);
    Command(kCommandReset, "Reset" + in);
    Command(kCommandReadings, "Readings" + in);
  }
  Command(kCommandPolish, "Polish");

  // Writes on the Configuration page: a list and the gas-opening box.
  Command(kCommandConfiguration, "Configuration for writing");
  ASSERT_TRUE(page()->UserChoose(kLambdaRangeList, 3));
  Step("lambda range chosen");
  host().RunFor(300);
  ASSERT_TRUE(page()->UserClick(kOtwarcieGazuBox));
  Step("gas-opening box clicked");
  host().RunFor(300);

  // Writes on the Options page and in its corrections dialog.
  Command(kCommandOptions, "Options for writing");
  ASSERT_TRUE(page()->UserChoose(kAttMaxList, 5));
  Step("Att max chosen");
  host().RunFor(300);
  ASSERT_TRUE(page()->UserClick(kAttInitBox));
  Step("AttInit box clicked");
  host().RunFor(300);
  ASSERT_TRUE(page()->UserClick(kAccelerationBox));
  Step("acceleration box clicked");
  host().RunFor(300);
  host().on_modal_dialog = [this](headless::HeadlessWindow& dialog) {
    Step("corrections dialog " + std::to_string(dialog.template_id()));
    host().RunFor(300);
    EXPECT_TRUE(dialog.UserChoose(kLoLowCorrectionList, 3));
    Step("correction chosen");
    host().RunFor(300);
    dialog.UserCancel();
  };
  ASSERT_TRUE(page()->UserClick(kCorrectionsButton));
  host().on_modal_dialog = nullptr;
  Step("corrections dialog closed");
  host().RunFor(300);

  // A size change on a parameter page and on the Readings page, then back.
  Command(40028, "640x480 on Options");
  Command(kCommandReadings, "Readings at 640x480");
  // The car is still on petrol: the learn button is refused without a frame.
  ASSERT_TRUE(page()->UserClick(kLearnButtonId));
  Step("learn button pressed");
  host().RunFor(700);
  Command(40029, "800x600");

  // The parameter set to a file and back.
  const std::string path = (root_ / "tour.kvs").string();
  host().save_file_answers.push_back(path);
  Command(kCommandSaveAs, "saved");
  host().open_file_answers.push_back(path);
  host().message_box_answers = {kIdYes, kIdYes};
  Command(kCommandOpen, "loaded");

  // The program information box reads the firmware version while it is open.
  host().on_modal_dialog = [this](headless::HeadlessWindow& dialog) {
    host().RunFor(700);
    Step("program information " + std::to_string(dialog.template_id()) + " shows \"" +
         dialog.Text(1125) + "\"");
    dialog.UserClick(1);
  };
  Command(kCommandAbout, "program information closed");
  host().on_modal_dialog = nullptr;

  // The factory reset.
  Command(kCommandReset, "Reset for the factory set");
  host().message_box_answers = {kIdYes};
  ASSERT_TRUE(page()->UserClick(kResetButton));
  Step("reset pressed");
  host().RunFor(700);
  Command(kCommandReadings, "Readings after the reset");

  if (const char* out = std::getenv("KORVEL_TOUR_WRITE")) {
    WriteWholeFile(out, log_);
    GTEST_SKIP() << "tour log written to " << out;
  }
  const std::string expected = ReadWholeFile(KORVEL_TOUR_EXPECTED);
  if (log_ == expected) return;
  // Point at the first line that differs rather than printing two long logs.
  size_t line = 1, at = 0;
  while (at < log_.size() && at < expected.size() && log_[at] == expected[at]) {
    if (log_[at] == '\n') ++line;
    ++at;
  }
  auto line_at = [](const std::string& text, size_t pos) {
    const size_t start = text.rfind('\n', pos == 0 ? 0 : pos - 1);
    const size_t begin = start == std::string::npos ? 0 : start + 1;
    return text.substr(begin, text.find('\n', begin) - begin);
  };
  ADD_FAILURE() << "the tour's wire log differs from " << KORVEL_TOUR_EXPECTED << " at line " << line
                << "\n  expected: " << line_at(expected, at) << "\n  now:      " << line_at(log_, at);
}

}  // namespace
}  // namespace korvel::testing
