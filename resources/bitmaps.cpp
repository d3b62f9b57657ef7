#include "resources/bitmaps.hpp"

#include <algorithm>
#include <cmath>

#include "resources/wiring_diagram_data.hpp"

namespace korvel {

namespace {

struct Colour {
  int r, g, b;
};

constexpr Colour kWhiteColour{255, 255, 255};
constexpr Colour kNavyColour{0, 0, 128};
constexpr Colour kFlameOuter{30, 110, 235};
constexpr Colour kFlameInner{150, 220, 255};
constexpr Colour kInjectorBody{120, 120, 128};
constexpr Colour kInjectorTip{70, 70, 78};
constexpr Colour kPolishRed{220, 20, 60};
constexpr Colour kUnionBlue{1, 33, 105};
constexpr Colour kUnionRed{200, 16, 46};
constexpr double kPi = 3.14159265358979323846;

uint32_t Pack(Colour c) {
  return (static_cast<uint32_t>(c.r) << 16) | (static_cast<uint32_t>(c.g) << 8) | static_cast<uint32_t>(c.b);
}

Colour Unpack(uint32_t p) {
  return {static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF), static_cast<int>(p & 0xFF)};
}

Colour Mix(Colour under, Colour over, double coverage) {
  auto channel = [coverage](int a, int b) {
    return static_cast<int>(std::lround(a + (b - a) * coverage));
  };
  return {channel(under.r, over.r), channel(under.g, over.g), channel(under.b, over.b)};
}

BitmapResource Blank(int width, int height, Colour background) {
  BitmapResource image;
  image.width = width;
  image.height = height;
  image.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), Pack(background));
  return image;
}

void Put(BitmapResource& image, int x, int y, Colour c) {
  if (x < 0 || y < 0 || x >= image.width || y >= image.height) return;
  image.pixels[static_cast<size_t>(y) * static_cast<size_t>(image.width) + static_cast<size_t>(x)] = Pack(c);
}

Colour At(const BitmapResource& image, int x, int y) {
  return Unpack(image.pixels[static_cast<size_t>(y) * static_cast<size_t>(image.width) + static_cast<size_t>(x)]);
}

// Paints `colour` over every pixel of the box in proportion to how much of it the shape covers
// (4 x 4 samples per pixel), so curved edges come out smooth.
template <typename Inside>
void PaintShape(BitmapResource& image, int left, int top, int right, int bottom, Colour colour, Inside inside) {
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, image.width);
  bottom = std::min(bottom, image.height);
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) {
      int hits = 0;
      for (int sy = 0; sy < 4; ++sy) {
        for (int sx = 0; sx < 4; ++sx) {
          if (inside(x + (sx + 0.5) / 4.0, y + (sy + 0.5) / 4.0)) ++hits;
        }
      }
      if (hits > 0) Put(image, x, y, Mix(At(image, x, y), colour, hits / 16.0));
    }
  }
}

void FillRect(BitmapResource& image, int left, int top, int right, int bottom, Colour colour) {
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) Put(image, x, y, colour);
  }
}

void Frame(BitmapResource& image, Colour colour) {
  for (int x = 0; x < image.width; ++x) {
    Put(image, x, 0, colour);
    Put(image, x, image.height - 1, colour);
  }
  for (int y = 0; y < image.height; ++y) {
    Put(image, 0, y, colour);
    Put(image, image.width - 1, y, colour);
  }
}

// A gas flame: a teardrop from its tip down to a rounded base, widest a little above the base.
struct Flame {
  double centre_x, tip_y, base_y, half_width;
  bool Contains(double x, double y) const {
    if (y < tip_y || y > base_y) return false;
    const double t = (y - tip_y) / (base_y - tip_y);
    const double w = half_width * std::sqrt(std::sin(kPi * std::pow(t, 1.94)));
    return std::fabs(x - centre_x) <= w;
  }
};

void PaintFlame(BitmapResource& image, const Flame& flame, Colour colour) {
  PaintShape(image, static_cast<int>(flame.centre_x - flame.half_width) - 1, static_cast<int>(flame.tip_y) - 1,
             static_cast<int>(flame.centre_x + flame.half_width) + 2, static_cast<int>(flame.base_y) + 2, colour,
             [&flame](double x, double y) { return flame.Contains(x, y); });
}

