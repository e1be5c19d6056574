#pragma once

#include "core/acquisitionstate.h"
#include "logging/logger.h"
#include "support/fakeclock.h"
#include "support/scriptedprompts.h"
#include "support/testfiles.h"

#include <QStringList>
#include <QTemporaryDir>

namespace tarv::testsupport {

// A logger on a fresh temporary directory: the state at its defaults with the card
// connected, the clock standing at 05/12/26 18:11:43, every prompt recorded.
struct LogRig
{
    QTemporaryDir dir;
    core::AcquisitionState state;
    // The stamp shows the clock's fields as they stand; a UTC time keeps each step
    // of the 1,080,000-tick runs free of a time-zone lookup.
    FakeClock clock {QDateTime(QDate(2026, 12, 5), QTime(18, 11, 43), Qt::UTC)};
    ScriptedPrompts prompts;
    logging::Logger logger {state, clock, prompts};

    LogRig()
    {
        core::applyDefaults(state);
        state.cardConnected = core::True;
        state.saveFileName = path(QStringLiteral("log.csv"));
    }

    QString path(const QString &name) const { return dir.filePath(name); }

    // One tmrSave tick per second of wall time; a tick stamps the second it runs in.
    void run(int seconds)
    {
        for (int s = 0; s < seconds; ++s) {
            logger.tick();
            clock.advance(1);
        }
    }

    QByteArray contents() const { return fileBytes(state.saveFileName); }

    // The file's lines without their CR LF; a last line without one is kept as is.
    QStringList lines() const
    {
        QStringList result = QString::fromLatin1(contents()).split(QStringLiteral("\r\n"));
        if (!result.isEmpty() && result.last().isEmpty())
            result.removeLast();
        return result;
    }
};

} // namespace tarv::testsupport
