#include "ui/main/artwork.h"

#include <mutex>

// The images are compiled into the static ui library; its resource table is only
// registered once someone asks for it, and that call has to come from outside any
// namespace.
static void registerMainResources()
{
    Q_INIT_RESOURCE(tarvmain);
}

namespace tarv::ui {

namespace {

void ensureResources()
{
    static std::once_flag once;
    std::call_once(once, registerMainResources);
}

} // namespace

QIcon programIcon()
{
    ensureResources();
    QIcon icon;
    for (const int size : {32, 64, 256})
        icon.addFile(QStringLiteral(":/tarv/icon-%1.png").arg(size), QSize(size, size));
    return icon;
}

QPixmap aboutPicture()
{
    ensureResources();
    return QPixmap(QStringLiteral(":/tarv/about.png"));
}

} // namespace tarv::ui
