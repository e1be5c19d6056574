#include "support/testfiles.h"
#include "ui/config/configfile.h"

#include <QTemporaryDir>
#include <QtTest>

using tarv::ui::config::ConfigFileContents;
using tarv::ui::config::maskText;
using tarv::ui::config::parseMask;
using tarv::ui::config::readConfigFile;
using tarv::ui::config::writeConfigFile;

class TstConfigFile : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void maskTextAndParse_data();
    void maskTextAndParse();
    void writesTenCrLfLinesAndReplacesOldFile();
    void writeFailsWithoutDirectory();
    void readsFields_data();
    void readsFields();
};

void TstConfigFile::maskTextAndParse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("mask");
    QTest::addColumn<QString>("written"); // what the mask is written as; empty: text refused
    QTest::newRow("all output") << "0000" << 0 << "0000";
    QTest::newRow("padded to four") << "ABC" << 0xABC << "0ABC";
    QTest::newRow("bit 15 stays positive") << "8000" << 0x8000 << "8000";
    QTest::newRow("beyond 16 lines") << "12345" << 0x12345 << "12345";
    // Bit 31 makes the value negative; its eight digits need no padding and must
    // read back as the same mask.
    QTest::newRow("bit 31 set") << "EDDDDEEE" << int(0xEDDDDEEEu) << "EDDDDEEE";
    QTest::newRow("lower case") << "00ff" << 0xFF << "00FF";
    QTest::newRow("nine digits overflow") << "100000000" << 0 << "";
    QTest::newRow("empty") << "" << 0 << "";
    QTest::newRow("not hex") << "12G4" << 0 << "";
    QTest::newRow("sign") << "-1" << 0 << "";
}

void TstConfigFile::maskTextAndParse()
{
    QFETCH(QString, text);
    QFETCH(int, mask);
    QFETCH(QString, written);
    const auto parsed = parseMask(text);
    if (written.isEmpty()) {
        QVERIFY(!parsed);
        return;
    }
    QCOMPARE(parsed, std::optional<std::int32_t>(mask));
    QCOMPARE(maskText(mask), written);
}

void TstConfigFile::writesTenCrLfLinesAndReplacesOldFile()
{
    // A longer file already there must not leave its tail behind.
    const QString path
        = tarv::testsupport::scratchFile(m_dir, QByteArray(500, 'x'), QStringLiteral(".cfg"));
    ConfigFileContents contents;
    contents.dioMaskText = QStringLiteral("7FFE");
    contents.inputTypesText = QStringLiteral("0-1000000");
    contents.rangeTexts = {QStringLiteral("10"), QStringLiteral("1,5"), QStringLiteral("abc"),
        QStringLiteral(" 2 "), QString(), QStringLiteral("100"), QStringLiteral("\u00b0C"),
        QStringLiteral("-3.25")};
    QVERIFY(writeConfigFile(path, contents));
    QCOMPARE(tarv::testsupport::fileBytes(path),
        QByteArray("7FFE\r\n0-1000000\r\n10\r\n1,5\r\nabc\r\n 2 \r\n\r\n100\r\n\xb0"
                   "C\r\n-3.25\r\n"));
}

void TstConfigFile::writeFailsWithoutDirectory()
{
    QVERIFY(!writeConfigFile(m_dir.filePath(QStringLiteral("missing/x.cfg")), {}));
}

void TstConfigFile::readsFields_data()
{
    // A null byte array stands for no file at all; an empty list for "nothing read".
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("fields");
    QTest::newRow("as written, empty ranges")
        << QByteArray("FFFF\r\n00000000\r\n10\r\n\r\n10\r\n10\r\n10\r\n10\r\n10\r\n\r\n")
        << QStringList {"FFFF", "00000000", "10", "", "10", "10", "10", "10", "10", ""};
    QTest::newRow("comma splits a range, the last one is lost")
        << QByteArray("FFFF\r\n00000000\r\n100\r\n1,5\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n")
        << QStringList {"FFFF", "00000000", "100", "1", "5", "2", "3", "4", "5", "6"};
    QTest::newRow("hand-edited: blanks, quotes, LF only")
        << QByteArray("  00FF\n\t\"0,1\"\n a\nb\nc\nd\ne\nf\ng\nh\n")
        << QStringList {"00FF", "0,1", "a", "b", "c", "d", "e", "f", "g", "h"};
    QTest::newRow("nine fields") << QByteArray("FFFF\r\n0\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n")
                                 << QStringList();
    QTest::newRow("missing file") << QByteArray() << QStringList();
}

void TstConfigFile::readsFields()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, fields);
    const QString path = bytes.isNull()
        ? m_dir.filePath(QStringLiteral("none.cfg"))
        : tarv::testsupport::scratchFile(m_dir, bytes, QStringLiteral(".cfg"));
    const auto contents = readConfigFile(path);
    QCOMPARE(contents.has_value(), !fields.isEmpty());
    if (!contents)
        return;
    QStringList read {contents->dioMaskText, contents->inputTypesText};
    for (const QString &range : contents->rangeTexts)
        read << range;
    QCOMPARE(read, fields);
}

QTEST_GUILESS_MAIN(TstConfigFile)
#include "tst_configfile.moc"
