#include "sim/options.h"

#include <QCommandLineParser>

#include <cstdio>

namespace tarv::sim {

namespace {

struct Refusal
{
    QString text;
};

double number(const QCommandLineParser &parser, const QString &name, double low, double high)
{
    bool ok = false;
    const double value = parser.value(name).toDouble(&ok);
    if (!ok || value < low || value > high)
        throw Refusal {QStringLiteral("--%1 wants a number from %2 to %3, not \"%4\"")
                           .arg(name)
                           .arg(low)
                           .arg(high)
                           .arg(parser.value(name))};
    return value;
}

double optional(
    const QCommandLineParser &parser, const QString &name, double low, double high, double fallback)
{
    return parser.isSet(name) ? number(parser, name, low, high) : fallback;
}

void addOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        "Simulated data-acquisition card on a pseudo-terminal. Commands typed on standard "
        "input: cal 0v | cal 10v | cal 0mv | cal 200mv | cal rtd | cal off | "
        "break CH open|short|loop|full | mend CH | quit.");
    parser.addHelpOption();
    parser.addOptions({
        {"dir", "Directory for the COM<n> link (default: current).", "DIR", "."},
        {"port", "Port number n of the COM<n> link (default 1).", "N", "1"},
        {"rate", "Frame pairs per second (default 2).", "R", "2"},
        {"line-rate", "As many frame pairs as 9600 baud carries (about 13.5/s)."},
        {"unthrottled", "As fast as the port takes them."},
        {"count", "Stop streaming after N valid analog frames.", "N"},
        {"version", "Version text after \"V\" in the reply to \"?\" (default 1.02).", "TEXT",
            "1.02"},
        {"autostart", "Stream from the start without waiting for @N."},
        {"calibrate", "Apply a reference to all inputs: 0v, 10v, 0mv, 200mv, rtd, off.", "MODE"},
        {"noise", "Add -2..+2 counts of repeatable noise."},
        {"break",
            "Break channel CH's sensor: open (converter at its high end, as an open RTD or "
            "a burnt-out thermocouple), short (the input's zero), loop (a broken 4-20 mA "
            "loop: 0 mA), full (full scale). Repeatable.",
            "CH:KIND"},
        {"split", "Write each line in two or three pieces."},
        {"merge", "Write two to four lines at once."},
        {"garbage", "Chance per frame pair of a junk line.", "P"},
        {"overlong", "Chance per frame pair of a 5000-character line.", "P"},
        {"malformed", "Chance per frame of a damaged frame in its place.", "P"},
        {"silence", "Fall quiet for S seconds every 10 to 30 s.", "S"},
        {"seed", "Seed for the fault choices (default 1).", "N", "1"},
        {"exit-after", "Exit after S seconds.", "S"},
        {"vanish-every", "Lose the port every S seconds.", "S"},
        {"vanish-for", "Keep the port gone for D seconds (default 2).", "D", "2"},
    });
}

Options read(const QCommandLineParser &parser)
{
    Options options;
    options.dir = parser.value("dir").toStdString();
    options.port = int(number(parser, "port", 0, 255));
    options.rate = number(parser, "rate", 0.01, 100000);
    if (parser.isSet("line-rate"))
        options.rate = lineRate;
    options.unthrottled = parser.isSet("unthrottled");
    options.exitAfter = optional(parser, "exit-after", 0, 1e7, 0);
    options.vanishEvery = optional(parser, "vanish-every", 0, 1e7, 0);
    options.vanishFor = number(parser, "vanish-for", 0, 1e7);

    CardSettings &card = options.card;
    card.version = parser.value("version").toStdString();
    card.autostart = parser.isSet("autostart");
    card.noise = parser.isSet("noise");
    card.frameLimit = static_cast<long long>(optional(parser, "count", 1, 1e15, 0));
    card.seed = static_cast<std::uint64_t>(number(parser, "seed", 0, 1e15));
    if (parser.isSet("calibrate")) {
        const auto reference = parseReference(parser.value("calibrate").toStdString());
        if (!reference)
            throw Refusal {"--calibrate wants 0v, 10v, 0mv, 200mv, rtd or off"};
        card.reference = *reference;
    }
    for (const QString &text : parser.values("break")) {
        const QStringList parts = text.split(u':');
        bool ok = false;
        const int channel = parts.value(0).toInt(&ok);
        const auto kind = parseBreak(parts.value(1).toStdString());
        if (parts.size() != 2 || !ok || channel < 0 || channel >= channelCount || !kind)
            throw Refusal {"--break wants CH:KIND, CH 0..7, KIND open, short, loop or full"};
        card.breaks[std::size_t(channel)] = *kind;
    }
    FaultSettings &faults = card.faults;
    faults.split = parser.isSet("split");
    faults.merge = parser.isSet("merge");
    faults.garbage = optional(parser, "garbage", 0, 1, 0);
    faults.overlong = optional(parser, "overlong", 0, 1, 0);
    faults.malformed = optional(parser, "malformed", 0, 1, 0);
    faults.silenceSeconds = optional(parser, "silence", 0, 1e7, 0);
    return options;
}

} // namespace

std::optional<Options> parseOptions(const QStringList &arguments, int &exitCode)
{
    QCommandLineParser parser;
    addOptions(parser);
    exitCode = 2;
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "tarvsim: %s\n", qPrintable(parser.errorText()));
        return std::nullopt;
    }
    if (parser.isSet("help")) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        exitCode = 0;
        return std::nullopt;
    }
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "tarvsim: unexpected argument %s\n",
            qPrintable(parser.positionalArguments().first()));
        return std::nullopt;
    }
    try {
        return read(parser);
    } catch (const Refusal &refusal) {
        std::fprintf(stderr, "tarvsim: %s\n", qPrintable(refusal.text));
        return std::nullopt;
    }
}

} // namespace tarv::sim
