#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

// The About window's pictures, painted here so the program ships no image files.
namespace AboutArt {

// The colour that is left out when the banner is shown.
inline constexpr QRgb TransparentColour = 0xFFFF00FF;

// The banner as an eight-colour indexed picture, 400 x 160 pixels. Its lower
// right stays transparent because the program information is written there.
QImage bannerImage();

// The banner ready to show: the transparent colour turned into a mask.
QPixmap bannerPixmap();

// A 16 x 16 "i" in a circle, unlike the main window's icon.
QIcon windowIcon();

} // namespace AboutArt
