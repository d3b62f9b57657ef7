// Every consumer of the controller link against every fault of the simulated line and controller,
// on the virtual clock. Each cell sets the consumer up, lets it work, switches one fault on, keeps
// the consumer going through it, switches the fault off and watches it come back. One checker
// judges every cell the same way:
//   - no tick and no command blocks longer than the read time-outs of its exchanges;
//   - every record the link holds is all zero or a reply the controller really sent for it;
//   - parameter writes reach only a controller that reports variant 2;
//   - the link is lost on the third failed identity exchange in a row and back on the first good
//     reply (a wrong checksum is no such failure);
//   - the consumer works again within one second of the fault clearing;
//   - korvelctl exits with the status its help documents and never leaves a half-written file.
// The matrix is printed whole; the test fails when any cell is not "ok".
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "files/configuration_file.hpp"
#include "korvelctl/korvelctl.hpp"
#include "link/live_data.hpp"
#include "link/parameter_map.hpp"
#include "pages/configuration/configuration_controls.hpp"
#include "pages/configuration/configuration_page.hpp"
#include "pages/options/options_page.hpp"
#include "pages/oscilloscope/oscilloscope_page.hpp"
#include "pages/readings/readings_page.hpp"
#include "pages/service/about_dialog.hpp"
#include "pages/service/reset_page.hpp"
#include "tests/pages/page_world.hpp"
#include "texts/text_slots.hpp"

namespace korvel::testing {
namespace {

namespace fs = std::filesystem;

// The longest an exchange pattern may block: the sum of its read time-outs.
uint64_t ReadBound(std::initializer_list<int> lengths) {
  uint64_t ms = 0;
  for (int n : lengths) ms += ReadTotalTimeoutMs(n);
  return ms;
}
const uint64_t kIdentityMs = ReadBound({4});
const uint64_t kPollAllMs = ReadBound({4, 11, 15, 16});
const uint64_t kAckMs = ReadBound({3});

// The broken properties of one cell, each with the first detail seen.
struct Verdict {
  std::map<std::string, std::string> broken;
  void Fail(const std::string& property, const std::string& detail) { broken.emplace(property, detail); }
  std::string Summary() const {
    if (broken.empty()) return "ok";
    std::string text;
    for (const auto& [property, detail] : broken) text += (text.empty() ? "" : "; ") + property + " (" + detail + ")";
    return text;
  }
};

std::string Hex(const uint8_t* bytes, size_t count) {
  std::string text;
  char b[4];
  for (size_t i = 0; i < count; ++i) {
    std::snprintf(b, sizeof b, "%02X", bytes[i]);
    text += (i ? " " : "") + std::string(b);
  }
  return text;
}

// The simulated port as every consumer sees it, watched: it knows each request and the reply the
// controller meant to send, and checks the link after every exchange (at the next frame written
// and at the end of every step). It watches the port and controller it is attached to.
class WatchedPort : public SerialPort {
 public:
  explicit WatchedPort(Verdict& verdict) : verdict_(verdict) {}
  void Attach(sim::SimulatedPort& inner, sim::ControllerModel& model) {
    inner_ = &inner;
    model_ = &model;
  }

  OpenResult Open(const char* port_name) override { return inner_->Open(port_name); }
  void Close() override { inner_->Close(); }
  void PurgeInput() override { inner_->PurgeInput(); }
  void PurgeOutput() override { inner_->PurgeOutput(); }
  void Sleep(uint32_t ms) override { inner_->Sleep(ms); }
  // A reply with more bytes right behind it is no reply of its own: the link takes it as corrupt,
  // which neither counts an identity failure nor brings the link back.
  bool InputFollowsWithin(uint32_t ms) override {
    const bool follows = inner_->InputFollowsWithin(ms);
    if (follows && last_was_write_) last_ack = 0;
    if (follows && last_whole_ != 0) {
      if (fresh_added_) fresh.erase(last_whole_);
      if (last_whole_ == 1) {
        failures_ = failures_before_;
        expected_connected_ = connected_before_;
      }
    }
    last_whole_ = 0;
    last_was_write_ = false;
    return follows;
  }

