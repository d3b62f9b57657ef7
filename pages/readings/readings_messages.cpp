#include "pages/readings/readings_messages.hpp"
#include "texts/text_slots.hpp"

#include <cstring>

#include "link/conversions.hpp"
#include "link/live_data.hpp"
#include "link/parameter_map.hpp"

namespace korvel {

namespace {

// Enough spaces for the longest blanking run (73).
constexpr char kSpaces[] =
    "                                                                                ";

class PanelBuilder {
 public:
  explicit PanelBuilder(MessagePanel& panel) : panel_(panel) {}
  void Show(int line, int slot, bool red) { Add({line, slot, kMessageLineSpaces[line], red}); }
  void Blank(int line, int spaces) { Add({line, -1, spaces, false}); }

 private:
  void Add(const MessageStep& step) {
    if (panel_.step_count < static_cast<int>(panel_.steps.size())) panel_.steps[panel_.step_count++] = step;
  }
  MessagePanel& panel_;
};

// Case E, after the fuel state: learning, its outcome and the switching messages.
void DecideFullState(const MessageInputs& in, PanelBuilder& out, ReadingsState& s) {
  const uint8_t f = in.state_flags;
  if (f & 0x02) {  // learning running
    s.LearningShown = true;
    if (s.SegmentRaised) {
      out.Show(5, lang::kLearningRunning, false);
    } else {
      out.Show(5, lang::kLearningRaiseSpeed, true);
    }
    return;
  }
  s.LearningShown = false;
  if (s.LearnRequested) {
    if ((f & 0x10) == 0) {
      out.Show(5, lang::kLearningInterrupted, true);
      s.LearnRequested = false;
    } else if (f & 0x20) {
      out.Show(5, lang::kLearningFailed, true);  // shown again on every tick until the bits change
    } else {
      out.Show(5, lang::kLearningCompleted, true);
      s.LearnRequested = false;
    }
    s.MessageAge = 0;
  }
  if (f & 0x04) {  // LPG-off condition
    out.Show(3, lang::kLpgOffActive, true);
    if (f & 0x80) {
      out.Blank(4, 55);
    } else {
      out.Show(4, lang::kTemperatureTooLow, true);
    }
    return;
  }
  out.Blank(4, 55);
  if ((f & 0x80) == 0) {
    out.Show(3, lang::kWaitingForLpg, false);
    out.Show(4, lang::kTemperatureTooLow, true);
  } else if (f & 0x40) {
    out.Blank(2, 40);
    if (f & 0x08) {
      out.Show(5, lang::kCutOffActive, true);
    } else {
      // A learn outcome stays on line 5 for 60 ticks, then the line is kept blank.
      s.MessageAge += 1;
      if (s.MessageAge > 60) {
        out.Blank(5, 65);
        s.MessageAge -= 1;
      }
    }
    if ((f & 0x08) == 0) out.Blank(3, 73);
  } else {
    out.Show(3, lang::kWaitingForLpg, false);
    const bool raise_speed = (in.options & 0x10) != 0 || in.engine_speed <= in.lpg_on_speed;
    out.Show(4, raise_speed ? lang::kRaiseSpeedForLpg : lang::kReleaseThrottleForLpg, true);
  }
}

}  // namespace

MessageInputs MessageInputsFrom(ControllerLink& link, uint32_t engine_speed) {
  MessageInputs in;
  in.connected = link.Connected();
  in.variant = link.GetControllerVariant();
  in.indicator_flags = link.LiveDataRecord[kIndicatorFlags];
  in.state_flags = link.LiveDataRecord[kStateFlags];
  in.emul_type = Stored(link, Parameter::EmulType);
  in.options = Stored(link, Parameter::Options);
  in.engine_speed = engine_speed;
  in.lpg_on_speed = EngineSpeedFromPeriod(Stored(link, Parameter::LPGOnRPMHi), Stored(link, Parameter::LPGOnRPMLo));
  return in;
}

MessagePanel DecideMessagePanel(const MessageInputs& in, const ReadingsState& state) {
  MessagePanel panel;
  panel.next = state;
  ReadingsState& s = panel.next;
  PanelBuilder out(panel);

  if (!in.connected) {
    out.Show(1, lang::kControllerNoAnswer, true);
    out.Show(3, lang::kCheckConnection, false);
    out.Blank(2, 55);
    out.Blank(4, 55);
    out.Blank(5, 55);
    panel.state_box = StateBoxShown::kPetrol;
    s.LpgOnShown = false;
  } else if (in.variant != 2) {
    // Another controller: only the warning; the state box and the flags stay as they were.
    out.Show(1, lang::kWrongControllerType, true);
    for (int line = 2; line <= 5; ++line) out.Blank(line, 55);
  } else if ((in.indicator_flags & 0x08) == 0) {
    out.Show(3, lang::kLpgSystemOff, true);
    out.Show(1, lang::kRunningOnPetrol, false);
    out.Blank(2, 55);
    out.Blank(4, 55);
    out.Blank(5, 55);
    panel.state_box = StateBoxShown::kPetrol;
    s.LpgOnShown = false;
  } else if ((in.emul_type & 0x80) == 0) {
    if (in.state_flags & 0x01) {
      out.Show(1, lang::kRunningOnLpg, false);
      out.Blank(2, 40);
      out.Blank(3, 60);
      out.Blank(4, 55);
      out.Blank(5, 65);
      s.LpgOnShown = true;
      panel.state_box = StateBoxShown::kLpg;
    } else {
      out.Show(3, lang::kLpgSwitchingInactive, true);
      out.Show(1, lang::kRunningOnPetrol, false);
      out.Blank(2, 40);
      out.Blank(4, 55);
      out.Blank(5, 65);
      s.LpgOnShown = false;
      panel.state_box = StateBoxShown::kPetrol;
    }
  } else {
    // Full state display.
    const bool lpg = (in.state_flags & 0x01) != 0;
    out.Show(1, lpg ? lang::kRunningOnLpg : lang::kRunningOnPetrol, false);
    s.LpgOnShown = lpg;
    panel.state_box = lpg ? StateBoxShown::kLpg : StateBoxShown::kPetrol;
    DecideFullState(in, out, s);
  }

  // The lamp: its phase turns every second tick; it blinks while learning with a raised segment,
  // is lit while learning otherwise, and dark when no learning was seen on the last full-state tick.
  s.blink_counter += 1;
  if (s.blink_counter > 1) {
    s.BlinkPhase = !s.BlinkPhase;
    s.blink_counter = 0;
  }
  panel.lamp = Brush::BrushOlive;
  if (s.LearningShown && (!s.SegmentRaised || s.BlinkPhase)) panel.lamp = Brush::BrushYellow;
  return panel;
}

void DrawMessagePanel(Canvas& text, Canvas& shape, const SharedState& shared, const LanguageTable& texts,
                      const MessagePanel& panel) {
  auto out = [&](int design_x, int design_y, const char* chars, int count) {
    text.TextOut(DesignX(shared, design_x), DesignY(shared, design_y), chars, count);
  };
  for (int i = 0; i < panel.step_count; ++i) {
    const MessageStep& step = panel.steps[i];
    // A text goes over a blanked line: a shorter text drawn over a longer one would otherwise
    // leave the longer one's tail standing after it, and the fitter would read a garbled message.
    text.SetTextColor(kBlack);
    text.SetBkColor(kWhite);
    out(kMessageX, kMessageLineY[step.line], kSpaces, step.spaces);
    if (step.slot < 0) continue;
    const char* message = texts.Text(step.slot);
    text.SetTextColor(step.red ? kRed : kBlack);
    out(kMessageX, kMessageLineY[step.line], message, static_cast<int>(strnlen(message, kSlotBytes)));
  }
  if (panel.state_box != StateBoxShown::kUnchanged) {
    const bool lpg = panel.state_box == StateBoxShown::kLpg;
    shape.SelectPen(Pen::PenBlack1);
    shape.SelectBrush(lpg ? Brush::BrushCyan : Brush::BrushLime);
    shape.Rectangle(DesignX(shared, 490), DesignY(shared, 465), DesignX(shared, 615), DesignY(shared, 505));
    text.SetTextColor(kBlack);
    text.SetBkColor(lpg ? kCyan : kLime);
    const char* label = texts.Text(lpg ? lang::kStateBoxLpg : lang::kStateBoxPetrol);
    out(lpg ? 535 : 515, 475, label, static_cast<int>(strnlen(label, kSlotBytes)));
  }
  // The lamp's outline is whatever pen the shape context holds (black after a state box).
  shape.SelectBrush(panel.lamp);
  const int x = DesignX(shared, 635);
  const int y = DesignY(shared, 470);
  shape.Ellipse(x, y, x + shared.LearningLamp, y + shared.LearningLamp);
}

}  // namespace korvel
