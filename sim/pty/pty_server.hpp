#pragma once
#include <signal.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <string>

#include "sim/controller_model.hpp"
#include "sim/replay.hpp"
#include "sim/frame_assembler.hpp"

namespace korvel::sim {

// Serves a ControllerModel on a pseudo-terminal in real time. The service tool opens the slave
// side like any serial device; the server holds the master side for as long as it runs, so the
// tool may close and reopen the port at will. While no one has the port open the server waits in
// short sleeps instead of spinning on the master's hang-up.
class PtyServer {
 public:
  // `out` receives the device path (and a new one after a replug) and, with `log`, one line per
  // frame received and per reply sent; `info` receives notices and command answers.
  PtyServer(ControllerModel& model, std::FILE* out, std::FILE* info, bool log);
  ~PtyServer();
  PtyServer(const PtyServer&) = delete;
  PtyServer& operator=(const PtyServer&) = delete;

  // Creates the device and, when `link_path` is not empty, the symlink to it.
  bool Start(const std::string& link_path, std::string& error);
  const std::string& device_path() const { return device_path_; }

  // The device disappears (its symlink too); a replug creates a new one and points the link at it.
  void Unplug();
  bool Replug(std::string& error);

  // Serves until `stop` is set (from a signal handler) or the "quit" command. Commands are read
  // line by line from `command_fd` (-1: none). `plug` (may be null), set from a signal handler,
  // asks for an unplug (-1) or a replug (+1). The wait unblocks the signals of `wait_mask` only,
  // so a signal that arrives between two waits is not missed.
  void Run(volatile std::sig_atomic_t& stop, volatile std::sig_atomic_t* plug, int command_fd,
           const sigset_t* wait_mask);

  // Microseconds since the server started (the model's clock).
  uint64_t NowUs() const;

  // Answers live-data requests from a recorded drive from now on (nullptr: the engine model).
  void SetReplay(const DriveReplay* replay);

 private:
  struct Outgoing {
    Reply reply;
    uint64_t first_us;  // when its first byte starts on the wire
    int sent = 0;
  };

  bool CreateDevice(std::string& error);
  void CloseDevice();
  void AnnounceDevice();
  bool PointLink(std::string& error);
  void RemoveLink();
  void ReadMaster(uint64_t now_us);
  void HandleFrame(const std::array<uint8_t, kFrameLength>& frame, uint64_t at_us, uint64_t now_us);
  void SendDue(uint64_t now_us);
  // Delivers the reply bytes that reached the tool's adapter by `until_us`; false on a lost peer.
  bool Deliver(uint64_t until_us);
  // When the next byte of the front reply reaches the tool's adapter.
  uint64_t NextByteUs() const;
  // Queues a reply that starts no earlier than `first_us`, after the one still going out.
  void Queue(const Reply& reply, uint64_t first_us);
  // Late replies due by `until_us` start going out.
  void ReleaseLate(uint64_t until_us);

  const DriveReplay* replay_ = nullptr;
  bool replay_started_ = false;
  uint64_t replay_start_us_ = 0;
  bool replay_finished_said_ = false;
  uint64_t NextDueUs() const;
  void PeerGone();
  void HandleCommands(int& command_fd, bool& quit);
  void Log(uint64_t at_us, const char* direction, const uint8_t* bytes, int count, const char* note);

  ControllerModel& model_;
  std::FILE* out_;
  std::FILE* info_;
  bool log_;
  uint64_t start_us_ = 0;
  int master_ = -1;
  bool peer_present_ = false;
  std::string device_path_;
  std::string link_path_;
  FrameAssembler assembler_;
  uint64_t rx_wire_until_us_ = 0;  // emulated end of the last request byte on the wire
  std::deque<Outgoing> outgoing_;
  std::deque<Outgoing> late_;        // late replies not started yet, by the time they are due
  uint64_t batch_until_us_ = 0;      // adapter latency: when the open batch is handed on (0: none)
  std::string command_buffer_;
};

}  // namespace korvel::sim