  int Write(const uint8_t* data, int count) override {
    CheckLink();
    request_ = 0;
    writing_ = false;
    if (count == 4 && data[1] == data[2] && data[1] >= 1 && data[1] <= 4) {
      request_ = data[1];
    } else if (count == 4) {
      writing_ = true;
      const int variant = (model_->IdentityReply()[2] >> 5) + 1;
      if (variant != 2) verdict_.Fail("write to a variant-" + std::to_string(variant) + " controller", Hex(data, 4));
    }
    const int sent = inner_->Write(data, count);
    if (request_ != 0) genuine_[request_].insert(GenuineReply(request_));
    // The device goes or comes back between the request and its reply.
    if (unplug_at_next_write) model_->Unplug();
    if (replug_at_next_write) model_->Replug();
    unplug_at_next_write = replug_at_next_write = false;
    return sent;
  }

  int Read(uint8_t* buffer, int count) override {
    const int got = inner_->Read(buffer, count);
    std::array<uint8_t, 16> reply{};
    std::copy(buffer, buffer + std::clamp(got, 0, std::min(count, 16)), reply.begin());
    const bool lead = reply[0] == kLeadByte;
    const bool whole = got == count && lead && FrameChecksum(reply.data(), count - 1) == reply[count - 1];
    if (writing_) last_ack = got;
    last_was_write_ = writing_;
    last_whole_ = whole ? request_ : 0;
    fresh_added_ = request_ != 0 && whole && fresh.insert(request_).second;
    failures_before_ = failures_;
    connected_before_ = expected_connected_;
    if (request_ == 1) {
      // The connection the link must show after this identity exchange.
      if (whole) {
        failures_ = 0;
        expected_connected_ = true;
      } else if (!lead && ++failures_ >= 3) {
        expected_connected_ = false;
      }
      identity_pending_ = true;
    }
    request_ = 0;
    writing_ = false;
    return got;
  }

  // Checks the watched link: its records, and its connection after the last identity exchange.
  void CheckLink() {
    if (link == nullptr) return;
    CheckRecord(1, "identity", link->IdentityRecord, sizeof link->IdentityRecord);
    CheckRecord(2, "live-data", link->LiveDataRecord, sizeof link->LiveDataRecord);
    CheckRecord(3, "configuration", link->ConfigRecord, sizeof link->ConfigRecord);
    CheckRecord(4, "options", link->OptionsRecord, sizeof link->OptionsRecord);
    if (identity_pending_ && link->Connected() != expected_connected_) {
      verdict_.Fail("connection state", std::string(expected_connected_ ? "lost" : "kept") + " after " +
                                            std::to_string(failures_) + " failed identity exchanges");
    }
    identity_pending_ = false;
  }

  // Forgets what the consumer has received so far; Works() asks for fresh evidence.
  void MarkFresh() {
    fresh.clear();
    last_ack = -1;
  }

  const ControllerLink* link = nullptr;  // null: korvelctl, whose link is its own
  bool unplug_at_next_write = false;
  bool replug_at_next_write = false;
  std::set<int> fresh;  // requests answered whole since MarkFresh
  int last_ack = -1;    // acknowledgement bytes of the last parameter write

 private:
  std::vector<uint8_t> GenuineReply(int request) const {
    switch (request) {
      case 1: {
        const auto r = model_->IdentityReply();
        return {r.begin(), r.end()};
      }
      case 2: {
        const auto r = model_->LiveDataReply();
        return {r.begin(), r.end()};
      }
      case 3: {
        const auto r = model_->ConfigReply();
        return {r.begin(), r.end()};
      }
      default: {
        const auto r = model_->OptionsReply();
        return {r.begin(), r.end()};
      }
    }
  }
  void CheckRecord(int request, const char* name, const uint8_t* record, size_t size) {
    std::vector<uint8_t> bytes(record, record + size);
    if (std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; })) return;
    if (genuine_[request].count(bytes) == 0) verdict_.Fail("bad record", std::string(name) + " " + Hex(record, size));
  }

