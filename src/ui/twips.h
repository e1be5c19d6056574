#pragma once

#include <QRect>
#include <QtMath>

namespace tarv::ui {

// Layouts are designed in twips (1/1440 inch). At 96 dpi a pixel is 15 twips; Qt
// scales device-independent pixels for high-density screens, so converting here
// once keeps every window the designed size everywhere.
inline constexpr int twips(int t)
{
    return (t + 7) / 15;
}

inline QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

} // namespace tarv::ui
