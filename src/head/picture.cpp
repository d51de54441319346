#include "picture.h"

#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QWindow>
#include <algorithm>
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

// Source over destination, both premultiplied.
QRgb over(QRgb source, QRgb destination)
{
    const int alpha = qAlpha(source);
    if (alpha == 255)
        return source;
    if (alpha == 0)
        return destination;
    // d × (255 - alpha) / 255, rounded the way Qt's raster engine rounds.
    const auto blend = [alpha](int s, int d) {
        const int t = d * (255 - alpha);
        return s + ((t + (t >> 8) + 0x80) >> 8);
    };
    return qRgba(blend(qRed(source), qRed(destination)), blend(qGreen(source), qGreen(destination)),
        blend(qBlue(source), qBlue(destination)), blend(alpha, qAlpha(destination)));
}

} // namespace

QImage ComposeArea(const QImage &below, const QRect &area, const QList<Layer> &layers)
{
    // The area is converted straight from the picture below: one image is
    // made per move. Transparent parts of it stay transparent.
    const QImage::Format format
        = below.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    QImage pixels;
    if (below.depth() == 32 && below.rect().contains(area)) {
        const QImage part(below.constScanLine(area.top()) + area.left() * 4, area.width(),
            area.height(), below.bytesPerLine(), below.format());
        pixels = part.convertToFormat(format);
    } else {
        pixels = below.copy(area).convertToFormat(format);
    }
    for (const Layer &layer : layers) {
        const QImage source = layer.image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const QRect overlap = QRect(layer.at, source.size()) & area;
        for (int y = overlap.top(); y <= overlap.bottom(); ++y) {
            const auto *from
                = reinterpret_cast<const QRgb *>(source.constScanLine(y - layer.at.y()));
            auto *to = reinterpret_cast<QRgb *>(pixels.scanLine(y - area.y()));
            for (int x = overlap.left(); x <= overlap.right(); ++x)
                to[x - area.x()] = over(from[x - layer.at.x()], to[x - area.x()]);
        }
    }
    return pixels;
}

Picture::Picture(const QString &resource, QWidget *parent)
    : QWidget(parent)
    , m_resource(resource)
{
    load();
    setFixedSize(m_pixmap.deviceIndependentSize().toSize());
}

void Picture::load()
{
    m_pixmap = loadPicture(m_resource,
        parentWidget() ? parentWidget()->devicePixelRatioF() : qApp->devicePixelRatio());
    m_image = m_pixmap.toImage();
    clearOutsideClip();
}

void Picture::clipTo(const HRGN &region)
{
    m_clip = region;
    clearOutsideClip();
    update();
}

// This picture's device pixels outside the clip, at `ratio` device pixels to
// a pixel: what the window's shape leaves out there.
QRegion Picture::outsideClip(qreal ratio) const
{
    const QRect device(QPoint(), (QSizeF(size()) * ratio).toSize() + QSize(1, 1));
    return QRegion(device) - m_clip->translated(-pos()).scaled(ratio);
}

// The pixels put on the screen straight away come from m_image: outside the
// clip they are made transparent once, not at every move.
void Picture::clearOutsideClip()
{
    if (!m_clip)
        return;
    m_image = m_image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (const QRect &r : outsideClip(m_pixmap.devicePixelRatio()) & m_image.rect()) {
        for (int y = r.top(); y <= r.bottom(); ++y)
            std::fill_n(reinterpret_cast<QRgb *>(m_image.scanLine(y)) + r.left(), r.width(), 0);
    }
}

void Picture::setPosition(float left, float top)
{
    const QRect before = geometry();
    m_left = left;
    m_top = top;
    // Fractions are kept; drawing rounds half a pixel up.
    move(int(std::floor(left + 0.5f)), int(std::floor(top + 0.5f)));
    if (m_base && geometry() != before)
        m_base->showMoved(this, before);
}

void Picture::addOverlay(Picture *overlay)
{
    Q_ASSERT(overlay->parentWidget() == parentWidget());
    overlay->m_base = this;
    overlay->hide();
    m_overlays.append(overlay);
    update(overlay->geometry().translated(-pos()));
}

void Picture::showMoved(const Picture *overlay, const QRect &before)
{
    const QRect area = (before | overlay->geometry()).translated(-pos()) & rect();
    if (!area.isEmpty() && !drawAtOnce(area))
        update(area);
}

// The area (in this picture's pixels) composed here and put on the window
// in one piece, when the picture is on screen and every picture is drawn
// for the window's own whole-numbered density; otherwise the toolkit
// repaints it.
bool Picture::drawAtOnce(const QRect &area)
{
    const qreal ratio = devicePixelRatioF();
    if (!isVisible() || ratio != std::round(ratio) || m_pixmap.devicePixelRatio() != ratio)
        return false;
    const int scale = int(ratio);
    m_layers.clear(); // keeps its room: nothing is allocated per move
    for (const Picture *overlay : std::as_const(m_overlays)) {
        if (overlay->m_pixmap.devicePixelRatio() != ratio)
            return false;
        m_layers.append({ overlay->m_image, (overlay->pos() - pos()) * scale });
    }
    const QRect device(area.topLeft() * scale, area.size() * scale);
    if (!m_writer.draw(window(), mapTo(window(), area.topLeft()) * scale,
            ComposeArea(m_image, device, m_layers)))
        return false;
    m_staleRect |= area;
    // The toolkit shows its own copy again when the window is uncovered.
    if (!m_watchingExposes) {
        window()->windowHandle()->installEventFilter(this);
        m_watchingExposes = true;
    }
    return true;
}

bool Picture::event(QEvent *event)
{
    // On a monitor of another density the drawing made for it is used, for
    // this picture and for its overlays.
    if (event->type() == QEvent::ScreenChangeInternal) {
        load();
        for (Picture *overlay : std::as_const(m_overlays))
            overlay->load();
        update();
    }
    return QWidget::event(event);
}

bool Picture::eventFilter(QObject *watched, QEvent *event)
{
    // Before the toolkit shows its copy of uncovered parts, the parts drawn
    // past it are painted there afresh.
    if (event->type() == QEvent::Expose && !m_staleRect.isEmpty()
        && static_cast<QWindow *>(watched)->isExposed()) {
        update(m_staleRect);
        m_staleRect = QRect();
    }
    return QWidget::eventFilter(watched, event);
}

void Picture::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_pixmap);
    for (const Picture *overlay : std::as_const(m_overlays))
        painter.drawPixmap(overlay->pos() - pos(), overlay->m_pixmap);
    if (m_clip) {
        // In device pixels, as the window's shape is laid: a region scaled by
        // the toolkit would miss pixels at fractional scales.
        const qreal ratio = devicePixelRatioF();
        painter.resetTransform();
        painter.scale(1 / ratio, 1 / ratio);
        painter.setCompositionMode(QPainter::CompositionMode_Clear);
        for (const QRect &r : outsideClip(ratio))
            painter.fillRect(r, Qt::transparent);
    }
    if (event->region().contains(m_staleRect))
        m_staleRect = QRect();
}
