#include "core/acquisitionstate.h"
#include "core/settingsfiles.h"
#include "core/startup.h"
#include "core/thermotables.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace tarv::core;
using tarv::testsupport::defaultCardFile;
using tarv::testsupport::defaultLogFile;
using tarv::testsupport::fileBytes;
using tarv::testsupport::putFile;

namespace {

// Synthetic tables: strictly increasing, different per directory through
// `offset`, so a test can tell which file was loaded.
double jValue(int i, double offset)
{
    return offset + i / 20.0;
}
double kValue(int i, double offset)
{
    return offset - 6.0 + i / 25.0;
}

void writeTable(const QTemporaryDir &dir, const char *name, int count, double offset = 0)
{
    const bool j = qstrcmp(name, "j.tc") == 0;
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text += QByteArray::number(j ? jValue(i, offset) : kValue(i, offset), 'g', 17) + "\r\n";
    putFile(dir.filePath(QString::fromLatin1(name)), text);
}

// `bytes` with line `number` (from 1) replaced by `text`.
QByteArray withLine(const QByteArray &bytes, int number, const QByteArray &text)
{
    QList<QByteArray> lines = bytes.split('\n');
    lines[number - 1] = text + '\r';
    return lines.join('\n');
}

// An appPath and a data directory as an installed program finds them: j.tc in
// both (appPath's must win), k.tc only in the data directory.
struct Rig
{
    QTemporaryDir app;
    QTemporaryDir data;
    int windowLoads = 0;
    QByteArray cardFileSeenByWindow;

    explicit Rig(bool tables = true)
    {
        if (tables) {
            writeTable(app, "j.tc", JTableCount, 0);
            writeTable(data, "j.tc", JTableCount, 100);
            writeTable(data, "k.tc", KTableCount, 200);
        }
    }
    QString path(const char *name) const { return app.filePath(QString::fromLatin1(name)); }

    StartupResult start(AcquisitionState &state)
    {
        StartupOptions options;
        options.appPath = app.path();
        options.tableDirs = {data.path()};
        return Main(state, options, [&] {
            ++windowLoads;
            cardFileSeenByWindow = fileBytes(path("tarvo.con"));
        });
    }
};

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void settingsFiles_data()
    {
        QTest::addColumn<QByteArray>("tarv"); // null: no such file
        QTest::addColumn<QByteArray>("tarvo");
        QTest::addColumn<QByteArray>("tarvs");
        QTest::addColumn<QString>("failedFile"); // empty: no fallback
        QTest::addColumn<int>("comPort");
        QTest::addColumn<QByteArray>("cardState"); // as tarvo.con would hold it
        QTest::addColumn<QByteArray>("logState");

        const QByteArray none;
        const QByteArray port = " 5 \r\n";
        // Changed from the defaults in an early and a late line, so a test can tell
        // how far reading got.
        const QByteArray cardDefaults = defaultCardFile();
        const QByteArray cardHead = withLine(withLine(cardDefaults, 1, "#TRUE#"), 17, "4");
        const QByteArray card = withLine(cardHead, 64, "31005");
        const QByteArray logDefaults = defaultLogFile();
        const QByteArray logHead = withLine(logDefaults, 1, "\"C:\\logs\\a,b.csv\"");
        const QByteArray log = withLine(logHead, 14, "\"Oven 7\"");

        QTest::newRow("all present") << port << card << log << QString() << 5 << card << log;
        QTest::newRow("tarvs.con missing")
            << port << card << none << "tarvs.con" << 1 << card << logDefaults;
        // Reading stops at the first bad file, so tarvo.con is rewritten from defaults.
        QTest::newRow("tarv.con missing")
            << none << card << log << "tarv.con" << 1 << cardDefaults << logDefaults;
        QTest::newRow("tarvo.con line 19 out of range")
            << port << withLine(card, 19, "40000") << log << "tarvo.con" << 1 << cardHead
            << logDefaults;
        QTest::newRow("tarvs.con bad line 3")
            << port << card << withLine(log, 3, "three") << "tarvs.con" << 1 << card << logHead;
    }
    void settingsFiles()
    {
        QFETCH(QByteArray, tarv);
        QFETCH(QByteArray, tarvo);
        QFETCH(QByteArray, tarvs);
        QFETCH(QString, failedFile);
        QFETCH(int, comPort);
        QFETCH(QByteArray, cardState);
        QFETCH(QByteArray, logState);

        Rig rig;
        for (const auto &[name, bytes] :
            {std::pair {"tarv.con", tarv}, {"tarvo.con", tarvo}, {"tarvs.con", tarvs}}) {
            if (!bytes.isNull())
                putFile(rig.path(name), bytes);
        }
        AcquisitionState state;
        state.cardConnected = state.portOpened = state.taskRunning = state.savingActive = True;
        state.analogFrame = QStringLiteral("stale");
        const StartupResult r = rig.start(state);

        const bool fallback = !failedFile.isEmpty();
        QVERIFY2(r.ok, qPrintable(r.errorMessage));
        QCOMPARE(rig.windowLoads, 1);
        QCOMPARE(r.fallbackTaken, fallback);
        QVERIFY2(r.fallbackReason.contains(failedFile) && r.fallbackReason.isEmpty() == !fallback,
            qPrintable(r.fallbackReason));
        QVERIFY(r.fallbackWriteErrors.isEmpty());
        QCOMPARE(int(state.comPort), comPort);
        QCOMPARE(cardSettingsBytes(state), cardState);
        QCOMPARE(logSettingsBytes(state), logState);
        QCOMPARE(
            state.cardConnected | state.portOpened | state.taskRunning | state.savingActive, False);
        QCOMPARE(state.analogFrame, DefaultAnalogFrame);
        QCOMPARE(state.jTable[1100], jValue(1100, 0));
        QCOMPARE(state.kTable[1570], kValue(1570, 200));

        // The fallback rewrites tarv.con and tarvo.con from memory, before the window
        // comes up; tarvs.con is only ever written on the way out.
        QCOMPARE(fileBytes(rig.path("tarv.con")), fallback ? QByteArray(" 1 \r\n") : tarv);
        QCOMPARE(fileBytes(rig.path("tarvo.con")), fallback ? cardState : tarvo);
        QCOMPARE(rig.cardFileSeenByWindow, fileBytes(rig.path("tarvo.con")));
        QCOMPARE(QFileInfo::exists(rig.path("tarvs.con")), !tarvs.isNull());
        QCOMPARE(fileBytes(rig.path("tarvs.con")), tarvs);
        // Settings belong to appPath, wherever the tables came from.
        QCOMPARE(QDir(rig.data.path()).entryList(QDir::Files), QStringList({"j.tc", "k.tc"}));
    }

