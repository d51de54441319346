// A picture shown at its natural size, placed with fractional positions.
#pragma once

#include <QPixmap>
#include <QWidget>

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

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *) override;

private:
    QString m_resource;
    QPixmap m_pixmap;
    float m_left = 0;
    float m_top = 0;
};
