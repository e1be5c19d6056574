#pragma once

#include "core/thermotables.h"

namespace tarv::testsupport {

// Loads the committed j.tc and k.tc into a state; false, with the reason in `error`
// when one is given, when the tables cannot be read.
inline bool loadShippedTables(core::AcquisitionState &state, QString *error = nullptr)
{
    const QString dir = QStringLiteral(TARV_SOURCE_DIR "/data/");
    const auto j = core::loadThermocoupleTable(dir + "j.tc", core::JTableCount, state.jTable);
    const auto k = core::loadThermocoupleTable(dir + "k.tc", core::KTableCount, state.kTable);
    if (error)
        *error = !j.ok ? j.message : k.message;
    return j.ok && k.ok;
}

} // namespace tarv::testsupport
