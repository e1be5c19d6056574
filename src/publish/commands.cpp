#include "publish/commands.h"

#include "core/acquisitionstate.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace tarv::publish {

ParsedCommand parseCommand(const QByteArray &payload, bool retained)
{
    // A retained command would fire again at every reconnect.
    if (retained)
        return {std::nullopt, QStringLiteral("retained message")};
    const QString malformed = QStringLiteral("malformed message");
    if (payload.size() > MaxCommandBytes)
        return {std::nullopt, malformed};
    const QJsonObject object = QJsonDocument::fromJson(payload).object();
    const QJsonValue line = object.value(QStringLiteral("line"));
    const QJsonValue state = object.value(QStringLiteral("state"));
    const double n = line.toDouble(-1);
    if (!line.isDouble() || !state.isBool() || n != std::floor(n) || n < 0 || n >= core::LineCount)
        return {std::nullopt, malformed};
    return {OutputCommand {int(n), state.toBool()}, {}};
}

QString refusalText(acquisition::OutputRefusal refusal)
{
    using acquisition::OutputRefusal;
    switch (refusal) {
    case OutputRefusal::None:
        return {};
    case OutputRefusal::NoSuchLine:
        return QStringLiteral("malformed message");
    case OutputRefusal::NotConnected:
        return QStringLiteral("card not connected");
    case OutputRefusal::InputLine:
        return QStringLiteral("line configured as an input");
    case OutputRefusal::OwnedByRule:
        return QStringLiteral("line driven by an alarm rule");
    }
    return {};
}

} // namespace tarv::publish
