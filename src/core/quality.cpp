#include "core/quality.h"

namespace tarv::core {

QString qualityText(Quality quality)
{
    switch (quality) {
    case Quality::Good:
        return QStringLiteral("good");
    case Quality::Uncertain:
        return QStringLiteral("uncertain");
    case Quality::Bad:
        return QStringLiteral("bad");
    }
    return {};
}

QString reasonText(QualityReason reason)
{
    switch (reason) {
    case QualityReason::None:
        return {};
    case QualityReason::UnderRange:
        return QStringLiteral("under range");
    case QualityReason::OverRange:
        return QStringLiteral("over range");
    case QualityReason::SensorFaultLow:
        return QStringLiteral("sensor fault low");
    case QualityReason::SensorFaultHigh:
        return QStringLiteral("sensor fault high");
    case QualityReason::ConversionFault:
        return QStringLiteral("conversion fault");
    case QualityReason::NotCalibrated:
        return QStringLiteral("not calibrated");
    case QualityReason::NoData:
        return QStringLiteral("no data");
    }
    return {};
}

QString qualityDescription(const ChannelQuality &quality)
{
    const QString reason = reasonText(quality.reason);
    return reason.isEmpty() ? qualityText(quality.level)
                            : qualityText(quality.level) + QStringLiteral(", ") + reason;
}

} // namespace tarv::core