  sim::SimulatedPort* inner_ = nullptr;
  sim::ControllerModel* model_ = nullptr;
  Verdict& verdict_;
  int request_ = 0;
  bool writing_ = false;
  std::map<int, std::set<std::vector<uint8_t>>> genuine_;
  int failures_ = 0;
  bool expected_connected_ = false;
  bool identity_pending_ = false;
  // The last read, for a reply that turns out to have more bytes behind it.
  int last_whole_ = 0;
  bool last_was_write_ = false;
  bool fresh_added_ = false;
  int failures_before_ = 0;
  bool connected_before_ = false;
};

// The verdict and the watched port, made before the page world that puts the port under its link.
struct Watch {
  Verdict verdict;
  WatchedPort watched{verdict};
};

// One cell's world: the page world of size class 2 with the watched port between its link and
// the simulated controller.
struct World : Watch, PageWorld {
  World() : PageWorld(2, {1024, 768}, {}, &watched) {
    watched.Attach(port, model);
    watched.link = &link;
  }

  uint64_t NowMs() const { return clock.NowMs(); }
  // Fails the cell when `elapsed_us` exceeds `bound_ms`.
  void CheckBlocked(const char* what, uint64_t elapsed_us, uint64_t bound_ms) {
    if (elapsed_us > bound_ms * 1000) {
      verdict.Fail(std::string(what) + " blocked too long",
                   std::to_string(elapsed_us / 1000) + " ms > " + std::to_string(bound_ms) + " ms");
    }
  }

};

// ---------------------------------------------------------------------------------------------
// Consumers

class Consumer {
 public:
  virtual ~Consumer() = default;
  virtual std::string Name() const = 0;
  // Puts the consumer in place and runs `body` while it is (a modal box runs it from inside).
  virtual void Within(World& w, const std::function<void()>& body) = 0;
  // One step: a millisecond of window time with the ticks and user actions it brings, or one
  // korvelctl run.
  virtual void Step(World& w) = 0;
  // Whether the consumer has done its job since the last MarkFresh.
  virtual bool Works(World& w) = 0;
  // Runs on window timers (steps are milliseconds) rather than one command per step.
  virtual bool OnTimers() const { return true; }
};

// A page or box that polls on its timer; `Act` is a user action, one every 250 ms.
class TimerConsumer : public Consumer {
 public:
  TimerConsumer(uint64_t tick_bound_ms, uint64_t action_bound_ms, std::set<int> records)
      : tick_bound_ms_(tick_bound_ms), action_bound_ms_(action_bound_ms), records_(std::move(records)) {}

  void Step(World& w) override {
    const uint64_t start = w.clock.now_us;
    w.host.RunFor(1);
    const uint64_t elapsed = w.clock.now_us - start;
    w.CheckBlocked("tick", elapsed > 1000 ? elapsed - 1000 : 0, tick_bound_ms_);
    w.watched.CheckLink();
    if (action_bound_ms_ != 0 && w.NowMs() >= next_action_ms_) {
      const uint64_t action_start = w.clock.now_us;
      Act(w);
      w.CheckBlocked("command", w.clock.now_us - action_start, action_bound_ms_);
      w.watched.CheckLink();
      next_action_ms_ = w.NowMs() + 250;
    }
  }
  bool Works(World& w) override {
    if (!w.link.Connected() || w.link.GetControllerVariant() != 2) return false;
    for (int r : records_) {
      if (w.watched.fresh.count(r) == 0) return false;
    }
    return action_bound_ms_ == 0 || w.watched.last_ack == 3;
  }

 protected:
  virtual void Act(World& w) { (void)w; }
  // The page as the world's open page, built and painted (its paint starts the poll timer).
  static void Show(World& w, PageProcedure& page) { w.Open(page).Paint(); }
  int flip_ = 0;  // alternates the position a user action chooses

