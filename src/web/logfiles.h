#pragma once

#include "core/acquisitionstate.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QIODevice;

namespace tarv::web {

struct LogFile
{
    QString name;
    QString path;
    qint64 size = 0;
    QDateTime modified;
};

// The logs the program wrote that the page offers for download: in the working
// directory only, the log the logging settings name and the files beside it that
// share its start and extension (rig.csv: rig-2026-12-07.csv, the files of a log split
// by day or hour; rig: rig-2026-12-07). Never a
// symbolic link, a hidden file, a settings file or any file in `secrets` (password
// files, keys, certificates).
std::vector<LogFile> logFiles(const core::AcquisitionState &state, const QStringList &secrets);

// The file as long as it is now, opened; null when it cannot be. The logger may
// append while it is sent, and a reply must end where its length said.
std::unique_ptr<QIODevice> openLog(const LogFile &file);

// [{"name": ..., "size": bytes, "modified": ms since the epoch}, ...]
QByteArray logFilesJson(const std::vector<LogFile> &files);

} // namespace tarv::web
