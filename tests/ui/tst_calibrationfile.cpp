#include "core/acquisitionstate.h"
#include "support/testfiles.h"
#include "ui/config/calibrationfile.h"

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

// Forty distinct counts, negative and extreme ones among them, none a default.
QList<int> sampleCounts()
{
    QList<int> all;
    for (int i = 0; i < 40; ++i)
        all << (i % 2 ? -1 : 1) * (i * 811 + 7);
    all[0] = -32768;
    all[1] = -1; // -1 and 2 let a hand-edited file give them as #TRUE# and 2.5
    all[2] = 2;
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

private slots:
    void exportWritesFileOrderAndReadsBack();
    void exportFailsWithoutDirectory();
    void importTakesCountsUntilAFault_data();
    void importTakesCountsUntilAFault();
};

void TstCalibrationFile::exportWritesFileOrderAndReadsBack()
{
    AcquisitionState source = defaultState();
    const QList<int> values = sampleCounts();
    for (int i = 0; i < 40; ++i)
        (source.*FileOrder[i % 5])[i / 5] = Integer(values[i]);
    // An older, longer file at the same place is replaced as a whole.
    const QString path
        = tarv::testsupport::scratchFile(m_dir, QByteArray(2000, '9'), QStringLiteral(".cal"));
    QVERIFY(exportCalibration(path, source));
    QCOMPARE(tarv::testsupport::fileBytes(path),
        QuotedId + "\r\n" + countLines(values, "\r\n") + "\r\n");

    AcquisitionState target = defaultState();
    QCOMPARE(importCalibration(path, target), CalibrationImport::Complete);
    QCOMPARE(counts(target), values);
}

void TstCalibrationFile::exportFailsWithoutDirectory()
{
    QVERIFY(!exportCalibration(m_dir.filePath(QStringLiteral("missing/x.cal")), defaultState()));
}

void TstCalibrationFile::importTakesCountsUntilAFault_data()
{
    // A null byte array stands for no file at all. The first `taken` sample counts
    // are expected in the state, the defaults after them.
    const QList<int> values = sampleCounts();
    const QByteArray all = countLines(values, "\r\n");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<CalibrationImport>("result");
    QTest::addColumn<int>("taken");

    QTest::newRow("hand-edited: unquoted identification, #TRUE#, a half, blanks, LF")
        << "  Tarvane2020 ver.1.1 Calib File\n-32768,#TRUE#,  2.5\n"
            + countLines(values.mid(3), ",  ")
        << CalibrationImport::Complete << 40;
    QTest::newRow("letter case") << "\"TARVANE2020 VER.1.1 CALIB FILE\"\r\n" + all
                                 << CalibrationImport::Incompatible << 0;
    QTest::newRow("other version")
        << "\"Tarvane2020 ver.1.0 Calib File\"\r\n" + all << CalibrationImport::Incompatible << 0;
    QTest::newRow("blank line first") << "\r\n" + all << CalibrationImport::Incompatible << 0;
    QTest::newRow("empty file") << QByteArray("") << CalibrationImport::Partial << 0;
    const QByteArray twenty = QuotedId + "\r\n" + countLines(values.mid(0, 20), "\r\n") + "\r\n";
    QTest::newRow("trailing letters are not a count") << twenty + "12abc\r\n1\r\n"
                                                      << CalibrationImport::Partial << 20;
    QTest::newRow("above 32767") << twenty + "32768\r\n" << CalibrationImport::Partial << 20;
    QTest::newRow("thirty-nine counts") << QuotedId + "\r\n" + countLines(values.mid(0, 39), ",")
                                        << CalibrationImport::Partial << 39;
    QTest::newRow("missing file") << QByteArray() << CalibrationImport::NotOpened << 0;
}

void TstCalibrationFile::importTakesCountsUntilAFault()
{
    QFETCH(QByteArray, bytes);
    QFETCH(CalibrationImport, result);
    QFETCH(int, taken);
    const QString path = bytes.isNull()
        ? m_dir.filePath(QStringLiteral("none.cal"))
        : tarv::testsupport::scratchFile(m_dir, bytes, QStringLiteral(".cal"));
    AcquisitionState state = defaultState();
    QCOMPARE(importCalibration(path, state), result);
    QCOMPARE(counts(state), sampleCounts().mid(0, taken) + counts(defaultState()).mid(taken));
}

QTEST_GUILESS_MAIN(TstCalibrationFile)
#include "tst_calibrationfile.moc"
