#pragma once

#include <QString>

namespace tarv::acquisition {

enum class Severity { Information, Warning, Error };

// What a report is about, so each front end can route it: the service writes every
// one to the journal; the desktop program shows some in boxes and leaves the rest to
// its status window, which reads the state.
enum class Topic { Settings, Port, Card, Task, Log, Broker, Commands, Quality, Alarm, Web };

// One condition that changed, told once by whoever saw it change. `title` is what a
// box would carry; the journal puts it before the text.
struct Report
{
    Report(Topic topic, Severity severity, QString text, QString title = {})
        : topic(topic)
        , severity(severity)
        , text(std::move(text))
        , title(std::move(title))
    { }

    Topic topic = Topic::Settings;
    Severity severity = Severity::Information;
    QString text;
    QString title;
};

} // namespace tarv::acquisition
