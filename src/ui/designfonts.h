#pragma once

#include <QFont>

namespace tarv::ui {

// The faces the windows were laid out with. None of them ships with Linux; each is
// asked for by name first (so Windows gets the real one) and then through a face
// from Debian's fonts-liberation that keeps the layout: Liberation Sans has
// Arial's widths and Liberation Sans Narrow Arial Narrow's. The rounded face and
// the old dialog face have no twin; Liberation Sans at a size that fits stands in.
enum class DesignFace {
    Dialog, // "MS Sans Serif": every control without a face of its own
    Narrow, // "Arial Narrow"
    Rounded, // "Arial Rounded MT Bold", always bold
};

QFont designFont(DesignFace face, qreal pointSize, bool bold = false);

// Makes the dialog face at its designed 8.25 pt every control's default, so the
// twip layouts hold whatever font the desktop prefers.
void useDesignFonts();

} // namespace tarv::ui
