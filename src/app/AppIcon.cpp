#include "app/AppIcon.h"

#include <QPainter>
#include <QPixmap>

namespace kavelin {

namespace {

// A dark blue tile with a white K and an orange bar below it.
QPixmap drawIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(20, 40, 90));
    painter.drawRoundedRect(QRectF(0, 0, s, s), s / 6, s / 6);
    painter.setBrush(QColor(240, 140, 20));
    painter.drawRect(QRectF(s * 0.2, s * 0.8, s * 0.6, s * 0.08));
    QPen pen(Qt::white, s / 8, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
    painter.setPen(pen);
    painter.drawLine(QPointF(s * 0.3, s * 0.18), QPointF(s * 0.3, s * 0.68));
    painter.drawLine(QPointF(s * 0.72, s * 0.18), QPointF(s * 0.34, s * 0.45));
    painter.drawLine(QPointF(s * 0.42, s * 0.4), QPointF(s * 0.72, s * 0.68));
    return pixmap;
}

} // namespace

QIcon appIcon() {
    QIcon icon;
    for (int size : {16, 32, 48})
        icon.addPixmap(drawIcon(size));
    return icon;
}

} // namespace kavelin
