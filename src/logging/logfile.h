#pragma once

#include <QByteArray>
#include <QString>

namespace tarv::logging {

// The file operations of the logger. Each opens the file, does its work, pushes the
// bytes to the disk and closes it again. The result is empty on success, otherwise
// a sentence that names the file and the reason for the operator.
//
// QSaveFile is not used for the header on purpose: it would replace a read-only
// file through its directory instead of failing as the operator expects.
QString replaceWithLine(const QString &path, const QByteArray &line);
QString appendLine(const QString &path, const QByteArray &line);
// Opens for appending (creating an empty file if there is none) and closes again.
QString checkAppendable(const QString &path);

// The last maxBytes of a file (all of a shorter one); empty when it cannot be read.
QByteArray readTail(const QString &path, qint64 maxBytes);

} // namespace tarv::logging
