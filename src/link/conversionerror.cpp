#include "link/conversionerror.h"

namespace tarv::link {

QString describe(ConversionError error)
{
    switch (error) {
    case ConversionError::DivisionByZero:
        return QStringLiteral("Division by zero");
    case ConversionError::Overflow:
        return QStringLiteral("Overflow");
    case ConversionError::SubscriptOutOfRange:
        return QStringLiteral("Subscript out of range");
    case ConversionError::InvalidOperation:
        return QStringLiteral("Invalid floating-point operation");
    }
    return QStringLiteral("Unknown error");
}

QString ChannelFailure::text() const
{
    return describe(error) + QString::number(channel);
}

} // namespace tarv::link
