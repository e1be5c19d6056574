#include "support/testfiles.h"
#include "ui/config/configfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using tarv::ui::config::ConfigFileContents;
using tarv::ui::config::maskText;
using tarv::ui::config::parseMask;
using tarv::ui::config::readConfigFile;
using tarv::ui::config::writeConfigFile;

namespace {

// Descriptors this process holds open; a file left open by a failed read shows here.
int openDescriptors()
{
    const QDir fds(QStringLiteral("/proc/self/fd"));
    return int(fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size());
}

} // namespace

class TstConfigFile : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString pathWith(const QByteArray &bytes)
    {
        return tarv::testsupport::scratchFile(m_dir, bytes, QStringLiteral(".cfg"));
    }

private slots:
    void maskTextHasFourDigits_data();
    void maskTextHasFourDigits();
    void parseMaskAcceptsHexOnly_data();
    void parseMaskAcceptsHexOnly();
    void writesTenCrLfLinesAndReplacesOldFile();
    void writeFailsWithoutDirectory();
    void readsFields_data();
    void readsFields();
    void shortOrMissingFileGivesNothing_data();
    void shortOrMissingFileGivesNothing();
};

void TstConfigFile::maskTextHasFourDigits_data()
{
    QTest::addColumn<int>("mask");
    QTest::addColumn<QString>("text");
    QTest::newRow("all output") << 0 << "0000";
    QTest::newRow("one digit") << 0xF << "000F";
    QTest::newRow("two digits") << 0xFF << "00FF";
    QTest::newRow("three digits") << 0xABC << "0ABC";
    QTest::newRow("all input") << 0xFFFF << "FFFF";
    QTest::newRow("lines 0 and 15 output") << 0x7FFE << "7FFE";
    QTest::newRow("only line 0 input") << 1 << "0001";
    QTest::newRow("4096 boundary") << 4096 << "1000";
    QTest::newRow("4095 boundary") << 4095 << "0FFF";
    QTest::newRow("beyond 16 lines") << 0x12345 << "12345";
    // Bit 31 makes the value negative; its eight digits need no padding and must
    // read back as the same mask.
    QTest::newRow("bit 31 set") << int(0xEDDDDEEEu) << "EDDDDEEE";
    QTest::newRow("all 32 bits") << -1 << "FFFFFFFF";
}

void TstConfigFile::maskTextHasFourDigits()
{
    QFETCH(int, mask);
    QFETCH(QString, text);
    QCOMPARE(maskText(mask), text);
    QCOMPARE(parseMask(text), std::optional<std::int32_t>(mask));
}

void TstConfigFile::parseMaskAcceptsHexOnly_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("mask");
    QTest::newRow("all input") << "FFFF" << true << 0xFFFF;
    QTest::newRow("bit 15 stays positive") << "8000" << true << 0x8000;
    QTest::newRow("lower case") << "00ff" << true << 0xFF;
    QTest::newRow("single digit") << "7" << true << 7;
    QTest::newRow("eight digits wrap to negative") << "FFFFFFFF" << true << -1;
    QTest::newRow("nine digits overflow") << "100000000" << false << 0;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("not hex") << "12G4" << false << 0;
    QTest::newRow("sign") << "-1" << false << 0;
    QTest::newRow("inner blank") << "FF FF" << false << 0;
}

void TstConfigFile::parseMaskAcceptsHexOnly()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(int, mask);
    const auto parsed = parseMask(text);
    QCOMPARE(parsed.has_value(), valid);
    if (valid)
        QCOMPARE(*parsed, mask);
}

void TstConfigFile::writesTenCrLfLinesAndReplacesOldFile()
{
    // A longer file already there must not leave its tail behind.
    const QString path = pathWith(QByteArray(500, 'x'));
    ConfigFileContents contents;
    contents.dioMaskText = QStringLiteral("7FFE");
    contents.inputTypesText = QStringLiteral("0-1000000");
    contents.rangeTexts = {QStringLiteral("10"), QStringLiteral("1,5"), QStringLiteral("abc"),
        QStringLiteral(" 2 "), QStringLiteral(""), QStringLiteral("100"), QStringLiteral("\u00b0C"),
        QStringLiteral("-3.25")};
    QVERIFY(writeConfigFile(path, contents));

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(),
        QByteArray("7FFE\r\n0-1000000\r\n10\r\n1,5\r\nabc\r\n 2 \r\n\r\n100\r\n\xb0"
                   "C\r\n-3.25\r\n"));
}

void TstConfigFile::writeFailsWithoutDirectory()
{
    QVERIFY(!writeConfigFile(m_dir.filePath(QStringLiteral("missing/x.cfg")), {}));
}

void TstConfigFile::readsFields_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("fields");
    QTest::newRow("as written") << QByteArray(
        "FFFF\r\n00000000\r\n10\r\n10\r\n10\r\n10\r\n10\r\n10\r\n10\r\n10\r\n")
                                << QStringList {"FFFF", "00000000", "10", "10", "10", "10", "10",
                                       "10", "10", "10"};
    QTest::newRow("comma splits a range, the last one is lost")
        << QByteArray("FFFF\r\n00000000\r\n100\r\n1,5\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n")
        << QStringList {"FFFF", "00000000", "100", "1", "5", "2", "3", "4", "5", "6"};
    QTest::newRow("leading blanks skipped, quotes removed, LF only")
        << QByteArray("  00FF\n\t\"0,1\"\n a\nb\nc\nd\ne\nf\ng\nh\n")
        << QStringList {"00FF", "0,1", "a", "b", "c", "d", "e", "f", "g", "h"};
    QTest::newRow("ten fields on one line")
        << QByteArray("0001,01234560,1,2,3,4,5,6,7,8")
        << QStringList {"0001", "01234560", "1", "2", "3", "4", "5", "6", "7", "8"};
    QTest::newRow("empty range lines")
        << QByteArray("FFFF\r\n0\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n")
        << QStringList {"FFFF", "0", "", "", "", "", "", "", "", ""};
}

void TstConfigFile::readsFields()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, fields);
    const auto contents = readConfigFile(pathWith(bytes));
    QVERIFY(contents);
    QStringList read {contents->dioMaskText, contents->inputTypesText};
    for (const QString &range : contents->rangeTexts)
        read << range;
    QCOMPARE(read, fields);
}

void TstConfigFile::shortOrMissingFileGivesNothing_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("missing") << false << QByteArray();
    QTest::newRow("empty") << true << QByteArray();
    QTest::newRow("nine fields") << true
                                 << QByteArray("FFFF\r\n0\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n");
    QTest::newRow("unclosed quote")
        << true << QByteArray("FFFF\r\n0\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n\"8");
}

void TstConfigFile::shortOrMissingFileGivesNothing()
{
    QFETCH(bool, exists);
    QFETCH(QByteArray, bytes);
    const QString path = exists ? pathWith(bytes) : m_dir.filePath(QStringLiteral("none.cfg"));
    const int descriptors = openDescriptors();
    QVERIFY(!readConfigFile(path));
    QCOMPARE(openDescriptors(), descriptors);
}

QTEST_GUILESS_MAIN(TstConfigFile)
#include "tst_configfile.moc"
