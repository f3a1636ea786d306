// Dialog units: where a template's controls go in pixels. Controls are
// placed at their dialog-unit rectangles; the dialogs themselves are in
// window.h.
#pragma once

#include <string_view>

namespace zvrx::platform::ui {

// Dialog base units of a font, as Windows computes them: horizontal = the
// average width of the 52 letters A-Z a-z, vertical = the font's height.
// A dialog unit is a quarter of the first and an eighth of the second.
struct BaseUnits {
  int x = 0;
  int y = 0;
};
BaseUnits DialogBaseUnits(int font_points, std::string_view font_face);

struct PixelRect {
  int x = 0, y = 0, width = 0, height = 0;
};
PixelRect DialogUnitsToPixels(int x, int y, int width, int height, BaseUnits base);

}  // namespace zvrx::platform::ui
