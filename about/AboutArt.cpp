#include "AboutArt.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>

namespace AboutArt {

namespace {

// The banner's whole palette; index 0 is the transparent colour.
enum Colour { Clear, Black, White, Navy, Steel, Gold, Brown, Silver, ColourCount };

const QList<QRgb> &palette()
{
    static const QList<QRgb> colours = {
        TransparentColour,  qRgb(0, 0, 0),       qRgb(255, 255, 255), qRgb(0, 0, 128),
        qRgb(64, 96, 176),  qRgb(240, 192, 48),  qRgb(128, 80, 16),   qRgb(200, 204, 220),
    };
    return colours;
}

QColor colour(Colour c)
{
    return QColor::fromRgb(palette().at(c));
}

// Without smoothing every painted pixel is one of the palette's colours, so
// the reduction to eight colours below changes nothing.
QFont sharpFont(const QString &family, QFont::StyleHint hint, int pixelSize, int weight)
{
    QFont font(family);
    font.setStyleHint(hint, QFont::NoAntialias);
    font.setStyleStrategy(QFont::NoAntialias);
    font.setPixelSize(pixelSize);
    font.setWeight(QFont::Weight(weight));
    return font;
}

void paintPlaque(QPainter &p)
{
    p.setPen(QPen(colour(Gold), 2));
    p.setBrush(colour(Navy));
    p.drawRoundedRect(QRect(2, 4, 395, 80), 10, 10);
    p.setPen(colour(Steel));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRect(7, 9, 385, 70), 7, 7);

    const QFont title = sharpFont(QStringLiteral("DejaVu Serif"), QFont::Serif, 54, QFont::Bold);
    p.setFont(title);
    const QString name = QStringLiteral("Orvane");
    p.setPen(colour(Black));
    p.drawText(QPoint(23, 67), name);
    p.setPen(colour(White));
    p.drawText(QPoint(20, 64), name);
}

// A quill over a written line: the program writes names.
void paintQuill(QPainter &p)
{
    p.setPen(colour(Gold));
    p.drawLine(276, 74, 380, 74);

    QPainterPath feather;
    feather.moveTo(300, 70);
    feather.cubicTo(318, 40, 345, 18, 384, 12);
    feather.cubicTo(372, 30, 352, 52, 312, 66);
    feather.lineTo(300, 70);
    p.setPen(colour(Silver));
    p.setBrush(colour(White));
    p.drawPath(feather);

    p.setPen(colour(Steel));
    p.setBrush(Qt::NoBrush);
    QPainterPath shaft;
    shaft.moveTo(300, 70);
    shaft.cubicTo(325, 50, 350, 30, 382, 13);
    p.drawPath(shaft);
    for (int x = 318; x <= 366; x += 8)
        p.drawLine(x, 58 - (x - 318) * 4 / 5, x + 9, 52 - (x - 318) * 4 / 5);

    p.setPen(colour(Brown));
    p.setBrush(colour(Gold));
    p.drawPolygon(QPolygon({QPoint(292, 78), QPoint(299, 68), QPoint(304, 72)}));
}

void paintSubtitle(QPainter &p)
{
    const QFont subtitle = sharpFont(QStringLiteral("DejaVu Sans"), QFont::SansSerif, 26, QFont::Bold);
    p.setFont(subtitle);
    p.setPen(colour(Steel));
    p.drawText(QPoint(15, 119), QStringLiteral("Name Editor"));
    p.setPen(colour(Navy));
    p.drawText(QPoint(14, 118), QStringLiteral("Name Editor"));

    // A gold rule with a diamond at each end, kept above the link below it.
    p.setPen(colour(Gold));
    p.drawLine(22, 130, 206, 130);
    p.setPen(colour(Brown));
    p.drawLine(22, 131, 206, 131);
    p.setBrush(colour(Gold));
    for (const int x : {16, 212})
        p.drawPolygon(QPolygon({QPoint(x, 126), QPoint(x + 5, 131), QPoint(x, 136), QPoint(x - 5, 131)}));
}

} // namespace

QImage bannerImage()
{
    QImage canvas(400, 160, QImage::Format_RGB32);
    canvas.fill(TransparentColour);
    {
        QPainter p(&canvas);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setRenderHint(QPainter::TextAntialiasing, false);
        paintPlaque(p);
        paintQuill(p);
        paintSubtitle(p);
    }
    return canvas.convertToFormat(QImage::Format_Indexed8, palette(),
                                  Qt::ThresholdDither | Qt::AvoidDither);
}

QPixmap bannerPixmap()
{
    QImage shown = bannerImage();
    QList<QRgb> colours = shown.colorTable();
    for (QRgb &c : colours)
        if (c == TransparentColour)
            c = qRgba(255, 0, 255, 0);
    shown.setColorTable(colours);
    return QPixmap::fromImage(shown);
}

QIcon windowIcon()
{
    QImage icon(16, 16, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    {
        QPainter p(&icon);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(0, 40, 120), 1));
        p.setBrush(QColor(30, 100, 210));
        p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRect(7, 3, 2, 2);
        p.drawRect(7, 6, 2, 6);
        p.drawRect(6, 6, 1, 1);
        p.drawRect(6, 11, 4, 1);
    }
    return QIcon(QPixmap::fromImage(icon));
}

} // namespace AboutArt
