#pragma once
#include <cstdint>

#include "pages/common/page_context.hpp"
#include "pages/common/page_procedure.hpp"
#include "pages/oscilloscope/oscilloscope_controls.hpp"
#include "pages/oscilloscope/scope_values.hpp"
#include "platform/window.hpp"

namespace korvel {

constexpr uint32_t kScopePollPeriodMs = 20;
// Points 1..400 of a trace's redraw line (index 0 is not used).
constexpr int kRedrawPoints = 401;

// Lasting state of the Oscilloscope page: it survives the page window, so the cursor mode, the
// cursor slot and the configuration read of this connection carry over to the next visit. The
// history and the redraw points are cleared each time the page is created. One instance, owned by
// the application object; nothing in it is allocated per tick.
struct ScopeState {
  ScopeSample SampleHistory[kHistorySlots] = {};
  Point TraceRedrawPoints[kScopeTraceCount][kRedrawPoints] = {};
  uint32_t SweepPosition = kSweepStart;
  bool ValueCursorMode = false;
  uint32_t CursorSlot = kFirstCursorSlot;
  uint32_t DrawnCursorSlot = 0;
  bool PwaTraceEnabled = true;
  uint32_t ConfigurationRead = 0;  // 1 once the configuration was read on this connection
  int32_t previous_y[kScopeTraceCount] = {};  // device y of each trace's last point
};

// The Oscilloscope page procedure (template 159) and its drawing.
class OscilloscopePage : public PageProcedure {
 public:
  OscilloscopePage(PageContext& context, ScopeState& state) : context_(context), state_(state) {}

  int TemplateFor(int size_class) const override;
  void Build(Window& page) override;
  bool PaintFromMainWindow(Window& page) override;

  // Clears the history and lays the five redraw lines flat on their baselines for the current
  // scale factors.
  void ResetScopeHistory();
  // Frames, captions, range and mode legends, the time axis and the cursor controls; reads the
  // configuration first so that the legends and the lambda scale are fresh.
  // The configuration read that the legends need, then the legends it decides.
  ScopeLegends ReadScopeLegends();
  void DrawScopeLegends(Window& page, const ScopeLegends& legends);
  // Clears the panes and draws the five traces again from their redraw points.
  void RedrawScopeTraces(Window& page);
  // One poll-and-draw step of the 20 ms timer.
  void ScopeTimerTick(Window& page);
  void ScopeLiveTick(Window& page);
  void ScopeCursorTick(Window& page);
  // Sizes the page window to the page of the current size class.
  void FitPage(Window& page);
  // Moves the cursor scroll bar and the cursor check box into place for the size class.
  void PlaceScopeControls(Window& page);

  bool OnInitDialog(Window& page) override;
  void OnPaint(Window& page) override;
  void OnTimer(Window& page, int timer_id) override;
  void OnCommand(Window& page, int control_id, int code) override;
  void OnScroll(Window& page, int control_id, bool vertical, int request, int position) override;

 private:
  int X(double design_x) const { return DesignX(context_.shared, design_x); }
  int Y(double design_y) const { return DesignY(context_.shared, design_y); }
  // A rectangle over the columns in the band of each pane.
  void FillBands(Canvas& shape, BandColumns columns) const;
  // The strips, the beam and the new trace segments of a decided sweeping tick.
  void DrawSweepStep(Canvas& shape, const SweepStep& step) const;
  void DrawPaneFrames(Canvas& shape) const;
  void DrawReadouts(Canvas& text, Canvas& shape, const ScopeReadouts& readouts, bool cursor);
  void Text(Canvas& text, int design_x, int design_y, const char* s, int count) const;
  void WholeText(Canvas& text, int design_x, int design_y, int slot) const;

  PageContext& context_;
  ScopeState& state_;
};

}  // namespace korvel