 private:
  uint64_t tick_bound_ms_;
  uint64_t action_bound_ms_;
  std::set<int> records_;
  uint64_t next_action_ms_ = 0;
};

class ReadingsConsumer : public TimerConsumer {
 public:
  ReadingsConsumer() : TimerConsumer(kPollAllMs, 0, {1, 2, 3, 4}) {}
  std::string Name() const override { return "Readings"; }
  void Within(World& w, const std::function<void()>& body) override {
    ReadingsState state;
    ReadingsPage page(w.context, state);
    Show(w, page);
    body();
  }
  void Step(World& w) override {
    TimerConsumer::Step(w);
    w.window->ClearOps();
  }
};

class ConfigurationConsumer : public TimerConsumer {
 public:
  ConfigurationConsumer() : TimerConsumer(kPollAllMs, kAckMs, {1, 2, 3, 4}) {}
  std::string Name() const override { return "Configuration"; }
  void Within(World& w, const std::function<void()>& body) override {
    ConfigurationState state;
    ConfigurationPage page(w.context, state);
    Show(w, page);
    body();
  }

 protected:
  void Act(World& w) override {
    w.window->UserChoose(kLambdaDelayList, 1 + (flip_++ & 1));
  }
};

class OptionsConsumer : public TimerConsumer {
 public:
  OptionsConsumer() : TimerConsumer(kPollAllMs, kAckMs, {1, 2, 3, 4}) {}
  std::string Name() const override { return "Options"; }
  void Within(World& w, const std::function<void()>& body) override {
    OptionsPage page(w.context);
    Show(w, page);
    body();
  }

 protected:
  void Act(World& w) override {
    w.window->UserChoose(kAttInitList, 77 + (flip_++ & 1));
  }
};

// The corrections dialog, opened from the Options page; the cell runs while it is open.
class CorrectionsConsumer : public TimerConsumer {
 public:
  CorrectionsConsumer() : TimerConsumer(ReadBound({4, 15}), kAckMs, {1, 3}) {}
  std::string Name() const override { return "Options corrections"; }
  void Within(World& w, const std::function<void()>& body) override {
    OptionsPage page(w.context);
    Show(w, page);
    bool ran = false;
    w.host.on_modal_dialog = [&](HeadlessWindow& dialog) {
      dialog_ = &dialog;
      ran = true;
      body();
    };
    w.window->UserClick(kCorrectionsButton);
    w.host.on_modal_dialog = nullptr;
    if (!ran) w.verdict.Fail("corrections dialog", "did not open");
  }

 protected:
  void Act(World& w) override {
    (void)w;
    dialog_->UserChoose(kHiLowCorrectionList, 3 + (flip_++ & 1));
  }

 private:
  HeadlessWindow* dialog_ = nullptr;
};

class OscilloscopeConsumer : public TimerConsumer {
 public:
  // The configuration is read once per connection, on a tick that also reads the live data.
  OscilloscopeConsumer() : TimerConsumer(ReadBound({4, 11, 15}), 0, {1, 2}) {}
  std::string Name() const override { return "Oscilloscope"; }
  void Within(World& w, const std::function<void()>& body) override {
    ScopeState state;
    OscilloscopePage page(w.context, state);
    Show(w, page);
    body();
  }
  void Step(World& w) override {
    TimerConsumer::Step(w);
    w.window->ClearOps();
  }
};

// The program-information box, open over the Readings page as the main window opens it (the page
// timers stand still meanwhile).
class AboutConsumer : public TimerConsumer {
 public:
  AboutConsumer() : TimerConsumer(kIdentityMs, 0, {1}) {}
  std::string Name() const override { return "About box"; }
  void Within(World& w, const std::function<void()>& body) override {
    ReadingsState state;
    ReadingsPage page(w.context, state);
    Show(w, page);
    AboutDialog about(w.context);
    w.host.on_modal_dialog = [&](HeadlessWindow& dialog) {
      dialog_ = &dialog;
      body();
    };
    w.shared.BusyFlag = true;
    w.host.RunModalDialog(kAboutTemplate, about, w.window);
    w.shared.BusyFlag = false;
    w.host.on_modal_dialog = nullptr;
  }
  bool Works(World& w) override {
    return TimerConsumer::Works(w) && dialog_->Text(kControllerVersionId) == "2.05";
  }

