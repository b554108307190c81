#include "ManifestGlyphs.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QPolygon>

namespace {

constexpr int kSide = 16;

QImage BlankGlyph()
{
    QImage image(kSide, kSide, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

}  // namespace

QIcon OpenFolderGlyph()
{
    QImage image = BlankGlyph();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    const QColor outline(96, 72, 0);

    // Back of the folder with its tab.
    p.setPen(outline);
    p.setBrush(QColor(232, 184, 40));
    p.drawPolygon(QPolygon({{0, 4}, {1, 3}, {4, 3}, {5, 4}, {10, 4}, {10, 14}, {0, 14}}));

    // The front flap, swung open towards the viewer.
    p.setBrush(QColor(255, 224, 96));
    p.drawPolygon(QPolygon({{3, 8}, {15, 8}, {11, 14}, {0, 14}}));

    // Black arrow rising from the folder and curving down over its right side, pixel by pixel
    // so that it stays crisp at this size.
    p.setPen(Qt::black);
    p.drawPoints(QPolygon({{7, 3}, {8, 2}, {9, 1}, {10, 1}, {11, 1}, {12, 2}, {13, 3}}));
    p.drawLine(11, 4, 15, 4);
    p.drawLine(12, 5, 14, 5);
    p.drawPoint(13, 6);
    p.end();
    return QIcon(QPixmap::fromImage(image));
}

QIcon FloppyDiskGlyph()
{
    QImage image = BlankGlyph();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);

    // Body with a clipped top-right corner.
    p.setPen(Qt::black);
    p.setBrush(QColor(40, 64, 144));
    p.drawPolygon(QPolygon({{1, 1}, {13, 1}, {14, 2}, {14, 14}, {1, 14}}));

    // Paper label with two ruled lines.
    p.setPen(QColor(96, 96, 96));
    p.setBrush(Qt::white);
    p.drawRect(3, 1, 8, 6);
    p.drawLine(5, 3, 9, 3);
    p.drawLine(5, 5, 9, 5);

    // Metal shutter with its slot.
    p.setPen(QColor(64, 64, 64));
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(4, 9, 7, 5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 64, 144));
    p.drawRect(6, 10, 2, 3);
    p.end();
    return QIcon(QPixmap::fromImage(image));
}
