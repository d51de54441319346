// A picture shown at its natural size, placed with fractional positions.
#pragma once

#include "desktop/desktop.h"

#include <QImage>
#include <QList>
#include <QPixmap>
#include <QRect>
#include <QWidget>
#include <optional>

// One picture drawn over another: premultiplied ARGB pixels with their
// top-left at `at`, in the device pixels of the picture beneath.
struct Layer
{
    QImage image;
    QPoint at;
};

// The `area` of `below` (device pixels) with the layers drawn over it in
// order, as QPainter draws them, the size of the area: 32-bit RGB, or
// premultiplied ARGB where `below` has an alpha channel.
QImage ComposeArea(const QImage &below, const QRect &area, const QList<Layer> &layers);

class Picture : public QWidget
{
public:
    // Loads the image from the resources; on a high-density screen the @2x
    // drawing beside it is used when there is one.
    Picture(const QString &resource, QWidget *parent);

    float left() const { return m_left; }
    float top() const { return m_top; }
    // Left and top together, so that a move repaints only the old and the
    // new place.
    void setPosition(float left, float top);

    // Makes `overlay`, a sibling, a picture lying over this one, drawn here
    // after those before it rather than as a widget of its own. Moving it
    // then puts its few pixels on the screen straight away, where the
    // desktop allows, instead of running the toolkit's whole repaint.
    void addOverlay(Picture *overlay);

    // Leaves the picture's pixels outside `region` (in the window's pixels,
    // the window's shape) transparent, to the device pixel, in the window
    // and in what is put on the screen straight away: a compositor that
    // blends the window but ignores its shape then shows only the region.
    void clipTo(const HRGN &region);

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void load();
    void showMoved(const Picture *overlay, const QRect &before);
    bool drawAtOnce(const QRect &area);
    QRegion outsideClip(qreal ratio) const;
    void clearOutsideClip();

    QString m_resource;
    QPixmap m_pixmap;
    QImage m_image; // the same pixels, for drawing them past the toolkit
    std::optional<HRGN> m_clip;
    float m_left = 0;
    float m_top = 0;
    Picture *m_base = nullptr; // the picture this one is an overlay of
    QList<Picture *> m_overlays;
    QList<Layer> m_layers;
    PixelWriter m_writer;
    // Round where pixels went straight to the screen: the toolkit's copy of
    // the window is out of date there until it paints it again.
    QRect m_staleRect;
    bool m_watchingExposes = false;
};