 private:
  HeadlessWindow* dialog_ = nullptr;
};

// The Reset page has no timer: the fitter comes to it from a page that found the controller, and
// every action is a press of the reset button.
class ResetConsumer : public TimerConsumer {
 public:
  ResetConsumer() : TimerConsumer(0, ReadBound({4, 3}) + 250, {}) {}
  std::string Name() const override { return "Reset"; }
  void Within(World& w, const std::function<void()>& body) override {
    w.link.ReadIdentity();
    ResetPage page(w.context);
    Show(w, page);
    body();
  }
  bool Works(World& w) override {
    return w.watched.last_ack == 3 && !w.host.message_boxes.empty() &&
           w.host.message_boxes.back().text == T(lang::kResetConfirmed);
  }

 protected:
  void Act(World& w) override {
    w.host.message_boxes.clear();
    w.window->UserClick(kResetButton);
  }
};

// korvelctl, one command line per step, on its own link over the same watched port.
class CtlClockOnVirtualTime : public ctl::CtlClock {
 public:
  explicit CtlClockOnVirtualTime(VirtualClock& clock) : clock_(clock) {}
  int64_t WallMs() override { return 1709647629000 + static_cast<int64_t>(clock_.NowMs()); }
  uint64_t SteadyMs() override { return clock_.NowMs(); }

