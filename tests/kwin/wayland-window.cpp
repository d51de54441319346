// A native Wayland window for the tests under KWin: it fills the screen
// beneath the head, says on stdout where the pointer enters and moves over it,
// and draws a cross there so that a screenshot shows where the pointer is.
#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>
#include <cstdio>

class NativeWindow : public QWidget
{
protected:
    void mouseMoveEvent(QMouseEvent *event) override
    {
        mPointer = event->position().toPoint();
        std::printf("over %d %d\n", mPointer.x(), mPointer.y());
        std::fflush(stdout);
        update();
    }
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(70, 110, 160));
        painter.setPen(Qt::white);
        painter.drawText(rect().adjusted(12, 12, -12, -12), Qt::AlignLeft | Qt::AlignTop,
            QStringLiteral("A native Wayland window (%1)").arg(QGuiApplication::platformName()));
        painter.setPen(QPen(Qt::yellow, 3));
        painter.drawLine(mPointer - QPoint(14, 0), mPointer + QPoint(14, 0));
        painter.drawLine(mPointer - QPoint(0, 14), mPointer + QPoint(0, 14));
    }

private:
    QPoint mPointer { -100, -100 };
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    NativeWindow window;
    window.setWindowTitle(QStringLiteral("native"));
    window.setMouseTracking(true);
    // KWin 6 with no decoration plugin leaves the title bar to the client:
    // without one, the window's pixels are the screen's.
    window.setWindowFlag(Qt::FramelessWindowHint);
    window.showMaximized();
    return QApplication::exec();
}
