#pragma once

#include <QFont>
#include <QIcon>
#include <QImage>
#include <QRect>

// How both windows look: laid out in twips, set in Tahoma, with icons painted
// in code. The desktop icons are painted from the same code at build time.

// Twips are 1/1440 inch: 15 to the pixel at 96 dots per inch. Every value in
// use is a whole number of pixels.
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

// Registers the metric-compatible Tahoma that Debian's fonts-wine ships when
// the system has none of its own; without it a wider substitute clips the
// captions of the fixed layout.
void ensureTahoma();

// The main window's 16 x 16 icon.
QIcon editorIcon();

// The same picture at any size: the installed desktop icons are made from it,
// so the menu entry shows what the window shows.
QImage editorIconImage(int size);
