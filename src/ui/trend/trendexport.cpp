#include "ui/trend/trendexport.h"

#include "core/numberformat.h"
#include "ui/trend/trendchart.h"
#include "ui/trend/trendmemory.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include <cstdlib>

namespace tarv::ui {

namespace {

QString csvField(const QString &text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\r')
        && !text.contains(u'\n'))
        return text;
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

// 2026-12-07T10:15:30+01:00: the offset in force at that second, so the hour
// repeated when the clocks go back still reads as two different times.
QString isoLocal(qint64 msecs)
{
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(msecs);
    const int offset = local.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return local.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")) + (offset < 0 ? u'-' : u'+')
        + QStringLiteral("%1:%2")
              .arg(minutes / 60, 2, 10, QChar(u'0'))
              .arg(minutes % 60, 2, 10, QChar(u'0'));
}

} // namespace

QByteArray trendCsv(const TrendMemory &memory, qint64 first, qint64 last,
    const std::array<bool, core::ChannelCount> &drawn, const core::ChannelArray<QString> &names)
{
    QStringList header {QStringLiteral("time")};
    for (int c = 0; c < core::ChannelCount; ++c)
        if (drawn[c])
            header << csvField(names[c]);
    QByteArray csv = header.join(u',').toUtf8() + "\r\n";
    for (qint64 second = std::max(first, memory.oldest()); second <= last; ++second) {
        if (!memory.contains(second))
            break;
        const TrendMemory::Second &kept = memory.at(second);
        csv += isoLocal(kept.msecs).toUtf8();
        for (int c = 0; c < core::ChannelCount; ++c)
            if (drawn[c])
                csv += ',' + core::numberText(kept.values[c]);
        csv += "\r\n";
    }
    return csv;
}

QByteArray trendPng(const TrendModel &model, QSize size, qreal ratio)
{
    QImage image(size * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    QPainter painter(&image);
    paintTrend(painter, size, model);
    painter.end();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

} // namespace tarv::ui
