#pragma once
#include <cstdint>

#include "pages/common/page_context.hpp"
#include "pages/common/page_procedure.hpp"
#include "pages/readings/readings_controls.hpp"
#include "pages/readings/readings_layout.hpp"
#include "pages/readings/readings_messages.hpp"
#include "platform/window.hpp"

namespace korvel {

// The Readings page procedure (template 101) and its drawing.
class ReadingsPage : public PageProcedure {
 public:
  ReadingsPage(PageContext& context, ReadingsState& state) : context_(context), state_(state) {}

  int TemplateFor(int size_class) const override;
  void Build(Window& page) override { DrawReadingsFrame(page); }
  bool PaintFromMainWindow(Window& page) override;
  void PlaceClassControls(Window& page) override;
  void AfterMainWindowPaint(Window& page) override;

  void DrawReadingsFrame(Window& page);
  void DrawReadingsValues(Window& page);
  void DrawDial(Window& page);

  bool OnInitDialog(Window& page) override;
  void OnPaint(Window& page) override;
  void OnTimer(Window& page, int timer_id) override;
  void OnCommand(Window& page, int control_id, int code) override;

 private:
  // The text context and the shape context of one drawing call, with what has been selected into
  // them, so that they can be handed back while the dial takes its own pair and then be taken
  // again with the same selections.
  struct Contexts {
    Canvas* text = nullptr;
    Canvas* shape = nullptr;
    Font font = Font::SystemFont;
    Rgb text_colour = kBlack;
    Rgb background = kWhite;
    Pen pen = Pen::DefaultPen;
    Brush brush = Brush::DefaultBrush;
  };

  void Acquire(Window& page);
  void Release(Window& page);
  // Redraws the dial from inside DrawReadingsValues: the window gives out only two contexts at a
  // time, so ours are released around it and taken back with their selections restored.
  void DrawDialWhileDrawing(Window& page);

  // Text context.
  void SetFont(Font font);
  void SetColours(Rgb text, Rgb background);
  void Text(int design_x, int design_y, const char* text, int count);
  void WholeText(int design_x, int design_y, const char* text);
  void Label(const FrameLabel& label);  // at its device position
  // Shape context.
  void SetPenBrush(Pen pen, Brush brush);
  void Rect(int x1, int y1, int x2, int y2);  // design units
  void Rect(const DesignRect& r);

  void DrawLambdaPanel();
  void DrawIndicator();
  void DrawSecondInput();
  void DrawAttPanel();
  void DrawSwitchingSpeeds(Window& page);
  void DrawStatusLabels();
  void DrawTemperatures();
  void DrawControllerState();
  void LearnAction(Window& page);

  PageContext& context_;
  ReadingsState& state_;
  Contexts dc_;
};

}  // namespace korvel
