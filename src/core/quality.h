#pragma once

#include <QString>

#include <cstdint>

namespace tarv::core {

// How far a channel's value can be trusted, in three levels with a reason, named as
// the OPC UA status codes that plant systems already read. The value itself is never
// changed: quality travels beside it.
enum class Quality : std::uint8_t { Good, Uncertain, Bad };

enum class QualityReason : std::uint8_t {
    None,
    UnderRange, // uncertain: below the input's range
    OverRange, // uncertain: above it
    SensorFaultLow, // shorted sensor, broken loop, converter at its low end
    SensorFaultHigh, // open sensor, converter at its high end
    ConversionFault, // the conversion failed: the value is an old one, or not a number
    NotCalibrated, // the zero count equals the span count
    NoData, // no card, a lost port, or no analog frame for 3 s while the task runs
};

struct ChannelQuality
{
    Quality level = Quality::Good;
    QualityReason reason = QualityReason::None;

    bool good() const { return level == Quality::Good; }
    friend bool operator==(const ChannelQuality &, const ChannelQuality &) = default;
};

// "good", "uncertain", "bad"; and "under range", ..., "no data" ("" for None).
QString qualityText(Quality quality);
QString reasonText(QualityReason reason);
// "bad, sensor fault high"; "good".
QString qualityDescription(const ChannelQuality &quality);

} // namespace tarv::core
