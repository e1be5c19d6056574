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

namespace {

using tarv::testsupport::fileBytes;
using tarv::testsupport::putFile;

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

void writeTable(const QString &dir, const char *name, int count, double offset)
{
    const bool j = qstrcmp(name, "j.tc") == 0;
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text += QByteArray::number(j ? jValue(i, offset) : kValue(i, offset), 'g', 17) + "\r\n";
    putFile(QDir(dir).filePath(QString::fromLatin1(name)), text);
}

void writeTables(const QString &dir, double offset = 0)
{
    writeTable(dir, "j.tc", JTableCount, offset);
    writeTable(dir, "k.tc", KTableCount, offset);
}

using tarv::testsupport::defaultCardFile;
using tarv::testsupport::defaultLogFile;

// A tarvo.con whose every line differs from the default one.
QByteArray customCardFile()
{
    QByteArray out;
    for (int n = 0; n < 16; ++n)
        out += n % 2 ? "#TRUE#\r\n" : "#FALSE#\r\n";
    for (int c = 0; c < 8; ++c) {
        const QByteArray k = QByteArray::number(c);
        out += k + "\r\n" + "2" + k + ".5\r\n" + "3100" + k + "\r\n" + "-1" + k + "\r\n" + "3270"
            + k + "\r\n" + "-3270" + k + "\r\n" + "1200" + k + "\r\n#TRUE#\r\n#TRUE#\r\n";
    }
    return out;
}

QByteArray customLogFile()
{
    QByteArray out = "\"C:\\logs\\a,b.csv\"\r\n#FALSE#\r\n3\r\n2\r\n300\r\n4\r\n";
    for (int c = 0; c < 8; ++c)
        out += "\"Oven " + QByteArray::number(c) + "\"\r\n";
    return out;
}

QByteArray firstLines(const QByteArray &bytes, int count)
{
    return bytes.split('\n').mid(0, count).join('\n') + '\n';
}

// The first `count` lines of `head`, the rest of `tail`.
QByteArray spliced(const QByteArray &head, const QByteArray &tail, int count)
{
    QList<QByteArray> lines = tail.split('\n');
    const QList<QByteArray> front = head.split('\n');
    for (int i = 0; i < count; ++i)
        lines[i] = front[i];
    return lines.join('\n');
}

// `bytes` with line `number` (from 1) replaced by `text`.
QByteArray withLine(const QByteArray &bytes, int number, const QByteArray &text)
{
    QList<QByteArray> lines = bytes.split('\n');
    lines[number - 1] = text + '\r';
    return lines.join('\n');
}

// What the state holds, in the settings files' own form, written aside.
QByteArray cardContent(AcquisitionState state)
{
    QTemporaryDir scratch;
    state.appPath = scratch.path();
    SaveCardSettings(state);
    return fileBytes(scratch.filePath(QStringLiteral("tarvo.con")));
}

QByteArray logContent(AcquisitionState state)
{
    QTemporaryDir scratch;
    state.appPath = scratch.path();
    SaveLogSettings(state);
    return fileBytes(scratch.filePath(QStringLiteral("tarvs.con")));
}

struct Run
{
    StartupResult result;
    int windowLoads = 0;
};

Run start(AcquisitionState &state, const QString &appPath, const QStringList &tableDirs = {})
{
    StartupOptions options;
    options.appPath = appPath;
    options.tableDirs = tableDirs;
    Run run;
    run.result = Main(state, options, [&] { ++run.windowLoads; });
    return run;
}

bool canWriteInto(const QString &dir)
{
    QFile probe(QDir(dir).filePath(QStringLiteral("probe")));
    if (!probe.open(QIODevice::WriteOnly))
        return false;
    probe.remove();
    return true;
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void firstStart();
    void settingsFiles_data();
    void settingsFiles();
    void tableProblemStopsStartup_data();
    void tableProblemStopsStartup();
    void tablesFromDataDirs_data();
    void tablesFromDataDirs();
    void appPathIsWorkingDirectory();
    void fallbackCannotWrite_data();
    void fallbackCannotWrite();
};

void TestStartup::firstStart()
{
    QTemporaryDir dir;
    writeTables(dir.path());
    AcquisitionState state;
    state.cardConnected = state.portOpened = state.taskRunning = state.savingActive = True;
    state.analogFrame = QStringLiteral("stale");

    // The window comes up only after the fallback has rewritten the files.
    QByteArray seenByWindow;
    StartupOptions options;
    options.appPath = dir.path();
    options.tableDirs = {};
    int windowLoads = 0;
    const StartupResult r = Main(state, options, [&] {
        ++windowLoads;
        seenByWindow = fileBytes(dir.filePath(QStringLiteral("tarvo.con")));
    });

    QVERIFY2(r.ok, qPrintable(r.errorMessage));
    QVERIFY(r.fallbackTaken);
    QVERIFY2(r.fallbackReason.contains(QLatin1String("tarv.con")), qPrintable(r.fallbackReason));
    QVERIFY(r.fallbackWriteErrors.isEmpty());
    QCOMPARE(windowLoads, 1);
    QCOMPARE(seenByWindow, defaultCardFile());

    QCOMPARE(fileBytes(dir.filePath(QStringLiteral("tarv.con"))), QByteArray(" 1 \r\n"));
    QCOMPARE(fileBytes(dir.filePath(QStringLiteral("tarvo.con"))), defaultCardFile());
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("tarvs.con"))));

    QCOMPARE(state.comPort, Integer(1));
    QCOMPARE(state.cardConnected, False);
    QCOMPARE(state.portOpened, False);
    QCOMPARE(state.taskRunning, False);
    QCOMPARE(state.savingActive, False);
    QCOMPARE(state.analogFrame, DefaultAnalogFrame);
    QCOMPARE(state.appPath, dir.path());
    QCOMPARE(logContent(state), defaultLogFile());

    QCOMPARE(state.jTable[0], jValue(0, 0));
    QCOMPARE(state.jTable[1100], jValue(1100, 0));
    QCOMPARE(state.jTable[1101], 0.0);
    QCOMPARE(state.kTable[0], kValue(0, 0));
    QCOMPARE(state.kTable[200], kValue(200, 0));
    QCOMPARE(state.kTable[1570], kValue(1570, 0));
    QCOMPARE(state.kTable[1571], 0.0);

    // tarvs.con appears only when the program saves on its way out.
    QVERIFY(SaveLogSettings(state).ok);
    QCOMPARE(fileBytes(dir.filePath(QStringLiteral("tarvs.con"))), defaultLogFile());
}

