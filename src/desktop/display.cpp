// The X display itself: whether it opens, whether it is still there, the
// pointer's button and pixels put on it straight away.
#include "desktop.h"

#include "x11/x11.h"

#include <QGuiApplication>
#include <QWidget>
#include <cstdio>

DisplayCheck::DisplayCheck(const char *display)
    : m_connection(new X11::Connection(display))
{
    if (m_connection->isOpen())
        return;
    const QByteArray name = display ? QByteArray(display) : qgetenv("DISPLAY");
    std::fprintf(stderr, "oglon: cannot open the X display '%s'\n", name.constData());
}

DisplayCheck::~DisplayCheck()
{
    delete m_connection;
}

bool DisplayCheck::opened() const
{
    return m_connection->isOpen();
}

bool XServerGone()
{
    return X11::connectionBroken();
}

bool IsLeftButtonDown()
{
    if (const auto down = X11::leftButtonDown())
        return *down;
    return QGuiApplication::mouseButtons() & Qt::LeftButton;
}

PixelWriter::~PixelWriter()
{
    X11::freePixelContext(m_context);
}

bool PixelWriter::draw(HWND window, QPoint at, const QImage &pixels)
{
    const unsigned long id = window ? window->internalWinId() : 0;
    if (!id)
        return false;
    // The window's layout is asked once for each native window.
    if (id != m_window) {
        X11::freePixelContext(m_context);
        m_window = id;
        m_context = X11::createPixelContext(id, &m_depth);
    }
    return X11::putImage(id, m_context, m_depth, at, pixels);
}

void FlushDrawing()
{
    X11::flush();
}