    void tableProblemStopsStartup_data()
    {
        QTest::addColumn<int>("jCount"); // -1: no file
        QTest::addColumn<int>("kCount");
        QTest::addColumn<QStringList>("mentions");

        QTest::newRow("j.tc one short")
            << 1100 << KTableCount << QStringList {"j.tc", "1100", "1101"};
        QTest::newRow("k.tc missing") << JTableCount << -1 << QStringList {"k.tc", "1571"};
    }
    void tableProblemStopsStartup()
    {
        QFETCH(int, jCount);
        QFETCH(int, kCount);
        QFETCH(QStringList, mentions);

        Rig rig(false);
        if (jCount >= 0)
            writeTable(rig.app, "j.tc", jCount);
        if (kCount >= 0)
            writeTable(rig.app, "k.tc", kCount);
        putFile(rig.path("tarv.con"), " 5 \r\n");
        const QStringList before = QDir(rig.app.path()).entryList(QDir::Files);

        AcquisitionState state;
        const StartupResult r = rig.start(state);

        QVERIFY(!r.ok);
        for (const QString &m : mentions)
            QVERIFY2(r.errorMessage.contains(m), qPrintable(r.errorMessage));
        QCOMPARE(rig.windowLoads, 0);
        QVERIFY(!r.fallbackTaken);
        QCOMPARE(QDir(rig.app.path()).entryList(QDir::Files), before);
        QCOMPARE(fileBytes(rig.path("tarv.con")), QByteArray(" 5 \r\n"));
    }

    void appPathIsWorkingDirectory()
    {
        Rig rig;
        QTemporaryDir elsewhere;
        const QString previous = QDir::currentPath();
        const auto restore = qScopeGuard([&] { QDir::setCurrent(previous); });

        // By default and when given as a relative path, appPath is the working
        // directory at start, captured once: moving away later does not move the files.
        QVERIFY(QDir::setCurrent(rig.app.path()));
        StartupOptions byDefault;
        byDefault.tableDirs = {rig.data.path()};
        StartupOptions relative = byDefault;
        relative.appPath = QStringLiteral(".");
        for (const StartupOptions &options : {byDefault, relative}) {
            QVERIFY(QDir::setCurrent(rig.app.path()));
            AcquisitionState state;
            QVERIFY(Main(state, options, {}).ok); // no window hook is fine too
            QVERIFY(QDir::setCurrent(elsewhere.path()));
            QCOMPARE(QFileInfo(state.appPath).canonicalFilePath(),
                QFileInfo(rig.app.path()).canonicalFilePath());
        }
    }

    void fallbackCannotWrite()
    {
        // Directories in place of the files stop reading and writing for any user.
        Rig rig;
        QVERIFY(QDir(rig.app.path()).mkdir(QStringLiteral("tarv.con")));
        QVERIFY(QDir(rig.app.path()).mkdir(QStringLiteral("tarvo.con")));

        AcquisitionState state;
        const StartupResult r = rig.start(state);

        // Start-up carries on to the window, which reports both files.
        QVERIFY(r.ok);
        QVERIFY(r.fallbackTaken);
        QCOMPARE(rig.windowLoads, 1);
        QCOMPARE(state.comPort, Integer(1));
        QCOMPARE(r.fallbackWriteErrors.size(), 2);
        QVERIFY2(r.fallbackWriteErrors[0].contains(QLatin1String("tarv.con")),
            qPrintable(r.fallbackWriteErrors[0]));
        QVERIFY2(r.fallbackWriteErrors[1].contains(QLatin1String("tarvo.con")),
            qPrintable(r.fallbackWriteErrors[1]));
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