void TestStartup::settingsFiles_data()
{
    QTest::addColumn<QByteArray>("tarv"); // null: no such file
    QTest::addColumn<QByteArray>("tarvo");
    QTest::addColumn<QByteArray>("tarvs");
    QTest::addColumn<bool>("fallback");
    QTest::addColumn<QString>("failedFile");
    QTest::addColumn<int>("comPort");
    QTest::addColumn<QByteArray>("cardState"); // as tarvo.con would hold it
    QTest::addColumn<QByteArray>("logState");

    const QByteArray none;
    const QByteArray card = customCardFile();
    const QByteArray log = customLogFile();
    const QByteArray cardDefaults = defaultCardFile();
    const QByteArray logDefaults = defaultLogFile();

    QTest::newRow("all present") << QByteArray(" 5 \r\n") << card << log << false << QString() << 5
                                 << card << log;
    QTest::newRow("port without blanks")
        << QByteArray("5") << card << log << false << QString() << 5 << card << log;
    // Values are taken as they stand, even ones no dialog would offer.
    const QByteArray odd = withLine(withLine(withLine(card, 17, "99"), 18, "-1E+06"), 23, "0");
    QTest::newRow("odd values") << QByteArray(" 0 \r\n") << odd << log << false << QString() << 0
                                << odd << log;
    QTest::newRow("tarvs.con missing") << QByteArray(" 5 \r\n") << card << none << true
                                       << QStringLiteral("tarvs.con") << 1 << card << logDefaults;
    // Reading stops at the first bad file, so tarvo.con is rewritten from defaults.
    QTest::newRow("tarv.con missing") << none << card << log << true << QStringLiteral("tarv.con")
                                      << 1 << cardDefaults << logDefaults;
    QTest::newRow("port out of range")
        << QByteArray(" 40000 \r\n") << card << log << true << QStringLiteral("tarv.con") << 1
        << cardDefaults << logDefaults;
    QTest::newRow("tarvo.con cut after line 40")
        << QByteArray(" 5 \r\n") << firstLines(card, 40) << log << true
        << QStringLiteral("tarvo.con") << 1 << spliced(card, cardDefaults, 40) << logDefaults;
    QTest::newRow("tarvo.con line 19 out of range")
        << QByteArray(" 5 \r\n") << withLine(card, 19, "40000") << log << true
        << QStringLiteral("tarvo.con") << 1 << spliced(card, cardDefaults, 18) << logDefaults;
    QTest::newRow("tarvs.con bad line 3")
        << QByteArray(" 5 \r\n") << card << withLine(log, 3, "three") << true
        << QStringLiteral("tarvs.con") << 1 << card << spliced(log, logDefaults, 2);
}

