#include "platform/ui/dialog.h"

#include <QFont>
#include <QFontMetrics>
#include <string>

#include "platform/ui/qt_text.h"

namespace zvrx::platform::ui {

QFont DialogFont(int font_points, std::string_view font_face) {
  QFont font(QString::fromStdString(std::string(font_face)));
  font.setPointSize(font_points);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

namespace {

constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr int kLetterCount = 52;

// MulDiv for the non-negative values of a layout: rounds to nearest.
int MulDiv(int value, int numerator, int denominator) {
  return (value * numerator + denominator / 2) / denominator;
}

}  // namespace

BaseUnits DialogBaseUnits(int font_points, std::string_view font_face) {
  const QFontMetrics metrics(DialogFont(font_points, font_face));
  // averageCharWidth() would take the CJK glyphs and double every dialog.
  const int letters = metrics.horizontalAdvance(QString::fromLatin1(kLetters, kLetterCount));
  return {(letters / 26 + 1) / 2, metrics.height()};
}

PixelRect DialogUnitsToPixels(int x, int y, int width, int height, BaseUnits base) {
  return {MulDiv(x, base.x, 4), MulDiv(y, base.y, 8), MulDiv(width, base.x, 4),
          MulDiv(height, base.y, 8)};
}

}  // namespace zvrx::platform::ui
