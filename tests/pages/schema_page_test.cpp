// The wiring-diagram page on the headless window system: the scroll rule, the layout of each size
// class, the diagram of the language, and the rectangle copied from the diagram after scrolling.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>

#include "pages/service/schema_controls.hpp"
#include "pages/service/schema_page.hpp"
#include "tests/pages/page_world.hpp"

namespace korvel {
namespace {

using headless::DrawKind;
using headless::DrawOp;
using testing::Box;

struct SchemaWorld : testing::PageWorld {
  explicit SchemaWorld(int size_class, const char* language = "pol") : PageWorld(size_class, {1280, 1024}) {
    std::snprintf(language_code, sizeof language_code, "%s", language);
    // The main window as the shell leaves it: the page size, less a caption and menu bar.
    host.non_client = {8, 46};
    host.MoveMainWindow(0, 0, shared.page_width, shared.page_height);
    Open(page);
  }

  // The last diagram copy drawn on the page.
  const DrawOp* LastCopy() const {
    const DrawOp* found = nullptr;
    for (const DrawOp& op : window->ops) {
      if (op.kind == DrawKind::kBitmap) found = &op;
    }
    return found;
  }

  char language_code[8] = {};
  SchemaState state;
  SchemaPage page{context, state, language_code};
};

TEST(SchemaPage, ScrollRuleStepsStopAtTheEndsAndWrapBackToOne) {
  struct Case {
    uint32_t offset, max;
    int request, position;
    uint32_t expected;
  };
  const Case cases[] = {
      {361, 361, kScrollLineDown, 0, 361},    // at the far end a step forward stays
      {355, 361, kScrollLineDown, 0, 361},    // and a step past it stops there
      {311, 361, kScrollPageDown, 0, 361},
      {100, 361, kScrollPageDown, 0, 150},
      {0, 361, kScrollLineDown, 0, 10},       // the freshly built page
      {30, 361, kScrollPageUp, 0, 1},         // 30 - 50 wraps around: 1
      {10, 361, kScrollLineUp, 0, 1},         // exactly zero: 1
      {0, 361, kScrollLineUp, 0, 1},
      {11, 361, kScrollLineUp, 0, 1},
      {60, 266, kScrollPageUp, 0, 10},
      {21, 266, kScrollLineUp, 0, 11},
      {40, 266, kScrollThumbTrack, 123, 123},  // the thumb position as it is
      {40, 266, kScrollThumbTrack, 0xFFFF, 0xFFFFFFFFu},  // a 16-bit position, sign-extended
      {40, 266, 8, 200, 40},                  // end of scroll and other requests: unchanged
      {40, 266, 4, 200, 40},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ScrollOffset(c.offset, c.max, c.request, c.position), c.expected)
        << "offset " << c.offset << " max " << c.max << " request " << c.request;
  }
}

TEST(SchemaPage, LayoutOfEachSizeClass) {
  struct Case {
    int size_class;
    SchemaRect window;
    PixelRect horizontal, vertical;  // unused for the classes without scroll bars
    int max_x, max_y;
  };
  const Case cases[] = {
      {1, {10, 10, 600, 370}, {10, 380, 600, 15}, {610, 10, 15, 370}, 361, 266},
      {2, {10, 10, 750, 485}, {10, 495, 750, 20}, {760, 10, 20, 485}, 211, 151},
      // Centred in the client area (page size less 8 x 46): (1016 - 961) / 2, (692 - 636) / 2 ...
      {3, {27, 28, 961, 636}, {}, {}, 0, 0},
      {4, {155, 124, 961, 636}, {}, {}, 0, 0},
      {5, {155, 156, 961, 636}, {}, {}, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("size class " + std::to_string(c.size_class));
    SchemaWorld w(c.size_class);
    EXPECT_EQ(Box(w.state.SchemaWindow), Box(c.window));
    EXPECT_EQ(w.state.SchemaOffset.x, 0u);
    EXPECT_EQ(w.state.SchemaOffset.y, 0u);
    const headless::ControlState* h = w.window->Control(kSchemaHorizontalBar);
    const headless::ControlState* v = w.window->Control(kSchemaVerticalBar);
    ASSERT_NE(h, nullptr);
    ASSERT_NE(v, nullptr);
    const bool scrolled = c.size_class <= 2;
    EXPECT_EQ(h->visible, scrolled);
    EXPECT_EQ(v->visible, scrolled);
    if (scrolled) {
      EXPECT_EQ(Box(h->rect), Box(c.horizontal));
      EXPECT_EQ(Box(v->rect), Box(c.vertical));
      EXPECT_EQ(h->scroll_min, 1);
      EXPECT_EQ(h->scroll_max, c.max_x);
      EXPECT_EQ(v->scroll_min, 1);
      EXPECT_EQ(v->scroll_max, c.max_y);
      // Offset 0 lies below the range 1..max: the bars show their first position.
      EXPECT_EQ(h->scroll_position, 1);
      EXPECT_EQ(v->scroll_position, 1);
    }
    // The first drawing: the top-left of the diagram into the whole window.
    const DrawOp* copy = w.LastCopy();
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->left, c.window.x);
    EXPECT_EQ(copy->top, c.window.y);
    EXPECT_EQ(copy->right, c.window.x + c.window.width);
    EXPECT_EQ(copy->bottom, c.window.y + c.window.height);
    EXPECT_EQ(copy->src_x, 0);
    EXPECT_EQ(copy->src_y, 0);
    // Its paint puts the page back over the whole page area of the class.
    w.window->MoveWindow(5, 5, 10, 10);
    w.page.OnPaint(*w.window);
    EXPECT_EQ(Box(w.window->rect()), Box(PixelRect{0, 0, w.shared.page_width, w.shared.page_height}));
  }
}

TEST(SchemaPage, EnglishDiagramOnlyForTheLanguageAng) {
  const std::pair<const char*, int> cases[] = {{"ang", 182}, {"pol", 179}, {"deu", 179}, {"", 179}, {"ANG", 179}};
  for (const auto& [language, bitmap] : cases) {
    SchemaWorld w(2, language);
    ASSERT_NE(w.LastCopy(), nullptr);
    EXPECT_EQ(w.LastCopy()->bitmap_id, bitmap) << '"' << language << '"';
  }
}

TEST(SchemaPage, ScrollingCopiesTheWindowFromTheNewOffsetsAndNeverPastTheDiagram) {
  SchemaWorld w(1);
  ASSERT_TRUE(w.window->UserScroll(kSchemaHorizontalBar, kScrollPageDown));
  ASSERT_TRUE(w.window->UserScroll(kSchemaVerticalBar, kScrollLineDown));
  const DrawOp* copy = w.LastCopy();
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->bitmap_id, 179);
  EXPECT_EQ(copy->src_x, 50);
  EXPECT_EQ(copy->src_y, 10);
  EXPECT_EQ(copy->left, 10);
  EXPECT_EQ(copy->top, 10);
  EXPECT_EQ(copy->right, 610);
  EXPECT_EQ(copy->bottom, 380);
  EXPECT_EQ(w.window->GetScrollPosition(kSchemaHorizontalBar), 50);
  EXPECT_EQ(w.window->GetScrollPosition(kSchemaVerticalBar), 10);

