#pragma once

#include <QFont>
#include <QRect>

// The windows are laid out in twips, 1/1440 inch: 15 to the pixel at 96 dots
// per inch. Every value in use is a whole number of pixels.
inline QRect twips(int left, int top, int width, int height)
{
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

// Tahoma at the given point size, weight 400: the windows' font.
inline QFont tahoma(qreal pointSize = 8.25)
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSizeF(pointSize);
    font.setWeight(QFont::Normal);
    return font;
}