 private:
  VirtualClock& clock_;
};

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class CtlConsumer : public Consumer {
 public:
  enum class Command { kIdentity, kSave, kLoad, kLive };
  CtlConsumer(Command command, uint64_t bound_ms) : command_(command), bound_ms_(bound_ms) {}

  std::string Name() const override {
    static const char* const kNames[] = {"korvelctl identity", "korvelctl save", "korvelctl load", "korvelctl live"};
    return kNames[static_cast<int>(command_)];
  }
  bool OnTimers() const override { return false; }

  void Within(World& w, const std::function<void()>& body) override {
    w.watched.link = nullptr;
    char name[] = "/tmp/korvel-matrix-XXXXXX";
    dir_ = mkdtemp(name);
    // Live data pinned: every live line must show these values, or zeros once the link is lost.
    w.model.OverrideLive(kAtt, 123);
    // Two files for load that differ in one parameter, so that every load changes the controller.
    BuildExpectedStrings(strings_);
    const uint8_t address = Describe(Parameter::AttMax).address;
    const uint8_t factory = w.model.Parameter(address);
    for (int i = 0; i < 2; ++i) {
      w.model.SetParameter(address, static_cast<uint8_t>(factory + i));
      loads_[i] = (dir_ / ("load" + std::to_string(i) + ".kvs")).string();
      if (Run(w, {"save", loads_[i]}) != 0) w.verdict.Fail("set-up", "saving " + loads_[i] + ": " + err_);
    }
    w.model.SetParameter(address, factory);
    saved_ = dir_ / "car.kvs";
    body();
    fs::remove_all(dir_);
  }

  void Step(World& w) override {
    const std::string before = ReadFile(saved_);
    const uint64_t start = w.clock.now_us;
    switch (command_) {
      case Command::kIdentity:
        status_ = Run(w, {"identity"});
        ok_ = status_ == 0 && out_ == "variant 2, firmware 2.05\n";
        break;
      case Command::kSave:
        status_ = Run(w, {"save", saved_.string()});
        ok_ = status_ == 0 && CheckSaved(w, before);
        break;
      case Command::kLoad: {
        const std::string& file = loads_[flip_++ & 1];
        status_ = Run(w, {"load", file});
        const LoadedConfiguration loaded = ReadConfigurationFile(strings_, file.c_str());
        ok_ = status_ == 0;
        for (int i = 0; ok_ && i < kParameterCount; ++i) ok_ = w.model.Parameter(ParameterMap[i].address) == loaded.values[i];
        break;
      }
      case Command::kLive:
        status_ = Run(w, {"live", "--count", "4"});
        ok_ = status_ == 0 && CheckLive(w);
        break;
    }
    w.CheckBlocked("command", w.clock.now_us - start, bound_ms_);
    if (status_ != 0 && ReadFile(saved_) != before) w.verdict.Fail("half-written file", "a failed save changed it");
    for (const auto& entry : fs::directory_iterator(dir_)) {
      const std::string file = entry.path().filename().string();
      if (file != "car.kvs" && file != "load0.kvs" && file != "load1.kvs") w.verdict.Fail("half-written file", file + " left behind");
    }
    statuses.insert(status_);
    // Time passes between two runs, as between two commands of a workshop script.
    w.clock.AdvanceMs(100);
  }
  bool Works(World& w) override {
    (void)w;
    return ok_;
  }

  std::set<int> statuses;  // every exit status seen since the fault was switched on

 private:
  int Run(World& w, std::vector<std::string> args) {
    args.insert(args.begin(), "korvelctl");
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    CtlClockOnVirtualTime clock(w.clock);
    ctl::Environment env{w.watched, clock, out, err, nullptr, nullptr, nullptr};
    const int status = ctl::RunKorvelctl(static_cast<int>(argv.size()), argv.data(), env);
    out_ = Slurp(out);
    err_ = Slurp(err);
    return status;
  }
  static std::string Slurp(std::FILE* file) {
    std::string text;
    std::rewind(file);
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
    std::fclose(file);
    return text;
  }
  // A saved file reads back whole and holds what the controller holds.
  bool CheckSaved(World& w, const std::string& before) {
    const LoadedConfiguration saved = ReadConfigurationFile(strings_, saved_.string().c_str());
    if (saved.status != LoadStatus::kOk) {
      w.verdict.Fail("half-written file", "save reported success: " + saved.reason);
      (void)before;
      return false;
    }
    for (int i = 0; i < kParameterCount; ++i) {
      if (saved.values[i] != w.model.Parameter(ParameterMap[i].address)) {
        w.verdict.Fail("bad record", std::string("saved ") + ParameterMap[i].name);
        return false;
      }
    }
    return true;
  }
  // Every live line shows the pinned values, or zeros after a loss; works when each was answered.
  bool CheckLive(World& w) {
    std::istringstream lines(out_);
    bool all_answered = true;
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
      if (line.find("Att 123  ") == std::string::npos && line.find("Att   0  AttInit   0") == std::string::npos) {
        w.verdict.Fail("bad record", "live line: " + line);
      }
      if (line.find("no answer") != std::string::npos) all_answered = false;
    }
    return all_answered && count == 4;
  }

  Command command_;
  uint64_t bound_ms_;
  fs::path dir_;
  fs::path saved_;
  std::string loads_[2];
  ExpectedStrings strings_;
  int flip_ = 0;
  int status_ = -1;
  bool ok_ = false;
  std::string out_, err_;
};

// ---------------------------------------------------------------------------------------------
// Faults

struct Fault {
  std::string name;
  std::function<void(World&)> set;
  std::function<void(World&)> clear;
  // korvelctl exit statuses documented for a run that meets this fault, by command (identity,
  // save, load, live); 0 is allowed where the fault may not bite.
  std::array<std::set<int>, 4> statuses;
};

