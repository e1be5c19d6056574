#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTest>

namespace tarv::testsupport {

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

} // namespace tarv::testsupport
