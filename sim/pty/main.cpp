// korvel-sim: the LPG injection controller, simulated on a pseudo-terminal.
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include <memory>

#include "files/configuration_file.hpp"
#include "korvel_version.hpp"
#include "link/parameter_map.hpp"

#include "sim/controller_model.hpp"
#include "sim/pty/pty_server.hpp"
#include "sim/pty/sim_options.hpp"
#include "texts/plain_file.hpp"

namespace {

volatile std::sig_atomic_t g_stop = 0;
volatile std::sig_atomic_t g_plug = 0;

void OnStopSignal(int) { g_stop = 1; }
void OnPlugSignal(int sig) { g_plug = sig == SIGUSR1 ? -1 : +1; }

}  // namespace

int main(int argc, char** argv) {
  using namespace korvel::sim;
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("korvel-sim %s (revision %s)\n", KORVEL_VERSION, KORVEL_REVISION);
    return 0;
  }
  SimOptions options;
  std::string error;
  if (!ParseSimOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "korvel-sim: %s\n", korvel::PrintableText(error).c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(SimHelpText(), stdout);
    return 0;
  }

  // SIGINT, SIGTERM and SIGHUP end the service. These and the plug signals are blocked except
  // while the server waits, so none slips in between two waits.
  struct sigaction stop_action{};
  stop_action.sa_handler = OnStopSignal;
  sigemptyset(&stop_action.sa_mask);
  sigaction(SIGINT, &stop_action, nullptr);
  sigaction(SIGTERM, &stop_action, nullptr);
  sigaction(SIGHUP, &stop_action, nullptr);
  // SIGUSR1 unplugs the device and SIGUSR2 plugs it back, for a simulator without a terminal.
  struct sigaction plug_action{};
  plug_action.sa_handler = OnPlugSignal;
  sigemptyset(&plug_action.sa_mask);
  sigaction(SIGUSR1, &plug_action, nullptr);
  sigaction(SIGUSR2, &plug_action, nullptr);
  signal(SIGPIPE, SIG_IGN);
  // A simulator started in the background of an interactive shell must not stop on reading the
  // terminal: the read then fails and commands are simply off.
  signal(SIGTTIN, SIG_IGN);
  sigset_t stop_signals;
  sigset_t wait_mask;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGHUP);
  sigaddset(&stop_signals, SIGUSR1);
  sigaddset(&stop_signals, SIGUSR2);
  sigprocmask(SIG_BLOCK, &stop_signals, &wait_mask);
  sigdelset(&wait_mask, SIGINT);
  sigdelset(&wait_mask, SIGTERM);
  sigdelset(&wait_mask, SIGHUP);
  sigdelset(&wait_mask, SIGUSR1);
  sigdelset(&wait_mask, SIGUSR2);

  ControllerModel model(options.engine);
  ApplySimOptions(options, model);
  if (!options.config_path.empty()) {
    korvel::ExpectedStrings keys{};
    korvel::BuildExpectedStrings(keys);
    const korvel::LoadedConfiguration loaded = korvel::ReadConfigurationFile(keys, options.config_path.c_str());
    if (loaded.status != korvel::LoadStatus::kOk) {
      std::fprintf(stderr, "korvel-sim: %s: not a configuration file this controller can take%s%s\n",
                   korvel::PrintableText(options.config_path).c_str(), loaded.reason.empty() ? "" : ": ", loaded.reason.c_str());
      return 2;
    }
    for (int i = 0; i < korvel::kParameterCount; ++i) model.SetParameter(korvel::ParameterMap[i].address, loaded.values[i]);
  }
  std::unique_ptr<DriveReplay> replay;
  if (!options.replay_path.empty()) {
    DriveLog log;
    const auto lambda_type = model.Parameter(korvel::AddressOf(korvel::Parameter::LambdaType));
    if (!ReadDriveLog(options.replay_path.c_str(), lambda_type, log, error)) {
      std::fprintf(stderr, "korvel-sim: %s\n", korvel::PrintableText(error).c_str());
      return 2;
    }
    replay = std::make_unique<DriveReplay>(std::move(log), options.replay_loop);
  } else if (options.replay_loop) {
    std::fprintf(stderr, "korvel-sim: --loop goes with --replay\n");
    return 2;
  }
  PtyServer server(model, stdout, stderr, options.log);
  if (!server.Start(options.link_path, error)) {
    std::fprintf(stderr, "korvel-sim: %s\n", korvel::PrintableText(error).c_str());
    return 1;
  }

  if (replay) server.SetReplay(replay.get());

  int command_fd = STDIN_FILENO;
  if (isatty(command_fd) && tcgetpgrp(command_fd) != getpgrp()) command_fd = -1;  // background job
  server.Run(g_stop, &g_plug, command_fd, &wait_mask);
  std::fprintf(stderr, "korvel-sim: stopped\n");
  return 0;
}
