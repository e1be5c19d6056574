#include "support/tablefixture.h"

namespace tarv::testsupport {

bool loadShippedTables(core::AcquisitionState &state, QString *error)
{
    const QString dir = QStringLiteral(TARV_SOURCE_DIR) + QStringLiteral("/data/");
    const auto j = core::loadThermocoupleTable(
        dir + QStringLiteral("j.tc"), core::JTableCount, state.jTable);
    const auto k = core::loadThermocoupleTable(
        dir + QStringLiteral("k.tc"), core::KTableCount, state.kTable);
    if (error)
        *error = !j.ok ? j.message : k.message;
    return j.ok && k.ok;
}

} // namespace tarv::testsupport
