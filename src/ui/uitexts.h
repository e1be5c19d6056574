#pragma once

#include "core/texts.h"

#include <QString>

namespace tarv::ui {

using core::ApplicationTitle;
// Caption of the main window.
inline const QString MainWindowCaption = QStringLiteral("Tarvane 2020 ~ Data Acquisition Solution");

} // namespace tarv::ui
