#pragma once

#include "acquisition/output.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace tarv::publish {

// Longest <prefix>/do/set payload looked at; a real one is about 30 bytes. Larger
// ones are dropped before they are copied, as malformed.
inline constexpr qsizetype MaxCommandBytes = 1024;

// A remote switch of one output line: {"line": 3, "state": true}.
struct OutputCommand
{
    int line = 0;
    bool on = false;
};

// The command a do/set message carries, or why it is refused in the words it is
// counted and reported under ("retained message", "malformed message").
struct ParsedCommand
{
    std::optional<OutputCommand> command;
    QString refusal;
};
ParsedCommand parseCommand(const QByteArray &payload, bool retained);

// The words for a session's refusal of a remote command; empty for None.
QString refusalText(acquisition::OutputRefusal refusal);

} // namespace tarv::publish