void TestStartup::settingsFiles()
{
    QFETCH(QByteArray, tarv);
    QFETCH(QByteArray, tarvo);
    QFETCH(QByteArray, tarvs);
    QFETCH(bool, fallback);
    QFETCH(QString, failedFile);
    QFETCH(int, comPort);
    QFETCH(QByteArray, cardState);
    QFETCH(QByteArray, logState);

    QTemporaryDir dir;
    writeTables(dir.path());
    const auto path = [&](const char *name) { return dir.filePath(QString::fromLatin1(name)); };
    if (!tarv.isNull())
        putFile(path("tarv.con"), tarv);
    if (!tarvo.isNull())
        putFile(path("tarvo.con"), tarvo);
    if (!tarvs.isNull())
        putFile(path("tarvs.con"), tarvs);

    AcquisitionState state;
    const Run run = start(state, dir.path());

    QVERIFY(run.result.ok);
    QCOMPARE(run.windowLoads, 1);
    QCOMPARE(run.result.fallbackTaken, fallback);
    QVERIFY2(run.result.fallbackReason.contains(failedFile), qPrintable(run.result.fallbackReason));
    QVERIFY(run.result.fallbackWriteErrors.isEmpty());
    QCOMPARE(int(state.comPort), comPort);
    QCOMPARE(cardContent(state), cardState);
    QCOMPARE(logContent(state), logState);

    // The fallback rewrites tarv.con and tarvo.con from memory; tarvs.con is only
    // ever written on the way out.
    QCOMPARE(fileBytes(path("tarv.con")), fallback ? QByteArray(" 1 \r\n") : tarv);
    QCOMPARE(fileBytes(path("tarvo.con")), fallback ? cardState : tarvo);
    QCOMPARE(QFileInfo::exists(path("tarvs.con")), !tarvs.isNull());
    QCOMPARE(fileBytes(path("tarvs.con")), tarvs);
}

void TestStartup::tableProblemStopsStartup_data()
{
    QTest::addColumn<int>("jCount"); // -1: no file
    QTest::addColumn<int>("kCount");
    QTest::addColumn<QStringList>("mentions");

    QTest::newRow("j.tc one short") << 1100 << KTableCount << QStringList {"j.tc", "1100", "1101"};
    QTest::newRow("k.tc one short") << JTableCount << 1570 << QStringList {"k.tc", "1570", "1571"};
    QTest::newRow("j.tc empty") << 0 << KTableCount << QStringList {"j.tc", "0", "1101"};
    QTest::newRow("j.tc missing") << -1 << KTableCount << QStringList {"j.tc", "1101"};
    QTest::newRow("k.tc missing") << JTableCount << -1 << QStringList {"k.tc", "1571"};
}

void TestStartup::tableProblemStopsStartup()
{
    QFETCH(int, jCount);
    QFETCH(int, kCount);
    QFETCH(QStringList, mentions);

    QTemporaryDir dir;
    if (jCount >= 0)
        writeTable(dir.path(), "j.tc", jCount, 0);
    if (kCount >= 0)
        writeTable(dir.path(), "k.tc", kCount, 0);
    putFile(dir.filePath(QStringLiteral("tarv.con")), " 5 \r\n");
    const QStringList before = QDir(dir.path()).entryList(QDir::Files);

    AcquisitionState state;
    const Run run = start(state, dir.path());

    QVERIFY(!run.result.ok);
    for (const QString &m : mentions)
        QVERIFY2(run.result.errorMessage.contains(m), qPrintable(run.result.errorMessage));
    QCOMPARE(run.windowLoads, 0);
    QVERIFY(!run.result.fallbackTaken);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), before);
    QCOMPARE(fileBytes(dir.filePath(QStringLiteral("tarv.con"))), QByteArray(" 5 \r\n"));
}

void TestStartup::tablesFromDataDirs_data()
{
    QTest::addColumn<QString>("jWhere"); // "app", "first", "second" or a list of them
    QTest::addColumn<QString>("kWhere");
    QTest::addColumn<int>("jFrom"); // offset of the directory that must win
    QTest::addColumn<int>("kFrom");

    // Offsets: app 0, first data directory 100, second 200.
    QTest::newRow("both installed only") << "first"
                                         << "first" << 100 << 100;
    QTest::newRow("one each") << "app"
                              << "second" << 0 << 200;
    QTest::newRow("appPath wins") << "app,first"
                                  << "app,second" << 0 << 0;
    QTest::newRow("earlier directory wins") << "first,second"
                                            << "second" << 100 << 200;
}

