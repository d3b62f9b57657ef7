#pragma once
// What the lower half of the Readings page tells the fitter on one tick: the five message lines,
// the state box and the learning lamp. The decision is a pure function of the controller's
// records and the page state; drawing it is a separate, short step.
#include <array>
#include "texts/text_slots.hpp"
#include <cstdint>

#include "link/controller_link.hpp"
#include "pages/common/shared_state.hpp"
#include "platform/drawing.hpp"
#include "texts/language_table.hpp"

namespace korvel {

// Lasting state of the Readings page: it survives the page window (page switches, size and
// language changes). One instance, owned by the application object.
struct ReadingsState {
  uint32_t ConfigPollCount = 0;
  bool LearnRequested = false;
  bool LpgOnShown = false;
  bool LearningShown = false;
  uint32_t MessageAge = 0;
  bool SegmentRaised = false;
  uint32_t blink_counter = 0;
  bool BlinkPhase = false;
  uint32_t LastDrawnSpeed = 0;
  uint32_t LpgOffSpeedShown = 0;
  uint32_t LastNeedleIndex = 0;
  uint32_t last_att_init_drawn = 0;
};

// Design position of the message lines 1..5 (index 0 unused).
constexpr int kMessageX = 40;
constexpr int kMessageLineY[6] = {0, 405, 425, 445, 465, 485};
// The widest run of spaces each line is ever blanked with; a text is drawn over such a run so that
// nothing of a longer text before it stays standing.
constexpr int kMessageLineSpaces[6] = {0, 55, 55, 73, 55, 65};
// Pressing the learn button during a running cycle says so (lang::kLearningCancelled) on line 5.
constexpr int kLearnCancelledLine = 5;

// What the controller reports that the messages depend on.
struct MessageInputs {
  bool connected = false;
  uint32_t variant = 0;
  uint8_t indicator_flags = 0;  // live data
  uint8_t state_flags = 0;      // live data
  uint8_t emul_type = 0;        // configuration
  uint8_t options = 0;          // configuration
  uint32_t engine_speed = 0;    // of this tick
  uint32_t lpg_on_speed = 0;    // from the options record
};
// The inputs as the link holds them after this tick's polls.
MessageInputs MessageInputsFrom(ControllerLink& link, uint32_t engine_speed);

// One write on a message line: a language text (drawn whole over the line's widest blanking run)
// or a run of `spaces` blanks alone.
struct MessageStep {
  int line = 0;
  int slot = -1;  // -1: blank only
  int spaces = 0;
  bool red = false;
};

enum class StateBoxShown : uint8_t { kUnchanged, kPetrol, kLpg };

struct MessagePanel {
  std::array<MessageStep, 6> steps{};
  int step_count = 0;
  StateBoxShown state_box = StateBoxShown::kUnchanged;
  Brush lamp = Brush::BrushOlive;
  ReadingsState next;  // the page state after this tick
};

// The decision of one tick: which texts and blanks go on which lines in which order and colour,
// the state box, the lamp and the flags left for the learn button and the next tick.
MessagePanel DecideMessagePanel(const MessageInputs& in, const ReadingsState& state);

// Draws a decided panel with the text and shape contexts of a page (LabelFont selected).
void DrawMessagePanel(Canvas& text, Canvas& shape, const SharedState& shared, const LanguageTable& texts,
                      const MessagePanel& panel);

}  // namespace korvel
