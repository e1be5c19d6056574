#pragma once

#include <QByteArray>
#include <QString>

namespace tarv::core {

struct WriteResult
{
    bool ok = false;
    QString path;
    QString error; // for the operator when !ok
};

// Writes a whole file aside and renames it over `path` only when every byte is
// written, so a crash or a full disk never leaves a truncated file behind and the
// previous content survives any failure.
WriteResult replaceFile(const QString &path, const QByteArray &bytes);

} // namespace tarv::core
