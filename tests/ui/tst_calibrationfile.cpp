#include "core/acquisitionstate.h"
#include "ui/config/calibrationfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using tarv::core::AcquisitionState;
using tarv::core::Integer;
using tarv::ui::config::CalibrationImport;
using tarv::ui::config::exportCalibration;
using tarv::ui::config::importCalibration;

namespace {

using CountArray = tarv::core::ChannelArray<Integer> AcquisitionState::*;
constexpr std::array<CountArray, 5> FileOrder
    = {&AcquisitionState::zero10V, &AcquisitionState::zero200mV, &AcquisitionState::span10V,
        &AcquisitionState::span200mV, &AcquisitionState::rtdCal};

// The forty counts in file order, channel 0 first.
QList<int> counts(const AcquisitionState &state)
{
    QList<int> all;
    for (int channel = 0; channel < 8; ++channel) {
        for (const CountArray array : FileOrder)
            all << (state.*array)[channel];
    }
    return all;
}

// Forty distinct counts, negative and extreme ones among them.
QList<int> sampleCounts()
{
    QList<int> all;
    for (int i = 0; i < 40; ++i)
        all << (i % 2 ? -1 : 1) * (i * 811 + 7);
    all[0] = -32768;
    all[39] = 32767;
    return all;
}

QByteArray countLines(const QList<int> &values, const char *separator)
{
    QByteArrayList lines;
    for (int value : values)
        lines << QByteArray::number(value);
    return lines.join(separator);
}

// Descriptors this process holds open; a file left open by a failed read shows here.
int openDescriptors()
{
    const QDir fds(QStringLiteral("/proc/self/fd"));
    return int(fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size());
}

const QByteArray QuotedId = "\"Tarvane2020 ver.1.1 Calib File\"";

AcquisitionState defaultState()
{
    AcquisitionState state;
    tarv::core::applyDefaults(state);
    return state;
}

} // namespace

class TstCalibrationFile : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString pathWith(const QByteArray &bytes)
    {
        static int serial = 0;
        const QString path = m_dir.filePath(QStringLiteral("in%1.cal").arg(++serial));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write test input");
        return path;
    }

private slots:
    void exportsDefaultsAsWritten();
    void roundTripRestoresNegativeCounts();
    void exportFailsWithoutDirectory();
    void importsAcceptedLayouts_data();
    void importsAcceptedLayouts();
    void refusesOtherIdentification_data();
    void refusesOtherIdentification();
    void partialImportKeepsWhatWasRead_data();
    void partialImportKeepsWhatWasRead();
    void missingFileChangesNothing();
};

void TstCalibrationFile::exportsDefaultsAsWritten()
{
    // An older, longer file at the same place is replaced as a whole.
    const QString path = pathWith(QByteArray(2000, '9'));
    QVERIFY(exportCalibration(path, defaultState()));

    QByteArray expected = QuotedId + "\r\n";
    for (int channel = 0; channel < 8; ++channel)
        expected += "32000\r\n32000\r\n32000\r\n32000\r\n13000\r\n";
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), expected);
}

void TstCalibrationFile::roundTripRestoresNegativeCounts()
{
    AcquisitionState source = defaultState();
    const QList<int> values = sampleCounts();
    for (int i = 0; i < 40; ++i)
        (source.*FileOrder[i % 5])[i / 5] = Integer(values[i]);
    const QString path = m_dir.filePath(QStringLiteral("roundtrip.cal"));
    QVERIFY(exportCalibration(path, source));

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QuotedId + "\r\n" + countLines(values, "\r\n") + "\r\n");

    AcquisitionState target = defaultState();
    QCOMPARE(importCalibration(path, target), CalibrationImport::Complete);
    QCOMPARE(counts(target), values);
}

void TstCalibrationFile::exportFailsWithoutDirectory()
{
    QVERIFY(!exportCalibration(m_dir.filePath(QStringLiteral("missing/x.cal")), defaultState()));
}