// The injector under the flame: a body and a narrower nozzle on top of it.
void PaintInjector(BitmapResource& image, double centre_x, double nozzle_top, double body_top, double body_bottom,
                   double body_half_width) {
  const double nozzle_half = body_half_width * 0.45;
  PaintShape(image, static_cast<int>(centre_x - nozzle_half) - 1, static_cast<int>(nozzle_top) - 1,
             static_cast<int>(centre_x + nozzle_half) + 2, static_cast<int>(body_top) + 2, kInjectorTip,
             [=](double x, double y) { return y >= nozzle_top && y <= body_top && std::fabs(x - centre_x) <= nozzle_half; });
  const double corner = body_half_width * 0.35;
  PaintShape(image, static_cast<int>(centre_x - body_half_width) - 1, static_cast<int>(body_top) - 1,
             static_cast<int>(centre_x + body_half_width) + 2, static_cast<int>(body_bottom) + 2, kInjectorBody,
             [=](double x, double y) {
               if (y < body_top || y > body_bottom) return false;
               const double dx = std::fabs(x - centre_x) - (body_half_width - corner);
               const double dy = y - (body_bottom - corner);
               if (dx > 0 && dy > 0) return dx * dx + dy * dy <= corner * corner;
               return std::fabs(x - centre_x) <= body_half_width;
             });
}

// ---- The wordmark: letters drawn as round-ended strokes -----------------------------------------

struct Segment {
  double x0, y0, x1, y1;
};

double DistanceToSegment(const Segment& s, double x, double y) {
  const double dx = s.x1 - s.x0;
  const double dy = s.y1 - s.y0;
  const double length2 = dx * dx + dy * dy;
  double t = length2 > 0 ? ((x - s.x0) * dx + (y - s.y0) * dy) / length2 : 0.0;
  t = std::clamp(t, 0.0, 1.0);
  const double px = s.x0 + t * dx - x;
  const double py = s.y0 + t * dy - y;
  return std::sqrt(px * px + py * py);
}

struct Strokes {
  Segment segments[160];
  int count = 0;

  void Line(double x0, double y0, double x1, double y1) {
    if (count < 160) segments[count++] = {x0, y0, x1, y1};
  }
  // Arc of radius r around (cx, cy) from angle a0 to a1 (radians, y pointing down).
  void Arc(double cx, double cy, double r, double a0, double a1) {
    const int steps = 24;
    for (int i = 0; i < steps; ++i) {
      const double t0 = a0 + (a1 - a0) * i / steps;
      const double t1 = a0 + (a1 - a0) * (i + 1) / steps;
      Line(cx + r * std::cos(t0), cy + r * std::sin(t0), cx + r * std::cos(t1), cy + r * std::sin(t1));
    }
  }
};

void PaintStrokes(BitmapResource& image, const Strokes& strokes, double half_width, Colour colour) {
  PaintShape(image, 0, 0, image.width, image.height, colour, [&](double x, double y) {
    for (int i = 0; i < strokes.count; ++i) {
      if (DistanceToSegment(strokes.segments[i], x, y) <= half_width) return true;
    }
    return false;
  });
}

// "Korvel" with the cap height from cap_top to baseline and the lower-case letters from x_top.
double WordmarkStrokes(Strokes& s, double x, double cap_top, double x_top, double baseline, double pen) {
  const double r = (baseline - x_top) / 2 - pen;  // bowl radius on the stroke centre line
  const double mid = (baseline + x_top) / 2;
  const double gap = 6;
  // K
  s.Line(x + pen, cap_top + pen, x + pen, baseline - pen);
  s.Line(x + 25 - pen, cap_top + pen, x + pen + 2, mid - 4);
  s.Line(x + pen + 9, mid - 9, x + 25 - pen, baseline - pen);
  x += 25 + gap;
  // o
  s.Arc(x + r + pen, mid, r, 0, 2 * kPi);
  x += 2 * (r + pen) + gap;
  // r
  s.Line(x + pen, x_top + pen, x + pen, baseline - pen);
  s.Arc(x + pen + r, mid, r, kPi, 1.72 * kPi);
  x += pen + r + r * std::cos(1.72 * kPi) + pen + gap;
  // v
  s.Line(x + pen, x_top + pen, x + 12.5, baseline - pen);
  s.Line(x + 25 - pen, x_top + pen, x + 12.5, baseline - pen);
  x += 25 + gap;
  // e
  s.Line(x + pen, mid, x + 2 * r + pen, mid);
  s.Arc(x + r + pen, mid, r, 0, -1.74 * kPi);
  x += 2 * (r + pen) + gap;
  // l
  s.Line(x + pen, cap_top + pen, x + pen, baseline - pen);
  x += 2 * pen;
  return x;
}

