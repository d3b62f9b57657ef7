#pragma once
// The page world with the Readings page open on template 101, and what Readings tests look up in
// its drawing: the message lines, the texts at design positions and the learning lamp.
#include <gtest/gtest.h>

#include <string>

#include "link/live_data.hpp"
#include "pages/readings/readings_page.hpp"
#include "tests/pages/page_world.hpp"
#include "texts/text_slots.hpp"

namespace korvel::readings_test {

using headless::DrawKind;
using headless::DrawOp;
using headless::HeadlessHost;
using headless::HeadlessWindow;
using testing::T;

// Design y of the message lines 1..5.
constexpr int kLineY[6] = {0, 405, 425, 445, 465, 485};

// The operation a lookup found; a missing one fails the test with `what` instead of crashing it,
// and stands in as an empty operation so that the test can go on.
inline const DrawOp& Found(const DrawOp* op, const std::string& what) {
  static const DrawOp kMissing{};
  if (op == nullptr) {
    ADD_FAILURE() << what << " was not drawn";
    return kMissing;
  }
  return *op;
}

struct ReadingsWorld : testing::PageWorld {
  explicit ReadingsWorld(int size_class = 2, const sim::EngineSettings& engine = sim::EngineSettings{})
      : PageWorld(size_class, {800, 600}, engine) {
    Open(page, kReadingsTemplate, false);
  }

  uint8_t& Live(int byte) { return link.LiveDataRecord[byte]; }
  // Redraws the values only (what a tick does after its polls).
  void Draw() { page.DrawReadingsValues(*window); }

  // The text of message line 1..5 as last drawn in the recorded operations ("" when none).
  std::string Line(int line) const {
    const DrawOp* op = LastTextAt(40, kLineY[line]);
    return op ? op->text : std::string();
  }
  const DrawOp* LineOp(int line) const { return LastTextAt(40, kLineY[line]); }
  // The same lookups for a text that must be there.
  const DrawOp& TextAt(int x, int y) const {
    return Found(LastTextAt(x, y), "a text at (" + std::to_string(x) + ", " + std::to_string(y) + ")");
  }
  const DrawOp& LineDrawn(int line) const { return Found(LineOp(line), "message line " + std::to_string(line)); }

  // Brush of the learning lamp in the recorded operations (the last ellipse at the lamp).
  const DrawOp* Lamp() const {
    const DrawOp* found = nullptr;
    for (const DrawOp& op : window->ops) {
      if (op.kind == DrawKind::kEllipse && op.left == X(635) && op.top == Y(470)) found = &op;
    }
    return found;
  }
  const DrawOp& LampDrawn() const { return Found(Lamp(), "the learning lamp"); }

  ReadingsState state;
  ReadingsPage page{context, state};
};

inline std::string Spaces(int n) { return std::string(static_cast<size_t>(n), ' '); }

}  // namespace korvel::readings_test