std::vector<Fault> Faults() {
  using ctl::kExitCannotOpenPort;
  using ctl::kExitNoAnswer;
  using ctl::kExitNotAcknowledged;
  using ctl::kExitOk;
  using ctl::kExitWrongVariant;
  const std::set<int> no_answer{kExitNoAnswer};
  const std::set<int> maybe_no_answer{kExitOk, kExitNoAnswer};
  auto faults = [](std::function<void(sim::Faults&)> change) {
    return [change](World& w) { change(w.model.faults); };
  };
  const auto none = faults([](sim::Faults& f) { f = sim::Faults{}; });
  using Set = std::set<int>;
  std::vector<Fault> list;
  auto add = [&list](const char* name, std::function<void(World&)> set, std::function<void(World&)> clear,
                     Set identity, Set save, Set load, Set live) {
    list.push_back({name, std::move(set), std::move(clear), {identity, save, load, live}});
  };
  add("silence", faults([](sim::Faults& f) { f.silence = true; }), none, no_answer, no_answer, no_answer, no_answer);
  add("wrong checksums (1 in 2)", faults([](sim::Faults& f) { f.bad_checksum_fraction = 0.5; }), none,
      maybe_no_answer, maybe_no_answer, maybe_no_answer, maybe_no_answer);
  add("short replies", faults([](sim::Faults& f) { f.short_reply_missing = 3; }), none, no_answer, no_answer,
      no_answer, no_answer);
  add("line noise", faults([](sim::Faults& f) { f.noise_bytes = 3; }), none, no_answer, no_answer, no_answer,
      no_answer);
  const Set wrong_variant{kExitWrongVariant};
  add("variant 3", faults([](sim::Faults& f) { f.other_variant = true; }), none, wrong_variant, wrong_variant,
      wrong_variant, wrong_variant);
  add("no acknowledgement", faults([](sim::Faults& f) { f.no_acknowledgement = true; }), none, {kExitOk}, {kExitOk},
      {kExitNotAcknowledged}, {kExitOk});
  add("short acknowledgement", faults([](sim::Faults& f) { f.short_acknowledgement = true; }), none, {kExitOk},
      {kExitOk}, {kExitNotAcknowledged}, {kExitOk});
  // A reply that comes after the read gave up is discarded before the next request; a write's
  // acknowledgement never comes in time.
  add("slow replies", faults([](sim::Faults& f) { f.slow_replies = true; }), none, maybe_no_answer, maybe_no_answer,
      {kExitNoAnswer, kExitNotAcknowledged}, maybe_no_answer);
  // One reply in ten, of every kind, one to three time-outs late, landing between later exchanges
  // or inside later replies, and bent so that the late bytes and the next reply's head sum right.
  add("late replies (1 in 10)", faults([](sim::Faults& f) {
        f.late_reply_fraction = 0.1;
        f.late_reply_sums_right = true;
      }),
      none, maybe_no_answer, maybe_no_answer, {kExitOk, kExitNoAnswer, kExitNotAcknowledged}, maybe_no_answer);
  const Set unplugged{kExitNoAnswer, kExitCannotOpenPort};
  add(
      "unplug, replug mid-exchange", [](World& w) { w.watched.unplug_at_next_write = true; },
      [](World& w) {
        if (w.model.faults.unplugged) w.watched.replug_at_next_write = true;
      },
      // The device is gone: the port cannot be opened until it is back.
      unplugged, unplugged, {kExitNoAnswer, kExitNotAcknowledged, kExitCannotOpenPort}, unplugged);
  return list;
}

// ---------------------------------------------------------------------------------------------
// The runner

constexpr uint64_t kWarmUpMs = 2000;
constexpr uint64_t kFaultMs = 3000;
constexpr uint64_t kRecoveryMs = 1000;

