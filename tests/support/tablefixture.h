#pragma once

#include "core/acquisitionstate.h"
#include "core/thermotables.h"

#include <QString>

namespace tarv::testsupport {

// Loads the committed j.tc and k.tc into a state; fails the calling test when the
// tables cannot be read.
bool loadShippedTables(core::AcquisitionState &state, QString *error = nullptr);

} // namespace tarv::testsupport
