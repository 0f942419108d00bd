#include "ClassicLook.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPixmap>

void ensureTahoma()
{
    if (QFontDatabase::families().contains(QStringLiteral("Tahoma")))
        return;
    for (const char *file : {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"})
        QFontDatabase::addApplicationFont(QString::fromLatin1(file));
}

QImage editorIconImage(int size)
{
    // A name tag: a rounded card with a punched hole and two lines of "text",
    // drawn on a 16-unit grid so that every size keeps the same proportions.
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    p.setPen(QPen(QColor(0x1f, 0x3f, 0x8f), 1));
    p.setBrush(QColor(0xf4, 0xc4, 0x30));
    p.drawRoundedRect(QRectF(1.5, 3.5, 13, 9), 2, 2);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(4, 8), 1.3, 1.3);
    p.setPen(QPen(QColor(0x1f, 0x3f, 0x8f), 1.2));
    p.drawLine(QPointF(7, 6.5), QPointF(12.5, 6.5));
    p.drawLine(QPointF(7, 9.5), QPointF(11, 9.5));
    p.end();
    return image;
}

QIcon editorIcon()
{
    return QIcon(QPixmap::fromImage(editorIconImage(16)));
}
