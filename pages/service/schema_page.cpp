#include "pages/service/schema_page.hpp"

#include <cstring>

namespace korvel {

namespace {

constexpr uint32_t kLineStep = 10;
constexpr uint32_t kPageStep = 50;

// The two small size classes show a window onto the diagram with scroll bars beside it.
struct ScrolledLayout {
  SchemaRect window;
  int horizontal_bar[4];  // x, y, width, height
  int vertical_bar[4];
};
constexpr ScrolledLayout kScrolledLayouts[2] = {
    {{10, 10, 600, 370}, {10, 380, 600, 15}, {610, 10, 15, 370}},
    {{10, 10, 750, 485}, {10, 495, 750, 20}, {760, 10, 20, 485}},
};

// A step back: past zero the unsigned offset wraps to a large value; both that and zero become 1.
uint32_t StepBack(uint32_t offset, uint32_t step, uint32_t max) {
  const uint32_t result = offset - step;
  return (result == 0 || result > max) ? 1 : result;
}

uint32_t StepForward(uint32_t offset, uint32_t step, uint32_t max) {
  const uint32_t result = offset + step;
  return result > max ? max : result;
}

}  // namespace

uint32_t ScrollOffset(uint32_t offset, uint32_t max, int request, int thumb_position) {
  switch (request) {
    case kScrollLineUp: return StepBack(offset, kLineStep, max);
    case kScrollLineDown: return StepForward(offset, kLineStep, max);
    case kScrollPageUp: return StepBack(offset, kPageStep, max);
    case kScrollPageDown: return StepForward(offset, kPageStep, max);
    case kScrollThumbTrack:
      return static_cast<uint32_t>(static_cast<int32_t>(static_cast<int16_t>(thumb_position & 0xFFFF)));
    default: return offset;
  }
}

int SchemaPage::TemplateFor(int size_class) const {
  (void)size_class;
  return kSchemaTemplate;
}

void SchemaPage::Build(Window& page) {
  state_.SchemaOffset = {0, 0};
  const int size_class = context_.shared.SizeClass;
  if (size_class == 1 || size_class == 2) {
    const ScrolledLayout& layout = kScrolledLayouts[size_class - 1];
    state_.SchemaWindow = layout.window;
    const int* h = layout.horizontal_bar;
    const int* v = layout.vertical_bar;
    page.MoveControl(kSchemaHorizontalBar, h[0], h[1], h[2], h[3]);
    page.MoveControl(kSchemaVerticalBar, v[0], v[1], v[2], v[3]);
    state_.max_offset = {static_cast<uint32_t>(kDiagramWidth - layout.window.width),
                         static_cast<uint32_t>(kDiagramHeight - layout.window.height)};
    page.SetScrollRange(kSchemaHorizontalBar, 1, static_cast<int>(state_.max_offset.x));
    page.SetScrollPosition(kSchemaHorizontalBar, static_cast<int>(state_.SchemaOffset.x));
    page.SetScrollRange(kSchemaVerticalBar, 1, static_cast<int>(state_.max_offset.y));
    page.SetScrollPosition(kSchemaVerticalBar, static_cast<int>(state_.SchemaOffset.y));
  } else {
    // The whole diagram fits: centre it in the main window's client area, without scroll bars.
    const Size client = context_.host.MainClientSize();
    state_.SchemaWindow = {(client.width - kDiagramWidth) / 2, (client.height - kDiagramHeight) / 2, kDiagramWidth,
                           kDiagramHeight};
    page.ShowControl(kSchemaHorizontalBar, false);
    page.ShowControl(kSchemaVerticalBar, false);
  }
  const bool english = language_code_ != nullptr && std::strcmp(language_code_, "ang") == 0;
  state_.diagram_bitmap = english ? kEnglishDiagramBitmap : kPolishDiagramBitmap;
  DrawSchema(page);
}

bool SchemaPage::PaintFromMainWindow(Window& page) {
  DrawSchema(page);
  return false;
}

void SchemaPage::OnPaint(Window& page) {
  page.MoveWindow(0, 0, context_.shared.page_width, context_.shared.page_height);
}

void SchemaPage::OnScroll(Window& page, int control_id, bool vertical, int request, int position) {
  (void)vertical;
  uint32_t* offset = nullptr;
  uint32_t max = 0;
  if (control_id == kSchemaHorizontalBar) {
    offset = &state_.SchemaOffset.x;
    max = state_.max_offset.x;
  } else if (control_id == kSchemaVerticalBar) {
    offset = &state_.SchemaOffset.y;
    max = state_.max_offset.y;
  } else {
    return;
  }
  *offset = ScrollOffset(*offset, max, request, position);
  page.SetScrollPosition(control_id, static_cast<int>(*offset));
  DrawSchema(page);
}

void SchemaPage::OnDestroy(Window& page) {
  (void)page;
  state_.diagram_bitmap = 0;
}

void SchemaPage::DrawSchema(Window& page) {
  if (state_.diagram_bitmap == 0) return;
  Canvas& canvas = page.GetContext();
  const SchemaRect& w = state_.SchemaWindow;
  canvas.DrawBitmap(state_.diagram_bitmap, w.x, w.y, w.width, w.height, static_cast<int>(state_.SchemaOffset.x),
                    static_cast<int>(state_.SchemaOffset.y));
  page.ReleaseContext(canvas);
}

}  // namespace korvel
