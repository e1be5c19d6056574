#pragma once

#include <QString>

namespace tarv::ui {

// Caption of message boxes that have no title of their own.
inline const QString ApplicationTitle = QStringLiteral("Tarvane2020");
// Caption of the main window.
inline const QString MainWindowCaption = QStringLiteral("Tarvane 2020 ~ Data Acquisition Solution");

} // namespace tarv::ui
