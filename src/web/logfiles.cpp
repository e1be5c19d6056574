#include "web/logfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace tarv::web {

namespace {

class Snapshot final : public QFile
{
public:
    using QFile::QFile;
    bool take()
    {
        if (!open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            return false;
        m_size = m_left = QFile::size();
        return true;
    }
    qint64 size() const override { return m_size; }

protected:
    qint64 readData(char *data, qint64 most) override
    {
        const qint64 read = QFile::readData(data, std::min(most, m_left));
        if (read > 0)
            m_left -= read;
        return read;
    }

private:
    qint64 m_size = 0;
    qint64 m_left = 0;
};

} // namespace

std::vector<LogFile> logFiles(const core::AcquisitionState &state, const QStringList &secrets)
{
    const QDir dir(state.appPath);
    const QFileInfo log(dir.absoluteFilePath(state.saveFileName));
    const QString home = dir.canonicalPath();
    if (state.saveFileName.isEmpty() || home.isEmpty()
        || QDir(log.absolutePath()).canonicalPath() != home)
        return {};
    QStringList refused;
    for (const char *settings : {"tarv.con", "tarvo.con", "tarvs.con", "tarvane.ini"})
        refused << home + u'/' + QLatin1String(settings);
    for (const QString &secret : secrets)
        refused << QFileInfo(secret).canonicalFilePath();
    std::vector<LogFile> files;
    // Compared as plain text: name filters would be patterns, and the service matches none.
    const QString start = log.completeBaseName();
    for (const QFileInfo &f :
        QDir(home).entryInfoList(QDir::Files | QDir::NoSymLinks | QDir::Readable, QDir::Name)) {
        if (f.fileName().startsWith(start) && f.suffix() == log.suffix()
            && !refused.contains(f.canonicalFilePath()))
            files.push_back({f.fileName(), f.absoluteFilePath(), f.size(), f.lastModified()});
    }
    return files;
}

std::unique_ptr<QIODevice> openLog(const LogFile &file)
{
    auto snapshot = std::make_unique<Snapshot>(file.path);
    if (!snapshot->take())
        return nullptr;
    return snapshot;
}

QByteArray logFilesJson(const std::vector<LogFile> &files)
{
    QJsonArray list;
    for (const LogFile &f : files)
        list.append(QJsonObject {{"name", f.name}, {"size", double(f.size)},
            {"modified", double(f.modified.toMSecsSinceEpoch())}});
    return QJsonDocument(list).toJson(QJsonDocument::Compact);
}

} // namespace tarv::web
