#include "ui/designfonts.h"

#include <QApplication>
#include <QStringList>

namespace tarv::ui {

QFont designFont(DesignFace face, qreal pointSize, bool bold)
{
    QStringList families;
    switch (face) {
    case DesignFace::Dialog:
        families = {QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif")};
        break;
    case DesignFace::Narrow:
        families = {QStringLiteral("Arial Narrow"), QStringLiteral("Liberation Sans Narrow")};
        break;
    case DesignFace::Rounded:
        families = {QStringLiteral("Arial Rounded MT Bold")};
        bold = true;
        break;
    }
    families += {QStringLiteral("Arial"), QStringLiteral("Liberation Sans")};
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

void useDesignFonts()
{
    QApplication::setFont(designFont(DesignFace::Dialog, 8.25));
}

} // namespace tarv::ui
