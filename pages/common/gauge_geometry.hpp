#pragma once
#include <cstdint>

namespace korvel {

constexpr int kArcPositions = 161;

// Points on one arc of the engine-speed dial, in the 260 x 260 dial box centred on (130, 130).
struct GaugeTable {
  int32_t u[kArcPositions];
  int32_t v[kArcPositions];
  int count;
};

struct GaugeTables {
  GaugeTable needle;  // R 115, 161 points
  GaugeTable rim;     // R 124, 161 points
  GaugeTable major;   // R 110, 9 points: positions 20k
  GaugeTable minor;   // R 115, 41 points: positions 4k
  GaugeTable hub;     // R 20, 161 points
};

// The scratch arc of one ComputeArcPoints run and the radius it used.
struct ArcScratch {
  uint32_t R = 0;
  int32_t u[kArcPositions] = {};
  int32_t v[kArcPositions] = {};
};

double CircleOffset(uint32_t R, uint32_t c);
void ComputeArcPoints(ArcScratch& arc);
void BuildGaugeTables(GaugeTables& tables, ArcScratch& arc);

}  // namespace korvel
