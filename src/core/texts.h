#pragma once

#include <QString>

namespace tarv::core {

// Caption of message boxes that have no title of their own, and the name the
// service's reports go by.
inline const QString ApplicationTitle = QStringLiteral("Tarvane2020");

} // namespace tarv::core
