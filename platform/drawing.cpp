#include "platform/drawing.hpp"

namespace korvel {

namespace {

constexpr PenInfo kPens[] = {
    {"PenCyan1", 1, {0, 255, 255}},      {"PenGreen1", 1, {0, 128, 0}},
    {"PenYellow1", 1, {255, 255, 0}},    {"PenRed1", 1, {255, 0, 0}},
    {"PenRed2", 2, {255, 0, 0}},         {"PenRed4", 4, {255, 0, 0}},
    {"PenNavy1", 1, {0, 0, 128}},        {"PenNavy2", 2, {0, 0, 128}},
    {"PenBlue2", 2, {0, 0, 255}},        {"PenGrey1", 1, {128, 128, 128}},
    {"PenBlack1", 1, {0, 0, 0}},         {"PenBlack4", 4, {0, 0, 0}},
    {"PenWhite1", 1, {255, 255, 255}},   {"PenSilver1", 1, {192, 192, 192}},
    {"PenOlive2", 2, {128, 120, 0}},     {"PenLime2", 2, {0, 255, 0}},
    {"PenLightGrey2", 2, {210, 210, 210}}, {"DefaultPen", 1, {0, 0, 0}},
};

constexpr BrushInfo kBrushes[] = {
    {"BrushGrey", {128, 128, 128}}, {"BrushLime", {0, 255, 0}},     {"BrushBlack", {0, 0, 0}},
    {"BrushNavy", {0, 0, 128}},     {"BrushSilver", {192, 192, 192}}, {"BrushCyan", {0, 255, 255}},
    {"BrushRed", {255, 0, 0}},      {"BrushWhite", {255, 255, 255}}, {"BrushGreen", {0, 128, 0}},
    {"BrushYellow", {255, 255, 0}}, {"BrushOlive", {128, 128, 0}},   {"DefaultBrush", {255, 255, 255}},
};

constexpr FontInfo kFonts[] = {
    {"SystemFont", 16, 7, 400},
    {"ValueFont1", 28, 11, 600}, {"ValueFont2", 36, 14, 600}, {"ValueFont3", 49, 18, 600},
    {"ValueFont4", 62, 23, 600}, {"ValueFont5", 65, 23, 600},
    {"LabelFont1", 14, 6, 300},  {"LabelFont2", 18, 8, 300},  {"LabelFont3", 20, 10, 300},
    {"LabelFont4", 24, 12, 300}, {"LabelFont5", 24, 12, 300},
};

}  // namespace

const PenInfo& DescribePen(Pen pen) { return kPens[static_cast<int>(pen)]; }
const BrushInfo& DescribeBrush(Brush brush) { return kBrushes[static_cast<int>(brush)]; }
const FontInfo& DescribeFont(Font font) { return kFonts[static_cast<int>(font)]; }

Font ValueFontOf(int size_class) {
  return static_cast<Font>(static_cast<int>(Font::ValueFont1) + ClampClass(size_class) - 1);
}
Font LabelFontOf(int size_class) {
  return static_cast<Font>(static_cast<int>(Font::LabelFont1) + ClampClass(size_class) - 1);
}

}  // namespace korvel
