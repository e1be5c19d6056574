#pragma once

#include <Qt>

namespace tarv::ui {

// A child window designed without minimise and maximise buttons sets these flags on
// itself; the main window's frame around it then offers only the close button.
inline constexpr Qt::WindowFlags NoMinMaxChildFlags = Qt::SubWindow | Qt::CustomizeWindowHint
    | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

} // namespace tarv::ui
