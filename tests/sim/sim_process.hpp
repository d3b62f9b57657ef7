#pragma once
// Starts the built korvel-sim as a child process with pipes on its standard streams, for the
// end-to-end tests over a real pseudo-terminal.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace korvel::sim::testing {

class SimProcess {
 public:
  SimProcess() = default;
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;
  ~SimProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    for (int fd : {in_, out_, err_}) {
      if (fd >= 0) close(fd);
    }
  }

  // Starts korvel-sim with `args`; with `wait_for_device`, waits for the device line.
  bool Start(const std::vector<std::string>& args, bool wait_for_device = true) {
    int in[2], out[2], err[2];
    if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) return false;
    pid_ = fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      dup2(err[1], 2);
      for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
      std::vector<char*> argv;
      argv.push_back(const_cast<char*>(KORVEL_SIM_BINARY));
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(KORVEL_SIM_BINARY, argv.data());
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    in_ = in[1];
    out_ = out[0];
    err_ = err[0];
    fcntl(out_, F_SETFL, O_NONBLOCK);
    fcntl(err_, F_SETFL, O_NONBLOCK);
    if (!wait_for_device) return true;
    std::string line;
    if (!NextLine(out_, out_buffer_, line, 5000)) return false;
    device = line;
    return true;
  }

  // Sends one command line and waits for the simulator's answer on standard error.
  bool Command(const std::string& command) {
    Drain(err_, err_buffer_);  // notices from before are not the answer
    err_buffer_.clear();
    const std::string line = command + "\n";
    if (write(in_, line.data(), line.size()) != static_cast<ssize_t>(line.size())) return false;
    std::string answer;
    return NextLine(err_, err_buffer_, answer, 5000);
  }

  // The next line on standard output (log lines, device paths), waiting up to `timeout_ms`.
  bool OutputLine(std::string& line, int timeout_ms = 2000) { return NextLine(out_, out_buffer_, line, timeout_ms); }
  // Every output line that arrives within `ms`.
  std::vector<std::string> OutputFor(int ms) {
    std::vector<std::string> lines;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (std::string line;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      if (left.count() <= 0 || !NextLine(out_, out_buffer_, line, static_cast<int>(left.count()))) break;
      lines.push_back(line);
    }
    return lines;
  }

  void Signal(int sig) {
    if (pid_ > 0) kill(pid_, sig);
  }

  // Sends `sig` and waits for the exit status (-1 when it does not end within 5 s).
  int Stop(int sig = SIGTERM) {
    if (pid_ <= 0) return -1;
    kill(pid_, sig);
    return Wait(5000);
  }

  int Wait(int timeout_ms) {
    for (int waited = 0; waited <= timeout_ms; waited += 10) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      usleep(10000);
    }
    return -1;
  }

  // Everything written to standard error so far.
  std::string ErrorText() {
    Drain(err_, err_buffer_);
    return err_buffer_;
  }

  std::string device;

 private:
  static void Drain(int fd, std::string& buffer) {
    char chunk[1024];
    for (ssize_t n; (n = read(fd, chunk, sizeof chunk)) > 0;) buffer.append(chunk, static_cast<size_t>(n));
  }

  static bool NextLine(int fd, std::string& buffer, std::string& line, int timeout_ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
      Drain(fd, buffer);
      const size_t nl = buffer.find('\n');
      if (nl != std::string::npos) {
        line = buffer.substr(0, nl);
        buffer.erase(0, nl + 1);
        return true;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
      if ((p.revents & POLLIN) == 0) return false;
    }
  }

  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  int err_ = -1;
  std::string out_buffer_;
  std::string err_buffer_;
};

}  // namespace korvel::sim::testing
