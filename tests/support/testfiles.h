#pragma once

#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

namespace tarv::testsupport {

// The control called `name`, followed by `index` when one is given; a missing
// control ends the test run, since every later check would be meaningless.
template<typename T> T *namedChild(const QObject &parent, const char *name, int index = -1)
{
    const QString full = QLatin1String(name) + (index < 0 ? QString() : QString::number(index));
    auto *found = parent.findChild<T *>(full);
    if (!found)
        qFatal("no control %s", qPrintable(full));
    return found;
}

// The whole content of a file, or nothing when it cannot be read.
inline QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Writes a file the test needs; fails the calling test when it cannot.
inline void putFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(f.write(bytes), bytes.size());
}

// A new file in `dir` holding `bytes`, named in<n><suffix>; its path.
inline QString scratchFile(const QTemporaryDir &dir, const QByteArray &bytes, const QString &suffix)
{
    static int serial = 0;
    const QString path = dir.filePath(QStringLiteral("in%1").arg(++serial) + suffix);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write test input %s", qPrintable(path));
    return path;
}

// The settings files as start-up defaults write them, written out by hand so the
// writers are checked against the format, not against themselves.
inline QByteArray defaultCardFile()
{
    return QByteArray("#FALSE#\r\n").repeated(16)
        + QByteArray(
            "0\r\n10\r\n32000\r\n32000\r\n32000\r\n32000\r\n13000\r\n#FALSE#\r\n#FALSE#\r\n")
              .repeated(8);
}

inline QByteArray defaultLogFile()
{
    QByteArray out = "\"D:\\test.csv\"\r\n#TRUE#\r\n1\r\n1\r\n5\r\n3\r\n";
    for (int c = 0; c < 8; ++c)
        out += "\"Channel " + QByteArray::number(c) + "\"\r\n";
    return out;
}

} // namespace tarv::testsupport
