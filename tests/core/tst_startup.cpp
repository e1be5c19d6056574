#include "core/settingsfiles.h"
#include "core/startup.h"
#include "support/testfiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace tarv::core;
using namespace tarv::testsupport;

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    // What start-up decides (the formats are tested with their readers): a short or
    // missing table stops it before the window; otherwise the first settings file
    // that fails ends the reading, keeps what the files before it gave, sets comPort
    // back to 1 and rewrites tarv.con and tarvo.con from memory before the window,
    // reporting what cannot be written. tarvs.con is written only on the way out.
    void startup_data()
    {
        QTest::addColumn<QString>("stop"); // the table that is short or missing
        QTest::addColumn<int>("missing"); // settings file, -1 for none; tarvo.con a folder
        for (const auto &[name, stop, missing] :
            {std::tuple {"all present", "", -1}, {"tarv.con missing", "", 0},
                {"tarvo.con a folder", "", 1}, {"tarvs.con missing", "", 2},
                {"j.tc one short", "j.tc", -1}, {"k.tc missing", "k.tc", -1}})
            QTest::newRow(name) << QString(stop) << missing;
    }
    void startup()
    {
        QFETCH(QString, stop);
        QFETCH(int, missing);
        QTemporaryDir app;
        const QString names[] {app.filePath("tarv.con"), app.filePath("tarvo.con"),
            app.filePath("tarvs.con"), app.filePath("j.tc")};
        QByteArray files[] {" 5 \r\n", defaultCardFile(), defaultLogFile(), QByteArray()};
        files[1].replace(0, 7, "#TRUE#"); // from #FALSE#
        files[2].replace("Channel 7", "Oven");
        // j.tc in appPath, which comes before the shipped folder, the only one with k.tc.
        for (int i = 0; i < JTableCount - (stop == "j.tc"); ++i)
            files[3] += QByteArray::number(i / 20.0) + "\r\n";
        for (int i = 0; i < 4; ++i) {
            if (i != missing)
                putFile(names[i], files[i]);
            else if (i == 1)
                QVERIFY(QDir().mkdir(names[i]));
        }
        StartupOptions options;
        // Made absolute at once: moving away later must not move the files.
        options.appPath = QDir::current().relativeFilePath(app.path());
        options.tableDirs = {stop == "k.tc" ? "" : TARV_SOURCE_DIR "/data"};
        AcquisitionState state;
        QByteArray seenByWindow = "no window"; // tarvo.con as the window finds it
        const StartupResult r = Main(state, options, [&] { seenByWindow = fileBytes(names[1]); });

        const bool fallback = missing >= 0;
        QVERIFY2(r.ok == stop.isEmpty() && r.fallbackTaken == fallback
                && r.fallbackWriteErrors.size() == (missing == 1) && r.errorMessage.contains(stop)
                && (missing != 1 || r.fallbackWriteErrors[0].contains("tarvo.con")),
            qPrintable(r.errorMessage + r.fallbackWriteErrors.join(u' ')));
        QCOMPARE(seenByWindow, stop.isEmpty() ? fileBytes(names[1]) : "no window");
        if (!stop.isEmpty())
            return;
        QVERIFY2(fallback ? r.fallbackReason.contains(QDir::toNativeSeparators(names[missing]))
                          : r.fallbackReason.isEmpty(),
            qPrintable(r.fallbackReason));
        QCOMPARE(state.appPath, app.path());
        QCOMPARE(QVariantList({state.comPort, state.jTable[1100], state.kTable[1570]}),
            QVariantList({fallback ? 1 : 5, 55.0, 54.818569}));
        QCOMPARE(
            cardSettingsBytes(state), missing == 0 || missing == 1 ? defaultCardFile() : files[1]);
        QCOMPARE(logSettingsBytes(state), fallback ? defaultLogFile() : files[2]);
        QCOMPARE(fileBytes(names[0]), fallback ? QByteArray(" 1 \r\n") : files[0]);
        if (missing != 1)
            QCOMPARE(fileBytes(names[1]), fallback ? cardSettingsBytes(state) : files[1]);
        QCOMPARE(fileBytes(names[2]), missing == 2 ? QByteArray() : files[2]);
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