  // Paging to the far corner shows the diagram's last column and row, and no further.
  for (int i = 0; i < 12; ++i) {
    w.window->UserScroll(kSchemaHorizontalBar, kScrollPageDown);
    w.window->UserScroll(kSchemaVerticalBar, kScrollPageDown);
  }
  copy = w.LastCopy();
  EXPECT_EQ(copy->src_x + (copy->right - copy->left), kDiagramWidth);
  EXPECT_EQ(copy->src_y + (copy->bottom - copy->top), kDiagramHeight);

  // The main window's paint draws the same rectangle again; once the page is gone, nothing.
  w.window->ClearOps();
  EXPECT_FALSE(w.page.PaintFromMainWindow(*w.window));
  ASSERT_NE(w.LastCopy(), nullptr);
  EXPECT_EQ(w.LastCopy()->src_x, 361);
  EXPECT_EQ(w.LastCopy()->src_y, 266);
  // The page's destroy message comes before its window goes: a paint after it draws nothing.
  w.page.OnDestroy(*w.window);
  EXPECT_EQ(w.state.diagram_bitmap, 0);
  w.window->ClearOps();
  EXPECT_FALSE(w.page.PaintFromMainWindow(*w.window));
  EXPECT_EQ(w.LastCopy(), nullptr);
}

}  // namespace
}  // namespace korvel
