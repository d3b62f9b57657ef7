#include "sim/frame_assembler.hpp"

#include <cstddef>

namespace korvel::sim {

bool FrameAssembler::Feed(uint8_t byte, uint64_t now_us) {
  if (count_ > 0 && now_us > last_us_ + kFrameGapUs) count_ = 0;
  last_us_ = now_us;
  if (count_ == 0 && byte != 0x65) return false;  // waiting for a lead byte
  frame[static_cast<size_t>(count_++)] = byte;
  if (count_ < 4) return false;
  count_ = 0;
  return true;
}

}  // namespace korvel::sim
