// The wiring diagrams built into the program: their size and depth, that the built-in data was
// rendered from the current sources, and that damaged data gives no picture.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "resources/bitmaps.hpp"
#include "resources/wiring_diagram_data.hpp"

namespace korvel {
namespace {

TEST(WiringDiagram, BothLanguagesAre961By636InAtMost256Colours) {
  for (const IndexedDiagram* diagram : {&kPolishDiagram, &kEnglishDiagram}) {
    SCOPED_TRACE("resource " + std::to_string(diagram->resource_id));
    EXPECT_EQ(diagram->width, 961);
    EXPECT_EQ(diagram->height, 636);
    std::vector<uint8_t> indices;
    ASSERT_TRUE(DecodeDiagram(*diagram, indices));
    const BitmapResource bitmap = LoadBitmapResource(diagram->resource_id);
    ASSERT_EQ(bitmap.width, 961);
    ASSERT_EQ(bitmap.height, 636);
    ASSERT_EQ(bitmap.pixels.size(), 961u * 636u);
    const std::set<uint32_t> colours(bitmap.pixels.begin(), bitmap.pixels.end());
    EXPECT_LE(colours.size(), 256u);
    // A drawing, not a blank: white paper, black text and the wire colours at least.
    EXPECT_GT(colours.size(), 16u);
  }
  EXPECT_NE(LoadBitmapResource(179).pixels, LoadBitmapResource(182).pixels);
}

TEST(WiringDiagram, BuiltInDataWasRenderedFromTheCurrentSources) {
  uint64_t hash = 0xCBF29CE484222325ull;
  for (const char* name : {"wiring_diagram.svg", "labels.tsv"}) {
    std::ifstream in(std::string(KORVEL_DIAGRAM_DIR) + name, std::ios::binary);
    ASSERT_TRUE(in) << name;
    for (std::istreambuf_iterator<char> it(in), end; it != end; ++it) {
      hash ^= static_cast<uint8_t>(*it);
      hash *= 0x100000001B3ull;
    }
  }
  EXPECT_EQ(hash, kDiagramSourceHash) << "resources/diagrams/ changed: run scripts/render-diagrams";
}

TEST(WiringDiagram, DamagedRunsGiveNoPicture) {
  std::vector<uint8_t> runs(kPolishDiagram.runs, kPolishDiagram.runs + kPolishDiagram.run_bytes);
  std::vector<uint8_t> longer = runs;
  longer.insert(longer.end(), {0x80, 0x01});  // two pixels too many
  std::vector<uint8_t> dangling = runs;
  dangling.push_back(0x05);                   // a literal run whose indices are missing
  const std::vector<uint8_t> variants[] = {
      std::vector<uint8_t>(runs.begin(), runs.end() - 1), longer, dangling, {}};
  for (const std::vector<uint8_t>& damaged : variants) {
    IndexedDiagram diagram = kPolishDiagram;
    diagram.runs = damaged.data();
    diagram.run_bytes = damaged.size();
    std::vector<uint8_t> indices{1, 2, 3};
    EXPECT_FALSE(DecodeDiagram(diagram, indices)) << damaged.size() << " bytes";
    EXPECT_TRUE(indices.empty());
  }
}

}  // namespace
}  // namespace korvel