std::string RunCell(Consumer& consumer, const Fault& fault, int command_index) {
  World w;
  consumer.Within(w, [&] {
    // Working before the fault.
    w.watched.MarkFresh();
    const uint64_t started = w.NowMs();
    int runs = 0;
    while (!consumer.Works(w)) {
      if (consumer.OnTimers() ? w.NowMs() - started > kWarmUpMs : runs++ > 0) {
        w.verdict.Fail("never worked", "before the fault");
        return;
      }
      consumer.Step(w);
    }
    // Through the fault.
    auto* ctl = dynamic_cast<CtlConsumer*>(&consumer);
    if (ctl != nullptr) ctl->statuses.clear();
    fault.set(w);
    const uint64_t fault_start = w.NowMs();
    for (int step = 0; consumer.OnTimers() ? w.NowMs() - fault_start < kFaultMs : step < 2; ++step) consumer.Step(w);
    if (ctl != nullptr) {
      for (int status : ctl->statuses) {
        if (fault.statuses[static_cast<size_t>(command_index)].count(status) == 0) {
          w.verdict.Fail("exit status", std::to_string(status));
        }
      }
    }
    // After it: the replug happens in the middle of the next exchange, so the clock starts there.
    fault.clear(w);
    w.watched.MarkFresh();
    if (!consumer.OnTimers()) {
      // The run during which the device comes back may fail; the next one must not.
      consumer.Step(w);
      if (!consumer.Works(w)) consumer.Step(w);
      if (!consumer.Works(w)) w.verdict.Fail("no recovery", "the second run after the fault failed");
      return;
    }
    uint64_t cleared = w.NowMs();
    while (w.model.faults.unplugged && w.NowMs() - cleared < kFaultMs) consumer.Step(w);
    cleared = w.NowMs();
    while (!consumer.Works(w)) {
      if (w.NowMs() - cleared > kRecoveryMs) {
        w.verdict.Fail("no recovery", "not working 1 s after the fault cleared");
        return;
      }
      consumer.Step(w);
    }
  });
  w.watched.CheckLink();
  return w.verdict.Summary();
}

TEST(FaultMatrix, EveryConsumerSurvivesEveryFaultAndComesBack) {
  using Command = CtlConsumer::Command;
  // korvelctl bounds: three identity polls to connect, then the command's own exchanges.
  const uint64_t connect = 3 * kIdentityMs;
  std::vector<std::function<std::unique_ptr<Consumer>()>> consumers = {
      [] { return std::make_unique<ReadingsConsumer>(); },
      [] { return std::make_unique<ConfigurationConsumer>(); },
      [] { return std::make_unique<OptionsConsumer>(); },
      [] { return std::make_unique<CorrectionsConsumer>(); },
      [] { return std::make_unique<OscilloscopeConsumer>(); },
      [] { return std::make_unique<ResetConsumer>(); },
      [] { return std::make_unique<AboutConsumer>(); },
      [=] { return std::make_unique<CtlConsumer>(Command::kIdentity, connect); },
      [=] { return std::make_unique<CtlConsumer>(Command::kSave, connect + 3 * ReadBound({15, 16, 11})); },
      [=] { return std::make_unique<CtlConsumer>(Command::kLoad, connect + kParameterCount * kAckMs); },
      // Four ticks of the Readings pattern after one configuration read, with the poll period (at
      // most 500 ms) between them.
      [=] { return std::make_unique<CtlConsumer>(Command::kLive, connect + ReadBound({15}) + 4 * kPollAllMs + 3 * 500); },
  };
  const std::vector<Fault> faults = Faults();

  std::string matrix;
  int failed = 0;
  for (const auto& make : consumers) {
    const std::string name = make()->Name();
    matrix += name + "\n";
    for (const Fault& fault : faults) {
      std::unique_ptr<Consumer> consumer = make();
      auto* ctl = dynamic_cast<CtlConsumer*>(consumer.get());
      int command_index = 0;
      if (ctl != nullptr) {
        for (int i = 0; i < 4; ++i) {
          if (name == CtlConsumer(static_cast<Command>(i), 0).Name()) command_index = i;
        }
      }
      const std::string outcome = RunCell(*consumer, fault, command_index);
      if (outcome != "ok") ++failed;
      char line[96];
      std::snprintf(line, sizeof line, "  %-30s ", fault.name.c_str());
      matrix += line + outcome + "\n";
    }
  }
  std::printf("Fault matrix (consumer, fault: outcome)\n%s", matrix.c_str());
  EXPECT_EQ(failed, 0) << "cells not ok:\n" << matrix;
}

}  // namespace
}  // namespace korvel::testing
