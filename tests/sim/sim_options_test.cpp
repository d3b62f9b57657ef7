#include "sim/pty/sim_options.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvel::sim {
namespace {

bool Parse(std::vector<const char*> args, SimOptions& options, std::string& error) {
  args.insert(args.begin(), "korvel-sim");
  return ParseSimOptions(static_cast<int>(args.size()), args.data(), options, error);
}

TEST(SimOptionsTest, ReadsEveryOption) {
  SimOptions o;
  std::string error;
  ASSERT_TRUE(Parse({"--link", "bin/ports/COM1", "--log", "--variant", "3", "--firmware", "9", "--scenario", "cruise",
                     "--seed", "42", "--ambient", "-5", "--warmup", "60", "--warm", "--fast-forward", "12.5",
                     "--wire-timing", "--turnaround", "2.5", "--silence", "--bad-checksum", "0.25", "--short-replies",
                     "2", "--noise", "4", "--other-variant", "--no-ack", "--short-ack", "--slow", "--late", "0.2",
                     "--late-sums-right", "--adapter-latency", "16", "--replay", "drive.csv", "--loop", "--config",
                     "start.kvs"},
                    o, error))
      << error;
  EXPECT_EQ(o.link_path, "bin/ports/COM1");
  EXPECT_TRUE(o.log);
  EXPECT_EQ(o.variant, 3);
  EXPECT_EQ(o.firmware, 9);
  EXPECT_EQ(o.engine.scenario, Scenario::kCruise);
  EXPECT_EQ(o.engine.seed, 42u);
  EXPECT_DOUBLE_EQ(o.engine.ambient_c, -5.0);
  EXPECT_DOUBLE_EQ(o.engine.warmup_s, 60.0);
  EXPECT_TRUE(o.warm);
  EXPECT_DOUBLE_EQ(o.fast_forward_s, 12.5);
  EXPECT_TRUE(o.wire_timing);
  EXPECT_DOUBLE_EQ(o.turnaround_ms, 2.5);
  EXPECT_TRUE(o.faults.silence);
  EXPECT_DOUBLE_EQ(o.faults.bad_checksum_fraction, 0.25);
  EXPECT_EQ(o.faults.short_reply_missing, 2);
  EXPECT_EQ(o.faults.noise_bytes, 4);
  EXPECT_TRUE(o.faults.other_variant && o.faults.no_acknowledgement && o.faults.short_acknowledgement &&
              o.faults.slow_replies && o.faults.late_reply_sums_right);
  EXPECT_DOUBLE_EQ(o.faults.late_reply_fraction, 0.2);
  EXPECT_EQ(o.replay_path, "drive.csv");
  EXPECT_TRUE(o.replay_loop);
  EXPECT_EQ(o.config_path, "start.kvs");

  ControllerModel model(o.engine);
  ApplySimOptions(o, model);
  EXPECT_EQ(model.IdentityReply()[2], 0x49);  // other-variant: 3, firmware 9
  EXPECT_TRUE(model.wire.enabled);
  EXPECT_EQ(model.wire.turnaround_us, 2500u);
  EXPECT_EQ(model.wire.adapter_latency_us, 16000u);
  EXPECT_EQ(model.UptimeMs(), 12500u);
}

TEST(SimOptionsTest, SetStartsTheControllerWithTheGivenParameterBytes) {
  SimOptions o;
  std::string error;
  ASSERT_TRUE(Parse({"--set", "Options=0x04", "--set", "AttMin_BJ=7", "--set", "LPGOffRPMHi=0xff", "--set",
                     "Options=106"},
                    o, error))
      << error;
  ControllerModel model(o.engine);
  ApplySimOptions(o, model);
  EXPECT_EQ(model.Parameter(5), 106);  // the last --set of a key wins
  EXPECT_EQ(model.Parameter(32), 7);   // AttMin_BJ sits beyond the command address
  EXPECT_EQ(model.Parameter(28), 0xFF);
  EXPECT_EQ(model.ConfigReply()[1], 106);
}

TEST(SimOptionsTest, RefusesUnknownOptionsAndBadValues) {
  const std::vector<std::vector<const char*>> bad = {
      {"--frobnicate"}, {"--variant", "0"},      {"--variant", "9"},       {"--firmware", "32"},
      {"--variant"},    {"--scenario", "race"},  {"--bad-checksum", "1.5"}, {"--turnaround", "x"},
      {"--link", ""},   {"--noise", "-1"},       {"--seed", "12abc"},
      {"--set", "Options"}, {"--set", "Frobs=1"}, {"--set", "AttMax=256"}, {"--set", "AttMax=0x"},
      {"--set", "AttMax=0x0x5"}, {"--set", "AttMax=0x100"}, {"--set", "=5"}, {"--set"}};
  for (const auto& args : bad) {
    SimOptions o;
    std::string error;
    EXPECT_FALSE(Parse(args, o, error)) << args[0];
    EXPECT_FALSE(error.empty());
  }
}

TEST(SimOptionsTest, CommandsSwitchFaultsWhileRunning) {
  ControllerModel model;
  int plug = 0;
  bool quit = false;
  RunSimCommand("silence on", model, plug, quit);
  EXPECT_TRUE(model.faults.silence);
  RunSimCommand("silence off", model, plug, quit);
  EXPECT_FALSE(model.faults.silence);
  RunSimCommand("slow", model, plug, quit);  // no argument: on
  EXPECT_TRUE(model.faults.slow_replies);
  RunSimCommand("bad-checksum 0.5", model, plug, quit);
  EXPECT_DOUBLE_EQ(model.faults.bad_checksum_fraction, 0.5);
  RunSimCommand("noise 3", model, plug, quit);
  RunSimCommand("short-replies 1", model, plug, quit);
  RunSimCommand("turnaround 4", model, plug, quit);
  RunSimCommand("wire-timing on", model, plug, quit);
  RunSimCommand("adapter-latency 4", model, plug, quit);
  RunSimCommand("late 0.3", model, plug, quit);
  RunSimCommand("late-sums-right on", model, plug, quit);
  EXPECT_EQ(model.wire.adapter_latency_us, 4000u);
  EXPECT_DOUBLE_EQ(model.faults.late_reply_fraction, 0.3);
  EXPECT_TRUE(model.faults.late_reply_sums_right);
  EXPECT_EQ(model.faults.noise_bytes, 3);
  EXPECT_EQ(model.faults.short_reply_missing, 1);
  EXPECT_EQ(model.wire.turnaround_us, 4000u);
  EXPECT_TRUE(model.wire.enabled);
  RunSimCommand("clear", model, plug, quit);
  EXPECT_FALSE(model.faults.Any());
  EXPECT_EQ(plug, 0);

  RunSimCommand("unplug", model, plug, quit);
  EXPECT_EQ(plug, -1);
  model.Unplug();
  RunSimCommand("clear", model, plug, quit);  // a missing device comes back
  EXPECT_EQ(plug, +1);

  EXPECT_NE(RunSimCommand("noise lots", model, plug, quit).find("cannot"), std::string::npos);
  EXPECT_NE(RunSimCommand("variant 12", model, plug, quit).find("cannot"), std::string::npos);
  EXPECT_NE(RunSimCommand("status", model, plug, quit).find("faults:"), std::string::npos);
  EXPECT_FALSE(quit);
  RunSimCommand("quit", model, plug, quit);
  EXPECT_TRUE(quit);
}

// Each line fault at the edges of its range, by command and by option, and the status line that
// lists what is on: a value past the edge is refused and leaves the fault as it was.
TEST(SimOptionsTest, FaultValuesAtTheirEdgesAndTheStatusLineListsThem) {
  ControllerModel model;
  int plug = 0;
  bool quit = false;
  const struct {
    const char* command;
    bool taken;
  } cases[] = {
      {"noise 0", true},          {"noise 32", true},          {"noise 33", false},
      {"short-replies 0", true},  {"short-replies 16", true},  {"short-replies 17", false},
      {"bad-checksum 0", true},   {"bad-checksum 1", true},    {"bad-checksum 1.01", false},
      {"late 0", true},           {"late 1", true},            {"late -0.1", false},
      {"slow maybe", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RunSimCommand(c.command, model, plug, quit).find("cannot") == std::string::npos, c.taken) << c.command;
  }
  EXPECT_EQ(model.faults.noise_bytes, 32);
  EXPECT_EQ(model.faults.short_reply_missing, 16);
  RunSimCommand("clear", model, plug, quit);
  EXPECT_NE(StatusLine(model).find("faults: none"), std::string::npos);
  for (const char* command : {"silence", "bad-checksum 0.25", "short-replies 1", "noise 5", "other-variant", "no-ack",
                              "short-ack", "slow", "late 0.1", "late-sums-right"}) {
    RunSimCommand(command, model, plug, quit);
  }
  const std::string status = StatusLine(model);
  EXPECT_NE(status.find("faults: silence bad-checksum 0.25 short-replies 1 noise 5 other-variant no-ack short-ack slow "
                        "late 0.10 late-sums-right"),
            std::string::npos)
      << status;

  SimOptions options;
  std::string error;
  const char* argv[] = {"korvel-sim", "--noise", "0", "--short-replies", "16", "--slow"};
  ASSERT_TRUE(ParseSimOptions(6, argv, options, error)) << error;
  EXPECT_EQ(options.faults.short_reply_missing, 16);
  EXPECT_TRUE(options.faults.slow_replies);
  const char* too_many[] = {"korvel-sim", "--noise", "33"};
  EXPECT_FALSE(ParseSimOptions(3, too_many, options, error));
  EXPECT_NE(error.find("--noise has a bad value '33'"), std::string::npos) << error;
}

// Each setting that the command line and the command input share, at the edges of its range: the
// option and the command take the same values and leave the controller the same; a refused
// command says so and leaves the controller as it was.
TEST(SimOptionsTest, SharedSettingsTakeTheSameValuesAsOptionAndAsCommand) {
  const struct {
    const char* name;
    const char* value;
    bool taken;
  } cases[] = {
      {"variant", "1", true},          {"variant", "8", true},           {"variant", "0", false},
      {"variant", "9", false},         {"variant", "2.0", false},        {"firmware", "0", true},
      {"firmware", "31", true},        {"firmware", "-1", false},        {"firmware", "32", false},
      {"turnaround", "0", true},       {"turnaround", "10000", true},    {"turnaround", "10000.5", false},
      {"turnaround", "-0.5", false},   {"adapter-latency", "0.5", true}, {"adapter-latency", "1000", true},
      {"adapter-latency", "1000.1", false}, {"adapter-latency", "-1", false}, {"fast-forward", "0.5", true},
      {"fast-forward", "86400.5", false},   {"fast-forward", "-1", false},
  };
  for (const auto& c : cases) {
    const std::string option = std::string("--") + c.name;
    const std::string command = std::string(c.name) + " " + c.value;
    SimOptions o;
    std::string error;
    EXPECT_EQ(Parse({option.c_str(), c.value}, o, error), c.taken) << option << " " << c.value;
    ControllerModel by_option(o.engine);
    ApplySimOptions(o, by_option);
    ControllerModel by_command;
    const std::string before = StatusLine(by_command);
    int plug = 0;
    bool quit = false;
    const std::string reply = RunSimCommand(command, by_command, plug, quit);
    if (c.taken) {
      EXPECT_EQ(reply, StatusLine(by_option)) << command;
    } else {
      EXPECT_EQ(reply, "cannot do '" + command + "' (type help)");
      EXPECT_EQ(StatusLine(by_command), before) << command;
    }
  }
  SimOptions o;
  std::string error;
  EXPECT_TRUE(Parse({"--fast-forward", "86400"}, o, error)) << error;

  ControllerModel model;
  int plug = 0;
  bool quit = false;
  RunSimCommand("wire-timing", model, plug, quit);
  EXPECT_TRUE(model.wire.enabled);
  RunSimCommand("wire-timing off", model, plug, quit);
  EXPECT_FALSE(model.wire.enabled);
  EXPECT_EQ(RunSimCommand("wire-timing maybe", model, plug, quit), "cannot do 'wire-timing maybe' (type help)");
}

TEST(SimOptionsTest, LearnAndResetCommandsActOnTheController) {
  ControllerModel model;
  int plug = 0;
  bool quit = false;
  model.SetParameter(7, 30);
  RunSimCommand("reset", model, plug, quit);
  EXPECT_EQ(model.Parameter(7), 22);
  RunSimCommand("learn", model, plug, quit);  // on petrol: fails at once
  EXPECT_EQ(model.Learning(), LearningState::kFailed);
}

}  // namespace
}  // namespace korvel::sim
