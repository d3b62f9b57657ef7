#pragma once
#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "link/clock.hpp"
#include "link/serial_port.hpp"
#include "sim/controller_model.hpp"
#include "sim/frame_assembler.hpp"

namespace korvel::sim {

// A serial port wired straight to a ControllerModel, on a virtual clock. It keeps the time-out
// rule of every SerialPort exactly: Read(n) returns when n bytes are in, after 100 + 10 n ms at
// most, or 50 ms after the last byte when the next one does not follow. Time passes only inside
// the port: writes and replies take their wire time (when the model's wire timing is on), a read
// waits on the clock for bytes that are still on their way, a read with no reply advances the
// clock by its whole time-out, and Sleep() advances it.
class SimulatedPort : public SerialPort {
 public:
  SimulatedPort(ControllerModel& model, VirtualClock& clock);

  OpenResult Open(const char* port_name) override;
  void Close() override;
  void PurgeInput() override;
  void PurgeOutput() override;
  int Write(const uint8_t* data, int count) override;
  int Read(uint8_t* buffer, int count) override;
  bool InputFollowsWithin(uint32_t ms) override;
  void Sleep(uint32_t ms) override;

  void ClearFrames() { frames.clear(); }
  bool IsOpen() const { return open_; }
  // Bytes sent by the controller that the port has not handed out yet (arrived or on their way).
  int PendingInput() const { return static_cast<int>(input_.size()); }

  // Every 4-byte frame the controller received, in order (wrong checksums included).
  std::vector<std::array<uint8_t, kFrameLength>> frames;
  // When not empty, only this port name opens (the controller hangs on one port only).
  std::string device_name;
  int open_count = 0;   // successful opens
  int close_count = 0;  // closes of an open port
  std::string last_open_name;
  // What the system says when the port will not open (an unplugged device, another port name).
  std::string refusal = "No such file or directory";

 private:
  struct Incoming {
    uint64_t arrival_us;
    uint8_t byte;
  };
  struct Held {
    uint64_t due_us;  // when the controller starts sending it
    Reply reply;
  };
  bool Alive();  // open, and the device has not been unplugged since
  // Puts a reply on the line from `first_us` on, after whatever is already on its way.
  void Queue(const Reply& reply, uint64_t first_us);
  // Late replies due by `until_us` start going out (after whatever is already on its way).
  void ReleaseLate(uint64_t until_us);

  ControllerModel& model_;
  VirtualClock& clock_;
  bool open_ = false;
  uint32_t open_generation_ = 0;
  FrameAssembler assembler_;
  std::deque<Incoming> input_;  // in arrival order
  std::deque<Held> late_;       // late replies the controller has not started sending yet, by due time
  uint64_t read_deadline_us_ = 0;  // the total time-out of the last Read
};

}  // namespace korvel::sim
