#include "pages/common/gauge_geometry.hpp"

#include <cmath>

#include "link/conversions.hpp"

namespace korvel {

namespace {

constexpr int32_t kCentre = 130;

// The angle of `step` 1.5-degree steps in radians, with the dial's own value of pi; the factor
// order is kept so every point lands on the same pixel on every build.
double StepRadians(int step) { return step * 1.5 * 3.14159 / 180; }

// Copies positions first, first + stride, ... of the scratch arc into `table`.
void CopyArc(const ArcScratch& arc, GaugeTable& table, int stride, int count) {
  table = GaugeTable{};
  for (int k = 0; k < count; ++k) {
    table.u[k] = arc.u[k * stride];
    table.v[k] = arc.v[k * stride];
  }
  table.count = count;
}

void BuildTable(ArcScratch& arc, uint32_t radius, GaugeTable& table, int stride, int count) {
  arc.R = radius;
  ComputeArcPoints(arc);
  CopyArc(arc, table, stride, count);
}

}  // namespace

double CircleOffset(uint32_t R, uint32_t c) {
  // 32-bit arithmetic throughout, as the table was first computed; the difference is read as
  // unsigned (it is never negative for a coordinate on the arc).
  const uint32_t d = static_cast<uint32_t>(kCentre) - c;
  const uint32_t difference = R * R - d * d;
  return std::sqrt(static_cast<double>(difference));
}

void ComputeArcPoints(ArcScratch& arc) {
  const double R = arc.R;
  for (int i = 0; i < kArcPositions; ++i) {
    int32_t u = 0;
    int32_t v = 0;
    if (i <= 20) {  // below the left horizontal, up to it
      v = kCentre + RoundValue(R * std::sin(StepRadians(20 - i)));
      u = kCentre - RoundValue(CircleOffset(arc.R, static_cast<uint32_t>(v)));
    } else if (i <= 49) {  // left side, above the horizontal
      v = kCentre - RoundValue(R * std::sin(StepRadians(i - 20)));
      u = kCentre - RoundValue(CircleOffset(arc.R, static_cast<uint32_t>(v)));
    } else if (i <= 80) {  // upper left, up to the top
      u = kCentre - RoundValue(R * std::cos(StepRadians(i - 20)));
      v = kCentre - RoundValue(CircleOffset(arc.R, static_cast<uint32_t>(u)));
    } else if (i <= 110) {  // upper right
      u = kCentre + RoundValue(R * std::cos(StepRadians(140 - i)));
      v = kCentre - RoundValue(CircleOffset(arc.R, static_cast<uint32_t>(u)));
    } else if (i <= 140) {  // right side, down to the horizontal
      v = kCentre - RoundValue(R * std::sin(StepRadians(140 - i)));
      u = kCentre + RoundValue(CircleOffset(arc.R, static_cast<uint32_t>(v)));
    } else {  // below the right horizontal
      v = kCentre + RoundValue(R * std::sin(StepRadians(i - 140)));
      u = kCentre + RoundValue(CircleOffset(arc.R, static_cast<uint32_t>(v)));
    }
    arc.u[i] = u;
    arc.v[i] = v;
  }
}

void BuildGaugeTables(GaugeTables& tables, ArcScratch& arc) {
  BuildTable(arc, 115, tables.needle, 1, kArcPositions);
  BuildTable(arc, 124, tables.rim, 1, kArcPositions);
  BuildTable(arc, 110, tables.major, 20, 9);
  BuildTable(arc, 115, tables.minor, 4, 41);
  BuildTable(arc, 20, tables.hub, 1, kArcPositions);
}

}  // namespace korvel
