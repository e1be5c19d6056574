// The unattended logging service: the desktop program's acquisition and logging
// without a window, for a machine beside the rig with no screen. Reports go to
// standard error in the journal's form; see the README, "Unattended logging".
#include "core/clock.h"
#include "core/thermotables.h"
#include "service/acquisitionservice.h"
#include "service/journal.h"
#include "service/unixsignals.h"
#include "service/watchdog.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

using namespace tarv::service;

namespace {

// Fills the options from the command line; an empty result means they are good.
QString parse(QCommandLineParser &parser, const QStringList &arguments, ServiceOptions &options)
{
    const QCommandLineOption dir(QStringLiteral("dir"),
        QStringLiteral("Working directory with the settings files and the log "
                       "(default: the current directory)."),
        QStringLiteral("DIR"));
    const QCommandLineOption port(QStringLiteral("port"),
        QStringLiteral("COM port number to use instead of the one in tarv.con."),
        QStringLiteral("N"));
    const QCommandLineOption noLog(
        QStringLiteral("no-log"), QStringLiteral("Acquire and report only; write no log."));
    const QCommandLineOption once(QStringLiteral("once"),
        QStringLiteral("Print the first frame's eight values and the ambient temperature on "
                       "one line, then stop; exit 0 when every channel enabled for logging "
                       "(every channel, when none is) is good, 6 when one is not, naming it; "
                       "exit 1 when no frame comes within 10 s."));
    const QCommandLineOption json(QStringLiteral("json"),
        QStringLiteral("With --once: print the analog JSON of the broker's topic instead "
                       "(values, quality, reason, ambient, time)."));
    parser.setApplicationDescription(
        QStringLiteral("Logs the data-acquisition card's channels without a window."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({dir, port, noLog, once, json});
    if (!parser.parse(arguments))
        return parser.errorText();
    if (!parser.positionalArguments().isEmpty())
        return QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().first());
    if (parser.isSet(port)) {
        bool ok = false;
        const int n = parser.value(port).toInt(&ok);
        if (!ok || n < 1 || n > 32767)
            return QStringLiteral("--port needs a port number from 1, not %1")
                .arg(parser.value(port));
        options.comPort = n;
    }
    // Relative log paths in the settings mean the working directory, as they do
    // for the desktop program started there.
    if (parser.isSet(dir) && !QDir::setCurrent(parser.value(dir)))
        return QStringLiteral("cannot work in %1").arg(parser.value(dir));
    options.dir = QDir::currentPath();
    options.log = !parser.isSet(noLog);
    options.once = parser.isSet(once);
    options.json = parser.isSet(json);
    if (options.json && !options.once)
        return QStringLiteral("--json goes with --once");
    return {};
}

} // namespace

int main(int argc, char *argv[])
{
    // Qt's own event loop rather than GLib's: the service wakes a dozen times a second
    // for the card, and GLib's bookkeeping is a good part of each wake-up's cost.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarvane2020d"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TARV_VERSION));

    Journal journal;
    ServiceOptions options;
    options.tableDirs = tarv::core::installedDataDirs();
    QCommandLineParser parser;
    if (const QString error = parse(parser, QCoreApplication::arguments(), options);
        !error.isEmpty()) {
        journal.error(QStringLiteral("%1 (see --help)").arg(error));
        return BadCommandLine;
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(CleanStop);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();

    tarv::core::SystemClock clock;
    AcquisitionService service(options, clock, journal);
    UnixSignals unixSignals;
    if (!unixSignals.problem().isEmpty())
        journal.warning(QStringLiteral("signals not handled as they should be (%1): SIGTERM may "
                                       "end the service without stopping the card")
                            .arg(unixSignals.problem()));
    QObject::connect(&unixSignals, &UnixSignals::terminate, &service, &AcquisitionService::stop);
    QObject::connect(&unixSignals, &UnixSignals::hangup, &service, &AcquisitionService::reload);
    QObject::connect(&service, &AcquisitionService::finished, &app, &QCoreApplication::exit);
    if (!service.start())
        return service.exitCode();
    // Settings and tables are read and the port is being looked for: the unit's
    // start is complete.
    Watchdog watchdog(journal);
    watchdog.ready();
    return QCoreApplication::exec();
}
