#include "platform/widgets/TelephoneArt.h"

#include <QPainter>
#include <QPainterPath>

namespace TelephoneArt {

QPixmap Telephone(int size, bool greyed)
{
    QPixmap image(size, size);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.scale(size / 32.0, size / 32.0);

    const QColor body = greyed ? QColor(160, 160, 160) : QColor(200, 16, 16);
    const QColor dark = greyed ? QColor(110, 110, 110) : QColor(120, 0, 0);
    const QColor face = greyed ? QColor(210, 210, 210) : QColor(245, 235, 220);

    // The base of the desk set.
    QPainterPath base;
    base.moveTo(5, 29);
    base.lineTo(27, 29);
    base.lineTo(24, 15);
    base.lineTo(8, 15);
    base.closeSubpath();
    p.setPen(QPen(dark, 1.2));
    p.setBrush(body);
    p.drawPath(base);

    // The dial.
    p.setBrush(face);
    p.drawEllipse(QPointF(16, 22), 5, 5);
    p.setBrush(dark);
    p.drawEllipse(QPointF(16, 22), 1.5, 1.5);

    // The handset lying on its cradle.
    QPainterPath handset;
    handset.moveTo(2, 11);
    handset.cubicTo(2, 4, 30, 4, 30, 11);
    handset.lineTo(30, 14);
    handset.lineTo(23, 14);
    handset.lineTo(23, 11);
    handset.cubicTo(20, 9, 12, 9, 9, 11);
    handset.lineTo(9, 14);
    handset.lineTo(2, 14);
    handset.closeSubpath();
    p.setBrush(body);
    p.drawPath(handset);
    return image;
}

QIcon ProgramIcon()
{
    QIcon icon;
    icon.addPixmap(Telephone(32, false));
    icon.addPixmap(Telephone(16, false));
    return icon;
}

QIcon DialButtonIcon()
{
    QIcon icon;
    icon.addPixmap(Telephone(16, false), QIcon::Normal);
    icon.addPixmap(Telephone(16, true), QIcon::Disabled);
    return icon;
}

} // namespace TelephoneArt