void TestStartup::tablesFromDataDirs()
{
    QFETCH(QString, jWhere);
    QFETCH(QString, kWhere);
    QFETCH(int, jFrom);
    QFETCH(int, kFrom);

    QTemporaryDir app;
    QTemporaryDir first;
    QTemporaryDir second;
    const QMap<QString, std::pair<QString, double>> dirs {
        {"app", {app.path(), 0}}, {"first", {first.path(), 100}}, {"second", {second.path(), 200}}};
    for (const QString &where : jWhere.split(u','))
        writeTable(dirs[where].first, "j.tc", JTableCount, dirs[where].second);
    for (const QString &where : kWhere.split(u','))
        writeTable(dirs[where].first, "k.tc", KTableCount, dirs[where].second);

    AcquisitionState state;
    const Run run = start(state, app.path(), {first.path(), second.path()});

    QVERIFY2(run.result.ok, qPrintable(run.result.errorMessage));
    QCOMPARE(run.windowLoads, 1);
    QCOMPARE(state.jTable[1100], jValue(1100, jFrom));
    QCOMPARE(state.kTable[1570], kValue(1570, kFrom));
    // Settings still belong to appPath, wherever the tables came from.
    QVERIFY(QFileInfo::exists(app.filePath(QStringLiteral("tarvo.con"))));
    QVERIFY(!QFileInfo::exists(first.filePath(QStringLiteral("tarvo.con"))));
}

void TestStartup::appPathIsWorkingDirectory()
{
    QTemporaryDir dir;
    QTemporaryDir elsewhere;
    writeTables(dir.path());
    const QString previous = QDir::currentPath();
    const auto restore = qScopeGuard([&] { QDir::setCurrent(previous); });

    QVERIFY(QDir::setCurrent(dir.path()));
    StartupOptions options;
    options.tableDirs = {};
    AcquisitionState state;
    QVERIFY(Main(state, options, {}).ok); // no window hook is fine too
    QCOMPARE(
        QFileInfo(state.appPath).canonicalFilePath(), QFileInfo(dir.path()).canonicalFilePath());
    QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("tarv.con"))));

    // Captured once: moving the working directory later does not move the files.
    QVERIFY(QDir::setCurrent(elsewhere.path()));
    QVERIFY(SaveLogSettings(state).ok);
    QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("tarvs.con"))));

    // A relative appPath is resolved against the working directory at start.
    QVERIFY(QDir::setCurrent(dir.path()));
    options.appPath = QStringLiteral(".");
    QVERIFY(Main(state, options, {}).ok);
    QVERIFY(QDir::setCurrent(elsewhere.path()));
    QVERIFY(QDir::isAbsolutePath(state.appPath));
    QCOMPARE(
        QFileInfo(state.appPath).canonicalFilePath(), QFileInfo(dir.path()).canonicalFilePath());
}

void TestStartup::fallbackCannotWrite_data()
{
    QTest::addColumn<bool>("readOnlyDir");
    // Directories in place of the files stop reading and writing for any user.
    QTest::newRow("directories in the way") << false;
    QTest::newRow("read-only appPath") << true;
}

void TestStartup::fallbackCannotWrite()
{
    QFETCH(bool, readOnlyDir);

    QTemporaryDir dir;
    writeTables(dir.path());
    const auto restore = qScopeGuard([&] {
        QFile::setPermissions(
            dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    });
    if (readOnlyDir) {
        putFile(dir.filePath(QStringLiteral("tarvo.con")), customCardFile());
        QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        if (canWriteInto(dir.path()))
            QSKIP("directory permissions are not enforced for this user");
    } else {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("tarv.con")));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("tarvo.con")));
    }

    AcquisitionState state;
    const Run run = start(state, dir.path());

    QVERIFY(run.result.ok);
    QVERIFY(run.result.fallbackTaken);
    QCOMPARE(run.windowLoads, 1);
    QCOMPARE(state.comPort, Integer(1));
    QCOMPARE(run.result.fallbackWriteErrors.size(), 2);
    QVERIFY2(run.result.fallbackWriteErrors[0].contains(QLatin1String("tarv.con")),
        qPrintable(run.result.fallbackWriteErrors[0]));
    QVERIFY2(run.result.fallbackWriteErrors[1].contains(QLatin1String("tarvo.con")),
        qPrintable(run.result.fallbackWriteErrors[1]));
    if (readOnlyDir)
        QCOMPARE(fileBytes(dir.filePath(QStringLiteral("tarvo.con"))), customCardFile());
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
