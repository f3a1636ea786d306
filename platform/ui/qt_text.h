// Inside the window layer only: CP932 text across the Qt boundary, and the
// scripted press of a button once a modal loop runs.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <functional>
#include <string>
#include <string_view>

#include "platform/cp932.h"

namespace zvrx::platform::ui {

inline QString ToQt(std::string_view cp932) {
  return QString::fromStdString(Cp932ToUtf8(cp932));
}

inline std::string FromQt(const QString& text) { return Utf8ToCp932(text.toStdString()); }

// The dialog font of a template (explicit, so layouts match on every host).
QFont DialogFont(int font_points, std::string_view font_face);

// The face colour of Windows 98 windows and dialogs.
inline QColor FaceColour() { return QColor(192, 192, 192); }

// Runs `press` as soon as the modal loop that is about to start is running.
void PressWhenShown(std::function<void()> press);

}  // namespace zvrx::platform::ui
