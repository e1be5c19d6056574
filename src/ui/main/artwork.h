#pragma once

#include <QIcon>
#include <QPixmap>

namespace tarv::ui {

// The program icon (window captions, task bar) in every size it is drawn in.
QIcon programIcon();

// The product picture of the About window, 583 x 238 pixels.
QPixmap aboutPicture();

} // namespace tarv::ui