void TstCalibrationFile::importsAcceptedLayouts_data()
{
    const QList<int> values = sampleCounts();
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<int>>("expected");
    QTest::newRow("forty counts on one line") << QuotedId + "\r\n" + countLines(values, ",")
            + "\r\n" << values;
    QTest::newRow("unquoted identification, blanks before fields, LF only")
        << "  Tarvane2020 ver.1.1 Calib File\n" + countLines(values, "\n   ") << values;
    QTest::newRow("identification and counts on one line")
        << QuotedId + "," + countLines(values, ", ") << values;

    QList<int> rounded = values;
    rounded[0] = 2; // 2.5 rounds to the even neighbour
    rounded[1] = 4; // 3.5 as well
    rounded[2] = -1; // #TRUE# is a count of -1, as in the settings files
    QTest::newRow("fractions round halves to even")
        << QuotedId + "\r\n2.5\r\n3.5\r\n#TRUE#\r\n" + countLines(values.mid(3), "\r\n") << rounded;
}

void TstCalibrationFile::importsAcceptedLayouts()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QList<int>, expected);
    AcquisitionState state = defaultState();
    QCOMPARE(importCalibration(pathWith(bytes), state), CalibrationImport::Complete);
    QCOMPARE(counts(state), expected);
}

void TstCalibrationFile::refusesOtherIdentification_data()
{
    QTest::addColumn<QByteArray>("firstLine");
    QTest::newRow("letter case") << QByteArray("\"TARVANE2020 VER.1.1 CALIB FILE\"");
    QTest::newRow("other version") << QByteArray("\"Tarvane2020 ver.1.0 Calib File\"");
    QTest::newRow("comma inside when unquoted") << QByteArray("Tarvane2020, ver.1.1 Calib File");
    QTest::newRow("a count instead") << QByteArray("32000");
    QTest::newRow("blank line first") << QByteArray("");
}

void TstCalibrationFile::refusesOtherIdentification()
{
    QFETCH(QByteArray, firstLine);
    AcquisitionState state = defaultState();
    const QString path = pathWith(firstLine + "\r\n" + countLines(sampleCounts(), "\r\n"));
    QCOMPARE(importCalibration(path, state), CalibrationImport::Incompatible);
    QCOMPARE(counts(state), counts(defaultState()));
}

void TstCalibrationFile::partialImportKeepsWhatWasRead_data()
{
    const QList<int> values = sampleCounts();
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("taken");
    QTest::newRow("empty file") << QByteArray() << 0;
    QTest::newRow("identification only") << QuotedId + "\r\n" << 0;
    QTest::newRow("twenty counts: channels 0 to 3")
        << QuotedId + "\r\n" + countLines(values.mid(0, 20), "\r\n") + "\r\n"
        << 20;
    QTest::newRow("thirty-nine counts")
        << QuotedId + "\r\n" + countLines(values.mid(0, 39), ",") << 39;
    QTest::newRow("trailing letters are not a count")
        << QuotedId + "\r\n" + countLines(values.mid(0, 7), "\r\n") + "\r\n12abc\r\n1\r\n"
        << 7;
    const QByteArray first = QByteArray::number(values[0]);
    QTest::newRow("above 32767") << QuotedId + "\r\n" + first + "\r\n32768\r\n" << 1;
    QTest::newRow("rounds above 32767") << QuotedId + "\r\n32767.5\r\n" << 0;
    QTest::newRow("below -32768") << QuotedId + "\r\n-32769\r\n" << 0;
    QTest::newRow("empty field") << QuotedId + "\r\n" + first + ",,3\r\n" << 1;
}

void TstCalibrationFile::partialImportKeepsWhatWasRead()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, taken);
    AcquisitionState state = defaultState();
    const QString path = pathWith(bytes);
    const int descriptors = openDescriptors();
    QCOMPARE(importCalibration(path, state), CalibrationImport::Partial);
    QCOMPARE(openDescriptors(), descriptors);

    const QList<int> expected = sampleCounts().mid(0, taken) + counts(defaultState()).mid(taken);
    QCOMPARE(counts(state), expected);
}

void TstCalibrationFile::missingFileChangesNothing()
{
    AcquisitionState state = defaultState();
    QCOMPARE(importCalibration(m_dir.filePath(QStringLiteral("none.cal")), state),
        CalibrationImport::NotOpened);
    QCOMPARE(counts(state), counts(defaultState()));
}

QTEST_GUILESS_MAIN(TstCalibrationFile)
#include "tst_calibrationfile.moc"
