#include "core/settingsfiles.h"
#include "core/startup.h"
#include "support/testfiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

// What start-up decides: the order of the files, the fallback and its rewrite, and
// the tables it cannot do without. The formats are tested with their readers.

using namespace tarv::core;
using namespace tarv::testsupport;

namespace {

const char *const Files[] {"tarv.con", "tarvo.con", "tarvs.con"};

// appPath and a data directory as an installed program finds them: j.tc in both
// (appPath's must win), k.tc only in the data directory. Strictly increasing values,
// told apart by `offset`.
struct Rig
{
    QTemporaryDir app, data;
    int windowLoads = 0;
    QByteArray cardFileSeenByWindow;

    explicit Rig(int jCount = JTableCount, int kCount = KTableCount)
    {
        for (const auto &[path, count, offset] : {std::tuple {app.filePath("j.tc"), jCount, 0.0},
                 {data.filePath("j.tc"), JTableCount, 100.0},
                 {data.filePath("k.tc"), kCount, 200.0}}) {
            QByteArray text;
            for (int i = 0; i < count; ++i)
                text += QByteArray::number(offset + i / 20.0) + "\r\n";
            if (count > 0)
                putFile(path, text);
        }
    }
    QString path(const char *name) const { return app.filePath(QLatin1String(name)); }
    // Started from appPath with appPath given as "."; it must be made absolute at
    // once, or moving away later would move the files.
    StartupResult start(AcquisitionState &state)
    {
        const QString previous = QDir::currentPath();
        const auto restore = qScopeGuard([&] { QDir::setCurrent(previous); });
        QDir::setCurrent(app.path());
        StartupOptions options;
        options.appPath = QStringLiteral(".");
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
    // A missing or short table stops start-up before any settings file is touched.
    // Otherwise the files are read in order; the first one missing ends the reading
    // and keeps what the files before it gave, comPort goes back to 1 (the value read
    // may be what broke), and tarv.con and tarvo.con are rewritten from memory before
    // the window comes up. tarvs.con is only ever written on the way out.
    void startup_data()
    {
        QTest::addColumn<int>("jCount");
        QTest::addColumn<int>("kCount"); // 0: no file
        QTest::addColumn<int>("missing"); // index into Files, -1 for none
        for (int missing = -1; missing < 3; ++missing)
            QTest::addRow("%s missing", missing < 0 ? "no file" : Files[missing])
                << JTableCount << KTableCount << missing;
        QTest::newRow("j.tc one short") << JTableCount - 1 << KTableCount << -1;
        QTest::newRow("k.tc missing") << JTableCount << 0 << -1;
    }
    void startup()
    {
        QFETCH(int, jCount);
        QFETCH(int, kCount);
        QFETCH(int, missing);
        AcquisitionState defaults, custom;
        applyDefaults(defaults);
        applyDefaults(custom);
        custom.comPort = 5;
        custom.inputType[7] = 4;
        custom.channelNames[7] = QStringLiteral("Oven");
        const QByteArray files[] {
            comPortFileBytes(custom), cardSettingsBytes(custom), logSettingsBytes(custom)};
        Rig rig(jCount, kCount);
        for (int i = 0; i < 3; ++i) {
            if (i != missing)
                putFile(rig.path(Files[i]), files[i]);
        }
        AcquisitionState state;
        const StartupResult r = rig.start(state);
        if (jCount < JTableCount || kCount < KTableCount) {
            QVERIFY(!r.ok && !r.fallbackTaken);
            QVERIFY2(r.errorMessage.contains(kCount ? "j.tc" : "k.tc"), qPrintable(r.errorMessage));
            QCOMPARE(rig.windowLoads, 0);
            for (int i = 0; i < 3; ++i)
                QCOMPARE(fileBytes(rig.path(Files[i])), files[i]);
            return;
        }
        const bool fallback = missing >= 0;
        QVERIFY2(r.ok && r.fallbackTaken == fallback && r.fallbackWriteErrors.isEmpty(),
            qPrintable(r.errorMessage + r.fallbackWriteErrors.join(u' ')));
        QCOMPARE(rig.windowLoads, 1);
        QCOMPARE(r.fallbackReason.isEmpty(), !fallback);
        if (fallback)
            QVERIFY2(r.fallbackReason.contains(QDir::toNativeSeparators(rig.path(Files[missing]))),
                qPrintable(r.fallbackReason));
        QCOMPARE(QFileInfo(state.appPath).canonicalFilePath(),
            QFileInfo(rig.app.path()).canonicalFilePath());
        QCOMPARE(QVariantList({state.comPort, state.jTable[1100], state.kTable[1570]}),
            QVariantList({fallback ? 1 : 5, 55.0, 278.5}));
        QCOMPARE(cardSettingsBytes(state),
            cardSettingsBytes(missing == 0 || missing == 1 ? defaults : custom));
        QCOMPARE(logSettingsBytes(state), logSettingsBytes(fallback ? defaults : custom));
        QCOMPARE(fileBytes(rig.path("tarv.con")), fallback ? QByteArray(" 1 \r\n") : files[0]);
        QCOMPARE(fileBytes(rig.path("tarvo.con")), fallback ? cardSettingsBytes(state) : files[1]);
        QCOMPARE(rig.cardFileSeenByWindow, fileBytes(rig.path("tarvo.con")));
        QCOMPARE(QFileInfo::exists(rig.path("tarvs.con")), missing != 2);
        QCOMPARE(QDir(rig.data.path()).entryList(QDir::Files), QStringList({"j.tc", "k.tc"}));
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
