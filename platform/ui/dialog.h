// Dialog units: where a template's controls go in pixels. Controls are
// placed at their dialog-unit rectangles; the dialogs themselves are in
// window.h.
#pragma once

#include <string_view>

#include "platform/window_metrics.h"

namespace zvrx::platform::ui {

BaseUnits DialogBaseUnits(int font_points, std::string_view font_face);
PixelRect DialogUnitsToPixels(int x, int y, int width, int height, BaseUnits base);

}  // namespace zvrx::platform::ui