BitmapResource Logo() {
  BitmapResource image = Blank(238, 62, kWhiteColour);
  Frame(image, Colour{192, 192, 192});
  PaintInjector(image, 29, 43, 47, 57, 10);
  PaintFlame(image, Flame{29, 5, 44, 13}, kFlameOuter);
  PaintFlame(image, Flame{29, 19, 43, 6.5}, kFlameInner);
  Strokes strokes;
  WordmarkStrokes(strokes, 62, 10, 23, 51, 3.5);
  PaintStrokes(image, strokes, 3.5, kNavyColour);
  // A thin rule under the name, in the flame's colour.
  FillRect(image, 62, 55, 229, 57, kFlameOuter);
  return image;
}

// The program's icon drawn for a square of `size` pixels from the shapes of the 32-pixel icon.
BitmapResource Icon(int size = 32) {
  const double k = size / 32.0;
  BitmapResource image = Blank(size, size, kNavyColour);
  PaintInjector(image, 16 * k, 24 * k, 26 * k, 31 * k, 6 * k);
  PaintFlame(image, Flame{16 * k, 2 * k, 25 * k, 9 * k}, kFlameOuter);
  PaintFlame(image, Flame{16 * k, 11 * k, 24.5 * k, 4.5 * k}, kFlameInner);
  return image;
}

// ---- Language marks: 14 x 12 flags; the checked mark is framed in black, the unchecked one is
// paler with a grey frame --------------------------------------------------------------------

void FinishMark(BitmapResource& image, bool checked) {
  if (!checked) {
    for (uint32_t& p : image.pixels) p = Pack(Mix(Unpack(p), kWhiteColour, 0.45));
  }
  Frame(image, checked ? Colour{0, 0, 0} : Colour{128, 128, 128});
}

BitmapResource PolishMark(bool checked) {
  BitmapResource image = Blank(14, 12, kWhiteColour);
  FillRect(image, 0, 6, 14, 12, kPolishRed);
  FinishMark(image, checked);
  return image;
}

BitmapResource EnglishMark(bool checked) {
  BitmapResource image = Blank(14, 12, kUnionBlue);
  const double w = 12, h = 10;  // inside the frame
  const double diagonal = std::sqrt(w * w + h * h);
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 12; ++x) {
      const double px = x + 0.5, py = y + 0.5;
      // Distances to the two diagonals of the field.
      const double d1 = std::fabs(h * px - w * py) / diagonal;
      const double d2 = std::fabs(h * px + w * py - w * h) / diagonal;
      Colour c = kUnionBlue;
      if (d1 < 0.95 || d2 < 0.95) c = kWhiteColour;
      if (d1 < 0.4 || d2 < 0.4) c = kUnionRed;
      if ((x >= 4 && x <= 7) || (y >= 3 && y <= 6)) c = kWhiteColour;
      if ((x >= 5 && x <= 6) || (y >= 4 && y <= 5)) c = kUnionRed;
      Put(image, x + 1, y + 1, c);
    }
  }
  FinishMark(image, checked);
  return image;
}

// A wiring diagram unpacked to 0xRRGGBB pixels through its palette; empty if its data is damaged.
BitmapResource Diagram(const IndexedDiagram& diagram) {
  std::vector<uint8_t> indices;
  if (!DecodeDiagram(diagram, indices)) return {};
  BitmapResource image;
  image.width = diagram.width;
  image.height = diagram.height;
  image.pixels.resize(indices.size());
  for (size_t i = 0; i < indices.size(); ++i) image.pixels[i] = diagram.palette[indices[i]];
  return image;
}

}  // namespace

BitmapResource LoadBitmapResource(int id) {
  switch (id) {
    case 101: return Icon();
    case 109: return PolishMark(false);
    case 173: return PolishMark(true);
    case 176: return EnglishMark(false);
    case 174: return EnglishMark(true);
    case 178: return Logo();
    case 179: return Diagram(kPolishDiagram);
    case 182: return Diagram(kEnglishDiagram);
    default: return {};
  }
}

BitmapResource ProgramIcon(int size) { return Icon(size < 1 ? 1 : (size > 1024 ? 1024 : size)); }

const char* LoadStringResource(int id) {
  switch (id) {
    case 1: return "Korvel";
    case 3: return "KORVELxx";
    default: return "";
  }
}

}  // namespace korvel
