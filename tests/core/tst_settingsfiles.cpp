#include "core/settingsfile.h"
#include "core/settingsfiles.h"
#include "support/testfiles.h"

#include <QtTest>

using namespace tarv::core;
using namespace tarv::testsupport;

namespace {

// tarvo.con with every number unlike its default: sixteen flags, then per channel
// a whole number, a range, five whole numbers and two flags.
QByteArray customCardFile()
{
    QByteArray out;
    for (int n = 0; n < 88; ++n) {
        const int k = n < 16 ? 7 : (n - 16) % 9;
        out += k >= 7 ? QByteArray(n % 3 ? "#FALSE#" : "#TRUE#")
            : k == 1  ? QByteArray::number(n) + ".25"
                      : QByteArray::number(n * 700 - 30000);
        out += "\r\n";
    }
    return out;
}

} // namespace

class TestSettingsFiles : public QObject
{
    Q_OBJECT

private slots:
    // Commas and all three line ends separate fields. A quoted text may span lines and
    // keeps its blanks, the rest of its line dropped; other texts are trimmed.
    void fields()
    {
        SettingsReader r("1,2\r\n\"a,\r\nb\" junk,3\n  -4\r5\r\n  \"  x  \"  \r\n  bare text  \r\n"
                         "\r\n\"caf\xe9\"\r\n");
        QStringList got;
        QString s;
        while (got.size() < 20 && r.readString(s)) // bounded, should a field never end
            got << s;
        QCOMPARE(got,
            QStringList(
                {"1", "2", "a,\r\nb", "3", "-4", "5", "  x  ", "bare text", "", "caf\u00e9"}));
        QVERIFY2(
            r.error().contains("line 10") && r.error().contains("ends"), qPrintable(r.error()));
        // An unclosed quote is refused and leaves the text as it was.
        QVERIFY(!SettingsReader("\"open\r\n").readString(s) && s == QStringLiteral("caf\u00e9"));
    }

    // Doubles in their shortest exact form, plain decimal, never an exponent or "-0".
    void writer()
    {
        SettingsWriter w;
        for (const Double v : {12.7, -0.0, 1.0 / 3, 1e5, 1e-4, 1e20, 1234567.0})
            w.writeDouble(v);
        w.writeString(QStringLiteral("\u03a9 caf\u00e9, x"));
        QCOMPARE(w.data(),
            QByteArray("12.7\r\n0\r\n0.3333333333333333\r\n100000\r\n0.0001\r\n"
                       "100000000000000000000\r\n1234567\r\n\"? caf\xe9, x\"\r\n"));
        // The files as start-up's defaults write them; tarv.con holds a printed
        // number: the sign's place, the digits, one blank.
        AcquisitionState s;
        applyDefaults(s);
        QCOMPARE(cardSettingsBytes(s), defaultCardFile());
        QCOMPARE(logSettingsBytes(s), defaultLogFile());
        s.comPort = 0;
        QCOMPARE(comPortFileBytes(s), QByteArray(" 0 \r\n"));
    }

    // One line of tarvo.con changed or the file cut short. Values are checked against
    // their type only; earlier builds' exponents still read. A refused value names its
    // line; the lines before it keep what the file said, the rest their defaults.
    void cardFileLines_data()
    {
        QTest::addColumn<int>("line"); // 17 is an input type, 18 a range, 24 a flag
        QTest::addColumn<QByteArray>("text"); // null: the file ends before the line
        QTest::addColumn<QByteArray>("readBack"); // as written back; null: refused
        const auto row = [](const char *name, int line, const char *text, const char *back) {
            QTest::newRow(name) << line << QByteArray(text) << QByteArray(back);
        };
        for (const int line : {1, 17, 41, 88})
            QTest::addRow("cut before line %d", line) << line << QByteArray() << QByteArray();
        row("type off the list, blanks, sign", 17, "  -5 ", "-5");
        row("quoted flag word is text", 17, "\"#TRUE#\"", nullptr);
        row("count too large", 19, "40000", nullptr);
        row("negative range, exponent", 18, "-1E+06", "-1000000");
        row("range not a number", 18, "nan", nullptr);
        row("flag minus one", 24, "-1", "#TRUE#");
        row("flag one, as hand edits write it", 24, "1", "#TRUE#");
        row("flag zero with a fraction", 25, "0.0", "#FALSE#");
        row("flag word without marks on the last line", 88, "TRUE", nullptr);
    }
    void cardFileLines()
    {
        QFETCH(int, line);
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, readBack);
        const QList<QByteArray> full = customCardFile().split('\n');
        QList<QByteArray> content = full;
        if (text.isNull())
            content.resize(line - 1);
        else
            content[line - 1] = text + '\r';
        AcquisitionState s;
        applyDefaults(s);
        const ReadResult r = readCardSettingsFrom(content.join('\n'), s);
        QCOMPARE(r.ok, !readBack.isNull());
        if (r.ok)
            content[line - 1] = readBack + '\r';
        else
            QVERIFY2(r.error.contains(QStringLiteral("line %1").arg(line))
                    && r.error.contains(QString::fromLatin1(text)),
                qPrintable(r.error));
        QCOMPARE(cardSettingsBytes(s).split('\n'),
            r.ok ? content : full.mid(0, line - 1) + defaultCardFile().split('\n').mid(line - 1));
    }
};

QTEST_GUILESS_MAIN(TestSettingsFiles)
#include "tst_settingsfiles.moc"
