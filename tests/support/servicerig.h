#pragma once

// A working directory for the service, the card played on a pseudo-terminal, and
// what the service reported, shared by the suites that run the service in-process.
#include "core/settingsfiles.h"
#include "service/acquisitionservice.h"
#include "support/endtoend.h"
#include "support/fakeclock.h"
#include "support/ptypair.h"
#include "support/testfiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

namespace tarv::testsupport {

// Channel 1 reads 4 mA on its 4-20 mA input, channel 4 a PT-100 near 22 deg C.
inline const QByteArray Frame = "+05000,+04880,+12080,+00000,+13350,+00500,+00400,-01000,+24.5\r";

// A working directory as the desktop program leaves it: tables, the three settings
// files, and COM1 leading to the pseudo-terminal the test plays the card on.
struct ServiceRig
{
    QTemporaryDir dir;
    PtyPair pty;
    core::AcquisitionState settings;
    QStringList reports;
    QStringList output;
    service::Journal journal {[this](const QByteArray &l) { reports << QString::fromUtf8(l); },
        [this](const QByteArray &l) { output << QString::fromUtf8(l.trimmed()); }};
    FakeClock clock;
    std::unique_ptr<service::AcquisitionService> service;
    QString startedIn; // the test's own working directory, given back at the end

    ServiceRig()
    {
        prepareState(settings, dir.path());
        settings.appPath = dir.path();
        settings.saveEnable[0] = settings.saveEnable[4] = core::True;
        settings.saveFileName = path("log.csv");
        settings.stampMode = 1;
        settings.separatorMode = 2;
        settings.saveInterval = 1;
        for (const char *table : {"j.tc", "k.tc"})
            QFile::copy(QStringLiteral(TARV_SOURCE_DIR "/data/") + QLatin1String(table),
                path(QLatin1String(table)));
        writeSettings();
    }
    ~ServiceRig()
    {
        service.reset(); // its last log line still goes where it ran
        if (!startedIn.isEmpty())
            QDir::setCurrent(startedIn);
    }
    QString path(const QString &name) const { return dir.filePath(name); }
    void writeSettings()
    {
        core::writeComPortFile(settings);
        core::SaveCardSettings(settings);
        core::SaveLogSettings(settings);
    }
    bool plugIn(PtyPair &card) { return QFile::link(card.slavePath(), path("COM1")); }

    service::AcquisitionService &start(service::ServiceOptions options = {})
    {
        options.dir = dir.path();
        // Run where the unit runs it, in its directory: a default, relative log name
        // lands there and not in the test's working directory.
        if (startedIn.isEmpty())
            startedIn = QDir::currentPath();
        if (!QDir::setCurrent(dir.path()))
            qWarning() << "cannot work in" << dir.path();
        options.brokerRetry = std::chrono::milliseconds(50); // a broker's return is seen soon
        service = std::make_unique<service::AcquisitionService>(options, clock, journal);
        if (!service->start())
            qWarning() << "not started:" << reports;
        return *service;
    }
    // The card answers and its task starts; one frame arrives.
    bool answerAndStream(PtyPair &card)
    {
        return card.waitForBytes(2) == "?\r" && card.writeToProgram("V1.02\r")
            && card.waitForBytes(9) == "@TA00\r@N\r" && frame(card);
    }
    // One more frame from the card, accepted.
    bool frame(PtyPair &card)
    {
        const auto before = service->link().counters().analogAccepted;
        return card.writeToProgram(Frame)
            && QTest::qWaitFor([&] { return service->link().counters().analogAccepted > before; });
    }
    void tick(int seconds)
    {
        for (int s = 0; s < seconds; ++s) {
            service->tick();
            clock.advance(1);
        }
    }
    bool reported(const QString &part) const
    {
        return std::any_of(
            reports.begin(), reports.end(), [&](const QString &r) { return r.contains(part); });
    }
};

} // namespace tarv::testsupport
