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

// SIGINT, SIGTERM and SIGHUP end the service; SIGUSR1 unplugs the device and SIGUSR2 plugs it back,
// for a simulator without a terminal. All five are blocked except while the server waits, so none
// slips in between two waits; returns the mask the server waits with.
sigset_t InstallSignalHandlers() {
  struct sigaction stop_action{};
  stop_action.sa_handler = OnStopSignal;
  sigemptyset(&stop_action.sa_mask);
  struct sigaction plug_action{};
  plug_action.sa_handler = OnPlugSignal;
  sigemptyset(&plug_action.sa_mask);
  sigset_t handled;
  sigemptyset(&handled);
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2}) {
    sigaction(sig, sig == SIGUSR1 || sig == SIGUSR2 ? &plug_action : &stop_action, nullptr);
    sigaddset(&handled, sig);
  }
  signal(SIGPIPE, SIG_IGN);
  // A simulator started in the background of an interactive shell must not stop on reading the
  // terminal: the read then fails and commands are simply off.
  signal(SIGTTIN, SIG_IGN);
  sigset_t wait_mask;
  sigprocmask(SIG_BLOCK, &handled, &wait_mask);
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2}) sigdelset(&wait_mask, sig);
  return wait_mask;
}

// The parameters of a configuration file the simulator starts with; false (said on stderr) for a
// file this controller could not take.
bool LoadStartingParameters(const std::string& path, korvel::sim::ControllerModel& model) {
  korvel::ExpectedStrings keys{};
  korvel::BuildExpectedStrings(keys);
  const korvel::LoadedConfiguration loaded = korvel::ReadConfigurationFile(keys, path.c_str());
  if (loaded.status != korvel::LoadStatus::kOk) {
    std::fprintf(stderr, "korvel-sim: %s: not a configuration file this controller can take%s%s\n",
                 korvel::PrintableText(path).c_str(), loaded.reason.empty() ? "" : ": ", loaded.reason.c_str());
    return false;
  }
  for (int i = 0; i < korvel::kParameterCount; ++i) model.SetParameter(korvel::ParameterMap[i].address, loaded.values[i]);
  return true;
}

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

  sigset_t wait_mask = InstallSignalHandlers();

  ControllerModel model(options.engine);
  ApplySimOptions(options, model);
  if (!options.config_path.empty() && !LoadStartingParameters(options.config_path, model)) return 2;
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
