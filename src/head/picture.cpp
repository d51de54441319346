#include "picture.h"

#include <QGuiApplication>
#include <QPainter>
#include <cmath>

namespace {

QPixmap loadPicture(const QString &resource, qreal ratio)
{
    if (ratio > 1) {
        QString detailed = resource;
        detailed.insert(detailed.lastIndexOf(QLatin1Char('.')), QLatin1String("@2x"));
        QPixmap pixmap(detailed);
        if (!pixmap.isNull()) {
            pixmap.setDevicePixelRatio(2);
            return pixmap;
        }
    }
    return QPixmap(resource);
}

} // namespace

Picture::Picture(const QString &resource, QWidget *parent)
    : QWidget(parent)
    , m_resource(resource)
    , m_pixmap(
          loadPicture(resource, parent ? parent->devicePixelRatioF() : qApp->devicePixelRatio()))
{
    setFixedSize(m_pixmap.deviceIndependentSize().toSize());
}

void Picture::setPosition(float left, float top)
{
    m_left = left;
    m_top = top;
    // Fractions are kept; drawing rounds half a pixel up.
    move(int(std::floor(left + 0.5f)), int(std::floor(top + 0.5f)));
}

bool Picture::event(QEvent *event)
{
    // On a monitor of another density the drawing made for it is used.
    if (event->type() == QEvent::ScreenChangeInternal) {
        m_pixmap = loadPicture(m_resource, devicePixelRatioF());
        update();
    }
    return QWidget::event(event);
}

void Picture::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_pixmap);
}
