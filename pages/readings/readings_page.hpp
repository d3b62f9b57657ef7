#pragma once
#include <cstdint>

#include "pages/common/page_context.hpp"
#include "platform/window.hpp"

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

// The Readings page procedure (template 101) and its drawing.
class ReadingsPage : public WindowProc {
 public:
  ReadingsPage(PageContext& context, ReadingsState& state) : context_(context), state_(state) {}

  void DrawReadingsFrame(Window& page);
  void DrawReadingsValues(Window& page);
  void DrawDial(Window& page);

  bool OnInitDialog(Window& page) override;
  void OnPaint(Window& page) override;
  void OnTimer(Window& page, int timer_id) override;
  void OnCommand(Window& page, int control_id, int code) override;

 private:
  PageContext& context_;
  ReadingsState& state_;
};

}  // namespace korvel
