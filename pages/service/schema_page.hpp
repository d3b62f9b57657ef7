#pragma once
#include <cstdint>

#include "pages/common/page_context.hpp"
#include "pages/common/page_procedure.hpp"
#include "pages/service/schema_controls.hpp"

namespace korvel {

constexpr int kDiagramWidth = 961;
constexpr int kDiagramHeight = 636;
constexpr int kPolishDiagramBitmap = 179;
constexpr int kEnglishDiagramBitmap = 182;

struct SchemaRect {
  int32_t x, y, width, height;
};
struct SchemaPoint {
  uint32_t x, y;
};

// The wiring-diagram viewer's lasting state: where on the page the diagram is shown, which pixel of
// it sits at the window's origin, how far it can scroll, and the diagram loaded while the page
// exists (0: none).
struct SchemaState {
  SchemaRect SchemaWindow{};
  SchemaPoint SchemaOffset{};
  SchemaPoint max_offset{};
  int diagram_bitmap = 0;
};

// The offset after one scroll request. Steps back past zero wrap around and, like a result of
// exactly zero, come back as 1; steps forward stop at `max`; a thumb track takes the thumb
// position (a 16-bit value, sign-extended); other requests leave the offset alone.
uint32_t ScrollOffset(uint32_t offset, uint32_t max, int request, int thumb_position);

// The wiring-diagram page: the whole diagram centred on the large screens, a window onto it with
// two scroll bars on the two small ones. It never talks to the controller.
class SchemaPage : public PageProcedure {
 public:
  // `language_code` is the program's current language ("ang" shows the English diagram); it is
  // read each time the page is built.
  SchemaPage(PageContext& context, SchemaState& state, const char* language_code)
      : context_(context), state_(state), language_code_(language_code) {}

  int TemplateFor(int size_class) const override;
  bool BuiltBySizeClass() const override { return true; }
  // Resets the offsets, lays the window and the scroll bars out for the size class, loads the
  // diagram of the language and draws it.
  void Build(Window& page) override;
  bool PaintFromMainWindow(Window& page) override;

  void OnPaint(Window& page) override;
  void OnScroll(Window& page, int control_id, bool vertical, int request, int position) override;
  void OnDestroy(Window& page) override;

  // Plain copy of the window's rectangle of the diagram, from the current offsets, onto the page.
  void DrawSchema(Window& page);

 private:
  PageContext& context_;
  SchemaState& state_;
  const char* language_code_;
};

}  // namespace korvel
