#include "pages/common/gauge_geometry.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "link/conversions.hpp"

namespace korvel {
namespace {

using UV = std::pair<int32_t, int32_t>;

UV At(const GaugeTable& table, int i) { return {table.u[i], table.v[i]}; }

struct GaugeGeometryTest : ::testing::Test {
  GaugeTables tables{};
  ArcScratch arc{};
  void SetUp() override { BuildGaugeTables(tables, arc); }
};

TEST_F(GaugeGeometryTest, NeedleTableHitsTheReferencePoints) {
  const GaugeTable& t = tables.needle;
  EXPECT_EQ(t.count, 161);
  EXPECT_EQ(At(t, 0), UV(30, 187));
  EXPECT_EQ(At(t, 1), UV(29, 185));
  EXPECT_EQ(At(t, 20), UV(15, 130));
  EXPECT_EQ(At(t, 40), UV(30, 73));
  EXPECT_EQ(At(t, 49), UV(46, 51));
  EXPECT_EQ(At(t, 50), UV(49, 48));
  EXPECT_EQ(At(t, 60), UV(72, 31));
  EXPECT_EQ(At(t, 80), UV(130, 15));
  EXPECT_EQ(At(t, 81), UV(133, 15));
  EXPECT_EQ(At(t, 100), UV(188, 31));
  EXPECT_EQ(At(t, 110), UV(211, 48));
  EXPECT_EQ(At(t, 111), UV(214, 51));
  EXPECT_EQ(At(t, 120), UV(230, 73));
  EXPECT_EQ(At(t, 140), UV(245, 130));
  EXPECT_EQ(At(t, 141), UV(245, 133));
  EXPECT_EQ(At(t, 160), UV(230, 187));
}

TEST_F(GaugeGeometryTest, RimMajorAndHubTablesHitTheReferencePoints) {
  EXPECT_EQ(tables.rim.count, 161);
  EXPECT_EQ(At(tables.rim, 0), UV(23, 192));
  EXPECT_EQ(At(tables.rim, 20), UV(6, 130));
  EXPECT_EQ(At(tables.rim, 80), UV(130, 6));
  EXPECT_EQ(At(tables.rim, 140), UV(254, 130));
  EXPECT_EQ(At(tables.rim, 160), UV(237, 192));

  const UV major[9] = {{35, 185}, {20, 130}, {35, 75},  {75, 35},  {130, 20},
                       {185, 35}, {225, 75}, {240, 130}, {225, 185}};
  EXPECT_EQ(tables.major.count, 9);
  for (int k = 0; k < 9; ++k) EXPECT_EQ(At(tables.major, k), major[k]) << "major tick " << k;

  EXPECT_EQ(tables.hub.count, 161);
  EXPECT_EQ(At(tables.hub, 0), UV(113, 140));
  EXPECT_EQ(At(tables.hub, 20), UV(110, 130));
  EXPECT_EQ(At(tables.hub, 80), UV(130, 110));
  EXPECT_EQ(At(tables.hub, 140), UV(150, 130));
  EXPECT_EQ(At(tables.hub, 160), UV(147, 140));
  // Where a 1.5-degree step is less than a pixel the hub repeats a point.
  EXPECT_EQ(At(tables.hub, 1), UV(113, 140));

  // The scratch radius is the last one used.
  EXPECT_EQ(arc.R, 20u);
}

TEST_F(GaugeGeometryTest, MinorTicksAreEveryFourthNeedlePosition) {
  EXPECT_EQ(tables.minor.count, 41);
  for (int k = 0; k <= 40; ++k) EXPECT_EQ(At(tables.minor, k), At(tables.needle, 4 * k)) << "minor tick " << k;
  // Entries past the count stay empty.
  EXPECT_EQ(At(tables.minor, 41), UV(0, 0));
  EXPECT_EQ(At(tables.major, 9), UV(0, 0));
}

TEST_F(GaugeGeometryTest, EveryArcIsSymmetricAndLevelWhereItShouldBe) {
  const std::pair<const GaugeTable*, uint32_t> arcs[] = {
      {&tables.needle, 115}, {&tables.rim, 124}, {&tables.hub, 20}};
  for (const auto& [table, radius] : arcs) {
    SCOPED_TRACE(radius);
    EXPECT_EQ(table->u[80], 130);
    EXPECT_EQ(table->v[20], 130);
    EXPECT_EQ(table->v[140], 130);
    for (int i = 0; i <= 160; ++i) {
      EXPECT_EQ(table->v[i], table->v[160 - i]) << i;
      EXPECT_EQ(table->u[i] + table->u[160 - i], 260) << i;
      // Every point is within a pixel of its circle.
      const double du = table->u[i] - 130.0;
      const double dv = table->v[i] - 130.0;
      EXPECT_NEAR(std::sqrt(du * du + dv * dv), radius, 1.0) << i;
    }
    // Going round, the points never move back against the sweep: u rises on the upper half.
    for (int i = 21; i <= 140; ++i) EXPECT_GE(table->u[i], table->u[i - 1]) << i;
  }
  for (int k = 0; k <= 8; ++k) {
    EXPECT_EQ(tables.major.v[k], tables.major.v[8 - k]);
    EXPECT_EQ(tables.major.u[k] + tables.major.u[8 - k], 260);
  }
}

TEST(CircleOffset, UsesThirtyTwoBitArithmeticOnEitherSideOfTheCentre) {
  EXPECT_DOUBLE_EQ(CircleOffset(115, 187), std::sqrt(115.0 * 115 - 57.0 * 57));  // 130 - c wraps, its square does not
  EXPECT_DOUBLE_EQ(CircleOffset(115, 73), std::sqrt(115.0 * 115 - 57.0 * 57));
  EXPECT_DOUBLE_EQ(CircleOffset(20, 130), 20.0);
  EXPECT_DOUBLE_EQ(CircleOffset(115, 15), 0.0);
}

TEST(ComputeArcPoints, FollowsTheRadiusSetBeforeTheRun) {
  ArcScratch arc{};
  arc.R = 60;
  ComputeArcPoints(arc);
  EXPECT_EQ(arc.u[80], 130);
  EXPECT_EQ(arc.v[80], 70);
  EXPECT_EQ(arc.u[20], 70);
  EXPECT_EQ(arc.u[140], 190);
  // Position 0 lies 30 degrees below the left horizontal: v = 130 + RoundValue(60 sin 30).
  EXPECT_EQ(arc.v[0], 130 + RoundValue(60 * std::sin(30 * 3.14159 / 180)));
}

}  // namespace
}  // namespace korvel
